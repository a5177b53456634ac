#!/usr/bin/env bash
# Redraws the two pictures at the top of the README: the editor showing
# program 0 on Windows (docs/editor.png, captured by the editor tests under
# Wine) and on Linux (docs/editor-linux.png, captured by the X11 editor tests
# with the readout showing), both in a virtual display; and the web page in
# headless Chromium (docs/web.png).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
VORZLE_EDITOR_SCREENSHOT="$root/docs/editor.png" "$root/scripts/run-wine-tests.sh" '*Screenshot*'
echo "wrote $root/docs/editor.png"
VORZLE_LINUX_SCREENSHOT="$root/docs/editor-linux.png" xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$root/build/native/bin/x11_editor_tests" --gtest_filter='*WindowsPanelPicture*'
echo "wrote $root/docs/editor-linux.png"
python3 -m http.server --bind 127.0.0.1 --directory "$root/build/web" 8765 >/dev/null 2>&1 &
server=$!
trap 'kill $server' EXIT
sleep 1
node "$root/tests/web/screenshot.mjs" http://127.0.0.1:8765/ "$root/docs/web.png"
echo "wrote $root/docs/web.png"
