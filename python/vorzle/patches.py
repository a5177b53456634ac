"""Seeded random patches for datasets: (vector, audio) pairs reproducible from a seed.

``random_patch(seed, index)`` depends on nothing but its arguments (SHAKE-256 of
them, no generator state), so patch 1,000,000 of a seed is the same whether it
is made first, last or on another machine, and jobs can be spread anywhere::

    synth = vorzle.Synth()
    for i in range(1000):
        synth.parameters.vector = vorzle.random_patch(seed=7, index=i)
        synth.note_on(57, 100); audio = synth.render(44100); synth.reset()

Uniform patches draw each parameter from PATCH_RANGES; switches are 0 or 1,
and at least one oscillator stays on. Around a program (``around=`` an index,
a name or a vector) each value moves by up to ``spread`` either way, within
0..1, and the switches and the voice count stay the program's.
"""
from __future__ import annotations

import functools
import hashlib
from typing import Optional, Sequence, Union

import numpy as np

from . import PARAMETER_NAMES, SWITCHES, Synth

#: (low, high) each parameter is drawn from in uniform patches. Chosen to keep
#: patches audible: a cutoff above 160 Hz, a volume that neither vanishes nor
#: clips much, polyphony at its full 64 voices.
PATCH_RANGES: dict = {name: (0.0, 1.0) for name in PARAMETER_NAMES}
PATCH_RANGES.update({"Volume": (0.3, 0.6), "Cutoff": (0.3, 1.0), "Resonance": (0.0, 0.9), "Polyphony": (1.0, 1.0)})

_OSCILLATOR_SWITCHES = [PARAMETER_NAMES.index(n) for n in ("Osc1On", "Osc2On", "Osc3On")]
_SWITCH_INDEXES = [PARAMETER_NAMES.index(n) for n in sorted(SWITCHES)]
_POLYPHONY = PARAMETER_NAMES.index("Polyphony")


def _uniforms(seed: int, index: int, count: int) -> np.ndarray:
    """count numbers in [0, 1), a function of (seed, index) only."""
    if not isinstance(seed, (int, np.integer)) or not isinstance(index, (int, np.integer)) or index < 0:
        raise ValueError("seed is an integer and index an integer 0 or more")
    words = np.frombuffer(hashlib.shake_256(f"vorzle-patch:{int(seed)}:{int(index)}".encode()).digest(8 * count),
                          dtype="<u8")
    return (words >> np.uint64(11)).astype(np.float64) * 2.0**-53


@functools.lru_cache(maxsize=None)
def _factory(program: Union[int, str]) -> np.ndarray:
    synth = Synth()
    synth.program = program
    vector = synth.parameters.vector
    vector.setflags(write=False)
    return vector


def factory_patch(program: Union[int, str]) -> np.ndarray:
    """The factory values of a program (index or name) as a parameter vector."""
    return _factory(program).copy()


def random_patch(seed: int, index: int = 0, *, around: Union[int, str, Sequence[float], None] = None,
                 spread: float = 0.1, ranges: Optional[dict] = None) -> np.ndarray:
    """Patch ``index`` of ``seed`` as a numpy.float32 vector in PARAMETER_NAMES order.

    around: None for uniform patches within ``ranges`` (default PATCH_RANGES,
    entries may be overridden by name); a program (index or name) or a vector
    to vary by up to ``spread`` (0 to 1) either way.
    """
    u = _uniforms(seed, index, len(PARAMETER_NAMES) + 1)
    if around is None:
        table = dict(PATCH_RANGES)
        for name, (low, high) in (ranges or {}).items():
            if name not in table or not 0.0 <= low <= high <= 1.0:
                raise ValueError(f"a range is (low, high) within 0..1 for a parameter name, not {name!r}: {(low, high)}")
            table[name] = (low, high)
        low = np.array([table[n][0] for n in PARAMETER_NAMES])
        high = np.array([table[n][1] for n in PARAMETER_NAMES])
        vector = low + u[:-1] * (high - low)
        vector[_SWITCH_INDEXES] = (u[_SWITCH_INDEXES] < 0.5).astype(np.float64)
        if not vector[_OSCILLATOR_SWITCHES].any():
            vector[_OSCILLATOR_SWITCHES[int(u[-1] * 3)]] = 1.0
        return vector.astype(np.float32)
    if not 0.0 <= spread <= 1.0:
        raise ValueError(f"spread is 0 to 1, not {spread}")
    base = factory_patch(around) if isinstance(around, (str, int, np.integer)) else np.asarray(around, np.float64)
    if base.shape != (len(PARAMETER_NAMES),):
        raise ValueError(f"around: a program or a vector of {len(PARAMETER_NAMES)} values")
    vector = np.clip(base + (2.0 * u[:-1] - 1.0) * spread, 0.0, 1.0)
    kept = _SWITCH_INDEXES + [_POLYPHONY]
    vector[kept] = np.clip(base[kept], 0.0, 1.0)
    return vector.astype(np.float32)
