#!/usr/bin/python3
"""Writes examples/demo.mid: a 21-second demo of Vorzle's factory programs 0 and 1.

  /usr/bin/python3 examples/make_demo.py [OUTPUT]

120 BPM, 10 bars of 4/4 plus one bar for the last chord to ring out.
  bars 1-4   "Classiq" (program 0): chord stabs Am F C G over a walking bass,
             the filter cutoff (CC 12) opening slowly, resonance (CC 13) moderate
  bars 5-8   "Rave bass" (program 1): a sixteenth-note bass riff with pitch bends,
             cutoff swept down and up twice, resonance raised, volume 6 dB down
  bars 9-10  back to "Classiq": the progression once more with a bent lead note,
             cutoff closing, and a final A minor chord
Vorzle sounds an octave below the note numbers, so chords sit around notes 57-76.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import smf  # noqa: E402

VOLUME = 7
CUTOFF = 12
RESONANCE = 13
BEATS_PER_BAR = 4

# Chords as note numbers, with the bass root for each.
PROGRESSION = [
    ("Am", [57, 60, 64, 69], 45),
    ("F", [57, 60, 65, 69], 41),
    ("C", [55, 60, 64, 67], 48),
    ("G", [55, 59, 62, 67], 43),
]

# Stab rhythm within a bar: (beat, length, velocity).
STABS = [(0.0, 0.75, 42), (1.5, 0.5, 32), (2.5, 0.75, 37), (3.5, 0.4, 29)]


def sweep(track, start, end, first, last, steps_per_beat=8):
    """A straight controller ramp from `first` to `last` between beats `start` and `end`."""
    steps = max(1, round((end - start) * steps_per_beat))
    for i in range(steps + 1):
        value = first + (last - first) * i / steps
        track.control(start + (end - start) * i / steps, CUTOFF, round(value))


def chord_section(chords, bass, first_bar, bars, rest_before_change=False):
    """Chord stabs over a walking bass. A program change cuts every voice and
    the chorus at once, so a section that ends in one leaves its last beat
    silent for the sound to die away first."""
    for bar in range(bars):
        name, notes, root = PROGRESSION[bar % len(PROGRESSION)]
        start = (first_bar + bar) * BEATS_PER_BAR
        last_beat = 3.0 if rest_before_change and bar == bars - 1 else BEATS_PER_BAR
        for beat, length, velocity in STABS:
            if beat >= last_beat:
                continue
            for n in notes:
                chords.note(start + beat, min(length, last_beat - 0.25 - beat), n, velocity, channel=0)
        # Walking bass: root, fifth, octave, a passing note towards the next chord.
        next_root = PROGRESSION[(bar + 1) % len(PROGRESSION)][2]
        walk = [root, root + 7, root + 12, next_root + (1 if next_root < root else -1)]
        for i, n in enumerate(walk):
            if i < last_beat:
                bass.note(start + i, 0.9 if i + 1 < last_beat else 0.75, n, 48 if i == 0 else 40, channel=1)


def make_song():
    song = smf.Song(bpm=120)
    chords = song.track("chords")
    bass = song.track("bass")
    lead = song.track("lead")
    control = song.track("program and controllers")

    # Bars 1-4: Classiq, the filter opening.
    control.program(0, 0)
    control.control(0, RESONANCE, 40)
    sweep(control, 0, 16, 40, 96)
    chord_section(chords, bass, 0, 4, rest_before_change=True)

    # Bars 5-8: Rave bass riff with bends and a swept, more resonant filter. With its
    # sub-octave the program is about 6 dB louder than Classiq; the volume controller
    # takes that back so the resonant peaks of the sweep stay below full scale.
    control.program(16, 1)
    control.control(16, VOLUME, 37)
    control.control(16, RESONANCE, 88)
    sweep(control, 16, 20, 100, 30)
    sweep(control, 20, 24, 30, 110)
    sweep(control, 24, 28, 110, 40)
    sweep(control, 28, 32, 40, 90)
    riff = [0, 0, 12, 0, 10, 0, 7, 0, 0, 0, 12, 0, 15, 12, 10, 7]
    roots = [45, 45, 41, 43]
    for bar in range(4):
        start = 16 + bar * BEATS_PER_BAR
        last_bar = bar == 3
        for i, step in enumerate(riff):
            if last_bar and i >= 12:
                break   # a beat of rest before the program change
            velocity = 60 if i % 4 == 0 else 44
            bass.note(start + i * 0.25, 0.22, roots[bar] + step + 12, velocity, channel=1)
        if last_bar:
            continue
        # A bend up and back on the last beat of every bar.
        for k in range(9):
            bass.bend(start + 3 + k / 8, 0.5 * (1 - abs(k - 4) / 4), channel=1)
        bass.bend(start + 4 - 1 / 16, 0.0, channel=1)

    # Bars 9-10: Classiq again, cutoff closing, a lead note bent up a little.
    control.program(32, 0)
    control.control(32, RESONANCE, 30)
    sweep(control, 32, 40, 90, 50)
    chord_section(chords, bass, 8, 2)
    lead.note(32, 1.5, 76, 50, channel=2)
    lead.note(33.5, 0.5, 74, 42, channel=2)
    lead.note(34, 2, 72, 50, channel=2)
    lead.note(36, 2, 71, 48, channel=2)
    for k in range(9):
        lead.bend(36.5 + k / 8, 0.25 * k / 8, channel=2)
    lead.bend(38, 0.0, channel=2)
    lead.note(38, 2, 69, 52, channel=2)

    # The last chord: A minor, held while it decays.
    for n in [45, 57, 60, 64, 69, 72]:
        chords.note(40, 2, n, 44, channel=0)
    return song


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "demo.mid")
    make_song().write(out, end_beat=42)
    print(out)


if __name__ == "__main__":
    main()
