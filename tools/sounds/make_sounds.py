#!/usr/bin/python3
"""Measures every factory program and lets people hear the bank:

  /usr/bin/python3 tools/sounds/make_sounds.py [--build build/native]

renders the measuring phrase with each of the 128 programs through the native build and
plays each program as a musician would (playing.py: across its range, at full velocity,
at several moments of its LFO), and writes docs/sounds.md (the table of figures, with the
checksum of the bank it describes), docs/sounds.png (a contact sheet of spectrograms)
and docs/sounds-range.png (loudness across the keyboard), then renders examples/bank_tour.mid
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
import criteria  # noqa: E402
import measure  # noqa: E402
import phrase  # noqa: E402
import playing  # noqa: E402
import playing_figures  # noqa: E402
import range_map  # noqa: E402
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


def nearest(playing_figs, n):
    """'#M d': the program whose held spectrum lies nearest, and how far in dB."""
    others = [(playing_figures.spectral_distance(playing_figs[n].spectrum, playing_figs[m].spectrum), m)
              for m in playing_figs if m != n]
    d, m = min(others)
    return "#%d %.1f" % (m, d)


def playing_columns(f, playing_figs):
    spread = max(f.range.values()) - min(f.range.values())
    peaks = "%.0f/%.0f/%.0f" % (f.single_peak, f.close_chord_peak(), f.spread_chord_peak())
    end = "open" if f.stop is None else "%.0f" % f.stop
    return "%.1f (%.0f) | %s | %.1f | %.0f | %s / %.0f | %s" % (
        spread, min(f.range.values()), peaks, f.swing, f.clarity, end, f.dc, nearest(playing_figs, f.number))


def playing_section(programs, figures, playing_figs):
    """How the bank is played beyond the phrase: the ranges, the criteria and how many
    programs meet them, and the exceptions."""
    lines = [
        "## Played across the keyboard",
        "",
        "Each program is also played as a musician plays it (`tools/sounds/playing.py`), on its",
        "category's range: single notes every %d semitones at velocity 100, every note at 127 with its"
        % playing.STEP,
        "release, and a draw of %d chords at 127 seeded by the program's number (%s, each on %d"
        % (playing.VOICINGS * len(playing.SHAPES), ", ".join(playing.SHAPES), playing.VOICINGS),
        "roots across the range):",
        "",
        "| Category | Notes |",
        "|---|---|",
    ]
    lines += ["| %s | %d to %d |" % (c, low, high) for c, (low, high) in playing.RANGES.items()]
    lines += [
        "",
        "- *Range*: the spread in dB between the loudest and the quietest single note of the range",
        "  at velocity 100 (each its loudest 400 ms), and in brackets the quietest, in dBFS;",
        "  [the range map](sounds-range.png) shows every note.",
        "- *Full velocity*: sample peaks in dBFS at velocity 127 of the loudest note of the range /",
        "  the loudest close chord (the drawn triads with and without their octave, and the",
        "  four-note chords %s above the lowest note, the middle and the top of the range) / the"
        % ", ".join(str(i) for i in playing.CLOSE_CHORD[1:]),
        "  loudest six-note spread chord (major: %s semitones above its root; minor: %s)."
        % (", ".join(str(i) for i in playing.SPREAD_CHORD[1:]),
           ", ".join(str(i) for i in playing.SHAPES["minor spread"][1][1:])),
        "- *Swing*: the middle chord at velocity 100 started at %d moments spread evenly over one"
        % playing.MOMENTS,
        "  period of the program's cutoff LFO (over the bank's slowest, %.1f s, when it has no sweep):"
        % playing.slowest_lfo_period(programs),
        "  the difference in dB between its loudest and its quietest take.",
        "- *Top*: at the top %d notes of the range, the energy at the partials of the oscillators'"
        % playing_figures.TOP_NOTES,
        "  pitches against the energy between them, in dB (the worse of the two).",
        "- *End / DC*: over every note of the range at velocity 127, the highest level, against its",
        "  held level (or its peak, for a sound that fades while held), at which a note's sound stops,",
        "  in dB (\"open\": one still sounding %.0f s after note-off); the largest DC offset of a held"
        % playing.LONGEST_TAIL,
        "  note, in dBFS.",
        "- *Nearest*: the program whose held spectrum of note 69 (third-octave bands) lies nearest,",
        "  and the mean difference in dB.",
        "",
        "What every designed program (2 to 126) meets, and which do not:",
        "",
        "| Criterion | Rule | Programs that do not meet it |",
        "|---|---|---|",
    ]
    failing = criteria.failures(programs, figures, playing_figs, excused=False)
    for c in criteria.CRITERIA:
        lines.append("| %s | %s | %s |" % (c.name, c.rule, ", ".join(str(n) for n in failing[c.name]) or "none"))
    lines += [
        "",
        "The tail rule of driven programs: the engine ends a voice when its release has fallen 50 dB",
        "from where it began, before the master stage, whose clipper holds a driven note's held sound",
        "down by up to 20 dB; so with Drive at %g or more (a gain of %.1f into the clipper) a note must"
        % (criteria.DRIVEN, 10 * criteria.DRIVEN + 0.1),
        "stop %g dB below its held level rather than %g. The sound that stops there follows a clipped"
        % (-criteria.ENDS_DRIVEN, -criteria.ENDS),
        "held sound, dense in partials, and has fallen clean below the clipper's knee; a cut that far",
        "below it is masked as well as one %g dB below a clean held sound." % -criteria.ENDS,
    ]
    shared = criteria.context(figures, playing_figs)
    stored = [n for n in range(len(programs)) if n not in criteria.DESIGNED]
    lines += ["", "Programs %s are stored as the instrument first shipped them and are not held to these;"
              % ", ".join(str(n) for n in stored), "measured, they miss:", ""]
    for n in stored:
        missed = [c.name for c in criteria.CRITERIA if c.name != "balance" and not c.passes(playing_figs[n], shared)]
        lines.append("- %d %s: %s" % (n, programs[n].name, ", ".join(missed) or "nothing"))
    excused = [(p, name, reason) for p in programs for name, reason in p.exceptions.items()]
    lines += ["", "Deliberate exceptions (each also noted in the bank source):" if excused else "No program is excused.", ""]
    lines += ["- %d %s, *%s*: %s" % (p.number, p.name, name, reason) for p, name, reason in excused]
    return lines + [""]


def markdown(programs, figures, playing_figs):
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
    ]
    lines += [""] + playing_section(programs, figures, playing_figs)
    lines += [
        "## Every program",
        "",
        "| # | Name | Category | What it is for | Loudness | Peak | Centroid | Attack | Held | Release | Pitch | Predicted"
        " | Width | Range | Full velocity | Swing | Top | End / DC | Nearest |",
        "|---:|---|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|",
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
        lines.append("| %d | %s | %s | %s | %.1f | %.1f | %d | %d | %s | %s | %.1f | %s | %s | %s |" % (
            p.number, p.name, p.category, p.note.replace("|", "\\|"), f.loudness, f.peak, round(f.centroid), f.attack,
            sustain(f.sustain), ms(f.release), f.pitch["mid"], predicted, width(f.width),
            playing_columns(playing_figs[p.number], playing_figs)))
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
    playing_figs = render.render_playing(programs, args.build)
    with open(os.path.join(DOCS, "sounds.md"), "w", encoding="ascii") as f:
        f.write(markdown(programs, figures, playing_figs))
    contact_sheet.draw(programs, takes, os.path.join(DOCS, "sounds.png"))
    range_map.draw(programs, playing_figs, os.path.join(DOCS, "sounds-range.png"))
    size = record_tour(args.build)
    print("wrote docs/sounds.md, docs/sounds.png, docs/sounds-range.png and docs/bank-tour.ogg (%d bytes)" % size)


if __name__ == "__main__":
    main()
