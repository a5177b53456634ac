#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/cutoff_lfo.h"
#include "engine/flush.h"
#include "engine/voice_filter.h"
#include "tests/native/engine_test_support.h"

using namespace engine_test;

TEST(EngineFlush, ZerosAndSubnormalsBecomePositiveZero) {
    EXPECT_EQ(std::signbit(flush(-0.0f)), false);
    EXPECT_EQ(flush(1e-40f), 0.0f);
    EXPECT_EQ(flush(-1e-40f), 0.0f);
    EXPECT_FALSE(std::signbit(flush(-1e-40f)));
    EXPECT_EQ(flush(1.17549435e-38f), 1.17549435e-38f);   // smallest normal stays
    EXPECT_EQ(flush(-3.5f), -3.5f);
    EXPECT_TRUE(std::isinf(flush(INFINITY)));
    EXPECT_TRUE(std::isnan(flush(NAN)));
}

// The worked values at 44100 Hz with no sweep and no envelope, to every digit given.
TEST(EngineFilterCoefficients, WorkedTable) {
    const struct {
        float cutoff, resonance;
        double fc, w, w_tol;
        double b, b_tol, a1, a2;
    } rows[] = {
        {0.5f, 0.0f, 640.0, 0.091138, 5e-7, 0.0019848, 5e-8, -1.825552, 0.833160},
        {0.5f, 1.0f, 640.0, 0.091138, 5e-7, 0.0020673, 5e-8, -1.976708, 0.984945},
        {1.0f, 0.0f, 20480.0, 2.916426, 5e-7, 0.888222, 5e-7, 1.593693, 0.634964},
        {0.0f, 0.0f, 20.0, 0.002848, 5e-7, 0.0000020250, 5e-11, -1.994312, 0.994320},
    };
    for (const auto& r : rows) {
        const double fc = cutoffFrequency(r.cutoff, 0.5f, 0.0f, 0.0f);
        EXPECT_NEAR(fc, r.fc, 1e-9 * r.fc) << r.cutoff;
        const double w = cutoffAngle(fc, 44100.0f);
        EXPECT_NEAR(w, r.w, r.w_tol) << r.cutoff;
        // Worked in double: every digit of the table.
        const ExactCoefficients exact = exactSectionCoefficients(w, r.resonance);
        EXPECT_NEAR(exact.b, r.b, r.b_tol) << r.cutoff << " " << r.resonance;
        EXPECT_NEAR(exact.a1, r.a1, 5e-7) << r.cutoff << " " << r.resonance;
        EXPECT_NEAR(exact.a2, r.a2, 5e-7) << r.cutoff << " " << r.resonance;
        // The sections get the nearest floats.
        const FilterCoefficients k = filterCoefficients(r.cutoff, r.resonance, 0.5f, 0.0f, 0.0f, 44100.0f);
        EXPECT_EQ(k.b, static_cast<float>(exact.b));
        EXPECT_EQ(k.a1, static_cast<float>(exact.a1));
        EXPECT_EQ(k.a2, static_cast<float>(exact.a2));
    }
}

TEST(EngineFilterCoefficients, CutoffHeldAtTwentyHertzAndThreeRadians) {
    EXPECT_EQ(cutoffFrequency(0.0f, 0.5f, 0.0f, 0.0f), 20.0);
    EXPECT_EQ(cutoffFrequency(0.3f, 0.5f, 0.0f, -10.0f), 20.0);
    // 20480 Hz at 32000 Hz would be 4.019 radians.
    EXPECT_NEAR(20480.0 / 32000.0 * 6.28, 4.019, 0.0005);
    EXPECT_EQ(cutoffAngle(cutoffFrequency(1.0f, 0.5f, 0.0f, 0.0f), 32000.0f), 3.0);
}

TEST(EngineFilterCoefficients, LfoAmountSweepsBothWays) {
    const double base = cutoffFrequency(0.5f, 0.5f, 0.0f, 0.0f);
    EXPECT_NEAR(cutoffFrequency(0.5f, 1.0f, 0.0f, 0.0f) / base, 4.0, 1e-9);
    EXPECT_NEAR(cutoffFrequency(0.5f, 0.0f, 0.0f, 0.0f) / base, 0.25, 1e-9);
    EXPECT_NEAR(cutoffFrequency(0.5f, 1.0f, 3.14159265f, 0.0f) / base, 0.25, 1e-6);
    EXPECT_NEAR(cutoffFrequency(0.5f, 0.5f, 0.0f, 2.0f) / base, 4.0, 1e-9);
}

TEST(EngineFilterCoefficients, TinyCoefficientsAreFlushed) {
    // At 20 Hz and a very high rate b falls below the normal range.
    const FilterCoefficients k = sectionCoefficients(1e-23, 0.0f);
    EXPECT_EQ(k.b, 0.0f);
    EXPECT_FALSE(std::signbit(k.b));
}

TEST(EngineFilterSection, DifferenceEquationAndHistory) {
    const FilterCoefficients k{0.25f, -0.5f, 0.125f};
    FilterSection s{1.0f, 2.0f, 3.0f, 4.0f};
    const float y = filterSample(s, k, 0.5f);
    // 0.25 * (0.5 + 4 + 1) + 0.5 * 4 - 0.125 * 3
    EXPECT_EQ(y, 0.25f * 5.5f + 2.0f - 0.375f);
    EXPECT_EQ(s.in2, 2.0f);
    EXPECT_EQ(s.in1, 0.5f);
    EXPECT_EQ(s.out2, 4.0f);
    EXPECT_EQ(s.out1, y);
}

TEST(EngineFilterSection, DecayFlushesToExactZero) {
    const FilterCoefficients k = filterCoefficients(0.5f, 0.0f, 0.5f, 0.0f, 0.0f, 44100.0f);
    FilterSection s{0.0f, 0.0f, 0.0f, 0.0f};
    filterSample(s, k, 1.0f);
    float y = 1.0f;
    for (int i = 0; i < 200000 && y != 0.0f; ++i) y = filterSample(s, k, 0.0f);
    EXPECT_EQ(y, 0.0f);
    uint32_t bits;
    std::memcpy(&bits, &s.out1, sizeof bits);
    EXPECT_EQ(bits, 0u);
}

TEST(EngineFilterSection, GainAtZeroHertzIsNotNormalised) {
    // Q = 1 at 640 Hz: 2(Q + s) / (2Q + s), about 1.044.
    const FilterCoefficients k = filterCoefficients(0.5f, 0.0f, 0.5f, 0.0f, 0.0f, 44100.0f);
    FilterSection s{0.0f, 0.0f, 0.0f, 0.0f};
    float y = 0.0f;
    for (int i = 0; i < 20000; ++i) y = filterSample(s, k, 1.0f);
    EXPECT_NEAR(y, 1.044f, 0.001f);
}

TEST(EngineCutoffLfo, AdvancesAfterWrapping) {
    EXPECT_EQ(advanceCutoffLfo(0.0f, 44, 44100.0f, 1.0f), 44.0f / 44100.0f * 1.0f * 10.0f);
    // Wrapped before the advance, so a stored phase may exceed 2 pi by one advance.
    const float nearTop = 6.28f;
    EXPECT_GT(advanceCutoffLfo(nearTop, 44, 44100.0f, 1.0f), 6.283185f);
    const float above = 6.3f;
    EXPECT_EQ(advanceCutoffLfo(above, 44, 44100.0f, 0.0f), 6.3f - 6.283185f);
    EXPECT_EQ(advanceCutoffLfo(20.0f, 1, 44100.0f, 0.0f), (20.0f - 6.283185f) - 6.283185f - 6.283185f);
    // LfoRate 0 freezes the phase.
    EXPECT_EQ(advanceCutoffLfo(1.25f, 44, 44100.0f, 0.0f), 1.25f);
}

TEST(EngineCutoffLfo, AbsurdPhasesAndRatesTerminate) {
    EXPECT_EQ(advanceCutoffLfo(INFINITY, 44, 44100.0f, 0.0f), 0.0f);
    EXPECT_EQ(advanceCutoffLfo(NAN, 44, 44100.0f, 0.0f), 0.0f);
    const float folded = advanceCutoffLfo(1e30f, 44, 44100.0f, 0.0f);
    EXPECT_TRUE(folded >= 0.0f && folded <= 6.283185f);
    const float big = advanceCutoffLfo(0.0f, 44, 44100.0f, 1e30f);
    EXPECT_TRUE(std::isfinite(big));
    const float wrapped = advanceCutoffLfo(big, 44, 44100.0f, 0.0f);
    EXPECT_TRUE(wrapped >= 0.0f && wrapped <= 6.283185f);
}

TEST(EngineCutoffLfo, RenderAdvancesOncePerSubBlock) {
    auto plugin = makePlugin();
    plugin->setParameter(Param::LfoRate, 0.7f);
    plugin->restartModulators();
    renderReplacing(*plugin, 100);
    float expected = 0.0f;
    for (int32_t n : {44, 44, 12}) expected = advanceCutoffLfo(expected, n, 44100.0f, 0.7f);
    EXPECT_EQ(plugin->view().cutoffLfoPhase, expected);

    // An absurd rate stored mid-way neither hangs nor poisons the phase for good.
    plugin->setParameter(Param::LfoRate, INFINITY);
    renderReplacing(*plugin, 88);
    plugin->setParameter(Param::LfoRate, 0.1f);
    renderReplacing(*plugin, 88);
    EXPECT_TRUE(std::isfinite(plugin->view().cutoffLfoPhase));
}
