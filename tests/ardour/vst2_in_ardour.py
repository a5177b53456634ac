"""Vorzle.so in Ardour 7 headless (ardour_driver.py): the demo is not silent;
a note placed at sample 48000 starts there, within the track's latency, at 64-
and at 1024-frame blocks alike; a session saved with another program and
edited values reopens in a fresh Ardour process and renders the same samples.
The demo plays at 1024-frame blocks: 64-frame cycles would take three times
as long for each attempt of a step Ardour crashes in.

  vst2_in_ardour.py SOURCE_DIR BUILD_DIR
"""
import re
import sys

from ardour_driver import Ardour, dbfs, demo_song, fail

RATE = 48000
source, build = sys.argv[1:3]
# The saved program is the first after 0 whose sound does not hang on
# free-running phases (no cutoff LFO depth, no chorus), so that two processes
# can agree to the bit.
bank = open(source + "/resources/factory_bank.txt").read()
program = next(int(n) for n, body in re.findall(r'^program (\d+) "[^"]*"\n((?:\s+[^p\n].*\n)*)', bank, re.M)
               if int(n) > 0 and re.search(r"\bLfoAmount 0\.5\b(?!\d)", body) and re.search(r"\bChorus 0(?![.\d])", body))
print("saved program %d" % program)
note = [(24000, 0x90, 60, 100), (96000, 0x80, 60, 0)]
edits = [(0, 0xC0, program), (0, 0xB0, 12, 40), (0, 0xB0, 73, 10), (0, 0xB0, 72, 90), (0, 0xB0, 7, 110)]
# 0 one note at 48000; 1 a program change, four edits by controller and a note; 2 that note alone; 3 the demo.
songs = [[(48000, 0x90, 57, 100), (90000, 0x80, 57, 0)], edits + note, note, demo_song(RATE)]

with Ardour("LXVST", build + "/bin/Vorzle.so", "Vorzle", RATE, songs) as ardour:
    takes = ardour.step("onset", 'fresh_session ("onset")\nadd_track ("Vorzle", 0)\nexport ("onset64", 2)\n', block=64)
    takes.update(ardour.step("keep", """fresh_session ("keep")
local _, player = add_track ("Vorzle", 0)
export ("onset1024", 2)
play (player, 1)
export ("saved", 3)
play (player, 2)   -- what the reopened session plays
save ()
play (player, 3)
export ("demo", %d)
""" % (songs[3][-1][0] // RATE + 2)))
    takes.update(ardour.step("reopen", 'reopen_session ("keep")\nexport ("reopened", 3)\n', latency_of="keep"))
    latency = max(int(x) for step in ("onset", "keep") for x in ardour.latencies[step].split("/"))

print("demo: %.1f s, peak %.1f dBFS" % (len(takes["demo"]) / 2 / RATE, dbfs(takes["demo"])))
if dbfs(takes["demo"]) <= -30:
    fail("the demo is silent")
onsets = {}
for block in (64, 1024):
    onsets[block] = next(i // 2 for i, x in enumerate(takes["onset%d" % block]) if x != 0.0)
    print("note placed at 48000, first sound at %d with %d-frame blocks (latency %d)" % (onsets[block], block, latency))
    # The attack starts from silence: the first two samples of a note are 0.
    if not 48000 <= onsets[block] <= 48002 + latency:
        fail("the note is off its sample")
if onsets[64] != onsets[1024]:
    fail("the onset depends on the block size")
saved, reopened = takes["saved"], takes["reopened"]
print("saved session: peak %.1f dBFS; reopened: %d of %d samples differ" %
      (dbfs(saved), sum(a != b for a, b in zip(saved, reopened)), len(saved)))
if dbfs(saved) <= -40 or saved != reopened:
    fail("the reopened session sounds different")
print("PASS: Ardour")
