#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/oscillator.h"
#include "tests/native/engine_test_support.h"

using namespace engine_test;

TEST(EngineOscillatorIncrement, NoteSixtyAtCentreTunePlaysThirtyTwoSteps) {
    const float o = pitchOctaves(60.0f, 0.0f);
    EXPECT_EQ(o, 5.0f);   // 60 * 0.0833333358 rounds to 5.0
    EXPECT_EQ(oscillatorIncrement(o, 0.5f), 32.0f);
    // 32 steps of a 10787-entry table per sample at 44100 Hz: about 130.82 Hz.
    EXPECT_NEAR(32.0 * 44100.0 / 10787.0, 130.82, 0.005);
}

TEST(EngineOscillatorIncrement, NothingPlaysBelowOneStep) {
    EXPECT_EQ(oscillatorIncrement(pitchOctaves(0.0f, 0.0f), 0.0f), 1.0f);    // e = -1
    EXPECT_EQ(oscillatorIncrement(pitchOctaves(0.0f, -2.0f), 0.5f), 1.0f);
    EXPECT_EQ(oscillatorIncrement(pitchOctaves(12.0f, 0.0f), 0.5f), 2.0f);
}

TEST(EngineOscillatorIncrement, HighestNoteWithBendAndTune) {
    const float inc = oscillatorIncrement(pitchOctaves(127.0f, 2.0f), 1.0f);   // e = 11.75
    EXPECT_NEAR(inc, 3444.3f, 0.05f);
}

TEST(EngineOscillatorIncrement, NoteSixtyNineSoundsTwoHundredTwentyHertz) {
    const float inc = oscillatorIncrement(pitchOctaves(69.0f, 0.0f), 0.5f);
    EXPECT_NEAR(inc * 44100.0 / 10787.0, 220.02, 0.005);
}

TEST(EngineOscillatorIncrement, TuneSpansAnOctaveEachWay) {
    const float o = pitchOctaves(60.0f, 0.0f);
    EXPECT_EQ(oscillatorIncrement(o, 1.0f), 64.0f);
    EXPECT_EQ(oscillatorIncrement(o, 0.0f), 16.0f);
    // Osc2Pitch's default 0.505 sits 0.12 semitone above 0.5.
    const double ratio = oscillatorIncrement(o, 0.505f) / 32.0;
    EXPECT_NEAR(12.0 * std::log2(ratio), 0.12, 1e-4);
}

TEST(EngineOscillatorIncrement, AbsurdTunesGiveFiniteIncrements) {
    const float o = pitchOctaves(60.0f, 0.0f);
    EXPECT_EQ(oscillatorIncrement(o, NAN), 1.0f);
    EXPECT_EQ(oscillatorIncrement(o, INFINITY), kMaxIncrement);
    EXPECT_EQ(oscillatorIncrement(o, -INFINITY), 1.0f);
    EXPECT_EQ(oscillatorIncrement(o, 1e30f), kMaxIncrement);
    EXPECT_EQ(oscillatorIncrement(o, -1e30f), 1.0f);
}

TEST(EngineGlide, OneSubBlockClosesAboutEightPercent) {
    const float pitch = glide(60.0f, 72, 44);
    EXPECT_NEAR(72.0f - pitch, 10.99f, 0.005f);
    EXPECT_NEAR((pitch - 60.0f) / 12.0f, 1.0 - std::pow(0.998, 44), 1e-5);
    EXPECT_EQ(glide(60.0f, 60, 44), 60.0f);
    EXPECT_EQ(glide(60.0f, 72, 0), 60.0f);
}

TEST(EngineGlide, StepsOneSampleAtATime) {
    float expected = 50.0f;
    for (int i = 0; i < 12; ++i) expected = expected + (40.0f - expected) * 0.002f;
    EXPECT_EQ(glide(50.0f, 40, 12), expected);
}

namespace {

std::vector<int32_t> readPositions(float inc, int32_t count, int32_t tableLength = 100) {
    std::vector<float> table(tableLength);
    for (int32_t k = 0; k < tableLength; ++k) table[k] = static_cast<float>(k);
    OscillatorState osc{0.0f, 0};
    std::vector<int32_t> reads;
    for (int32_t i = 0; i < count; ++i)
        reads.push_back(static_cast<int32_t>(nextOscillatorValue(osc, table.data(), tableLength, inc)));
    return reads;
}

}  // namespace

TEST(EngineOscillatorRead, FirstTwoReadsAreEntryZero) {
    EXPECT_EQ(readPositions(1.0f, 6), (std::vector<int32_t>{0, 0, 1, 2, 3, 4}));
    EXPECT_EQ(readPositions(32.0f, 4), (std::vector<int32_t>{0, 0, 32, 64}));
    EXPECT_EQ(readPositions(1.5f, 6), (std::vector<int32_t>{0, 0, 1, 3, 4, 6}));
}

TEST(EngineOscillatorRead, WrapsByWholeTableLengths) {
    // 250 steps over a 100-entry table: positions 0, 0, 50, 0, 50 ...
    EXPECT_EQ(readPositions(250.0f, 5), (std::vector<int32_t>{0, 0, 50, 0, 50}));
    // A step longer than many periods, and the largest step of all.
    EXPECT_EQ(readPositions(1e6f + 7.0f, 4), (std::vector<int32_t>{0, 0, 7, 14}));
    const std::vector<int32_t> far = readPositions(kMaxIncrement, 50, 3);
    for (int32_t p : far) EXPECT_TRUE(p >= 0 && p < 3);
}

TEST(EngineOscillatorRead, PositionBeyondAShrunkenTableIsBroughtBack) {
    std::vector<float> table(10);
    for (int k = 0; k < 10; ++k) table[k] = static_cast<float>(k);
    OscillatorState osc{0.0f, 23};
    EXPECT_EQ(nextOscillatorValue(osc, table.data(), 10, 1.0f), 3.0f);
}

TEST(EngineOscillatorRender, DisabledOscillatorsFreezeAndAllOffIsSilent) {
    auto plugin = makePlugin();
    for (int32_t p : {Param::Osc1On, Param::Osc2On, Param::Osc3On}) plugin->setParameter(p, 0.0f);
    plugin->setParameter(Param::Chorus, 0.0f);
    noteOn(*plugin, 60);
    const Stereo out = renderReplacing(*plugin, 300);
    EXPECT_TRUE(allZero(out.left));
    EXPECT_EQ(plugin->view().voices[0].osc1Pos, 0);
    EXPECT_EQ(plugin->view().voices[0].osc2Advance, 0.0f);

    plugin->setParameter(Param::Osc2On, 1.0f);
    renderReplacing(*plugin, 44);
    EXPECT_GT(plugin->view().voices[0].osc2Pos, 0);
    EXPECT_EQ(plugin->view().voices[0].osc1Pos, 0);
    EXPECT_EQ(plugin->view().voices[0].osc3Pos, 0);
}

TEST(EngineOscillatorRender, IncrementsUsePitchFromBeforeTheGlide) {
    auto plugin = makePlugin();
    plugin->setParameter(Param::Polyphony, 0.0f);
    plugin->setParameter(Param::Osc1Pitch, 0.5f);
    noteOn(*plugin, 60);
    renderReplacing(*plugin, 44);
    noteOn(*plugin, 72);   // steal: pitch stays 60 and glides
    const Voice before = plugin->view().voices[0];
    renderReplacing(*plugin, 44);
    // Oscillator 1 ran this sub-block at 32 steps (pitch 60), not faster.
    const float advance = before.osc1Advance;
    int32_t position = before.osc1Pos;
    OscillatorState osc{advance, position};
    std::vector<float> table(plugin->view().tableLength + 1, 0.0f);
    for (int i = 0; i < 44; ++i) nextOscillatorValue(osc, table.data(), plugin->view().tableLength, 32.0f);
    EXPECT_EQ(plugin->view().voices[0].osc1Pos, osc.position);
    EXPECT_EQ(plugin->view().voices[0].osc1Advance, osc.advance);
}
