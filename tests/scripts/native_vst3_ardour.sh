#!/usr/bin/env bash
# The VST 3 bundle in Ardour 7 headless: the demo, a note's onset at 64- and
# 1024-frame blocks, Cutoff automation, a saved session with a program chosen
# by name reopened (tests/ardour/vst3_in_ardour.py).
exec /usr/bin/python3 "$1/tests/ardour/vst3_in_ardour.py" "$1" "$2"
