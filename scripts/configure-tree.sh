#!/usr/bin/env bash
# Configures one build tree of this checkout with CMake:
#   scripts/configure-tree.sh DIR [CMAKE OPTIONS...]
# CMake refuses a tree that was configured somewhere else, as every tree of a
# copied or moved checkout was: such a tree is removed and built afresh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
cache="$dir/CMakeCache.txt"
if [ -f "$cache" ]; then
  made_in=$(sed -n 's/^CMAKE_CACHEFILE_DIR:INTERNAL=//p' "$cache")
  if [ -n "$made_in" ] && [ "$made_in" != "$(cd "$dir" && pwd)" ] && [ "$made_in" != "$(cd "$dir" && pwd -P)" ]; then
    echo "$dir was configured in $made_in: building it afresh" >&2
    rm -rf "$dir"
  fi
fi
exec cmake -S "$root" -B "$dir" "$@"
