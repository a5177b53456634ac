// What a host learns from a fresh instance, and the program-slot operations.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/shared/signal_checks.h"
#include "tests/wine/vorzle_dll.h"

namespace {

class InstrumentIdentity : public ::testing::Test {
protected:
    void SetUp() override {
        Host::instance().reset();
        plugin = createVorzle();
        ASSERT_TRUE(plugin);
    }
    std::unique_ptr<PluginInstance> plugin;
};

intptr_t canDo(PluginInstance& p, const char* text) {
    return p.dispatch(effCanDo, 0, 0, const_cast<char*>(text));
}

bool rendersSilence(PluginInstance& p, int32_t frames = 512) {
    std::vector<float> left(frames, 1.0f), right(frames, 1.0f);
    p.processReplacing(left.data(), right.data(), frames);
    return signal_checks::allZero(left) && signal_checks::allZero(right);
}

}  // namespace

TEST_F(InstrumentIdentity, AnswersRightAfterConstruction) {
    EXPECT_EQ(plugin->dispatch(effGetProgram), 0);
    EXPECT_EQ(plugin->text(effGetProgramName), "Classiq");
    EXPECT_EQ(plugin->dispatch(effGetNumProgramCategories), 1);
    EXPECT_EQ(plugin->dispatch(effGetPlugCategory), 2);
    EXPECT_EQ(plugin->dispatch(effGetVstVersion), 2);
    EXPECT_EQ(plugin->dispatch(effGetVendorVersion), 1);
    EXPECT_EQ(plugin->text(effGetEffectName), "Vorzle");
    EXPECT_EQ(plugin->text(effGetVendorString), "Harvane");
    EXPECT_EQ(plugin->text(effGetProductString), "Harvane's Vorzle 2.1");
    EXPECT_EQ(plugin->dispatch(effGetEffectName, 0, 0, nullptr), 0);
    char name[64];
    EXPECT_EQ(plugin->dispatch(effGetEffectName, 0, 0, name), 1);
}

TEST_F(InstrumentIdentity, CanDoMatchesWholeTextsOnly) {
    EXPECT_EQ(canDo(*plugin, "receiveVstEvents"), 1);
    EXPECT_EQ(canDo(*plugin, "receiveVstMidiEvent"), 1);
    for (const char* no : {"sendVstEvents", "receiveVstTimeInfo", "", "receiveVstEventsX", "receiveVstMidiEvent ",
                           "receivevstevents", "receiveVst"})
        EXPECT_EQ(canDo(*plugin, no), -1) << '"' << no << '"';
    EXPECT_EQ(plugin->dispatch(effCanDo, 0, 0, nullptr), -1);
}

TEST_F(InstrumentIdentity, OutputPins) {
    for (int32_t pin = 0; pin < 2; ++pin) {
        VstPinProperties properties;
        std::memset(&properties, 0x5A, sizeof(properties));
        EXPECT_EQ(plugin->dispatch(effGetOutputProperties, pin, 0, &properties), 1);
        EXPECT_STREQ(properties.label, pin == 0 ? "Trlx 1" : "Trlx 2");
        EXPECT_EQ(properties.flags, 3);
        EXPECT_EQ(static_cast<unsigned char>(properties.shortLabel[0]), 0x5A);   // left as the host gave it
    }
    VstPinProperties untouched;
    std::memset(&untouched, 0x5A, sizeof(untouched));
    EXPECT_EQ(plugin->dispatch(effGetOutputProperties, 2, 0, &untouched), 0);
    EXPECT_EQ(untouched.flags, 0x5A5A5A5A);
    EXPECT_EQ(plugin->dispatch(effGetOutputProperties, -1, 0, &untouched), 0);
}

TEST_F(InstrumentIdentity, ParameterNamesAndLabelsAreDashes) {
    for (int32_t index : {0, 38, 1000, -1}) {
        EXPECT_EQ(plugin->text(effGetParamName, index), "---") << index;
        EXPECT_EQ(plugin->text(effGetParamLabel, index), "---") << index;
    }
}

TEST_F(InstrumentIdentity, FactoryProgramsAndTheirTexts) {
    EXPECT_EQ(plugin->paramDisplay(3), "58.70 %");
    EXPECT_EQ(plugin->paramDisplay(23), "on");
    EXPECT_EQ(plugin->programName(0), "Classiq");
    EXPECT_EQ(plugin->programName(1), "Rave bass");
    EXPECT_EQ(plugin->programName(2), "Walking Bass");
    EXPECT_EQ(plugin->programName(127), "Blank");
    for (int32_t i = 0; i < 128; ++i) {
        char name[64];
        std::memset(name, 'x', sizeof(name));
        ASSERT_EQ(plugin->dispatch(effGetProgramNameIndexed, i, 0, name), 1) << i;
        EXPECT_LT(std::strlen(name), 24u) << i;
    }
    char name[64] = "unchanged";
    EXPECT_EQ(plugin->dispatch(effGetProgramNameIndexed, 128, 0, name), 0);
    EXPECT_EQ(plugin->dispatch(effGetProgramNameIndexed, -1, 0, name), 0);
    EXPECT_STREQ(name, "unchanged");
}

TEST_F(InstrumentIdentity, SetProgramAcceptsOnlyValidSlots) {
    plugin->dispatch(effSetProgram, 0, 127);
    EXPECT_EQ(plugin->dispatch(effGetProgram), 127);
    EXPECT_EQ(plugin->text(effGetProgramName), "Blank");
    plugin->dispatch(effSetProgram, 0, 128);
    EXPECT_EQ(plugin->dispatch(effGetProgram), 127);
    plugin->dispatch(effSetProgram, 0, -1);
    EXPECT_EQ(plugin->dispatch(effGetProgram), 127);
}

TEST_F(InstrumentIdentity, SettingTheCurrentProgramAgainSilencesIt) {
    plugin->sendMidi({{0x90, 57, 110}});
    ASSERT_FALSE(rendersSilence(*plugin));
    plugin->dispatch(effSetProgram, 0, 0);
    EXPECT_TRUE(rendersSilence(*plugin));
}

TEST_F(InstrumentIdentity, CopyProgramCopiesValuesAndName) {
    plugin->dispatch(effSetProgram, 0, 1);
    std::vector<std::string> source;
    for (int32_t p = 0; p < 39; ++p) source.push_back(plugin->paramDisplay(p));
    plugin->dispatch(effSetProgram, 0, 2);
    // A change made since the selection is copied too.
    plugin->sendMidi({{0xB0, 7, 127}});
    plugin->processReplacing(nullptr, nullptr, 0);   // MIDI plays at the next render
    std::vector<std::string> current;
    for (int32_t p = 0; p < 39; ++p) current.push_back(plugin->paramDisplay(p));
    EXPECT_EQ(current[0], "100.00 %");

    EXPECT_EQ(plugin->dispatch(effCopyProgram, 5), 1);
    EXPECT_EQ(plugin->programName(5), "Walking Bass");
    plugin->dispatch(effSetProgram, 0, 5);
    for (int32_t p = 0; p < 39; ++p) EXPECT_EQ(plugin->paramDisplay(p), current[p]) << p;
    EXPECT_EQ(plugin->dispatch(effCopyProgram, 128), 0);
    EXPECT_EQ(plugin->dispatch(effCopyProgram, -1), 0);
    EXPECT_EQ(plugin->programName(1), "Rave bass");
}

TEST_F(InstrumentIdentity, ProgramNameIsCutToTwentyThreeCharacters) {
    std::string longName(100, 'n');
    longName[0] = 'L';
    plugin->dispatch(effSetProgramName, 0, 0, longName.data());
    EXPECT_EQ(plugin->text(effGetProgramName), longName.substr(0, 23));
    EXPECT_EQ(plugin->programName(1), "Rave bass");   // the neighbour slot is intact
    plugin->dispatch(effSetProgramName, 0, 0, const_cast<char*>("Pad"));
    EXPECT_EQ(plugin->programName(0), "Pad");
}

TEST_F(InstrumentIdentity, MainsOffSilencesAndMainsOnChangesNoAudio) {
    plugin->sendMidi({{0x90, 60, 100}, {0x90, 64, 100}});
    ASSERT_FALSE(rendersSilence(*plugin));
    plugin->dispatch(effMainsChanged, 0, 0);
    EXPECT_TRUE(rendersSilence(*plugin));
    Host::instance().reset();
    plugin->dispatch(effMainsChanged, 0, 1);
    EXPECT_EQ(Host::instance().calls().size(), 1u);
    EXPECT_TRUE(rendersSilence(*plugin));
}

TEST_F(InstrumentIdentity, HostParameterEntriesNeitherReadNorWrite) {
    AEffect* e = plugin->effect();
    for (int32_t i : {0, 3, 23, 38, 39, -1}) EXPECT_EQ(e->getParameter(e, i), 0.0f) << i;
    const std::string before = plugin->paramDisplay(0);
    e->setParameter(e, 0, 0.9f);
    EXPECT_EQ(plugin->paramDisplay(0), before);
    plugin->sendMidi({{0xB0, 7, 127}});   // the value changes through MIDI...
    plugin->processReplacing(nullptr, nullptr, 0);
    EXPECT_EQ(plugin->paramDisplay(0), "100.00 %");
    EXPECT_EQ(e->getParameter(e, 0), 0.0f);   // ...and the host still reads 0
}

TEST_F(InstrumentIdentity, ChunksCarryTheSoundToAFreshInstance) {
    // What a host does when it saves a session and opens it again.
    plugin->dispatch(effSetProgram, 0, 37);
    plugin->sendMidi({{0xB0, 12, 20}, {0xB0, 73, 5}});
    plugin->processReplacing(nullptr, nullptr, 0);
    for (int32_t index : {0, 1}) {   // the bank, the current program
        void* data = nullptr;
        const intptr_t size = plugin->dispatch(effGetChunk, index, 0, &data);
        ASSERT_GT(size, 0);
        std::vector<uint8_t> saved(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
        auto reopened = createVorzle();
        ASSERT_TRUE(reopened);
        // A preset (the current program's chunk) loads into the program playing, whichever it came from.
        const int32_t at = index == 0 ? 37 : 12;
        if (index == 1) reopened->dispatch(effSetProgram, 0, at);
        EXPECT_EQ(reopened->dispatch(effSetChunk, index, size, saved.data()), 1) << index;
        EXPECT_EQ(reopened->dispatch(effGetProgram), at);
        EXPECT_EQ(reopened->programName(at), plugin->programName(37));
        for (int32_t p = 0; p < 39; ++p) EXPECT_EQ(reopened->paramDisplay(p), plugin->paramDisplay(p)) << p;
        saved[size - 1] = 0x7F;   // the last value's top byte: far out of range
        reopened->dispatch(effSetProgram, 0, 2);
        EXPECT_EQ(reopened->dispatch(effSetChunk, index, size, saved.data()), 0);
        EXPECT_EQ(reopened->dispatch(effGetProgram), 2);
    }
}
