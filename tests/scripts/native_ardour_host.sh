#!/usr/bin/env bash
# Vorzle.so in Ardour 7 headless: the demo, a note's onset at 64- and
# 1024-frame blocks, a saved session reopened (tests/ardour/vst2_in_ardour.py).
exec /usr/bin/python3 "$1/tests/ardour/vst2_in_ardour.py" "$1" "$2"
