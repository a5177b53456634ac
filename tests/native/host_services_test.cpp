// Every host service sends its opcode and operands, and answers for a
// missing host without calling anything.
#include <gtest/gtest.h>

#include "tests/native/minimal_effect.h"

namespace {

class HostServices : public ::testing::Test {
protected:
    void SetUp() override {
        recordedCalls().clear();
        recordedAnswer() = 0;
    }
    const RecordedCall& onlyCall() {
        EXPECT_EQ(recordedCalls().size(), 1u);
        static RecordedCall none{};
        return recordedCalls().empty() ? none : recordedCalls().back();
    }
    void expectCall(MinimalEffect& effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
        const RecordedCall& call = onlyCall();
        EXPECT_EQ(call.effect, effect.getAEffect());
        EXPECT_EQ(call.opcode, opcode);
        EXPECT_EQ(call.index, index);
        EXPECT_EQ(call.value, value);
        EXPECT_EQ(call.ptr, ptr);
        EXPECT_EQ(call.opt, opt);
        recordedCalls().clear();
    }
};

}  // namespace

TEST_F(HostServices, OperandsOfEveryCall) {
    MinimalEffect effect(recordingHost);
    char text[64] = "";
    int window = 0, task = 0;
    recordedAnswer() = 5;

    EXPECT_EQ(effect.hostVersion(), 5);
    expectCall(effect, audioMasterVersion, 0, 0, nullptr, 0);
    EXPECT_EQ(effect.hostCurrentId(), 5);
    expectCall(effect, audioMasterCurrentId, 0, 0, nullptr, 0);
    effect.hostIdle();
    expectCall(effect, audioMasterIdle, 0, 0, nullptr, 0);
    EXPECT_FALSE(effect.hostInputConnected(3));
    expectCall(effect, audioMasterPinConnected, 3, 0, nullptr, 0);
    EXPECT_FALSE(effect.hostOutputConnected(1));
    expectCall(effect, audioMasterPinConnected, 1, 1, nullptr, 0);
    effect.hostWantMidi(1);
    expectCall(effect, audioMasterWantMidi, 0, 1, nullptr, 0);
    EXPECT_EQ(effect.hostGetTime(7), reinterpret_cast<void*>(5));
    expectCall(effect, audioMasterGetTime, 0, 7, nullptr, 0);
    EXPECT_EQ(effect.hostTempoAt(99), 5);
    expectCall(effect, audioMasterTempoAt, 0, 99, nullptr, 0);
    EXPECT_EQ(effect.hostGetNumAutomatableParameters(), 5);
    expectCall(effect, audioMasterGetNumAutomatableParameters, 0, 0, nullptr, 0);
    EXPECT_EQ(effect.hostGetParameterQuantization(), 5);
    expectCall(effect, audioMasterGetParameterQuantization, 0, 0, nullptr, 0);
    EXPECT_TRUE(effect.hostIOChanged());
    expectCall(effect, audioMasterIOChanged, 0, 0, nullptr, 0);
    EXPECT_TRUE(effect.hostNeedIdle());
    expectCall(effect, audioMasterNeedIdle, 0, 0, nullptr, 0);
    EXPECT_TRUE(effect.hostSizeWindow(640, 480));
    expectCall(effect, audioMasterSizeWindow, 640, 480, nullptr, 0);
    EXPECT_EQ(effect.hostGetSampleRate(), 44100.0f);   // the answer itself is ignored
    expectCall(effect, audioMasterGetSampleRate, 0, 0, nullptr, 0);
    EXPECT_EQ(effect.hostGetBlockSize(), 1024);
    expectCall(effect, audioMasterGetBlockSize, 0, 0, nullptr, 0);
    EXPECT_EQ(effect.hostGetInputLatency(), 5);
    expectCall(effect, audioMasterGetInputLatency, 0, 0, nullptr, 0);
    EXPECT_EQ(effect.hostGetOutputLatency(), 5);
    expectCall(effect, audioMasterGetOutputLatency, 0, 0, nullptr, 0);
    effect.hostGetPreviousPlug(2);
    expectCall(effect, audioMasterGetPreviousPlug, 0, 2, nullptr, 0);
    effect.hostGetNextPlug(3);
    expectCall(effect, audioMasterGetNextPlug, 0, 3, nullptr, 0);
    EXPECT_EQ(effect.hostWillReplaceOrAccumulate(), 5);
    expectCall(effect, audioMasterWillReplaceOrAccumulate, 0, 0, nullptr, 0);
    EXPECT_EQ(effect.hostGetCurrentProcessLevel(), 5);
    expectCall(effect, audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0);
    EXPECT_EQ(effect.hostGetAutomationState(), 5);
    expectCall(effect, audioMasterGetAutomationState, 0, 0, nullptr, 0);
    EXPECT_TRUE(effect.hostOfflineRead(&task, 4, true));
    expectCall(effect, audioMasterOfflineRead, 1, 4, &task, 0);
    EXPECT_TRUE(effect.hostOfflineWrite(&task, 6));
    expectCall(effect, audioMasterOfflineWrite, 0, 6, &task, 0);
    EXPECT_TRUE(effect.hostOfflineStart(&task, 2, 3));
    expectCall(effect, audioMasterOfflineStart, 3, 2, &task, 0);
    EXPECT_EQ(effect.hostOfflineGetCurrentPass(), 1);
    expectCall(effect, audioMasterOfflineGetCurrentPass, 0, 0, nullptr, 0);
    EXPECT_EQ(effect.hostOfflineGetCurrentMetaPass(), 1);
    expectCall(effect, audioMasterOfflineGetCurrentMetaPass, 0, 0, nullptr, 0);
    effect.hostSetOutputSampleRate(48000.0f);
    expectCall(effect, audioMasterSetOutputSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_TRUE(effect.hostGetSpeakerArrangement(&task, &window));
    expectCall(effect, audioMasterGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&task), &window, 0);
    EXPECT_TRUE(effect.hostGetVendorString(text));
    expectCall(effect, audioMasterGetVendorString, 0, 0, text, 0);
    EXPECT_TRUE(effect.hostGetProductString(text));
    expectCall(effect, audioMasterGetProductString, 0, 0, text, 0);
    EXPECT_EQ(effect.hostGetVendorVersion(), 5);
    expectCall(effect, audioMasterGetVendorVersion, 0, 0, nullptr, 0);
    EXPECT_EQ(effect.hostVendorSpecific(1, 2, &task, 0.25f), 5);
    expectCall(effect, audioMasterVendorSpecific, 1, 2, &task, 0.25f);
    EXPECT_TRUE(effect.hostCanDo(text));
    expectCall(effect, audioMasterCanDo, 0, 0, text, 0);
    EXPECT_EQ(effect.hostGetLanguage(), 5);
    expectCall(effect, audioMasterGetLanguage, 0, 0, nullptr, 0);
    effect.hostOpenWindow(&window);
    expectCall(effect, audioMasterOpenWindow, 0, 0, &window, 0);
    EXPECT_TRUE(effect.hostCloseWindow(&window));
    expectCall(effect, audioMasterCloseWindow, 0, 0, &window, 0);
    effect.hostGetDirectory();
    expectCall(effect, audioMasterGetDirectory, 0, 0, nullptr, 0);
    EXPECT_TRUE(effect.hostUpdateDisplay());
    expectCall(effect, audioMasterUpdateDisplay, 0, 0, nullptr, 0);
    effect.automateParameter(2, 0.75f);
    expectCall(effect, audioMasterAutomate, 2, 0, nullptr, 0.75f);
}

TEST_F(HostServices, AnswersOfAHostThatSaysZero) {
    MinimalEffect effect(recordingHost);
    recordedAnswer() = 0;
    EXPECT_EQ(effect.hostVersion(), 1);
    EXPECT_TRUE(effect.hostInputConnected(0));
    EXPECT_TRUE(effect.hostOutputConnected(0));
    EXPECT_FALSE(effect.hostIOChanged());
    EXPECT_EQ(effect.hostOfflineGetCurrentPass(), 0);
    recordedAnswer() = 1;
    EXPECT_FALSE(effect.hostInputConnected(0));
}

TEST_F(HostServices, NoCallbackMeansNoCallAndTheNoHostAnswer) {
    MinimalEffect effect(nullptr);
    char text[8] = "";
    EXPECT_EQ(effect.hostVersion(), 1);
    EXPECT_EQ(effect.hostCurrentId(), 0);
    EXPECT_TRUE(effect.hostInputConnected(0));
    EXPECT_TRUE(effect.hostOutputConnected(0));
    EXPECT_EQ(effect.hostGetTime(0), nullptr);
    EXPECT_FALSE(effect.hostSizeWindow(1, 1));
    EXPECT_EQ(effect.hostGetSampleRate(), 44100.0f);
    EXPECT_EQ(effect.hostGetBlockSize(), 1024);
    EXPECT_EQ(effect.hostGetNextPlug(0), nullptr);
    EXPECT_FALSE(effect.hostCanDo(text));
    EXPECT_EQ(effect.hostGetDirectory(), nullptr);
    effect.hostWantMidi(1);
    effect.hostIdle();
    effect.automateParameter(0, 1.0f);
    EXPECT_TRUE(recordedCalls().empty());
}
