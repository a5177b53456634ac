// The whole editor as the host shows it with program 0: the background
// bitmap wherever no control sits, and optionally a PNG of it for the docs.
// scripts/screenshot.sh regenerates docs/editor.png through this test (the
// PNG is byte-identical from run to run).
#include "tests/wine/editor_test_support.h"

#include <algorithm>
#include <cstdlib>

using namespace editor_test;

namespace {

uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void putBigEndian(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void putChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    putBigEndian(out, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    putBigEndian(out, crc32(body.data(), body.size()));
}

// An RGB PNG with uncompressed (stored) deflate blocks: large but simple.
std::vector<uint8_t> encodePng(const Image& image) {
    std::vector<uint8_t> raw;
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);   // no filter
        for (int x = 0; x < image.width; ++x) {
            const uint32_t p = image.at(x, y);
            raw.push_back(static_cast<uint8_t>(p >> 16));
            raw.push_back(static_cast<uint8_t>(p >> 8));
            raw.push_back(static_cast<uint8_t>(p));
        }
    }
    std::vector<uint8_t> zlib = {0x78, 0x01};
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        zlib.push_back(at + n >= raw.size() ? 1 : 0);
        zlib.push_back(static_cast<uint8_t>(n));
        zlib.push_back(static_cast<uint8_t>(n >> 8));
        zlib.push_back(static_cast<uint8_t>(~n));
        zlib.push_back(static_cast<uint8_t>(~n >> 8));
        zlib.insert(zlib.end(), raw.begin() + at, raw.begin() + at + n);
        if (n == 0) break;
    }
    putBigEndian(zlib, (b << 16) | a);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    putBigEndian(header, static_cast<uint32_t>(image.width));
    putBigEndian(header, static_cast<uint32_t>(image.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});   // 8 bits, RGB, deflate, no filter, no interlace
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", zlib);
    putChunk(png, "IEND", {});
    return png;
}

bool writeFile(std::string path, const std::vector<uint8_t>& bytes) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;   // a Linux path from the environment
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace

TEST(EditorPng, EncodesTheKnownCrcAndLayout) {
    const uint8_t text[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(crc32(text, sizeof text), 0xCBF43926u);   // the CRC-32 check value
    const std::vector<uint8_t> png = encodePng(Image{2, 1, {0xFF0000, 0x0000FF}});
    ASSERT_GT(png.size(), 8u + 25u + 12u);
    EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
    EXPECT_EQ(std::string(png.end() - 8, png.end() - 4), "IEND");
}

TEST_F(EditorTest, ScreenshotShowsTheBackgroundAroundTheControls) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    e.plugin->dispatch(effSetProgram, 0, 0);
    e.moveCursorTo(-50, -50);
    e.idle();
    pumpMessages();
    const Image shown = capture(e.host, 0, 0, kEditorWidth, kEditorHeight);
    const Image background = readBmp(sourcePath("resources/bitmaps/background.bmp"));
    ASSERT_EQ(background.width, 665);
    ASSERT_EQ(background.height, 442);

    // Every pixel outside the controls is the background bitmap's pixel at the same place.
    std::vector<bool> covered(static_cast<size_t>(kEditorWidth) * kEditorHeight, false);
    for (HWND child : childWindows(e.editor)) {
        if (!IsWindowVisible(child)) continue;
        const RECT r = placement(child);
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) covered[static_cast<size_t>(y) * kEditorWidth + x] = true;
    }
    size_t mismatches = 0, compared = 0;
    for (int y = 0; y < kEditorHeight; ++y)
        for (int x = 0; x < kEditorWidth; ++x) {
            if (covered[static_cast<size_t>(y) * kEditorWidth + x]) continue;
            ++compared;
            mismatches += shown.at(x, y) != background.at(x, y);
        }
    EXPECT_GT(compared, 200000u);
    EXPECT_EQ(mismatches, 0u);
    // And the controls show their own drawing, not the background under them.
    for (HWND child : childWindows(e.editor)) {
        if (!IsWindowVisible(child)) continue;
        const RECT r = placement(child);
        EXPECT_FALSE(shown.crop(r.left, r.top, r.right - r.left, r.bottom - r.top) ==
                     background.crop(r.left, r.top, r.right - r.left, r.bottom - r.top))
            << className(child) << " " << userData(child);
    }

    if (const char* path = std::getenv("VORZLE_EDITOR_SCREENSHOT")) {
        EXPECT_TRUE(writeFile(path, encodePng(shown))) << path;
    }
}
