#!/usr/bin/env bash
# Hears Vorzle as quickly as possible: installs only what the native build
# needs (CMake, g++, the X11 and loudness libraries), builds the Linux plug-in
# build/native/bin/Vorzle.so and the renderer build/native/bin/vorzle-render,
# and plays examples/demo.mid and the factory-bank tour examples/bank_tour.mid
# through them into build/demo.wav and build/bank-tour.wav. No display needed.
#   scripts/run-demo.sh [--windows] [extra vorzle-render options, e.g. --format s16]
# --windows takes the long way instead: installs and builds everything and
# renders through the 32-bit Vorzle.dll with the Windows renderer under Wine
# (the same samples).
# For the tests: VORZLE_DEMO_TREE=DIR renders with that already built native
# tree and VORZLE_DEMO_OUT=DIR writes the WAVs there; set-up and build are then
# left out.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
windows=no
if [ "${1:-}" = --windows ]; then windows=yes; shift; fi
out=${VORZLE_DEMO_OUT:-$root/build}
mkdir -p "$out"

if [ "$windows" = yes ]; then
  "$root/scripts/build.sh"
  prefix="$root/build/wineprefix-demo"
  export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  echo "demo: preparing the Wine prefix $prefix"
  bash "$root/scripts/wine-prefix.sh" start "$prefix"
  trap 'bash "$root/scripts/wine-prefix.sh" stop "$prefix"' EXIT
  render=(wine "$root/build/win32/bin/vorzle-render.exe")
  with="build/win32/bin/vorzle-render.exe and Vorzle.dll under Wine"
else
  tree=${VORZLE_DEMO_TREE:-}
  if [ -z "$tree" ]; then
    tree=$root/build/native
    "$root/scripts/setup.sh" --light
    # A tree the full build made keeps its tests; a new one builds without them.
    options=()
    [ -f "$tree/CMakeCache.txt" ] || options=(-DVORZLE_TESTS=OFF)
    echo "demo: building $tree/bin/Vorzle.so and vorzle-render"
    "$root/scripts/configure-tree.sh" "$tree" "${options[@]}" >/dev/null
    cmake --build "$tree" -j "$(nproc)" --target vorzle_vst vorzle-render >/dev/null
  fi
  render=("$tree/bin/vorzle-render")
  with="$tree/bin/vorzle-render and Vorzle.so"
fi

for song in demo bank_tour; do
  output="$out/${song//_/-}.wav"
  [ "$windows" = no ] || output="build/${song//_/-}.wav"   # a path the Windows program reads as it is
  echo "demo: rendering examples/$song.mid with $with"
  (cd "$root" && "${render[@]}" "examples/$song.mid" -o "$output" "$@" </dev/null) | tr -d '\r'
  echo "demo: the WAV is $output"
done
