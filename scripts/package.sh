#!/usr/bin/env bash
# Builds the Debian package build/zarnik-station_<version>_amd64.deb from the build tree
# (or $BUILD_DIR): the station, its simulator and tools, desktop entry, icons and man pages.
# Install it with: apt-get install ./build/zarnik-station_*.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$root/build}"

bash "$root/scripts/install-deps.sh" build
bash "$root/scripts/build.sh"
cd "$BUILD_DIR"
cpack -G DEB >/dev/null
ls "$BUILD_DIR"/zarnik-station_*.deb
