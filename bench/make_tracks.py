#!/usr/bin/env python3
"""Writes stand-in narration tracks for running the benches on small inputs:

    make_tracks.py DIR NAME:SECONDS ...

Each track is 8-bit mono at 16 kHz, the demo edition's format, holding a
quiet tone, so that playback has real sound to stream without the speech
synthesiser."""

import math
import os
import sys
import wave

RATE = 16000


def main(argv):
    folder = argv[1]
    period = bytes(128 + int(20 * math.sin(2 * math.pi * k / 40)) for k in range(40))
    for item in argv[2:]:
        name, seconds = item.split(":")
        frames = period * (int(float(seconds) * RATE) // len(period) + 1)
        with wave.open(os.path.join(folder, name), "wb") as w:
            w.setnchannels(1)
            w.setsampwidth(1)
            w.setframerate(RATE)
            w.writeframes(frames)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
