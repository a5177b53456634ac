#!/usr/bin/python3
"""Measures every factory program and lets people hear the bank:

  /usr/bin/python3 tools/sounds/make_sounds.py [--build build/native]

renders the measuring phrase with each of the 128 programs through the native build and
writes docs/sounds.md (the table of figures, with the checksum of the bank it describes)
and docs/sounds.png (a contact sheet of spectrograms), then renders examples/bank_tour.mid
and encodes it as docs/bank-tour.ogg (Ogg Vorbis, with sox). Needs python3-numpy,
python3-pil, fonts-dejavu-core and sox (scripts/setup.sh installs them).
"""
import argparse
import math
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bank_info  # noqa: E402
import contact_sheet  # noqa: E402
import measure  # noqa: E402
import phrase  # noqa: E402
import render  # noqa: E402

DOCS = os.path.join(bank_info.ROOT, "docs")
TOUR_MIDI = os.path.join(bank_info.ROOT, "examples", "bank_tour.mid")
TOUR_OGG = os.path.join(DOCS, "bank-tour.ogg")
TOUR_LIMIT = 2_000_000          # bytes
CHECKSUM_LABEL = "Bank checksum (SHA-256 of `resources/factory_bank.bin`):"


def category_runs(programs):
    """(category, first, last) for each contiguous run."""
    runs = []
    for p in programs:
        if runs and runs[-1][0] == p.category:
            runs[-1][2] = p.number
        else:
            runs.append([p.category, p.number, p.number])
    return [tuple(r) for r in runs]


def ms(value):
    if value is None:
        return "died"
    if value == math.inf:
        return "> %d" % round((phrase.PART["chord"].length - phrase.PART["chord"].hold) * 1000)
    return "%d" % value


def width(value):
    return "mono" if value <= measure.FLOOR_DB else "%.1f" % value


def sustain(value):
    return "died" if value < -40 else "%.1f" % value


def markdown(programs, figures):
    chord = phrase.PART["chord"]
    lines = [
        "# The factory sounds",
        "",
        "Every program of the factory bank, measured on one fixed phrase rendered through the",
        "native build at 44.1 kHz. Made by `/usr/bin/python3 tools/sounds/make_sounds.py`, which",
        "also draws [the spectrograms](sounds.png) and records [the bank tour](bank-tour.ogg);",
        "`./scripts/test.sh` checks the balance these figures show.",
        "",
        "%s `%s`" % (CHECKSUM_LABEL, bank_info.bank_checksum()),
        "",
        "The phrase, each part starting with a program change that silences the one before:",
        "an A minor chord (notes 57, 60, 64, 69) at velocity 100 held %.1f s; single notes 45, 69"
        % chord.hold,
        "and 93 held %.1f s each (55, 220 and 880 Hz at the oscillators' own pitch); and a run"
        % phrase.PART["mid"].hold,
        "of eight short notes. The figures:",
        "",
        "- *Loudness*: the loudest 400 ms of the chord, RMS over both channels, in dBFS.",
        "- *Peak*: the largest sample of the chord, in dBFS.",
        "- *Centroid*: the spectral centroid of those 400 ms, in Hz: how bright the sound is.",
        "- *Attack*: milliseconds from the chord's note-on until its level is within 3 dB of its peak.",
        "- *Held*: the level just before note-off against the peak, in dB (\"died\": the sound",
        "  had faded by more than 40 dB, as a pluck does).",
        "- *Release*: milliseconds from note-off until the level is 30 dB lower.",
        "- *Pitch*: the lowest clear partial of note 69, in Hz, and what the oscillators'",
        "  transpositions predict for it (the lowest oscillator; a range for detuned ones).",
        "- *Width*: side against mid energy of the chord in dB; \"mono\" when both channels are equal.",
        "",
        "| Category | Programs |",
        "|---|---|",
    ]
    for category, first, last in category_runs(programs):
        lines.append("| %s | %s |" % (category, first if first == last else "%d to %d" % (first, last)))
    lines += [
        "",
        "| # | Name | Category | What it is for | Loudness | Peak | Centroid | Attack | Held | Release | Pitch | Predicted | Width |",
        "|---:|---|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|",
    ]
    for p in programs:
        f = figures[p.number]
        expected = f.expected["mid"]
        if expected is None:
            predicted = "none"
        elif expected[1] - expected[0] < 0.05:
            predicted = "%.1f" % expected[0]
        else:
            predicted = "%.1f-%.1f" % expected
        lines.append("| %d | %s | %s | %s | %.1f | %.1f | %d | %d | %s | %s | %.1f | %s | %s |" % (
            p.number, p.name, p.category, p.note.replace("|", "\\|"), f.loudness, f.peak, round(f.centroid), f.attack,
            sustain(f.sustain), ms(f.release), f.pitch["mid"], predicted, width(f.width)))
    return "\n".join(lines) + "\n"


def record_tour(build):
    """Renders the bank tour and encodes it as Ogg Vorbis, at most TOUR_LIMIT bytes."""
    with tempfile.TemporaryDirectory() as work:
        wav = os.path.join(work, "tour.wav")
        render.render_midi(TOUR_MIDI, wav, build, tail=2.0)
        for quality in (4, 3, 2, 1, 0):
            subprocess.run(["sox", wav, "-C", str(quality), TOUR_OGG], check=True)
            if os.path.getsize(TOUR_OGG) <= TOUR_LIMIT:
                return os.path.getsize(TOUR_OGG)
    raise SystemExit("%s: larger than %d bytes even at the lowest quality" % (TOUR_OGG, TOUR_LIMIT))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", help="the native build tree (default: build/native)")
    args = parser.parse_args()

    programs = bank_info.read_bank()
    takes = render.render_phrases(range(bank_info.PROGRAM_COUNT), args.build)
    figures = {p.number: measure.Figures(p, takes[p.number]) for p in programs}
    with open(os.path.join(DOCS, "sounds.md"), "w", encoding="ascii") as f:
        f.write(markdown(programs, figures))
    contact_sheet.draw(programs, takes, os.path.join(DOCS, "sounds.png"))
    size = record_tour(args.build)
    print("wrote docs/sounds.md, docs/sounds.png and docs/bank-tour.ogg (%d bytes)" % size)


if __name__ == "__main__":
    main()
