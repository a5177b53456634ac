#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test: native, the
# native tests again under AddressSanitizer and UndefinedBehaviorSanitizer,
# the concurrency tests under ThreadSanitizer, each fuzz target for 20 seconds,
# and the Windows side under Wine in a virtual X display, once for the 32-bit
# and once for the 64-bit plug-in (the latter also checks the release
# packages). Ends with one line:
# N passed, N failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" || { echo "0 passed, 1 failed (build)"; exit 1; }

# The checked trees: tree, its name for a failure, targets, cmake options.
checked_build() {
  local dir=$1 name=$2 targets=$3; shift 3
  "$root/scripts/configure-tree.sh" "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null &&
    cmake --build "$dir" -j "$(nproc)" --target $targets >/dev/null ||
    { echo "0 passed, 1 failed ($name build)"; exit 1; }
}
tsan="$root/build/tsan"
asan="$root/build/asan"
fuzz="$root/build/fuzz"
checked_build "$tsan" ThreadSanitizer concurrency_tests -DVORZLE_SANITIZE=thread
checked_build "$asan" AddressSanitizer "native_tests engine_tests x11_editor_tests vorzle-render vorzle_vst lv2_tests lv2_ui_tests vst3_tests vst3_editor_tests vorzle_vst3_module" -DVORZLE_SANITIZE=address,undefined
checked_build "$fuzz" fuzz fuzzers -DVORZLE_FUZZ=ON -DVORZLE_FUZZ_SECONDS=20 \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14

run_ctest() {   # build dir, then an optional command to run ctest under
  local dir=$1; shift
  rm -f "$dir"/test-results/*.xml "$dir/ctest-junit.xml"
  (cd "$dir" && "$@" ctest --output-on-failure --output-junit ctest-junit.xml)
}

run_ctest "$root/build/native"
run_ctest "$asan"
run_ctest "$tsan"
run_ctest "$fuzz"
run_ctest "$root/build/win32" xvfb-run -a -s "-screen 0 1280x1024x24"
run_ctest "$root/build/win64" xvfb-run -a -s "-screen 0 1280x1024x24"

echo
python3 "$root/scripts/summarize-tests.py" "$root/build/native" "$asan" "$tsan" "$fuzz" "$root/build/win32" "$root/build/win64"
