#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/render/block_schedule.h"
#include "tools/render/render_session.h"
#include "vsthost/plugin_instance.h"

namespace fs = std::filesystem;

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
            for (int32_t i = 0; i < list->numEvents; ++i) {
                const auto* m = reinterpret_cast<const VstMidiEvent*>(list->events[i]);
                const auto status = static_cast<uint8_t>(m->midiData[0]);
                s.eventFrames.push_back(s.framesDone + m->deltaFrames);
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
                std::string& error) {
        std::string createError;
        auto instance = PluginInstance::create(&FakeSynth::entry, createError);
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

TEST_F(RenderSessionTest, EventsArriveAtTheirExactFrameWithDeltaFrames) {
    FakeSynth synth(2, true);
    RenderSettings settings;
    settings.blockSize = 100;
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
