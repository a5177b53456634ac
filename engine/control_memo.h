#pragma once
#include <bit>
#include <cstdint>
#include <type_traits>

#include "engine/exact_float_math.h"
#include "engine/guarded_filter_coefficients.h"
#include "engine/oscillator.h"
#include "engine/voice_filter.h"

// A voice's control values are pure functions of a few inputs that mostly
// stay put from one sub-block to the next (pitch once the glide has settled,
// bend, tune, a held filter envelope, a still LFO). Each voice remembers the
// inputs and results of its last computation and reuses the results while
// every input is the same bit pattern, which makes the reuse exact. A zeroed
// memo (a voice cleared at a fresh start) holds nothing.
struct ControlMemo {
    bool incrementsHeld;
    uint32_t octavesBits;
    uint32_t tuneBits[3];
    float increments[3];
    bool coefficientsHeld;
    uint64_t exponentBits;
    uint32_t resonanceBits, sampleRateBits;
    FilterCoefficients coefficients;
};

template <typename T>
inline auto memoBits(T x) {
    return std::bit_cast<std::conditional_t<sizeof(T) == 8, uint64_t, uint32_t>>(x);
}

// The three oscillator increments for octaves (pitch plus bend) and the tunes.
inline void memoIncrements(ControlMemo& memo, float octaves, const float tune[3], float inc[3]) {
    const uint32_t octavesBits = memoBits(octaves);
    const uint32_t tuneBits[3] = {memoBits(tune[0]), memoBits(tune[1]), memoBits(tune[2])};
    if (!memo.incrementsHeld || memo.octavesBits != octavesBits || memo.tuneBits[0] != tuneBits[0] ||
        memo.tuneBits[1] != tuneBits[1] || memo.tuneBits[2] != tuneBits[2]) {
        // 2^e for all three at once: the same floats as oscillatorIncrement's.
        const float two[3] = {2.0f, 2.0f, 2.0f};
        const float exponents[3] = {incrementExponent(octaves, tune[0]), incrementExponent(octaves, tune[1]),
                                    incrementExponent(octaves, tune[2])};
        float powers[3];
        powersToFloat(two, exponents, powers, 3);
        for (int k = 0; k < 3; ++k) {
            memo.increments[k] = limitIncrement(powers[k]);
            memo.tuneBits[k] = tuneBits[k];
        }
        memo.octavesBits = octavesBits;
        memo.incrementsHeld = true;
    }
    for (int k = 0; k < 3; ++k) inc[k] = memo.increments[k];
}

// The filter coefficients for a cutoff exponent, resonance and sample rate.
inline FilterCoefficients memoCoefficients(ControlMemo& memo, double exponent, float resonance, float sampleRate) {
    const uint64_t exponentBits = memoBits(exponent);
    const uint32_t resonanceBits = memoBits(resonance);
    const uint32_t sampleRateBits = memoBits(sampleRate);
    if (!memo.coefficientsHeld || memo.exponentBits != exponentBits || memo.resonanceBits != resonanceBits ||
        memo.sampleRateBits != sampleRateBits) {
        memo.coefficients = guardedCoefficientsOfExponent(exponent, resonance, sampleRate);
        memo.exponentBits = exponentBits;
        memo.resonanceBits = resonanceBits;
        memo.sampleRateBits = sampleRateBits;
        memo.coefficientsHeld = true;
    }
    return memo.coefficients;
}
