#!/usr/bin/env bash
# Songs played as written: one table of songs made here, each rendered with
# one instance per channel and stems. Stems are bit-identical to rendering the
# channel alone, the mix is their sum, the General MIDI table's choices show
# in the stems' names, drums are left out unless asked for, and a loudness
# target and true-peak ceiling hold as ffmpeg's ebur128 filter measures them.
set -uo pipefail
source "$(dirname "$0")/render_script_setup.sh"
check() { local what=$1; shift; if "$@"; then ok "$what"; else fail "$what"; fi; }

"$python3" - "$root/examples" <<'EOF2'
import sys
sys.path.insert(0, sys.argv[1])
import smf
def song(name, parts):
    s = smf.Song()
    for channel, programs, base in parts:
        t = s.track()
        for beat, program in programs:
            t.program(beat, program, channel=channel)
        for b in range(16):
            t.note(b * 0.5, 0.4, base + (b * 5) % 12, 70 + b * 3, channel=channel)
    s.write(name)
song("two.mid", [(0, [(0, 1)], 40), (1, [(0, 45)], 64)])
song("gm.mid", [(1, [(0, 33)], 40), (2, [(0, 33)], 45), (3, [(0, 81)], 72), (9, [], 36)])
song("changes.mid", [(0, [(0, 17), (4, 73)], 60), (1, [], 52)])
EOF2

# mix = sum of stems (float), all of one length; stems named as expected.
sums() { "$python3" - "$@" <<'EOF2'
import sys, numpy
from float_wav import read_float_wav
mix = numpy.array(read_float_wav(sys.argv[1])[1], dtype=numpy.float32)
stems = [numpy.array(read_float_wav(p)[1], dtype=numpy.float32) for p in sys.argv[2:]]
total = numpy.zeros_like(mix)
for s in stems:
    if len(s) != len(mix): sys.exit("stem length %d, mix %d" % (len(s), len(mix)))
    total += s
sys.exit(0 if numpy.array_equal(total, mix) and numpy.abs(mix).max() > 0 else "mix is not the sum of its stems")
EOF2
}
# ffmpeg's measurement: "I LRA PEAK"
measure() { ffmpeg -nostats -i "$1" -af ebur128=peak=true -f null - 2>&1 |
            awk '/Summary/{s=1} s&&/I:/{i=$2} s&&/LRA:/&&!l{l=$2} s&&/Peak:/{p=$2} END{print i, l, p}'; }

#     song         options           channel alone          expected stems
table=(
  "two.mid     --per-channel      --channels=N            ch01-Rave_bass ch02-Ensemble_Strings"
  "gm.mid      --gm               --gm_--channels=N       ch02-Soft_Finger_Bass ch03-Slap_Snap ch04-Bright_Saw_Lead"
  "changes.mid --per-channel      --channels=N            ch01-Bright_Saw_Lead ch02-Classiq"
)
for row in "${table[@]}"; do
  read -r song mode alone names <<<"$row"
  read -ra expected <<<"$names"
  rm -rf stems && "$exe" "$song" -o mix.wav $mode --stems stems --tail 0.5 >out.txt 2>err.txt ||
    { fail "$song: $(cat err.txt)"; continue; }
  got=$(cd stems && ls | sed 's/\.wav$//; s/ /_/g' | tr '\n' ' ')
  check "$song $mode: stems $got" [ "$got" = "${expected[*]} " ]
  stems=(stems/*.wav)
  check "$song: mix = sum of ${#stems[@]} stems" sums mix.wav "${stems[@]}"
  for stem in "${stems[@]}"; do
    n=$(basename "$stem" | sed 's/^ch0\?\([0-9]*\)-.*/\1/')
    # shellcheck disable=SC2046
    "$exe" "$song" -o alone.wav $(echo "${alone//N/$n}" | tr _ ' ') --tail 0.5 -q 2>/dev/null
    check "$song: $stem bit-identical to channel $n alone" cmp -s <(tail -c +45 "$stem") <(tail -c +45 alone.wav)
  done
done

# Drums: left out with one line on stderr, or rendered into a stem of their own.
"$exe" gm.mid -o mix.wav --gm >out.txt 2>err.txt
check "gm: drums left out with one note" [ "$(cat err.txt)" = "vorzle-render: note: channel 10 (General MIDI drums) left out; --drums plays it" ]
rm -rf stems && "$exe" gm.mid -o mix.wav --gm --drums --stems stems -q 2>err.txt
check "--drums: a stem of their own" [ -f "stems/ch10-Deep Sine Thump.wav" ] && [ ! -s err.txt ]
"$exe" gm.mid -o mix.wav --gm --stems stems -q 2>err.txt
check "stems are not overwritten without --overwrite" grep -q "exists; --overwrite replaces stems" err.txt
check "a refused render leaves no temporary files" [ -z "$(find . -name '*.partial' -o -name '*.spool')" ]

# Loudness: the target met, then a ceiling that wins, both measured by ffmpeg.
for args in "--loudness -20" "--loudness -6 --true-peak -3"; do
  rm -rf stems && "$exe" gm.mid -o loud.wav --gm --stems stems $args >out.txt 2>err.txt || fail "$args: $(cat err.txt)"
  read -r lufs lra peak <<<"$(measure loud.wav)"
  target=$(echo "$args" | awk '{print $2}')
  ceiling=$(echo "$args" | awk '{print ($4 == "" ? -1 : $4)}')
  if grep -q "true-peak ceiling" out.txt; then
    check "$args: ceiling held, reported; true peak $peak dBTP" "$python3" -c "import sys; sys.exit(float('$peak') > $ceiling + 0.2)"
  else
    check "$args: $lufs LUFS (LRA $lra), true peak $peak" "$python3" -c "import sys; sys.exit(abs(float('$lufs') - $target) > 0.5 or float('$peak') > $ceiling + 0.2)"
  fi
  check "$args: stems take the same gain" sums loud.wav stems/*.wav
done
grep -q "true-peak ceiling -3.0 dBTP" out.txt && ok "the ceiling's reduction is in the summary" || fail "summary: $(cat out.txt)"

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "songs render as written"
