#!/usr/bin/python3
"""Writes examples/bank_tour.mid: a tour of Vorzle's factory bank, every category played
in a style that suits it, three programs each (one for the signature program).

  /usr/bin/python3 examples/make_bank_tour.py [OUTPUT]

120 BPM in 4/4; each program gets two bars, of which the last beat is a rest so the
sound can die away before the program change that starts the next one (a program change
cuts every voice and the chorus at once). Vorzle sounds an octave below the note
numbers, so chords sit around notes 57-76 and bass lines around 33-52.
The programs are named here by number; tools/sounds/make_sounds.py records the tour as
docs/bank-tour.ogg.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import smf  # noqa: E402

BEATS_PER_BAR = 4
SLOT_BEATS = 2 * BEATS_PER_BAR
PLAYED = SLOT_BEATS - 1                  # the last beat is a rest

# Two chords per slot, alternating between the two halves of Am F C G.
HALVES = [
    [("Am", 45, [57, 60, 64, 69]), ("F", 41, [57, 60, 65, 69])],
    [("C", 48, [55, 60, 64, 67]), ("G", 43, [55, 59, 62, 67])],
]


def bass_line(t, start, chords):
    """Eighth-note bass: root, octave, fifth and a passing note."""
    for bar, (_, root, _) in enumerate(chords):
        steps = [0, 12, 7, 12, 0, 7, 10, 12] if bar == 0 else [0, 12, 7, 12, 0, 7, 5, 3]
        for i, step in enumerate(steps):
            at = bar * 4 + i * 0.5
            if at < PLAYED:
                t.note(start + at, 0.42, root + step, 124 if i % 2 == 0 else 104)


def lead_melody(t, start, chords):
    """A singing line of quarters, eighths and one long note."""
    first = chords[0][2][-1] + 3
    line = [(0, 1, 0), (1, 0.5, 2), (1.5, 0.5, 3), (2, 1.5, 7), (3.5, 0.5, 5),
            (4, 1, 3), (5, 0.5, 2), (5.5, 0.5, 0), (6, 0.9, -2)]
    for at, length, step in line:
        t.note(start + at, length * 0.95, first + step, 120)


def pad_chords(t, start, chords):
    """One sustained chord per bar, the second held into the rest."""
    for bar, (_, root, notes) in enumerate(chords):
        length = 4 if bar == 0 else PLAYED - 4
        for n in [root + 12] + notes:
            t.note(start + bar * 4, length, n, 84)


def stabs(t, start, chords):
    """Rhythmic chord hits on the beat and the offbeats."""
    rhythm = [(0, 0.4), (1.5, 0.4), (2.5, 0.3), (3, 0.4)]
    for bar, (_, _, notes) in enumerate(chords):
        for at, length in rhythm:
            if bar * 4 + at < PLAYED:
                for n in notes:
                    t.note(start + bar * 4 + at, length, n, 90)


def arpeggio(t, start, chords, step=0.5, length=0.4):
    """Broken chords up and down."""
    for bar, (_, _, notes) in enumerate(chords):
        order = notes + [notes[0] + 12] + notes[::-1][1:-1]
        at = 0.0
        i = 0
        while at < 4 and bar * 4 + at < PLAYED:
            t.note(start + bar * 4 + at, length, order[i % len(order)], 100 if i % 4 == 0 else 82)
            at += step
            i += 1


def sequence(t, start, chords):
    arpeggio(t, start, chords, step=0.25, length=0.2)


def organ_riff(t, start, chords):
    """A bass note held under offbeat chords and a push into the next bar."""
    for bar, (_, root, notes) in enumerate(chords):
        t.note(start + bar * 4, 3.5 if bar == 0 else PLAYED - 4 - 0.1, root + 12, 90)
        for at in (0.5, 1.5, 2.5, 3.0, 3.5):
            if bar * 4 + at < PLAYED - 0.5:
                for n in notes[1:]:
                    t.note(start + bar * 4 + at, 0.35, n, 96)


def bell_motif(t, start, chords):
    """A slow motif high up, letting each strike ring."""
    top = chords[0][2]
    motif = [(0, top[-1] + 12), (1.5, top[-2] + 12), (2, top[-1] + 7), (4, top[1] + 12), (5.5, top[-1] + 12)]
    for at, n in motif:
        t.note(start + at, 1.2, n, 124)


def drone(t, start, chords):
    """A held root and fifth with a note added halfway."""
    root = chords[0][1] + 12
    for n in (root, root + 7):
        t.note(start, PLAYED, n, 120)
    t.note(start + 3, PLAYED - 3, root + 15, 100)


TOUR = [
    ("Signature", [(0, stabs)]),
    ("Basses", [(2, bass_line), (5, bass_line), (14, bass_line)]),
    ("Leads", [(17, lead_melody), (18, lead_melody), (26, lead_melody)]),
    ("Pads", [(31, pad_chords), (33, pad_chords), (44, pad_chords)]),
    ("Strings and brass", [(45, pad_chords), (52, stabs), (48, arpeggio)]),
    ("Keys and plucks", [(59, arpeggio), (61, arpeggio), (67, arpeggio)]),
    ("Organs", [(73, organ_riff), (74, organ_riff), (81, organ_riff)]),
    ("Bells and mallets", [(87, bell_motif), (89, bell_motif), (90, bell_motif)]),
    ("Sequences and arpeggios", [(101, sequence), (103, sequence), (104, sequence)]),
    ("Effects and drones", [(114, drone), (116, stabs), (118, drone)]),
]


def make_tour():
    song = smf.Song(bpm=120)
    notes = song.track("notes")
    control = song.track("programs")
    start = 0
    for _, slots in TOUR:
        for number, style in slots:
            control.program(start, number)
            style(notes, start, HALVES[(start // SLOT_BEATS) % 2])
            start += SLOT_BEATS
    return song, start


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "bank_tour.mid")
    song, end = make_tour()
    song.write(out, end_beat=end)
    print(out)


if __name__ == "__main__":
    main()
