#!/usr/bin/python3
"""Writes a MIDI file that keeps N voices sounding for a given time: the attack
controller at its slowest, then N notes held together. Used to time the
plug-in through the renderer: python3 bench/make_voice_load.py OUT.mid [N] [SECONDS]"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples"))
import smf  # noqa: E402


def main():
    path = sys.argv[1]
    voices = int(sys.argv[2]) if len(sys.argv) > 2 else 64
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 20.0
    song = smf.Song(bpm=120.0)
    track = song.track("voice load")
    track.control(0, 73, 127)
    beats = seconds * 2.0
    for i in range(voices):
        track.note(0, beats, 30 + i, 100)
    song.write(path)


if __name__ == "__main__":
    main()
