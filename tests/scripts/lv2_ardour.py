#!/usr/bin/python3
"""The LV2 plug-in in Ardour 7 headless, in two Ardour processes.

First process (ardour7-lua): a session with two Vorzle LV2 tracks, each fed by
a Lua MIDI processor that plays its song by transport position:
  "demo"   examples/demo.mid (program changes, controller sweeps, bends);
  "chord"  after the demo, a held chord on a factory preset with some ports
           changed and the cutoff port automated: closed, then open from a
           set sample on.
It saves the session, then exports it as 32-bit float.
Second process (ardour7-lua): reopens the saved session and exports it again.

Checks: the demo sounds (finite, loud enough); the reopened session renders
the same samples (the chord's preset and changed ports and automation, the
plug-ins' state kept); the automation opens the filter where it says and not
before.
Ardour corrupting its own heap during export is retried a bounded number of
times and reported; a run that fails otherwise fails the test.

  lv2_ardour.py SOURCE_DIR BUILD_DIR
With VORZLE_KEEP_RENDERS=DIR the two exports are copied there and the
session is kept.
"""
import glob
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "render"))
from float_wav import read_float_wav  # noqa: E402

RATE = 44100
URI = "urn:harvane:vorzle"
DEMO_START = 1.0             # seconds of silence before the demo, after the transport start
CHORD_START = 24.0           # after the demo has rung out
AUTOMATION_AT = 27.0         # the cutoff port opens here
SESSION_END = 30.0
CHORD_PRESET = URI + ":preset:031"   # a pad: the chord holds
# Changed ports: the cutoff alone shapes the tone (no envelope, no LFO, no drive)
# and the chord holds whatever the program.
CHORD_PORTS = {"Osc 2 Shift": 0.25, "Drive": 0.0, "Resonance": 0.2, "Filter Env Amount": 0.5,
               "LFO Amount": 0.5, "Volume": 0.3, "Amp Sustain": 1.0}
CUTOFF_CLOSED, CUTOFF_OPEN = 0.3, 0.85
ATTEMPTS = 5
HOST_CRASH_MARKS = ("free(): invalid", "corrupted", "Segmentation fault", "double free", "malloc():")


def midi_events(path):
    """(seconds, status, data1, data2) of a Standard MIDI File's channel messages, in time order."""
    data = open(path, "rb").read()
    if data[:4] != b"MThd":
        raise SystemExit("%s: not a MIDI file" % path)
    _, tracks, division = struct.unpack(">HHH", data[8:14])
    pos, raw, tempos = 14, [], []
    for _ in range(tracks):
        length = struct.unpack(">I", data[pos + 4:pos + 8])[0]
        chunk, pos = data[pos + 8:pos + 8 + length], pos + 8 + length
        i, tick, status = 0, 0, 0
        while i < len(chunk):
            delta = 0
            while True:
                b = chunk[i]; i += 1
                delta = (delta << 7) | (b & 0x7F)
                if b < 0x80:
                    break
            tick += delta
            if chunk[i] >= 0x80:
                status = chunk[i]; i += 1
            if status == 0xFF:
                kind, size = chunk[i], chunk[i + 1]
                if kind == 0x51:
                    tempos.append((tick, int.from_bytes(chunk[i + 2:i + 5], "big")))
                i += 2 + size
            elif status in (0xF0, 0xF7):
                i += 1 + chunk[i]
            else:
                size = 1 if status & 0xF0 in (0xC0, 0xD0) else 2
                raw.append((tick, status, chunk[i], chunk[i + 1] if size == 2 else 0))
                i += size
    tempos.sort()

    def seconds(tick):
        t, last_tick, tempo = 0.0, 0, 500000
        for at, value in tempos:
            if at >= tick:
                break
            t += (at - last_tick) * tempo / 1e6 / division
            last_tick, tempo = at, value
        return t + (tick - last_tick) * tempo / 1e6 / division
    # At one tick, track order, then file order, as vorzle-render plays them.
    return sorted(((seconds(t), s, a, b) for t, s, a, b in raw), key=lambda e: e[0])


def emitter(name, events):
    """A Lua DSP processor that sends events at their transport sample."""
    # Ardour orders events of one sample its own way (a program change after
    # the controllers meant to follow it): each comes a sample after the one before.
    rows, last = [], -1
    for t, s, a, b in events:
        at = max(round(t * RATE), last + 1)
        # A program change is two bytes: Ardour drops it with a third.
        rows.append("{%d,%d,%d}" % (at, s, a) if s & 0xF0 in (0xC0, 0xD0) else "{%d,%d,%d,%d}" % (at, s, a, b))
        last = at
    rows = ",".join(rows)
    return """ardour { ["type"] = "dsp", name = "%s" }
function dsp_ioconfig () return { { midi_in = 1, midi_out = 1, audio_in = 0, audio_out = 0 } } end
local song = { %s }
local clock = nil       -- the transport sample of this call's first frame
local next_event = 1
function dsp_run (_, _, n)
  if not Session:transport_rolling () then clock = nil return end
  -- A cycle the host splits comes in several calls: count the frames here.
  if clock == nil then
    -- The instrument plays this call's frames that much later: ahead by it, as a
    -- MIDI region would be (a session reopened may differ in it).
    clock = Session:transport_sample () + Session:worst_latency_preroll ()
    next_event = 1
    while next_event <= #song and song[next_event][1] < clock do next_event = next_event + 1 end
  end
  local out = 1
  while next_event <= #song and song[next_event][1] < clock + n do
    local e = song[next_event]
    midiout[out] = { time = e[1] - clock + 1, data = { e[2], e[3], e[4] } }   -- e[4] nil: two bytes
    out = out + 1
    next_event = next_event + 1
  end
  clock = clock + n
end
""" % (name, rows)


def lua_string(text):
    return "[==[" + text + "]==]"


def first_run_script(session_dir, out_dir):
    ports = "".join('set_port (chord_synth, "%s", %r)\n' % kv for kv in CHORD_PORTS.items())
    return ("""
AudioEngine:set_backend ("None (Dummy)", "Unit-Test", "")
AudioEngine:set_buffer_size (1024)
local s = create_session (%(dir)s, "lv2", %(rate)d)
assert (s, "no session")
local midi = ARDOUR.ChanCount (ARDOUR.DataType ("midi"), 1)
local audio = ARDOUR.ChanCount (ARDOUR.DataType ("audio"), 2)

function add_track (name, song)
  local info = ARDOUR.LuaAPI.new_plugin_info ("%(uri)s", ARDOUR.PluginType.LV2)
  assert (not info:isnil (), "Ardour does not list the Vorzle LV2 plug-in")
  local tl = s:new_midi_track (midi, audio, false, info, nil, nil, 1, name, ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, false)
  local track = tl:front ()
  -- Nothing but the player: the dummy engine's MIDI inputs send test events.
  track:input ():disconnect_all (nil)
  local player = ARDOUR.LuaAPI.new_luaproc (s, song)
  assert (not player:isnil ())
  assert (track:add_processor_by_index (player, 0, nil, true) == 0)
  return track:nth_plugin (1)
end

-- A control input by its port's name, counted as Ardour counts parameters.
function control_index (proc, name)
  local plugin = proc:to_insert ():plugin (0)
  for n = 0, plugin:parameter_count () - 1 do
    local i, ok = plugin:nth_parameter (n, true)
    if plugin:parameter_is_input (i) and plugin:parameter_label (i) == name then return n, i end
  end
  error ("no port " .. name)
end

function set_port (proc, name, value)
  assert (ARDOUR.LuaAPI.set_processor_param (proc, control_index (proc, name), value))
end

local demo_synth = add_track ("demo", "vorzle demo player")
local chord_synth = add_track ("chord", "vorzle chord player")
local plugin = chord_synth:to_insert ():plugin (0)
local preset = plugin:preset_by_uri ("%(preset)s")
assert (preset, "no preset %(preset)s")
assert (plugin:load_preset (preset))
%(ports)s
local cutoff, cutoff_port = control_index (chord_synth, "Cutoff")
local al, cl, pd = ARDOUR.LuaAPI.plugin_automation (chord_synth, cutoff)
assert (not al:isnil ())
-- Steps: the port holds exactly the values given, wherever Ardour's cycles fall.
cl:set_interpolation (Evoral.InterpolationStyle.Discrete)
cl:add (Temporal.timepos_t (0), %(closed)r, false, false)
cl:add (Temporal.timepos_t (%(at)d), %(open)r, false, false)
cl:add (Temporal.timepos_t (%(end)d), %(open)r, false, false)
chord_synth:to_insert ():to_automatable ():automation_control (Evoral.Parameter (ARDOUR.AutomationType.PluginAutomation, 0, cutoff_port), false):set_automation_state (ARDOUR.AutoState.Play)

assert (s:save_state ("", false, false, false, false, false) == 0)
""" % {"dir": lua_string(session_dir), "rate": RATE, "uri": URI, "preset": CHORD_PRESET, "ports": ports,
       "closed": CUTOFF_CLOSED, "open": CUTOFF_OPEN, "at": round(AUTOMATION_AT * RATE),
       "end": round(SESSION_END * RATE)}) + export_lua("first", out_dir)


def export_lua(name, out_dir):
    """Exports the session's first SESSION_END seconds as NAME.wav and closes it."""
    return """local latency = "" .. Session:worst_latency_preroll ()
for r in Session:get_routes ():iter () do latency = latency .. "/" .. r:playback_latency (true) end
print ("LATENCY " .. latency)
local e = Session:simple_export ()
e:set_folder (%s .. "/%s")
e:set_name ("%s")
e:set_range (0, %d)
assert (e:set_preset ("%s"), "no float export preset")
assert (e:run_export (), "export failed")
print ("%s EXPORTED")
close_session ()
""" % (lua_string(out_dir), name, name, round(SESSION_END * RATE), EXPORT_PRESET_ID, name)


def second_run_script(session_dir, out_dir):
    return """
AudioEngine:set_backend ("None (Dummy)", "Unit-Test", "")
AudioEngine:set_buffer_size (1024)
assert (load_session (%s, "lv2"), "the saved session does not open")
""" % lua_string(session_dir) + export_lua("second", out_dir)


EXPORT_PRESET_ID = "6c1c5a3e-2f0b-4f57-9d55-7b1f9c1a2e01"
EXPORT_FORMAT_ID = "6c1c5a3e-2f0b-4f57-9d55-7b1f9c1a2e02"


def write_export_preset(config):
    """A float WAV export without dither, normalising or tags, in Ardour's user config."""
    folder = os.path.join(config, "ardour7", "export")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "vorzle-float.format"), "w") as f:
        f.write("""<?xml version="1.0" encoding="UTF-8"?>
<ExportFormatSpecification name="Vorzle float" id="%s" with-cue="false" with-toc="false" with-mp4chaps="false" command="" analyse="false" soundcloud-upload="false">
  <Encoding id="F_WAV" type="T_Sndfile" extension="wav" name="WAV" has-sample-format="true" channel-limit="256"/>
  <SampleRate rate="1"/>
  <SRCQuality quality="SRC_SincBest"/>
  <EncodingOptions>
    <Option name="sample-format" value="SF_Float"/>
    <Option name="dithering" value="D_None"/>
    <Option name="tag-metadata" value="false"/>
    <Option name="tag-support" value="false"/>
    <Option name="broadcast-info" value="false"/>
  </EncodingOptions>
  <Processing>
    <Normalize enabled="false" loudness="no" dbfs="0" lufs="-23" dbtp="-1"/>
  </Processing>
</ExportFormatSpecification>
""" % EXPORT_FORMAT_ID)
    with open(os.path.join(folder, "vorzle-float.preset"), "w") as f:
        f.write("""<?xml version="1.0" encoding="UTF-8"?>
<ExportPreset id="%s" name="Vorzle float">
  <ExportFormat id="%s"/>
  <ExportFilename>
    <Folder relative="1" path="export"/>
    <Field name="label" enabled="1"/>
  </ExportFilename>
</ExportPreset>
""" % (EXPORT_PRESET_ID, EXPORT_FORMAT_ID))


def run_ardour(command, env, done_mark, what, before_attempt, latency=None):
    """Runs one Ardour process; retries it when Ardour broke down on its own
    (even after its export reported success: a damaged heap can damage the
    file), or rendered with another latency than
    LATENCY (a reopened session sometimes has 16 samples less, which moves the
    block grid and so every sample). before_attempt puts back what the process
    starts from. Answers the latency it rendered with."""
    for attempt in range(1, ATTEMPTS + 1):
        before_attempt()
        result = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                text=True, timeout=300)
        log = result.stdout
        rendered = next((l.split()[1] for l in log.splitlines() if l.startswith("LATENCY ")), None)
        # A crash after a successful export may have written a damaged file: only a clean exit counts.
        exported = done_mark(log) and result.returncode == 0
        if exported and latency not in (None, rendered) and attempt < ATTEMPTS:
            print("%s: Ardour rendered with a latency of %s samples, not %s; retrying" % (what, rendered, latency))
            continue
        if exported:
            if attempt > 1:
                print("%s: Ardour succeeded on attempt %d" % (what, attempt))
            return rendered
        crashed = result.returncode < 0 or any(m in log for m in HOST_CRASH_MARKS)
        if not crashed or attempt == ATTEMPTS:
            sys.stdout.write(log[-3000:])
            raise SystemExit("FAIL: %s (exit %d, attempt %d)" % (what, result.returncode, attempt))
        print("%s: Ardour crashed on its own (exit %d), retrying" % (what, result.returncode))


def brightness(samples, start, end):
    """High-frequency share of a stretch of the left channel: RMS of the first difference over RMS."""
    left = samples[2 * start:2 * end:2]
    energy = sum(x * x for x in left)
    diff = sum((left[i] - left[i - 1]) ** 2 for i in range(1, len(left)))
    return math.sqrt(diff / energy) if energy > 0 else 0.0


def main():
    source, build = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    work = tempfile.mkdtemp(prefix="vorzle-ardour-")
    try:
        home = os.path.join(work, "home")
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                   XDG_CACHE_HOME=os.path.join(home, ".cache"), LV2_PATH=os.path.join(build, "lv2"))
        write_export_preset(env["XDG_CONFIG_HOME"])
        session = os.path.join(work, "session")
        out = os.path.join(work, "out")
        # Ardour finds Lua processors by name among the user's scripts.
        scripts = os.path.join(env["XDG_CONFIG_HOME"], "ardour7", "scripts")
        os.makedirs(scripts)
        chord_notes = [57, 64, 69, 72]
        songs = {"demo": [(DEMO_START + t, *e) for t, *e in midi_events(os.path.join(source, "examples", "demo.mid"))],
                 "chord": [(CHORD_START, 0x90, n, 90) for n in chord_notes] +
                          [(SESSION_END - 0.5, 0x80, n, 0) for n in chord_notes]}
        for name, events in songs.items():
            with open(os.path.join(scripts, "vorzle_%s_player.lua" % name), "w") as f:
                f.write(emitter("vorzle %s player" % name, events))
        saved = os.path.join(work, "saved")
        latency = None

        def start_from(name):
            """The first run starts with no session, the second from the one the first saved."""
            for folder in (session, os.path.join(out, name)):
                shutil.rmtree(folder, ignore_errors=True)
            os.makedirs(os.path.join(out, name))
            if name == "second":
                shutil.copytree(saved, session)

        for name, make, what in (("first", first_run_script, "first Ardour: build, save and export"),
                                 ("second", second_run_script, "second Ardour: reopen and export")):
            script = os.path.join(work, name + ".lua")
            with open(script, "w") as f:
                f.write(make(session, out))
            latency = run_ardour(["ardour7-lua", script], env, lambda log: (name + " EXPORTED") in log, what,
                                 lambda: start_from(name), latency if name == "second" else None)
            if name == "first":
                shutil.copytree(session, saved)
        # Ardour builds the file name from the export's name and its own fields.
        # Ardour names the file itself: one folder per export.
        wavs = [glob.glob(os.path.join(out, name, "*.wav")) for name in ("first", "second")]
        if [len(w) for w in wavs] != [1, 1]:
            raise SystemExit("FAIL: the exports wrote %s" % wavs)
        first, second = wavs[0][0], wavs[1][0]

        if os.environ.get("VORZLE_KEEP_RENDERS"):
            shutil.copy(first, os.environ["VORZLE_KEEP_RENDERS"] + "/first.wav")
            shutil.copy(second, os.environ["VORZLE_KEEP_RENDERS"] + "/second.wav")
        rate, a = read_float_wav(first)
        rate2, b = read_float_wav(second)
        failures = []
        demo_part = a[:2 * round(CHORD_START * RATE)]
        peak = max(abs(x) for x in demo_part)
        if not all(math.isfinite(x) for x in a) or peak < 0.1:
            failures.append("the demo's peak is %.3f" % peak)
        if rate != RATE or rate2 != RATE or len(a) != len(b):
            failures.append("renders differ in rate or length: %d/%d Hz, %d/%d samples" % (rate, rate2, len(a), len(b)))
        else:
            differing = sum(1 for x, y in zip(a, b) if x != y)
            if differing:
                first_diff = next(i for i, (x, y) in enumerate(zip(a, b)) if x != y) // 2
                failures.append("the reopened session renders %d samples otherwise, the first at %.3f s"
                                % (differing, first_diff / RATE))
        # The cutoff opens where the automation says: 50 ms windows before and after.
        at = round(AUTOMATION_AT * RATE)
        window = round(0.05 * RATE)
        before = [brightness(a, s, s + window) for s in range(at - 20 * window, at - window, window)]
        after = [brightness(a, s, s + window) for s in range(at + window, at + 20 * window, window)]
        closed, opened = max(before), min(after)
        if not opened > 2 * closed:
            failures.append("the cutoff automation changes too little: %.3f before, %.3f after" % (closed, opened))
        # The step itself: the first 256-sample stretch brighter than midway lies within a block of the point.
        mid = (closed + opened) / 2
        step = next((s for s in range(at - 4096, at + 4096, 256) if brightness(a, s, s + 256) > mid), None)
        if step is None or abs(step - at) > 1024 + 256:
            failures.append("the cutoff opens at sample %s, not near %d" % (step, at))
        print("demo peak %.3f; reopened session %s; brightness %.3f closed, %.3f open, step at %+d samples"
              % (peak, "identical" if not any("reopened" in f for f in failures) else "differs",
                 closed, opened, (step or 0) - at))
        if failures:
            raise SystemExit("FAIL: " + "; ".join(failures))
    finally:
        if not os.environ.get("VORZLE_KEEP_RENDERS"):
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
