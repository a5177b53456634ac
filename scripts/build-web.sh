#!/usr/bin/env bash
# Builds the web page into build/web with emscripten (CMake tree build/wasm).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Debian's emscripten finds its Node modules there when node is not Debian's own.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
# emcmake echoes the cmake command it runs ("configure: cmake ..."); only
# CMake's own warnings and errors are worth showing.
status=0
messages=$(emcmake cmake -S "$root" -B "$root/build/wasm" -DCMAKE_BUILD_TYPE=Release 2>&1 >/dev/null) || status=$?
printf '%s\n' "$messages" | grep -v -e '^configure: ' -e '^$' >&2 || true
[ "$status" -eq 0 ] || exit "$status"
cmake --build "$root/build/wasm" -j "$(nproc)"
