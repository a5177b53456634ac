#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/sample_rate.h"
#include "vst2/synth_plugin.h"
#include "tests/shared/signal_checks.h"
#include "tests/shared/version_only_host.h"

// The plug-in as the host drives it: event lists walked into the engine, and
// the sample rate as the host announces it.

using namespace signal_checks;

namespace {

std::unique_ptr<SynthPlugin> makePlugin() { return std::make_unique<SynthPlugin>(versionOnlyHost); }

int32_t activeVoices(SynthPlugin& plugin) {
    int32_t count = 0;
    for (const Voice& voice : plugin.instrument().view().voices) count += voice.active ? 1 : 0;
    return count;
}

void noteOn(SynthPlugin& plugin, uint8_t note) {
    const uint8_t bytes[3] = {0x90, note, 100};
    plugin.instrument().playMidiNow(bytes);
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
    renderReplacing(*plugin, 301);   // the note-off placed before its note-on plays with it, at 300
    EXPECT_EQ(activeVoices(*plugin), 2);
    EXPECT_EQ(plugin->instrument().view().voices[0].ampStage, -1);
    EXPECT_EQ(plugin->instrument().view().voices[1].note, 64);
    EXPECT_EQ(plugin->instrument().view().voices[1].ampStage, 0);
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
    renderReplacing(*plugin, 1);
    EXPECT_EQ(activeVoices(*plugin), 1);
    EXPECT_EQ(plugin->instrument().view().voices[0].note, 63);
}

namespace {

struct Placed {
    int32_t deltaFrames;
    uint8_t status, d1, d2;
};

// The contract for events inside a block: one render of n frames gives what
// separate renders of the pieces between the events' frames give, each event
// delivered (at the piece's start) just before its piece.
struct PiecewiseCase {
    const char* name;
    int32_t frames;
    std::vector<Placed> delivered;
    std::vector<int32_t> playedAt;   // the frame each delivered event plays on
};

Stereo renderPieces(SynthPlugin& plugin, int32_t n, const std::vector<Placed>& events, const std::vector<int32_t>& at) {
    Stereo out{std::vector<float>(n), std::vector<float>(n)};
    size_t next = 0;
    int32_t done = 0;
    while (done < n || next < events.size()) {
        std::vector<VstMidiEvent> now;
        while (next < events.size() && at[next] == done) {
            const Placed& e = events[next++];
            now.push_back(midiEvent(e.status, e.d1, e.d2, 0));
        }
        EventList list;
        for (VstMidiEvent& e : now) list.events[list.numEvents++] = reinterpret_cast<VstEvent*>(&e);
        plugin.processEvents(list.get());
        const int32_t end = next < events.size() ? at[next] : n;
        float* outputs[2] = {out.left.data() + done, out.right.data() + done};
        plugin.processReplacing(nullptr, outputs, end - done);
        done = end;
    }
    return out;
}

}  // namespace

TEST(SynthPluginEvents, EventsPlayOnTheirFrameAsIfTheBlockWereCutThere) {
    const std::vector<PiecewiseCase> cases = {
        {"one note inside", 512, {{300, 0x90, 57, 110}}, {300}},
        {"first and last frame", 512, {{0, 0x90, 57, 110}, {511, 0x90, 64, 90}}, {0, 511}},
        {"negative and past the end", 512, {{-20, 0x90, 57, 110}, {700, 0x90, 64, 90}}, {0, 511}},
        {"out of order keeps order", 512, {{400, 0x90, 57, 110}, {100, 0x90, 64, 90}}, {400, 400}},
        {"same frame", 64, {{10, 0x90, 57, 110}, {10, 0x90, 61, 110}, {63, 0x80, 57, 0}}, {10, 10, 63}},
        {"program, controller, bend, pedal",
         1024,
         {{0, 0x90, 45, 100}, {128, 0xC0, 5, 0}, {128, 0x90, 57, 100}, {200, 0xB0, 7, 30}, {250, 0xE0, 0, 90},
          {260, 0xB0, 64, 127}, {300, 0x80, 57, 0}, {900, 0xB0, 64, 0}},
         {0, 128, 128, 200, 250, 260, 300, 900}},
    };
    for (const PiecewiseCase& c : cases) {
        auto placed = makePlugin();
        auto cut = makePlugin();
        std::vector<VstMidiEvent> records;
        for (const Placed& e : c.delivered) records.push_back(midiEvent(e.status, e.d1, e.d2, e.deltaFrames));
        EventList list;
        for (VstMidiEvent& e : records) list.events[list.numEvents++] = reinterpret_cast<VstEvent*>(&e);
        placed->processEvents(list.get());
        const Stereo x = renderReplacing(*placed, c.frames);
        const Stereo y = renderPieces(*cut, c.frames, c.delivered, c.playedAt);
        EXPECT_EQ(x.left, y.left) << c.name;
        EXPECT_EQ(x.right, y.right) << c.name;
        // Silent up to the first note's frame, sounding after it.
        const int32_t first = c.playedAt[0];
        EXPECT_EQ(peak(std::vector<float>(x.left.begin(), x.left.begin() + first)), 0.0f) << c.name;
        EXPECT_GT(peak(x.left), 0.0f) << c.name;
        EXPECT_EQ(placed->getProgram(), cut->getProgram()) << c.name;
    }
}

TEST(SynthPluginEvents, DeliveriesForOneRenderKeepTheirFramesLeftoversPlayAtTheStartSuspendDropsThem) {
    // One block's events in two calls: each plays on its own frame.
    VstMidiEvent first = midiEvent(0x90, 60, 100, 300);
    VstMidiEvent second = midiEvent(0x90, 64, 100, 100);
    EventList a, b;
    a.numEvents = b.numEvents = 1;
    a.events[0] = reinterpret_cast<VstEvent*>(&first);
    b.events[0] = reinterpret_cast<VstEvent*>(&second);
    auto twice = makePlugin();
    twice->processEvents(a.get());
    twice->processEvents(b.get());
    EXPECT_EQ(renderReplacing(*twice, 512).left,
              renderPieces(*makePlugin(), 512, {{100, 0x90, 64, 100}, {300, 0x90, 60, 100}}, {100, 300}).left);

    // Events whose render passed them by (it found the gate taken) play at
    // the start of the next, before that delivery's own.
    auto missed = makePlugin();
    missed->processEvents(a.get());
    {
        Instrument::MidiDelivery busy(missed->instrument());
        EXPECT_EQ(peak(renderReplacing(*missed, 64).left), 0.0f);
    }
    missed->processEvents(b.get());
    EXPECT_EQ(renderReplacing(*missed, 512).left,
              renderPieces(*makePlugin(), 512, {{0, 0x90, 60, 100}, {0, 0x90, 64, 100}}, {0, 100}).left);

    auto suspended = makePlugin();
    suspended->processEvents(a.get());
    AEffect* effect = suspended->getAEffect();
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    EXPECT_EQ(peak(renderReplacing(*suspended, 512).left), 0.0f);
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
        EXPECT_EQ(together->instrument().view().tableLength, wavetableLengthFor(rate));
        EXPECT_EQ(together->instrument().view().delayLines[1].length, delayLineLengthFor(rate));
        noteOn(*together, 69);
        noteOn(*apart, 69);
        EXPECT_EQ(renderReplacing(*together, 3000).left, renderReplacing(*apart, 3000).left) << rate;
    }
}
