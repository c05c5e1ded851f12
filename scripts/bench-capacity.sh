#!/usr/bin/env bash
# Capacity benchmark: the station (offscreen) against the simulator with N modems sending status,
# extended status and ID statistics every second. Reports the station's CPU, the datagrams dropped
# at its socket, and its packet-log records against the datagrams sent.
# Runs in a private network namespace with only loopback (re-executes itself under unshare -n).
#
#   bash scripts/bench-capacity.sh [--build DIR] [--modems N] [--seconds S] [--rules QT_LOGGING_RULES]
#                                  [--stall MS]
#
# --rules "zarnik.link.traffic.debug=false" turns the traffic lines off; by default they are on
# (and written to /dev/null). --stall MS stops the station once for MS milliseconds mid-run, as a
# busy GUI thread would, to show what its socket buffer absorbs. Not part of the test suite: one run takes about S + 10 seconds.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
modems=1000
seconds=60
rules=""
stall=0
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build=$(cd "$2" && pwd); shift 2 ;;
        --modems) modems=$2; shift 2 ;;
        --seconds) seconds=$2; shift 2 ;;
        --rules) rules=$2; shift 2 ;;
        --stall) stall=$2; shift 2 ;;
        *) echo "usage: $0 [--build DIR] [--modems N] [--seconds S] [--rules RULES] [--stall MS]" >&2; exit 2 ;;
    esac
done

if [ -z "${ZARNIK_BENCH_NETNS:-}" ]; then
    exec env ZARNIK_BENCH_NETNS=1 unshare -n bash "$0" --build "$build" --modems "$modems" \
        --seconds "$seconds" --rules "$rules" --stall "$stall"
fi
ip link set lo up

station="$build/app/zarnik-station"
sim="$build/tools/simulator/zarnik-sim"
work=$(mktemp -d)
station_pid=""
sim_pid=""
finish() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
    [ -n "$station_pid" ] && kill "$station_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT

# Field of the Udp: line of /proc/net/snmp (this namespace only).
udp_counter() {
    awk -v name="$1" '/^Udp:/ { if (!n) { for (i = 2; i <= NF; i++) col[$i] = i; n = 1 } else print $col[name] }' \
        /proc/net/snmp
}
# Drops counted on the station's control socket (0.0.0.0:40005).
socket_drops() {
    awk 'toupper($2) == "00000000:9C45" { print $NF }' /proc/net/udp | head -1
}
# utime + stime of a process, in clock ticks.
cpu_ticks() {
    awk '{ print $14 + $15 }' "/proc/$1/stat"
}

(cd "$work" && exec env QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="$rules" "$station" >/dev/null 2>&1) &
station_pid=$!
for _ in $(seq 100); do
    [ -n "$(socket_drops)" ] && break
    sleep 0.1
done
[ -n "$(socket_drops)" ] || { echo "the station did not bind 40005" >&2; exit 1; }

"$sim" --modems "$modems" --extended --id-statistic --period 1s </dev/null >"$work/sim.out" 2>&1 &
sim_pid=$!

sleep 5 # every modem in the list
rcvbuf=$( (ss -uamn 2>/dev/null || true) | awk '/0\.0\.0\.0:40005/ { found = 1; next } found { match($0, /rb[0-9]+/); print substr($0, RSTART + 2, RLENGTH - 2); exit }' || true)
ticks=$(getconf CLK_TCK)
cpu0=$(cpu_ticks "$station_pid")
sim_cpu0=$(cpu_ticks "$sim_pid")
sent0=$(udp_counter OutDatagrams)
drops0=$(socket_drops)
bufErr0=$(udp_counter RcvbufErrors)
if [ "$stall" -gt 0 ]; then
    sleep "$((seconds / 2))"
    kill -STOP "$station_pid"
    sleep "$(awk -v ms="$stall" 'BEGIN { print ms / 1000 }')"
    kill -CONT "$station_pid"
    sleep "$((seconds - seconds / 2))"
else
    sleep "$seconds"
fi
cpu1=$(cpu_ticks "$station_pid")
sim_cpu1=$(cpu_ticks "$sim_pid")
sent1=$(udp_counter OutDatagrams)
drops1=$(socket_drops)
bufErr1=$(udp_counter RcvbufErrors)

# Stop the senders, let the station read what is queued, then count its log against all datagrams.
kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; sim_pid=""
sleep 2
sent_total=$(udp_counter OutDatagrams)
received_total=$(udp_counter InDatagrams)
drops_total=$(socket_drops)
kill "$station_pid"; wait "$station_pid" 2>/dev/null || true; station_pid=""

records=$(python3 - "$work"/log-*.bin <<'EOF'
import struct, sys
# Payload lengths of the reports a simulated modem sends; ID statistics carry N 20-byte entries.
fixed = {0x8108: 29, 0x810A: 136, 0x8000: 2}
count = 0
for name in sys.argv[1:]:
    data = open(name, 'rb').read()
    at = 0
    while at + 16 + 6 <= len(data):
        opcode = struct.unpack_from('<H', data, at + 16 + 4)[0]
        if opcode == 0x810C:
            length = 16 + 20 * data[at + 16 + 6]
        elif opcode in fixed:
            length = fixed[opcode]
        else:
            sys.exit('unexpected opcode %04x at %d in %s' % (opcode, at, name))
        at += 16 + 6 + length
        count += 1
print(count)
EOF
)

cores=$(nproc)
awk -v c="$((cpu1 - cpu0))" -v sc="$((sim_cpu1 - sim_cpu0))" -v t="$ticks" -v s="$seconds" \
    -v sent="$((sent1 - sent0))" -v drops="$((drops1 - drops0))" -v buferr="$((bufErr1 - bufErr0))" \
    -v m="$modems" -v rules="${rules:-none}" -v cores="$cores" -v stall="$stall" 'BEGIN {
    printf "%d modems, status + extended status + ID statistics every second, %d s, %d cores, rules: %s, stall %d ms\n", m, s, cores, rules, stall
    printf "station CPU: %.1f %% of one core (simulator %.1f %%)\n", 100 * c / t / s, 100 * sc / t / s
    printf "datagrams sent in the window: %d (%.0f/s); dropped at the station socket: %d (RcvbufErrors %d)\n", sent, sent / s, drops, buferr
}'
echo "station socket receive buffer: ${rcvbuf:-?} bytes (net.core.rmem_max $(cat /proc/sys/net/core/rmem_max))"
echo "whole run: datagrams sent $sent_total, received $received_total, dropped $drops_total, packet-log records $records"
