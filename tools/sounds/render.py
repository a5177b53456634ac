"""Runs the native vorzle-render with fixed options and reads the WAV files it writes."""
import concurrent.futures
import os
import subprocess
import sys
import tempfile

import numpy as np

import phrase
import playing
import playing_figures
from bank_info import ROOT
from playing import SAMPLE_RATE

sys.path.insert(0, os.path.join(ROOT, "tools", "render"))
from float_wav import float_wav_data  # noqa: E402

# Fixed so that the figures do not move with the renderer's defaults; 441 frames keep
# every event of the phrase on a block boundary.
RENDER_OPTIONS = ["--sample-rate", str(SAMPLE_RATE), "--block-size", "441", "--format", "f32", "-q"]


def native_build(build=None):
    build = build or os.path.join(ROOT, "build", "native")
    renderer = os.path.join(build, "bin", "vorzle-render")
    plugin = os.path.join(build, "bin", "Vorzle.so")
    for path in (renderer, plugin):
        if not os.path.exists(path):
            raise SystemExit("%s is missing: build the native tree first (./scripts/build.sh)" % path)
    return renderer, plugin


def read_wav(path):
    """The samples of a stereo 32-bit float WAV as an array of shape (frames, 2)."""
    rate, body = float_wav_data(path)
    if rate != SAMPLE_RATE:
        raise SystemExit("%s: expected %d Hz, not %d" % (path, SAMPLE_RATE, rate))
    return np.frombuffer(body, "<f4").reshape(-1, 2).astype(np.float64)


def render_midi(midi, wav, build=None, tail=0.0):
    """Renders a MIDI file to the end of its last track, then `tail` seconds more."""
    renderer, plugin = native_build(build)
    result = subprocess.run([renderer, midi, "-o", wav, "--plugin", plugin, *RENDER_OPTIONS, "--tail", str(tail)],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if result.returncode != 0:
        raise SystemExit("vorzle-render failed on %s:\n%s" % (midi, result.stdout))


def render_phrases(programs, build=None, workers=2):
    """The phrase rendered with each program: {program number: samples}, every take
    exactly phrase.LENGTH long."""
    frames = round(phrase.LENGTH * SAMPLE_RATE)
    with tempfile.TemporaryDirectory() as work:
        def one(p):
            midi, wav = os.path.join(work, "%d.mid" % p), os.path.join(work, "%d.wav" % p)
            phrase.write_phrase(midi, p)
            render_midi(midi, wav, build)
            x = read_wav(wav)[:frames]
            os.remove(wav)
            return p, np.pad(x, ((0, frames - len(x)), (0, 0)))
        with concurrent.futures.ThreadPoolExecutor(workers) as pool:
            return dict(pool.map(one, programs))


def render_playing(programs, build=None, workers=2, slowest=None):
    """Each program played through the score of playing.py: {program number:
    PlayingFigures}. Only the figures are kept, not the long renders. `slowest` is the
    bank's slowest LFO period (by default that of the programs given)."""
    slowest = slowest or playing.slowest_lfo_period(programs)
    with tempfile.TemporaryDirectory() as work:
        def one(program):
            midi, wav = os.path.join(work, "p%d.mid" % program.number), os.path.join(work, "p%d.wav" % program.number)
            parts = playing.score(program, slowest)
            length = playing.write_score(midi, program, parts)
            render_midi(midi, wav, build)
            x = read_wav(wav)
            os.remove(wav)
            frames = round(length * SAMPLE_RATE)
            x = np.pad(x[:frames], ((0, max(0, frames - len(x))), (0, 0)))
            return program.number, playing_figures.PlayingFigures(program, x, parts)
        with concurrent.futures.ThreadPoolExecutor(workers) as pool:
            return dict(pool.map(one, programs))
