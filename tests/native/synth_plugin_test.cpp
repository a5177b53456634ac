#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/sample_rate.h"
#include "host/synth_plugin.h"
#include "tests/shared/signal_checks.h"
#include "tests/shared/version_only_host.h"

// The plug-in as the host drives it: event lists walked into the engine, and
// the sample rate as the host announces it.

using namespace signal_checks;

namespace {

std::unique_ptr<SynthPlugin> makePlugin() { return std::make_unique<SynthPlugin>(versionOnlyHost); }

int32_t activeVoices(const SynthPlugin& plugin) {
    int32_t count = 0;
    for (const Voice& voice : plugin.engine.voices) count += voice.active ? 1 : 0;
    return count;
}

void noteOn(SynthPlugin& plugin, uint8_t note) {
    const uint8_t bytes[3] = {0x90, note, 100};
    plugin.engine.handleMidiMessage(bytes);
}

struct Stereo {
    std::vector<float> left, right;
};

Stereo renderReplacing(SynthPlugin& plugin, int32_t n) {
    Stereo out{std::vector<float>(n), std::vector<float>(n)};
    float* outputs[2] = {out.left.data(), out.right.data()};
    plugin.processReplacing(nullptr, outputs, n);
    return out;
}

// A VstEvents list with room for eight pointers (the record declares two).
struct EventList {
    int32_t numEvents = 0;
    intptr_t reserved = 0;
    VstEvent* events[8] = {};
    VstEvents* get() { return reinterpret_cast<VstEvents*>(this); }
};

VstMidiEvent midiEvent(uint8_t status, uint8_t d1, uint8_t d2, int32_t deltaFrames = 0) {
    VstMidiEvent event{};
    event.type = kVstMidiType;
    event.byteSize = sizeof(VstMidiEvent);
    event.deltaFrames = deltaFrames;
    event.midiData[0] = static_cast<char>(status);
    event.midiData[1] = static_cast<char>(d1);
    event.midiData[2] = static_cast<char>(d2);
    return event;
}

}  // namespace

TEST(SynthPluginEvents, PassesMidiEventsInOrderAndSkipsOthers) {
    auto plugin = makePlugin();
    VstMidiEvent on1 = midiEvent(0x90, 60, 100);
    VstMidiEvent on2 = midiEvent(0x91, 64, 100, 300);
    VstMidiEvent off1 = midiEvent(0x80, 60, 0);
    VstEvent sysex{};
    sysex.type = 6;
    sysex.byteSize = sizeof(VstEvent);
    EventList list;
    list.numEvents = 4;
    list.events[0] = reinterpret_cast<VstEvent*>(&on1);
    list.events[1] = &sysex;
    list.events[2] = reinterpret_cast<VstEvent*>(&on2);
    list.events[3] = reinterpret_cast<VstEvent*>(&off1);
    EXPECT_EQ(plugin->processEvents(list.get()), 1);
    EXPECT_EQ(activeVoices(*plugin), 2);
    EXPECT_EQ(plugin->engine.voices[0].ampStage, -1);
    EXPECT_EQ(plugin->engine.voices[1].note, 64);
    EXPECT_EQ(plugin->engine.voices[1].ampStage, 0);
}

TEST(SynthPluginEvents, MalformedListsAreSafe) {
    auto plugin = makePlugin();
    EXPECT_EQ(plugin->processEvents(nullptr), 1);

    VstMidiEvent on = midiEvent(0x90, 60, 100);
    EventList list;
    list.events[0] = reinterpret_cast<VstEvent*>(&on);
    list.numEvents = -5;
    EXPECT_EQ(plugin->processEvents(list.get()), 1);
    list.numEvents = 0;
    EXPECT_EQ(plugin->processEvents(list.get()), 1);
    EXPECT_EQ(activeVoices(*plugin), 0);

    // Null pointers and records too small for the MIDI bytes are skipped.
    VstMidiEvent tiny = midiEvent(0x90, 61, 100);
    tiny.byteSize = 8;
    VstMidiEvent negative = midiEvent(0x90, 62, 100);
    negative.byteSize = -1;
    VstMidiEvent shortForm = midiEvent(0x90, 63, 100);
    shortForm.byteSize = 24;   // hosts that leave out the two leading words
    list.numEvents = 5;
    list.events[0] = nullptr;
    list.events[1] = reinterpret_cast<VstEvent*>(&tiny);
    list.events[2] = reinterpret_cast<VstEvent*>(&negative);
    list.events[3] = nullptr;
    list.events[4] = reinterpret_cast<VstEvent*>(&shortForm);
    EXPECT_EQ(plugin->processEvents(list.get()), 1);
    EXPECT_EQ(activeVoices(*plugin), 1);
    EXPECT_EQ(plugin->engine.voices[0].note, 63);
}

TEST(SynthPluginEvents, EventPositionInsideTheBlockIsIgnored) {
    auto early = makePlugin();
    auto late = makePlugin();
    VstMidiEvent atStart = midiEvent(0x90, 57, 110, 0);
    VstMidiEvent atEnd = midiEvent(0x90, 57, 110, 500);
    EventList a, b;
    a.numEvents = b.numEvents = 1;
    a.events[0] = reinterpret_cast<VstEvent*>(&atStart);
    b.events[0] = reinterpret_cast<VstEvent*>(&atEnd);
    early->processEvents(a.get());
    late->processEvents(b.get());
    const Stereo x = renderReplacing(*early, 512);
    const Stereo y = renderReplacing(*late, 512);
    EXPECT_EQ(x.left, y.left);
    EXPECT_GT(peak(x.left), 0.0f);
}

TEST(SynthPluginRender, RateStoredWithoutRebuildIsIgnored) {
    // A base-class path may store the host's rate without setSampleRate; the
    // engine keeps playing at the rate its buffers were built for.
    auto plugin = makePlugin();
    auto untouched = makePlugin();
    for (SynthPlugin* p : {plugin.get(), untouched.get()}) {
        noteOn(*p, 60);
        noteOn(*p, 67);
    }
    for (float rate : {NAN, 1e12f, 0.0f, -44100.0f, 4000000.0f, 16.67f, 22050.0f}) {
        plugin->sampleRate = rate;
        const Stereo out = renderReplacing(*plugin, 300);
        EXPECT_TRUE(allFinite(out.left)) << rate;
        EXPECT_EQ(out.left, renderReplacing(*untouched, 300).left) << rate;
    }
}

TEST(SynthPluginSampleRate, BlockSizeAndRateTogetherActLikeTheTwoRequests) {
    for (float rate : {8000.0f, 96000.0f}) {
        auto together = makePlugin();
        auto apart = makePlugin();
        AEffect* t = together->getAEffect();
        AEffect* a = apart->getAEffect();
        EXPECT_EQ(t->dispatcher(t, effSetBlockSizeAndSampleRate, 0, 300, nullptr, rate), 1);
        a->dispatcher(a, effSetBlockSize, 0, 300, nullptr, 0.0f);
        a->dispatcher(a, effSetSampleRate, 0, 0, nullptr, rate);
        EXPECT_EQ(together->getBlockSize(), 300);
        EXPECT_EQ(together->engine.tableLength, wavetableLengthFor(rate));
        EXPECT_EQ(together->engine.delayLines[1].length, delayLineLengthFor(rate));
        noteOn(*together, 69);
        noteOn(*apart, 69);
        EXPECT_EQ(renderReplacing(*together, 3000).left, renderReplacing(*apart, 3000).left) << rate;
    }
}
