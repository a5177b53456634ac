#!/usr/bin/python3
"""Draws the editor artwork of Vorzle and writes the five BMP resources.

Run with Debian's /usr/bin/python3 (python3-pil, fonts-dejavu-core):

    /usr/bin/python3 tools/artwork/make_artwork.py [--out DIR] [--preview PNG]

The output is deterministic: nothing random, no time stamps, so every run
writes the same bytes. The BMP files are written here byte by byte (classic
40-byte BITMAPINFOHEADER, bottom-up, uncompressed, rows padded to 4 bytes),
because windres and LoadBitmapA want exactly that and PIL's own writer does
not let us pin down every field.
"""

import argparse
import math
import os
import struct

from PIL import Image, ImageDraw, ImageFont

REPO_ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
FONT_DIR = "/usr/share/fonts/truetype/dejavu"

# ---------------------------------------------------------------------------
# Palette
# ---------------------------------------------------------------------------
PANEL_TOP = (54, 56, 61)        # graphite panel, a touch lighter at the top
PANEL_BOTTOM = (39, 41, 45)
FIELD = (25, 26, 29)            # dark group fields; knob and button frames sit on it
FIELD_SHADOW = (17, 17, 19)     # the fields are recessed: shadow along the top edge
FIELD_LIP = (72, 74, 80)        # and a lit lip along the bottom edge
BEZEL = (8, 8, 9)               # ring around the black display windows
LABEL = (190, 192, 198)
CAPTION = (236, 152, 54)        # warm amber accent
TITLE = (232, 228, 220)
SUBTITLE = (150, 152, 158)
BLACK = (0, 0, 0)

AMBER = (255, 160, 48)
AMBER_DIM = (96, 58, 20)

# ---------------------------------------------------------------------------
# Layout of the editor (client pixels of the 664 x 441 window)
# ---------------------------------------------------------------------------
BACKGROUND_SIZE = (665, 442)
KNOB_SIZE = 40
KNOB_FRAMES = 90
BUTTON_SIZE = (27, 13)

# Knob layout points (x, y) with their printed labels. A knob's 40 x 40 window
# lies at (x - 3, y + 1).
OSC_KNOB_X = (34, 77, 160, 203, 246, 289)
OSC_LABELS = ("level", "pitch", "sine", "center", "width", "shift")
KNOBS = (
    [(33, 43, "level"), (76, 43, "drive")]
    + [(x, 43, t) for x, t in zip((175, 218, 261, 304, 347),
                                   ("attack", "hold", "decay", "level", "release"))]
    + [(33, 114, "cutoff"), (76, 114, "Q"), (174, 114, "amount")]
    + [(x, 114, t) for x, t in zip((273, 317, 361, 405), ("attack", "hold", "decay", "level"))]
    + [(507, 114, "rate"), (550, 114, "amount")]
    + [(x, 213 + 79 * row, t) for row in range(3) for x, t in zip(OSC_KNOB_X, OSC_LABELS)]
)

BUTTONS = [(530, 383), (4, 223), (4, 302), (4, 381)]   # Chorus, Osc1On, Osc2On, Osc3On
ENVELOPE_DISPLAY = (417, 38, 206, 48)
WAVE_DISPLAYS = [(348, 208 + 80 * row, 102, 48) for row in range(3)]
COUNTER = (621, 383, 18, 16)

# Dark rounded group fields (left, top, right, bottom; inclusive).
FIELDS = [
    (22, 18, 122, 87),        # output: level, drive
    (164, 18, 631, 87),       # volume envelope knobs and display
    (22, 91, 122, 158),       # filter: cutoff, Q
    (164, 91, 457, 158),      # filter envelope: amount, attack .. level
    (497, 91, 597, 158),      # LFO
] + [(1, 193 + 80 * row, 457, 258 + 80 * row) for row in range(3)] + [
    (468, 353, 662, 418),     # chorus and polyphony
]
FIELD_RADIUS = 6


def knob_window(x, y):
    return (x - 3, y + 1, KNOB_SIZE, KNOB_SIZE)


# ---------------------------------------------------------------------------
# BMP writers
# ---------------------------------------------------------------------------
def _bmp_headers(width, height, bit_count, palette_entries, image_bytes):
    offset = 14 + 40 + 4 * palette_entries
    file_header = struct.pack("<2sIHHI", b"BM", offset + image_bytes, 0, 0, offset)
    info_header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bit_count, 0,
                              image_bytes, 2835, 2835, palette_entries, 0)
    return file_header + info_header


def write_bmp24(image, path):
    image = image.convert("RGB")
    width, height = image.size
    stride = (width * 3 + 3) & ~3
    raw = image.tobytes("raw", "BGR")
    rows = []
    for y in range(height - 1, -1, -1):     # bottom-up
        row = raw[y * width * 3:(y + 1) * width * 3]
        rows.append(row + b"\0" * (stride - len(row)))
    with open(path, "wb") as f:
        f.write(_bmp_headers(width, height, 24, 0, stride * height))
        f.write(b"".join(rows))


def write_bmp8(image, path):
    """Writes an RGB image as an 8-bit palette BMP; it must use at most 256 colours."""
    image = image.convert("RGB")
    width, height = image.size
    pixels = list(image.getdata())
    colours = sorted(set(pixels))
    if len(colours) > 256:
        raise ValueError("%s: %d colours do not fit an 8-bit palette" % (path, len(colours)))
    index = {c: i for i, c in enumerate(colours)}
    stride = (width + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytes(index[pixels[y * width + x]] for x in range(width))
        rows.append(row + b"\0" * (stride - width))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in colours)
    with open(path, "wb") as f:
        f.write(_bmp_headers(width, height, 8, len(colours), stride * height))
        f.write(palette)
        f.write(b"".join(rows))


# ---------------------------------------------------------------------------
# Drawing helpers
# ---------------------------------------------------------------------------
def font(name, size):
    return ImageFont.truetype(os.path.join(FONT_DIR, name), size)


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def text_width(text, fnt, spacing=0):
    if spacing == 0:
        return int(round(fnt.getlength(text)))
    return int(round(sum(fnt.getlength(ch) for ch in text) + spacing * (len(text) - 1)))


def draw_text(draw, x, top, text, fnt, fill, spacing=0, align="center"):
    """Draws text with its layout box starting at row `top`; x is the centre,
    left or right edge by `align`. Positions are whole pixels so that the
    hinted glyphs stay crisp. Returns the pixel box the text covers."""
    width = text_width(text, fnt, spacing)
    if align == "center":
        left = int(math.floor(x - width / 2.0 + 0.5))
    elif align == "right":
        left = x - width
    else:
        left = x
    if spacing == 0:
        draw.text((left, top), text, font=fnt, fill=fill)
    else:
        pen = float(left)
        for ch in text:
            draw.text((int(round(pen)), top), ch, font=fnt, fill=fill)
            pen += fnt.getlength(ch) + spacing
    box = fnt.getbbox(text)
    return (left, top + box[1], left + width - 1, top + box[3] - 1)


def supersampled_mask(size, factor, painter):
    """An antialiased L mask of `size`: painter(draw, factor) draws white at
    `factor` times the size, the box filter then averages it down."""
    big = Image.new("L", (size[0] * factor, size[1] * factor), 0)
    painter(ImageDraw.Draw(big), factor)
    return big.reduce(factor)


def paint(image, colour, mask):
    image.paste(Image.new("RGB", image.size, colour), (0, 0), mask)


# ---------------------------------------------------------------------------
# Background (id 103)
# ---------------------------------------------------------------------------
def panel_texture(size):
    """Graphite with a soft vertical gradient and a faint horizontal brushing."""
    width, height = size
    img = Image.new("RGB", size)
    px = img.load()
    for y in range(height):
        base = mix(PANEL_TOP, PANEL_BOTTOM, y / float(height - 1))
        for x in range(width):
            # Deterministic integer hash: long streaks along x, like brushed metal.
            h = (y * 73856093) ^ ((x // 23 + y * 7) * 19349663)
            h = (h ^ (h >> 13)) * 0x5BD1E995 & 0xFFFFFFFF
            d = ((h >> 7) % 3) - 1
            px[x, y] = (base[0] + d, base[1] + d, base[2] + d)
    return img


def field_masks(size, factor=4):
    def rounded(offset_y):
        def painter(draw, f):
            for (l, t, r, b) in FIELDS:
                draw.rounded_rectangle(((l * f, (t + offset_y) * f), ((r + 1) * f - 1, (b + 1 + offset_y) * f - 1)),
                                       radius=FIELD_RADIUS * f, fill=255)
        return painter
    shadow = supersampled_mask(size, factor, rounded(-1))
    lip = supersampled_mask(size, factor, rounded(+1))
    body = supersampled_mask(size, factor, rounded(0))
    return shadow, lip, body


def black_window(draw, rect):
    x, y, w, h = rect
    draw.rectangle((x - 2, y - 2, x + w + 1, y + h + 1), fill=FIELD_SHADOW)
    draw.rectangle((x - 1, y - 1, x + w, y + h), fill=BEZEL)
    draw.line((x - 1, y + h + 1, x + w + 1, y + h + 1), fill=(48, 50, 55))   # lit bottom edge
    draw.line((x + w + 1, y - 1, x + w + 1, y + h + 1), fill=(40, 42, 46))
    draw.rectangle((x, y, x + w - 1, y + h - 1), fill=BLACK)


def make_background():
    size = BACKGROUND_SIZE
    img = panel_texture(size)
    shadow, lip, body = field_masks(size)
    paint(img, FIELD_LIP, lip)
    paint(img, FIELD_SHADOW, shadow)
    paint(img, FIELD, body)
    draw = ImageDraw.Draw(img)

    for rect in [ENVELOPE_DISPLAY] + WAVE_DISPLAYS + [COUNTER]:
        black_window(draw, rect)

    label_font = font("DejaVuSans.ttf", 9)
    caption_font = font("DejaVuSans-Bold.ttf", 9)
    boxes = []

    def label(x, top, text, **kw):
        boxes.append((text, draw_text(draw, x, top, text, label_font, LABEL, **kw)))

    def caption(x, top, text, **kw):
        boxes.append((text, draw_text(draw, x, top, text, caption_font, CAPTION, spacing=1, **kw)))

    # Knob labels: centred on the knob window, ending one row above it.
    for (x, y, text) in KNOBS:
        wx, wy, _, _ = knob_window(x, y)
        label(wx + KNOB_SIZE // 2, wy - 12, text)

    # Group captions in bold amber capitals.
    def over_knobs(indices):
        wins = [knob_window(KNOBS[i][0], KNOBS[i][1]) for i in indices]
        return (min(w[0] for w in wins) + max(w[0] + w[2] for w in wins)) // 2

    caption(over_knobs([0, 1]), 21, "OUTPUT")
    caption(ENVELOPE_DISPLAY[0] + ENVELOPE_DISPLAY[2] // 2, 25, "VOLUME ENVELOPE")
    caption(over_knobs([7, 8]), 94, "FILTER")
    caption(over_knobs([9]), 94, "ENV")
    caption(over_knobs([14, 15]), 94, "LFO")
    for row, (x, y, w, h) in enumerate(WAVE_DISPLAYS):
        caption(x + w // 2, y - 12, "OSCILLATOR %d" % (row + 1))
        bx, by = BUTTONS[row + 1]
        label(bx + BUTTON_SIZE[0] // 2, by - 13, "on")

    # Chorus and polyphony.
    cx, cy = BUTTONS[0]
    caption(cx - 6, cy + BUTTON_SIZE[1] // 2 - 5, "CHORUS", align="right")
    label(COUNTER[0] + COUNTER[2] // 2, COUNTER[1] - 12, "Polyphony")

    draw_title(img)
    check_layout(boxes)
    return img


def draw_title(img):
    """The Vorzle logo in the free right-hand column: a wordmark over a sine
    stroke that runs into a square, the instrument's raw material."""
    draw = ImageDraw.Draw(img)
    cx = 570
    title_font = font("DejaVuSans-Bold.ttf", 38)
    draw_text(draw, cx, 196, "Vorzle", title_font, TITLE, spacing=1)

    def wave(d, f):
        left, right, mid, amp = 500, 640, 262, 7
        pts = []
        for i in range(0, (right - left) * f + 1):
            x = left + i / float(f)
            t = (x - left) / float(right - left)
            s = math.sin(2 * math.pi * 2 * t)
            if t > 0.5:   # the second half hardens towards a square
                k = (t - 0.5) * 2
                s = math.tanh(s * (1 + 9 * k)) / math.tanh(1 + 9 * k)
            pts.append((x * f, (mid - amp * s) * f))
        d.line(pts, fill=255, width=int(1.6 * f), joint="curve")
    paint(img, CAPTION, supersampled_mask(img.size, 4, wave))

    sub_font = font("DejaVuSans.ttf", 9)
    draw_text(draw, cx, 282, "POLYPHONIC SYNTHESIZER", sub_font, SUBTITLE, spacing=1)


def check_layout(boxes):
    """Refuses artwork whose texts overlap each other or any control window."""
    controls = [knob_window(x, y) for (x, y, _) in KNOBS]
    controls += [(x, y, BUTTON_SIZE[0], BUTTON_SIZE[1]) for (x, y) in BUTTONS]
    controls += [ENVELOPE_DISPLAY] + WAVE_DISPLAYS + [COUNTER]
    rects = [(x, y, x + w - 1, y + h - 1) for (x, y, w, h) in controls]

    def hit(a, b):
        return a[0] <= b[2] and b[0] <= a[2] and a[1] <= b[3] and b[1] <= a[3]

    for i, (text, box) in enumerate(boxes):
        if box[0] < 0 or box[1] < 0 or box[2] > 663 or box[3] > 440:
            raise SystemExit("text %r leaves the window: %r" % (text, box))
        for r in rects:
            if hit(box, r):
                raise SystemExit("text %r at %r covers a control at %r" % (text, box, r))
        for other, obox in boxes[i + 1:]:
            if hit(box, obox):
                raise SystemExit("texts %r and %r overlap" % (text, other))
        if not any(l <= box[0] and box[2] <= r and t <= box[1] and box[3] <= b
                   for (l, t, r, b) in FIELDS):
            raise SystemExit("text %r at %r is not on a group field" % (text, box))


# ---------------------------------------------------------------------------
# Knob film strip (id 104)
# ---------------------------------------------------------------------------
KNOB_SWEEP = 300.0                 # degrees from value 0 to value 1
KNOB_START = 90.0 + (360.0 - KNOB_SWEEP) / 2.0   # PIL angles: 0 = east, clockwise


def radial_cap(size, centre, radius, top_colour, bottom_colour, light_colour):
    """A round cap shaded from top to bottom with a soft light from the upper left."""
    img = Image.new("RGB", size)
    px = img.load()
    cx, cy = centre
    lx, ly = cx - radius * 0.45, cy - radius * 0.55
    for y in range(size[1]):
        t = min(1.0, max(0.0, (y - (cy - radius)) / (2.0 * radius)))
        row = mix(top_colour, bottom_colour, t)
        for x in range(size[0]):
            d = math.hypot(x - lx, y - ly) / (radius * 1.3)
            glow = max(0.0, 1.0 - d) ** 2 * 0.55
            px[x, y] = mix(row, light_colour, glow)
    return img


def make_knob_frame(value, f, cap, cap_mask, rim_mask, shadow_mask):
    size = KNOB_SIZE * f
    c = size / 2.0
    img = Image.new("RGB", (size, size), FIELD)
    draw = ImageDraw.Draw(img)

    def ring(r_out, r_in, a0, a1, colour):
        m = Image.new("L", (size, size), 0)
        d = ImageDraw.Draw(m)
        d.pieslice((c - r_out, c - r_out, c + r_out, c + r_out), a0, a1, fill=255)
        d.ellipse((c - r_in, c - r_in, c + r_in, c + r_in), fill=0)
        img.paste(Image.new("RGB", img.size, colour), (0, 0), m)

    def dot(angle, r, rad, colour):
        a = math.radians(angle)
        x, y = c + r * math.cos(a), c + r * math.sin(a)
        draw.ellipse((x - rad, y - rad, x + rad, y + rad), fill=colour)

    r_out, r_in = 18.6 * f, 16.2 * f
    r_mid, r_cap = (r_out + r_in) / 2, (r_out - r_in) / 2
    end = KNOB_START + KNOB_SWEEP
    ring(r_out, r_in, KNOB_START, end, (10, 10, 11))      # the track
    dot(KNOB_START, r_mid, r_cap, (10, 10, 11))
    dot(end, r_mid, r_cap, (10, 10, 11))
    angle = KNOB_START + KNOB_SWEEP * value
    dot(KNOB_START, r_mid, r_cap, AMBER)
    if value > 0:
        ring(r_out, r_in, KNOB_START, angle, AMBER)       # the value arc
    dot(angle, r_mid, r_cap, AMBER)

    img.paste(Image.new("RGB", img.size, (6, 6, 7)), (0, 0), shadow_mask)
    img.paste(Image.new("RGB", img.size, (104, 106, 112)), (0, 0), rim_mask)
    img.paste(cap, (0, 0), cap_mask)

    # Pointer: a light line from near the centre to the cap's edge.
    a = math.radians(angle)
    r0, r1 = 4.5 * f, 11.3 * f
    draw.line((c + r0 * math.cos(a), c + r0 * math.sin(a), c + r1 * math.cos(a), c + r1 * math.sin(a)),
              fill=(244, 240, 232), width=int(2.0 * f))
    dot(angle, r1, 1.0 * f, (244, 240, 232))
    dot(angle, r0, 1.0 * f, (244, 240, 232))
    return img.reduce(f)


def make_knob_strip():
    f = 8
    size = KNOB_SIZE * f
    c = size / 2.0

    def disc(r, dx=0.0, dy=0.0):
        m = Image.new("L", (size, size), 0)
        ImageDraw.Draw(m).ellipse((c - r + dx, c - r + dy, c + r + dx, c + r + dy), fill=255)
        return m

    shadow_mask = disc(14.2 * f, 0, 1.2 * f)
    rim_mask = disc(13.0 * f)
    cap_mask = disc(12.0 * f)
    cap = radial_cap((size, size), (c, c), 12.0 * f, (78, 80, 86), (34, 35, 39), (150, 152, 160))
    strip = Image.new("RGB", (KNOB_SIZE * KNOB_FRAMES, KNOB_SIZE), FIELD)
    for i in range(KNOB_FRAMES):
        frame = make_knob_frame(i / float(KNOB_FRAMES - 1), f, cap, cap_mask, rim_mask, shadow_mask)
        strip.paste(frame, (i * KNOB_SIZE, 0))
    return strip


# ---------------------------------------------------------------------------
# Button (id 102): frame 0 on, frame 1 off
# ---------------------------------------------------------------------------
def make_button_frame(on):
    f = 8
    w, h = BUTTON_SIZE
    img = Image.new("RGB", (w * f, h * f), FIELD)
    d = ImageDraw.Draw(img)
    # Recessed bezel.
    d.rounded_rectangle((1 * f, 1 * f, (w - 1) * f - 1, (h - 1) * f - 1), radius=3 * f, fill=(70, 72, 78))
    d.rounded_rectangle((1 * f, 1 * f, (w - 1) * f - 1, (h - 1.5) * f - 1), radius=3 * f, fill=(8, 8, 9))
    # The lamp.
    box = (3 * f, 3 * f, (w - 3) * f - 1, (h - 3) * f - 1)
    if on:
        d.rounded_rectangle(box, radius=2 * f, fill=(255, 150, 36))
        d.rounded_rectangle((4 * f, 3.6 * f, (w - 4) * f - 1, 5.4 * f), radius=1 * f, fill=(255, 226, 160))
    else:
        d.rounded_rectangle(box, radius=2 * f, fill=(52, 36, 22))
        d.rounded_rectangle((4 * f, 3.6 * f, (w - 4) * f - 1, 5.0 * f), radius=1 * f, fill=(70, 54, 40))
    return img.reduce(f)


def make_button():
    w, h = BUTTON_SIZE
    img = Image.new("RGB", (2 * w, h))
    img.paste(make_button_frame(True), (0, 0))
    img.paste(make_button_frame(False), (w, 0))
    return img


# ---------------------------------------------------------------------------
# Display background (id 113)
# ---------------------------------------------------------------------------
DISPLAY_SIZE = (208, 52)
DISPLAY_BASE = (7, 8, 15)
DISPLAY_GRID = (17, 20, 34)
DISPLAY_DOT = (24, 28, 48)


def make_display():
    w, h = DISPLAY_SIZE
    img = Image.new("RGB", DISPLAY_SIZE, DISPLAY_BASE)
    px = img.load()
    # The grid is dotted so that it stays behind the traces; its rows meet the
    # waveforms' zero line (row 23) and its columns the envelope's quarters.
    for y in range(h):
        for x in range(w):
            on_row = y % 8 == 7
            on_col = x % 51 == 0 or (x % 51) % 17 == 0
            if on_row and on_col:
                px[x, y] = DISPLAY_DOT
            elif (on_row and x % 2 == 0) or (on_col and y % 2 == 1):
                px[x, y] = DISPLAY_GRID
    return img


# ---------------------------------------------------------------------------
# Digit glyphs (id 118): blank, 0..9, minus
# ---------------------------------------------------------------------------
DIGIT_CELL = (9, 16)
LED_ON = (255, 92, 40)
LED_OFF = (24, 7, 4)
SEGMENTS = {   # segments a..g lit per glyph
    "0": "abcdef", "1": "bc", "2": "abdeg", "3": "abcdg", "4": "bcfg", "5": "acdfg",
    "6": "acdefg", "7": "abc", "8": "abcdefg", "9": "abcdfg", "-": "g", " ": "",
}


def segment_polygon(name, t):
    """Hexagonal segment outlines in cell units (x 0..9, y 0..16), slightly slanted."""
    left, right, top, mid, bottom = 2.4, 7.3, 1.6, 8.0, 14.4
    half = t / 2.0
    gap = 0.35

    def horiz(y):
        return [(left + gap, y), (left + half + gap, y - half), (right - half - gap, y - half),
                (right - gap, y), (right - half - gap, y + half), (left + half + gap, y + half)]

    def vert(x, y0, y1):
        return [(x, y0 + gap), (x + half, y0 + half + gap), (x + half, y1 - half - gap),
                (x, y1 - gap), (x - half, y1 - half - gap), (x - half, y0 + half + gap)]

    shape = {
        "a": horiz(top), "g": horiz(mid), "d": horiz(bottom),
        "f": vert(left, top, mid), "b": vert(right, top, mid),
        "e": vert(left, mid, bottom), "c": vert(right, mid, bottom),
    }[name]
    slant = 0.08   # a gentle italic lean, as on LED modules
    return [(x + slant * (mid - y), y) for (x, y) in shape]


def make_digit(ch):
    f = 16
    w, h = DIGIT_CELL
    img = Image.new("RGB", (w * f, h * f), BLACK)
    d = ImageDraw.Draw(img)
    lit = SEGMENTS[ch]
    for name in "abcdefg":
        poly = [(x * f, y * f) for (x, y) in segment_polygon(name, 1.7)]
        d.polygon(poly, fill=LED_ON if name in lit else LED_OFF)
    return img.reduce(f)


def make_digits():
    w, h = DIGIT_CELL
    glyphs = " 0123456789-"
    img = Image.new("RGB", (w * len(glyphs), h), BLACK)
    for i, ch in enumerate(glyphs):
        img.paste(make_digit(ch), (i * w, 0))
    return img


# ---------------------------------------------------------------------------
# Preview of the whole panel with its controls in place
# ---------------------------------------------------------------------------
def make_preview(background, knobs, button, display, digits, path):
    panel = background.crop((0, 0, 664, 441))
    frame = 44
    knob = knobs.crop((frame * KNOB_SIZE, 0, (frame + 1) * KNOB_SIZE, KNOB_SIZE))
    for (x, y, _) in KNOBS:
        wx, wy, _, _ = knob_window(x, y)
        panel.paste(knob, (wx, wy))
    w, h = BUTTON_SIZE
    for i, (x, y) in enumerate(BUTTONS):
        state = 1 if i == 2 else 0          # one button off to see both faces
        panel.paste(button.crop((state * w, 0, (state + 1) * w, h)), (x, y))
    draw = ImageDraw.Draw(panel)
    bright, dark, mid = (255, 230, 230), (40, 40, 70), (100, 100, 200)
    x0, y0, dw, dh = ENVELOPE_DISPLAY
    panel.paste(display.crop((0, 0, dw, dh)), (x0, y0))
    corners = [(0, 47), (25, 0), (40, 0), (70, 30), (120, 47)]
    for cx, _ in corners[1:]:
        draw.line((x0 + cx, y0, x0 + cx, y0 + 47), fill=dark)
    draw.line([(x0 + cx, y0 + cy) for cx, cy in corners], fill=bright)
    for row, (x0, y0, dw, dh) in enumerate(WAVE_DISPLAYS):
        panel.paste(display.crop((0, 0, dw, dh)), (x0, y0))
        pts = []
        for i in range(dw - 1):
            t = i / float(dw - 1)
            v = [math.sin(2 * math.pi * t), 1 - 2 * t, 1.0 if t < 0.5 else -1.0][row] * 0.9
            y = 23 - int(23 * v)
            draw.line((x0 + i, y0 + 23, x0 + i, y0 + y), fill=dark)
            pts.append((x0 + i, y0 + y))
        draw.line((x0, y0 + 23, x0 + dw - 1, y0 + 23), fill=mid)
        draw.line(pts, fill=bright)
    dwid = DIGIT_CELL[0]
    for cell, glyph in enumerate((2, 7)):        # "16"
        panel.paste(digits.crop((glyph * dwid, 0, (glyph + 1) * dwid, 16)), (COUNTER[0] + cell * dwid, COUNTER[1]))
    panel.save(path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(REPO_ROOT, "resources", "bitmaps"),
                        help="directory for the BMP files (default: resources/bitmaps of the repository)")
    parser.add_argument("--preview", help="also write a PNG of the panel with its controls in place")
    args = parser.parse_args()

    os.makedirs(args.out, exist_ok=True)
    background = make_background()
    knobs = make_knob_strip()
    button = make_button()
    display = make_display()
    digits = make_digits()

    write_bmp8(button, os.path.join(args.out, "button.bmp"))
    write_bmp24(background, os.path.join(args.out, "background.bmp"))
    write_bmp24(knobs, os.path.join(args.out, "knob.bmp"))
    write_bmp24(display, os.path.join(args.out, "display.bmp"))
    write_bmp24(digits, os.path.join(args.out, "digits.bmp"))
    if args.preview:
        make_preview(background, knobs, button, display, digits, args.preview)


if __name__ == "__main__":
    main()
