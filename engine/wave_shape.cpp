#include "engine/wave_shape.h"

#include <cmath>

namespace {

constexpr float kHalfPi = 1.570796f;

// Transcendentals take float arguments, work in double and round to float,
// so that every build computes the same table.
float powerOf(float base, float exponent) {
    if (exponent == 1.0f) return base;   // exact, and the common case of centred peaks
    return static_cast<float>(std::pow(static_cast<double>(base), static_cast<double>(exponent)));
}

float sineOf(float x) { return static_cast<float>(std::sin(static_cast<double>(x))); }

float sineLike(float x, float d) {
    const float r = d / 2.0f;
    const float a = 2.0f * d;
    const float g = 2.0f * (1.0f - d);
    if (x < r) return sineOf(kHalfPi * powerOf(x / r, a));
    if (x < 0.5f) return sineOf(kHalfPi * powerOf((0.5f - x) / (0.5f - r), g));
    if (x < 1.0f - r) return -sineOf(kHalfPi * powerOf((x - 0.5f) / (0.5f - r), g));
    if (x < 1.0f) return -sineOf(kHalfPi * powerOf((1.0f - x) / r, a));
    return 0.0f;
}

float linear(float x, float c, float d) {
    const float F = (1.0f - c) * d / 2.0f;
    const float G = (c * (1.0f - d) + d) / 2.0f;
    const float J = 1.0f - G;
    const float H = 1.0f - F;
    if (x <= 0.0f) return 0.0f;
    if (x < F) return x / F;
    if (x < G) return 1.0f;
    if (x < J) return J - G > 0.0f ? 2.0f * (J - x) / (J - G) - 1.0f : 0.0f;
    if (x < H) return -1.0f;
    if (x <= 1.0f) return 1.0f - H > 0.0f ? -(1.0f - x) / (1.0f - H) : 0.0f;
    return 0.0f;
}

}  // namespace

float waveShape(float phase, float sineMix, float square, float symmetry, float level, float phaseOffset) {
    float x = phase + phaseOffset;
    // Offsets far outside one period (only absurd stored values reach them)
    // are folded first: stepping by 1 would take millions of steps, or never
    // end once x - 1 == x.
    if (x > 64.0f) x = std::isfinite(x) ? x - std::floor(x) : 0.0f;
    while (x > 1.0f) x = x - 1.0f;
    // A shape with no share of one part skips computing it: its weight would
    // multiply it to zero anyway.
    const float sine = sineMix != 0.0f ? sineLike(x, symmetry) : 0.0f;
    const float straight = sineMix != 1.0f ? linear(x, square, symmetry) : 0.0f;
    return ((1.0f - sineMix) * straight + sineMix * sine) * (2.0f * level - 1.0f);
}
