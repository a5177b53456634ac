"""The LV2 plug-in in Ardour 7 headless (ardour_driver.py), in two processes.

First: a session with two Vorzle LV2 tracks, "demo" playing examples/demo.mid
(program changes, controller sweeps, bends) and "chord", after the demo, a
held chord on a factory preset with some ports changed and the cutoff port
automated: closed, then open from a set sample on. It saves the session, then
exports it. Second: reopens the saved session and exports it again.

Checks: the demo sounds (finite, loud enough); the reopened session renders
the same samples (the chord's preset and changed ports and automation, the
plug-ins' state kept); the automation opens the filter where it says and not
before.

  lv2_in_ardour.py SOURCE_DIR BUILD_DIR
"""
import sys

from ardour_driver import Ardour, brightness, demo_song, fail

RATE = 44100
URI = "urn:harvane:vorzle"
CHORD_START = 24.0           # after the demo has rung out
AUTOMATION_AT = 27.0         # the cutoff port opens here
SESSION_END = 30.0
CHORD_PRESET = URI + ":preset:031"   # a pad: the chord holds
# Changed ports: the cutoff alone shapes the tone (no envelope, no LFO, no drive)
# and the chord holds whatever the program.
CHORD_PORTS = {"Osc 2 Shift": 0.25, "Drive": 0.0, "Resonance": 0.2, "Filter Env Amount": 0.5,
               "LFO Amount": 0.5, "Volume": 0.3, "Amp Sustain": 1.0}
CUTOFF_CLOSED, CUTOFF_OPEN = 0.3, 0.85


build = sys.argv[2]
chord = [57, 64, 69, 72]
songs = [demo_song(RATE, start=1.0),
         [(round(CHORD_START * RATE), 0x90, n, 90) for n in chord] +
         [(round((SESSION_END - 0.5) * RATE), 0x80, n, 0) for n in chord]]
at, end = round(AUTOMATION_AT * RATE), round(SESSION_END * RATE)
with Ardour("LV2", build + "/lv2/Vorzle.lv2", URI, RATE, songs) as ardour:
    a = ardour.step("first", """fresh_session ("lv2")
add_track ("demo", 0)
local synth = add_track ("chord", 1)
local plugin = synth:to_insert ():plugin (0)
local preset = plugin:preset_by_uri ("%s")
assert (preset and plugin:load_preset (preset), "no preset %s")
%s
local cutoff, cutoff_port = control_index (synth, "Cutoff")
local al, cl, pd = ARDOUR.LuaAPI.plugin_automation (synth, cutoff)
assert (not al:isnil ())
-- Steps: the port holds exactly the values given, wherever Ardour's cycles fall.
cl:set_interpolation (Evoral.InterpolationStyle.Discrete)
cl:add (Temporal.timepos_t (0), %r, false, false)
cl:add (Temporal.timepos_t (%d), %r, false, false)
cl:add (Temporal.timepos_t (%d), %r, false, false)
synth:to_insert ():to_automatable ():automation_control (Evoral.Parameter (ARDOUR.AutomationType.PluginAutomation, 0, cutoff_port), false):set_automation_state (ARDOUR.AutoState.Play)
save ()
export ("first", %r)
""" % (CHORD_PRESET, CHORD_PRESET, "".join('set_control (synth, "%s", %r)\n' % kv for kv in CHORD_PORTS.items()),
       CUTOFF_CLOSED, at, CUTOFF_OPEN, end, CUTOFF_OPEN, SESSION_END))["first"]
    b = ardour.step("second", 'reopen_session ("lv2")\nexport ("second", %r)\n' % SESSION_END, latency_of="first")["second"]

failures = []
peak = max(abs(x) for x in a[:2 * round(CHORD_START * RATE)])
if peak < 0.1:
    failures.append("the demo's peak is %.3f" % peak)
if len(a) != len(b):
    failures.append("renders differ in length: %d/%d samples" % (len(a), len(b)))
elif a != b:
    first_diff = next(i for i, (x, y) in enumerate(zip(a, b)) if x != y) // 2
    failures.append("the reopened session renders %d samples otherwise, the first at %.3f s"
                    % (sum(1 for x, y in zip(a, b) if x != y), first_diff / RATE))
# The cutoff opens where the automation says: 50 ms windows before and after.
window = round(0.05 * RATE)
closed = max(brightness(a, s, s + window) for s in range(at - 20 * window, at - window, window))
opened = min(brightness(a, s, s + window) for s in range(at + window, at + 20 * window, window))
if not opened > 2 * closed:
    failures.append("the cutoff automation changes too little: %.3f before, %.3f after" % (closed, opened))
# The step itself: the first 256-sample stretch brighter than midway lies within a block of the point.
mid = (closed + opened) / 2
step = next((s for s in range(at - 4096, at + 4096, 256) if brightness(a, s, s + 256) > mid), None)
if step is None or abs(step - at) > 1024 + 256:
    failures.append("the cutoff opens at sample %s, not near %d" % (step, at))
print("demo peak %.3f; reopened session %s; brightness %.3f closed, %.3f open, step at %+d samples"
      % (peak, "identical" if a == b else "differs", closed, opened, (step or 0) - at))
if failures:
    fail("; ".join(failures))
print("PASS: LV2 in Ardour")
