#!/usr/bin/env bash
# vorzle-render.exe under Wine with the Vorzle DLL: one note 69 (1 s at 120 BPM)
# renders to the expected length, level and pitch (the instrument sounds an
# octave down: about 220 Hz); the automatic tail stops after one second below
# -100 dBFS; the same song rendered twice in two processes gives identical files.
set -euo pipefail
root=$1
build=$2
exe="$build/bin/vorzle-render.exe"
python3=/usr/bin/python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

cp "$root/tools/render/float_wav.py" .
cat > check.py <<'EOF'
import math, sys
from float_wav import read_float_wav

def pitch(samples, rate, start):
    """Autocorrelation over 60..1000 Hz; the shortest lag within 0.9 of the best
    avoids octave errors, then a parabola refines the lag."""
    seg = samples[start:start + 2048]
    window = len(seg) - rate // 60
    def corr(lag):
        a, b = seg[:window], seg[lag:lag + window]
        num = sum(x * y for x, y in zip(a, b))
        den = math.sqrt(sum(x * x for x in a) * sum(y * y for y in b))
        return num / den if den else 0.0
    lags = range(rate // 1000, rate // 60)
    values = {lag: corr(lag) for lag in lags}
    best = max(values.values())
    lag = next(l for l in lags if values[l] >= 0.9 * best and values[l] >= values.get(l - 1, -1) and values[l] >= values.get(l + 1, -1))
    a, b, c = values.get(lag - 1, 0), values[lag], values.get(lag + 1, 0)
    shift = 0.5 * (a - c) / (a - 2 * b + c) if (a - 2 * b + c) else 0.0
    return rate / (lag + shift)

mode, path = sys.argv[1], sys.argv[2]
rate, s = read_float_wav(path)
left, right = s[0::2], s[1::2]
frames = len(left)
peak = max(abs(x) for x in s)
db = lambda x: 20 * math.log10(x) if x > 0 else float("-inf")
if mode == "fixed":
    summary_peak = float(sys.argv[3])
    # The song runs through its note-off's frame 44100, then 0.5 s of tail.
    assert frames == 44101 + 22050, "length %d frames, expected 44101 (song) + 22050 (tail)" % frames
    assert -20.0 < db(peak) < -3.0, "peak %.2f dBFS outside -20..-3" % db(peak)
    assert abs(db(peak) - summary_peak) < 0.051, "summary says peak %.1f, file has %.2f" % (summary_peak, db(peak))
    assert max(abs(x) for x in s[2 * 44100 + 2 * 11025:]) < 0.5 * peak, "no decay after the note-off"
    f = pitch(left, rate, 8820)   # 0.2 s in
    assert abs(f / 220.0 - 1) < 0.03, "pitch %.1f Hz, expected about 220 Hz" % f
    print("66151 frames, peak %.2f dBFS, pitch %.1f Hz" % (db(peak), f))
else:
    quiet = 10 ** (-100 / 20)
    last = [i for i in range(frames) if abs(left[i]) >= quiet or abs(right[i]) >= quiet][-1]
    assert 44100 <= frames <= 44100 + 30 * 44100, "length %d frames" % frames
    assert frames - 1 - last == 44100, "the tail ends %d frames after the last audible frame, expected 44100" % (frames - 1 - last)
    print("automatic tail: %d frames, last audible frame %d" % (frames, last))
EOF

"$python3" "$root/examples/smf.py" note.mid --note 69 --beats 2

summary=$(wine "$exe" note.mid -o fixed.wav --tail 0.5 </dev/null | tr -d '\r')
echo "$summary"
peak=$(sed -n 's/.*peak \(-\?[0-9.]*\) dBFS.*/\1/p' <<<"$summary")
[ -n "$peak" ] || { echo "FAIL: no peak in the summary line"; exit 1; }
grep -q ', 0 clipped samples, ' <<<"$summary" || { echo "FAIL: clipping reported"; exit 1; }
"$python3" check.py fixed fixed.wav "$peak"

wine "$exe" note.mid -o auto.wav --quiet </dev/null
"$python3" check.py auto auto.wav

# Two processes, the same song: identical bytes, in float and in dithered 16-bit.
for format in f32 s16; do
  wine "$exe" "$root/examples/demo.mid" -o "a.$format.wav" --format $format --quiet </dev/null
  wine "$exe" "$root/examples/demo.mid" -o "b.$format.wav" --format $format --quiet </dev/null
  cmp "a.$format.wav" "b.$format.wav" || { echo "FAIL: two $format renders differ"; exit 1; }
done
[ "$(soxi -b a.s16.wav)" = 16 ] || { echo "FAIL: s16 output is not 16-bit"; exit 1; }
echo "two renders of the demo are byte-identical ($(stat -c %s a.f32.wav) bytes f32, $(stat -c %s a.s16.wav) bytes s16)"
