#pragma once
#include <cstdint>

#include "editor/pixel_canvas.h"

// What the envelope, waveform and readout displays draw, into a canvas the
// size of the display window. The background is the caller's: the top-left
// corner of the display bitmap, or black for the readout.

constexpr uint32_t kBrightColour = rgb(255, 230, 230);
constexpr uint32_t kDarkColour = rgb(40, 40, 70);
constexpr uint32_t kMidColour = rgb(100, 100, 200);
constexpr uint32_t kReadoutTextColour = rgb(200, 200, 255);
constexpr uint32_t kBlackColour = 0;

struct EnvelopeTimes {
    float attack, hold, decay, sustain, release;
};

// The oscillator's waveShape arguments, in the order the wavetable builder passes them.
struct WaveArguments {
    float sineMix, square, symmetry, level, phaseOffset;
};

// Attack, hold, decay and release each take up to a quarter of the width;
// sustain is a level only.
void drawEnvelope(PixelCanvas& canvas, const EnvelopeTimes& times);

// One period of the oscillator's table: the area under the curve, the zero
// line, then the curve.
void drawWaveform(PixelCanvas& canvas, const WaveArguments& wave);

// The readout is black, carries its text centred (drawn by the caller
// between these two steps, at readoutTextOrigin) and a bright frame on top.
void fillReadout(PixelCanvas& canvas);
void frameReadout(PixelCanvas& canvas);
struct TextOrigin {
    int32_t x, y;
};
TextOrigin readoutTextOrigin(int32_t width, int32_t height, int32_t textWidth, int32_t textHeight);
