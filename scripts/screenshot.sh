#!/usr/bin/env bash
# Redraws docs/editor.png, the picture at the top of the README: the editor
# showing program 0, captured by the editor tests under Wine in a virtual display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
build="$root/build/win32"
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export VORZLE_EDITOR_SCREENSHOT="$root/docs/editor.png"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c "
  '$root/scripts/wine-prefix.sh' start '$WINEPREFIX'
  cd '$build/test-results' && wine '$build/bin/wine_tests.exe' --gtest_filter='*Screenshot*'
  status=\$?
  '$root/scripts/wine-prefix.sh' stop '$WINEPREFIX'
  exit \$status"
echo "wrote $VORZLE_EDITOR_SCREENSHOT"
