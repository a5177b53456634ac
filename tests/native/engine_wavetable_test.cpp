#include <gtest/gtest.h>

#include <cmath>

#include "engine/sample_rate.h"
#include "engine/wave_shape.h"
#include "tests/native/engine_test_support.h"

using namespace engine_test;

TEST(EngineSampleRate, TableAndDelayLengths) {
    const struct {
        float rate;
        int32_t table, delay;
    } rows[] = {{22050.0f, 5393, 1323}, {32000.0f, 7827, 1920}, {44100.0f, 10787, 2646},
                {48000.0f, 11741, 2880}, {88200.0f, 21575, 5292}, {96000.0f, 23483, 5760}};
    auto plugin = makePlugin();
    for (const auto& row : rows) {
        EXPECT_EQ(wavetableLengthFor(row.rate), row.table) << row.rate;
        EXPECT_EQ(delayLineLengthFor(row.rate), row.delay) << row.rate;
        plugin->setSampleRate(row.rate);
        EXPECT_EQ(plugin->view().tableLength, row.table);
        EXPECT_EQ(plugin->view().delayLines[0].length, row.delay);
        EXPECT_EQ(plugin->view().delayLines[1].length, row.delay);
        for (const float* table : plugin->view().wavetables) EXPECT_NE(table, nullptr);
    }
}

TEST(EngineSampleRate, ChangeResetsVoicesAndLeavesWritePositions) {
    auto plugin = makePlugin();
    plugin->setParameter(Param::Chorus, 1.0f);
    noteOn(*plugin, 60);
    renderReplacing(*plugin, 2000);
    const uint32_t write = plugin->view().delayLines[0].writeIndex;
    plugin->setSampleRate(22050.0f);
    EXPECT_EQ(activeVoices(*plugin), 0);
    EXPECT_EQ(plugin->view().noteCounter, 0u);
    EXPECT_EQ(plugin->view().delayLines[0].writeIndex, write);
    ASSERT_EQ(write, 2000u);
    // Beyond the new length of 1323: the next write restarts at 0.
    renderReplacing(*plugin, 1);
    EXPECT_EQ(plugin->view().delayLines[0].writeIndex, 1u);
    EXPECT_EQ(plugin->view().delayLines[1].writeIndex, 1u);
}

TEST(EngineWaveShape, DefaultShapeIsASawtooth) {
    const int32_t n = 10787;
    for (int32_t k : {0, 1, 100, 5000, 5393, 5394, 8000, 10786}) {
        const float phase = static_cast<float>(static_cast<double>(k) / n);
        const float expected = k < n / 2.0 ? 2.0f * phase : 2.0f * phase - 2.0f;
        EXPECT_NEAR(waveShape(phase, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f), expected, 1e-5f) << k;
    }
    EXPECT_EQ(waveShape(0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f), 0.0f);
}

TEST(EngineWaveShape, SineSquareLevelAndShift) {
    for (float x : {0.0f, 0.1f, 0.25f, 0.4f, 0.6f, 0.75f, 0.9f})
        EXPECT_NEAR(waveShape(x, 1.0f, 0.0f, 0.5f, 1.0f, 0.0f), std::sin(2.0 * M_PI * x), 2e-6) << x;
    EXPECT_EQ(waveShape(0.0f, 0.0f, 1.0f, 0.3f, 1.0f, 0.0f), 0.0f);
    EXPECT_EQ(waveShape(0.2f, 0.0f, 1.0f, 0.3f, 1.0f, 0.0f), 1.0f);
    EXPECT_EQ(waveShape(0.5f, 0.0f, 1.0f, 0.3f, 1.0f, 0.0f), -1.0f);
    EXPECT_EQ(waveShape(0.8f, 0.0f, 1.0f, 0.7f, 1.0f, 0.0f), -1.0f);
    EXPECT_EQ(waveShape(0.3f, 0.4f, 0.2f, 0.6f, 0.5f, 0.1f), 0.0f);
    EXPECT_EQ(waveShape(0.3f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f), -waveShape(0.3f, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f));
    EXPECT_EQ(waveShape(0.125f, 0.0f, 0.0f, 1.0f, 1.0f, 0.25f), waveShape(0.375f, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f));
    EXPECT_EQ(waveShape(0.875f, 0.0f, 0.0f, 1.0f, 1.0f, 0.25f), waveShape(0.125f, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f));
    EXPECT_NEAR(waveShape(0.3f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f), waveShape(0.3f, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f), 1e-6f);
    EXPECT_EQ(waveShape(0.0f, 1.0f, 0.0f, 0.5f, 1.0f, 1.0f), 0.0f);
}

TEST(EngineWavetable, TuneStoreMarksTheTableAndRebuildsTheSameContents) {
    auto plugin = makePlugin();
    renderReplacing(*plugin, 1);
    std::vector<float> before(plugin->view().wavetables[0], plugin->view().wavetables[0] + plugin->view().tableLength);
    // A table of garbage in place: the rebuild writes every entry again.
    const std::vector<float> garbage(before.size(), 99.0f);
    ASSERT_TRUE(plugin->adoptWavetable(0, garbage.data(), plugin->wavetableLength()));
    plugin->setParameter(Param::Osc1Pitch, 0.7f);
    EXPECT_EQ(plugin->dueWavetables(), 1);
    renderReplacing(*plugin, 1);
    EXPECT_EQ(plugin->dueWavetables(), 0);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), plugin->view().wavetables[0]));
    plugin->setParameter(Param::Osc1On, 0.0f);
    plugin->setParameter(Param::Osc2On, 1.0f);
    EXPECT_EQ(plugin->dueWavetables(), 0);
}
