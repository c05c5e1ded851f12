#!/usr/bin/env bash
# Installs every Debian 12 package the build, the tests, the demo and the benchmarks use.
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
  libspeexdsp-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
