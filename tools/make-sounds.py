#!/usr/bin/env python3
"""Writes the alarm sounds shipped with the plotter (data/sounds/*.wav).

Each sound is made here from sine tones: no recorded or third-party audio.
Mono, 16-bit, 22 050 Hz, a fraction of a second each, with short fades so
that no click is heard. Run it again after changing a sound; the files are
committed.
    tools/make-sounds.py [OUTDIR]
"""
import math
import os
import struct
import sys
import wave

RATE = 22050


def tone(freqs, seconds, volume=0.5, decay=0.0):
    """Samples of the sum of sine tones, faded in and out."""
    n = int(RATE * seconds)
    fade = int(RATE * 0.01)
    out = []
    for i in range(n):
        t = i / RATE
        v = sum(math.sin(2 * math.pi * f * t) for f in freqs) / len(freqs)
        v *= volume * math.exp(-decay * t)
        if i < fade:
            v *= i / fade
        if n - i < fade:
            v *= (n - i) / fade
        out.append(v)
    return out


def silence(seconds):
    return [0.0] * int(RATE * seconds)


SOUNDS = {
    # The general sound: a bell-like two-tone ding.
    "Ding.wav": tone([880, 1320], 0.6, 0.6, decay=5.0),
    # The GPS is lost: a falling pair.
    "GpsLost.wav": tone([660], 0.18) + silence(0.05) + tone([440], 0.3),
    # Too shallow: three short high beeps.
    "Depth.wav": tone([1500], 0.08) + silence(0.06) + tone([1500], 0.08) + silence(0.06) + tone([1500], 0.08),
    # Off the leg, steer right (boat left of the leg): a rising pair.
    "XteSteerRight.wav": tone([523], 0.15) + silence(0.04) + tone([784], 0.25),
    # Off the leg, steer left: a falling pair, higher than the GPS sound.
    "XteSteerLeft.wav": tone([784], 0.15) + silence(0.04) + tone([523], 0.25),
    # An AIS target too close: a warble.
    "AisCpa.wav": tone([950], 0.1) + tone([1200], 0.1) + tone([950], 0.1) + tone([1200], 0.1),
}


def write(path, samples):
    frames = b"".join(struct.pack("<h", int(max(-1.0, min(1.0, s)) * 32767)) for s in samples)
    tmp = path + ".tmp"
    with wave.open(tmp, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(frames)
    os.replace(tmp, path)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "sounds")
    os.makedirs(out, exist_ok=True)
    for name, samples in SOUNDS.items():
        write(os.path.join(out, name), samples)
        print(os.path.join(out, name))


if __name__ == "__main__":
    main()
