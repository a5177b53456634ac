"""The score a musician plays each program with, beyond the measuring phrase: single
notes across the program's category range at velocity 100, every note of the range at
127 with its whole release, close four-note chords low, middle and high in the range and
a six-note spread chord at 127, a seeded draw of major and minor triads, with and without
their octave and spread over two and a half octaves, across the range at 127, the middle
chord at eight moments of the cutoff LFO's sweep, and one long middle note with its whole
release.

Every part starts with a program change that silences the part before; every time is
a multiple of 50 ms, so events fall on the renderer's 441-frame blocks.
"""
import math
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), "examples"))
import smf  # noqa: E402

BPM = 120.0
STEP = 4                        # semitones between the single notes of a range
NOTE_HOLD, NOTE_PART = 0.9, 1.2
CHORD_HOLD, CHORD_PART = 1.0, 1.4
CLOSE_CHORD = (0, 3, 7, 12)     # a minor triad with its octave, as the phrase's chord
SPREAD_CHORD = (0, 7, 16, 24, 28, 31)
MOMENTS = 8
# The voicings drawn for each program: every shape on VOICINGS roots chosen at random
# (seeded by the program's number, so every run plays the same) where the shape fits the
# range. "close" shapes are held to the close chords' limit, "spread" ones to the spread
# chord's.
SEED = 28
VOICINGS = 6
SHAPES = {
    "major": ("close", (0, 4, 7)),
    "minor": ("close", (0, 3, 7)),
    "major octave": ("close", (0, 4, 7, 12)),
    "minor octave": ("close", (0, 3, 7, 12)),
    "major spread": ("spread", SPREAD_CHORD),
    "minor spread": ("spread", (0, 7, 15, 24, 27, 31)),
}
RELEASE_MARGIN = 0.3            # seconds after a voice's release ends for the chorus to die away
MIDDLE_NOTE, MIDDLE_HOLD = 69, 1.0
LONGEST_TAIL = 14.0             # seconds of release rendered at most
FULL, PLAYED = 127, 100         # velocities
SAMPLE_RATE = 44100
GRID = 0.05

# The keys each category is played on (MIDI notes; the instrument sounds an octave
# below concert pitch, so note 69 is 220 Hz). A bass lives low, bells high.
RANGES = {
    "Signature": (36, 84),
    "Basses": (36, 72),
    "Leads": (52, 96),
    "Pads": (40, 84),
    "Strings and brass": (40, 88),
    "Keys and plucks": (40, 92),
    "Organs": (36, 88),
    "Bells and mallets": (52, 100),
    "Sequences and arpeggios": (40, 88),
    "Effects and drones": (36, 84),
    "Init": (36, 96),
}


def grid(seconds):
    return round(seconds / GRID) * GRID


def range_notes(category):
    low, high = RANGES[category]
    notes = list(range(low, high + 1, STEP))
    return notes if notes[-1] == high else notes + [high]


def chords(category):
    """{name: notes} of the four chords played at full velocity."""
    low, high = RANGES[category]
    middle = (low + high) // 2
    spread_root = low + (high - low - SPREAD_CHORD[-1]) // 2
    return {
        "low": [low + i for i in CLOSE_CHORD],
        "middle": [middle - 6 + i for i in CLOSE_CHORD],
        "high": [high - 12 + i for i in CLOSE_CHORD],
        "spread": [spread_root + i for i in SPREAD_CHORD],
    }


def envelope_samples(value, threshold):
    """Samples an envelope stage with parameter `value` lasts (see the engine's envelopes)."""
    rate = 0.01 * max(0.0, 1.0 - value) ** 5 + 0.00001
    return math.log(threshold) / math.log(1.0 - rate)


def release_length(program, hold):
    """Seconds from a note-off after `hold` seconds until the voice has surely ended."""
    release = envelope_samples(program["AmpRelease"], 0.003) / SAMPLE_RATE
    if program["AmpSustain"] <= 0.00001:
        dies = sum(envelope_samples(program[p], 0.003) for p in ("AmpAttack", "AmpHold", "AmpDecay")) / SAMPLE_RATE
        if dies < hold:
            release = 0.0
    return release


def tail_length(program):
    """Seconds from the middle note's note-off until the note has surely ended."""
    return min(LONGEST_TAIL, grid(release_length(program, MIDDLE_HOLD) + 0.5))


def peak_time(program):
    """Seconds a note is held to reach its loudest: through the amplitude envelope's
    attack and hold, and the filter envelope's when it opens the filter."""
    amp = sum(envelope_samples(program[p], 0.003) for p in ("AmpAttack", "AmpHold"))
    rise = sum(envelope_samples(program[p], 0.01) for p in ("FilterAttack", "FilterHold"))
    opens = program["FilterEnvAmount"] > 0.5
    return (max(amp, rise) if opens else amp) / SAMPLE_RATE


def survey_hold(program):
    """How long each note and voicing of the survey is held: past its loudest moment, and
    long enough for the held sound's offset to be measured (at least 0.5 s)."""
    return grid(min(2.0, max(0.5, peak_time(program) + 0.2)))


def voicings(program):
    """[(shape name, notes)]: the seeded draw of chords played with the program."""
    low, high = RANGES[program.category]
    draw = random.Random(SEED * 1000 + program.number)
    out = []
    for name, (_, intervals) in SHAPES.items():
        roots = range(low, high - intervals[-1] + 1)
        out += [(name, [root + i for i in intervals]) for root in draw.choices(roots, k=VOICINGS)]
    return out


def lfo_period(program):
    """Seconds one cycle of the program's cutoff sweep lasts; None without a sweep."""
    if abs(program["LfoAmount"] - 0.5) < 1e-6 or program["LfoRate"] <= 0:
        return None
    return 2 * math.pi / (10 * program["LfoRate"])


def slowest_lfo_period(programs):
    return max(filter(None, (lfo_period(p) for p in programs)))


def moment_spacing(period):
    """Seconds between the starts of the timed chords: a sixth of the period plus whole
    periods, so that the chords fall on six evenly spread phases and do not overlap."""
    spacing = period / MOMENTS
    while grid(spacing) < CHORD_PART:
        spacing += period
    return grid(spacing)


class Part:
    def __init__(self, kind, key, notes, velocity, hold, length):
        self.kind, self.key, self.notes, self.velocity = kind, key, notes, velocity
        self.hold, self.length = hold, length
        self.start = 0.0


def score(program, slowest_period):
    """The parts played with one program, their starts filled in."""
    parts = [Part("note", n, [n], PLAYED, NOTE_HOLD, NOTE_PART) for n in range_notes(program.category)]
    hold = survey_hold(program)
    tail = min(LONGEST_TAIL, grid(release_length(program, hold) + RELEASE_MARGIN))
    low, high = RANGES[program.category]
    parts += [Part("full", n, [n], FULL, hold, hold + tail) for n in range(low, high + 1)]
    parts += [Part("chord", name, notes, FULL, CHORD_HOLD, CHORD_PART) for name, notes in chords(program.category).items()]
    parts += [Part("voicing", SHAPES[name][0], notes, FULL, hold, hold + 0.1) for name, notes in voicings(program)]
    # Over the program's own sweep, or over the bank's slowest one without a sweep.
    spacing = moment_spacing(lfo_period(program) or slowest_period)
    middle = chords(program.category)["middle"]
    parts += [Part("moment", k, middle, PLAYED, CHORD_HOLD, spacing) for k in range(MOMENTS)]
    parts.append(Part("middle", MIDDLE_NOTE, [MIDDLE_NOTE], PLAYED, MIDDLE_HOLD, MIDDLE_HOLD + tail_length(program)))
    at = 0.0
    for part in parts:
        part.start = at
        at = grid(at + part.length)
    return parts


def write_score(path, program, parts):
    song = smf.Song(BPM)
    track = song.track("playing")
    beats = BPM / 60.0
    for part in parts:
        track.program(part.start * beats, program.number)
        for note in part.notes:
            track.note(part.start * beats, part.hold * beats, note, part.velocity)
    end = parts[-1].start + parts[-1].length
    song.write(path, end_beat=end * beats)
    return end
