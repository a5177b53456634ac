#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// A block of 32-bit pixels, 0x00RRGGBB, rows top to bottom: the layout of a
// top-down 32-bit Windows DIB section and of a 24-bit TrueColor X image, so
// both window systems can show it without conversion.
struct PixelCanvas {
    uint32_t* pixels;
    int32_t width;
    int32_t height;
    int32_t stride;   // pixels from one row to the next

    void set(int32_t x, int32_t y, uint32_t colour) {
        if (x >= 0 && y >= 0 && x < width && y < height) pixels[static_cast<size_t>(y) * stride + x] = colour;
    }
    uint32_t at(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * stride + x]; }
    // The part of this canvas at (x, y), clipped to it.
    PixelCanvas window(int32_t x, int32_t y, int32_t w, int32_t h) const;
};

// An owned picture: a decoded bitmap or a whole panel.
struct PixelImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;

    PixelImage() = default;
    PixelImage(int32_t w, int32_t h) : width(w), height(h), pixels(static_cast<size_t>(w) * h, 0) {}
    PixelCanvas canvas() { return {pixels.data(), width, height, width}; }
    uint32_t at(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) { return (r << 16) | (g << 8) | b; }

// A one-pixel line as the Windows graphics system draws it with a solid pen
// of width 1: the start point drawn, the end point not, Bresenham's steps
// with the same tie-breaking per octant. Pixels outside the canvas are cut.
void drawLine(PixelCanvas& canvas, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour);

void fillRect(PixelCanvas& canvas, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);

// Copies the w x h block of source at (sx, sy) to (x, y), clipped to both.
void copyBlock(PixelCanvas& canvas, int32_t x, int32_t y, const PixelImage& source, int32_t sx, int32_t sy,
               int32_t w, int32_t h);
