"""The vorzle module against the renderer, the plug-in's chunks and bad input."""
import ctypes
import os
import threading
import time

import numpy as np
import pytest

import vorzle
from conftest import renderer, same_bits

# (song, vorzle-render options, render_midi keywords): the renderer's paths
# through a song, each compared to the bit.
RENDER_CASES = [
    ("demo", [], {}),
    ("random", ["--program", "Rave bass", "--block-size", "100", "--tail", "0.5"],
     {"program": "Rave bass", "block_size": 100, "tail": 0.5}),
    ("random", ["--fixed-blocks", "--sample-rate", "48000", "--ignore-program-changes", "--channels", "1"],
     {"fixed_blocks": True, "sample_rate": 48000, "ignore_program_changes": True, "channels": [1]}),
    ("channels", ["--per-channel", "--transpose", "-5"], {"per_channel": True, "transpose": -5}),
    ("channels", ["--gm", "--drums"], {"gm": True, "drums": True}),
]


@pytest.mark.filterwarnings("ignore::RuntimeWarning")   # program changes after the chosen program
@pytest.mark.parametrize("song,args,kwargs", RENDER_CASES)
def test_render_midi_is_the_renderers_output(songs, tmp_path, song, args, kwargs):
    expected = renderer(songs[song], str(tmp_path / "out.wav"), *args)
    with np.errstate(all="ignore"):
        assert same_bits(vorzle.render_midi(songs[song], **kwargs), expected)


def test_midi_on_frames_plays_as_renders_split_there():
    whole, split = vorzle.Synth(), vorzle.Synth()
    whole.program = split.program = "Rave bass"
    whole.note_on(45, 100, frame=300)
    whole.pitch_bend(-3000, frame=700)
    a = whole.render(1000)
    parts = [split.render(300)]
    split.note_on(45, 100)
    parts.append(split.render(400))
    split.midi([0xE0, (5192) & 0x7F, 5192 >> 7])
    parts.append(split.render(300))
    assert same_bits(a, np.concatenate(parts, axis=1)) and np.abs(a[:, 300:]).max() > 0.01


# ---------------------------------------------------------------- the plug-in's chunks
class PluginHost:
    """Vorzle.so loaded as a host loads it: the chunk a DAW saves comes from effGetChunk."""
    Dispatcher = ctypes.CFUNCTYPE(ctypes.c_ssize_t, ctypes.c_void_p, ctypes.c_int32, ctypes.c_int32,
                                  ctypes.c_ssize_t, ctypes.c_void_p, ctypes.c_float)
    Callback = ctypes.CFUNCTYPE(ctypes.c_ssize_t, ctypes.c_void_p, ctypes.c_int32, ctypes.c_int32,
                                ctypes.c_ssize_t, ctypes.c_void_p, ctypes.c_float)

    def __init__(self):
        library = ctypes.CDLL(os.path.join(os.path.dirname(os.environ["VORZLE_RENDER"]), "Vorzle.so"))
        library.VSTPluginMain.restype = ctypes.c_void_p
        self.callback = self.Callback(lambda effect, opcode, *rest: 2400 if opcode == 1 else 0)
        self.effect = library.VSTPluginMain(self.callback)
        # AEffect: int32 magic (padded), then the dispatcher pointer.
        self.dispatcher = self.Dispatcher(ctypes.c_void_p.from_address(self.effect + 8).value)
        self.dispatch(0)   # effOpen

    def dispatch(self, opcode, index=0, value=0, pointer=None, opt=0.0):
        return self.dispatcher(self.effect, opcode, index, value, pointer, opt)

    def get_chunk(self, preset=False):
        data = ctypes.c_void_p()
        size = self.dispatch(23, int(preset), 0, ctypes.byref(data))   # effGetChunk
        return ctypes.string_at(data.value, size)

    def set_chunk(self, chunk, preset=False):
        buffer = ctypes.create_string_buffer(chunk, len(chunk))
        return self.dispatch(24, int(preset), len(chunk), buffer)     # effSetChunk

    def close(self):
        self.dispatch(1)   # effClose


def test_state_round_trips_with_the_plugins_chunks():
    host = PluginHost()
    try:
        host.dispatch(2, 0, 17)   # effSetProgram: the chunk a session with program 17 saves
        synth = vorzle.Synth()
        synth.set_state(host.get_chunk())
        assert synth.program == 17
        synth.parameters.update(Cutoff=0.25, Osc2Pitch=0.75)
        synth.programs  # the names travel with the bank
        assert host.set_chunk(synth.get_state()) == 1 and host.get_chunk() == synth.get_state()
        assert host.set_chunk(synth.get_state("program"), preset=True) == 1
        assert host.get_chunk(preset=True) == synth.get_state("program")
    finally:
        host.close()
    again = vorzle.Synth()
    again.set_state(synth.get_state())
    for s in (synth, again):
        s.note_on(57, 90)
    assert same_bits(synth.render(4000), again.render(4000))


# ---------------------------------------------------------------- bad input
def synth_call(action):
    return lambda synth, songs: action(synth)


def render_call(*args, **kwargs):
    return lambda synth, songs: vorzle.render_midi(*(songs["demo"] if a == "demo" else a for a in args), **kwargs)


BAD_INPUT = [
    (lambda s, songs: vorzle.Synth(sample_rate=100), ValueError, "sample_rate"),
    (synth_call(lambda s: setattr(s, "program", "No such program")), ValueError, "no program named"),
    (synth_call(lambda s: setattr(s, "program", 128)), ValueError, "program"),
    (synth_call(lambda s: s.parameters.__setitem__("Cutoff", 1.5)), ValueError, "Cutoff"),
    (synth_call(lambda s: s.parameters.__setitem__("Brightness", 0.5)), KeyError, "Brightness"),
    (synth_call(lambda s: s.parameters[39]), IndexError, "39"),
    (synth_call(lambda s: s.parameters.update({"Cutoff": 0.2, "Resonance": 2})), ValueError, "Resonance"),
    (synth_call(lambda s: setattr(s.parameters, "vector", np.zeros(38))), ValueError, "39 values"),
    (synth_call(lambda s: setattr(s.parameters, "vector", np.full(39, np.nan))), ValueError, "Volume"),
    (synth_call(lambda s: setattr(s, "parameters", {"Cutoff": "high"})), TypeError, "Cutoff"),
    (synth_call(lambda s: s.note_on(128)), ValueError, "note"),
    (synth_call(lambda s: s.note_on(60, channel=17)), ValueError, "channel"),
    (synth_call(lambda s: s.pitch_bend(8192)), ValueError, "pitch bend"),
    (synth_call(lambda s: s.midi(b"\xf0\x01")), ValueError, "status byte"),
    (synth_call(lambda s: s.midi(b"\x90\x3c")), ValueError, "3 bytes"),
    (synth_call(lambda s: s.midi([0x90, 60, 200])), ValueError, "0 to 127"),
    (synth_call(lambda s: s.render(-1)), ValueError, "frames"),
    (synth_call(lambda s: s.set_state(b"not a chunk")), ValueError, "state"),
    (synth_call(lambda s: s.set_state(s.get_state()[:-1])), ValueError, "state"),
    (synth_call(lambda s: s.set_state(s.get_state(), "program")), ValueError, "program state"),
    (synth_call(lambda s: s.get_state("everything")), ValueError, "scope"),
    (synth_call(lambda s: s.load_bank_file(b"CcnK" + bytes(100))), ValueError, "bank file"),
    (render_call("/no/such/song.mid"), FileNotFoundError, "song.mid"),
    (render_call("/"), IsADirectoryError, "/"),
    (render_call(b"MThd but not a MIDI file"), ValueError, "MIDI"),
    (render_call("demo", program="No such program"), ValueError, "no program named"),
    (render_call("demo", sample_rate=100), ValueError, "sample_rate"),
    (render_call("demo", drums=True), ValueError, "gm"),
    (render_call("demo", gm=True, program=3), ValueError, "gm"),
    (render_call("demo", transpose=49), ValueError, "transpose"),
    (render_call("demo", channels=[0]), ValueError, "channel"),
    (render_call("demo", tail=-1), ValueError, "tail"),
    (render_call("demo", parameters={"Cutoff": 2}), ValueError, "Cutoff"),
]


@pytest.mark.parametrize("action,error,words", BAD_INPUT)
def test_bad_input_raises_and_changes_nothing(songs, action, error, words):
    synth = vorzle.Synth()
    synth.program = 5
    synth.note_on(60)
    before = (synth.get_state(), synth.parameters.vector.tobytes())
    with pytest.raises(error, match=words):
        action(synth, songs)
    assert (synth.get_state(), synth.parameters.vector.tobytes()) == before
    reference = vorzle.Synth()
    reference.program = 5
    reference.note_on(60)
    assert same_bits(synth.render(2000), reference.render(2000))


# ---------------------------------------------------------------- threads and patches
def test_renders_release_the_gil_and_threads_agree():
    synths = [vorzle.Synth() for _ in range(3)]
    for s in synths:
        s.program = "Rave bass"
        s.note_on(40, 100)
    frames = 44100 * 120
    results, seen = {}, []
    threads = [threading.Thread(target=lambda i=i: results.__setitem__(i, synths[i].render(frames))) for i in (0, 1)]
    for t in threads:
        t.start()
    while any(t.is_alive() for t in threads):
        seen.append(time.perf_counter())   # runs only while the renders let go of the GIL
    for t in threads:
        t.join()
    reference = synths[2].render(frames)
    assert same_bits(results[0], reference) and same_bits(results[1], reference)
    assert len(seen) > 100 and np.diff(seen).max() < (seen[-1] - seen[0]) / 2


def test_random_patches_are_reproducible_valid_and_audible():
    switches = [vorzle.PARAMETER_NAMES.index(n) for n in vorzle.SWITCHES]
    oscillators = [vorzle.PARAMETER_NAMES.index(n) for n in ("Osc1On", "Osc2On", "Osc3On")]
    low, high = (np.array([vorzle.PATCH_RANGES[n][k] for n in vorzle.PARAMETER_NAMES]) for k in (0, 1))
    patches = np.array([vorzle.random_patch(7, i) for i in range(300)])
    assert np.array_equal(patches[123], vorzle.random_patch(7, 123)) and not np.array_equal(patches[0], patches[1])
    assert ((patches >= low.astype(np.float32)) & (patches <= high.astype(np.float32))).all()
    assert set(np.unique(patches[:, switches])) == {0.0, 1.0} and patches[:, oscillators].any(axis=1).all()
    near = np.array([vorzle.random_patch(1, i, around="Rave bass", spread=0.05) for i in range(50)])
    base = np.clip(vorzle.factory_patch("Rave bass"), 0, 1)   # a switch may be stored as 2.0
    assert (np.abs(near - base) <= 0.05 + 1e-6).all() and (near[:, switches] == base[switches]).all()

    def pair(index):
        synth = vorzle.Synth()
        synth.parameters = vorzle.random_patch(7, index)
        synth.note_on(57, 100)
        return synth.render(8000)
    assert same_bits(pair(3), pair(3)) and np.abs(pair(3)).max() > 0


def test_parameters_by_name_with_display_and_unit():
    synth = vorzle.Synth()
    params = synth.parameters
    assert len(params) == 39 and list(params)[8] == "Cutoff" and params.index("cutoff") == 8
    params.update({"Volume": 0.5, "Cutoff": 1.0, "Osc1Pitch": 0.505, "Osc1On": 1.0})
    shown = {n: (params.display(n), params.unit(n)) for n in ("Volume", "Cutoff", "Osc1Pitch", "Osc1On")}
    assert shown == {"Volume": ("50.00 %", "%"), "Cutoff": ("20480 Hz", "Hz"), "Osc1Pitch": ("0.12 smt.", "smt."),
                     "Osc1On": ("on", "")}
    assert params.to_dict()["Cutoff"] == 1.0 and params.vector[8] == 1.0 and synth.programs[1] == "Rave bass"
