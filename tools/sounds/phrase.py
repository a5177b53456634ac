"""The fixed phrase every program is measured with.

Each part starts with a program change to the program itself, which silences every voice
and empties the chorus, so one part's release never leaks into the next. All times are
multiples of 50 ms (2205 samples at 44.1 kHz): with the renderer's block size at 441
frames every event falls on a block boundary, whether or not the renderer cuts blocks at
events.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "examples"))
import smf  # noqa: E402

VELOCITY = 100
BPM = 120.0            # two beats a second


class Part:
    def __init__(self, name, notes, hold, length):
        self.name = name
        self.notes = notes      # (start, note) pairs in seconds from the part's start
        self.hold = hold        # how long each note is held
        self.length = length    # the part's length, release included
        self.start = 0.0


# A four-note A minor chord, single notes two octaves apart (55, 220 and 880 Hz at the
# oscillators' own pitch), and a quick up-and-down run of sixteenths.
PARTS = [
    Part("chord", [(0.0, n) for n in (57, 60, 64, 69)], hold=1.5, length=3.0),
    Part("low", [(0.0, 45)], hold=0.8, length=1.2),
    Part("mid", [(0.0, 69)], hold=0.8, length=1.2),
    Part("high", [(0.0, 93)], hold=0.8, length=1.2),
    Part("run", [(0.15 * i, n) for i, n in enumerate((57, 64, 69, 72, 76, 72, 69, 64))], hold=0.1, length=1.6),
]
_at = 0.0
for _part in PARTS:
    _part.start = _at
    _at += _part.length
LENGTH = _at
PART = {part.name: part for part in PARTS}


def write_phrase(path, program):
    """The phrase for one program as a MIDI file."""
    song = smf.Song(BPM)
    track = song.track("phrase")
    beats = BPM / 60.0
    for part in PARTS:
        track.program(part.start * beats, program)
        for at, note in part.notes:
            track.note((part.start + at) * beats, part.hold * beats, note, VELOCITY)
    song.write(path, end_beat=LENGTH * beats)
