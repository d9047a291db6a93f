# One bounded fuzzing run:
#   cmake -DFUZZER=<target file> -DSEEDS=<seed folder> -DWORK=<folder> -DSECONDS=<n> [-DDICT=<file>]
#         -P run_fuzzer.cmake
# WORK is emptied first. libFuzzer writes the inputs it finds only into the first corpus folder,
# WORK/corpus; the seed folder after it is only read. A failing input lands in WORK/artifacts.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/corpus" "${WORK}/artifacts")

set(options -max_total_time=${SECONDS} -rss_limit_mb=2048 -timeout=10 -print_final_stats=1
            "-artifact_prefix=${WORK}/artifacts/")
if(DICT)
  list(APPEND options "-dict=${DICT}")
endif()

execute_process(COMMAND "${FUZZER}" ${options} "${WORK}/corpus" "${SEEDS}"
                WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (${result}); the input is in ${WORK}/artifacts")
endif()
