#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "engine/delay_effect.h"
#include "engine/exact_float_math.h"

// The fast sines and powers must give the maths library's float in every bit.
// Whole ranges were checked with tools/float_math_sweep in both builds (glibc
// natively, the mingw runtime under Wine), with 0 mismatches: sin and cos of
// every float 0..8 (2181038082 values), pow(b, 0.6) and pow(b, 1.4) for
// every float b in (0, 1] (1065353216 values each), and 2^e for every float e
// in -16..16 (2164260865 values). These tests keep a dense
// share of those sweeps, every phase the chorus reaches, and the arguments the
// fast paths must leave to the library. Built into the native and the
// Windows test programs alike.

namespace {

uint32_t bitsOf(float x) { return std::bit_cast<uint32_t>(x); }
float fromBits(uint32_t bits) { return std::bit_cast<float>(bits); }

int64_t sineMismatches(const std::vector<float>& x, bool cosine) {
    std::vector<float> fast(x.size());
    sinesToFloat(x.data(), fast.data(), static_cast<int32_t>(x.size()), cosine);
    int64_t count = 0;
    for (size_t i = 0; i < x.size(); ++i) count += bitsOf(fast[i]) != bitsOf(librarySine(x[i], cosine));
    return count;
}

int64_t powerMismatches(const std::vector<float>& bases, const std::vector<float>& exponents) {
    std::vector<float> fast(bases.size());
    powersToFloat(bases.data(), exponents.data(), fast.data(), static_cast<int32_t>(bases.size()));
    int64_t count = 0;
    for (size_t i = 0; i < bases.size(); ++i)
        count += bitsOf(fast[i]) != bitsOf(libraryPower(bases[i], exponents[i]));
    return count;
}

}  // namespace

TEST(ExactFloatMath, SinesMatchTheLibraryOnADenseSweep) {
    std::vector<float> x;
    for (uint32_t bits = 0; bits <= bitsOf(8.0f); bits += 1021) x.push_back(fromBits(bits));   // 1.07 million
    // Where the rounding is closest: next to the multiples of pi/2.
    for (float centre : {1.5707964f, 3.1415927f, 4.712389f, 6.2831855f}) {
        float v = centre;
        for (int i = 0; i < 1000; ++i) v = std::nextafter(v, 0.0f);
        for (int i = 0; i < 2000; ++i) x.push_back(v = std::nextafter(v, 8.0f));
    }
    EXPECT_EQ(sineMismatches(x, false), 0);
    EXPECT_EQ(sineMismatches(x, true), 0);
}

TEST(ExactFloatMath, SinesMatchTheLibraryOnEveryPhaseTheChorusReaches) {
    // From phase 0 (a new instrument, and after every wrap) each delay line's
    // modulator steps through one fixed cycle per sample rate.
    for (float rate : {22050.0f, 32000.0f, 44100.0f, 48000.0f, 88200.0f, 96000.0f, 176400.0f, 192000.0f}) {
        for (int32_t line = 0; line < 2; ++line) {
            const float inc = delaySetup(line, rate).phaseIncrement;
            std::vector<float> phases;
            for (float phase = 0.0f; phase <= kModulatorWrap; phase += inc) phases.push_back(phase);
            EXPECT_EQ(sineMismatches(phases, line == 1), 0) << rate << " Hz, line " << line;
        }
    }
}

TEST(ExactFloatMath, PowersMatchTheLibraryOnADenseSweep) {
    // Wavetable shapes raise bases in 0..1 to exponents in 0..2.
    std::vector<float> bases, exponents;
    for (float exponent : {0.6f, 1.4f, 0.02f, 1.98f, 0.5f, 2.0f, 1.5f, 0.123456f, 1.0f / 3.0f}) {
        for (uint32_t bits = 1; bits <= bitsOf(1.0f); bits += 16411) {
            bases.push_back(fromBits(bits));
            exponents.push_back(exponent);
        }
    }
    EXPECT_EQ(powerMismatches(bases, exponents), 0);
}

TEST(ExactFloatMath, PowersOfTwoMatchTheLibraryForOscillatorExponents) {
    // Increments are 2^e for e = 2 (tune - 0.5) + octaves: -3..13 in use.
    std::vector<float> bases, exponents;
    for (uint32_t bits = 0; bits <= bitsOf(16.0f); bits += 4093) {
        for (float sign : {1.0f, -1.0f}) {
            bases.push_back(2.0f);
            exponents.push_back(sign * fromBits(bits));
        }
    }
    EXPECT_EQ(powerMismatches(bases, exponents), 0);
}

TEST(ExactFloatMath, LeavesArgumentsOutsideTheProvenRangesToTheLibrary) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> odd = {nan, -0.0f, -1.0f, 8.5f, 1e30f, inf, 0.0f, -inf, 1e-40f};
    for (bool cosine : {false, true}) EXPECT_EQ(sineMismatches(odd, cosine), 0);
    // Exactly representable powers sit on no rounding boundary; 1 + 2^-12
    // squared sits exactly on one and must come from the library.
    std::vector<float> bases, exponents;
    for (float b : {0.0f, -0.0f, -0.5f, 1.0f, 0.25f, 1.000244140625f, 3e38f, nan, inf, 1e-45f, 0.5f})
        for (float e : {0.0f, 1.0f, 2.0f, 0.5f, -1.0f, 100.0f, nan, -inf, 1e-40f}) {
            bases.push_back(b);
            exponents.push_back(e);
        }
    EXPECT_EQ(powerMismatches(bases, exponents), 0);
}
