"""The contact sheet: one small labelled spectrogram per program, eight to a row, of the
whole measuring phrase (chord, three single notes, run), on a log-frequency axis from
40 Hz to 16 kHz and a fixed level scale, so that loud and quiet programs look it."""
import numpy as np
from PIL import Image, ImageDraw, ImageFont

import phrase
from playing import SAMPLE_RATE

COLUMNS = 8
TILE_W, TILE_H = 200, 84
LABEL_H = 15
GAP = 6
LOW, HIGH = 40.0, 16000.0
FLOOR, TOP = -110.0, -20.0          # dB per spectrogram cell mapped to dark .. bright
WINDOW = 2048
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"

# Dark blue through purple and orange to pale yellow.
_ANCHORS = np.array([[8, 8, 24], [60, 15, 110], [170, 40, 90], [240, 120, 40], [255, 240, 170]], float)
# One label colour per category, in the order the categories appear.
_LABELS = [(70, 70, 70), (40, 70, 120), (120, 50, 50), (50, 100, 60), (110, 80, 30), (80, 50, 110),
           (30, 100, 100), (120, 60, 100), (90, 90, 40), (60, 60, 110), (100, 60, 60), (70, 70, 70)]


def colours(level):
    """RGB for levels 0..1 along the colour ramp."""
    pos = np.clip(level, 0, 1) * (len(_ANCHORS) - 1)
    i = np.minimum(pos.astype(int), len(_ANCHORS) - 2)
    t = (pos - i)[..., None]
    return (_ANCHORS[i] * (1 - t) + _ANCHORS[i + 1] * t).astype(np.uint8)


def spectrogram(x):
    """TILE_H x TILE_W levels 0..1, low frequencies at the bottom."""
    mono = x.mean(axis=1)
    hop = len(mono) / TILE_W
    window = np.hanning(WINDOW)
    padded = np.pad(mono, (WINDOW // 2, WINDOW))
    frames = np.array([padded[int(i * hop):int(i * hop) + WINDOW] for i in range(TILE_W)]) * window
    power = np.abs(np.fft.rfft(frames, axis=1)) ** 2 / (window.sum() ** 2 / 4)
    freqs = np.fft.rfftfreq(WINDOW, 1 / SAMPLE_RATE)
    rows = LOW * (HIGH / LOW) ** ((np.arange(TILE_H) + 0.5) / TILE_H)
    # Each row takes the strongest bin within its band, or the nearest bin below 100 Hz.
    edges = LOW * (HIGH / LOW) ** (np.arange(TILE_H + 1) / TILE_H)
    cells = np.empty((TILE_H, TILE_W))
    for r in range(TILE_H):
        band = (freqs >= edges[r]) & (freqs < edges[r + 1])
        cells[r] = power[:, band].max(axis=1) if band.any() else power[:, np.argmin(abs(freqs - rows[r]))]
    level = (10 * np.log10(np.maximum(cells, 1e-20)) - FLOOR) / (TOP - FLOOR)
    return level[::-1]


def draw(programs, takes, path):
    rows = (len(programs) + COLUMNS - 1) // COLUMNS
    sheet = Image.new("RGB", (COLUMNS * (TILE_W + GAP) + GAP, rows * (TILE_H + LABEL_H + GAP) + GAP), (255, 255, 255))
    pen = ImageDraw.Draw(sheet)
    font = ImageFont.truetype(FONT, 11)
    categories = list(dict.fromkeys(p.category for p in programs))
    boundaries = [round(part.start / phrase.LENGTH * TILE_W) for part in phrase.PARTS[1:]]
    for i, p in enumerate(programs):
        x0 = GAP + (i % COLUMNS) * (TILE_W + GAP)
        y0 = GAP + (i // COLUMNS) * (TILE_H + LABEL_H + GAP)
        label = _LABELS[categories.index(p.category) % len(_LABELS)]
        pen.rectangle([x0, y0, x0 + TILE_W - 1, y0 + LABEL_H - 1], fill=label)
        pen.text((x0 + 3, y0 + 1), "%d  %s" % (p.number, p.name), fill=(255, 255, 255), font=font)
        tile = colours(spectrogram(takes[p.number]))
        for b in boundaries:
            tile[:, b] = (128, 128, 128)
        sheet.paste(Image.fromarray(tile, "RGB"), (x0, y0 + LABEL_H))
    # A palette of 128 colours keeps the file small enough for a README picture.
    sheet.quantize(colors=128, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE).save(path, optimize=True)
