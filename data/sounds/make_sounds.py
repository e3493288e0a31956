#!/usr/bin/env python3
"""Writes the program's two sounds: Alarm1.wav (a two-tone alarm) and
Voicbeep.wav (a short beep). 22050 Hz, mono, 16-bit."""
import math
import struct
import wave

RATE = 22050


def tone(freq, seconds, volume=0.5):
    n = int(RATE * seconds)
    ramp = int(RATE * 0.005)  # 5 ms fade in and out: no clicks
    out = []
    for i in range(n):
        env = min(1.0, i / ramp, (n - 1 - i) / ramp)
        out.append(volume * env * math.sin(2 * math.pi * freq * i / RATE))
    return out


def write(name, samples):
    with wave.open(name, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(struct.pack("<h", int(s * 32767)) for s in samples))


if __name__ == "__main__":
    alarm = []
    for _ in range(3):
        alarm += tone(988, 0.12) + tone(740, 0.12)
    write("Alarm1.wav", alarm)
    write("Voicbeep.wav", tone(1320, 0.09, 0.4) + [0.0] * int(RATE * 0.04) + tone(1760, 0.07, 0.35))
