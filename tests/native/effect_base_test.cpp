// The effect base as any effect built on it sees it: record, setup
// operations, default answers of both dispatcher levels, editor interface.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/native/minimal_effect.h"

std::vector<RecordedCall>& recordedCalls() {
    static std::vector<RecordedCall> calls;
    return calls;
}

intptr_t& recordedAnswer() {
    static intptr_t answer = 0;
    return answer;
}

intptr_t recordingHost(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    recordedCalls().push_back({effect, opcode, index, value, ptr, opt});
    return recordedAnswer();
}

namespace {

class CountingEditor : public EditorBase {
public:
    void update() override { ++updates; }
    int updates = 0;
};

}  // namespace

TEST(EffectBase, ConstructorFillsTheRecord) {
    MinimalEffect effect(recordingHost);
    const AEffect* e = effect.getAEffect();
    EXPECT_EQ(e->magic, fourCharCode("VstP"));
    EXPECT_EQ(e->numPrograms, 4);
    EXPECT_EQ(e->numParams, 3);
    EXPECT_EQ(e->numInputs, 1);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags, 0);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(e->object, &effect);
    EXPECT_EQ(e->uniqueID, fourCharCode("NoEf"));
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(effect.sampleRate, 44100.0f);
    EXPECT_EQ(effect.blockSize, 1024);
    EXPECT_EQ(effect.curProgram, 0);
    EXPECT_EQ(effect.editor, nullptr);
}

TEST(EffectBase, FlagSettersTouchOnlyTheirBit) {
    MinimalEffect effect(nullptr);
    AEffect* e = effect.getAEffect();
    e->flags = 273;
    effect.setHasVu(false);
    EXPECT_EQ(e->flags, 273);
    effect.setHasVu(true);
    EXPECT_EQ(e->flags, 277);
    effect.setHasClip(true);
    effect.setCanMono(true);
    effect.setProgramChunks(true);
    effect.setNoSoundInStop(true);
    effect.setExtIsAsync(true);
    effect.setExtHasBuffer(true);
    EXPECT_EQ(e->flags, 273 | 4 | 2 | 8 | 32 | 512 | 1024 | 2048);
    effect.setIsSynth(false);
    effect.setCanReplacing(false);
    EXPECT_EQ(e->flags & (256 | 16), 0);
    EXPECT_EQ(effect.dispatcher(effGetPlugCategory, 0, 0, nullptr, 0), kPlugCategUnknown);
    effect.setIsSynth(true);
    EXPECT_EQ(effect.dispatcher(effGetPlugCategory, 0, 0, nullptr, 0), kPlugCategSynth);
    effect.setUniqueId(42);
    effect.setNumInputs(3);
    effect.setNumOutputs(5);
    effect.setInitialDelay(7);
    effect.setRealQualities(8);
    effect.setOffQualities(9);
    EXPECT_EQ(e->uniqueID, 42);
    EXPECT_EQ(e->numInputs, 3);
    EXPECT_EQ(e->numOutputs, 5);
    EXPECT_EQ(e->initialDelay, 7);
    EXPECT_EQ(e->realQualities, 8);
    EXPECT_EQ(e->offQualities, 9);
}

TEST(EffectBase, DefaultAnswersThroughTheDispatcher) {
    MinimalEffect effect(nullptr);
    char text[32];
    std::strcpy(text, "untouched");
    EXPECT_EQ(effect.dispatcher(effGetEffectName, 0, 0, text, 0), 0);
    EXPECT_STREQ(text, "untouched");
    EXPECT_EQ(effect.dispatcher(effGetParamDisplay, 0, 0, text, 0), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(effect.dispatcher(effCanDo, 0, 0, text, 0), 0);
    EXPECT_EQ(effect.dispatcher(effGetNumProgramCategories, 0, 0, nullptr, 0), 1);
    EXPECT_EQ(effect.dispatcher(effProcessEvents, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(effect.dispatcher(effCanBeAutomated, 0, 0, nullptr, 0), 1);
    EXPECT_EQ(effect.dispatcher(effCopyProgram, 1, 0, nullptr, 0), 0);
    EXPECT_EQ(effect.dispatcher(effKeysRequired, 0, 0, nullptr, 0), 1);
    EXPECT_EQ(effect.dispatcher(effGetVstVersion, 0, 0, nullptr, 0), 2);
    EXPECT_EQ(effect.dispatcher(effGetVendorVersion, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(effect.dispatcher(effIdentify, 0, 0, nullptr, 0), fourCharCode("NvEf"));
    EXPECT_EQ(effect.dispatcher(effEditGetRect, 0, 0, nullptr, 0), 0);   // no editor
    EXPECT_EQ(effect.dispatcher(effEditOpen, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(effect.dispatcher(effEditClose, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(effect.dispatcher(effEditIdle, 0, 0, nullptr, 0), 0);

    effect.dispatcher(effSetProgram, 0, 3, nullptr, 0);
    EXPECT_EQ(effect.dispatcher(effGetProgram, 0, 0, nullptr, 0), 3);
    effect.dispatcher(effSetProgram, 0, 4, nullptr, 0);   // beyond numPrograms
    effect.dispatcher(effSetProgram, 0, -1, nullptr, 0);
    EXPECT_EQ(effect.dispatcher(effGetProgram, 0, 0, nullptr, 0), 3);
    effect.dispatcher(effSetBlockSize, 0, 333, nullptr, 0);
    EXPECT_EQ(effect.getBlockSize(), 333);
}

TEST(EffectBase, PowerAndRateOpcodesCallTheRightOperations) {
    MinimalEffect effect(nullptr);
    effect.dispatcher(effMainsChanged, 0, 0, nullptr, 0);
    effect.dispatcher(effMainsChanged, 0, 1, nullptr, 0);
    effect.dispatcher(effMainsChanged, 0, -3, nullptr, 0);
    ASSERT_EQ(effect.log.size(), 3u);
    EXPECT_STREQ(effect.log[0], "suspend");
    EXPECT_STREQ(effect.log[1], "resume");
    EXPECT_STREQ(effect.log[2], "resume");
    effect.log.clear();

    EXPECT_EQ(effect.dispatcher(effSetBlockSizeAndSampleRate, 0, 128, nullptr, 96000.0f), 1);
    EXPECT_TRUE(effect.log.empty());   // stored directly, no setSampleRate
    EXPECT_EQ(effect.getSampleRate(), 96000.0f);
    EXPECT_EQ(effect.getBlockSize(), 128);
    effect.dispatcher(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    ASSERT_EQ(effect.log.size(), 1u);
    EXPECT_EQ(effect.getSampleRate(), 48000.0f);
}

TEST(EffectBase, EditorIdleRunsOneUpdatePerRequest) {
    MinimalEffect effect(nullptr);
    CountingEditor* editor = new CountingEditor;
    effect.editor = editor;   // owned and deleted by the effect
    EXPECT_EQ(editor->updatePending, 0);
    effect.dispatcher(effEditIdle, 0, 0, nullptr, 0);
    EXPECT_EQ(editor->updates, 0);
    editor->requestUpdate();
    editor->requestUpdate();
    effect.dispatcher(effEditIdle, 0, 0, nullptr, 0);
    EXPECT_EQ(editor->updates, 1);
    effect.dispatcher(effEditIdle, 0, 0, nullptr, 0);
    EXPECT_EQ(editor->updates, 1);

    ERect* rect = reinterpret_cast<ERect*>(1);
    EXPECT_EQ(effect.dispatcher(effEditGetRect, 0, 0, &rect, 0), 0);
    EXPECT_EQ(rect, nullptr);
    int window = 0;
    EXPECT_EQ(effect.dispatcher(effEditOpen, 0, 0, &window, 0), 0);
    EXPECT_EQ(editor->parentWindow, &window);
}

TEST(EffectBase, VuIsScaledAndTruncated) {
    struct VuEffect : MinimalEffect {
        using MinimalEffect::MinimalEffect;
        float getVu() override { return vu; }
        float vu = 0.0f;
    } effect(nullptr);
    EXPECT_EQ(effect.dispatcher(effGetVu, 0, 0, nullptr, 0), 0);
    effect.vu = 0.5f;
    EXPECT_EQ(effect.dispatcher(effGetVu, 0, 0, nullptr, 0), 16383);
    effect.vu = -0.5f;
    EXPECT_EQ(effect.dispatcher(effGetVu, 0, 0, nullptr, 0), -16383);
    effect.vu = 1e30f;   // beyond an integer: a safe answer
    EXPECT_EQ(effect.dispatcher(effGetVu, 0, 0, nullptr, 0), 0);
}
