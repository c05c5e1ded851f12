#!/bin/bash
# Backup of N simulated modems with zarnik-cli, in sequence and N at a time with --jobs:
# total time and requests per modem. DELAY is each answer's one-way delay on the simulated link.
# Usage: tools/bench_cli/run.sh [BUILD_DIR] [MODEMS] [JOBS] [DELAY, e.g. 20ms]
set -euo pipefail
build=${1:-build}
modems=${2:-100}
jobs=${3:-16}
delay=${4:-0ms}
cli=$build/tools/cli/zarnik-cli
sim=$build/tools/simulator/zarnik-sim
first=127.0.19.1
work=$(mktemp -d)
trap 'kill $simpid 2>/dev/null || true; rm -rf "$work"' EXIT

# The simulator reads control lines on standard input; keep it open while the bench runs.
mkfifo "$work/control"
"$sim" --modems "$modems" --first-address $first --station 127.0.0.1:41919 --period 1s --delay "$delay" <"$work/control" >"$work/sim.log" 2>&1 &
simpid=$!
exec 3>"$work/control"
for _ in $(seq 50); do grep -q '^ready:' "$work/sim.log" && break; sleep 0.1; done

addresses=$(for i in $(seq 0 $((modems - 1))); do echo "127.0.$((19 + (1 + i) / 256)).$(((1 + i) % 256))"; done)

run() {
    local label=$1; shift
    local start end
    start=$(date +%s%N)
    "$cli" backup $addresses -o "$work/$label" "$@" >"$work/$label.out"
    end=$(date +%s%N)
    local requests files
    requests=$(grep -o '([0-9]* requests)' "$work/$label.out" | tr -dc '0-9\n' | awk '{s+=$1} END {print s}')
    files=$(ls "$work/$label" | wc -l)
    awk -v l="$label" -v ms=$(((end - start) / 1000000)) -v n="$files" -v r="$requests" \
        'BEGIN { printf "%-12s %4d modems  %7d ms total  %6.1f ms/modem  %.2f requests/modem\n", l, n, ms, ms / n, r / n }'
}

echo "answer delay $delay"
run sequence
run "jobs-$jobs" --jobs "$jobs"
echo quit >&3
