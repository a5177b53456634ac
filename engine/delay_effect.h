#pragma once
#include <cstdint>

#include "engine/delay_line.h"

// The stereo delay effect (the chorus): each channel runs through its own
// delay line whose delay time a slow modulator sweeps; the delayed signal is
// fed back into the line and subtracted from the direct one.

constexpr float kModulatorWrap = 6.283185f;

// What one line needs for one sub-block, worked out from the sample rate.
struct DelaySetup {
    float samplesPerMs;     // m: 0.001 * rate, rounded to float
    int32_t baseDelay;      // D: 10 ms on line 0, 14 ms on line 1, whole samples
    float phaseIncrement;   // modulator step per sample: 0.5 Hz on line 0, 1 Hz on line 1
};

DelaySetup delaySetup(int32_t line, float sampleRate);

// How far behind the write position line `line` reads for modulator value v
// (|sin| or |cos| of its phase, 0..1): D plus 0..2 ms.
inline float delayReadDistance(const DelaySetup& setup, float v) {
    return static_cast<float>(setup.baseDelay) + 2.0f * setup.samplesPerMs * v;
}

// Runs line `line` (0 left, |sin| modulator; 1 right, |cos|) over n samples of
// its channel. A line without a buffer is skipped.
void runDelayEffect(DelayLine& delayLine, int32_t line, float* samples, int32_t n, float sampleRate);
