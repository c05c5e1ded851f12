#!/usr/bin/env bash
# Runs the station beside a simulated network of three modems: installs what building needs if it
# is missing (as root), builds, starts the simulator in the background and stops it when the
# station closes. Arguments go to the station, e.g. bash scripts/run.sh --log-dir /tmp/logs.
# The simulator reads control lines from a named pipe while the station runs:
#     echo "loss 1 0.5" > build/sim-control
# Packet logs of the station go to build/station-logs/. Started with sudo, only the packages are
# installed as root: building, the station and the simulator run as the user who called sudo.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$root/build}"

bash "$root/scripts/install-deps.sh" build

# The user who builds and runs the programs: under sudo, the one who called it.
as_user=()
owner="$(id -un)"
if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
  owner="$SUDO_USER"
  as_user=(runuser -u "$owner" --)
  user_runtime="/run/user/$(id -u "$owner")"
  [ -d "$user_runtime" ] && export XDG_RUNTIME_DIR="$user_runtime"
fi
# A tree the user cannot write (made by an earlier run as root) is built as root.
builder=("${as_user[@]}")
if [ ${#as_user[@]} -gt 0 ] && ! "${as_user[@]}" test -w "$root" -a -w "$(dirname "$BUILD_DIR")"; then
  builder=()
fi
if [ ${#as_user[@]} -gt 0 ] && [ -e "$BUILD_DIR" ] && ! "${as_user[@]}" test -w "$BUILD_DIR"; then
  builder=()
fi
"${builder[@]}" bash "$root/scripts/build.sh"

logs="$BUILD_DIR/station-logs"
control="$BUILD_DIR/sim-control"
mkdir -p "$logs"
rm -f "$control"
mkfifo -m 600 "$control"
chown "$owner" "$logs" "$control"

simulator="$BUILD_DIR/tools/simulator/zarnik-sim"
simulator_pid=""
cleanup() {
  if [ -n "$simulator_pid" ]; then
    kill "$simulator_pid" 2>/dev/null || true
    wait "$simulator_pid" 2>/dev/null || true
  fi
  rm -f "$control"
}
trap cleanup EXIT

if [ -x "$simulator" ]; then
  # Three modems on 127.0.0.11.. sending their status, extended status and ID statistics to the
  # station's port 40005, and an attenuator whose device name it prints. The pipe is opened for
  # reading and writing, so it never reaches its end when one writer is done.
  "${as_user[@]}" "$simulator" --modems 3 --extended --id-statistic --attenuator <>"$control" &
  simulator_pid=$!
  echo "Simulator control lines: echo \"loss 1 0.5\" > $control   (echo help > $control lists them)"
else
  echo "No simulator at $simulator: the station starts without a simulated network." >&2
fi

cd "$logs"
"${as_user[@]}" "$BUILD_DIR/app/zarnik-station" --port 40005 "$@"
