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

int32_t readoutWidth(const char* text) {
    // The lit columns, counted from the pen's start, and the pen's travel.
    int32_t left = INT32_MAX, right = INT32_MIN, pen = 0;
    for (const char* c = text; c && *c; ++c) {
        const ReadoutGlyph* glyph = glyphOf(*c);
        if (!glyph) continue;
        uint16_t columns = 0;
        for (uint16_t row : glyph->rows) columns |= row;
        for (int32_t bit = 0; bit < 16; ++bit) {
            if (!(columns >> bit & 1)) continue;
            left = std::min(left, pen + glyph->left + bit);
            right = std::max(right, pen + glyph->left + bit);
        }
        pen += glyph->advance;
    }
    if (left > right) return kReadoutWidth;
    // Centred as readoutTextOrigin places it; gap counts the frame line.
    auto within = [&](int32_t width, int32_t gap) {
        const int32_t x = (width - pen) / 2;
        return x + left >= gap && x + right <= width - 1 - gap;
    };
    if (within(kReadoutWidth, 1)) return kReadoutWidth;
    int32_t width = kReadoutWidth + 1;
    while (!within(width, 2) && width < 4 * kEditorWidth) ++width;
    return width;
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
