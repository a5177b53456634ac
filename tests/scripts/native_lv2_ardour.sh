#!/usr/bin/env bash
# The LV2 plug-in in Ardour 7 headless: the demo, a saved session reopened in
# a fresh Ardour, and port automation (tests/ardour/lv2_in_ardour.py).
exec /usr/bin/python3 "$1/tests/ardour/lv2_in_ardour.py" "$1" "$2"
