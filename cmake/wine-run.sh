#!/bin/sh
# Runs a Windows program under Wine in a private prefix. The prefix is $WINEPREFIX when set (the
# test command points it into its own temporary folder), otherwise one per user under $TMPDIR. It
# is created once, with a CJK font standing in for the dialog fonts and windows left unmanaged,
# and reused after that.
set -eu

: "${WINEPREFIX:=${TMPDIR:-/tmp}/accessurl-wine-$(id -u)}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko install prompts: nothing here needs .NET or an HTML engine.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# The marker names the version of the settings below; a new number prepares older prefixes again.
ready_marker="$WINEPREFIX/.accessurl-ready-2"

prepare_prefix() {
  [ -f "$ready_marker" ] && return 0
  wineboot --init </dev/null >/dev/null 2>&1 9>&- || true
  for face in "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma" "SimSun"; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d "WenQuanYi Micro Hei" /f \
      </dev/null >/dev/null 2>&1 9>&-
  done
  # Unmanaged windows: destroying a window that the X window manager manages waits up to 2 s for
  # it, and a bare X server (Xvfb in the tests) has none. Wine draws the frames either way.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 9>&-
  wineserver -w
  touch "$ready_marker"
}

# Wine's server and its service processes outlive the program they start with and keep its output
# streams open, and CTest waits for every holder of a test's output. Started here on /dev/null,
# and kept for a minute after the last program, they stay off the tests' streams and warm between
# tests. The server refuses to start (status 2) when one already runs for this prefix. Neither
# may inherit the lock (descriptor 9), or it would be held for as long as they live.
start_background() {
  if wineserver -p60 </dev/null >/dev/null 2>&1 9>&-; then
    wine cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
  fi
}

mkdir -p "$(dirname "$WINEPREFIX")"
# Parallel test runs share the prefix: only the first one creates it and starts the background.
(
  flock 9
  prepare_prefix
  start_background
) 9>"$WINEPREFIX.lock"

# The desktop process is started by the first program that makes a window, and it too outlives
# the program with the program's output streams. So the program writes into files that only Wine's
# processes keep open, and the files are copied out once the program has ended.
relay=$(mktemp -d "${TMPDIR:-/tmp}/wine-run.XXXXXX")
trap 'rm -rf "$relay"' EXIT
status=0
wine "$@" >"$relay/stdout" 2>"$relay/stderr" || status=$?
cat "$relay/stdout"
cat "$relay/stderr" >&2
exit "$status"
