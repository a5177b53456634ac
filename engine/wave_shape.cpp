#include "engine/wave_shape.h"

#include <cmath>

#include "engine/exact_float_math.h"

namespace {

constexpr float kHalfPi = 1.570796f;

// Transcendentals take float arguments, work in double and round to float,
// so that every build computes the same table.
float powerOf(float base, float exponent) {
    if (exponent == 1.0f) return base;   // exact, and the common case of centred peaks
    return libraryPower(base, exponent);
}

float sineOf(float x) { return librarySine(x, false); }

// Which quarter of the sine-like shape x falls in: the base to raise, the
// exponent, and the sign. S = sign * sin(h * base^exponent), or S = 0 for none.
struct SineQuarter {
    bool some;
    float base, exponent, sign;
};

SineQuarter sineQuarter(float x, float d) {
    const float r = d / 2.0f;
    const float a = 2.0f * d;
    const float g = 2.0f * (1.0f - d);
    if (x < r) return {true, x / r, a, 1.0f};
    if (x < 0.5f) return {true, (0.5f - x) / (0.5f - r), g, 1.0f};
    if (x < 1.0f - r) return {true, (x - 0.5f) / (0.5f - r), g, -1.0f};
    if (x < 1.0f) return {true, (1.0f - x) / r, a, -1.0f};
    return {false, 0.0f, 0.0f, 0.0f};
}

float sineLike(float x, float d) {
    const SineQuarter q = sineQuarter(x, d);
    if (!q.some) return 0.0f;
    const float v = sineOf(kHalfPi * powerOf(q.base, q.exponent));
    return q.sign < 0.0f ? -v : v;
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

// Position within the period: phase plus offset, brought down to at most 1.
float shapePosition(float phase, float phaseOffset) {
    float x = phase + phaseOffset;
    // Offsets far outside one period (only absurd stored values reach them)
    // are folded first: stepping by 1 would take millions of steps, or never
    // end once x - 1 == x.
    if (x > 64.0f) x = std::isfinite(x) ? x - std::floor(x) : 0.0f;
    while (x > 1.0f) x = x - 1.0f;
    return x;
}

// Entries are worked out this many at a time.
constexpr int32_t kRun = 64;

}  // namespace

float waveShape(float phase, float sineMix, float square, float symmetry, float level, float phaseOffset) {
    const float x = shapePosition(phase, phaseOffset);
    // A shape with no share of one part skips computing it: its weight would
    // multiply it to zero anyway.
    const float sine = sineMix != 0.0f ? sineLike(x, symmetry) : 0.0f;
    const float straight = sineMix != 1.0f ? linear(x, square, symmetry) : 0.0f;
    return ((1.0f - sineMix) * straight + sineMix * sine) * (2.0f * level - 1.0f);
}

void waveShapeTable(float* table, int32_t length, float sineMix, float square, float symmetry, float level,
                    float phaseOffset) {
    const float gain = 2.0f * level - 1.0f;
    float straight[kRun], sine[kRun], sign[kRun];
    float bases[kRun], exponents[kRun], powered[kRun], results[kRun];
    int32_t sineAt[kRun], powerAt[kRun];
    for (int32_t start = 0; start < length; start += kRun) {
        const int32_t n = length - start < kRun ? length - start : kRun;
        // Pass 1: positions, the linear shape, and which entries need a
        // power or a sine.
        int32_t sines = 0, powers = 0;
        for (int32_t j = 0; j < n; ++j) {
            const int32_t k = start + j;
            const float phase = static_cast<float>(static_cast<double>(k) / static_cast<double>(length));
            const float x = shapePosition(phase, phaseOffset);
            straight[j] = sineMix != 1.0f ? linear(x, square, symmetry) : 0.0f;
            sine[j] = 0.0f;
            if (sineMix == 0.0f) continue;
            const SineQuarter q = sineQuarter(x, symmetry);
            if (!q.some) continue;
            sineAt[sines] = j;
            sign[sines] = q.sign;
            if (q.exponent == 1.0f) {
                powered[sines] = q.base;
            } else {
                powerAt[powers] = sines;
                bases[powers] = q.base;
                exponents[powers] = q.exponent;
                ++powers;
            }
            ++sines;
        }
        // Pass 2: the powers, then the sines, many at a time.
        powersToFloat(bases, exponents, results, powers);
        for (int32_t i = 0; i < powers; ++i) powered[powerAt[i]] = results[i];
        for (int32_t i = 0; i < sines; ++i) powered[i] = kHalfPi * powered[i];
        sinesToFloat(powered, results, sines, false);
        for (int32_t i = 0; i < sines; ++i) sine[sineAt[i]] = sign[i] < 0.0f ? -results[i] : results[i];
        // Pass 3: the blend, as waveShape forms it.
        for (int32_t j = 0; j < n; ++j) table[start + j] = ((1.0f - sineMix) * straight[j] + sineMix * sine[j]) * gain;
    }
}
