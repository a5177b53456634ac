#!/usr/bin/env bash
# Sets up the machine, builds everything and runs every test: native, the
# concurrency tests under ThreadSanitizer, and the Windows side under Wine in
# a virtual X display, once for the 32-bit and once for the 64-bit plug-in
# (the latter also checks the release packages). Ends with one line:
# N passed, N failed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" || { echo "0 passed, 1 failed (build)"; exit 1; }

tsan="$root/build/tsan"
cmake -S "$root" -B "$tsan" -DVORZLE_SANITIZE=thread -DCMAKE_BUILD_TYPE=Release >/dev/null &&
  cmake --build "$tsan" -j "$(nproc)" --target concurrency_tests >/dev/null ||
  { echo "0 passed, 1 failed (sanitizer build)"; exit 1; }

run_ctest() {   # build dir, then an optional command to run ctest under
  local dir=$1; shift
  rm -f "$dir"/test-results/*.xml "$dir/ctest-junit.xml"
  (cd "$dir" && "$@" ctest --output-on-failure --output-junit ctest-junit.xml)
}

run_ctest "$root/build/native"
run_ctest "$tsan"
run_ctest "$root/build/win32" xvfb-run -a -s "-screen 0 1280x1024x24"
run_ctest "$root/build/win64" xvfb-run -a -s "-screen 0 1280x1024x24"

echo
python3 "$root/scripts/summarize-tests.py" "$root/build/native" "$tsan" "$root/build/win32" "$root/build/win64"
