"""Figures of one program's phrase render: loudness, peak, brightness, envelope times,
pitch and stereo width, and a time-frequency fingerprint to compare programs by."""
import math

import numpy as np

import phrase
from playing import SAMPLE_RATE

FRAME = 441                      # 10 ms envelope frames
LOUDNESS_WINDOW = 40             # frames: the loudest 400 ms
FLOOR_DB = -150.0
TABLE_LENGTH = 10787             # one wavetable period at 44.1 kHz: the oscillators' 1.0 step


def db(power):
    return 10 * math.log10(power) if power > 1e-15 else FLOOR_DB


def part_samples(x, name):
    part = phrase.PART[name]
    start = round(part.start * SAMPLE_RATE)
    return x[start:start + round(part.length * SAMPLE_RATE)]


def frame_power(x):
    """Mean square of both channels in 10 ms frames."""
    n = len(x) // FRAME
    return (x[:n * FRAME] ** 2).reshape(n, FRAME * 2).mean(axis=1)


def loudest_window(x):
    """(level in dBFS, first frame) of the loudest 400 ms by RMS over both channels."""
    power = frame_power(x)
    sums = np.convolve(power, np.ones(LOUDNESS_WINDOW), "valid") / LOUDNESS_WINDOW
    i = int(np.argmax(sums))
    return db(sums[i]), i


def peak_db(x):
    peak = float(np.max(np.abs(x)))
    return 20 * math.log10(peak) if peak > 0 else FLOOR_DB


def centroid(x):
    """Spectral centroid in Hz of the loudest 400 ms, magnitude weighted."""
    _, first = loudest_window(x)
    mono = x[first * FRAME:(first + LOUDNESS_WINDOW) * FRAME].mean(axis=1)
    spectrum = np.abs(np.fft.rfft(mono * np.hanning(len(mono))))
    freqs = np.fft.rfftfreq(len(mono), 1 / SAMPLE_RATE)
    total = spectrum.sum()
    return float((freqs * spectrum).sum() / total) if total > 0 else 0.0


def envelope_times(x, hold):
    """Attack (ms to within 3 dB of the held peak), the level at note-off relative to that
    peak (dB), and release (ms from note-off until 30 dB below the note-off level; None
    when the note had died before its release, math.inf when it outlasts the part)."""
    level = 10 * np.log10(np.maximum(frame_power(x), 1e-15))
    off = round(hold * SAMPLE_RATE / FRAME)
    peak = level[:off].max()
    attack = int(np.argmax(level[:off] >= peak - 3)) * 10
    at_off = level[off - 1]
    sustain = at_off - peak
    if sustain < -40:
        return attack, sustain, None
    below = np.nonzero(level[off:] <= at_off - 30)[0]
    return attack, sustain, (int(below[0]) * 10 if len(below) else math.inf)


def width_db(x):
    """Side against mid energy in dB; FLOOR_DB for a mono signal."""
    mid = ((x[:, 0] + x[:, 1]) ** 2).sum()
    side = ((x[:, 0] - x[:, 1]) ** 2).sum()
    return db(side / mid) if mid > 0 and side > 0 else FLOOR_DB


def lowest_partial(x, hold):
    """The lowest clear spectral peak (within 30 dB of the strongest, 20 Hz to 8 kHz) of a
    held single note, in Hz; skips the first 100 ms."""
    mono = x[round(0.1 * SAMPLE_RATE):round(hold * SAMPLE_RATE)].sum(axis=1)
    size = 1 << (len(mono) * 8 - 1).bit_length()
    spectrum = np.abs(np.fft.rfft(mono * np.blackman(len(mono)), size))
    if spectrum.max() <= 0:
        return 0.0
    level = 20 * np.log10(np.maximum(spectrum / spectrum.max(), 1e-12))
    freqs = np.fft.rfftfreq(size, 1 / SAMPLE_RATE)
    band = (freqs >= 20) & (freqs <= 8000)
    # A peak must top everything within 4 % (0.7 semitone) of it: that passes over the
    # side bands the chorus and a decaying envelope put beside a partial.
    candidates = np.nonzero(band[1:-1] & (level[1:-1] > -30) &
                            (level[1:-1] >= level[:-2]) & (level[1:-1] > level[2:]))[0] + 1
    peaks = [i for i in candidates
             if level[i] >= level[np.searchsorted(freqs, freqs[i] / 1.04):np.searchsorted(freqs, freqs[i] * 1.04)].max()]
    if not peaks:
        return 0.0
    i = peaks[0]
    a, b, c = level[i - 1], level[i], level[i + 1]
    shift = 0.5 * (a - c) / (a - 2 * b + c) if a - 2 * b + c != 0 else 0.0
    return float((i + shift) * SAMPLE_RATE / size)


def oscillator_frequency(note, tune):
    """The frequency the engine plays for a note and a tune value: an increment of
    2^(2(tune - 0.5) + note/12) table steps per sample, at least one."""
    octaves = float(np.float32(note * np.float32(1 / 12)))
    step = max(1.0, float(np.float32(2.0 ** (2 * (tune - 0.5) + octaves))))
    return step * SAMPLE_RATE / TABLE_LENGTH


def predicted_pitch(program, note):
    """(low, high): the lowest oscillator's frequency and the top of the cluster of
    oscillators detuned within half a semitone of it; None with every oscillator silent."""
    freqs = sorted(oscillator_frequency(note, tune) for _, tune in program.oscillators())
    if not freqs:
        return None
    cluster = [f for f in freqs if f <= freqs[0] * 2 ** (0.5 / 12)]
    return cluster[0], cluster[-1]


def cents(f, reference):
    return 1200 * math.log2(f / reference) if f > 0 and reference > 0 else math.inf


# Fingerprint: band levels of the chord part, each channel, in 100 ms frames and 24 bands
# spaced evenly in log frequency from 40 Hz to 16 kHz, relative to the loudest cell.
BAND_EDGES = 40.0 * (400.0 ** (np.arange(25) / 24))
FINGERPRINT_HOP = 4410
FINGERPRINT_SIZE = 4096
FINGERPRINT_FLOOR = -60.0
_freqs = np.fft.rfftfreq(FINGERPRINT_SIZE, 1 / SAMPLE_RATE)
_BANDS = np.array([(_freqs >= lo) & (_freqs < hi) for lo, hi in zip(BAND_EDGES[:-1], BAND_EDGES[1:])], float)


def fingerprint(x):
    starts = range(0, len(x) - FINGERPRINT_SIZE + 1, FINGERPRINT_HOP)
    window = np.hanning(FINGERPRINT_SIZE)
    cells = []
    for channel in (0, 1):
        frames = np.array([x[s:s + FINGERPRINT_SIZE, channel] for s in starts]) * window
        cells.append((np.abs(np.fft.rfft(frames, axis=1)) ** 2) @ _BANDS.T)
    cells = 10 * np.log10(np.maximum(np.array(cells), 1e-15))
    return np.maximum(cells - cells.max(), FINGERPRINT_FLOOR)


def distance(a, b):
    """Mean absolute difference in dB between two fingerprints, over the cells where
    either of them sounds (a short pluck is not made alike to another by their silences)."""
    sounding = (a > FINGERPRINT_FLOOR) | (b > FINGERPRINT_FLOOR)
    return float(np.abs(a - b)[sounding].mean()) if sounding.any() else 0.0


class Figures:
    """Everything measured on one program's phrase."""

    def __init__(self, program, x):
        self.program = program
        chord = part_samples(x, "chord")
        hold = phrase.PART["chord"].hold
        self.loudness, _ = loudest_window(chord)
        self.peak = peak_db(chord)
        self.centroid = centroid(chord)
        self.attack, self.sustain, self.release = envelope_times(chord, hold)
        self.width = width_db(chord)
        self.part_loudness = {p.name: loudest_window(part_samples(x, p.name))[0] for p in phrase.PARTS}
        self.pitch = {}
        self.expected = {}
        for name in ("low", "mid", "high"):
            part = phrase.PART[name]
            self.pitch[name] = lowest_partial(part_samples(x, name), part.hold)
            self.expected[name] = predicted_pitch(program, part.notes[0][1])
        self.fingerprint = fingerprint(chord)

    def pitch_error(self, name):
        """Cents by which the measured pitch lies outside the predicted cluster (0 inside)."""
        expected = self.expected[name]
        if expected is None:
            return math.inf
        low, high = expected
        f = self.pitch[name]
        return max(0.0, cents(low, f), cents(f, high))
