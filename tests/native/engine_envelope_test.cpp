#include <gtest/gtest.h>

#include <cmath>

#include "engine/envelope.h"
#include "tests/native/engine_test_support.h"

using namespace engine_test;

namespace {

// Samples until a progress value run with coefficient r passes the threshold.
int32_t samplesToPass(float r, float threshold) {
    EnvelopeState env{0.0f, 0.0f};
    int32_t n = 0;
    while (env.progress <= threshold) {
        advanceEnvelope(env, {r, 1.0f});
        ++n;
    }
    return n;
}

}  // namespace

TEST(EngineEnvelopeRate, TableValues) {
    EXPECT_NEAR(envelopeRate(0.0f), 0.01001f, 5e-9f);
    EXPECT_NEAR(envelopeRate(0.1f), 0.0059149f, 5e-8f);
    EXPECT_NEAR(envelopeRate(0.3f), 0.0016907f, 5e-8f);
    EXPECT_NEAR(envelopeRate(0.5f), 0.0003225f, 5e-8f);
    EXPECT_EQ(envelopeRate(1.0f), 0.00001f);
    EXPECT_EQ(envelopeRate(1.5f), 0.00001f);   // a below 0 counts as 0
    EXPECT_EQ(envelopeRate(0.0f), 0.01f * 1.0f + 0.00001f);
}

TEST(EngineEnvelopeRate, StageLengthsInSamples) {
    // ln(0.003) / ln(1 - r) and ln(0.01) / ln(1 - r), rounded.
    const struct {
        float x;
        int32_t amp, filter;
    } rows[] = {{0.0f, 577, 458}, {0.1f, 979, 776}, {0.3f, 3433, 2722}, {0.5f, 18010, 14277}, {1.0f, 580911, 460515}};
    for (const auto& row : rows) {
        const double r = envelopeRate(row.x);
        EXPECT_NEAR(std::log(0.003) / std::log(1.0 - r), row.amp, 0.5) << row.x;
        EXPECT_NEAR(std::log(0.01) / std::log(1.0 - r), row.filter, 0.5) << row.x;
    }
    // Run sample by sample in float, the fast stages take those lengths too.
    EXPECT_EQ(samplesToPass(envelopeRate(0.0f), kAmpStageEnd), 578);
    EXPECT_EQ(samplesToPass(envelopeRate(0.0f), kFilterStageEnd), 458);
    EXPECT_NEAR(samplesToPass(envelopeRate(0.1f), kAmpStageEnd), 979, 2);
    EXPECT_NEAR(samplesToPass(envelopeRate(0.3f), kAmpStageEnd), 3433, 10);
}

TEST(EngineEnvelopeStage, FastAttackEntersHoldAtSample616) {
    auto plugin = makePlugin();
    plugin->setParameter(Param::AmpAttack, 0.0f);
    noteOn(*plugin, 60, 127);
    for (int block = 0; block < 14; ++block) {
        renderReplacing(*plugin, 44);
        ASSERT_EQ(plugin->view().voices[0].ampStage, 0) << "after " << (block + 1) * 44;
    }
    // 616 samples rendered: the check at 572 found the progress just short.
    EXPECT_GT(plugin->view().voices[0].ampProgress, 0.997f);
    renderReplacing(*plugin, 1);   // the check at sample 616
    EXPECT_EQ(plugin->view().voices[0].ampStage, 1);
}

TEST(EngineEnvelopeStage, LevelRisesTowardVelocityAndHoldKeepsIt) {
    auto plugin = makePlugin();
    plugin->setParameter(Param::AmpAttack, 0.0f);
    plugin->setParameter(Param::AmpHold, 0.0f);
    noteOn(*plugin, 60, 64);
    renderReplacing(*plugin, 616);
    EXPECT_NEAR(plugin->view().voices[0].ampLevel, 0.5f, 0.5f * 0.003f);
    EXPECT_LT(plugin->view().voices[0].ampLevel, 0.5f);
    renderReplacing(*plugin, 616);   // hold from the check at 616 to the one at 1232
    EXPECT_EQ(plugin->view().voices[0].ampStage, 1);
    renderReplacing(*plugin, 1);
    EXPECT_EQ(plugin->view().voices[0].ampStage, 2);
}

TEST(EngineEnvelopeStage, ZeroSustainEndsTheVoiceAfterDecayWithKeyHeld) {
    auto plugin = makePlugin();
    for (int32_t p : {Param::AmpAttack, Param::AmpHold, Param::AmpDecay}) plugin->setParameter(p, 0.0f);
    plugin->setParameter(Param::AmpSustain, 0.0f);
    noteOn(*plugin, 60);
    int32_t blocks = 0;
    while (plugin->view().voices[0].active && blocks < 1000) {
        renderReplacing(*plugin, 44);
        ++blocks;
    }
    EXPECT_EQ(plugin->view().voices[0].active, 0);
    EXPECT_EQ(plugin->view().voices[0].ampStage, 2);
    // Attack, hold and decay take 14 sub-blocks each; the 43rd check ends the voice.
    EXPECT_EQ(blocks, 3 * 14 + 1);
}

TEST(EngineEnvelopeStage, SustainHoldsWhereDecayLeftIt) {
    auto plugin = makePlugin();
    for (int32_t p : {Param::AmpAttack, Param::AmpHold, Param::AmpDecay}) plugin->setParameter(p, 0.0f);
    plugin->setParameter(Param::AmpSustain, 0.5f);
    noteOn(*plugin, 60, 64);
    renderReplacing(*plugin, 44 * 14 * 3 + 1);
    const Voice& v = plugin->view().voices[0];
    ASSERT_EQ(v.ampStage, 3);
    EXPECT_NEAR(v.ampLevel, 0.25f, 0.25f * 0.01f);
    const float held = v.ampLevel;
    renderReplacing(*plugin, 4096);
    EXPECT_EQ(plugin->view().voices[0].ampLevel, held);
    EXPECT_EQ(plugin->view().voices[0].active, 1);
}

TEST(EngineEnvelopeStage, ReleaseStartsFromCurrentLevelAndEndsTheVoice) {
    auto plugin = makePlugin();
    plugin->setParameter(Param::AmpAttack, 0.3f);
    plugin->setParameter(Param::AmpRelease, 0.0f);
    noteOn(*plugin, 60, 127);
    renderReplacing(*plugin, 88);
    const float level = plugin->view().voices[0].ampLevel;
    noteOff(*plugin, 60);
    renderReplacing(*plugin, 1);
    EXPECT_EQ(plugin->view().voices[0].ampStage, -1);
    EXPECT_LT(plugin->view().voices[0].ampLevel, level);
    EXPECT_GT(plugin->view().voices[0].ampLevel, level * 0.98f);
    // 578 samples pass 0.997; the voice ends at the next check and renders nothing there.
    renderReplacing(*plugin, 616 - 1);
    EXPECT_EQ(plugin->view().voices[0].active, 1);
    EXPECT_LE(plugin->view().voices[0].ampLevel, level * 0.003f);
    const Voice before = plugin->view().voices[0];
    renderReplacing(*plugin, 44);
    EXPECT_EQ(plugin->view().voices[0].active, 0);
    EXPECT_EQ(plugin->view().voices[0].ampLevel, before.ampLevel);
}

TEST(EngineEnvelopeStage, StealAfterFinishedReleaseSkipsTheNewAttack) {
    auto plugin = makePlugin();
    plugin->setParameter(Param::Polyphony, 0.0f);
    plugin->setParameter(Param::AmpRelease, 0.0f);
    noteOn(*plugin, 60, 100);
    renderReplacing(*plugin, 88);
    noteOff(*plugin, 60);
    renderReplacing(*plugin, 616);   // release progress past 0.997, no check yet
    ASSERT_EQ(plugin->view().voices[0].active, 1);
    ASSERT_GT(plugin->view().voices[0].ampProgress, 0.997f);
    noteOn(*plugin, 67, 20);
    renderReplacing(*plugin, 1);
    EXPECT_EQ(plugin->view().voices[0].ampStage, 1);
    EXPECT_EQ(plugin->view().voices[0].velocity, 0.78125f);
    EXPECT_EQ(plugin->view().voices[0].active, 1);
}

TEST(EngineFilterEnvelope, StagesRunToSustainAndIgnoreNoteOff) {
    auto plugin = makePlugin();
    for (int32_t p : {Param::FilterAttack, Param::FilterHold, Param::FilterDecay}) plugin->setParameter(p, 0.0f);
    plugin->setParameter(Param::FilterEnvAmount, 1.0f);   // +10 octaves
    plugin->setParameter(Param::FilterSustain, 0.5f);
    plugin->setParameter(Param::AmpRelease, 1.0f);
    noteOn(*plugin, 60);
    renderReplacing(*plugin, 44 * 11);   // 458 samples pass 0.99, after the check at 440
    EXPECT_EQ(plugin->view().voices[0].filterEnvStage, 0);
    renderReplacing(*plugin, 1);          // the check at 484 moves on
    EXPECT_EQ(plugin->view().voices[0].filterEnvStage, 1);
    EXPECT_NEAR(plugin->view().voices[0].filterEnvLevel, 10.0f, 0.1f);
    noteOff(*plugin, 60);
    renderReplacing(*plugin, 44 * 22 + 1);
    EXPECT_EQ(plugin->view().voices[0].filterEnvStage, 3);
    EXPECT_NEAR(plugin->view().voices[0].filterEnvLevel, 5.0f, 0.06f);
    const float held = plugin->view().voices[0].filterEnvLevel;
    renderReplacing(*plugin, 2000);
    EXPECT_EQ(plugin->view().voices[0].filterEnvStage, 3);
    EXPECT_EQ(plugin->view().voices[0].filterEnvLevel, held);
    EXPECT_EQ(plugin->view().voices[0].filterEnvProgress, 0.0f);
}

TEST(EngineFilterEnvelope, CentreAmountHasNoEffect) {
    auto plugin = makePlugin();
    plugin->setParameter(Param::FilterEnvAmount, 0.5f);
    noteOn(*plugin, 60);
    renderReplacing(*plugin, 3000);
    EXPECT_EQ(plugin->view().voices[0].filterEnvLevel, 0.0f);
}

TEST(EngineEnvelopeStage, AbsurdRatesStaySafe) {
    auto plugin = makePlugin();
    for (float value : {NAN, INFINITY, -INFINITY, 1e30f, -5.0f}) {
        for (int32_t p : {Param::AmpAttack, Param::AmpHold, Param::AmpDecay, Param::AmpSustain, Param::AmpRelease, Param::FilterAttack, Param::FilterHold, Param::FilterDecay,
                          Param::FilterSustain, Param::FilterEnvAmount})
            plugin->setParameter(p, value);
        noteOn(*plugin, 60);
        noteOn(*plugin, 72);
        renderReplacing(*plugin, 500);
        noteOff(*plugin, 60);
        renderReplacing(*plugin, 500);
    }
    // Another program brings sane values and a clean voice pool back.
    plugin->selectProgram(1);
    noteOn(*plugin, 60);
    const Stereo out = renderReplacing(*plugin, 2048);
    EXPECT_TRUE(allFinite(out.left));
    EXPECT_GT(peak(out.left), 0.0f);
}
