#!/usr/bin/env bash
# Builds everything, then plays examples/demo.mid through the Vorzle DLL with the
# Windows renderer under Wine and writes build/demo.wav. No X display is needed.
#   scripts/run-demo.sh [extra vorzle-render options, e.g. --format s16]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"

prefix="$root/build/wineprefix-demo"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
output="$root/build/demo.wav"

echo "demo: preparing the Wine prefix $prefix"
bash "$root/scripts/wine-prefix.sh" start "$prefix"
trap 'bash "$root/scripts/wine-prefix.sh" stop "$prefix"' EXIT

echo "demo: rendering examples/demo.mid with build/win32/bin/vorzle-render.exe and Vorzle.dll"
(cd "$root" && wine build/win32/bin/vorzle-render.exe examples/demo.mid -o build/demo.wav "$@" </dev/null) | tr -d '\r'
echo "demo: the WAV is $output"
