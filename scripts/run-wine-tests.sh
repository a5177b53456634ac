#!/usr/bin/env bash
# Runs the Windows test program under Wine in a virtual display with only the
# tests that match a GoogleTest filter, in the build's own Wine prefix.
# Used by the scripts that capture pictures and glyphs through those tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
filter=$1
build="$root/build/win32"
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "
  '$root/scripts/wine-prefix.sh' start '$WINEPREFIX'
  cd '$build/test-results' && wine '$build/bin/wine_tests.exe' --gtest_filter='$filter'
  status=\$?
  '$root/scripts/wine-prefix.sh' stop '$WINEPREFIX'
  exit \$status"
