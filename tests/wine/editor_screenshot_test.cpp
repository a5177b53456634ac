// The whole editor as the host shows it with program 0: the background
// bitmap wherever no control sits, and optionally a PNG of it for the docs.
// scripts/screenshot.sh regenerates docs/editor.png through this test (the
// PNG is byte-identical from run to run).
#include "tests/wine/editor_test_support.h"
#include "tests/shared/png_image.h"

#include <algorithm>
#include <cstdlib>

using namespace editor_test;

TEST(EditorPng, EncodesTheKnownCrcAndLayout) {
    const uint8_t text[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(png_image::crc32(text, sizeof text), 0xCBF43926u);   // the CRC-32 check value
    const std::vector<uint8_t> png = png_image::encode({2, 1, {0xFF0000, 0x0000FF}});
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
        const std::vector<uint8_t> png = png_image::encode({shown.width, shown.height, shown.pixels});
        EXPECT_TRUE(writeFile(path, png.data(), png.size())) << path;
    }
}
