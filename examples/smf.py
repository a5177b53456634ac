#!/usr/bin/python3
"""A small Standard MIDI File writer (format 1, metrical time), stdlib only.

Used by make_demo.py for the demo song and by the renderer's tests for their
test songs. Times are in beats (quarter notes) and become ticks at 480 per beat.
"""
import struct

TICKS_PER_BEAT = 480


def _variable_length(value):
    """A MIDI variable-length quantity: 7 bits per byte, high bit set on all but the last."""
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


class Track:
    def __init__(self, name=None):
        self.events = []  # (tick, order, bytes); order puts note-offs before note-ons at one tick
        self.end_beat = 0.0
        if name:
            data = name.encode("ascii")
            self.events.append((0, 0, b"\xff\x03" + _variable_length(len(data)) + data))

    def _add(self, beat, data, order=2):
        tick = round(beat * TICKS_PER_BEAT)
        self.events.append((tick, order, bytes(data)))
        self.end_beat = max(self.end_beat, beat)

    def note(self, beat, length, note, velocity=100, channel=0):
        self._add(beat, [0x90 | channel, note, velocity], order=3)
        self._add(beat + length, [0x80 | channel, note, 0], order=1)

    def control(self, beat, controller, value, channel=0):
        self._add(beat, [0xB0 | channel, controller, max(0, min(127, int(value)))])

    def bend(self, beat, value, channel=0):
        """value -1.0 .. +1.0 of the bend range; 0 is the centre (8192)."""
        code = max(0, min(16383, 8192 + round(value * 8192)))
        self._add(beat, [0xE0 | channel, code & 0x7F, code >> 7])

    def program(self, beat, number, channel=0):
        self._add(beat, [0xC0 | channel, number], order=0)

    def tempo(self, beat, bpm):
        micros = round(60_000_000 / bpm)
        self._add(beat, [0xFF, 0x51, 3, (micros >> 16) & 0xFF, (micros >> 8) & 0xFF, micros & 0xFF], order=0)

    def chunk(self, end_beat):
        body = bytearray()
        now = 0
        for tick, _, data in sorted(self.events, key=lambda e: (e[0], e[1])):
            body += _variable_length(tick - now) + data
            now = tick
        end_tick = max(now, round(end_beat * TICKS_PER_BEAT))
        body += _variable_length(end_tick - now) + b"\xff\x2f\x00"
        return b"MTrk" + struct.pack(">I", len(body)) + bytes(body)


class Song:
    def __init__(self, bpm=120.0):
        self.conductor = Track("tempo")
        self.conductor.tempo(0, bpm)
        self.tracks = []

    def track(self, name=None):
        t = Track(name)
        self.tracks.append(t)
        return t

    def to_bytes(self, end_beat=None):
        tracks = [self.conductor] + self.tracks
        end = end_beat if end_beat is not None else max(t.end_beat for t in tracks)
        header = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), TICKS_PER_BEAT)
        return header + b"".join(t.chunk(end) for t in tracks)

    def write(self, path, end_beat=None):
        with open(path, "wb") as f:
            f.write(self.to_bytes(end_beat))


def single_note(path, note=69, beats=2.0, velocity=100, bpm=120.0, program=None, end_beat=None):
    """One note from beat 0, for tests: at 120 BPM two beats are one second."""
    song = Song(bpm)
    t = song.track("note")
    if program is not None:
        t.program(0, program)
    t.note(0, beats, note, velocity)
    song.write(path, end_beat)


if __name__ == "__main__":
    import argparse

    parser = argparse.ArgumentParser(description="Write a one-note MIDI file (120 BPM, 480 ticks per beat).")
    parser.add_argument("output")
    parser.add_argument("--note", type=int, default=69)
    parser.add_argument("--beats", type=float, default=2.0, help="note length in beats (two beats = one second)")
    parser.add_argument("--velocity", type=int, default=100)
    parser.add_argument("--program", type=int)
    parser.add_argument("--end-beat", type=float, help="end of track, when later than the note-off")
    a = parser.parse_args()
    single_note(a.output, a.note, a.beats, a.velocity, 120.0, a.program, a.end_beat)
