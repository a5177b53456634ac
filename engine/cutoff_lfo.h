#pragma once
#include <cmath>
#include <cstdint>

// The one LFO that sweeps every voice's cutoff: a phase in radians that the
// render loop advances once per sub-block, after the voices have used it.

constexpr float kLfoWrap = 6.283185f;
// Beyond this many periods the phase is folded at once instead of stepwise;
// only absurd LfoRate values get there.
constexpr float kLfoFoldLimit = kLfoWrap * 256.0f;

// Wraps the phase (before the advance, so it may exceed 2 pi by one advance),
// then advances it by n samples at 10 * lfoRate radians per second.
inline float advanceCutoffLfo(float phase, int32_t n, float sampleRate, float lfoRate) {
    if (!std::isfinite(phase)) phase = 0.0f;
    if (phase > kLfoFoldLimit) phase = static_cast<float>(std::fmod(static_cast<double>(phase), static_cast<double>(kLfoWrap)));
    while (phase > kLfoWrap) phase = phase - kLfoWrap;
    return phase + static_cast<float>(n) / sampleRate * lfoRate * 10.0f;
}
