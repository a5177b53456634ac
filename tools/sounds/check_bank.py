#!/usr/bin/python3
"""Balance checks on the committed factory bank, through the native build:

  /usr/bin/python3 tools/sounds/check_bank.py [--build build/native]

Checks the measuring on signals whose figures are known, renders the measuring phrase
with all 128 programs (a few seconds) and checks names and categories, loudness,
peaks, pitch, that no two programs are alike, and that docs/sounds.md describes the
bank as committed; then plays every program across its range, at full velocity and at
several moments of its LFO (under a minute) and checks each criterion of criteria.py.
"""
import argparse
import itertools
import os
import re
import statistics
import sys
import unittest

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bank_info  # noqa: E402
import criteria  # noqa: E402
import make_sounds  # noqa: E402
import measure  # noqa: E402
import playing_figures  # noqa: E402
import render  # noqa: E402

DESIGNED = range(2, 127)            # 0, 1 and 127 are stored as the instrument first shipped them
CHORD_PEAK_LIMIT = -1.0             # dBFS
BALANCE = 3.0                       # dB either side of the designed programs' median loudness
SILENT = -60.0                      # dBFS: a part of the phrase quieter than this is silence
# A tune value off by 0.01 moves an oscillator by 24 cents; the chorus's side bands and a
# resonant peak swept across the partials pull the measured peak by up to about 10 cents.
PITCH_TOLERANCE = 20.0              # cents
PARAMETER_DIFFERENCE = 0.1
# A program with chorus differs from itself by up to 2.0 dB on the fingerprint when it is
# rendered a moment later (the chorus then sweeps its notches over other partials); one
# without chorus or LFO renders identically. Two programs must differ by clearly more
# than that motion alone: 3 dB on average over every band and 100 ms the two sound in.
SPECTRAL_DISTANCE = 3.0             # dB
CATEGORY_RUN = (13, 18)             # programs per designed category

programs = []
figures = {}
played = {}
build = None
# A sanitizer's tree renders many times slower; it runs the phrase's checks only (the
# native tree plays every program across the keyboard).
PHRASE_ONLY = os.environ.get("VORZLE_BANK_PHRASE_ONLY") == "1"


def setUpModule():
    programs[:] = bank_info.read_bank()
    takes = render.render_phrases(range(bank_info.PROGRAM_COUNT), build)
    figures.update({p.number: measure.Figures(p, takes[p.number]) for p in programs})
    if not PHRASE_ONLY:
        played.update(render.render_playing(programs, build))


class Measurements(unittest.TestCase):
    """The measuring itself, on signals whose figures are known."""

    def test_a_sine_measures_its_level_pitch_and_width(self):
        t = np.arange(round(1.5 * render.SAMPLE_RATE)) / render.SAMPLE_RATE
        tone = 0.5 * np.sin(2 * np.pi * 220.0 * t)
        x = np.stack([tone, tone], axis=1)
        self.assertAlmostEqual(measure.loudest_window(x)[0], 20 * np.log10(0.5 / np.sqrt(2)), places=2)
        self.assertAlmostEqual(measure.peak_db(x), 20 * np.log10(0.5), places=2)
        self.assertLess(abs(measure.cents(measure.lowest_partial(x, 1.5), 220.0)), 0.5)
        self.assertEqual(measure.width_db(x), measure.FLOOR_DB)
        # Right at half the left: side 0.5, mid 1.5.
        self.assertAlmostEqual(measure.width_db(np.stack([tone, 0.5 * tone], axis=1)), 20 * np.log10(1 / 3), places=2)

    def test_a_decay_measures_its_envelope(self):
        rate = render.SAMPLE_RATE
        t = np.arange(3 * rate) / rate
        # Full level for 1.5 s, then falling 60 dB per second.
        level = np.where(t < 1.5, 1.0, 10 ** (-3 * (t - 1.5)))
        tone = 0.5 * np.sin(2 * np.pi * 220.0 * t) * level
        attack, sustain, release = measure.envelope_times(np.stack([tone, tone], axis=1), 1.5)
        self.assertLessEqual(attack, 10)
        self.assertAlmostEqual(sustain, 0.0, delta=0.5)
        self.assertAlmostEqual(release, 500, delta=20)

    def test_the_prediction_follows_the_engine(self):
        # Note 69 at tune 0.5 plays 220 Hz (a little above: the table length is whole).
        self.assertAlmostEqual(measure.oscillator_frequency(69, 0.5), 220.02, places=2)
        self.assertAlmostEqual(measure.oscillator_frequency(69, 0.0), 110.01, places=2)
        self.assertAlmostEqual(measure.oscillator_frequency(60, 0.5), 32 * 44100 / 10787, places=4)


    def test_partials_and_endings_measure_as_built(self):
        rate = render.SAMPLE_RATE
        t = np.arange(2 * rate) / rate
        saw_like = sum(np.sin(2 * np.pi * 220.0 * k * t) / k for k in range(1, 20))
        between = 0.5 * np.sin(2 * np.pi * 330.0 * t) + 0.5 * np.sin(2 * np.pi * 1650.0 * t)
        values = [0.5] * len(bank_info.PARAMETERS)
        values[bank_info.PARAMETERS.index("Osc1Level")] = 1.0
        values[bank_info.PARAMETERS.index("Osc1On")] = 1.0
        program = bank_info.Program(0, "probe", values)
        # Harmonic power sum(1/k^2)/2 = 0.80 against 0.25 between: 5.0 dB.
        for signal, low, high in ((saw_like, 60, 200), (saw_like + between, 4.5, 5.5)):
            with self.subTest(low=low):
                x = np.stack([signal, signal], axis=1)
                self.assertTrue(low <= playing_figures.harmonic_clarity(x, program, 69) <= high)
        # Held at 0.1 for 0.5 s, then falling 60 dB a second, cut off 30 dB down; 0.001 of
        # offset. Three periods fill each frame of the stop, so no frame catches part of one.
        level = np.where(t < 0.5, 1.0, 10 ** (-3 * (t - 0.5))) * (t < 1.0)
        period = playing_figures.ENDS_FRAME / 3 / rate
        tone = 0.1 * np.sin(2 * np.pi * t / period) * level + 0.001 * (t < 1.0)
        stop, dc = playing_figures.ending(np.stack([tone, tone], axis=1), 0.5)
        self.assertAlmostEqual(stop, -30.0, delta=1.0)
        self.assertAlmostEqual(dc, -60.0, delta=0.5)


class NamesAndCategories(unittest.TestCase):
    def test_names_are_unique_short_and_telling(self):
        names = [p.name for p in programs]
        self.assertEqual(len(set(names)), len(names), "names repeat")
        for p in programs:
            self.assertTrue(0 < len(p.name) <= 23, p.name)
            self.assertTrue(all(" " <= c <= "~" for c in p.name), p.name)
        for n in DESIGNED:
            name = programs[n].name
            self.assertNotIn("blank", name.lower(), n)
            self.assertIsNone(re.search(r"\d", name), "%d %r is numbered" % (n, name))

    def test_every_program_has_a_category_and_a_note(self):
        for p in programs:
            self.assertTrue(p.category, "program %d has no category" % p.number)
            self.assertGreater(len(p.note), 20, "program %d has no note" % p.number)

    def test_categories_are_contiguous_runs(self):
        runs = make_sounds.category_runs(programs)
        categories = [r[0] for r in runs]
        self.assertEqual(len(set(categories)), len(categories), "a category is split: %s" % categories)
        designed = [r for r in runs if r[1] > 0 and r[2] < 127]
        self.assertEqual(len(designed), 9, categories)
        for category, first, last in designed:
            size = last - first + 1
            self.assertTrue(CATEGORY_RUN[0] <= size <= CATEGORY_RUN[1], "%s has %d programs" % (category, size))


class Balance(unittest.TestCase):
    def test_no_program_is_silent(self):
        for n, f in figures.items():
            for part, level in f.part_loudness.items():
                with self.subTest(program=n, part=part):
                    self.assertGreater(level, SILENT)

    def test_chord_peaks_stay_below_the_limit(self):
        for n, f in figures.items():
            with self.subTest(program=n, name=programs[n].name):
                self.assertLessEqual(f.peak, CHORD_PEAK_LIMIT)

    def test_designed_programs_are_equally_loud(self):
        median = statistics.median(figures[n].loudness for n in DESIGNED)
        for n in DESIGNED:
            with self.subTest(program=n, name=programs[n].name, loudness=figures[n].loudness, median=median):
                self.assertLessEqual(abs(figures[n].loudness - median), BALANCE)

    def test_single_notes_sound_at_the_predicted_pitch(self):
        for n, f in figures.items():
            with self.subTest(program=n, name=programs[n].name, measured=f.pitch["mid"], predicted=f.expected["mid"]):
                self.assertLessEqual(f.pitch_error("mid"), PITCH_TOLERANCE)


class Distinctness(unittest.TestCase):
    def test_no_two_programs_are_alike(self):
        for a, b in itertools.combinations(programs, 2):
            with self.subTest(programs=(a.number, b.number), names=(a.name, b.name)):
                difference = max(abs(x - y) for x, y in zip(a.values, b.values))
                self.assertGreaterEqual(difference, PARAMETER_DIFFERENCE)
                d = measure.distance(figures[a.number].fingerprint, figures[b.number].fingerprint)
                self.assertGreaterEqual(d, SPECTRAL_DISTANCE)


@unittest.skipIf(PHRASE_ONLY, "the phrase's checks only")
class PlayedAsAMusicianPlays(unittest.TestCase):
    """One check per criterion of criteria.py over every designed program; the phrase's
    balance is checked above."""

    def test_exceptions_name_a_criterion(self):
        for p in programs:
            for name in p.exceptions:
                self.assertIn(name, criteria.CRITERION, "program %d" % p.number)


def _criterion_check(criterion):
    def check(self):
        shared = criteria.context(figures, played)
        for n in criteria.DESIGNED:
            if criterion.name not in programs[n].exceptions:
                with self.subTest(program=n, name=programs[n].name):
                    self.assertTrue(criterion.passes(played[n], shared), criterion.rule)
    return check


for _criterion in criteria.CRITERIA:
    if _criterion.name != "balance":
        setattr(PlayedAsAMusicianPlays, "test_" + _criterion.name, _criterion_check(_criterion))


class SoundTable(unittest.TestCase):
    def test_the_table_describes_the_committed_bank(self):
        with open(os.path.join(make_sounds.DOCS, "sounds.md"), encoding="ascii") as f:
            table = f.read()
        recorded = re.search(re.escape(make_sounds.CHECKSUM_LABEL) + r" `([0-9a-f]{64})`", table)
        self.assertIsNotNone(recorded, "docs/sounds.md records no bank checksum")
        self.assertEqual(recorded.group(1), bank_info.bank_checksum(),
                         "docs/sounds.md describes another bank: run tools/sounds/make_sounds.py")
        rows = re.findall(r"^\| (\d+) \| ([^|]*) \| ([^|]*) \|", table, re.M)
        self.assertEqual([(int(n), name, category) for n, name, category in rows],
                         [(p.number, p.name, p.category) for p in programs])


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", help="the native build tree (default: build/native)")
    args, rest = parser.parse_known_args()
    build = args.build
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
