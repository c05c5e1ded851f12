#!/usr/bin/env bash
# Soak: the station (offscreen) against MODEMS simulated modems with loss, duplicates, reordering and
# corruption for MINUTES, in a private network namespace. Samples the station's memory and CPU every
# 30 s, captures the traffic, then kills the station (-9) and checks that its packet log holds every
# captured valid datagram byte for byte with no torn record. Exits non-zero on a crash, memory
# growth above 5 MB, or any mismatch.
# Usage: soak.sh [MINUTES] [MODEMS]   (MINUTES may be a fraction, e.g. 1 or 0.5; defaults 30 and 100)
# Environment: BUILD_DIR (default build/), SOAK_KEEP=1 keeps the capture and logs, SOAK_GROWTH_LIMIT_KB.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
minutes="${1:-30}"
modems="${2:-100}"

if [ -z "${SOAK_IN_NAMESPACE:-}" ]; then
  exec unshare -n env SOAK_IN_NAMESPACE=1 bash "$0" "$minutes" "$modems"
fi

station="$build/app/zarnik-station"
simulator="$build/tools/simulator/zarnik-sim"
for program in "$station" "$simulator"; do
  [ -x "$program" ] || { echo "soak: $program is missing; build first" >&2; exit 2; }
done

ip link set lo up
export QT_QPA_PLATFORM=offscreen
work="$(mktemp -d)"
mkdir -p "$work/logs"
station_pid="" sim_pid="" dump_pid=""
cleanup() {
  for pid in $sim_pid $dump_pid $station_pid; do kill -9 "$pid" 2>/dev/null; done
  wait 2>/dev/null
  [ -n "${SOAK_KEEP:-}" ] && echo "soak: files kept in $work" || rm -rf "$work"
}
trap cleanup EXIT

total_s="$(python3 -c "print(max(30, int(float('$minutes') * 60)))")"

(cd "$work/logs" && exec "$station" >"$work/station.out" 2>&1) &
station_pid=$!
# The station logs from the moment it holds its port; traffic before that would be captured only.
for _ in $(seq 300); do
  ss -Hlun 'sport = :40005' 2>/dev/null | grep -q . && ls "$work/logs"/*.bin >/dev/null 2>&1 && break
  sleep 0.1
done
if ! ls "$work/logs"/*.bin >/dev/null 2>&1; then
  echo "soak: FAIL - the station did not start logging"; tail -5 "$work/station.out"; exit 1
fi

capture="no"
if command -v tcpdump >/dev/null 2>&1; then
  tcpdump -i lo -U -s 0 -Z root -w "$work/capture.pcap" 'udp port 40005' 2>"$work/tcpdump.err" &
  dump_pid=$!
  for _ in $(seq 100); do grep -q listening "$work/tcpdump.err" 2>/dev/null && break; sleep 0.1; done
  capture="yes"
fi

# Control lines stay open through a FIFO so the simulator keeps running until told to quit.
mkfifo "$work/control"
"$simulator" --modems "$modems" --extended --id-statistic --period 1s --seed 20 \
  --loss 0.1 --duplicate 0.05 --reorder 0.05 --corrupt 0.05 <"$work/control" >"$work/sim.out" 2>&1 &
sim_pid=$!
exec 3>"$work/control"

rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$station_pid/status" 2>/dev/null; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$station_pid/stat" 2>/dev/null; }
hz="$(getconf CLK_TCK)"
printf 'soak: %s min, %s modems, capture %s\n' "$minutes" "$modems" "$capture"
printf '%8s %10s %8s\n' "time s" "RSS kB" "CPU %"
first_rss="" last_rss="" crashed="" elapsed=0
last_ticks="$(cpu_ticks)"
while [ "$elapsed" -lt "$total_s" ]; do
  step=$(( total_s - elapsed < 30 ? total_s - elapsed : 30 ))
  sleep "$step"
  elapsed=$(( elapsed + step ))
  if ! kill -0 "$station_pid" 2>/dev/null; then crashed="station"; break; fi
  if ! kill -0 "$sim_pid" 2>/dev/null; then crashed="simulator"; break; fi
  rss="$(rss_kb)"; ticks="$(cpu_ticks)"
  cpu="$(python3 -c "print('%.1f' % (100.0 * ($ticks - $last_ticks) / $hz / $step))")"
  last_ticks="$ticks"
  [ -z "$first_rss" ] && first_rss="$rss"
  last_rss="$rss"
  printf '%8d %10d %8s\n' "$elapsed" "$rss" "$cpu"
done

status=0
if [ -n "$crashed" ]; then
  echo "soak: FAIL - the $crashed ended early"
  tail -5 "$work/station.out" "$work/sim.out"
  exit 1
fi
echo quit >&3
exec 3>&-
wait "$sim_pid" 2>/dev/null
sim_pid=""
sleep 2 # the station reads what is still queued for it
kill -9 "$station_pid"
wait "$station_pid" 2>/dev/null
station_pid=""
if [ -n "$dump_pid" ]; then
  kill -INT "$dump_pid"
  wait "$dump_pid" 2>/dev/null
  dump_pid=""
fi

# Datagrams the kernel dropped because the station's receive buffer was full (this namespace only).
kernel_drops="$(awk '/^Udp:/ && !names {names = 1; for (i = 1; i <= NF; i++) col[$i] = i; next}
                     /^Udp:/ {print $col["RcvbufErrors"]}' /proc/net/snmp)"
growth=$(( last_rss - first_rss ))
printf 'memory: %d kB at first sample, %d kB at last, growth %d kB\n' "$first_rss" "$last_rss" "$growth"
# AddressSanitizer's quarantine holds freed memory by design; a sanitizer build sets the limit to 0 (off).
limit_kb="${SOAK_GROWTH_LIMIT_KB:-5120}"
if [ "$limit_kb" -gt 0 ] && [ "$growth" -gt "$limit_kb" ]; then
  echo "soak: FAIL - memory grew by more than 5 MB"
  status=1
fi
if [ "$capture" = yes ]; then
  grep -h 'packets' "$work/tcpdump.err" | sed 's/^/tcpdump: /'
  if ! python3 "$root/scripts/soak_check.py" "$work/capture.pcap" 127.0.0.1 40005 "${kernel_drops:-0}" \
      "$work/logs"/*.bin; then
    echo "soak: FAIL - the packet log and the capture differ"
    status=1
  fi
else
  echo "log check skipped: tcpdump is not installed"
fi
[ "$status" -eq 0 ] && echo "soak: PASS"
exit "$status"
