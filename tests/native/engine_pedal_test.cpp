#include <gtest/gtest.h>

#include <cstring>

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

TEST(EngineSustainPedal, RestrikingAHeldNoteTakesAFreshVoice) {
    auto plugin = makePlugin();
    pedal(*plugin, true);
    noteOn(*plugin, 60);
    noteOff(*plugin, 60);
    noteOn(*plugin, 60);
    EXPECT_EQ(plugin->view().voices[0].heldByPedal, 1);
    EXPECT_EQ(plugin->view().voices[1].heldByPedal, 0);
    EXPECT_EQ(activeVoices(*plugin), 2);
    pedal(*plugin, false);   // the first strike ends; the second is held by its key
    EXPECT_TRUE(releasing(plugin->view().voices[0]));
    EXPECT_FALSE(releasing(plugin->view().voices[1]));
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
