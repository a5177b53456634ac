"""The range map: every program's loudness across the keyboard as a heat map, one row
per program and one column per semitone, each measured note filling the semitones up
to the next. White is the program's own median, red louder and blue quieter (full
colour at the allowed 12 dB), black a note below the floor of -40 dBFS."""
import numpy as np
from PIL import Image, ImageDraw, ImageFont

import criteria
import playing
from contact_sheet import FONT

ROW, SEMITONE = 9, 8
NAME_W, TOP, BOTTOM = 190, 28, 46
LOW, HIGH = min(r[0] for r in playing.RANGES.values()), max(r[1] for r in playing.RANGES.values())
EMPTY = (235, 235, 235)


def colour(deviation, level):
    if level < criteria.RANGE_FLOOR:
        return (0, 0, 0)
    t = float(np.clip(deviation / criteria.RANGE_SPREAD, -1, 1))
    fade = round(255 * (1 - abs(t)))
    return (255, fade, fade) if t > 0 else (fade, fade, 255)


def draw(programs, playing_figures, path):
    columns = HIGH - LOW + 1
    width, height = NAME_W + columns * SEMITONE + 10, TOP + len(programs) * ROW + BOTTOM
    image = Image.new("RGB", (width, height), (255, 255, 255))
    pen = ImageDraw.Draw(image)
    font = ImageFont.truetype(FONT, 8)
    label = ImageFont.truetype(FONT, 11)
    pen.text((4, 6), "Loudness of single notes at velocity 100 against each program's median", fill=(0, 0, 0), font=label)
    for row, p in enumerate(programs):
        y = TOP + row * ROW
        pen.text((4, y - 1), "%d %s" % (p.number, p.name), fill=(40, 40, 40), font=font)
        pen.rectangle([NAME_W, y, NAME_W + columns * SEMITONE - 1, y + ROW - 2], fill=EMPTY)
        f = playing_figures[p.number]
        notes = sorted(f.range)
        for i, note in enumerate(notes):
            last = notes[i + 1] - 1 if i + 1 < len(notes) else note
            x0, x1 = NAME_W + (note - LOW) * SEMITONE, NAME_W + (last - LOW + 1) * SEMITONE - 1
            pen.rectangle([x0, y, x1, y + ROW - 2], fill=colour(f.range[note] - f.median, f.range[note]))
        if row and p.category != programs[row - 1].category:
            pen.line([0, y - 1, width, y - 1], fill=(120, 120, 120))
    axis = TOP + len(programs) * ROW + 2
    for note in range(LOW, HIGH + 1):
        if note % 12 == 0:
            x = NAME_W + (note - LOW) * SEMITONE
            pen.line([x, TOP, x, axis], fill=(200, 200, 200))
            pen.text((x - 6, axis + 2), "C%d" % (note // 12 - 1), fill=(0, 0, 0), font=font)
    legend = axis + 18
    for i, d in enumerate(np.linspace(-12, 12, 25)):
        pen.rectangle([NAME_W + i * 12, legend, NAME_W + i * 12 + 11, legend + 10], fill=colour(d, 0))
    pen.text((NAME_W - 70, legend), "-12 dB", fill=(0, 0, 0), font=font)
    pen.text((NAME_W + 25 * 12 + 6, legend), "+12 dB; black: below -40 dBFS",
             fill=(0, 0, 0), font=font)
    image.save(path, optimize=True)
