#include "editor/pixel_canvas.h"

#include <algorithm>
#include <cstdlib>

PixelCanvas PixelCanvas::window(int32_t x, int32_t y, int32_t w, int32_t h) const {
    const int32_t left = std::clamp(x, 0, width), top = std::clamp(y, 0, height);
    const int32_t right = std::clamp(x + w, left, width), bottom = std::clamp(y + h, top, height);
    return {pixels + static_cast<size_t>(top) * stride + left, right - left, bottom - top, stride};
}

void drawLine(PixelCanvas& canvas, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour) {
    if (y0 == y1 || x0 == x1) {
        // Straight lines are spans from the start towards the end, end excluded.
        const bool horizontal = y0 == y1;
        int32_t from = horizontal ? x0 : y0, to = horizontal ? x1 : y1;
        if (from > to) {
            const int32_t start = from;
            from = to + 1;
            to = start + 1;
        }
        const int32_t end = std::min(to, horizontal ? canvas.width : canvas.height);
        for (int32_t i = std::max(from, 0); i < end; ++i)
            horizontal ? canvas.set(i, y0, colour) : canvas.set(x0, i, colour);
        return;
    }
    const int32_t dx = x1 - x0, dy = y1 - y0;
    const int32_t adx = std::abs(dx), ady = std::abs(dy);
    const bool xMajor = adx > ady;
    const int32_t major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
    // Where the exact line passes midway between two pixels, lines that run
    // leftwards or upwards round the other way; this bias picks the side.
    const int32_t bias = ((dx < 0 && dy < 0) || (dx < 0 && !xMajor) || (dy < 0 && xMajor)) ? 1 : 0;
    const int32_t xStep = dx > 0 ? 1 : -1, yStep = dy > 0 ? 1 : -1;
    int32_t error = 2 * minor - major;
    int32_t x = x0, y = y0;
    for (int32_t n = 0; n < major; ++n) {
        canvas.set(x, y, colour);
        if (error + bias > 0) {
            xMajor ? y += yStep : x += xStep;
            error += 2 * minor - 2 * major;
        } else {
            error += 2 * minor;
        }
        xMajor ? x += xStep : y += yStep;
    }
}

void fillRect(PixelCanvas& canvas, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
    PixelCanvas area = canvas.window(x, y, w, h);
    for (int32_t row = 0; row < area.height; ++row)
        std::fill_n(area.pixels + static_cast<size_t>(row) * area.stride, area.width, colour);
}

void copyBlock(PixelCanvas& canvas, int32_t x, int32_t y, const PixelImage& source, int32_t sx, int32_t sy,
               int32_t w, int32_t h) {
    for (int32_t row = 0; row < h; ++row) {
        const int32_t ty = y + row, fy = sy + row;
        if (ty < 0 || ty >= canvas.height || fy < 0 || fy >= source.height) continue;
        for (int32_t col = 0; col < w; ++col) {
            const int32_t tx = x + col, fx = sx + col;
            if (tx < 0 || tx >= canvas.width || fx < 0 || fx >= source.width) continue;
            canvas.pixels[static_cast<size_t>(ty) * canvas.stride + tx] = source.at(fx, fy);
        }
    }
}
