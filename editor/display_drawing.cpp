#include "editor/display_drawing.h"

#include "editor/control_values.h"
#include "engine/wave_shape.h"

namespace {

// Further than any window reaches; keeps a runaway curve value from making
// lines of billions of pixels.
constexpr int32_t kFarOutside = 1 << 16;

int32_t keepNear(int64_t coordinate) {
    return static_cast<int32_t>(coordinate < -kFarOutside ? -kFarOutside
                                : coordinate > kFarOutside ? kFarOutside
                                                           : coordinate);
}

// A polyline as a run of LineTo calls from a start point.
struct Pen {
    PixelCanvas& canvas;
    uint32_t colour;
    int32_t x = 0, y = 0;
    void moveTo(int32_t toX, int32_t toY) { x = toX, y = toY; }
    void lineTo(int32_t toX, int32_t toY) {
        drawLine(canvas, x, y, toX, toY, colour);
        moveTo(toX, toY);
    }
};

}  // namespace

void drawEnvelope(PixelCanvas& canvas, const EnvelopeTimes& times) {
    // The drawing works in the window less its last column and row.
    const int32_t quarter = (canvas.width - 1) / 4;
    const int32_t height = canvas.height - 1;
    const float q = static_cast<float>(quarter);
    const int64_t end1 = truncateToInt(times.attack * q);
    const int64_t end2 = end1 + truncateToInt(times.hold * q);
    const int64_t end3 = end2 + truncateToInt(times.decay * q);
    const int64_t end4 = end3 + truncateToInt(times.release * q);
    const int32_t x1 = keepNear(end1), x2 = keepNear(end2), x3 = keepNear(end3), x4 = keepNear(end4);
    const int32_t sustainY = keepNear(truncateToInt((1.0f - times.sustain) * static_cast<float>(height)));

    for (int32_t x : {x1, x2, x3, x4}) drawLine(canvas, x, 0, x, height, kDarkColour);
    Pen pen{canvas, kBrightColour};
    pen.moveTo(0, height);
    pen.lineTo(x1, 0);
    pen.lineTo(x2, 0);
    pen.lineTo(x3, sustainY);
    pen.lineTo(x4, height);
}

void drawWaveform(PixelCanvas& canvas, const WaveArguments& wave) {
    const int32_t width = canvas.width - 1;
    const int32_t half = (canvas.height - 1) / 2;
    const float widthF = static_cast<float>(width);
    const float halfF = static_cast<float>(half);
    auto curveY = [&](int32_t column) {
        const float phase = static_cast<float>(column) / widthF;
        const float y = waveShape(phase, wave.sineMix, wave.square, wave.symmetry, wave.level, wave.phaseOffset);
        return keepNear(static_cast<int64_t>(half) - truncateToInt(halfF * y));
    };

    for (int32_t i = 0; i < width; ++i) drawLine(canvas, i, half, i, curveY(i), kDarkColour);
    drawLine(canvas, 0, half, width, half, kMidColour);
    Pen pen{canvas, kBrightColour};
    pen.moveTo(0, half);
    for (int32_t i = 0; i < width; ++i) pen.lineTo(i, curveY(i));
}

void fillReadout(PixelCanvas& canvas) { fillRect(canvas, 0, 0, canvas.width, canvas.height, kBlackColour); }

void frameReadout(PixelCanvas& canvas) {
    const int32_t right = canvas.width - 1, bottom = canvas.height - 1;
    Pen pen{canvas, kBrightColour};
    pen.lineTo(right, 0);
    pen.lineTo(right, bottom);
    pen.lineTo(0, bottom);
    pen.lineTo(0, 0);
}

TextOrigin readoutTextOrigin(int32_t width, int32_t height, int32_t textWidth, int32_t textHeight) {
    return {(width - textWidth) / 2, (height - textHeight) / 2};
}
