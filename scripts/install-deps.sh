#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing accessurl need.
# Only what is missing is installed; a second run does nothing.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config clang-format
  clang libclang-rt-14-dev
  libbenchmark-dev
  googletest
  g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine wine64
  xvfb xdotool xclip x11-utils imagemagick fonts-wqy-microhei fonts-wine
  python3 iproute2 util-linux procps
  libcurl4-openssl-dev libgtk-3-dev libxtst-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
