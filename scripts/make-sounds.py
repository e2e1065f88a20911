#!/usr/bin/env python3
"""Makes the sample sounds of samples/esempi:

- tema.mid: a short tune (about 16 seconds) for the background music, written here
  note by note as a standard MIDI file;
- 01-tramonto.wav: the spoken comment of the picture 01-tramonto, made with espeak-ng
  (Debian package espeak-ng): mono, 16-bit, 22 050 Hz.

Run from anywhere: python3 scripts/make-sounds.py
"""

import pathlib
import struct
import subprocess
import sys

OUT = pathlib.Path(__file__).resolve().parent.parent / "samples" / "esempi"

TICKS = 480          # ticks per quarter note
TEMPO_BPM = 120

# Note numbers: C4 = 60.
C3, D3, E3, F3, G3, A3, B3 = 48, 50, 52, 53, 55, 57, 59
C4, D4, E4, F4, G4, A4, B4 = 60, 62, 64, 65, 67, 69, 71
C5, D5, E5, F5, G5, A5, B5 = 72, 74, 76, 77, 79, 81, 83
C6 = 84

# The melody, bar by bar: (note, length in quarters); None is a rest.
MELODY = [
    [(E5, 1), (G5, 1), (E5, 1), (C5, 1)],
    [(A4, 1), (C5, 1), (E5, 2)],
    [(F5, 1), (E5, 1), (D5, 1), (C5, 1)],
    [(D5, 3), (G4, 1)],
    [(E5, 1), (G5, 1), (C6, 1), (G5, 1)],
    [(A5, 1), (G5, 1), (E5, 2)],
    [(F5, 1), (D5, 1), (B4, 1), (D5, 1)],
    [(C5, 4)],
]
# One chord per bar (two when the list holds two), played by the strings; the bass
# plays the first note of each chord an octave lower on beats one and three.
CHORDS = [
    [(C4, E4, G4)],
    [(A3, C4, E4)],
    [(F3, A3, C4)],
    [(G3, B3, D4)],
    [(C4, E4, G4)],
    [(A3, C4, E4)],
    [(D4, F4, A4), (G3, B3, D4)],
    [(C4, E4, G4)],
]

PIANO, STRINGS, BASS = 0, 48, 32         # General MIDI programs
CH_MELODY, CH_CHORDS, CH_BASS = 0, 1, 2


def var_len(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


def note(events, start, length, channel, key, velocity):
    events.append((start, 1, bytes([0x90 | channel, key, velocity])))
    # Notes end a little early so that repeated notes are heard apart.
    events.append((start + length - 10, 0, bytes([0x80 | channel, key, 0])))


def tune_events():
    events = []   # (tick, order, bytes): note-offs (order 0) before note-ons at one tick
    tempo = 60_000_000 // TEMPO_BPM
    events.append((0, -2, b"\xFF\x51\x03" + tempo.to_bytes(3, "big")))
    events.append((0, -2, b"\xFF\x58\x04\x04\x02\x18\x08"))  # 4/4
    for ch, prog in ((CH_MELODY, PIANO), (CH_CHORDS, STRINGS), (CH_BASS, BASS)):
        events.append((0, -1, bytes([0xC0 | ch, prog])))
    events.append((0, -1, bytes([0xB0 | CH_CHORDS, 7, 70])))   # strings softer
    events.append((0, -1, bytes([0xB0 | CH_MELODY, 7, 110])))
    events.append((0, -1, bytes([0xB0 | CH_BASS, 7, 100])))

    bar = 4 * TICKS
    t = 0
    last_bar = len(MELODY) - 1
    for b in range(len(MELODY)):
        pos = t
        for key, quarters in MELODY[b]:
            length = quarters * TICKS
            if key is not None:
                # A gentle accent on the first beat of each bar.
                note(events, pos, length, CH_MELODY, key, 100 if pos == t else 88)
            pos += length
        chords = CHORDS[b]
        span = bar // len(chords)
        for i, chord in enumerate(chords):
            start = t + i * span
            for key in chord:
                note(events, start, span, CH_CHORDS, key, 64)
            root = chord[0] - 12
            if b == last_bar:  # the ending: one long bass note
                note(events, start, span, CH_BASS, root, 90)
                continue
            half = 2 * TICKS if span >= 2 * TICKS else span
            for k in range(span // half):
                # Root on beat one, the fifth on beat three.
                note(events, start + k * half, half, CH_BASS, root if k % 2 == 0 else root + 7, 90)
        t += bar
    end = t + TICKS  # let the last chord ring
    events.append((end, 2, b"\xFF\x2F\x00"))  # end of track
    return sorted(events, key=lambda e: (e[0], e[1]))


def write_midi(path):
    track = bytearray()
    last = 0
    for tick, _, data in tune_events():
        track += var_len(tick - last) + data
        last = tick
    header = b"MThd" + struct.pack(">IHHH", 6, 0, 1, TICKS)
    path.write_bytes(header + b"MTrk" + struct.pack(">I", len(track)) + track)


def write_comment(path, text):
    # Italian voice, a calm pace; espeak-ng writes mono 16-bit at 22 050 Hz.
    subprocess.run(["espeak-ng", "-v", "it", "-s", "140", "-a", "120", "-w", str(path), text],
                   check=True)


def main():
    OUT.mkdir(parents=True, exist_ok=True)
    write_midi(OUT / "tema.mid")
    try:
        write_comment(OUT / "01-tramonto.wav", "Tramonto sul mare.")
    except FileNotFoundError:
        sys.exit("espeak-ng is needed for the spoken comment (apt-get install espeak-ng)")
    print("written:", OUT / "tema.mid", OUT / "01-tramonto.wav")


if __name__ == "__main__":
    main()
