// Stores from the editor's and the MIDI thread while the audio thread renders:
// no store takes another's index or value, no rebuild bit is lost. Built also
// under ThreadSanitizer, which reports any unsynchronised access.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "../../engine/wave_shape.h"
#include "../../host/synth_plugin.h"

namespace {

intptr_t quietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

constexpr int kStores = 20000;

}  // namespace

TEST(ParameterStoreRace, ConcurrentStoresKeepTheirOwnIndexAndValue) {
    SynthPlugin plugin(quietHost);
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> left(64), right(64);
        float* outputs[2] = {left.data(), right.data()};
        while (!stop.load()) plugin.processReplacing(nullptr, outputs, 64);
    });
    // The editor's thread writes the volume, the MIDI thread oscillator 1's
    // level, each with values the other never uses.
    std::thread editorThread([&] {
        for (int i = 0; i < kStores; ++i) plugin.storeParameter(Volume, 0.25f + (i % 100) * 0.001f);
        plugin.storeParameter(Volume, 0.125f);
    });
    std::thread midiThread([&] {
        for (int i = 0; i < kStores; ++i) plugin.storeParameter(Osc1Level, 0.75f + (i % 100) * 0.001f);
        plugin.storeParameter(Osc1Level, 0.875f);
    });
    editorThread.join();
    midiThread.join();
    stop.store(true);
    audio.join();

    EXPECT_EQ(plugin.readParameter(Volume), 0.125f);
    EXPECT_EQ(plugin.readParameter(Osc1Level), 0.875f);
}

TEST(ParameterStoreRace, ShapeChangeDuringRenderIsRebuiltAtTheNextCall) {
    SynthPlugin plugin(quietHost);
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> left(128), right(128);
        float* outputs[2] = {left.data(), right.data()};
        while (!stop.load()) plugin.processReplacing(nullptr, outputs, 128);
    });
    std::thread editorThread([&] {
        for (int i = 0; i < kStores; ++i) plugin.storeParameter(Osc1Sine, (i % 2) ? 1.0f : 0.0f);
        plugin.storeParameter(Osc1Sine, 1.0f);
    });
    editorThread.join();
    stop.store(true);
    audio.join();

    // Whatever the audio thread consumed, the last store's bit is still
    // pending or was consumed after the value was written: one more call
    // leaves wavetable 1 built from the final value.
    std::vector<float> left(16), right(16);
    float* outputs[2] = {left.data(), right.data()};
    plugin.processReplacing(nullptr, outputs, 16);
    const ProgramRecord& program = plugin.currentProgram();
    const int32_t n = plugin.tableLength;
    for (int32_t k : {1, n / 8, n / 3, n / 2 + 5, n - 2}) {
        const float phase = static_cast<float>(static_cast<double>(k) / n);
        const float expected = waveShape(phase, 1.0f, program.valueOf(Osc1Width), program.valueOf(Osc1Center),
                                         program.valueOf(Osc1Level), program.valueOf(Osc1Shift));
        EXPECT_EQ(plugin.wavetables[0][k], expected) << k;
    }
}

TEST(ParameterStoreRace, SampleRateChangesWhileRendering) {
    SynthPlugin plugin(quietHost);
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::thread audio([&] {
        std::vector<float> left(256), right(256);
        float* outputs[2] = {left.data(), right.data()};
        const uint8_t note[3] = {0x90, 60, 100};
        while (!stop.load()) {
            plugin.handleMidiMessage(note);
            plugin.processReplacing(nullptr, outputs, 256);
            for (float s : left) ASSERT_TRUE(s == s);   // never NaN
            blocks.fetch_add(1);
        }
    });
    const float rates[] = {44100.0f, 96000.0f, 0.0f, 22050.0f, -1.0f, 48000.0f};
    for (int i = 0; i < 60; ++i) plugin.setSampleRate(rates[i % 6]);
    plugin.setSampleRate(44100.0f);
    stop.store(true);
    audio.join();
    EXPECT_GT(blocks.load(), 0);
    EXPECT_EQ(plugin.tableLength, 10787);
}
