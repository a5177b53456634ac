#!/usr/bin/env bash
# Times the plug-in with 1, 16 and 64 voices sounding at 44.1 kHz through the
# renderer: the 32-bit DLL under Wine and the native build of the same code.
# Prints the real-time factor and the share of one core for each.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export WINEPREFIX="$root/build/win32/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$root/scripts/wine-prefix.sh" start "$WINEPREFIX"
trap 'rm -rf "$work"; "$root/scripts/wine-prefix.sh" stop "$WINEPREFIX"' EXIT

for voices in 1 16 64; do
  python3 "$root/bench/make_voice_load.py" "$work/load.mid" "$voices" 20
  for build in win32 native; do
    if [ "$build" = win32 ]; then
      line=$(cd "$work" && wine "$root/build/win32/bin/vorzle-render.exe" load.mid -o out.wav --tail 0 2>&1 | tr -d '\r' | tail -n 1)
    else
      line=$("$root/build/native/bin/vorzle-render" "$work/load.mid" -o "$work/out.wav" --tail 0 2>&1 | tail -n 1)
    fi
    factor=$(sed -nE 's/.* ([0-9.]+)x real time.*/\1/p' <<<"$line")
    share=$(awk -v f="$factor" 'BEGIN { if (f > 0) printf "%.2f", 100 / f; else print "?" }')
    printf '%-6s %2d voices: %sx real time, %s %% of one core\n' "$build" "$voices" "$factor" "$share"
  done
done
