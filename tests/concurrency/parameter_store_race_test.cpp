// Stores from the editor's and the MIDI thread while the audio thread renders:
// no store takes another's index or value, no rebuild bit is lost. Built also
// under ThreadSanitizer, which reports any unsynchronised access.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "engine/wave_shape.h"
#include "vst2/synth_plugin.h"
#include "tests/shared/signal_checks.h"
#include "tests/shared/version_only_host.h"

namespace {

constexpr int kStores = 20000;

}  // namespace

TEST(ParameterStoreRace, ConcurrentStoresKeepTheirOwnIndexAndValue) {
    SynthPlugin plugin(versionOnlyHost);
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> left(64), right(64);
        float* outputs[2] = {left.data(), right.data()};
        while (!stop.load()) plugin.processReplacing(nullptr, outputs, 64);
    });
    // The editor's thread writes the volume, the MIDI thread oscillator 1's
    // level, each with values the other never uses.
    std::thread editorThread([&] {
        for (int i = 0; i < kStores; ++i) plugin.instrument().setParameter(Param::Volume, 0.25f + (i % 100) * 0.001f);
        plugin.instrument().setParameter(Param::Volume, 0.125f);
    });
    std::thread midiThread([&] {
        for (int i = 0; i < kStores; ++i) plugin.instrument().setParameter(Param::Osc1Level, 0.75f + (i % 100) * 0.001f);
        plugin.instrument().setParameter(Param::Osc1Level, 0.875f);
    });
    editorThread.join();
    midiThread.join();
    stop.store(true);
    audio.join();

    EXPECT_EQ(plugin.instrument().parameter(Param::Volume), 0.125f);
    EXPECT_EQ(plugin.instrument().parameter(Param::Osc1Level), 0.875f);
}

TEST(ParameterStoreRace, ShapeChangeDuringRenderIsRebuiltAtTheNextCall) {
    SynthPlugin plugin(versionOnlyHost);
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> left(128), right(128);
        float* outputs[2] = {left.data(), right.data()};
        while (!stop.load()) plugin.processReplacing(nullptr, outputs, 128);
    });
    std::thread editorThread([&] {
        for (int i = 0; i < kStores; ++i) plugin.instrument().setParameter(Param::Osc1Sine, (i % 2) ? 1.0f : 0.0f);
        plugin.instrument().setParameter(Param::Osc1Sine, 1.0f);
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
    const ProgramRecord& program = plugin.instrument().programRecord(plugin.instrument().program());
    const int32_t n = plugin.instrument().view().tableLength;
    for (int32_t k : {1, n / 8, n / 3, n / 2 + 5, n - 2}) {
        const float phase = static_cast<float>(static_cast<double>(k) / n);
        const float expected = waveShape(phase, 1.0f, program.valueOf(Param::Osc1Width), program.valueOf(Param::Osc1Center),
                                         program.valueOf(Param::Osc1Level), program.valueOf(Param::Osc1Shift));
        EXPECT_EQ(plugin.instrument().view().wavetables[0][k], expected) << k;
    }
}

// A host that changes the sample rate while it renders must not crash the
// instrument: the render plays silence during the swap, MIDI waits for the
// next block.
TEST(ParameterStoreRace, SampleRateChangesWhileRendering) {
    SynthPlugin plugin(versionOnlyHost);
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::thread audio([&] {
        std::vector<float> left(256), right(256);
        float* outputs[2] = {left.data(), right.data()};
        VstMidiEvent note{};
        note.type = kVstMidiType;
        note.byteSize = sizeof(note);
        note.midiData[0] = static_cast<char>(0x90);
        note.midiData[1] = 60;
        note.midiData[2] = 100;
        VstEvents list{};
        list.numEvents = 1;
        list.events[0] = reinterpret_cast<VstEvent*>(&note);
        while (!stop.load()) {
            // MIDI and audio on the audio thread, as hosts deliver them.
            plugin.processEvents(&list);
            plugin.processReplacing(nullptr, outputs, 256);
            ASSERT_TRUE(signal_checks::allFinite(left));
            blocks.fetch_add(1);
        }
    });
    const float rates[] = {44100.0f, 96000.0f, 0.0f, 22050.0f, -1.0f, 48000.0f};
    AEffect* effect = plugin.getAEffect();
    for (int i = 0; i < 60; ++i) {
        // Both requests that carry a rate go through the same hand-over.
        if (i % 2) plugin.setSampleRate(rates[i % 6]);
        else effect->dispatcher(effect, effSetBlockSizeAndSampleRate, 0, 256, nullptr, rates[i % 6]);
    }
    plugin.setSampleRate(44100.0f);
    stop.store(true);
    audio.join();
    EXPECT_GT(blocks.load(), 0);
    EXPECT_EQ(plugin.instrument().view().tableLength, 10787);
}

// MIDI from a thread of its own while the audio thread renders: every note
// is either played at once or queued for the next block, never lost.
TEST(ParameterStoreRace, MidiFromAnotherThreadIsNeverLost) {
    SynthPlugin plugin(versionOnlyHost);
    plugin.instrument().setParameter(Param::Polyphony, 1.0f);
    plugin.instrument().setParameter(Param::AmpSustain, 1.0f);
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> left(64), right(64);
        float* outputs[2] = {left.data(), right.data()};
        while (!stop.load()) plugin.processReplacing(nullptr, outputs, 64);
    });
    for (uint8_t note = 40; note < 80; ++note) {
        VstMidiEvent event{};
        event.type = kVstMidiType;
        event.byteSize = sizeof(event);
        event.midiData[0] = static_cast<char>(0x90);
        event.midiData[1] = static_cast<char>(note);
        event.midiData[2] = 100;
        VstEvents list{};
        list.numEvents = 1;
        list.events[0] = reinterpret_cast<VstEvent*>(&event);
        plugin.processEvents(&list);
    }
    stop.store(true);
    audio.join();
    std::vector<float> left(64), right(64);
    float* outputs[2] = {left.data(), right.data()};
    plugin.processReplacing(nullptr, outputs, 64);   // plays whatever still waits
    int sounding = 0;
    for (const Voice& v : plugin.instrument().view().voices) sounding += v.active;
    EXPECT_EQ(sounding, 40);
    EXPECT_EQ(plugin.instrument().view().noteCounter, 40u);
}

// The host reads the program number on its user-interface thread while
// program changes arrive as MIDI on the audio thread.
TEST(ParameterStoreRace, ProgramNumberReadWhileMidiChangesIt) {
    SynthPlugin plugin(versionOnlyHost);
    AEffect* effect = plugin.getAEffect();
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        for (uint8_t program = 0; !stop.load(); program = (program + 1) & 0x7F) {
            const uint8_t change[3] = {0xC0, program, 0};
            plugin.instrument().playMidiNow(change);
        }
    });
    for (int i = 0; i < 2000; ++i) {
        const intptr_t program = effect->dispatcher(effect, effGetProgram, 0, 0, nullptr, 0.0f);
        ASSERT_TRUE(program >= 0 && program < 128) << program;
    }
    stop.store(true);
    audio.join();
}

TEST(PendingMidiQueue, KeepsOrderAndRefusesWhenFull) {
    static PendingMidi queue;   // large: keep it off the stack
    for (uint32_t i = 0; i < PendingMidi::kCapacity; ++i) {
        const uint8_t bytes[3] = {0x90, static_cast<uint8_t>(i & 0x7F), static_cast<uint8_t>(i >> 7)};
        ASSERT_TRUE(queue.push(bytes)) << i;
    }
    const uint8_t extra[3] = {0x80, 1, 1};
    EXPECT_FALSE(queue.push(extra));
    uint32_t seen = 0;
    queue.drain([&](const uint8_t bytes[3]) {
        EXPECT_EQ(bytes[1] | (bytes[2] << 7), static_cast<int>(seen));
        ++seen;
    });
    EXPECT_EQ(seen, PendingMidi::kCapacity);
    EXPECT_TRUE(queue.push(extra));   // room again, and the positions wrap correctly
    queue.drain([&](const uint8_t bytes[3]) { EXPECT_EQ(bytes[0], 0x80); });
}

TEST(PendingMidiQueue, DrainStopsAtWhatWaitedWhenItBegan) {
    // Producers that keep adding while the audio thread drains must not keep
    // it draining: what arrives meanwhile waits for the next block.
    static PendingMidi queue;
    const uint8_t note[3] = {0x90, 60, 100};
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(queue.push(note));
    int handled = 0;
    queue.drain([&](const uint8_t*) {
        ++handled;
        queue.push(note);
    });
    EXPECT_EQ(handled, 10);
    handled = 0;
    queue.drain([&](const uint8_t*) { ++handled; });
    EXPECT_EQ(handled, 10);
}
