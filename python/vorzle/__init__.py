"""Vorzle, a polyphonic subtractive synthesizer, from Python: numpy in, numpy out.

The same instrument object the plug-ins play, so the samples are the
plug-in's to the bit::

    import vorzle
    synth = vorzle.Synth(sample_rate=48000)
    synth.program = "Rave bass"
    synth.parameters["Cutoff"] = 0.4
    synth.note_on(45, 110)
    audio = synth.render(48000)          # numpy.float32, shape (2, 48000)

    song = vorzle.render_midi("song.mid", program=12)   # as vorzle-render writes it

Parameters are normalized 0 to 1, in the order of PARAMETER_NAMES (the
plug-in's parameter indexes; the order is stable). Bad input raises
ValueError (IndexError for a parameter index, TypeError for a wrong type) and
leaves the synth as it was. Rendering releases the GIL: threads, each with
its own Synth, render in parallel.
"""
from __future__ import annotations

import os
import warnings
from collections.abc import Mapping, MutableMapping
from typing import Iterable, Iterator, Optional, Sequence, Union

import numpy as np

from . import _vorzle
from ._vorzle import loudness

__version__: str = _vorzle.__version__
__all__ = ["Synth", "Parameters", "render_midi", "loudness", "PARAMETER_NAMES", "SWITCHES", "NUM_PROGRAMS",
           "random_patch", "factory_patch", "PATCH_RANGES"]

NUM_PROGRAMS: int = _vorzle.NUM_PROGRAMS
#: The 39 parameters by their panel names, in index order.
PARAMETER_NAMES: tuple = tuple(_vorzle.parameter_name(i) for i in range(_vorzle.NUM_PARAMETERS))
#: On/off parameters: on at 0.5 and above.
SWITCHES: frozenset = frozenset({"Chorus", "Osc1On", "Osc2On", "Osc3On"})
_INDEX = {name.lower(): i for i, name in enumerate(PARAMETER_NAMES)}

Key = Union[str, int]
PathOrData = Union[str, "os.PathLike[str]", bytes]


def _parameter_index(key: Key) -> int:
    if isinstance(key, (bool, np.bool_)):
        raise TypeError("a parameter is named by its name or index, not a bool")
    if isinstance(key, (int, np.integer)):
        if not 0 <= key < len(PARAMETER_NAMES):
            raise IndexError(f"parameter index {key} is outside 0 to {len(PARAMETER_NAMES) - 1}")
        return int(key)
    if isinstance(key, str):
        try:
            return _INDEX[key.lower()]
        except KeyError:
            raise KeyError(f"no parameter named {key!r}; the names are vorzle.PARAMETER_NAMES") from None
    raise TypeError(f"a parameter is named by its name or index, not {type(key).__name__}")


def _value(value, name: str) -> float:
    if isinstance(value, (bool, np.bool_)) and name not in SWITCHES:
        raise TypeError(f"{name}: a value 0 to 1, not a bool")
    try:
        x = float(value)
    except (TypeError, ValueError):
        raise TypeError(f"{name}: a value 0 to 1, not {type(value).__name__}") from None
    if not 0.0 <= x <= 1.0:
        raise ValueError(f"{name}: {x} is outside 0 to 1")
    return x


def _channel(channel: int) -> int:
    if not isinstance(channel, (int, np.integer)) or isinstance(channel, bool) or not 1 <= channel <= 16:
        raise ValueError(f"channel must be 1 to 16, not {channel!r}")
    return int(channel) - 1


def _data(value, what: str, high: int = 127, low: int = 0) -> int:
    if not isinstance(value, (int, np.integer)) or isinstance(value, bool) or not low <= value <= high:
        raise ValueError(f"{what} must be an integer {low} to {high}, not {value!r}")
    return int(value)


class Parameters(MutableMapping):
    """The current program's 39 parameters of a Synth, by name (any case) or index.

    ``p["Cutoff"]`` reads a value, ``p["Cutoff"] = 0.3`` stores one; ``p.vector``
    is all of them as a numpy.float32 array in PARAMETER_NAMES order and takes
    such an array back; ``p.update({...})`` and ``p.vector = v`` change all or
    nothing. ``p.display(name)`` is the text the panel shows ("1114 Hz"),
    ``p.unit(name)`` its unit ("Hz"). Values are 0 to 1; switches are on at 0.5
    and above.
    """

    def __init__(self, instrument: "_vorzle.Instrument"):
        self._instrument = instrument

    names = PARAMETER_NAMES

    def __getitem__(self, key: Key) -> float:
        return self._instrument.parameter(_parameter_index(key))

    def __setitem__(self, key: Key, value: float) -> None:
        i = _parameter_index(key)
        self._instrument.set_parameter(i, _value(value, PARAMETER_NAMES[i]))

    def __delitem__(self, key: Key) -> None:
        raise TypeError("parameters cannot be removed")

    def __iter__(self) -> Iterator[str]:
        return iter(PARAMETER_NAMES)

    def __len__(self) -> int:
        return len(PARAMETER_NAMES)

    def __contains__(self, key) -> bool:
        try:
            _parameter_index(key)
            return True
        except (KeyError, IndexError, TypeError):
            return False

    def index(self, key: Key) -> int:
        """The parameter's index (its place in the vector)."""
        return _parameter_index(key)

    def display(self, key: Key) -> str:
        """The text the panel shows for the current value, unit included."""
        return self._instrument.parameter_display(_parameter_index(key))

    def unit(self, key: Key) -> str:
        """The unit of the display text ("%", "Hz", "smt.", "oct."; empty for switches)."""
        return _vorzle.parameter_unit(_parameter_index(key))

    @property
    def vector(self) -> np.ndarray:
        return self._instrument.parameters()

    @vector.setter
    def vector(self, values) -> None:
        array = np.asarray(values, dtype=np.float64)
        if array.shape != (len(PARAMETER_NAMES),):
            raise ValueError(f"a parameter vector has {len(PARAMETER_NAMES)} values, not shape {array.shape}")
        self._store({i: array[i] for i in range(len(PARAMETER_NAMES))})

    def update(self, other=(), **values) -> None:
        """Stores several values: all of them, or none when one is bad."""
        items = dict(other.items() if isinstance(other, Mapping) else other)
        items.update(values)
        self._store({_parameter_index(k): v for k, v in items.items()})

    def _store(self, values: dict) -> None:
        # Values the program already holds pass unchecked: some factory
        # programs keep a switch at 2.0 (on), and a vector read back must fit.
        current = self.vector
        changed = [(i, _value(v, PARAMETER_NAMES[i])) for i, v in values.items()
                   if not (isinstance(v, (int, float, np.number)) and np.float32(v) == current[i])]
        for i, v in changed:
            self._instrument.set_parameter(i, v)

    def to_dict(self) -> dict:
        """{name: value} in index order."""
        return dict(zip(PARAMETER_NAMES, self.vector.tolist()))

    def __repr__(self) -> str:
        return "Parameters({" + ", ".join(f"{n!r}: {v:.4g}" for n, v in self.to_dict().items()) + "})"


class Synth:
    """One Vorzle instrument, as the plug-in starts: the factory bank, program 0.

    MIDI methods queue their message for the next render() at ``frame``
    (frames counted from the start of that render; a frame past its end
    plays on its last frame); channels are 1 to 16. Methods are safe to call
    from several threads; a render holds the synth and releases the GIL.
    """

    def __init__(self, sample_rate: int = 44100):
        if isinstance(sample_rate, bool) or not isinstance(sample_rate, (int, float, np.integer, np.floating)):
            raise TypeError("sample_rate must be a number")
        self._instrument = _vorzle.Instrument(float(sample_rate))
        self._parameters = Parameters(self._instrument)

    # ---- sound
    @property
    def sample_rate(self) -> float:
        """The rate; setting it rebuilds the tables and silences the synth."""
        return self._instrument.sample_rate

    @sample_rate.setter
    def sample_rate(self, rate: float) -> None:
        self._instrument.sample_rate = float(rate)

    def render(self, frames: int) -> np.ndarray:
        """The next ``frames`` frames as numpy.float32 of shape (2, frames), left then right."""
        return self._instrument.render(_data(frames, "frames", 2**30))

    def reset(self) -> None:
        """Silences every voice, empties the chorus and drops queued MIDI."""
        self._instrument.reset()

    # ---- MIDI
    def midi(self, message: Union[bytes, bytearray, Sequence[int]], frame: int = 0) -> None:
        """A raw channel message (2 or 3 bytes, status 0x80 to 0xEF) for the next render."""
        if isinstance(message, (bytes, bytearray, memoryview)):
            data = bytes(message)
        else:
            data = bytes(_data(b, "a MIDI byte", 255) for b in message)
        self._instrument.midi(data, _data(frame, "frame", 2**30 - 1))

    def note_on(self, note: int, velocity: int = 100, *, channel: int = 1, frame: int = 0) -> None:
        self.midi(bytes([0x90 | _channel(channel), _data(note, "note"), _data(velocity, "velocity")]), frame)

    def note_off(self, note: int, velocity: int = 0, *, channel: int = 1, frame: int = 0) -> None:
        self.midi(bytes([0x80 | _channel(channel), _data(note, "note"), _data(velocity, "velocity")]), frame)

    def control_change(self, controller: int, value: int, *, channel: int = 1, frame: int = 0) -> None:
        self.midi(bytes([0xB0 | _channel(channel), _data(controller, "controller"), _data(value, "value")]), frame)

    def pitch_bend(self, value: int, *, channel: int = 1, frame: int = 0) -> None:
        """value -8192 (down) to 8191 (up); 0 is the centre."""
        code = _data(value, "pitch bend", 8191, -8192) + 8192
        self.midi(bytes([0xE0 | _channel(channel), code & 0x7F, code >> 7]), frame)

    def program_change(self, program: int, *, channel: int = 1, frame: int = 0) -> None:
        """A MIDI program change: the program is selected during the next render."""
        self.midi(bytes([0xC0 | _channel(channel), _data(program, "program")]), frame)

    # ---- programs
    @property
    def program(self) -> int:
        """The current program's index; set it by index or by name (any case)."""
        return self._instrument.program()

    @program.setter
    def program(self, program: Union[int, str]) -> None:
        self._instrument.select_program(self.program_index(program))

    @property
    def program_name(self) -> str:
        return self._instrument.program_name(self.program)

    @property
    def programs(self) -> tuple:
        """The 128 program names, by index."""
        return tuple(self._instrument.program_name(i) for i in range(NUM_PROGRAMS))

    def program_index(self, program: Union[int, str]) -> int:
        """The index of a program given by index or name; ValueError for none."""
        if isinstance(program, str):
            index = self._instrument.find_program(program)
            if index < 0:
                raise ValueError(f"no program named {program!r}; the names are Synth().programs")
            return index
        return _data(program, "program")

    # ---- parameters
    @property
    def parameters(self) -> Parameters:
        """The current program's parameters (see Parameters); assign a dict or vector to set many."""
        return self._parameters

    @parameters.setter
    def parameters(self, values) -> None:
        if isinstance(values, Mapping):
            self._parameters.update(values)
        else:
            self._parameters.vector = values

    # ---- state
    def get_state(self, scope: str = "bank") -> bytes:
        """The plug-in's chunk, as a DAW saves it: the whole bank with the current
        program ("bank", what a session keeps) or the current program ("program", a preset)."""
        return self._instrument.state(scope)

    def set_state(self, data: bytes, scope: str = "bank") -> None:
        """Restores a chunk from get_state or a DAW; ValueError, nothing changed, for anything else."""
        if not isinstance(data, (bytes, bytearray, memoryview)):
            raise TypeError("state is bytes")
        self._instrument.set_state(bytes(data), scope)

    def bank_file(self) -> bytes:
        """The 128 programs as a VST bank file (.fxb)."""
        return self._instrument.bank_file()

    def load_bank_file(self, file: PathOrData) -> None:
        """Loads a .fxb bank (a path or its bytes); ValueError, nothing changed, for another file."""
        self._instrument.load_bank_file(_read(file))

    def __repr__(self) -> str:
        return f"<vorzle.Synth {self.sample_rate:g} Hz, program {self.program} {self.program_name!r}>"


def _read(file: PathOrData) -> bytes:
    if isinstance(file, (bytes, bytearray, memoryview)):
        return bytes(file)
    if not isinstance(file, (str, os.PathLike)):
        raise TypeError(f"a path or bytes, not {type(file).__name__}")
    with open(file, "rb") as f:
        return f.read()


def render_midi(path: PathOrData, program: Union[int, str, None] = None, sample_rate: int = 44100, *,
                parameters: Optional[Mapping[Key, float]] = None, block_size: int = 512,
                fixed_blocks: bool = False, tail: Optional[float] = None, channels: Optional[Iterable[int]] = None,
                ignore_program_changes: bool = False, strict: bool = False, per_channel: bool = False,
                gm: bool = False, drums: bool = False, transpose: Optional[int] = None) -> np.ndarray:
    """A Standard MIDI File (a path or its bytes) rendered as ``vorzle-render --format f32``
    writes it with the same options, sample for sample: numpy.float32 of shape (2, n).

    program: index or name (None: program 0, as the plug-in starts); parameters:
    values stored after the program is chosen; tail: seconds after the song
    (None: until a second below -100 dBFS, at most 30 s); channels: MIDI
    channels 1 to 16 to play; per_channel: one instrument per sounding channel,
    summed; gm: General MIDI programs mapped onto the factory bank (per channel,
    transposed +12 unless transpose is given); drums: with gm, channel 10 too.
    The renderer's warnings (a damaged file played in part, program changes
    after ``program``) come as RuntimeWarning.
    """
    data = _read(path)
    index, name = -1, ""
    if isinstance(program, str):
        name = program
        if not name:
            raise ValueError("an empty program name")
    elif program is not None:
        index = _data(program, "program")
    mask = 0xFFFF
    if channels is not None:
        mask = 0
        for c in channels:
            mask |= 1 << _channel(c)
        if not mask:
            raise ValueError("channels names no channel")
    overrides = []
    for key, value in (parameters or {}).items():
        i = _parameter_index(key)
        overrides.append((i, _value(value, PARAMETER_NAMES[i])))
    for flag, what in ((fixed_blocks, "fixed_blocks"), (ignore_program_changes, "ignore_program_changes"),
                       (strict, "strict"), (per_channel, "per_channel"), (gm, "gm"), (drums, "drums")):
        if not isinstance(flag, (bool, np.bool_)):
            raise TypeError(f"{what} is True or False")
    audio, _, notes = _vorzle.render_midi(
        data, index, name, _data(sample_rate, "sample_rate", 384000), _data(block_size, "block_size", 8192),
        bool(fixed_blocks), None if tail is None else float(tail), mask, bool(ignore_program_changes), bool(strict),
        bool(per_channel), bool(gm), bool(drums), None if transpose is None else _data(transpose, "transpose", 48, -48), overrides)
    where = os.fspath(path) if isinstance(path, (str, os.PathLike)) else "the MIDI data"
    for note in notes:
        warnings.warn(f"{where}: {note}", RuntimeWarning, stacklevel=2)
    return audio


from .patches import PATCH_RANGES, factory_patch, random_patch  # noqa: E402  (uses Synth)
