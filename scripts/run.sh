#!/usr/bin/env bash
# Installs what is missing, builds accessurl and runs it: the native GTK program on Linux, or the
# Windows program under Wine with --windows.
#
# With a display the program simply opens there. Without one it runs on a virtual display: the
# script waits until the window shows more than its placeholder, prints what it shows (read through
# the Copy button and the clipboard), saves a screenshot under build/, closes the program and exits.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
if [ "${1:-}" = "--windows" ]; then
  cmake --preset windows >/dev/null
  cmake --build --preset windows --target accessurl
  program=(cmake/wine-run.sh build/windows/accessurl.exe)
else
  cmake --preset linux >/dev/null
  cmake --build --preset linux --target accessurl
  program=(build/linux/accessurl)
fi

if [ -n "${DISPLAY:-}" ]; then
  exec "${program[@]}"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/accessurl-run.XXXXXX")
xvfb_pid=""
program_pid=""
cleanup() {
  if [ -n "$program_pid" ]; then kill "$program_pid" 2>/dev/null || true; fi
  if [ -d "$work/wine" ]; then WINEPREFIX="$work/wine" wineserver -k >/dev/null 2>&1 || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
export WINEPREFIX="$work/wine"

Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"

echo "Starting accessurl on a virtual display..."
"${program[@]}" >/dev/null 2>&1 &
program_pid=$!

window=""
for _ in $(seq 240); do
  window=$(xdotool search --onlyvisible --class accessurl 2>/dev/null | head -n1 || true)
  [ -n "$window" ] && break
  sleep 0.25
done
[ -n "$window" ] || { echo "The window did not appear." >&2; exit 1; }

press() { xdotool windowfocus --sync "$window" key --clearmodifiers --delay 60 "$@"; sleep 0.3; }

# The edit box has the focus at start: Tab reaches the Copy button, space presses it.
placeholder="获取中..."
press Tab
shown="$placeholder"
for _ in $(seq 60); do
  press space
  shown=$(xclip -o -selection clipboard 2>/dev/null || true)
  [ "$shown" != "$placeholder" ] && [ -n "$shown" ] && break
  sleep 0.5
done

mkdir -p build
import -window root build/accessurl-screenshot.png
echo "accessurl shows: $shown"
echo "Screenshot: build/accessurl-screenshot.png"
press Escape
wait "$program_pid" || true
program_pid=""
