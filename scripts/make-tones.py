#!/usr/bin/env python3
"""Writes the station's tones into resources/ringtones/ (16-bit PCM WAV, 44100 Hz).

dial.wav       the outgoing-call tone: 425 Hz, mono, 2.04 s (repeated every 4 s by the station)
ringtone1.wav  the incoming-call ring: a warm two-tone "ring-ring" cadence, stereo, 31.9 s
ringtone2.wav  a spare ring: a soft marimba-like arpeggio, mono, 3 s

Steady tones use frequencies whose periods are whole samples, so the long ring repeats
byte for byte and stays small in git. Output is deterministic.
"""
import math
import os
import struct
import sys
import wave

RATE = 44100


def ramp(n, length, fade):
    """Raised-cosine fade in and out over `fade` samples: no clicks at the edges."""
    if n < fade:
        return 0.5 - 0.5 * math.cos(math.pi * n / fade)
    if n >= length - fade:
        return 0.5 - 0.5 * math.cos(math.pi * (length - 1 - n) / fade)
    return 1.0


def periodic_sine(n, period):
    """Sine of exactly `period` samples, computed from n mod period so it repeats exactly."""
    return math.sin(2.0 * math.pi * (n % period) / period)


def to_pcm(x):
    return max(-32767, min(32767, int(round(x * 32767.0))))


def write_wav(path, channels, frames):
    with wave.open(path, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(RATE)
        data = bytearray()
        for sample in frames:
            data += struct.pack("<h", sample) * channels
        w.writeframes(bytes(data))


def dial_tone():
    length = int(2.04 * RATE)
    fade = int(0.015 * RATE)
    return [to_pcm(0.5 * ramp(n, length, fade) * math.sin(2.0 * math.pi * 425.0 * n / RATE))
            for n in range(length)]


def ring_cadence():
    """One 3 s cycle of bursts (start, length) in seconds: ring 0.4, pause 0.2, ring 0.4, rest."""
    return [(0.0, 0.4), (0.6, 0.4)], 3.0


def ringtone1():
    length = int(31.9 * RATE)
    bursts, cycle = ring_cadence()
    fade = int(0.01 * RATE)
    out = [0] * length
    for start_cycle in range(int(math.ceil(length / (cycle * RATE)))):
        for start, dur in bursts:
            first = int((start_cycle * cycle + start) * RATE)
            count = int(dur * RATE)
            for i in range(count):
                n = first + i
                if n >= length:
                    break
                # 441 Hz and 490 Hz (periods 100 and 90 samples) beat softly at 49 Hz.
                tone = 0.3 * periodic_sine(n, 100) + 0.3 * periodic_sine(n, 90)
                out[n] = to_pcm(ramp(i, count, fade) * tone)
    return out


def ringtone2():
    length = int(3.0 * RATE)
    out = [0.0] * length
    notes = [440.0, 554.37, 659.26, 880.0]  # A major arpeggio
    step = 0.16
    for phrase in (0.0, 1.5):
        for k, f in enumerate(notes):
            first = int((phrase + k * step) * RATE)
            for i in range(int(0.9 * RATE)):
                n = first + i
                if n >= length:
                    break
                t = i / RATE
                attack = min(1.0, i / (0.004 * RATE))
                env = attack * math.exp(-t * 6.0)
                # Fundamental plus a quickly fading fourth partial: a wooden, marimba-like strike.
                v = math.sin(2.0 * math.pi * f * t) + 0.3 * math.exp(-t * 25.0) * math.sin(2.0 * math.pi * 4.0 * f * t)
                out[n] += 0.22 * env * v
    return [to_pcm(x) for x in out]


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "resources", "ringtones")
    os.makedirs(target, exist_ok=True)
    write_wav(os.path.join(target, "dial.wav"), 1, dial_tone())
    write_wav(os.path.join(target, "ringtone1.wav"), 2, ringtone1())
    write_wav(os.path.join(target, "ringtone2.wav"), 1, ringtone2())


if __name__ == "__main__":
    main()
