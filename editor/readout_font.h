#pragma once
#include <cstdint>

#include "editor/pixel_canvas.h"

// The readout's text as the Windows panel draws it (8 x 8 "MS Sans Serif",
// RGB(200, 200, 255) on black, no smoothing), kept as the pixels of each
// printable ASCII character so that any build draws the same text without a
// font system.
// readout_font_glyphs.cpp holds them; tests/wine/readout_font_test.cpp
// captures them again from the Windows font and checks they still match.

constexpr int32_t kReadoutGlyphRows = 16;

// One character: bit i of a row lights the pixel left + i columns right of
// the pen, rows counted down from the text's top.
struct ReadoutGlyph {
    int8_t advance;   // pixels the pen moves right after the character
    int8_t left;
    uint16_t rows[kReadoutGlyphRows];
};

constexpr char kFirstReadoutChar = ' ';
constexpr char kLastReadoutChar = '~';
constexpr int32_t kReadoutGlyphCount = kLastReadoutChar - kFirstReadoutChar + 1;

extern const int32_t kReadoutFontHeight;   // the text height the font reports
extern const ReadoutGlyph kReadoutGlyphs[kReadoutGlyphCount];

// Width of the text as the font measures it; characters outside the table count 0.
int32_t readoutTextWidth(const char* text);
// The readout's width for a text: 55 when, centred by the pen's travel as
// always, no lit pixel of it falls on or outside the frame (the readout as it
// always was); else just wide enough to show the text's lit pixels centred
// with a black column between them and the frame on both sides.
int32_t readoutWidth(const char* text);
// Where the text's pen starts in a readout of that width, by the same rule.
int32_t readoutTextX(const char* text, int32_t width);
// Draws the text with its top-left corner at (x, y), cut at the canvas edges.
void drawReadoutText(PixelCanvas& canvas, int32_t x, int32_t y, const char* text);
