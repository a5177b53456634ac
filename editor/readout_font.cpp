#include "editor/readout_font.h"

#include "editor/display_drawing.h"

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
