"""What every designed program of the factory bank must meet when it is played across
its range, at full velocity and at any moment: one entry per criterion, each a short
name, the rule in words and a test on a program's figures. A program may be excused
from a criterion by a line "# Exception NAME: reason" inside it in the bank source."""
import itertools
import statistics

import playing_figures

DESIGNED = range(2, 127)            # 0, 1 and 127 are stored as the instrument first shipped them
RANGE_SPREAD, RANGE_FLOOR = 12.0, -40.0
SINGLE_PEAK, CLOSE_PEAK, SPREAD_PEAK = -3.0, -1.0, 0.0
SWING = 6.0
CLARITY = 6.0
ENDS, DC = -40.0, -50.0
# The tail rule of driven programs. The engine ends a voice when its release has fallen to
# 0.3 % (-50 dB) of where it began, measured before the master stage; the clipper there
# (slope 0.1 past its knee) holds a driven note's held sound down by up to 20 dB, so the
# same end lies up to 20 dB nearer the held level. The held sound it ends after is clipped:
# dense in partials up to the top of the range, and the release leaves the knee within its
# first decibels and falls clean; a cut 30 dB below that masks as well as one 40 dB below
# a clean held sound of the same loudness. With Drive at DRIVEN or more (a gain of 3.1 into
# the clipper, 30 dB above the clean 0.1) a note must stop 30 dB below its held level.
DRIVEN, ENDS_DRIVEN = 0.3, -30.0
SAME_SPECTRUM, SAME_ENVELOPE = 1.5, 6.0
BALANCE, PHRASE_PEAK = 3.0, -1.0


def _sounds_alike(a, b):
    return (playing_figures.spectral_distance(a.spectrum, b.spectrum) < SAME_SPECTRUM
            and playing_figures.envelope_distance(a.envelope, b.envelope) < SAME_ENVELOPE)


def twins(playing):
    """Pairs of programs whose held spectra lie within SAME_SPECTRUM dB of each other
    while their level envelopes do not clearly differ."""
    return [(a, b) for a, b in itertools.combinations(sorted(playing), 2) if _sounds_alike(playing[a], playing[b])]


class Criterion:
    def __init__(self, name, rule, passes):
        self.name, self.rule, self.passes = name, rule, passes


CRITERIA = [
    Criterion("range", "every note of the range within %g dB of the program's median and none below %g dBFS"
              % (RANGE_SPREAD, RANGE_FLOOR),
              lambda f, c: f.range_deviation() <= RANGE_SPREAD and min(f.range.values()) >= RANGE_FLOOR),
    Criterion("single", "every note of the range at velocity 127 peaks at most %g dBFS" % SINGLE_PEAK,
              lambda f, c: f.single_peak <= SINGLE_PEAK),
    Criterion("close", "close chords (the fixed ones and the drawn triads, with and without their octave) at velocity"
              " 127 peak at most %g dBFS" % CLOSE_PEAK,
              lambda f, c: f.close_chord_peak() <= CLOSE_PEAK),
    Criterion("spread", "six-note spread chords (the fixed one and the drawn major and minor ones) at velocity 127"
              " peak at most %g dBFS" % SPREAD_PEAK,
              lambda f, c: f.spread_chord_peak() <= SPREAD_PEAK),
    Criterion("swing", "the chord's loudness swings by at most %g dB over the LFO's sweep" % SWING,
              lambda f, c: f.swing <= SWING),
    Criterion("pitch", "the top notes carry at least %g dB more energy at their partials than between them" % CLARITY,
              lambda f, c: f.clarity >= CLARITY),
    Criterion("ends", "every note's sound stops at least %g dB below its held level (%g dB with Drive at %g or more)"
              % (-ENDS, -ENDS_DRIVEN, DRIVEN),
              lambda f, c: f.stop is not None and f.stop <= (ENDS_DRIVEN if f.drive >= DRIVEN else ENDS)),
    Criterion("dc", "every note's held sound has a DC offset of at most %g dBFS" % DC,
              lambda f, c: f.dc <= DC),
    Criterion("same", "no other program's held spectrum lies within %g dB unless their level envelopes differ by %g dB"
              % (SAME_SPECTRUM, SAME_ENVELOPE),
              lambda f, c: f.number not in c["twins"]),
    Criterion("balance", "the phrase's chord within %g dB of the median loudness and peaking at most %g dBFS"
              % (BALANCE, PHRASE_PEAK),
              lambda f, c: abs(c["phrase"][f.number].loudness - c["median"]) <= BALANCE
              and c["phrase"][f.number].peak <= PHRASE_PEAK),
]
CRITERION = {c.name: c for c in CRITERIA}


def context(phrase_figures, playing):
    """What the criteria comparing programs with each other need."""
    return {
        "phrase": phrase_figures,
        "median": statistics.median(phrase_figures[n].loudness for n in DESIGNED),
        "twins": {n for pair in twins({n: playing[n] for n in playing if n in DESIGNED}) for n in pair},
    }


def failures(programs, phrase_figures, playing, excused=True):
    """{criterion name: [program numbers that fail it]} over the designed programs;
    with `excused`, a program's own exceptions are left out."""
    shared = context(phrase_figures, playing)
    out = {c.name: [] for c in CRITERIA}
    for n in DESIGNED:
        for c in CRITERIA:
            if excused and c.name in programs[n].exceptions:
                continue
            if not c.passes(playing[n], shared):
                out[c.name].append(n)
    return out
