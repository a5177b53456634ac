#!/usr/bin/env bash
# The LV2 plug-in in Ardour 7 headless: the demo, a saved session reopened in
# a fresh Ardour, and port automation (tests/scripts/lv2_ardour.py).
set -euo pipefail
exec python3 "$(dirname "$0")/lv2_ardour.py" "$1" "$2"
