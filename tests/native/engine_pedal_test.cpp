#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <cstring>
#include <vector>

#include "tests/native/engine_test_support.h"

using namespace engine_test;

// The sustain pedal (controller 64) and the panic controllers: 120 all sound
// off, 121 reset all controllers, 123 to 127 all notes off.
namespace {

void pedal(Synth& plugin, bool down) { midi(plugin, 0xB0, 64, down ? 127 : 0); }

bool releasing(const Voice& voice) { return voice.ampStage == -1; }

}  // namespace

TEST(EngineSustainPedal, HoldsAChordUntilThePedalRises) {
    auto plugin = makePlugin();
    noteOn(*plugin, 60);
    noteOn(*plugin, 64);
    renderReplacing(*plugin, 500);   // past the attack's first samples
    midi(*plugin, 0xB0, 64, 64);     // 64 is the first "down" value
    noteOff(*plugin, 60);
    midi(*plugin, 0x90, 64, 0);      // a note-on of velocity 0 is a note-off
    for (int v : {0, 1}) {
        EXPECT_EQ(plugin->view().voices[v].heldByPedal, 1) << v;
        EXPECT_FALSE(releasing(plugin->view().voices[v])) << v;
    }
    const ProgramRecord before = plugin->programRecord(plugin->program());
    plugin->programValueChanges = 0;
    midi(*plugin, 0xB0, 64, 63);   // 63 is "up"
    for (int v : {0, 1}) {
        EXPECT_EQ(plugin->view().voices[v].heldByPedal, 0) << v;
        EXPECT_TRUE(releasing(plugin->view().voices[v])) << v;
        EXPECT_EQ(plugin->view().voices[v].ampProgress, 0.0f) << v;
    }
    EXPECT_TRUE(sameRecord(before, plugin->programRecord(plugin->program())));
    EXPECT_EQ(plugin->programValueChanges, 0);
}

TEST(EngineSustainPedal, StateSurvivesProgramChangesAndResets) {
    auto plugin = makePlugin();
    pedal(*plugin, true);
    plugin->selectProgram(1);
    plugin->reset();
    midi(*plugin, 0xC0, 2, 0);
    noteOn(*plugin, 60);
    noteOff(*plugin, 60);
    EXPECT_EQ(plugin->view().voices[0].heldByPedal, 1);
}

TEST(EngineSustainPedal, ReleasedVoicesAndOtherNotesAreTreatedAsWithoutIt) {
    auto plugin = makePlugin();
    noteOn(*plugin, 60);
    noteOff(*plugin, 60);   // already releasing before the pedal goes down
    noteOn(*plugin, 62);
    pedal(*plugin, true);
    noteOff(*plugin, 60);
    EXPECT_EQ(plugin->view().voices[0].heldByPedal, 0);
    EXPECT_TRUE(releasing(plugin->view().voices[0]));
    EXPECT_FALSE(releasing(plugin->view().voices[1]));   // 62 is still held by its key
    pedal(*plugin, false);
    EXPECT_FALSE(releasing(plugin->view().voices[1]));
}

TEST(EngineSustainPedal, RestrikingAPedalHeldNoteTakesOverItsVoice) {
    auto plugin = makePlugin();
    pedal(*plugin, true);
    noteOn(*plugin, 60);
    noteOn(*plugin, 64);
    renderReplacing(*plugin, 20000);   // into the decay
    noteOff(*plugin, 60);
    const Voice before = plugin->view().voices[0];
    noteOn(*plugin, 60, 40);
    const Voice& voice = plugin->view().voices[0];
    EXPECT_EQ(activeVoices(*plugin), 2);
    // The new velocity, the newest start, both envelopes' attacks from where they were.
    EXPECT_TRUE(voice.velocity == 40.0f / 128.0f && voice.startOrder > plugin->view().voices[1].startOrder);
    EXPECT_TRUE(voice.ampStage == 0 && voice.ampProgress == 0.0f && voice.ampLevel == before.ampLevel &&
                voice.filterEnvStage == 0 && voice.filterEnvProgress == 0.0f);
    pedal(*plugin, false);   // held by its key again
    EXPECT_FALSE(releasing(voice));
}

// A chord struck four times under the pedal, 250 ms apart, against the
// loudest of one strike at any of those moments (the LFO and the chorus move
// on meanwhile), by the loudest 100 ms (RMS). One strike differs by a dB or
// so from moment to moment, so: the bank's median within 0.5 dB and every
// program within 2 dB, where taking new voices made it 6 dB louder.
TEST(EngineSustainPedal, AChordStruckFourTimesIsAsLoudAsOnce) {
    std::vector<double> louder;
    for (int32_t program = 0; program < ProgramBank::kNumPrograms; ++program) {
        double most[2] = {0.0, 0.0};   // one strike, four
        for (uint32_t strikes : {1u, 2u, 4u, 8u, 15u}) {   // bit s: a strike at s times 250 ms
            auto plugin = makePlugin();
            plugin->selectProgram(program);
            pedal(*plugin, true);
            std::vector<float> x;
            for (uint32_t s = 0; s < 4; ++s)
                for (int32_t frames : {2205, 8820}) {   // 50 ms held by the keys, 200 ms by the pedal
                    for (uint8_t note : {57, 60, 64})
                        if ((strikes >> s) & 1u) midi(*plugin, frames == 2205 ? 0x90 : 0x80, note, 100);
                    const std::vector<float> part = renderReplacing(*plugin, frames).left;
                    x.insert(x.end(), part.begin(), part.end());
                }
            double& m = most[strikes == 15u];
            for (size_t i = 0; i + 4410 <= x.size(); i += 1102)
                m = std::max(m, std::inner_product(x.begin() + i, x.begin() + i + 4410, x.begin() + i, 0.0));
        }
        louder.push_back(10.0 * std::log10((most[1] + 1e-30) / (most[0] + 1e-30)));
        EXPECT_NEAR(louder.back(), 0.0, 2.0) << "program " << program;
    }
    std::nth_element(louder.begin(), louder.begin() + louder.size() / 2, louder.end());
    EXPECT_NEAR(louder[louder.size() / 2], 0.0, 0.5);
}

TEST(EngineSustainPedal, AStolenVoiceIsHeldByItsNewKey) {
    auto plugin = makePlugin();
    plugin->setParameter(Param::Polyphony, 0.0f);   // one voice
    pedal(*plugin, true);
    noteOn(*plugin, 60);
    noteOff(*plugin, 60);
    noteOn(*plugin, 67);   // steals voice 0
    EXPECT_EQ(plugin->view().voices[0].note, 67);
    EXPECT_EQ(plugin->view().voices[0].heldByPedal, 0);
    pedal(*plugin, false);
    EXPECT_FALSE(releasing(plugin->view().voices[0]));
}

TEST(EnginePanicControllers, AllNotesOffReleasesOrHandsToThePedal) {
    for (uint8_t controller : {123, 124, 125, 126, 127}) {
        for (bool pedalDown : {false, true}) {
            auto plugin = makePlugin();
            noteOn(*plugin, 60);
            noteOn(*plugin, 64);
            if (pedalDown) pedal(*plugin, true);
            midi(*plugin, 0xB3, controller, 0);
            for (int v : {0, 1}) {
                EXPECT_EQ(releasing(plugin->view().voices[v]), !pedalDown) << int(controller) << " " << v;
                EXPECT_EQ(plugin->view().voices[v].heldByPedal, pedalDown ? 1 : 0) << int(controller) << " " << v;
            }
            EXPECT_EQ(activeVoices(*plugin), 2);
        }
    }
}

TEST(EnginePanicControllers, AllSoundOffSilencesAtOnce) {
    auto plugin = makePlugin();
    pedal(*plugin, true);
    noteOn(*plugin, 60);
    noteOn(*plugin, 64);
    noteOff(*plugin, 60);
    renderReplacing(*plugin, 300);
    midi(*plugin, 0xB0, 120, 0);
    EXPECT_EQ(activeVoices(*plugin), 0);
    plugin->setParameter(Param::Chorus, 0.0f);   // no echo of what sounded before
    EXPECT_TRUE(allZero(renderReplacing(*plugin, 300).left));
}

TEST(EnginePanicControllers, ResetCentresTheBendAndLiftsThePedalOnly) {
    auto plugin = makePlugin();
    midi(*plugin, 0xE0, 0x7F, 0x7F);
    midi(*plugin, 0xB0, 10, 0);
    midi(*plugin, 0xB0, 7, 20);
    pedal(*plugin, true);
    noteOn(*plugin, 60);
    noteOff(*plugin, 60);
    midi(*plugin, 0xB0, 121, 0);
    EXPECT_EQ(plugin->view().pitchBend, 0.0f);
    EXPECT_TRUE(releasing(plugin->view().voices[0]));
    EXPECT_EQ(plugin->view().voices[0].heldByPedal, 0);
    EXPECT_EQ(plugin->view().outputPan, 0.0f);
    EXPECT_EQ(ProgramBank::loadValue(plugin->programRecord(plugin->program()), Param::Volume), 20 * 0.007874016f);
    noteOn(*plugin, 62);
    noteOff(*plugin, 62);   // the pedal is up now
    EXPECT_TRUE(releasing(plugin->view().voices[1]));
}
