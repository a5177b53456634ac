#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/shared/engine_reference_sequence.h"
#include "tests/shared/signal_checks.h"
#include "tests/wine/vorzle_dll.h"

// The engine seen through the real DLL, as a host drives it.

using namespace signal_checks;

namespace {

constexpr float kGarbage = 123.0f;

struct Block {
    std::vector<float> left, right;
};

Block replacing(PluginInstance& plugin, int32_t frames) {
    Block b{std::vector<float>(frames, kGarbage), std::vector<float>(frames, kGarbage)};
    plugin.processReplacing(b.left.data(), b.right.data(), frames);
    return b;
}

void startChord(PluginInstance& plugin) {
    plugin.sendMidi({{0xB0, 73, 0}, {0xB0, 1, 127}, {0x90, 48, 100}, {0x90, 55, 90}, {0x90, 64, 80}});
}

}  // namespace

TEST(EngineDll, NoteSoundsAndOutputReturnsToExactZeroAfterRelease) {
    auto plugin = createVorzle();
    ASSERT_TRUE(plugin);
    plugin->dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    plugin->dispatch(effMainsChanged, 0, 1);
    plugin->sendMidi({{0xB0, 72, 0}, {0x90, 57, 100}});
    float loudest = 0.0f;
    for (int i = 0; i < 8; ++i) loudest = std::fmax(loudest, peak(replacing(*plugin, 512).left));
    EXPECT_GT(loudest, 0.01f);

    plugin->sendMidi({{0x80, 57, 0}});
    // The voice ends after its release; the effect's lines then fade to exact zeros.
    int32_t blocks = 0;
    bool silent = false;
    while (!silent && blocks < 1000) {
        const Block b = replacing(*plugin, 512);
        silent = allZero(b.left) && allZero(b.right);
        ++blocks;
    }
    EXPECT_TRUE(silent);
    EXPECT_LT(blocks, 400);
    for (int i = 0; i < 4; ++i) {
        const Block b = replacing(*plugin, 512);
        EXPECT_TRUE(allZero(b.left) && allZero(b.right));
    }
}

TEST(EngineDll, ProcessAddsAndProcessReplacingOverwrites) {
    auto overwriting = createVorzle();
    auto adding = createVorzle();
    ASSERT_TRUE(overwriting && adding);
    startChord(*overwriting);
    startChord(*adding);
    for (int call = 0; call < 4; ++call) {
        const Block r = replacing(*overwriting, 300);
        std::vector<float> left(300, 0.25f), right(300, -0.5f);
        adding->process(left.data(), right.data(), 300);
        for (int i = 0; i < 300; ++i) {
            ASSERT_EQ(left[i], 0.25f + r.left[i]) << i;
            ASSERT_EQ(right[i], -0.5f + r.right[i]) << i;
        }
    }
}

TEST(EngineDll, OneNullOutputGetsBothChannels) {
    auto reference = createVorzle();
    auto single = createVorzle();
    ASSERT_TRUE(reference && single);
    for (PluginInstance* p : {reference.get(), single.get()}) {
        p->sendMidi({{0xB0, 10, 40}});
        startChord(*p);
    }
    const Block r = replacing(*reference, 700);
    std::vector<float> buffer(700, kGarbage);
    single->processReplacing(nullptr, buffer.data(), 700);
    EXPECT_EQ(buffer, r.right);
    single->processReplacing(nullptr, nullptr, 16);
    EXPECT_GT(peak(buffer), 0.0f);
}

TEST(EngineDll, ProgramChangeSilencesAtOnce) {
    auto plugin = createVorzle();
    ASSERT_TRUE(plugin);
    startChord(*plugin);
    EXPECT_GT(peak(replacing(*plugin, 2048).left), 0.0f);
    plugin->sendMidi({{0xC2, 1, 0}});
    const Block b = replacing(*plugin, 2048);   // the change plays on the block's first frame
    EXPECT_EQ(plugin->dispatch(effGetProgram), 1);
    EXPECT_TRUE(allZero(b.left) && allZero(b.right));
    plugin->dispatch(effSetProgram, 0, 0);
    const Block c = replacing(*plugin, 512);
    EXPECT_TRUE(allZero(c.left) && allZero(c.right));
}

TEST(EngineDll, ShapeChangeIsHeardFromTheNextCallEvenAfterZeroFrames) {
    // A program change marks all wavetables; a zero-frame call rebuilds them,
    // so the next note sounds exactly as on a freshly built instance.
    auto plugin = createVorzle();
    auto fresh = createVorzle();
    ASSERT_TRUE(plugin && fresh);
    plugin->dispatch(effSetProgram, 0, 1);
    fresh->dispatch(effSetProgram, 0, 1);
    plugin->processReplacing(nullptr, nullptr, 0);
    std::vector<float> l(1), r(1);
    plugin->processReplacing(l.data(), r.data(), 0);
    plugin->sendMidi({{0x90, 60, 100}});
    fresh->sendMidi({{0x90, 60, 100}});
    const Block a = replacing(*plugin, 1024);
    const Block b = replacing(*fresh, 1024);
    EXPECT_EQ(a.left, b.left);
    EXPECT_GT(peak(a.left), 0.0f);
}

TEST(EngineDll, FiniteAtEveryRateAndBlockSize) {
    const float rates[] = {22050.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f};
    const int32_t sizes[] = {1, 7, 44, 45, 100, 333, 512, 1023, 4096};
    auto plugin = createVorzle();
    ASSERT_TRUE(plugin);
    for (float rate : rates) {
        plugin->dispatch(effMainsChanged, 0, 0);
        plugin->dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        plugin->dispatch(effMainsChanged, 0, 1);
        plugin->sendMidi({{0xE0, 0x7F, 0x7F}, {0x90, 0, 127}, {0x90, 60, 100}, {0x90, 127, 127}});
        float loudest = 0.0f;
        for (int32_t n : sizes) {
            const Block b = replacing(*plugin, n);
            ASSERT_TRUE(allFinite(b.left) && allFinite(b.right)) << rate << " " << n;
            loudest = std::fmax(loudest, peak(b.left));
        }
        EXPECT_GT(loudest, 0.0f) << rate;
        plugin->sendMidi({{0x80, 0, 0}, {0x80, 60, 0}, {0x80, 127, 0}});
        for (int32_t n : sizes) {
            const Block b = replacing(*plugin, n);
            ASSERT_TRUE(allFinite(b.left) && allFinite(b.right)) << rate << " " << n;
        }
    }
}

TEST(EngineDll, AbsurdRatesStaySilentAndRecover) {
    auto plugin = createVorzle();
    ASSERT_TRUE(plugin);
    for (float rate : {0.0f, -1.0f, NAN, 10.0f, 1e12f}) {
        plugin->dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        plugin->sendMidi({{0x90, 60, 100}});
        const Block b = replacing(*plugin, 300);
        EXPECT_TRUE(allZero(b.left) && allZero(b.right)) << rate;
        plugin->dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
        plugin->sendMidi({{0x90, 60, 100}});
        const Block c = replacing(*plugin, 2048);
        EXPECT_TRUE(allFinite(c.left));
        EXPECT_GT(peak(c.left), 0.0f) << rate;
    }
}

// The performance of the native reference test, rendered through the DLL,
// against the samples the native build wrote (VORZLE_NATIVE_REFERENCE, or the
// native build tree's engine_reference.f32).
TEST(EngineDll, MatchesTheNativeBuild) {
    const char* override = std::getenv("VORZLE_NATIVE_REFERENCE");
    const std::string path =
        override ? std::string(override) : std::string(VORZLE_SOURCE_DIR) + "/build/native/engine_reference.f32";
    std::vector<float> expected;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        float chunk[4096];
        size_t got;
        while ((got = std::fread(chunk, sizeof(float), 4096, file)) > 0) expected.insert(expected.end(), chunk, chunk + got);
        std::fclose(file);
    }
    ASSERT_FALSE(expected.empty()) << "no native reference at " << path << ": run native_tests first";

    auto plugin = createVorzle();
    ASSERT_TRUE(plugin);
    plugin->dispatch(effSetSampleRate, 0, 0, nullptr, engine_reference::kSampleRate);
    std::vector<float> actual;
    for (const engine_reference::Step& step : engine_reference::sequence()) {
        std::vector<MidiMessage> messages;
        for (const engine_reference::Message& m : step.messages) messages.push_back({m.status, m.data1, m.data2, 0});
        if (!messages.empty()) plugin->sendMidi(messages);
        const Block b = replacing(*plugin, step.frames);
        for (int32_t i = 0; i < step.frames; ++i) {
            actual.push_back(b.left[i]);
            actual.push_back(b.right[i]);
        }
    }
    ASSERT_EQ(actual.size(), expected.size());
    float worst = 0.0f;
    size_t worstAt = 0;
    for (size_t i = 0; i < actual.size(); ++i) {
        const float d = std::fabs(actual[i] - expected[i]);
        if (!(d <= worst)) {
            worst = d;
            worstAt = i;
        }
    }
    char difference[32];
    std::snprintf(difference, sizeof difference, "%.3g", static_cast<double>(worst));
    RecordProperty("largest_difference", difference);
    EXPECT_LE(worst, engine_reference::kTolerance) << "at interleaved sample " << worstAt;
}
