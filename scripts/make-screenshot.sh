#!/usr/bin/env bash
# Makes docs/screenshot.png: the station on a 1366x768 virtual screen (Xvfb) beside the simulated
# network, with the first modem chosen and polled. Needs xvfb, xdotool and imagemagick
# (scripts/install-deps.sh). Uses a port, log folder and settings of its own.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
scratch="$(mktemp -d)"
port=40105
display=":$((90 + RANDOM % 100))"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY="$display" XDG_CONFIG_HOME="$scratch/config" QT_QPA_PLATFORM=xcb
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

"$build/tools/simulator/zarnik-sim" --modems 3 --extended --id-statistic --period 500ms \
  --station "127.0.0.1:$port" </dev/null >/dev/null &
pids+=($!)
"$build/app/zarnik-station" --port "$port" --log-dir "$scratch/logs" >/dev/null 2>&1 &
pids+=($!)

window="$(xdotool search --sync --onlyvisible --name 'ЗАРНИК' | head -1)"
sleep 3 # the three modems report in
# The first line of the modem list sits at the top left of the window, under the menu bar.
xdotool mousemove --window "$window" 120 76 click --repeat 2 --delay 80 1
sleep 4 # ten reports polled, status and extended status shown
import -window "$window" "$root/docs/screenshot.png"
echo "$root/docs/screenshot.png"
