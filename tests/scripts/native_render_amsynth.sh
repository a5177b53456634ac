#!/usr/bin/env bash
# The native vorzle-render as a generic host for a third-party instrument:
# Debian's amsynth. Its --info (text and JSON) shows what it says about itself,
# and a one-note song renders to a non-silent stereo WAV.
set -euo pipefail
root=$1
build=$2
exe="$build/bin/vorzle-render"
plugin=/usr/lib/vst/amsynth_vst.so
[ -f "$plugin" ] || { echo "FAIL: $plugin is missing (package amsynth, installed by scripts/setup.sh)"; exit 1; }
python3=/usr/bin/python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$exe" --info --plugin "$plugin" > info.txt
head -12 info.txt
for line in "name: amsynth" "unique ID: 'amsy'" "category: synth" "outputs: 2" "  receiveVstMidiEvent: yes"; do
  grep -qF "$line" info.txt || { echo "FAIL: --info lacks '$line'"; exit 1; }
done
grep -qE '^flags: .*IsSynth' info.txt || { echo "FAIL: --info shows no IsSynth flag"; exit 1; }

"$exe" --info --json --plugin "$plugin" > info.json
"$python3" - info.json <<'EOF'
import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
assert d["name"] == "amsynth" and d["uniqueId"] == "amsy" and d["outputs"] == 2, d
assert "IsSynth" in d["flags"] and d["programCount"] > 0 and len(d["programs"]) > 0
assert d["parameterCount"] == len(d["parameters"]) > 0
print("JSON: %d programs, %d parameters, first program %r" % (d["programCount"], d["parameterCount"], d["programs"][0]))
EOF

"$python3" "$root/examples/smf.py" note.mid --note 57 --beats 2
"$exe" note.mid -o out.wav --plugin "$plugin" --tail 1
"$python3" - out.wav <<'EOF'
import math, struct, sys
data = open(sys.argv[1], "rb").read()
pos = 12
while data[pos:pos + 4] != b"data":
    pos += 8 + struct.unpack("<I", data[pos + 4:pos + 8])[0]
size = struct.unpack("<I", data[pos + 4:pos + 8])[0]
s = struct.unpack("<%df" % (size // 4), data[pos + 8:pos + 8 + size])
frames = len(s) // 2
peak = max(abs(x) for x in s)
rms = math.sqrt(sum(x * x for x in s) / len(s))
assert frames == 44101 + 44100, "length %d frames" % frames
assert all(math.isfinite(x) for x in s), "non-finite samples"
assert peak > 0.01 and rms > 0.001, "silent: peak %g, RMS %g" % (peak, rms)
print("amsynth render: %d frames, peak %.1f dBFS, RMS %.1f dBFS" % (frames, 20 * math.log10(peak), 20 * math.log10(rms)))
EOF
