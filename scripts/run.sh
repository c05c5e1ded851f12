#!/usr/bin/env bash
# Runs the station beside a simulated network of three modems: installs what is missing,
# builds, starts the simulator in the background and stops it when the station closes.
# Packet logs of the station go to build/station-logs/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$root/build}"

bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh"

simulator="$BUILD_DIR/tools/simulator/zarnik-sim"
if [ -x "$simulator" ]; then
  # Three modems on 127.0.0.11.. sending their status, extended status and ID statistics to
  # the station's default port 40005, and an attenuator whose device name it prints.
  "$simulator" --modems 3 --extended --id-statistic --attenuator </dev/null &
  simulator_pid=$!
  trap 'kill "$simulator_pid" 2>/dev/null || true; wait "$simulator_pid" 2>/dev/null || true' EXIT
else
  echo "No simulator at $simulator: the station starts without a simulated network." >&2
fi

logs="$BUILD_DIR/station-logs"
mkdir -p "$logs"
cd "$logs"
"$BUILD_DIR/app/zarnik-station"
