#!/usr/bin/env bash
# Installs every Debian 12 package the build, the tests, the demo and the benchmarks use.
# With the argument "build", only what building, running and packaging need (scripts/run.sh).
# Quick when everything is already there: apt-get runs only for what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config ccache
  qtbase5-dev libqt5svg5-dev qtmultimedia5-dev libqt5multimedia5-plugins libqt5serialport5-dev
  libspeex-dev
  pulseaudio pulseaudio-utils
  iproute2 util-linux
  xvfb python3 imagemagick
  clang libclang-rt-14-dev
  librsvg2-bin
  dpkg-dev lintian desktop-file-utils appstream xdotool
  tshark tcpdump
  libqt5charts5-dev
  libspeexdsp-dev
)

# Wanted only by the tests, the artwork and the screenshot; everything else is needed to build.
test_only=(pulseaudio pulseaudio-utils iproute2 util-linux xvfb imagemagick clang libclang-rt-14-dev
  librsvg2-bin lintian desktop-file-utils appstream xdotool tshark tcpdump)
if [ "${1:-}" = build ]; then
  wanted=()
  for p in "${packages[@]}"; do
    [[ " ${test_only[*]} " == *" $p "* ]] || wanted+=("$p")
  done
  packages=("${wanted[@]}")
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Install them as root: sudo bash $0 ${1:-}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
