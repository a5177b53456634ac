#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "tests/native/engine_test_support.h"

using namespace engine_test;

namespace {

// A sound whose control values move every sub-block: a fast, deep cutoff LFO.
void playSweepingChord(Synth& plugin) {
    plugin.setParameter(Param::LfoRate, 1.0f);
    plugin.setParameter(Param::LfoAmount, 1.0f);
    plugin.setParameter(Param::AmpAttack, 0.0f);
    noteOn(plugin, 48, 100);
    noteOn(plugin, 55, 90);
    noteOn(plugin, 64, 80);
}

constexpr float kGarbage = 123.0f;

}  // namespace

TEST(EngineRender, HundredFramesAreSubBlocksOf44And44And12) {
    auto whole = makePlugin();
    auto pieces = makePlugin();
    auto halves = makePlugin();
    for (Synth* p : {whole.get(), pieces.get(), halves.get()}) playSweepingChord(*p);
    const Stereo a = renderInCalls(*whole, {100, 100, 100});
    const Stereo b = renderInCalls(*pieces, {44, 44, 12, 44, 44, 12, 44, 44, 12});
    const Stereo c = renderInCalls(*halves, {50, 50, 50, 50, 50, 50});
    EXPECT_EQ(a.left, b.left);
    EXPECT_EQ(a.right, b.right);
    EXPECT_NE(a.left, c.left);   // control values change only at 44-sample boundaries
    EXPECT_GT(peak(a.left), 0.0f);
}

TEST(EngineRender, ReplacingOverwritesAndProcessAdds) {
    auto replacing = makePlugin();
    auto adding = makePlugin();
    playSweepingChord(*replacing);
    playSweepingChord(*adding);
    for (int call = 0; call < 4; ++call) {
        const Stereo r = renderReplacing(*replacing, 300);
        std::vector<float> left(300, 0.25f), right(300, -0.5f);
        float* outputs[2] = {left.data(), right.data()};
        adding->process(outputs, 300);
        for (int i = 0; i < 300; ++i) {
            ASSERT_EQ(left[i], 0.25f + r.left[i]) << i;
            ASSERT_EQ(right[i], -0.5f + r.right[i]) << i;
        }
    }
}

TEST(EngineRender, SilenceWithoutVoicesAndEffect) {
    auto plugin = makePlugin();
    plugin->setParameter(Param::Chorus, 0.0f);
    std::vector<float> left(777, kGarbage), right(777, kGarbage);
    float* outputs[2] = {left.data(), right.data()};
    plugin->process(outputs, 777);
    for (float x : left) ASSERT_EQ(x, kGarbage);
    plugin->processReplacing(outputs, 777);
    EXPECT_TRUE(allZero(left));
    EXPECT_TRUE(allZero(right));
}

TEST(EngineRender, CentredBalanceGivesIdenticalHalves) {
    auto plugin = makePlugin();
    plugin->setParameter(Param::Chorus, 0.0f);
    noteOn(*plugin, 60);
    const Stereo out = renderReplacing(*plugin, 1000);
    EXPECT_EQ(out.left, out.right);
    EXPECT_GT(peak(out.left), 0.0f);
}

TEST(EngineRender, EffectKeepsSoundingAfterTheVoicesStop) {
    auto plugin = makePlugin();
    plugin->setParameter(Param::Chorus, 1.0f);
    plugin->setParameter(Param::AmpAttack, 0.0f);
    noteOn(*plugin, 60);
    renderReplacing(*plugin, 2000);
    plugin->setParameter(Param::Polyphony, 1.0f);   // stops every voice, keeps the lines
    ASSERT_EQ(activeVoices(*plugin), 0);
    const Stereo tail = renderReplacing(*plugin, 2000);
    EXPECT_GT(peak(tail.left), 0.0f);
    EXPECT_GT(peak(tail.right), 0.0f);
    EXPECT_NE(tail.left, tail.right);
}

TEST(EngineRender, OneNullOutputReceivesBothChannels) {
    for (bool leftMissing : {true, false}) {
        auto reference = makePlugin();
        auto single = makePlugin();
        for (Synth* p : {reference.get(), single.get()}) {
            midi(*p, 0xB0, 10, 40);   // off-centre balance
            playSweepingChord(*p);
        }
        const Stereo r = renderReplacing(*reference, 500);
        std::vector<float> buffer(500, kGarbage);
        float* outputs[2] = {leftMissing ? nullptr : buffer.data(), leftMissing ? buffer.data() : nullptr};
        single->processReplacing(outputs, 500);
        EXPECT_EQ(buffer, r.right);   // the right sample is written after the left

        const Stereo r2 = renderReplacing(*reference, 500);
        std::vector<float> sum(500, 0.125f);
        outputs[leftMissing ? 1 : 0] = sum.data();
        single->process(outputs, 500);
        for (int i = 0; i < 500; ++i) ASSERT_EQ(sum[i], (0.125f + r2.left[i]) + r2.right[i]) << i;
    }
}

TEST(EngineRender, NoOutputsReturnBeforeTheRebuild) {
    auto plugin = makePlugin();
    plugin->setParameter(Param::Osc1Level, 0.5f);
    float* none[2] = {nullptr, nullptr};
    plugin->processReplacing(none, 64);
    plugin->process(none, 64);
    plugin->processReplacing(nullptr, 64);
    EXPECT_NE(plugin->dueWavetables() & 1, 0);
}

TEST(EngineRender, ShapeChangeRebuildsAtTheNextCallEvenWithoutFrames) {
    auto plugin = makePlugin();
    renderReplacing(*plugin, 16);
    ASSERT_EQ(plugin->dueWavetables(), 0);
    plugin->setParameter(Param::Osc2Level, 0.5f);   // silences the shape: a table of zeros
    EXPECT_EQ(plugin->dueWavetables(), 2);
    float* outputs[2] = {nullptr, nullptr};
    std::vector<float> l(4), r(4);
    outputs[0] = l.data();
    outputs[1] = r.data();
    plugin->processReplacing(outputs, 0);
    EXPECT_EQ(plugin->dueWavetables(), 0);
    for (int32_t k = 0; k < plugin->view().tableLength; ++k) ASSERT_EQ(plugin->view().wavetables[1][k], 0.0f) << k;
    bool nonzero = false;
    for (int32_t k = 0; k < plugin->view().tableLength; ++k) nonzero |= plugin->view().wavetables[0][k] != 0.0f;
    EXPECT_TRUE(nonzero);

    plugin->setParameter(Param::Osc3Level, 0.5f);
    plugin->process(outputs, -7);
    EXPECT_EQ(plugin->dueWavetables(), 0);
    EXPECT_EQ(plugin->view().wavetables[2][plugin->view().tableLength / 3], 0.0f);
}

TEST(EngineRender, VoiceFreesItselfAndOutputReturnsToExactZero) {
    auto plugin = makePlugin();
    plugin->setParameter(Param::Chorus, 0.0f);
    plugin->setParameter(Param::AmpRelease, 0.3f);
    noteOn(*plugin, 57, 100);
    EXPECT_GT(peak(renderReplacing(*plugin, 4096).left), 0.0f);
    noteOff(*plugin, 57);
    int32_t calls = 0;
    while (plugin->view().voices[0].active && calls < 100) {
        renderReplacing(*plugin, 512);
        ++calls;
    }
    EXPECT_EQ(plugin->view().voices[0].active, 0);
    EXPECT_LE(calls, 8);   // about 3433 samples of release, rounded up to sub-blocks
    const Stereo after = renderReplacing(*plugin, 512);
    EXPECT_TRUE(allZero(after.left));
    EXPECT_TRUE(allZero(after.right));
}

TEST(EngineRender, BusyGateOrMissingTablesPlaySilenceAndKeepFlags) {
    auto plugin = makePlugin();
    noteOn(*plugin, 60);
    renderReplacing(*plugin, 64);
    plugin->setParameter(Param::Osc1Shift, 0.3f);
    const Voice before = plugin->view().voices[0];

    {
        // A MIDI delivery holds the gate: the render cannot enter.
        Instrument::MidiDelivery busy(*plugin);
        std::vector<float> left(100, kGarbage), right(100, kGarbage);
        float* outputs[2] = {left.data(), right.data()};
        plugin->process(outputs, 100);
        for (float x : left) ASSERT_EQ(x, kGarbage);
        plugin->processReplacing(outputs, 100);
        EXPECT_TRUE(allZero(left));
        EXPECT_TRUE(allZero(right));
    }
    EXPECT_EQ(plugin->dueWavetables(), 1);
    EXPECT_EQ(plugin->view().voices[0].ampProgress, before.ampProgress);

    // A rate without tables plays silence and keeps the table due.
    plugin->setSampleRate(0.0f);
    std::vector<float> left(100, kGarbage), right(100, kGarbage);
    float* outputs[2] = {left.data(), right.data()};
    noteOn(*plugin, 60);
    plugin->processReplacing(outputs, 100);
    EXPECT_TRUE(allZero(left));
    EXPECT_EQ(plugin->dueWavetables(), 1);
    plugin->setSampleRate(44100.0f);
    noteOn(*plugin, 60);
    EXPECT_GT(peak(renderReplacing(*plugin, 512).left), 0.0f);
    EXPECT_EQ(plugin->dueWavetables(), 0);
}

TEST(EngineRender, FiniteAtEveryRateAndBlockSize) {
    const float rates[] = {22050.0f, 32000.0f, 44100.0f, 48000.0f, 88200.0f, 96000.0f, 176400.0f, 192000.0f};
    const int32_t sizes[] = {1, 2, 3, 7, 43, 44, 45, 64, 99, 100, 333, 512, 1000, 1023, 4096};
    auto plugin = makePlugin();
    for (float rate : rates) {
        plugin->setSampleRate(rate);
        for (int32_t program : {0, 7, 21}) {
            plugin->selectProgram(program);
            midi(*plugin, 0xE0, 0x7F, 0x7F);
            for (uint8_t note : {0, 36, 60, 61, 84, 127}) noteOn(*plugin, note, 127);
            float loudest = 0.0f;
            for (int32_t n : sizes) {
                const Stereo out = renderReplacing(*plugin, n);
                ASSERT_TRUE(allFinite(out.left) && allFinite(out.right)) << rate << " " << program << " " << n;
                loudest = std::fmax(loudest, peak(out.left));
            }
            EXPECT_GT(loudest, 0.0f) << rate << " " << program;
            for (uint8_t note : {0, 36, 60, 61, 84, 127}) noteOff(*plugin, note);
            for (int32_t n : sizes) {
                const Stereo out = renderReplacing(*plugin, n);
                ASSERT_TRUE(allFinite(out.left) && allFinite(out.right)) << rate << " " << program << " " << n;
            }
        }
    }
}

TEST(EngineRender, AbsurdRatesStaySilentAndRecover) {
    auto plugin = makePlugin();
    const float rates[] = {0.0f, -1.0f, NAN, 10.0f, 1e12f, INFINITY, -INFINITY};
    for (float rate : rates) {
        plugin->setSampleRate(rate);
        noteOn(*plugin, 60);
        std::vector<float> left(300, kGarbage), right(300, kGarbage);
        float* outputs[2] = {left.data(), right.data()};
        plugin->process(outputs, 300);
        for (float x : left) ASSERT_EQ(x, kGarbage) << rate;
        plugin->processReplacing(outputs, 300);
        EXPECT_TRUE(allZero(left)) << rate;
        EXPECT_TRUE(allZero(right)) << rate;

        plugin->setSampleRate(44100.0f);
        noteOn(*plugin, 60);
        const Stereo out = renderReplacing(*plugin, 2048);
        EXPECT_TRUE(allFinite(out.left)) << rate;
        EXPECT_GT(peak(out.left), 0.0f) << rate;
    }
}

TEST(EngineRender, AbsurdProgramValuesNeitherHangNorCrash) {
    auto plugin = makePlugin();
    for (float value : {NAN, INFINITY, -INFINITY, 1e30f, -1e30f, -5.0f, 5.0f}) {
        plugin->selectProgram(3);
        for (int32_t p = 0; p < kNumParameters; ++p) plugin->setParameter(p, value);
        for (uint8_t note : {0, 60, 127}) noteOn(*plugin, note, 127);
        midi(*plugin, 0xE0, 0x7F, 0x7F);
        renderInCalls(*plugin, {1, 44, 100, 513});
        noteOff(*plugin, 60);
        renderInCalls(*plugin, {300});
    }
    plugin->selectProgram(4);
    midi(*plugin, 0xE0, 0x00, 0x40);
    noteOn(*plugin, 60);
    const Stereo out = renderReplacing(*plugin, 4096);
    EXPECT_TRUE(allFinite(out.left));
    EXPECT_GT(peak(out.left), 0.0f);
}

TEST(EngineRender, ProgramChangeSilencesAtOnce) {
    auto plugin = makePlugin();
    playSweepingChord(*plugin);
    renderReplacing(*plugin, 4000);
    plugin->selectProgram(5);
    const Stereo out = renderReplacing(*plugin, 4000);
    EXPECT_TRUE(allZero(out.left));
    EXPECT_TRUE(allZero(out.right));
}
