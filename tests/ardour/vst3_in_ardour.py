"""The bundle Vorzle.vst3 in Ardour 7 headless (ardour_driver.py): the demo
plays (its controllers and bends through Ardour's MIDI mapping); a note placed
at sample 48000 starts there, within the track's latency, at 64- and
1024-frame blocks alike; "Cutoff" automation on a held chord opens the filter
on its sample; a session saved with a program chosen by name from Ardour's
preset list and edited parameters reopens in a fresh Ardour and renders the
same samples.

  vst3_in_ardour.py SOURCE_DIR BUILD_DIR
"""
import re
import sys

from ardour_driver import Ardour, brightness, dbfs, demo_song, fail

RATE = 48000
source, build = sys.argv[1:3]
# The saved program: the first after 0 whose sound does not hang on
# free-running phases (no cutoff LFO depth, no chorus), so that two processes
# can agree to the bit; chosen by its name.
bank = open(source + "/resources/factory_bank.txt").read()
program, name = next((int(n), title) for n, title, body in
                     re.findall(r'^program (\d+) "([^"]*)"\n((?:\s+[^p\n].*\n)*)', bank, re.M)
                     if int(n) > 0 and re.search(r"\bLfoAmount 0\.5\b(?!\d)", body) and re.search(r"\bChorus 0(?![.\d])", body))
print("saved program %d, %s" % (program, name))
EDITS = {"Cutoff": 0.4, "Amp Attack": 0.1, "Amp Release": 0.7, "Volume": 0.8}
CHORD_START, AUTOMATION_AT, CHORD_END = 0.5, 2.0, 3.5
CUTOFF_CLOSED, CUTOFF_OPEN = 0.3, 0.85
# The chord's sound: a pad, and values that let the cutoff alone shape the
# tone (no envelope, no LFO, no drive) and hold the chord.
PAD = re.search(r'^program 31 "([^"]*)"', bank, re.M).group(1)
CHORD_VALUES = {"Osc 2 Shift": 0.25, "Drive": 0.0, "Resonance": 0.2, "Filter Env Amount": 0.5,
                "LFO Amount": 0.5, "Volume": 0.3, "Amp Sustain": 1.0}
chord = [57, 64, 69, 72]
note = [(24000, 0x90, 60, 100), (96000, 0x80, 60, 0)]
# 0 one note at 48000; 1 a note for the saved session; 2 a held chord; 3 the demo.
songs = [[(48000, 0x90, 57, 100), (90000, 0x80, 57, 0)], note,
         [(round(CHORD_START * RATE), 0x90, n, 90) for n in chord] + [(round(CHORD_END * RATE), 0x80, n, 0) for n in chord],
         demo_song(RATE)]

with Ardour("VST3", build + "/vst3/Vorzle.vst3", "Vorzle", RATE, songs) as ardour:
    takes = ardour.step("onset", 'fresh_session ("onset")\nadd_track ("Vorzle", 0)\nexport ("onset64", 2)\n', block=64)
    takes.update(ardour.step("keep", """fresh_session ("keep")
local synth, player = add_track ("Vorzle", 0)
export ("onset1024", 2)
local plugin = synth:to_insert ():plugin (0)
local preset = plugin:preset_by_label (%r)
assert (preset and plugin:load_preset (preset), "no program named %s in the preset list")
%s
play (player, 1)
export ("saved", 3)
save ()
""" % (name, name, "".join('set_control (synth, "%s", %r)\n' % kv for kv in EDITS.items()))))
    takes.update(ardour.step("reopen", 'reopen_session ("keep")\nexport ("reopened", 3)\n', latency_of="keep"))
    at = round(AUTOMATION_AT * RATE)
    takes.update(ardour.step("automation", """fresh_session ("automation")
local synth, player = add_track ("Vorzle", 2)
local plugin = synth:to_insert ():plugin (0)
assert (plugin:load_preset (plugin:preset_by_label (%r)), "no program %s")
%s
local cutoff, cutoff_port = control_index (synth, "Cutoff")
local al, cl, pd = ARDOUR.LuaAPI.plugin_automation (synth, cutoff)
assert (not al:isnil ())
cl:set_interpolation (Evoral.InterpolationStyle.Discrete)
cl:add (Temporal.timepos_t (0), %r, false, false)
cl:add (Temporal.timepos_t (%d), %r, false, false)
synth:to_insert ():to_automatable ():automation_control (Evoral.Parameter (ARDOUR.AutomationType.PluginAutomation, 0, cutoff_port), false):set_automation_state (ARDOUR.AutoState.Play)
export ("automated", %r)
play (player, 3)
export ("demo", %d)
""" % (PAD, PAD, "".join('set_control (synth, "%s", %r)\n' % kv for kv in CHORD_VALUES.items()),
       CUTOFF_CLOSED, at, CUTOFF_OPEN, CHORD_END, songs[3][-1][0] // RATE + 2)))
    latency = max(int(x) for step in ("onset", "keep") for x in ardour.latencies[step].split("/"))

failures = []
print("demo: %.1f s, peak %.1f dBFS" % (len(takes["demo"]) / 2 / RATE, dbfs(takes["demo"])))
if dbfs(takes["demo"]) <= -30:
    failures.append("the demo is silent")
onsets = {}
for block in (64, 1024):
    onsets[block] = next(i // 2 for i, x in enumerate(takes["onset%d" % block]) if x != 0.0)
    print("note placed at 48000, first sound at %d with %d-frame blocks (latency %d)" % (onsets[block], block, latency))
    if not 48000 <= onsets[block] <= 48002 + latency:
        failures.append("the note is off its sample at %d-frame blocks" % block)
if onsets[64] != onsets[1024]:
    failures.append("the onset depends on the block size")
saved, reopened = takes["saved"], takes["reopened"]
print("saved session: peak %.1f dBFS; reopened: %d of %d samples differ" %
      (dbfs(saved), sum(a != b for a, b in zip(saved, reopened)), len(saved)))
if dbfs(saved) <= -40 or saved != reopened:
    failures.append("the reopened session sounds different")
a = takes["automated"]
window = round(0.05 * RATE)
closed = max(brightness(a, s, s + window) for s in range(at - 15 * window, at - window, window))
opened = min(brightness(a, s, s + window) for s in range(at + window, at + 15 * window, window))
mid = (closed + opened) / 2
step = next((s for s in range(at - 4096, at + 4096, 256) if brightness(a, s, s + 256) > mid), None)
print("cutoff automation: brightness %.3f closed, %.3f open, step at %+d samples" % (closed, opened, (step or 0) - at))
# Automation applies on its sample: the step falls in the 256-sample stretch that holds it.
if not opened > 2 * closed or step is None or abs(step - at) > 256:
    failures.append("the cutoff automation does not open the filter at sample %d (step at %s)" % (at, step))
if failures:
    fail("; ".join(failures))
print("PASS: VST 3 in Ardour")
