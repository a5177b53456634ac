"""Figures of one program played as a musician plays it (the score in playing.py):
loudness across its range, peaks at full velocity of every note and every voicing, the
loudness swing of one chord over the LFO's sweep, how clearly its top notes carry their
pitch, how far below its held level each note ends and its DC offset, and a held note's
spectral and level envelopes, by which programs are compared."""
import numpy as np

import measure
import playing
from playing import SAMPLE_RATE

TOP_NOTES = 2                    # the highest notes of the range whose pitch is checked
ENDS_FRAME = 110                 # 2.5 ms frames to find where a sound stops
SILENCE = -120.0                 # dBFS: below this a sound has stopped
# Spectral envelope: third-octave bands from 40 Hz to 16 kHz, relative to the loudest,
# floored at SPECTRUM_FLOOR; the level envelope in 10 ms frames relative to its peak.
SPECTRUM_EDGES = 40.0 * 2 ** (np.arange(27) / 3)
SPECTRUM_FLOOR = -60.0
ENVELOPE_FLOOR = -60.0


def samples(x, part):
    start = round(part.start * SAMPLE_RATE)
    return x[start:start + round(part.length * SAMPLE_RATE)]


def harmonic_clarity(x, program, note):
    """dB by which the energy at the partials of the note's oscillators (each enabled
    oscillator's harmonic series) exceeds the energy between them, from 100 ms to
    note-off."""
    mono = x[round(0.1 * SAMPLE_RATE):round(playing.NOTE_HOLD * SAMPLE_RATE)].sum(axis=1)
    power = np.abs(np.fft.rfft(mono * np.blackman(len(mono)))) ** 2
    freqs = np.fft.rfftfreq(len(mono), 1 / SAMPLE_RATE)
    fundamentals = [measure.oscillator_frequency(note, tune) for _, tune in program.oscillators()]
    if not fundamentals or power.sum() <= 0:
        return measure.FLOOR_DB
    near = np.zeros(len(freqs), bool)
    bin_width = SAMPLE_RATE / len(mono)
    for f0 in fundamentals:
        # The chorus moves partials by up to about 1.3 %; a window's main lobe is 3 bins.
        for f in np.arange(f0, freqs[-1], f0):
            half = min(max(3 * bin_width, 0.013 * f), 0.25 * f0)
            near |= np.abs(freqs - f) <= half
    audible = freqs >= 20
    return measure.db(power[near & audible].sum()) - measure.db(power[~near & audible].sum())


def frame_levels(x, frame):
    n = len(x) // frame
    power = (x[:n * frame] ** 2).reshape(n, frame * 2).mean(axis=1)
    return 10 * np.log10(np.maximum(power, 1e-15))


def ending(x, hold):
    """(dB below the held level at which the note's sound stops, DC offset of the held
    sound in dBFS). The held level is that of the 50 ms before note-off, or the loudest
    400 ms of a note that faded before it; the sound at its stop is the last full 2.5 ms
    above SILENCE. None when
    the sound has not stopped within the part."""
    levels = frame_levels(x, ENDS_FRAME)
    off = round(hold * SAMPLE_RATE / ENDS_FRAME)
    held = measure.db(float((x[round((hold - 0.05) * SAMPLE_RATE):round(hold * SAMPLE_RATE)] ** 2).mean()))
    peak = measure.loudest_window(x[:round(hold * SAMPLE_RATE)])[0]
    reference = held if held > peak - 40 else peak
    sounding = np.nonzero(levels > SILENCE)[0]
    last = sounding[-1] if len(sounding) else 0
    stop = None if last >= len(levels) - 2 else float(levels[max(0, last - 1)] - reference)
    # A Blackman-weighted mean: a low note's partials leak into a plain mean over a
    # window of a few periods, into this one by less than -80 dB.
    steady = x[round(0.2 * SAMPLE_RATE):round(hold * SAMPLE_RATE)]
    weights = np.blackman(len(steady))
    dc = measure.db(float(np.abs(weights @ steady / weights.sum()).max()) ** 2)
    return stop, dc


def spectral_envelope(x, hold):
    held = x[round(0.1 * SAMPLE_RATE):round(hold * SAMPLE_RATE)].mean(axis=1)
    power = np.abs(np.fft.rfft(held * np.hanning(len(held)))) ** 2
    freqs = np.fft.rfftfreq(len(held), 1 / SAMPLE_RATE)
    bands = np.array([power[(freqs >= lo) & (freqs < hi)].sum()
                      for lo, hi in zip(SPECTRUM_EDGES[:-1], SPECTRUM_EDGES[1:])])
    level = 10 * np.log10(np.maximum(bands, 1e-20))
    return np.maximum(level - level.max(), SPECTRUM_FLOOR)


def level_envelope(x, hold):
    levels = frame_levels(x[:round((hold + 1.0) * SAMPLE_RATE)], measure.FRAME)
    return np.maximum(levels - levels.max(), ENVELOPE_FLOOR)


def spectral_distance(a, b):
    """Mean absolute difference in dB over the bands where either sounds."""
    sounding = (a > SPECTRUM_FLOOR) | (b > SPECTRUM_FLOOR)
    return float(np.abs(a - b)[sounding].mean())


def envelope_distance(a, b):
    n = min(len(a), len(b))
    return float(np.abs(a[:n] - b[:n]).mean())


class PlayingFigures:
    """Everything measured on one program's score."""

    def __init__(self, program, x, parts):
        self.number = program.number
        self.drive = program["Drive"]
        takes = [(part, samples(x, part)) for part in parts]
        self.range = {p.key: measure.loudest_window(s)[0] for p, s in takes if p.kind == "note" and p.velocity == playing.PLAYED}
        self.median = float(np.median(list(self.range.values())))
        full = [(p, s) for p, s in takes if p.kind == "full"]
        self.single_peak = max(measure.peak_db(s) for p, s in full)
        self.chord_peaks = {p.key: measure.peak_db(s) for p, s in takes if p.kind == "chord"}
        # The loudest close and spread voicing, the fixed chords among them: (peak, notes).
        self.voicing_peaks = {}
        for p, s in takes:
            if p.kind in ("chord", "voicing"):
                kind = "spread" if p.key == "spread" else "close" if p.kind == "chord" else p.key
                self.voicing_peaks[kind] = max(self.voicing_peaks.get(kind, (measure.FLOOR_DB, [])),
                                               (measure.peak_db(s), p.notes))
        # Every note's ending: the worst stop (None when one did not stop) and offset.
        endings = {p.key: ending(s, p.hold) for p, s in full}
        stops = [stop for stop, _ in endings.values()]
        self.stop = None if None in stops else max(stops)
        self.dc_note, (_, self.dc) = max(endings.items(), key=lambda item: item[1][1])
        moments = [measure.loudest_window(s)[0] for p, s in takes if p.kind == "moment"]
        self.swing = max(moments) - min(moments)
        top = sorted(self.range)[-TOP_NOTES:]
        self.clarity = min(harmonic_clarity(s, program, p.key) for p, s in takes
                           if p.kind == "note" and p.velocity == playing.PLAYED and p.key in top)
        middle, held = next((p, s) for p, s in takes if p.kind == "middle")
        self.spectrum = spectral_envelope(held, middle.hold)
        self.envelope = level_envelope(held, middle.hold)

    def range_deviation(self):
        """The largest distance in dB of a note of the range from the program's median."""
        return max(abs(v - self.median) for v in self.range.values())

    def close_chord_peak(self):
        return self.voicing_peaks["close"][0]

    def spread_chord_peak(self):
        return self.voicing_peaks["spread"][0]
