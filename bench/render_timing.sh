#!/usr/bin/env bash
# Times Vorzle against a peer, Debian's amsynth, through the renderer: the
# same MIDI load of 1, 16 and 64 held voices at 44.1 kHz played by amsynth
# (native), Vorzle's native build and the 32-bit Vorzle.dll under Wine. The
# three players and three loads take turns, round after round, so that a
# machine growing busier or quieter meanwhile touches them all alike; each
# figure is the median over the rounds of the renderer's own speed (audio
# seconds per wall-clock second of rendering, start-up excluded).
#   bench/render_timing.sh [ROUNDS] [SECONDS]      (defaults: 5 rounds of 20 s)
# Needs both builds (scripts/build.sh) and amsynth (scripts/setup.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-5}
seconds=${2:-20}
native_render="$root/build/native/bin/vorzle-render"
native_vorzle="$root/build/native/bin/Vorzle.so"
win32_render="$root/build/win32/bin/vorzle-render.exe"
amsynth=/usr/lib/vst/amsynth_vst.so
for f in "$native_render" "$native_vorzle" "$win32_render" "$amsynth"; do
  [ -f "$f" ] || { echo "render_timing: $f is missing (run scripts/build.sh)" >&2; exit 1; }
done

# Output on a RAM disk where there is one, so that writing the WAV costs little.
scratch=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch=/dev/shm
work=$(mktemp -d "$scratch/render_timing.XXXXXX")
export WINEPREFIX="$root/build/win32/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$root/scripts/wine-prefix.sh" start "$WINEPREFIX" >/dev/null
trap 'rm -rf "$work"; "$root/scripts/wine-prefix.sh" stop "$WINEPREFIX" >/dev/null' EXIT
# amsynth keeps its settings under XDG_CONFIG_HOME: give it a fresh, private one.
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME"

loads=(1 16 64)
for voices in "${loads[@]}"; do
  python3 "$root/bench/make_voice_load.py" "$work/load$voices.mid" "$voices" "$seconds"
done

# Prints the renderer's speed factor for one player and one load.
speed() {
  local player=$1 voices=$2 line
  case $player in
    amsynth) line=$("$native_render" "$work/load$voices.mid" -o "$work/out.wav" --tail 0 --plugin "$amsynth" 2>&1 | tail -n 1) ;;
    native) line=$("$native_render" "$work/load$voices.mid" -o "$work/out.wav" --tail 0 --plugin "$native_vorzle" 2>&1 | tail -n 1) ;;
    dll) line=$(cd "$work" && wine "$win32_render" "load$voices.mid" -o out.wav --tail 0 </dev/null 2>&1 | tr -d '\r' | tail -n 1) ;;
  esac
  local factor
  factor=$(sed -nE 's/.* ([0-9.]+)x real time.*/\1/p' <<<"$line")
  [ -n "$factor" ] || { echo "render_timing: $player with $voices voices failed: $line" >&2; exit 1; }
  echo "$factor"
}

results="$work/results.txt"
for ((round = 1; round <= rounds; round++)); do
  for voices in "${loads[@]}"; do
    for player in amsynth native dll; do
      echo "$player $voices $(speed "$player" "$voices")" >>"$results"
    done
  done
  echo "render_timing: round $round of $rounds done" >&2
done

python3 - "$results" "$rounds" "$seconds" <<'EOF'
import statistics, sys
rows = [line.split() for line in open(sys.argv[1])]
median = {}
for player in ("amsynth", "native", "dll"):
    for voices in (1, 16, 64):
        median[player, voices] = statistics.median(float(f) for p, v, f in rows if p == player and int(v) == voices)
print("Speed as multiples of real time (median of %s rounds, %s s of audio at 44100 Hz per render)" % (sys.argv[2], sys.argv[3]))
print("voices  amsynth  Vorzle native  Vorzle DLL  native/amsynth  DLL/amsynth  DLL share of a core")
for voices in (1, 16, 64):
    a, n, d = (median[p, voices] for p in ("amsynth", "native", "dll"))
    print("%6d %8.1f %14.1f %11.1f %14.2fx %11.2fx %18.2f %%" % (voices, a, n, d, n / a, d / a, 100.0 / d))
print("Both players sound the same number of voices, so the ratios are also per voice-sample.")
EOF
