#!/bin/sh
# Runs a Windows program under Wine in a private prefix. The prefix is $WINEPREFIX when set (the
# test command points it into its own temporary folder), otherwise one per user under $TMPDIR. It
# is created once, with a CJK font standing in for the dialog fonts, and reused after that.
set -eu

: "${WINEPREFIX:=${TMPDIR:-/tmp}/accessurl-wine-$(id -u)}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko install prompts: nothing here needs .NET or an HTML engine.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

prepare_prefix() {
  [ -f "$WINEPREFIX/.accessurl-ready" ] && return 0
  wineboot --init >/dev/null 2>&1 || true
  for face in "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma" "SimSun"; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d "WenQuanYi Micro Hei" /f \
      >/dev/null 2>&1
  done
  wineserver -w
  touch "$WINEPREFIX/.accessurl-ready"
}

mkdir -p "$(dirname "$WINEPREFIX")"
# Parallel test runs share the prefix: only the first one creates it.
(
  flock 9
  prepare_prefix
) 9>"$WINEPREFIX.lock"

exec wine "$@"
