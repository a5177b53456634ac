// The plug-in's entry point, record and dispatcher as a host sees them
// through the real DLL.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "tests/shared/signal_checks.h"
#include "tests/wine/vorzle_dll.h"

namespace {

class EntryAndDispatch : public ::testing::Test {
protected:
    void SetUp() override { Host::instance().reset(); }
    void TearDown() override { Host::instance().reset(); }
};

std::vector<float> renderBlock(PluginInstance& plugin, int32_t frames) {
    std::vector<float> left(frames, 0.0f), right(frames, 0.0f);
    plugin.processReplacing(left.data(), right.data(), frames);
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

}  // namespace

TEST_F(EntryAndDispatch, RecordHoldsTheInstrumentsValues) {
    auto plugin = createVorzle();
    ASSERT_TRUE(plugin);
    const AEffect* e = plugin->effect();
    EXPECT_EQ(e->magic, fourCharCode("VstP"));
    EXPECT_NE(e->dispatcher, nullptr);
    EXPECT_NE(e->process, nullptr);
    EXPECT_NE(e->setParameter, nullptr);
    EXPECT_NE(e->getParameter, nullptr);
    EXPECT_NE(e->processReplacing, nullptr);
    EXPECT_NE(reinterpret_cast<void*>(e->processReplacing), reinterpret_cast<void*>(e->process));
    EXPECT_EQ(e->numPrograms, 128);
    EXPECT_EQ(e->numParams, 39);
    EXPECT_EQ(e->numInputs, 0);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags, 305);   // synth, replacing, program chunks
    EXPECT_EQ(e->resvd1, 0);
    EXPECT_EQ(e->resvd2, 0);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(e->realQualities, 0);
    EXPECT_EQ(e->offQualities, 0);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_NE(e->object, nullptr);
    EXPECT_EQ(e->user, nullptr);
    EXPECT_EQ(e->uniqueID, fourCharCode("Trlx"));
    EXPECT_EQ(e->version, 1);
    for (char c : e->future) EXPECT_EQ(c, 0);

    // The same fields read at the published byte offsets, which differ
    // between 32-bit and 64-bit hosts.
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(e);
    auto int32At = [&](size_t offset) {
        int32_t v;
        std::memcpy(&v, bytes + offset, 4);
        return v;
    };
    EXPECT_EQ(int32At(0), 0x56737450);   // 'VstP'
    EXPECT_EQ(int32At(publishedOffset(20, 40)), 128);
    EXPECT_EQ(int32At(publishedOffset(36, 56)), 305);
    EXPECT_EQ(int32At(publishedOffset(72, 112)), 0x54726C78);  // 'Trlx'
    EXPECT_EQ(int32At(publishedOffset(76, 116)), 1);
    void* object = nullptr;
    std::memcpy(&object, bytes + publishedOffset(64, 96), sizeof object);
    EXPECT_EQ(object, e->object);
}

TEST_F(EntryAndDispatch, HostWithoutVersionIsRefused) {
    Host::instance().setAnswer(audioMasterVersion, 0);
    EXPECT_EQ(vorzleModule().entry()(&Host::callback), nullptr);
    const auto calls = Host::instance().calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].opcode, audioMasterVersion);
    EXPECT_EQ(calls[0].effect, nullptr);
}

TEST_F(EntryAndDispatch, ConstructionAsksOnlyForTheHostVersion) {
    auto plugin = createVorzle();
    ASSERT_TRUE(plugin);
    const auto calls = Host::instance().calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].effect, nullptr);
    EXPECT_EQ(calls[0].opcode, audioMasterVersion);
    EXPECT_EQ(calls[0].index, 0);
    EXPECT_EQ(calls[0].value, 0);
    EXPECT_EQ(calls[0].ptr, nullptr);
    EXPECT_EQ(calls[0].opt, 0.0f);

    // Programs, MIDI controllers and sample rates tell the host nothing.
    plugin->dispatch(effSetProgram, 0, 3);
    plugin->sendMidi({{0xB0, 7, 100}, {0xC0, 4, 0}});
    plugin->dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_EQ(Host::instance().calls().size(), 1u);
}

TEST_F(EntryAndDispatch, CloseAnswersOneAndInstancesAreIndependent) {
    auto first = createVorzle();
    auto second = createVorzle();
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->effect(), second->effect());
    first->dispatch(effSetProgram, 0, 5);
    EXPECT_EQ(second->dispatch(effGetProgram), 0);

    AEffect* record = first->effect();
    second->sendMidi({{0x90, 69, 100}});
    // effClose through the record answers 1 and ends the instance.
    EXPECT_EQ(record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(second->dispatch(effGetProgram), 0);
    EXPECT_EQ(second->text(effGetProgramName), "Classiq");
    EXPECT_FALSE(signal_checks::allZero(renderBlock(*second, 512)));
    // The wrapper must not close the first instance again.
    first.release();
}

TEST_F(EntryAndDispatch, BasicDispatcherAnswers) {
    auto plugin = createVorzle();
    ASSERT_TRUE(plugin);
    char text[64];
    EXPECT_EQ(plugin->dispatch(effIdentify), fourCharCode("NvEf"));
    EXPECT_EQ(plugin->dispatch(effIdentify, 7, 99, text, 3.0f), fourCharCode("NvEf"));
    EXPECT_EQ(plugin->dispatch(effGetVu), 0);
    EXPECT_EQ(plugin->dispatch(effOpen), 0);
    for (int32_t op : {effEditDraw, effEditMouse, effEditKey, effEditTop, effEditSleep})
        EXPECT_EQ(plugin->dispatch(op), 0) << op;
    void* chunk = nullptr;
    EXPECT_EQ(plugin->dispatch(effGetChunk, 0, 0, &chunk), 23068);   // the bank
    EXPECT_NE(chunk, nullptr);
    EXPECT_EQ(plugin->dispatch(effGetChunk, 1, 0, &chunk), 208);     // the current program
    EXPECT_EQ(plugin->dispatch(effSetChunk, 0, 4, text), 0);
    // Text requests without a buffer are ignored rather than followed.
    EXPECT_EQ(plugin->dispatch(effGetParamDisplay, 0, 0, nullptr), 0);
    EXPECT_EQ(plugin->dispatch(effGetProgramName, 0, 0, nullptr), 0);
    EXPECT_EQ(plugin->dispatch(effGetProgramNameIndexed, 0, 0, nullptr), 0);
    EXPECT_EQ(plugin->dispatch(effGetEffectName, 0, 0, nullptr), 0);
}

TEST_F(EntryAndDispatch, ExtendedDispatcherAnswers) {
    auto plugin = createVorzle();
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->dispatch(effKeysRequired), 1);
    EXPECT_EQ(plugin->dispatch(effGetVstVersion), 2);
    EXPECT_EQ(plugin->dispatch(effConnectInput, 0, 1), 1);
    EXPECT_EQ(plugin->dispatch(effConnectOutput, 1, 0), 1);
    EXPECT_EQ(plugin->dispatch(effCanBeAutomated, 3), 1);
    EXPECT_EQ(plugin->dispatch(effString2Parameter, 3, 0, const_cast<char*>("0.5")), 0);
    EXPECT_EQ(plugin->dispatch(effGetTailSize), 0);
    EXPECT_EQ(plugin->dispatch(effSetBypass, 0, 1), 0);
    EXPECT_EQ(plugin->dispatch(effGetIcon), 0);
    EXPECT_EQ(plugin->dispatch(effIdle), 0);
    EXPECT_EQ(plugin->dispatch(effGetCurrentPosition), 0);
    EXPECT_EQ(plugin->dispatch(effGetDestinationBuffer), 0);
    VstPinProperties pin{};
    EXPECT_EQ(plugin->dispatch(effGetInputProperties, 0, 0, &pin), 0);
    for (int32_t op : {59, 60, 100, 1000, INT_MAX, -1, -2, -1000, INT_MIN})
        EXPECT_EQ(plugin->dispatch(op, 1, 1, nullptr, 1.0f), 0) << op;
    EXPECT_EQ(Host::instance().calls().size(), 1u);   // only the version query of construction
}

TEST_F(EntryAndDispatch, MainsChangedAsksForMidiOnlyWhenSwitchedOn) {
    auto plugin = createVorzle();
    ASSERT_TRUE(plugin);
    Host::instance().reset();
    plugin->dispatch(effMainsChanged, 0, 0);
    EXPECT_TRUE(Host::instance().calls().empty());

    for (intptr_t on : {1, 7}) {
        Host::instance().reset();
        plugin->dispatch(effMainsChanged, 0, on);
        const auto calls = Host::instance().calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].effect, plugin->effect());
        EXPECT_EQ(calls[0].opcode, audioMasterWantMidi);
        EXPECT_EQ(calls[0].index, 0);
        EXPECT_EQ(calls[0].value, 1);
        EXPECT_EQ(calls[0].ptr, nullptr);
        EXPECT_EQ(calls[0].opt, 0.0f);
    }
}

TEST_F(EntryAndDispatch, BlockSizeAndSampleRateRebuildsLikeARateChange) {
    auto plugin = createVorzle();
    ASSERT_TRUE(plugin);
    plugin->sendMidi({{0x90, 60, 100}});
    ASSERT_FALSE(signal_checks::allZero(renderBlock(*plugin, 256)));
    // Opcode 43 changes the rate as effSetSampleRate does: rebuilt buffers,
    // and voices and delay lines fall silent.
    EXPECT_EQ(plugin->dispatch(effSetBlockSizeAndSampleRate, 0, 256, nullptr, 48000.0f), 1);
    EXPECT_TRUE(signal_checks::allZero(renderBlock(*plugin, 256)));
    plugin->sendMidi({{0x90, 60, 100}});
    EXPECT_FALSE(signal_checks::allZero(renderBlock(*plugin, 256)));
}
