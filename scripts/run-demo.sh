#!/usr/bin/env bash
# Builds everything, then plays examples/demo.mid and the factory-bank tour
# examples/bank_tour.mid through the Vorzle DLL with the Windows renderer under
# Wine and writes build/demo.wav and build/bank-tour.wav. No X display is needed.
#   scripts/run-demo.sh [extra vorzle-render options, e.g. --format s16]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"

prefix="$root/build/wineprefix-demo"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

echo "demo: preparing the Wine prefix $prefix"
bash "$root/scripts/wine-prefix.sh" start "$prefix"
trap 'bash "$root/scripts/wine-prefix.sh" stop "$prefix"' EXIT

for song in demo bank_tour; do
  output="build/${song//_/-}.wav"
  echo "demo: rendering examples/$song.mid with build/win32/bin/vorzle-render.exe and Vorzle.dll"
  (cd "$root" && wine build/win32/bin/vorzle-render.exe "examples/$song.mid" -o "$output" "$@" </dev/null) | tr -d '\r'
  echo "demo: the WAV is $root/$output"
done
