#!/usr/bin/env bash
# Vorzle.so in Ardour 7, headless (Dummy backend, driven by ardour7-lua,
# MIDI from a Lua processor before the instrument): the demo is not silent;
# a note placed at sample 48000 starts there, within the track's latency, at
# 64- and at 1024-frame blocks alike; a session saved with another program
# and edited values reopens in a fresh Ardour process and renders the same
# samples. Ardour's export crashes on its own in some runs: a process that
# dies of a signal before it has written everything is run again, at most
# four times, and reported; one that dies closing keeps what it wrote; a
# wrong result is never run again.
set -euo pipefail
root=$1
build=$2
command -v ardour7-lua >/dev/null || { echo "FAIL: ardour7-lua is missing (package ardour, installed by scripts/setup.sh)"; exit 1; }
work=$(mktemp -d)
trap '[ -n "${VZ_KEEP_WORK:-}" ] || rm -rf "$work"' EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache LXVST_PATH=$work/vst
config=$XDG_CONFIG_HOME/ardour7
mkdir -p "$LXVST_PATH" "$config/scripts" "$config/export" "$work/out"
cp "$build/bin/Vorzle.so" "$LXVST_PATH/"

# The songs the Lua processor plays: 0 one note at 48000; 1 a program change,
# four edits by controller and a note; 2 that note alone; 3 the demo. The
# program is the first after 0 whose sound does not hang on free-running
# phases (no cutoff LFO depth, no chorus), so two processes can agree to the bit.
demo_seconds=$(python3 - "$root" "$root/tests/ardour/test_songs.lua" "$config/scripts/vorzle_test_songs.lua" <<'PY'
import re, sys
sys.path.insert(0, sys.argv[1] + "/examples")
import make_demo
bank = open(sys.argv[1] + "/resources/factory_bank.txt").read()
program = next(int(n) for n, body in re.findall(r'^program (\d+) "[^"]*"\n((?:\s+[^p\n].*\n)*)', bank, re.M)
               if int(n) > 0 and re.search(r"\bLfoAmount 0\.5\b(?!\d)", body) and re.search(r"\bChorus 0(?![.\d])", body))
note = [(24000, 0x90, 60, 100), (96000, 0x80, 60, 0)]
edits = [(0, 0xC0, program), (0, 0xB0, 12, 40), (0, 0xB0, 73, 10), (0, 0xB0, 72, 90), (0, 0xB0, 7, 110)]
demo = sorted((tick, order, data) for t in make_demo.make_song().tracks for tick, order, data in t.events)
samples_per_tick = 48000 * 0.5 / 480   # 120 beats a minute, 480 ticks a beat
songs = [[(48000, 0x90, 57, 100), (90000, 0x80, 57, 0)], edits + note, note,
         [(round(tick * samples_per_tick),) + tuple(data) for tick, _, data in demo if data[0] < 0xF0]]
table = "{" + ",".join("[%d]={%s}" % (i, ",".join("{%s}" % ",".join(map(str, e)) for e in s))
                       for i, s in enumerate(songs)) + "}"
open(sys.argv[3], "w").write(open(sys.argv[2]).read().replace("SONGS", table))
print(songs[3][-1][0] // 48000 + 2)
print("saved program %d" % program, file=sys.stderr)
PY
)
cat > "$config/export/vorzle-test.preset" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<ExportPreset id="3d1f3c2e-6a55-4f0e-9a59-2f3e6a1b7c01" name="Vorzle test: 32-bit float WAV, no dither">
  <ExportFormat id="20b4ab09-6452-4cb3-bd66-b921cdbd2942"/>
  <ExportFilename><Folder relative="1" path="export"/><Field name="timespan" enabled="1"/></ExportFilename>
</ExportPreset>
XML

# Ardour's Lua tool only reads the scan cache, and only one newer than the module.
LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst-scanner -f "$LXVST_PATH/Vorzle.so" >/dev/null 2>&1 ||
  { echo "FAIL: Ardour's scanner does not take Vorzle.so"; exit 1; }
touch -d '+2 seconds' "$XDG_CACHE_HOME"/ardour7/vst/*.v2i

run_ardour() {   # step, block size
  local attempt rc
  for attempt in 1 2 3 4; do
    rm -rf "${work:?}/$1"
    rc=0
    VZ_WORK=$work VZ_STEP=$1 VZ_BLOCK=$2 VZ_DEMO_SECONDS=$demo_seconds \
      timeout -s KILL 90 ardour7-lua "$root/tests/ardour/drive.lua" > "$work/$1.log" 2>&1 || rc=$?
    grep -E '^(VZ-|Error)' "$work/$1.log" || true
    [ "$rc" -eq 137 ] && { echo "NOTE: Ardour hung in step $1; its last lines:"; tail -3 "$work/$1.log"; }
    if grep -q '^Error' "$work/$1.log"; then echo "FAIL: Ardour step $1"; exit 1; fi
    [ "$rc" -eq 0 ] && return 0
    [ "$rc" -gt 128 ] || { echo "FAIL: Ardour step $1 exited with $rc"; tail -5 "$work/$1.log"; exit 1; }
    if grep -q '^VZ-DONE' "$work/$1.log"; then
      echo "NOTE: Ardour died of signal $((rc - 128)) closing step $1, after writing everything"
      return 0
    fi
    echo "NOTE: Ardour died of signal $((rc - 128)) in step $1 (its own export crash), attempt $attempt of 4; its last lines:"
    tail -n 3 "$work/$1.log"
  done
  echo "FAIL: Ardour crashed in step $1 four times"; exit 1
}
run_ardour demo 64
run_ardour keep 1024
run_ardour reopen 1024
latency=$(sed -n 's/^VZ-LATENCY //p' "$work/demo.log" "$work/keep.log" | sort -n | tail -1)

python3 - "$root/tools/render" "$work/out" "$latency" <<'PY'
import math, sys
sys.path.insert(0, sys.argv[1])
from float_wav import read_float_wav
out, latency = sys.argv[2], int(sys.argv[3])
def samples(name):
    rate, s = read_float_wav("%s/%s.wav" % (out, name))
    assert rate == 48000 and all(math.isfinite(x) for x in s), name
    return s
def dbfs(s): return 20 * math.log10(max(abs(x) for x in s) or 1e-30)
demo = samples("demo")
print("demo: %.1f s, peak %.1f dBFS" % (len(demo) / 96000, dbfs(demo)))
assert dbfs(demo) > -30, "the demo is silent"
onsets = {}
for block in (64, 1024):
    s = samples("onset%d" % block)
    onsets[block] = next(i // 2 for i, x in enumerate(s) if x != 0.0)
    print("note placed at 48000, first sound at %d with %d-frame blocks (latency %d)" % (onsets[block], block, latency))
    # The attack starts from silence: the first two samples of a note are 0.
    assert 48000 <= onsets[block] <= 48002 + latency, "the note is off its sample"
assert onsets[64] == onsets[1024], "the onset depends on the block size"
saved, reopened = samples("saved"), samples("reopened")
print("saved session: peak %.1f dBFS; reopened: %d of %d samples differ" %
      (dbfs(saved), sum(a != b for a, b in zip(saved, reopened)), len(saved)))
assert dbfs(saved) > -40 and saved == reopened, "the reopened session sounds different"
PY
echo "PASS: Ardour"
