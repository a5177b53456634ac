#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>

#include "engine/guarded_filter_coefficients.h"

// The guarded coefficients must be the library chain's floats in every bit.
// Built into the native and the Windows test programs alike, since both
// chains rest on that build's maths library.

namespace {

bool sameBits(const FilterCoefficients& x, const FilterCoefficients& y) {
    return std::memcmp(&x.b, &y.b, sizeof(float)) == 0 && std::memcmp(&x.a1, &y.a1, sizeof(float)) == 0 &&
           std::memcmp(&x.a2, &y.a2, sizeof(float)) == 0;
}

}  // namespace

TEST(GuardedFilterCoefficients, MatchTheLibraryChainOnRandomVoices) {
    // Exponents as voices reach them: cutoff 0..10 octaves, LFO +-2, filter
    // envelope +-10; any resonance; the common rates.
    std::mt19937 random(7);
    std::uniform_real_distribution<double> exponent(-14.0, 24.0);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const float rates[] = {22050.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f};
    int32_t differing = 0;
    for (int32_t i = 0; i < 400000; ++i) {
        const double e = exponent(random);
        const float resonance = i % 7 == 0 ? 0.0f : unit(random);
        const float rate = rates[i % 5];
        differing += !sameBits(guardedCoefficientsOfExponent(e, resonance, rate), coefficientsOfExponent(e, resonance, rate));
    }
    EXPECT_EQ(differing, 0);
}

TEST(GuardedFilterCoefficients, MatchTheLibraryChainWhereRoundingIsClosest) {
    // Around the lowest cutoff, the clamp at 3.0, w = pi/2 (a1 = 0) and the
    // point where a2 = 0 (s = q), densely.
    int32_t differing = 0;
    for (float rate : {44100.0f, 32000.0f, 192000.0f}) {
        for (double centre : {0.0, std::log2(3.0 / 6.28 * rate / 20.0), std::log2(1.5707963267948966 / 6.28 * rate / 20.0)}) {
            for (int32_t i = -5000; i <= 5000; ++i) {
                const double e = centre + i * 4e-9;
                for (float resonance : {0.0f, 0.5f, 1.0f})
                    differing += !sameBits(guardedCoefficientsOfExponent(e, resonance, rate),
                                           coefficientsOfExponent(e, resonance, rate));
            }
        }
    }
    EXPECT_EQ(differing, 0);
}

TEST(GuardedFilterCoefficients, MatchTheLibraryChainOnValuesNoVoiceReaches) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double e : {nan, inf, -inf, 61.0, -61.0, 1000.0, -1e-300, 0.0})
        for (float resonance : {-1.0f / 11.0f, -2.0f, 1e30f, 0.0f, std::numeric_limits<float>::quiet_NaN()})
            EXPECT_TRUE(sameBits(guardedCoefficientsOfExponent(e, resonance, 44100.0f),
                                 coefficientsOfExponent(e, resonance, 44100.0f)))
                << e << " " << resonance;
}
