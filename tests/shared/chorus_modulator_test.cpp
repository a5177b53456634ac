#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/chorus_modulator.h"
#include "engine/delay_effect.h"

// The fast modulator must give the maths library's float for every phase.
// The whole domain, every float from 0 to 8 for sin and for cos (2181038082
// values), was checked with tools/modulator_sweep in both builds (glibc
// natively, the mingw runtime under Wine): 0 mismatches. These tests keep a
// dense share of that sweep and every phase the delay lines actually reach.
// Built into the native and the Windows test programs alike.

namespace {

uint32_t bitsOf(float x) {
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

// Counts phases whose fast value differs from the library's in any bit.
int64_t mismatches(const std::vector<float>& phases, bool cosine) {
    std::vector<float> fast(phases.size());
    modulatorDepths(phases.data(), fast.data(), static_cast<int32_t>(phases.size()), cosine);
    int64_t count = 0;
    for (size_t i = 0; i < phases.size(); ++i)
        if (bitsOf(fast[i]) != bitsOf(libraryModulatorDepth(phases[i], cosine))) ++count;
    return count;
}

}  // namespace

TEST(ChorusModulator, MatchesTheLibraryOnADenseSweepOfEveryPhase) {
    const uint32_t last = bitsOf(8.0f);
    std::vector<float> phases;
    for (uint32_t bits = 0; bits <= last; bits += 257) {   // 4.2 million phases, all binades
        float x;
        std::memcpy(&x, &bits, sizeof x);
        phases.push_back(x);
    }
    // Where the rounding is closest: next to the multiples of pi/2.
    for (float centre : {1.5707964f, 3.1415927f, 4.712389f, 6.2831855f}) {
        float x = centre;
        for (int i = 0; i < 1000; ++i) x = std::nextafter(x, 0.0f);
        for (int i = 0; i < 2000; ++i) phases.push_back(x = std::nextafter(x, 8.0f));
    }
    EXPECT_EQ(mismatches(phases, false), 0);
    EXPECT_EQ(mismatches(phases, true), 0);
}

TEST(ChorusModulator, MatchesTheLibraryOnEveryPhaseTheLinesReach) {
    // From phase 0 (a new instrument, and after every wrap) each line steps
    // through one fixed cycle per sample rate.
    for (float rate : {22050.0f, 32000.0f, 44100.0f, 48000.0f, 88200.0f, 96000.0f, 176400.0f, 192000.0f}) {
        for (int32_t line = 0; line < 2; ++line) {
            const float inc = delaySetup(line, rate).phaseIncrement;
            std::vector<float> phases;
            float phase = 0.0f;
            do {
                phases.push_back(phase);
                phase += inc;
            } while (phase <= kModulatorWrap);
            EXPECT_EQ(mismatches(phases, line == 1), 0) << rate << " Hz, line " << line;
        }
    }
}

TEST(ChorusModulator, LeavesPhasesOutsideItsRangeToTheLibrary) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> odd = {nan, -0.0f, -1.0f, 8.5f, 1e30f, std::numeric_limits<float>::infinity(), 0.0f};
    for (bool cosine : {false, true}) {
        std::vector<float> fast(odd.size());
        modulatorDepths(odd.data(), fast.data(), static_cast<int32_t>(odd.size()), cosine);
        for (size_t i = 0; i < odd.size(); ++i)
            EXPECT_EQ(bitsOf(fast[i]), bitsOf(libraryModulatorDepth(odd[i], cosine))) << odd[i];
    }
}
