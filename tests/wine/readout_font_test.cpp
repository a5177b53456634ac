// The readout's text pixels that every build shares (editor/readout_font*.cpp)
// against the Windows font they were captured from: each character alone,
// and whole readout texts drawn at once. With VORZLE_WRITE_READOUT_FONT set
// to a path, writes the glyph table there instead (scripts/capture-readout-font.sh).
#include "tests/wine/editor_test_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "editor/readout_font.h"

using namespace editor_test;

namespace {

constexpr int kFieldWidth = 96;
constexpr int kFieldHeight = 24;
constexpr int kPenX = 8;   // room for a character that reaches left of its pen
constexpr int kPenY = 4;

FontText drawWithWindowsFont(const std::string& text) {
    const POINT pen = {kPenX, kPenY};
    return drawInReadoutFont(kFieldWidth, kFieldHeight, &pen, text);
}

Image drawWithGlyphTable(const std::string& text) {
    Image out{kFieldWidth, kFieldHeight, std::vector<uint32_t>(kFieldWidth * kFieldHeight)};
    PixelCanvas canvas{out.pixels.data(), kFieldWidth, kFieldHeight, kFieldWidth};
    drawReadoutText(canvas, kPenX, kPenY, text.c_str());
    return out;
}

// One glyph as the table stores it, or an empty string (and why) when the
// font draws something the table cannot hold.
std::string glyphEntry(char c, const FontText& drawn, std::string& problem) {
    int left = kFieldWidth;
    for (int y = 0; y < kFieldHeight; ++y)
        for (int x = 0; x < kFieldWidth; ++x)
            if (drawn.pixels.at(x, y)) left = std::min(left, x);
    if (left == kFieldWidth) left = kPenX;
    std::string rows;
    for (int y = 0; y < kFieldHeight; ++y) {
        uint32_t bits = 0;
        for (int x = 0; x < kFieldWidth; ++x) {
            const uint32_t colour = drawn.pixels.at(x, y);
            if (!colour) continue;
            if (colour != kReadoutText || x - left >= 16 || y - kPenY < 0 || y - kPenY >= kReadoutGlyphRows)
                return problem = std::string("glyph '") + c + "' has pixels the table cannot hold", "";
            bits |= 1u << (x - left);
        }
        if (y - kPenY < 0 || y - kPenY >= kReadoutGlyphRows) continue;
        char hex[16];
        std::snprintf(hex, sizeof hex, "%s0x%04X", rows.empty() ? "" : ", ", bits);
        rows += hex;
    }
    char head[96];
    std::snprintf(head, sizeof head, "    {%ld, %d, {", static_cast<long>(drawn.extent.cx), left - kPenX);
    const std::string name = c == '\\' ? "\\\\" : std::string(1, c);
    return head + rows + "}},   // '" + name + "'\n";
}

bool writeGlyphTable(const char* path) {
    std::string source =
        "// The readout font's pixels, captured from the Windows panel's font by\n"
        "// scripts/capture-readout-font.sh; do not edit.\n#include \"editor/readout_font.h\"\n\n";
    std::string glyphs, problem;
    long height = 0;
    for (char c = kFirstReadoutChar; c <= kLastReadoutChar; ++c) {
        const FontText drawn = drawWithWindowsFont(std::string(1, c));
        height = drawn.extent.cy;
        const std::string entry = glyphEntry(c, drawn, problem);
        if (entry.empty()) {
            ADD_FAILURE() << problem;
            return false;
        }
        glyphs += entry;
    }
    source += "extern const int32_t kReadoutFontHeight = " + std::to_string(height) + ";\n\n";
    source += "extern const ReadoutGlyph kReadoutGlyphs[kReadoutGlyphCount] = {\n" + glyphs + "};\n";
    return writeFile(path, source.data(), source.size());
}

}  // namespace

TEST(ReadoutFont, SharedGlyphsDrawWhatTheWindowsFontDraws) {
    if (const char* path = std::getenv("VORZLE_WRITE_READOUT_FONT")) {
        ASSERT_TRUE(writeGlyphTable(path)) << path;
        return;
    }
    for (char c = kFirstReadoutChar; c <= kLastReadoutChar; ++c) {
        const std::string text(1, c);
        const FontText windows = drawWithWindowsFont(text);
        EXPECT_EQ(windows.extent.cx, readoutTextWidth(text.c_str())) << text;
        EXPECT_EQ(windows.extent.cy, kReadoutFontHeight) << text;
        EXPECT_TRUE(windows.pixels == drawWithGlyphTable(text)) << text;
    }
    // Whole texts, as the readout shows them: characters never overlap, so
    // drawing them one by one gives the same pixels.
    for (const char* text : {"50.00 %", "-12.00 smt.", "20480 Hz", "-10.00 oct.", "on", "off", "100.00 %",
                             "-100.00 %", "0.0 Hz", "+4.00 oct."}) {
        const FontText windows = drawWithWindowsFont(text);
        EXPECT_EQ(windows.extent.cx, readoutTextWidth(text)) << text;
        EXPECT_TRUE(windows.pixels == drawWithGlyphTable(text)) << text;
    }
}
