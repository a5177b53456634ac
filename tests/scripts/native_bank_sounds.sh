#!/usr/bin/env bash
# The factory bank's balance, played through the native build: names and categories,
# no silent program, chord peaks and loudness, pitch, no two programs alike, and a
# docs/sounds.md that describes the committed bank.
set -euo pipefail
root=$1
build=$2
/usr/bin/python3 "$root/tools/sounds/check_bank.py" --build "$build"
