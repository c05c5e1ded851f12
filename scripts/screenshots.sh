#!/usr/bin/env bash
# Screenshots of the station in a fault scenario against the simulator, taken under Xvfb inside a
# private network namespace (only loopback exists there): docs/screenshots/*.png.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
out="$root/docs/screenshots"
mkdir -p "$out"
exec unshare -n bash -c '
  ip link set lo up
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1600x1000x24" \
    "$1/tools/screenshots/zarnik-screenshots" "$1/tools/simulator/zarnik-sim" "$2"
' screenshots "$build" "$out"
