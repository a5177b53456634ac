#!/usr/bin/env bash
# Runs every fuzz target for longer than the test command does (default 600
# seconds each, two at a time), in build/fuzz with clang:
#   ./scripts/fuzz.sh [seconds]
# Inputs that add coverage are kept in build/fuzz/corpus/TARGET and used by
# later runs (and by the test command); a finding stops its target and leaves
# the input in build/fuzz/findings/, to replay with build/fuzz/bin/TARGET FILE.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || { echo "usage: $0 [seconds]" >&2; exit 2; }
"$root/scripts/setup.sh"
fuzz="$root/build/fuzz"
"$root/scripts/configure-tree.sh" "$fuzz" -DVORZLE_FUZZ=ON -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DVORZLE_FUZZ_SECONDS="$seconds" >/dev/null
cmake --build "$fuzz" -j "$(nproc)" --target fuzzers >/dev/null
cd "$fuzz"
exec ctest -j "$(nproc)" --output-on-failure
