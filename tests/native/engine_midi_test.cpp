#include <gtest/gtest.h>

#include <cstring>

#include "engine/voice_allocation.h"
#include "tests/native/engine_test_support.h"

using namespace engine_test;

namespace {

bool sameVoices(const Synth& a, const Voice (&snapshot)[kNumVoices]) {
    return std::memcmp(a.view().voices, snapshot, sizeof snapshot) == 0;
}

float parameter(Synth& plugin, int32_t index) { return ProgramBank::loadValue(plugin.programRecord(plugin.program()), index); }

}  // namespace

TEST(EngineNoteOn, FreshStartSetsNotePitchVelocityAndOrder) {
    auto plugin = makePlugin();
    noteOn(*plugin, 60, 100);
    const Voice& v = plugin->view().voices[0];
    EXPECT_EQ(v.active, 1);
    EXPECT_EQ(v.note, 60);
    EXPECT_EQ(v.pitch, 60.0f);
    EXPECT_EQ(v.velocity, 0.78125f);
    EXPECT_EQ(v.startOrder, 0u);
    EXPECT_EQ(v.ampStage, 0);
    EXPECT_EQ(v.osc1Pos, 0);
    EXPECT_EQ(plugin->view().noteCounter, 1u);

    noteOn(*plugin, 61, 127);
    EXPECT_EQ(plugin->view().voices[1].velocity, 0.9921875f);
    EXPECT_EQ(plugin->view().voices[1].startOrder, 1u);
    noteOn(*plugin, 62, 1);
    EXPECT_EQ(plugin->view().voices[2].velocity, 0.0078125f);
    EXPECT_EQ(plugin->view().noteCounter, 3u);
}

TEST(EngineNoteOn, RepeatedNoteTakesAnotherVoiceAndChannelIsIgnored) {
    auto plugin = makePlugin();
    midi(*plugin, 0x90, 64, 90);
    midi(*plugin, 0x9F, 64, 90);
    EXPECT_EQ(plugin->view().voices[0].note, 64);
    EXPECT_EQ(plugin->view().voices[1].note, 64);
    EXPECT_EQ(activeVoices(*plugin), 2);
}

TEST(EngineNoteOn, DataBytesAreMaskedToSevenBits) {
    auto plugin = makePlugin();
    midi(*plugin, 0x90, 60 | 0x80, 100 | 0x80);
    EXPECT_EQ(plugin->view().voices[0].note, 60);
    EXPECT_EQ(plugin->view().voices[0].velocity, 100 * 0.0078125f);
}

TEST(EngineNoteOff, ReleasesEveryVoiceHoldingTheNoteAndOnlyThose) {
    auto plugin = makePlugin();
    noteOn(*plugin, 60);
    noteOn(*plugin, 60);
    noteOn(*plugin, 62);
    noteOn(*plugin, 60);
    renderReplacing(*plugin, 100);
    ASSERT_GT(plugin->view().voices[0].ampProgress, 0.0f);

    noteOff(*plugin, 60);
    for (int i : {0, 1, 3}) {
        EXPECT_EQ(plugin->view().voices[i].ampStage, -1) << i;
        EXPECT_EQ(plugin->view().voices[i].ampProgress, 0.0f) << i;
        EXPECT_EQ(plugin->view().voices[i].active, 1) << i;
    }
    EXPECT_EQ(plugin->view().voices[2].ampStage, 0);
    EXPECT_GT(plugin->view().voices[2].ampProgress, 0.0f);

    Voice before[kNumVoices];
    std::memcpy(before, plugin->view().voices, sizeof before);
    noteOff(*plugin, 70);
    EXPECT_TRUE(sameVoices(*plugin, before));
}

TEST(EngineNoteOff, VelocityZeroNoteOnReleases) {
    auto plugin = makePlugin();
    noteOn(*plugin, 48);
    renderReplacing(*plugin, 44);
    midi(*plugin, 0x93, 48, 0);
    EXPECT_EQ(plugin->view().voices[0].ampStage, -1);
    EXPECT_EQ(plugin->view().voices[0].ampProgress, 0.0f);
    EXPECT_EQ(activeVoices(*plugin), 1);
}

TEST(EngineVoiceLimit, FollowsPolyphonyParameter) {
    EXPECT_EQ(voiceLimit(0.0f), 1);
    EXPECT_EQ(voiceLimit(0.5f), 32);   // trunc(32.5)
    EXPECT_EQ(voiceLimit(1.0f), 64);
    EXPECT_EQ(voiceLimit(2.0f), 64);
    EXPECT_EQ(voiceLimit(-0.001f), 0);
    EXPECT_EQ(voiceLimit(-5.0f), 0);
    EXPECT_EQ(voiceLimit(1e30f), 64);
    EXPECT_EQ(voiceLimit(-1e30f), 0);
    EXPECT_EQ(voiceLimit(INFINITY), 64);
    EXPECT_EQ(voiceLimit(-INFINITY), 0);
    EXPECT_EQ(voiceLimit(NAN), 0);
}

TEST(EngineStealing, MonophonicStealKeepsVelocityLevelsAndGlidesPitch) {
    auto plugin = makePlugin();
    plugin->setParameter(Param::Polyphony, 0.0f);
    noteOn(*plugin, 60, 100);
    renderReplacing(*plugin, 88);
    const Voice before = plugin->view().voices[0];
    ASSERT_GT(before.ampLevel, 0.0f);

    noteOn(*plugin, 72, 20);
    const Voice& v = plugin->view().voices[0];
    EXPECT_EQ(v.note, 72);
    EXPECT_EQ(v.ampStage, 0);
    EXPECT_EQ(v.velocity, 0.78125f);
    EXPECT_EQ(v.pitch, 60.0f);
    EXPECT_EQ(v.ampProgress, before.ampProgress);
    EXPECT_EQ(v.ampLevel, before.ampLevel);
    EXPECT_EQ(v.filterEnvLevel, before.filterEnvLevel);
    EXPECT_EQ(v.osc1Pos, before.osc1Pos);
    EXPECT_EQ(v.startOrder, before.startOrder);
    EXPECT_EQ(plugin->view().noteCounter, 1u);
    EXPECT_EQ(activeVoices(*plugin), 1);

    renderReplacing(*plugin, 44);
    // A 12-semitone gap closes by 1 - 0.998^44 in one sub-block.
    EXPECT_NEAR(72.0f - plugin->view().voices[0].pitch, 10.99f, 0.005f);
}

TEST(EngineStealing, HalfPolyphonyUsesOnlyTheFirstThirtyTwoVoices) {
    auto plugin = makePlugin();
    plugin->setParameter(Param::Polyphony, 0.5f);
    for (int n = 0; n < 32; ++n) noteOn(*plugin, static_cast<uint8_t>(30 + n));
    for (int i = 0; i < 32; ++i) EXPECT_EQ(plugin->view().voices[i].active, 1);
    noteOn(*plugin, 100);
    EXPECT_EQ(plugin->view().voices[31].note, 100);
    for (int i = 32; i < kNumVoices; ++i) EXPECT_EQ(plugin->view().voices[i].active, 0) << i;
    EXPECT_EQ(plugin->view().noteCounter, 32u);
}

TEST(EngineStealing, FullPolyphonyStealsTheMostRecentVoiceAgainAndAgain) {
    auto plugin = makePlugin();
    plugin->setParameter(Param::Polyphony, 1.0f);
    for (int n = 0; n < 64; ++n) noteOn(*plugin, static_cast<uint8_t>(n));
    EXPECT_EQ(activeVoices(*plugin), 64);
    noteOn(*plugin, 100);
    EXPECT_EQ(plugin->view().voices[63].note, 100);
    noteOn(*plugin, 101);
    EXPECT_EQ(plugin->view().voices[63].note, 101);
    EXPECT_EQ(plugin->view().voices[62].note, 62);
    EXPECT_EQ(plugin->view().voices[63].startOrder, 63u);
    EXPECT_EQ(plugin->view().noteCounter, 64u);
}

TEST(EngineStealing, FreedVoiceBelowTheLimitIsReusedFirst) {
    auto plugin = makePlugin();
    for (int n = 0; n < 5; ++n) noteOn(*plugin, static_cast<uint8_t>(40 + n));
    // Voice 2's note ends quickly while the others hold.
    plugin->setParameter(Param::AmpRelease, 0.0f);
    noteOff(*plugin, 42);
    renderReplacing(*plugin, 44100);
    ASSERT_EQ(plugin->view().voices[2].active, 0);
    ASSERT_EQ(activeVoices(*plugin), 4);
    noteOn(*plugin, 90, 64);
    EXPECT_EQ(plugin->view().voices[2].note, 90);
    EXPECT_EQ(plugin->view().voices[2].startOrder, 5u);
    EXPECT_EQ(plugin->view().voices[2].velocity, 0.5f);
}

TEST(EngineStealing, NegativePolyphonyUsesVoiceZero) {
    auto plugin = makePlugin();
    plugin->setParameter(Param::Polyphony, -1.0f);
    noteOn(*plugin, 50, 64);
    EXPECT_EQ(plugin->view().voices[0].active, 1);
    EXPECT_EQ(plugin->view().voices[0].note, 50);
    noteOn(*plugin, 55, 100);
    EXPECT_EQ(plugin->view().voices[0].note, 55);
    EXPECT_EQ(plugin->view().voices[0].velocity, 0.5f);   // stolen, not restarted
    EXPECT_EQ(activeVoices(*plugin), 1);

    plugin->setParameter(Param::Polyphony, NAN);
    noteOn(*plugin, 57, 100);
    EXPECT_EQ(activeVoices(*plugin), 1);
    EXPECT_EQ(plugin->view().voices[0].note, 57);
}

TEST(EngineStealing, StoringPolyphonySilencesAndRestartsTheCount) {
    auto plugin = makePlugin();
    noteOn(*plugin, 60);
    noteOn(*plugin, 61);
    plugin->setParameter(Param::Polyphony, 1.0f);
    EXPECT_EQ(activeVoices(*plugin), 0);
    noteOn(*plugin, 62);
    EXPECT_EQ(plugin->view().voices[0].startOrder, 0u);
}

TEST(EngineControllers, ScaleAndStoreTheSixParameters) {
    auto plugin = makePlugin();
    const struct {
        uint8_t controller;
        int32_t parameter;
    } map[] = {{1, Param::LfoRate}, {7, Param::Volume}, {12, Param::Cutoff}, {13, Param::Resonance}, {72, Param::AmpRelease}, {73, Param::AmpAttack}};
    for (const auto& entry : map) {
        plugin->programValueChanges = 0;
        midi(*plugin, 0xB5, entry.controller, 127);
        EXPECT_EQ(parameter(*plugin, entry.parameter), 1.0f) << int(entry.controller);
        EXPECT_EQ(plugin->programValueChanges, 1) << int(entry.controller);
        midi(*plugin, 0xB0, entry.controller, 64);
        EXPECT_NEAR(parameter(*plugin, entry.parameter), 0.503937f, 5e-7f);
        midi(*plugin, 0xB0, entry.controller, 0);
        EXPECT_EQ(parameter(*plugin, entry.parameter), 0.0f);
    }
}

TEST(EngineControllers, PanSetsBalanceOnly) {
    auto plugin = makePlugin();
    const ProgramRecord before = plugin->programRecord(plugin->program());
    plugin->programValueChanges = 0;
    midi(*plugin, 0xB0, 10, 0);
    EXPECT_EQ(plugin->view().outputPan, 0.0f);
    midi(*plugin, 0xB0, 10, 127);
    EXPECT_EQ(plugin->view().outputPan, 1.0f);
    EXPECT_EQ(plugin->programValueChanges, 0);
    EXPECT_TRUE(sameRecord(before, plugin->programRecord(plugin->program())));
}

TEST(EngineControllers, PanZeroIsHardLeftAndFullIsHardRight) {
    for (uint8_t pan : {0, 127}) {
        auto plugin = makePlugin();
        midi(*plugin, 0xB0, 10, pan);
        noteOn(*plugin, 60);
        const Stereo out = renderReplacing(*plugin, 2000);
        EXPECT_EQ(peak(pan == 0 ? out.right : out.left), 0.0f) << int(pan);
        EXPECT_GT(peak(pan == 0 ? out.left : out.right), 0.01f) << int(pan);
    }
}

TEST(EngineControllers, OtherControllersChangeNothing) {
    auto plugin = makePlugin();
    const ProgramRecord before = plugin->programRecord(plugin->program());
    plugin->programValueChanges = 0;
    for (uint8_t c : {0, 2, 11, 64, 74, 120, 127}) midi(*plugin, 0xB0, c, 99);
    EXPECT_TRUE(sameRecord(before, plugin->programRecord(plugin->program())));
    EXPECT_EQ(plugin->programValueChanges, 0);
    EXPECT_EQ(plugin->view().outputPan, 0.5f);
}

TEST(EnginePitchBend, SpansTwoSemitonesWithAnOffCentreMiddle) {
    auto plugin = makePlugin();
    midi(*plugin, 0xE0, 0x00, 0x40);
    EXPECT_NEAR(plugin->view().pitchBend, 0.000122f, 5e-7f);
    EXPECT_GT(plugin->view().pitchBend, 0.0f);
    midi(*plugin, 0xE7, 0x7F, 0x7F);
    EXPECT_NEAR(plugin->view().pitchBend, 2.0f, 1e-6f);
    midi(*plugin, 0xE0, 0x00, 0x00);
    EXPECT_EQ(plugin->view().pitchBend, -2.0f);
}

TEST(EngineProgramChange, SelectsProgramAndSilences) {
    auto plugin = makePlugin();
    noteOn(*plugin, 60);
    noteOn(*plugin, 64);
    renderReplacing(*plugin, 256);
    plugin->takeDueWavetables();
    midi(*plugin, 0xC3, 5, 0);
    EXPECT_EQ(plugin->program(), 5);
    EXPECT_EQ(activeVoices(*plugin), 0);
    EXPECT_EQ(plugin->view().noteCounter, 0u);
    EXPECT_EQ(plugin->dueWavetables(), 255);
    const Stereo out = renderReplacing(*plugin, 512);
    EXPECT_TRUE(allZero(out.left));
    EXPECT_TRUE(allZero(out.right));
    midi(*plugin, 0xC0, 127, 0);
    EXPECT_EQ(plugin->program(), 127);
}

TEST(EngineMidiMessages, IgnoredMessagesLeaveEverythingAsItWas) {
    auto plugin = makePlugin();
    noteOn(*plugin, 60);
    Voice before[kNumVoices];
    std::memcpy(before, plugin->view().voices, sizeof before);
    const ProgramRecord program = plugin->programRecord(plugin->program());
    for (uint8_t status : {0xA0, 0xD0, 0xF0, 0xF8, 0x3C, 0x00}) midi(*plugin, status, 60, 0);
    EXPECT_TRUE(sameVoices(*plugin, before));
    EXPECT_TRUE(sameRecord(program, plugin->programRecord(plugin->program())));
    EXPECT_EQ(plugin->view().pitchBend, 0.0f);
    EXPECT_EQ(plugin->program(), 0);
}
