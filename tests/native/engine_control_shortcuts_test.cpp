#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "engine/control_memo.h"
#include "engine/oscillator.h"

// The exact shortcuts of the per-voice control work, each against the plain
// computation it replaces, on long random input.

namespace {

bool sameBits(float x, float y) { return std::memcmp(&x, &y, sizeof x) == 0; }

// The glide without the early stop.
float glideEveryStep(float pitch, uint8_t note, int32_t n) {
    const float target = static_cast<float>(note);
    if (pitch == target) return pitch;
    for (int32_t i = 0; i < n; ++i) pitch = pitch + (target - pitch) * kGlideCoefficient;
    return pitch;
}

}  // namespace

TEST(ControlShortcuts, GlideStopsOnlyWhereEveryLaterStepChangesNothing) {
    std::mt19937 random(3);
    std::uniform_int_distribution<int> note(0, 127), frames(0, 44);
    std::uniform_real_distribution<float> pitch(-2.0f, 130.0f), tiny(-0.01f, 0.01f);
    for (int32_t i = 0; i < 1000000; ++i) {
        const uint8_t n = static_cast<uint8_t>(note(random));
        // Half of the cases start within a hundredth of a semitone: where a
        // long glide ends up, and where the early stop happens.
        const float start = i % 2 ? pitch(random) : static_cast<float>(n) + tiny(random);
        const int32_t count = frames(random);
        const float fast = glide(start, n, count);
        ASSERT_TRUE(sameBits(fast, glideEveryStep(start, n, count))) << start << " -> " << int(n) << ", " << count;
    }
    // A glide long under way has arrived at its last float: the early stop is
    // reachable, not a branch no input takes.
    float settled = 60.0f;
    for (int32_t block = 0; block < 2000; ++block) settled = glide(settled, 72, 44);
    EXPECT_NE(settled, 72.0f);
    EXPECT_EQ(glide(settled, 72, 44), settled);
}

TEST(ControlShortcuts, MemoGivesTheFreshValuesOnRandomSequences) {
    // Inputs mostly repeat, as from one sub-block to the next; sometimes one
    // changes, to a neighbouring value, a signed zero, or something new.
    std::mt19937 random(5);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f), octaves(-1.0f, 12.0f);
    std::uniform_real_distribution<double> exponent(-12.0, 22.0);
    const float rates[] = {44100.0f, 48000.0f, 96000.0f};
    ControlMemo memo{};
    float oct = 5.0f, tune[3] = {0.5f, 0.505f, 0.5f}, resonance = 0.1f, rate = 44100.0f;
    double e = 3.0;
    for (int32_t i = 0; i < 300000; ++i) {
        const int change = static_cast<int>(random() % 12);
        if (change == 0) oct = octaves(random);
        if (change == 1) oct = std::nextafter(oct, 100.0f);
        if (change == 2) tune[random() % 3] = unit(random);
        if (change == 3) tune[random() % 3] = i % 2 ? 0.0f : -0.0f;
        if (change == 4) e = exponent(random);
        if (change == 5) e = std::nextafter(e, 100.0);
        if (change == 6) resonance = unit(random);
        if (change == 7) rate = rates[random() % 3];
        if (change == 8) oct = i % 2 ? 0.0f : -0.0f;
        float inc[3];
        memoIncrements(memo, oct, tune, inc);
        for (int k = 0; k < 3; ++k) ASSERT_TRUE(sameBits(inc[k], oscillatorIncrement(oct, tune[k]))) << i;
        const FilterCoefficients fast = memoCoefficients(memo, e, resonance, rate);
        const FilterCoefficients fresh = coefficientsOfExponent(e, resonance, rate);
        ASSERT_TRUE(sameBits(fast.b, fresh.b) && sameBits(fast.a1, fresh.a1) && sameBits(fast.a2, fresh.a2)) << i;
    }
}
