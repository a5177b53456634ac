#!/usr/bin/env bash
# Captures the readout font's pixels from the Windows build's font under Wine
# into editor/readout_font_glyphs.cpp, which every build draws the readout
# text with. Run after changing the readout font.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
VORZLE_WRITE_READOUT_FONT="$root/editor/readout_font_glyphs.cpp" "$root/scripts/run-wine-tests.sh" 'ReadoutFont.*'
echo "wrote $root/editor/readout_font_glyphs.cpp"
