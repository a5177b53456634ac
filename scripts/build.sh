#!/usr/bin/env bash
# Sets up the machine and builds both trees: build/win32 (the plug-in DLL,
# the Windows test programs and renderer) and build/native (the portable code,
# its tests, benchmarks and the native renderer).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
jobs=$(nproc)
cmake -S "$root" -B "$root/build/win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$root/build/win32" -j "$jobs"
cmake -S "$root" -B "$root/build/native" >/dev/null
cmake --build "$root/build/native" -j "$jobs"
