#!/usr/bin/env bash
# Sets up the machine and builds the three trees: build/win32 and build/win64
# (the plug-in DLL for 32-bit and 64-bit hosts, the Windows test programs and
# renderer), build/native (the portable code, its tests, benchmarks, the
# Linux plug-in and the native renderer) and the web page in build/web.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

build_tree() {   # tree name, then any CMake options
  local tree=$1; shift
  "$root/scripts/configure-tree.sh" "$root/build/$tree" "$@" >/dev/null
  cmake --build "$root/build/$tree" -j "$(nproc)"
}
build_tree win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"
build_tree win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake"
build_tree native -DVORZLE_TESTS=ON   # a quick demo may have configured it without
"$root/scripts/build-web.sh"
