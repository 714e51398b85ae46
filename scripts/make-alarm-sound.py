#!/usr/bin/env python3
"""Writes the alarm sound: a 0.4 s two-tone beep, 16-bit mono PCM at 22050 Hz."""

import math
import struct
import sys
import wave
from pathlib import Path

RATE = 22050
TONES = ((880.0, 0.2), (660.0, 0.2))  # Hz, seconds
VOLUME = 0.6
FADE = 0.005  # seconds of fade in and out per tone, against clicks


def tone(frequency, seconds):
    count = int(RATE * seconds)
    fade = int(RATE * FADE)
    for i in range(count):
        envelope = min(1.0, i / fade, (count - 1 - i) / fade)
        yield VOLUME * envelope * math.sin(2 * math.pi * frequency * i / RATE)


def main():
    default = Path(__file__).resolve().parent.parent / "src/alarms/ui/sounds/alarm.wav"
    target = Path(sys.argv[1]) if len(sys.argv) > 1 else default
    samples = [s for frequency, seconds in TONES for s in tone(frequency, seconds)]
    frames = b"".join(struct.pack("<h", int(s * 32767)) for s in samples)
    with wave.open(str(target), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(frames)


if __name__ == "__main__":
    main()
