#!/usr/bin/env bash
# Runs inside the private network namespace made by test.sh: brings up loopback with the
# station's fixed addresses, starts a PulseAudio daemon on a null sink, runs ctest, cleans up.
set -uo pipefail
build="$1"

ip link set lo up
# The station's own fixed destinations, answered locally inside this namespace only.
ip addr add 192.168.11.12/32 dev lo
ip route add default dev lo

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$(mktemp -d)"
chmod 700 "$XDG_RUNTIME_DIR"

# PulseAudio for the voice tests: playback goes to a null sink; the "microphone" is the monitor
# of a second null sink that two sine sources feed with 1000 Hz and 1600 Hz (a null sink's monitor
# honours the station's small capture buffer, a bare sine source does not; a two-tone signal,
# unlike one pure tone, decodes cleanly when the decoder joins the stream midway).
pulse_pid=""
if command -v pulseaudio >/dev/null 2>&1; then
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --log-target=stderr \
    --load="module-native-protocol-unix" \
    --load="module-null-sink sink_name=nullsink" \
    --load="module-null-sink sink_name=mic_1000_1600hz" \
    --load="module-sine-source source_name=tone_1000hz frequency=1000" \
    --load="module-sine-source source_name=tone_1600hz frequency=1600" \
    --load="module-loopback source=tone_1000hz sink=mic_1000_1600hz latency_msec=60" \
    --load="module-loopback source=tone_1600hz sink=mic_1000_1600hz latency_msec=60" \
    --load="module-always-sink" 2>"$XDG_RUNTIME_DIR/pulse.log" &
  pulse_pid=$!
  for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl set-default-sink nullsink >/dev/null 2>&1 || true
  pactl set-default-source mic_1000_1600hz.monitor >/dev/null 2>&1 || true
  pactl set-source-volume tone_1000hz 70% >/dev/null 2>&1 || true # the two together peak near -9 dBFS
  pactl set-source-volume tone_1600hz 70% >/dev/null 2>&1 || true
fi

cd "$build"
ctest --output-on-failure -j2
status=$?

if [ -n "$pulse_pid" ]; then
  kill "$pulse_pid" 2>/dev/null
  wait "$pulse_pid" 2>/dev/null
fi
rm -rf "$XDG_RUNTIME_DIR"
exit $status
