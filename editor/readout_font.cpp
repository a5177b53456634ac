#include "editor/readout_font.h"

#include <algorithm>
#include <cstdint>

#include "editor/display_drawing.h"
#include "editor/panel_layout.h"

namespace {

const ReadoutGlyph* glyphOf(char c) {
    if (c < kFirstReadoutChar || c > kLastReadoutChar) return nullptr;
    return &kReadoutGlyphs[c - kFirstReadoutChar];
}

}  // namespace

int32_t readoutTextWidth(const char* text) {
    int32_t width = 0;
    for (const char* c = text; c && *c; ++c)
        if (const ReadoutGlyph* glyph = glyphOf(*c)) width += glyph->advance;
    return width;
}

namespace {

// The lit columns of a text, counted from the pen's start, and the pen's travel.
struct TextInk {
    int32_t left = INT32_MAX, right = INT32_MIN, travel = 0;
    bool lit() const { return left <= right; }
};

TextInk inkOf(const char* text) {
    TextInk ink;
    for (const char* c = text; c && *c; ++c) {
        const ReadoutGlyph* glyph = glyphOf(*c);
        if (!glyph) continue;
        uint16_t columns = 0;
        for (uint16_t row : glyph->rows) columns |= row;
        for (int32_t bit = 0; bit < 16; ++bit) {
            if (!(columns >> bit & 1)) continue;
            ink.left = std::min(ink.left, ink.travel + glyph->left + bit);
            ink.right = std::max(ink.right, ink.travel + glyph->left + bit);
        }
        ink.travel += glyph->advance;
    }
    return ink;
}

// Centred by the pen's travel, as the readout always was: no lit pixel on or
// outside the frame.
bool fitsTheReadout(const TextInk& ink) {
    const int32_t x = (kReadoutWidth - ink.travel) / 2;
    return !ink.lit() || (x + ink.left >= 1 && x + ink.right <= kReadoutWidth - 2);
}

}  // namespace

int32_t readoutWidth(const char* text) {
    const TextInk ink = inkOf(text);
    if (fitsTheReadout(ink)) return kReadoutWidth;
    return ink.right - ink.left + 1 + 4;   // the frame and one black column either side
}

int32_t readoutTextX(const char* text, int32_t width) {
    const TextInk ink = inkOf(text);
    if (width == kReadoutWidth && fitsTheReadout(ink)) return (width - ink.travel) / 2;
    return (width - (ink.right - ink.left + 1)) / 2 - ink.left;
}

void drawReadoutText(PixelCanvas& canvas, int32_t x, int32_t y, const char* text) {
    for (const char* c = text; c && *c; ++c) {
        const ReadoutGlyph* glyph = glyphOf(*c);
        if (!glyph) continue;
        for (int32_t row = 0; row < kReadoutGlyphRows; ++row)
            for (int32_t bit = 0; bit < 16; ++bit)
                if (glyph->rows[row] >> bit & 1) canvas.set(x + glyph->left + bit, y + row, kReadoutTextColour);
        x += glyph->advance;
    }
}
