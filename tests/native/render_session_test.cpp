#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "song/block_schedule.h"
#include "tools/render/render_session.h"
#include "vsthost/plugin_instance.h"

namespace fs = std::filesystem;

extern "C" AEffect* vorzleMain(audioMasterCallback audioMaster);

namespace {

// An in-process instrument that records what the host does. While a note is
// held, and for kRingFrames after its note-off, it outputs kLevel (left) and
// -kLevel (right); the outputs switch at the exact frame each event names.
struct FakeSynth {
    static constexpr float kLevel = 0.5f;
    static constexpr int64_t kRingFrames = 1000;

    AEffect effect{};
    std::vector<std::pair<int32_t, intptr_t>> calls;   // opcode, value (events excluded)
    float sampleRate = 0;
    std::vector<int64_t> eventFrames;                  // absolute frame of each event
    std::vector<uint8_t> eventStatus;
    std::vector<std::pair<int32_t, int32_t>> pending;  // deltaFrames, +1 on / -1 off
    std::vector<int32_t> deltas;                       // deltaFrames of each event
    std::vector<int32_t> eventsPerCall;
    std::vector<int32_t> blockFrames;
    int64_t framesDone = 0;
    int held = 0;
    int64_t releasedAt = -1;
    bool neverQuiet = false;
    int replacingCalls = 0;
    int addingCalls = 0;

    static FakeSynth* current;

    static intptr_t dispatch(AEffect*, int32_t opcode, int32_t, intptr_t value, void* ptr, float opt) {
        FakeSynth& s = *current;
        if (opcode == effProcessEvents) {
            const auto* list = static_cast<const VstEvents*>(ptr);
            s.eventsPerCall.push_back(list->numEvents);
            for (int32_t i = 0; i < list->numEvents; ++i) {
                const auto* m = reinterpret_cast<const VstMidiEvent*>(list->events[i]);
                const auto status = static_cast<uint8_t>(m->midiData[0]);
                s.eventFrames.push_back(s.framesDone + m->deltaFrames);
                s.deltas.push_back(m->deltaFrames);
                s.eventStatus.push_back(status);
                if ((status & 0xF0) == 0x90 && m->midiData[2] != 0) s.pending.push_back({m->deltaFrames, 1});
                else if ((status & 0xF0) == 0x80 || (status & 0xF0) == 0x90) s.pending.push_back({m->deltaFrames, -1});
            }
            return 1;
        }
        if (opcode == effSetSampleRate) s.sampleRate = opt;
        s.calls.push_back({opcode, value});
        return 0;
    }

    void run(float** outputs, int32_t frames, bool adding) {
        blockFrames.push_back(frames);
        size_t next = 0;
        for (int32_t i = 0; i < frames; ++i) {
            while (next < pending.size() && pending[next].first <= i) {
                held += pending[next++].second;
                if (held == 0) releasedAt = framesDone + i;
            }
            const bool sounding = neverQuiet || held > 0 || (releasedAt >= 0 && framesDone + i < releasedAt + kRingFrames);
            const float v = sounding ? kLevel : 0.0f;
            if (adding) {
                outputs[0][i] += v;
                if (effect.numOutputs > 1) outputs[1][i] -= v;
            } else {
                outputs[0][i] = v;
                if (effect.numOutputs > 1) outputs[1][i] = -v;
            }
        }
        pending.clear();
        framesDone += frames;
    }

    static void replacing(AEffect*, float**, float** outputs, int32_t frames) {
        ++current->replacingCalls;
        current->run(outputs, frames, false);
    }
    static void adding(AEffect*, float**, float** outputs, int32_t frames) {
        ++current->addingCalls;
        current->run(outputs, frames, true);
    }

    FakeSynth(int32_t outputs, bool canReplace) {
        current = this;
        effect.magic = kEffectMagic;
        effect.dispatcher = dispatch;
        effect.process = adding;
        effect.processReplacing = canReplace ? replacing : nullptr;
        effect.numPrograms = 4;
        effect.numOutputs = outputs;
        effect.flags = effFlagsIsSynth | (canReplace ? effFlagsCanReplacing : 0);
    }

    static AEffect* entry(audioMasterCallback) { return &current->effect; }
};
FakeSynth* FakeSynth::current = nullptr;

MidiSong noteSong(double on, double off, double length) {
    MidiSong song;
    song.events.push_back({on, {0x90, 60, 100}, 3});
    song.events.push_back({off, {0x80, 60, 0}, 3});
    song.lengthSeconds = length;
    return song;
}

class RenderSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("render_session_test_" + std::to_string(getpid()));
        fs::create_directories(dir);
        out = dir / "out.wav";
    }
    void TearDown() override { fs::remove_all(dir); }

    // Renders through a fresh instance of `synth` and reads the float samples back.
    bool render(FakeSynth&, const MidiSong& song, const RenderSettings& settings, RenderResult& result,
                std::string& error, VstEntry entry = &FakeSynth::entry) {
        std::string createError;
        auto instance = PluginInstance::create(entry, createError);
        EXPECT_TRUE(instance) << createError;
        WavWriter writer;
        EXPECT_TRUE(writer.open(out, settings.sampleRate, WavSampleFormat::Float32, false, error));
        const bool ok = renderSong(*instance, song, settings, writer, nullptr, result, error) && writer.finish(error);
        if (ok) {
            std::ifstream file(out, std::ios::binary);
            std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            samples.assign((bytes.size() - 58) / 4, 0.0f);
            std::memcpy(samples.data(), bytes.data() + 58, samples.size() * 4);
        }
        return ok;
    }

    fs::path dir, out;
    std::vector<float> samples;   // interleaved left, right
};

}  // namespace

TEST_F(RenderSessionTest, SetsUpLikeAHostAndSwitchesOffAtTheEnd) {
    FakeSynth synth(2, true);
    RenderSettings settings;
    settings.sampleRate = 48000;
    settings.blockSize = 100;
    settings.program = 3;
    settings.fixedTail = true;
    RenderResult result;
    std::string error;
    ASSERT_TRUE(render(synth, noteSong(0.0, 0.01, 0.01), settings, result, error)) << error;
    const std::vector<std::pair<int32_t, intptr_t>> expected = {
        {effSetSampleRate, 0}, {effSetBlockSize, 100}, {effSetProgram, 3},
        {effMainsChanged, 1},  {effMainsChanged, 0},   {effClose, 0}};
    EXPECT_EQ(synth.calls, expected);
    EXPECT_EQ(synth.sampleRate, 48000.0f);
}

TEST_F(RenderSessionTest, FixedBlocksDeliverEventsAtTheirExactFrameWithDeltaFrames) {
    FakeSynth synth(2, true);
    RenderSettings settings;
    settings.blockSize = 100;
    settings.fixedBlocks = true;
    settings.fixedTail = true;
    settings.tailSeconds = 0.0;
    const MidiSong song = noteSong(0.0057, 0.0113, 0.02);   // frames 251 and 498 at 44.1 kHz
    RenderResult result;
    std::string error;
    ASSERT_TRUE(render(synth, song, settings, result, error)) << error;
    ASSERT_EQ(synth.eventFrames.size(), 2u);
    EXPECT_EQ(synth.eventFrames[0], eventSample(0.0057, 44100));
    EXPECT_EQ(synth.eventFrames[1], eventSample(0.0113, 44100));
    EXPECT_EQ(synth.eventStatus[0], 0x90);
    // The file switches on at exactly that frame.
    const int64_t on = synth.eventFrames[0];
    EXPECT_EQ(samples[2 * (on - 1)], 0.0f);
    EXPECT_EQ(samples[2 * on], FakeSynth::kLevel);
    EXPECT_EQ(samples[2 * on + 1], -FakeSynth::kLevel);
    EXPECT_EQ(synth.replacingCalls, 9);   // 882 frames in blocks of 100
    EXPECT_EQ(synth.addingCalls, 0);
}

TEST_F(RenderSessionTest, BlocksAreCutSoThatEveryEventStartsOne) {
    FakeSynth synth(2, true);
    RenderSettings settings;
    settings.blockSize = 100;
    settings.fixedTail = true;
    MidiSong song = noteSong(0.0057, 0.0113, 0.02);   // frames 251 and 498 at 44.1 kHz
    song.events.insert(song.events.begin() + 1, {0.0057, {0xB0, 1, 2}, 3});
    song.events.insert(song.events.begin() + 2, {0.0057, {0xB0, 1, 3}, 3});
    RenderResult result;
    std::string error;
    ASSERT_TRUE(render(synth, song, settings, result, error)) << error;

    // Each event arrives with offset 0 just before the block that starts on its sample, in file order.
    ASSERT_EQ(synth.eventFrames.size(), 4u);
    EXPECT_EQ(synth.eventFrames, (std::vector<int64_t>{251, 251, 251, 498}));
    EXPECT_EQ(synth.deltas, (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(synth.eventStatus, (std::vector<uint8_t>{0x90, 0xB0, 0xB0, 0x80}));
    // No block is longer than the block size, and they cover the song exactly.
    const std::vector<int32_t> expected{100, 100, 51, 100, 100, 47, 100, 100, 100, 84};
    EXPECT_EQ(synth.blockFrames, expected);
    EXPECT_EQ(result.frames, 882);
    EXPECT_EQ(samples[2 * 250], 0.0f);
    EXPECT_EQ(samples[2 * 251], FakeSynth::kLevel);
}

TEST_F(RenderSessionTest, ABlockWithMoreEventsThanOneCallTakesGetsSeveralCalls) {
    // A note-on, then 70,000 controller changes and the note-off on one sample:
    // Vorzle takes at most 65,536 events per call, and must still hear the note-off.
    MidiSong song;
    song.events.push_back({0.0, {0x90, 69, 100}, 3});
    for (int i = 0; i < 70000; ++i) song.events.push_back({0.5, {0xB0, 1, uint8_t(i & 0x7F)}, 3});
    song.events.push_back({0.5, {0x80, 69, 0}, 3});
    song.lengthSeconds = 0.5;
    for (bool fixedBlocks : {false, true}) {
        FakeSynth synth(2, true);
        RenderSettings settings;
        settings.fixedBlocks = fixedBlocks;
        settings.fixedTail = true;
        RenderResult result;
        std::string error;
        ASSERT_TRUE(render(synth, song, settings, result, error)) << error;
        EXPECT_EQ(synth.eventsPerCall, (std::vector<int32_t>{1, 65536, 4465})) << fixedBlocks;
        EXPECT_EQ(synth.eventStatus.back(), 0x80);

        // Through Vorzle's program 2, a held note sounds on for seconds (checked
        // first); released, it dies away within about one.
        FakeSynth unused(2, true);
        settings.fixedTail = false;
        settings.program = 2;
        MidiSong held = song;
        held.events.pop_back();
        ASSERT_TRUE(render(unused, held, settings, result, error, &vorzleMain)) << error;
        ASSERT_GT(result.frames, 5 * 44100) << "program 2 no longer holds its notes; pick one that does";
        ASSERT_TRUE(render(unused, song, settings, result, error, &vorzleMain)) << error;
        EXPECT_LT(result.frames, 3 * 44100) << "the note did not end, fixed blocks " << fixedBlocks;
    }
}

TEST_F(RenderSessionTest, GainScalesEverySample) {
    FakeSynth synth(2, true);
    RenderSettings settings;
    settings.fixedTail = true;
    settings.gain = 0.25f;
    RenderResult result;
    std::string error;
    ASSERT_TRUE(render(synth, noteSong(0.0, 0.01, 0.01), settings, result, error)) << error;
    EXPECT_EQ(samples[0], 0.25f * FakeSynth::kLevel);
    EXPECT_EQ(samples[1], -0.25f * FakeSynth::kLevel);
}

TEST_F(RenderSessionTest, AProgressCallbackThatAnswersFalseStopsTheRender) {
    FakeSynth synth(2, true);
    RenderSettings settings;
    settings.fixedTail = true;
    std::string createError, error;
    auto instance = PluginInstance::create(&FakeSynth::entry, createError);
    WavWriter writer;
    ASSERT_TRUE(writer.open(out, settings.sampleRate, WavSampleFormat::Float32, false, error));
    int calls = 0;
    RenderResult result;
    EXPECT_FALSE(renderSong(*instance, noteSong(0.0, 0.5, 1.0), settings, writer,
                            [&calls](const RenderProgress&) { return ++calls < 3; }, result, error));
    EXPECT_TRUE(result.interrupted);
    EXPECT_EQ(error, "interrupted");
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(synth.calls.back().first, effMainsChanged);   // switched off all the same
}

TEST_F(RenderSessionTest, FixedTailGivesTheExactLength) {
    FakeSynth synth(2, true);
    RenderSettings settings;
    settings.blockSize = 512;
    settings.fixedTail = true;
    settings.tailSeconds = 0.25;
    RenderResult result;
    std::string error;
    ASSERT_TRUE(render(synth, noteSong(0.0, 0.5, 1.0), settings, result, error)) << error;
    EXPECT_EQ(result.songFrames, 44100);
    EXPECT_EQ(result.frames, 44100 + 11025);
    EXPECT_EQ(samples.size(), 2u * (44100 + 11025));
}

TEST_F(RenderSessionTest, AutomaticTailEndsAfterOneQuietSecond) {
    FakeSynth synth(2, true);
    RenderSettings settings;
    settings.blockSize = 333;
    RenderResult result;
    std::string error;
    // The song ends with the note-off; the sound rings 1000 frames longer.
    ASSERT_TRUE(render(synth, noteSong(0.0, 0.5, 0.5), settings, result, error)) << error;
    EXPECT_EQ(result.songFrames, 22051);   // through the note-off's frame 22050
    EXPECT_EQ(result.frames, 22050 + FakeSynth::kRingFrames + 44100);
    EXPECT_EQ(samples.size(), 2u * result.frames);
    EXPECT_EQ(samples[2 * (22050 + FakeSynth::kRingFrames - 1)], FakeSynth::kLevel);
    EXPECT_EQ(samples.back(), 0.0f);
}

TEST_F(RenderSessionTest, AutomaticTailStopsAtThirtySeconds) {
    FakeSynth synth(2, true);
    synth.neverQuiet = true;
    RenderSettings settings;
    settings.sampleRate = 8000;
    RenderResult result;
    std::string error;
    ASSERT_TRUE(render(synth, noteSong(0.0, 0.5, 1.0), settings, result, error)) << error;
    EXPECT_EQ(result.frames, 8000 + 30 * 8000);
}

TEST_F(RenderSessionTest, AddingProcessGetsZeroedBuffersAndMonoFillsBothSides) {
    FakeSynth synth(1, false);
    RenderSettings settings;
    settings.blockSize = 64;
    settings.fixedTail = true;
    RenderResult result;
    std::string error;
    ASSERT_TRUE(render(synth, noteSong(0.0, 0.01, 0.01), settings, result, error)) << error;
    EXPECT_GT(synth.addingCalls, 0);
    EXPECT_EQ(synth.replacingCalls, 0);
    // Adding into stale buffers would give 1.0, 1.5...; zeroed buffers keep 0.5.
    for (size_t i = 0; i < 441; ++i) {
        ASSERT_EQ(samples[2 * i], FakeSynth::kLevel) << i;
        ASSERT_EQ(samples[2 * i + 1], FakeSynth::kLevel) << i;
    }
}

TEST(RenderSession, InstrumentProblems) {
    AEffect e{};
    e.flags = effFlagsIsSynth | effFlagsCanReplacing;
    e.numOutputs = 2;
    e.processReplacing = [](AEffect*, float**, float**, int32_t) {};
    EXPECT_EQ(instrumentProblem(e), "");
    e.flags = effFlagsCanReplacing;
    EXPECT_EQ(instrumentProblem(e), "not an instrument (the plug-in does not set effFlagsIsSynth)");
    e.flags = effFlagsIsSynth | effFlagsCanReplacing;
    e.numOutputs = 0;
    EXPECT_EQ(instrumentProblem(e), "not an instrument (the plug-in has no audio outputs)");
    e.numOutputs = 100000;
    EXPECT_NE(instrumentProblem(e).find("implausible output count"), std::string::npos);
    e.numOutputs = 2;
    e.flags = effFlagsIsSynth;   // no replacing and no process function at all
    EXPECT_EQ(instrumentProblem(e), "the plug-in has no process function");
}

TEST(RenderSession, SilenceDetectorCountsAcrossBlocksFromTheTailStart) {
    SilenceDetector detector(10, 5, 1e-5f);
    const float quiet[8] = {};
    const float loud[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(detector.scan(0, quiet, quiet, 8), 0);   // before the tail: not counted
    EXPECT_EQ(detector.scan(8, quiet, quiet, 4), 0);   // frames 10 and 11 count
    EXPECT_EQ(detector.scan(12, quiet, quiet, 8), 3);  // frames 12, 13, 14 complete the run
    SilenceDetector reset(0, 3, 1e-5f);
    const float mixed[4] = {0, 0, 1, 0};
    EXPECT_EQ(reset.scan(0, mixed, quiet, 4), 0);
    EXPECT_EQ(reset.scan(4, quiet, loud, 4), 0);
}
