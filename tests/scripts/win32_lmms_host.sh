#!/usr/bin/env bash
# LMMS 1.2 as a third-party host for the Windows DLL: its VeSTige instrument
# starts LMMS's Wine-side VST server, which loads Vorzle.dll, creates an
# instance, queries it, plays an A minor chord then a single A, and closes it
# while LMMS renders the song headless. Only the 32-bit LMMS (lmms:i386) ships
# VeSTige and drives the 32-bit server from lmms-vst-server:i386. The server
# opens the plug-in's editor window, so it needs a display: ctest runs under
# xvfb-run (without one the render hangs until the time limit).
set -euo pipefail
root=$1
build=$2
dll="$build/bin/Vorzle.dll"
server=/usr/lib/i386-linux-gnu/lmms/RemoteVstPlugin.exe.so
python3=/usr/bin/python3
fail() { echo "FAIL: $*"; exit 1; }

[ -f "$dll" ] || fail "$dll is missing (build the win32 tree first)"
[ -f "$server" ] || fail "$server is missing (package lmms-vst-server:i386, installed by scripts/setup.sh)"
lmms=$(command -v lmms) || fail "lmms is not installed (package lmms:i386, installed by scripts/setup.sh)"
# The 64-bit LMMS renders a VeSTige track as silence without a word: say why.
elf_class=$(od -An -tx1 -j4 -N1 "$(readlink -f "$lmms")" | tr -d ' ')
[ "$elf_class" = 01 ] || fail "$lmms is a 64-bit build, which has no VeSTige; install lmms:i386 (scripts/setup.sh)"
[ -n "${DISPLAY:-}" ] || fail "no display; run under xvfb-run"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# LMMS writes its configuration into HOME on the first start.
export HOME="$work/home"
mkdir -p "$HOME"
cp "$dll" Vorzle.dll

# 120 BPM, 192 ticks a bar: the chord (keys 57, 60, 64) for the first second,
# then key 57 alone for the next; LMMS renders a second bar after them.
cat > song.mmp <<EOF
<?xml version="1.0"?>
<!DOCTYPE lmms-project>
<lmms-project version="1.0" creator="LMMS" creatorversion="1.2.2" type="song">
  <head timesig_numerator="4" timesig_denominator="4" bpm="120" mastervol="100" masterpitch="0"/>
  <song>
    <trackcontainer type="song">
      <track type="0" name="Vorzle" muted="0" solo="0">
        <instrumenttrack vol="100" pan="0" fxch="0" basenote="57" pitch="0" pitchrange="1" usemasterpitch="1">
          <instrument name="vestige">
            <vestige plugin="$work/Vorzle.dll"/>
          </instrument>
        </instrumenttrack>
        <pattern type="1" name="" pos="0" len="192" steps="16" muted="0">
          <note key="57" pos="0" len="96" vol="100" pan="0"/>
          <note key="60" pos="0" len="96" vol="100" pan="0"/>
          <note key="64" pos="0" len="96" vol="100" pan="0"/>
          <note key="57" pos="96" len="96" vol="100" pan="0"/>
        </pattern>
      </track>
    </trackcontainer>
  </song>
</lmms-project>
EOF

# --allowroot: LMMS refuses to start as root otherwise (containers, CI).
start=$(date +%s%N)
status=0
timeout 120 "$lmms" --allowroot render song.mmp -f wav -o out.wav </dev/null >lmms.log 2>&1 || status=$?
seconds=$(( ($(date +%s%N) - start) / 1000000 ))
if [ $status -ne 0 ]; then
  cat lmms.log
  [ $status -eq 124 ] && fail "LMMS did not finish within 120 s"
  fail "LMMS exited with status $status"
fi
# A plug-in that fails to load leaves a silent track and exit status 0.
if grep -q "could not be loaded" lmms.log; then
  cat lmms.log
  fail "LMMS could not load the plug-in"
fi
# The server reports what the instance answered: its unique ID and pins.
grep -q "unique ID: Trlx" lmms.log || { cat lmms.log; fail "the server did not report unique ID 'Trlx'"; }
grep -q "inputs: 0  output: 2" lmms.log || { cat lmms.log; fail "the server did not report 0 inputs, 2 outputs"; }
[ -s out.wav ] || fail "LMMS wrote no out.wav"

"$python3" - out.wav "$seconds" <<'EOF'
import math, struct, sys, wave
with wave.open(sys.argv[1]) as w:
    assert w.getnchannels() == 2 and w.getsampwidth() == 2, "expected stereo 16-bit"
    rate, frames = w.getframerate(), w.getnframes()
    s = struct.unpack("<%dh" % (2 * frames), w.readframes(frames))
db = lambda x: 20 * math.log10(x) if x > 0 else float("-inf")
peak_of = lambda a, b: max((abs(x) for x in s[2 * a:2 * b]), default=0) / 32768.0
# LMMS renders whole bars, at least two: 4 s at 120 BPM.
assert rate == 44100 and abs(frames / rate - 4.0) < 0.1, "length %d frames at %d Hz, expected about 4 s" % (frames, rate)
chord, note, whole = peak_of(0, rate), peak_of(rate, 2 * rate), peak_of(0, frames)
for what, peak in (("chord (0-1 s)", chord), ("single note (1-2 s)", note)):
    assert db(peak) > -40, "%s is silent: peak %.1f dBFS" % (what, db(peak))
# The note-offs at 1 s and 2 s reached the instance: the last second is quiet.
tail = peak_of(3 * rate, frames)
assert db(tail) < -60, "still sounding in the last second: peak %.1f dBFS" % db(tail)
print("LMMS render: %d frames, peak %.1f dBFS (chord %.1f, note %.1f), LMMS ran %.1f s"
      % (frames, db(whole), db(chord), db(note), int(sys.argv[2]) / 1000))
EOF
