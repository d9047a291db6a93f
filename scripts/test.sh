#!/usr/bin/env bash
# Installs what is missing, builds the native, sanitizer, fuzzing and Windows presets and runs every
# test: the fuzzing ones as short libFuzzer runs, the Windows ones under Wine on a private virtual
# display, in a Wine prefix made for this run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

work=$(mktemp -d "${TMPDIR:-/tmp}/accessurl-test.XXXXXX")
xvfb_pid=""
cleanup() {
  if [ -d "$work/wine" ]; then WINEPREFIX="$work/wine" wineserver -k >/dev/null 2>&1 || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

export WINEPREFIX="$work/wine"
# The window tests expect a 1920 x 1080 primary screen.
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

presets=(linux sanitize fuzz windows)
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

status=0
for preset in "${presets[@]}"; do
  echo "== tests: $preset"
  ctest --preset "$preset" || status=1
done
exit "$status"
