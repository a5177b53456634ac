#pragma once
#include <cstdint>

// Drive with soft clipping, then volume, on one channel of the voice sum.

// Drive above this switches the soft clip on.
constexpr float kSoftClipThreshold = 0.005f;

// Pre-gain of Drive: 0.1 at 0, 10.1 at 1.
inline float driveGain(float drive) { return 10.0f * drive + 0.1f; }
// Output gain of Volume.
inline float volumeGain(float volume) { return 4.0f * volume; }
inline bool softClipOn(float drive) { return drive > kSoftClipThreshold; }

// Slope 1 inside +-1, slope 0.1 beyond, with a sharp knee at +-1.
inline float softClip(float x) {
    if (x > 1.0f) x = (x - 1.0f) * 0.1f + 1.0f;
    if (x < -1.0f) x = (x + 1.0f) * 0.1f - 1.0f;
    return x;
}

inline void runMasterStage(float* samples, int32_t n, float drive, float volume, bool clip) {
    for (int32_t i = 0; i < n; ++i) {
        float x = samples[i] * drive;
        if (clip) x = softClip(x);
        samples[i] = x * volume;
    }
}
