#pragma once
#include <xmmintrin.h>

#include <cstdint>

// Drive with soft clipping, then volume, on one channel of the voice sum, and
// the balance into the host's buffer.

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

// Four samples at a time, each through the same float operations as
// softClip, then the rest one by one.
inline void runMasterStage(float* samples, int32_t n, float drive, float volume, bool clip) {
    const __m128 driveGains = _mm_set1_ps(drive);
    const __m128 volumeGains = _mm_set1_ps(volume);
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 minusOne = _mm_set1_ps(-1.0f);
    const __m128 slope = _mm_set1_ps(0.1f);
    int32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128 x = _mm_mul_ps(_mm_loadu_ps(samples + i), driveGains);
        if (clip) {
            const __m128 above = _mm_cmpgt_ps(x, one);
            const __m128 high = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(x, one), slope), one);
            x = _mm_or_ps(_mm_and_ps(above, high), _mm_andnot_ps(above, x));
            const __m128 below = _mm_cmplt_ps(x, minusOne);
            const __m128 low = _mm_sub_ps(_mm_mul_ps(_mm_add_ps(x, one), slope), one);
            x = _mm_or_ps(_mm_and_ps(below, low), _mm_andnot_ps(below, x));
        }
        _mm_storeu_ps(samples + i, _mm_mul_ps(x, volumeGains));
    }
    for (; i < n; ++i) {
        float x = samples[i] * drive;
        if (clip) x = softClip(x);
        samples[i] = x * volume;
    }
}

// The host's buffer gets gain times the channel, written over or added to
// what it holds, four samples at a time.
inline void writeBalanced(float* out, const float* mix, float gain, int32_t n, bool replacing) {
    const __m128 gains = _mm_set1_ps(gain);
    int32_t i = 0;
    if (replacing) {
        for (; i + 4 <= n; i += 4) _mm_storeu_ps(out + i, _mm_mul_ps(gains, _mm_loadu_ps(mix + i)));
        for (; i < n; ++i) out[i] = gain * mix[i];
    } else {
        for (; i + 4 <= n; i += 4)
            _mm_storeu_ps(out + i, _mm_add_ps(_mm_loadu_ps(out + i), _mm_mul_ps(gains, _mm_loadu_ps(mix + i))));
        for (; i < n; ++i) out[i] += gain * mix[i];
    }
}
