#!/usr/bin/env bash
# Builds the web page into build/web with emscripten (CMake tree build/wasm).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Debian's emscripten finds its Node modules there when node is not Debian's own.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
emcmake cmake -S "$root" -B "$root/build/wasm" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build/wasm" -j "$(nproc)"
