"""Shared scaffolding of the Python tests: the tree's renderer, songs, WAV reading.

Run by ctest with PYTHONPATH at the tree's built package and VORZLE_RENDER
naming the tree's vorzle-render (Vorzle.so beside it)."""
import os
import random
import subprocess
import sys

import numpy as np
import pytest

ROOT = os.environ.get("VORZLE_SOURCE_DIR", os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
sys.path.insert(0, os.path.join(ROOT, "examples"))
import smf  # noqa: E402

DEMO = os.path.join(ROOT, "examples", "demo.mid")


def renderer(midi, out, *args):
    """vorzle-render's f32 output as (2, n) float32."""
    subprocess.run([os.environ["VORZLE_RENDER"], midi, "-o", out, "--format", "f32", "-q", *args], check=True,
                   stderr=subprocess.DEVNULL)
    return read_wav(out)


def read_wav(path):
    data = open(path, "rb").read()
    assert data[:4] == b"RIFF" and data[50:54] == b"data", path
    return np.frombuffer(data[58:], dtype="<f4").reshape(-1, 2).T


def random_song(path, seed, seconds=4.0, channels=(0,), programs=True):
    """Notes, controllers, bends and program changes at random times on the given channels."""
    rng = random.Random(seed)
    song = smf.Song(bpm=rng.choice([90.0, 120.0, 151.0]))
    beats = seconds * song_bpm(song) / 60.0
    for channel in channels:
        t = song.track()
        if programs:
            t.program(0, rng.randrange(128), channel)
        for _ in range(int(beats * 3)):
            start = rng.uniform(0, beats - 0.5)
            t.note(start, rng.uniform(0.05, 1.5), rng.randrange(24, 100), rng.randrange(1, 128), channel)
        for _ in range(4):
            t.control(rng.uniform(0, beats), rng.choice([1, 7, 12, 13, 72, 73]), rng.randrange(128), channel)
            t.bend(rng.uniform(0, beats), rng.uniform(-1, 1), channel)
    song.write(path)
    return path


def song_bpm(song):
    event = next(e for e in song.conductor.events if e[2][:2] == b"\xff\x51")
    return 60_000_000 / int.from_bytes(event[2][3:6], "big")


def same_bits(a, b):
    return a.shape == b.shape and np.array_equal(a.view(np.uint32), b.view(np.uint32))


@pytest.fixture(scope="session")
def songs(tmp_path_factory):
    folder = tmp_path_factory.mktemp("songs")
    return {"demo": DEMO, "random": random_song(str(folder / "random.mid"), 31),
            "channels": random_song(str(folder / "channels.mid"), 32, channels=(0, 3, 9)),
            "short": [random_song(str(folder / f"short{i}.mid"), 40 + i, seconds=2.0) for i in range(6)]}
