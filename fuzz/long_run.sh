#!/usr/bin/env bash
# A long fuzzing run of every target, two at a time at low priority:
#   fuzz/long_run.sh [SECONDS_PER_TARGET] [OUTPUT_FOLDER]
# It needs the fuzz preset built (cmake --preset fuzz && cmake --build --preset fuzz) and copies
# the targets first, so rebuilding meanwhile does not disturb it. Each target starts from its
# seeds and grows its own corpus in OUTPUT_FOLDER/<target>/corpus; its log is
# OUTPUT_FOLDER/<target>.log, and a failing input lands in OUTPUT_FOLDER/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
out=${2:-${TMPDIR:-/tmp}/accessurl-fuzz}
targets=(fuzz_utf8_to_text fuzz_text_primitives fuzz_headers fuzz_cookies fuzz_base64
         fuzz_access_address)

mkdir -p "$out/bin"
for target in "${targets[@]}"; do cp "build/fuzz/fuzz/$target" "$out/bin/"; done

run_one() {
  local target=$1 dict=() status=passed
  [ -f "fuzz/dict/$target.dict" ] && dict=("-dict=fuzz/dict/$target.dict")
  mkdir -p "$out/$target/corpus"
  nice -n 10 "$out/bin/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$out/$target/" "${dict[@]}" \
    "$out/$target/corpus" "fuzz/corpus/$target" >"$out/$target.log" 2>&1 || status=FAILED
  echo "$target $status: $(grep -E '^#[0-9]+[[:space:]]+DONE' "$out/$target.log" | tail -n 1)"
  [ "$status" = passed ]
}

status=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  pids=()
  for target in "${targets[@]:i:2}"; do
    run_one "$target" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || status=1; done
done
exit "$status"
