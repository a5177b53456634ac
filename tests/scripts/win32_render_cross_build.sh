#!/usr/bin/env bash
# The same song rendered by the native build (vorzle-render + Vorzle.so) and by
# the Windows build under Wine (vorzle-render.exe + Vorzle.dll) gives the same
# float samples within 1e-6, at two block sizes and two sample rates, with blocks
# cut at events and with fixed blocks, and with the factory programs of the bank
# tour; the Windows side once writes through -o -.
set -euo pipefail
root=$1
build=$2
native="$build/../native/bin/vorzle-render"
[ -x "$native" ] && [ -f "$build/../native/bin/Vorzle.so" ] ||
  { echo "FAIL: the native build is missing ($native); build both trees (scripts/build.sh)"; exit 1; }
python3=/usr/bin/python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

cp "$root/tools/render/float_wav.py" .
cat > compare.py <<'EOF'
import sys
from float_wav import read_float_wav

a, b = read_float_wav(sys.argv[1])[1], read_float_wav(sys.argv[2])[1]
assert len(a) == len(b), "lengths differ: %d and %d samples" % (len(a), len(b))
assert max(abs(x) for x in a) > 0.01, "silent render"
worst = max(range(len(a)), key=lambda i: abs(a[i] - b[i]))
diff = abs(a[worst] - b[worst])
assert diff <= 1e-6, "sample %d differs by %g (%r vs %r)" % (worst, diff, a[worst], b[worst])
print("%d samples, largest difference %g" % (len(a), diff))
EOF

# The demo at two block sizes and rates, and the bank tour, which plays 28 factory
# programs, each with blocks cut at events and with fixed blocks.
for run in "demo --block-size 512" "demo --block-size 100 --sample-rate 48000" \
           "demo --block-size 100 --sample-rate 48000 --fixed-blocks" "bank_tour --block-size 512" \
           "bank_tour --block-size 512 --fixed-blocks"; do
  song=${run%% *}
  options=${run#* }
  # shellcheck disable=SC2086
  "$native" "$root/examples/$song.mid" -o native.wav --quiet $options
  if [ "$run" = "demo --block-size 512" ]; then   # standard output must stay binary under Windows
    wine "$build/bin/vorzle-render.exe" "$root/examples/$song.mid" -o - --quiet $options </dev/null | cat > windows.wav
  else
    # shellcheck disable=SC2086
    wine "$build/bin/vorzle-render.exe" "$root/examples/$song.mid" -o windows.wav --quiet $options </dev/null
  fi
  printf '%s: ' "$run"
  "$python3" compare.py native.wav windows.wav
done
