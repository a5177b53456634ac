#pragma once
#include <cmath>
#include <cstdint>

// A rate is usable when it gives every delay line and wavetable at least one
// sample and keeps their lengths well inside 32-bit indexes.
constexpr float kMinSampleRate = 16.67f;
constexpr float kMaxSampleRate = 4000000.0f;

inline bool isUsableSampleRate(float rate) {
    return std::isfinite(rate) && rate >= kMinSampleRate && rate <= kMaxSampleRate;
}

// Samples in one wavetable period: one period at 440 * 2^-6.75 Hz (MIDI note -12).
inline int32_t wavetableLengthFor(float rate) {
    return static_cast<int32_t>(static_cast<double>(rate) / (440.0 * std::pow(2.0, -6.75)));
}

// Samples in one delay line: 60 ms.
inline int32_t delayLineLengthFor(float rate) {
    return static_cast<int32_t>(static_cast<double>(rate) * 0.06);
}
