// Checks the editor's bitmap resources as windres and LoadBitmapA will see them:
// classic uncompressed DIBs of the sizes and formats the editor cuts into
// frames, and artwork whose black windows and control backgrounds sit where
// the editor puts its displays, knobs and buttons.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifndef VORZLE_SOURCE_DIR
#error "VORZLE_SOURCE_DIR must name the repository root"
#endif

namespace {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator!=(const Rgb& o) const { return !(*this == o); }
};

std::ostream& operator<<(std::ostream& os, const Rgb& c) {
    return os << "RGB(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ")";
}

struct Rect {
    int x, y, w, h;
};

std::uint32_t readU32(const std::vector<std::uint8_t>& d, std::size_t at) {
    return std::uint32_t(d[at]) | std::uint32_t(d[at + 1]) << 8 | std::uint32_t(d[at + 2]) << 16 |
           std::uint32_t(d[at + 3]) << 24;
}

std::uint16_t readU16(const std::vector<std::uint8_t>& d, std::size_t at) {
    return std::uint16_t(d[at] | d[at + 1] << 8);
}

// The header fields of a BMP file and random access to its pixels.
struct Bitmap {
    std::vector<std::uint8_t> bytes;
    std::uint32_t fileSizeField = 0, pixelOffset = 0, headerSize = 0, compression = 0;
    std::uint32_t imageSizeField = 0, coloursUsed = 0;
    std::int32_t width = 0, height = 0;
    std::uint16_t planes = 0, bitCount = 0;

    std::size_t stride() const { return (std::size_t(width) * bitCount / 8 + 3) & ~std::size_t(3); }

    // Pixel (x, y) with y counted from the top; the rows are stored bottom-up.
    Rgb at(int x, int y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) {
            ADD_FAILURE() << "pixel (" << x << ", " << y << ") outside the bitmap";
            return {};
        }
        const std::size_t row = pixelOffset + stride() * std::size_t(height - 1 - y);
        if (bitCount == 24) {
            const std::size_t p = row + std::size_t(x) * 3;
            return {bytes[p + 2], bytes[p + 1], bytes[p]};
        }
        const std::uint8_t index = bytes[row + std::size_t(x)];
        if (index >= coloursUsed) {
            ADD_FAILURE() << "palette index " << int(index) << " beyond " << coloursUsed << " entries";
            return {};
        }
        const std::size_t p = 14 + 40 + std::size_t(index) * 4;
        return {bytes[p + 2], bytes[p + 1], bytes[p]};
    }

    bool sameBlock(int ax, int bx, int y0, int w, int h) const {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = 0; x < w; ++x)
                if (at(ax + x, y) != at(bx + x, y)) return false;
        return true;
    }
};

// Loads a bitmap and checks the structure every resource shares: 'BM', a
// 40-byte BITMAPINFOHEADER, one plane, no compression, bottom-up rows, and
// sizes that agree with each other and with the file, so that the pixel
// accessors can never run past the data.
void loadBitmap(const char* name, Bitmap& bmp) {
    const std::string path = std::string(VORZLE_SOURCE_DIR) + "/resources/bitmaps/" + name;
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << "cannot open " << path;
    bmp.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    const auto& d = bmp.bytes;
    ASSERT_GE(d.size(), 54u) << name;
    ASSERT_EQ(d[0], 'B') << name;
    ASSERT_EQ(d[1], 'M') << name;
    bmp.fileSizeField = readU32(d, 2);
    bmp.pixelOffset = readU32(d, 10);
    bmp.headerSize = readU32(d, 14);
    bmp.width = std::int32_t(readU32(d, 18));
    bmp.height = std::int32_t(readU32(d, 22));
    bmp.planes = readU16(d, 26);
    bmp.bitCount = readU16(d, 28);
    bmp.compression = readU32(d, 30);
    bmp.imageSizeField = readU32(d, 34);
    bmp.coloursUsed = readU32(d, 46);

    ASSERT_EQ(bmp.headerSize, 40u) << name << ": not a classic BITMAPINFOHEADER";
    ASSERT_EQ(bmp.planes, 1u) << name;
    ASSERT_EQ(bmp.compression, 0u) << name << ": not BI_RGB";
    ASSERT_GT(bmp.width, 0) << name;
    ASSERT_GT(bmp.height, 0) << name << ": rows must be stored bottom-up";
    ASSERT_TRUE(bmp.bitCount == 8 || bmp.bitCount == 24) << name << ": " << bmp.bitCount << " bits";
    if (bmp.bitCount == 8) {
        ASSERT_GE(bmp.coloursUsed, 2u) << name << ": a palette bitmap must name its palette size";
        ASSERT_LE(bmp.coloursUsed, 256u) << name;
    } else {
        ASSERT_EQ(bmp.coloursUsed, 0u) << name << ": a 24-bit bitmap carries no palette";
    }
    const std::size_t imageBytes = bmp.stride() * std::size_t(bmp.height);
    ASSERT_EQ(bmp.pixelOffset, 14u + 40u + 4u * bmp.coloursUsed) << name;
    ASSERT_TRUE(bmp.imageSizeField == 0 || bmp.imageSizeField == imageBytes) << name;
    ASSERT_EQ(bmp.fileSizeField, d.size()) << name << ": size field disagrees with the file";
    ASSERT_EQ(d.size(), bmp.pixelOffset + imageBytes) << name;
}

constexpr int kKnobSize = 40;
constexpr int kKnobFrames = 90;
constexpr int kButtonWidth = 27;
constexpr int kButtonHeight = 13;

// Knob layout points; the editor puts each knob's 40 x 40 window at (x - 3, y + 1).
std::vector<std::array<int, 2>> knobPoints() {
    std::vector<std::array<int, 2>> points = {
        {33, 43},  {76, 43},  {175, 43},  {218, 43},  {261, 43},  {304, 43},  {347, 43},
        {33, 114}, {76, 114}, {174, 114}, {273, 114}, {317, 114}, {361, 114}, {405, 114},
        {507, 114}, {550, 114}};
    for (int row = 0; row < 3; ++row)
        for (int x : {34, 77, 160, 203, 246, 289}) points.push_back({x, 213 + 79 * row});
    return points;
}

const std::array<std::array<int, 2>, 4> kButtons = {{{530, 383}, {4, 223}, {4, 302}, {4, 381}}};

// The four display windows and the polyphony counter.
const std::array<Rect, 5> kBlackWindows = {{
    {417, 38, 206, 48}, {348, 208, 102, 48}, {348, 288, 102, 48}, {348, 368, 102, 48}, {621, 383, 18, 16}}};

TEST(ArtworkFormat, EveryBitmapHasTheSizeAndDepthTheEditorCutsItBy) {
    struct Expected {
        const char* name;
        int width, height, bits;
    };
    const Expected expected[] = {
        {"button.bmp", 54, 13, 8},       {"background.bmp", 665, 442, 24}, {"knob.bmp", 3600, 40, 24},
        {"display.bmp", 208, 52, 24},    {"digits.bmp", 108, 16, 24},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name);
        Bitmap bmp;
        loadBitmap(e.name, bmp);
        if (HasFatalFailure()) continue;
        EXPECT_EQ(bmp.width, e.width);
        EXPECT_EQ(bmp.height, e.height);
        EXPECT_EQ(bmp.bitCount, e.bits);
    }
}

TEST(ArtworkKnob, EveryFrameShowsADifferentValue) {
    Bitmap knob;
    ASSERT_NO_FATAL_FAILURE(loadBitmap("knob.bmp", knob));
    ASSERT_EQ(knob.width, kKnobSize * kKnobFrames);
    ASSERT_EQ(knob.height, kKnobSize);
    for (int f = 1; f < kKnobFrames; ++f)
        EXPECT_FALSE(knob.sameBlock((f - 1) * kKnobSize, f * kKnobSize, 0, kKnobSize, kKnobSize))
            << "frames " << f - 1 << " and " << f << " look alike";
    EXPECT_FALSE(knob.sameBlock(0, 89 * kKnobSize, 0, kKnobSize, kKnobSize));
}

TEST(ArtworkKnob, FrameEdgesMatchTheFieldUnderEveryKnob) {
    Bitmap knob, background;
    ASSERT_NO_FATAL_FAILURE(loadBitmap("knob.bmp", knob));
    ASSERT_NO_FATAL_FAILURE(loadBitmap("background.bmp", background));
    ASSERT_EQ(background.width, 665);
    ASSERT_EQ(background.height, 442);
    const auto points = knobPoints();
    ASSERT_EQ(points.size(), 34u);
    // Every frame's corners show the same field colour, and so does the
    // background under each corner of each knob window.
    const Rgb field = knob.at(0, 0);
    for (int f = 0; f < kKnobFrames; ++f) {
        const int x0 = f * kKnobSize;
        EXPECT_EQ(knob.at(x0, 0), field) << "frame " << f;
        EXPECT_EQ(knob.at(x0 + kKnobSize - 1, 0), field) << "frame " << f;
        EXPECT_EQ(knob.at(x0, kKnobSize - 1), field) << "frame " << f;
        EXPECT_EQ(knob.at(x0 + kKnobSize - 1, kKnobSize - 1), field) << "frame " << f;
    }
    for (const auto& p : points) {
        const int wx = p[0] - 3, wy = p[1] + 1;
        SCOPED_TRACE("knob at (" + std::to_string(p[0]) + ", " + std::to_string(p[1]) + ")");
        EXPECT_EQ(background.at(wx, wy), field);
        EXPECT_EQ(background.at(wx + kKnobSize - 1, wy), field);
        EXPECT_EQ(background.at(wx, wy + kKnobSize - 1), field);
        EXPECT_EQ(background.at(wx + kKnobSize - 1, wy + kKnobSize - 1), field);
    }
}

TEST(ArtworkButton, OnAndOffFramesDifferAndSitOnTheirField) {
    Bitmap button, background;
    ASSERT_NO_FATAL_FAILURE(loadBitmap("button.bmp", button));
    ASSERT_NO_FATAL_FAILURE(loadBitmap("background.bmp", background));
    ASSERT_EQ(button.width, 2 * kButtonWidth);
    ASSERT_EQ(button.height, kButtonHeight);
    EXPECT_FALSE(button.sameBlock(0, kButtonWidth, 0, kButtonWidth, kButtonHeight));
    for (const auto& b : kButtons) {
        SCOPED_TRACE("button at (" + std::to_string(b[0]) + ", " + std::to_string(b[1]) + ")");
        for (int frame = 0; frame < 2; ++frame) {
            const int fx = frame * kButtonWidth;
            EXPECT_EQ(button.at(fx, 0), background.at(b[0], b[1]));
            EXPECT_EQ(button.at(fx + kButtonWidth - 1, kButtonHeight - 1),
                      background.at(b[0] + kButtonWidth - 1, b[1] + kButtonHeight - 1));
        }
    }
}

TEST(ArtworkBackground, DisplaysAndCounterSitOnBlack) {
    Bitmap background;
    ASSERT_NO_FATAL_FAILURE(loadBitmap("background.bmp", background));
    ASSERT_EQ(background.width, 665);
    ASSERT_EQ(background.height, 442);
    const Rgb black{};
    for (const Rect& r : kBlackWindows) {
        int wrong = 0;
        for (int y = r.y; y < r.y + r.h; ++y)
            for (int x = r.x; x < r.x + r.w; ++x)
                if (background.at(x, y) != black) ++wrong;
        EXPECT_EQ(wrong, 0) << "window at (" << r.x << ", " << r.y << ") " << r.w << " x " << r.h;
    }
    // The panel itself is not black: the areas are there to be seen.
    EXPECT_NE(background.at(5, 5), black);
    EXPECT_NE(background.at(660, 437), black);
}

TEST(ArtworkDisplay, BackgroundStaysDarkerThanEveryPen) {
    Bitmap display;
    ASSERT_NO_FATAL_FAILURE(loadBitmap("display.bmp", display));
    ASSERT_EQ(display.width, 208);
    ASSERT_EQ(display.height, 52);
    // The dark pen, RGB(40, 40, 70), fills the area under a waveform; it must
    // stand out on every pixel of the background, and so the two lighter pens.
    for (int y = 0; y < display.height; ++y)
        for (int x = 0; x < display.width; ++x) {
            const Rgb c = display.at(x, y);
            ASSERT_TRUE(c.r < 40 && c.g < 40 && c.b < 70) << c << " at (" << x << ", " << y << ")";
        }
}

TEST(ArtworkDigits, TwelveDistinctGlyphsStartingWithABlank) {
    Bitmap digits;
    ASSERT_NO_FATAL_FAILURE(loadBitmap("digits.bmp", digits));
    ASSERT_EQ(digits.width, 12 * 9);
    ASSERT_EQ(digits.height, 16);
    auto brightest = [&](int cell) {
        int m = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 9; ++x) {
                const Rgb c = digits.at(cell * 9 + x, y);
                m = std::max({m, int(c.r), int(c.g), int(c.b)});
            }
        return m;
    };
    EXPECT_LT(brightest(0), 64) << "the blank glyph must not light up";
    for (int cell = 1; cell < 12; ++cell) EXPECT_GE(brightest(cell), 192) << "glyph " << cell;
    for (int a = 0; a < 12; ++a)
        for (int b = a + 1; b < 12; ++b)
            EXPECT_FALSE(digits.sameBlock(a * 9, b * 9, 0, 9, 16)) << "glyphs " << a << " and " << b;
    // Each cell's first column stays black, so that the two counter cells never touch.
    for (int cell = 0; cell < 12; ++cell) {
        int lit = 0;
        for (int y = 0; y < 16; ++y) lit += digits.at(cell * 9, y) != Rgb{};
        EXPECT_EQ(lit, 0) << "glyph " << cell;
    }
}

}  // namespace
