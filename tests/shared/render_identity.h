#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "song/midi_file.h"
#include "vsthost/plugin_instance.h"
#include "tests/shared/render_identity_reference.h"

// The instrument's output is a contract: songs rendered through the plug-in as
// a host drives it must give exactly the samples recorded in
// render_identity_reference.h, in the native build and in the DLL (each has
// its own record: the two builds' maths libraries differ in the last bit).
namespace render_identity {

struct TimedMessage {
    double seconds;
    uint8_t bytes[3];
};

// A long performance from a fixed seed: chords that pile up past the 64
// voices, bends, the parameter controllers, balance (10), the pedal (64),
// the panic controllers (120, 121, 123), program changes, stray messages on
// every channel. A simple generator of our own, so every compiler and library
// gives the same song.
inline std::vector<TimedMessage> randomSong() {
    uint32_t state = 0x2545F491u;
    auto next = [&state](uint32_t below) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state % below;
    };
    std::vector<TimedMessage> song;
    std::vector<uint8_t> held;
    double t = 0.0;
    for (int step = 0; step < 2400; ++step) {
        t += 0.002 * next(13);
        const uint8_t channel = static_cast<uint8_t>(next(16));
        const uint32_t kind = next(100);
        auto add = [&](uint8_t status, uint32_t d1, uint32_t d2) {
            song.push_back({t, {static_cast<uint8_t>(status | channel), static_cast<uint8_t>(d1),
                                static_cast<uint8_t>(d2)}});
        };
        if (kind < 45) {
            const uint8_t note = static_cast<uint8_t>(24 + next(72));
            add(0x90, note, 1 + next(127));
            held.push_back(note);
        } else if (kind < 65 && !held.empty()) {
            const size_t which = next(static_cast<uint32_t>(held.size()));
            // Note-offs both ways: 0x80, and a note-on of velocity 0.
            if (next(2)) add(0x80, held[which], next(128));
            else add(0x90, held[which], 0);
            held.erase(held.begin() + static_cast<std::ptrdiff_t>(which));
        } else if (kind < 72) {
            add(0xE0, next(128), next(128));
        } else if (kind < 84) {
            static const uint8_t controllers[] = {1, 7, 10, 12, 13, 72, 73, 64, 64, 11, 74};
            add(0xB0, controllers[next(sizeof controllers)], next(128));
        } else if (kind < 87) {
            static const uint8_t panic[] = {120, 121, 123};
            add(0xB0, panic[next(3)], 0);
        } else if (kind < 89) {
            add(0xC0, next(128), 0);
        } else if (kind < 91) {
            add(0xD0, next(128), 0);   // channel pressure: no effect
        } else if (kind < 93) {
            add(0xA0, next(128), next(128));   // polyphonic pressure: no effect
        }
        // Otherwise a pause.
    }
    t += 0.5;
    song.push_back({t, {0xB0, 64, 0}});
    song.push_back({t, {0xB0, 123, 0}});
    song.push_back({t + 4.0, {0xB0, 120, 0}});   // keeps the length fixed
    return song;
}

inline std::vector<TimedMessage> fromMidiSong(const MidiSong& song) {
    std::vector<TimedMessage> messages;
    for (const MidiEvent& e : song.events) messages.push_back({e.seconds, {e.bytes[0], e.bytes[1], e.bytes[2]}});
    messages.push_back({song.lengthSeconds + 3.0, {0xB0, 120, 0}});
    return messages;
}

struct Case {
    const char* name;
    bool demo;   // the demo song, otherwise randomSong()
    float sampleRate;
    int32_t blockSize;
    bool fixedBlocks = false;   // every block blockSize long, events at their offset in it
};

inline const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        {"demo-44100-512", true, 44100.0f, 512},
        {"demo-48000-77", true, 48000.0f, 77},
        {"random-44100-13", false, 44100.0f, 13},
        {"random-96000-1021", false, 96000.0f, 1021},
        {"demo-48000-fixed-1024", true, 48000.0f, 1024, true},
        {"random-44100-fixed-256", false, 44100.0f, 256, true},
    };
    return all;
}

// What is kept of one render: its length, a digest of every sample's bits and
// a few samples to show where a difference starts.
struct Summary {
    uint64_t frames = 0;
    uint64_t digest = 1469598103934665603ull;   // FNV-1a 64 over left, right bits per frame
    uint32_t spots[4] = {};                     // left-channel bits at 1/7, 2/7, 3/7, 4/7 of the render

    bool operator==(const Summary&) const = default;
};

// One line in the form of render_identity_reference.h.
inline std::string describe(const char* build, const char* name, const Summary& s) {
    char line[256];
    std::snprintf(line, sizeof line, "{\"%s\", \"%s\", %" PRIu64 "u, 0x%016" PRIx64 "u, {0x%08" PRIx32 "u, 0x%08" PRIx32
                  "u, 0x%08" PRIx32 "u, 0x%08" PRIx32 "u}},", build, name, s.frames, s.digest, s.spots[0], s.spots[1],
                  s.spots[2], s.spots[3]);
    return line;
}

// Plays the messages as a host does: at the sample where each falls, the
// block is cut, the messages go in one events call, and rendering goes on in
// blocks of at most blockSize frames; then 2 s of tail. With fixed blocks the
// blocks are not cut: each block's messages go before it with their offsets.
inline Summary render(PluginInstance& plugin, const std::vector<TimedMessage>& song, const Case& c) {
    plugin.dispatch(effSetSampleRate, 0, 0, nullptr, c.sampleRate);
    plugin.dispatch(effSetBlockSize, 0, c.blockSize);
    plugin.dispatch(effMainsChanged, 0, 1);

    auto sampleOf = [&](double seconds) { return static_cast<int64_t>(seconds * c.sampleRate + 1e-6); };
    const int64_t total = sampleOf(song.back().seconds) + static_cast<int64_t>(2 * c.sampleRate);
    std::vector<float> left(c.blockSize), right(c.blockSize);
    std::vector<uint32_t> leftBits;
    leftBits.reserve(static_cast<size_t>(total));
    Summary s;
    auto mix = [&s](float x) {
        uint32_t bits;
        std::memcpy(&bits, &x, 4);
        for (int b = 0; b < 4; ++b) {
            s.digest ^= (bits >> (8 * b)) & 0xFF;
            s.digest *= 1099511628211ull;
        }
        return bits;
    };

    size_t next = 0;
    int64_t position = 0;
    std::vector<MidiMessage> due;
    while (position < total) {
        due.clear();
        int64_t end = std::min<int64_t>(position + c.blockSize, total);
        const int64_t last = c.fixedBlocks ? end - 1 : position;
        while (next < song.size() && sampleOf(song[next].seconds) <= last) {
            const TimedMessage& m = song[next++];
            const auto offset = static_cast<int32_t>(sampleOf(m.seconds) - position);
            due.push_back({m.bytes[0], m.bytes[1], m.bytes[2], offset});
        }
        if (!due.empty()) plugin.sendMidi(due);
        if (next < song.size() && !c.fixedBlocks) end = std::min(end, sampleOf(song[next].seconds));
        const int32_t frames = static_cast<int32_t>(end - position);
        plugin.processReplacing(left.data(), right.data(), frames);
        for (int32_t i = 0; i < frames; ++i) {
            leftBits.push_back(mix(left[i]));
            mix(right[i]);
        }
        position = end;
    }
    plugin.dispatch(effMainsChanged, 0, 0);
    s.frames = static_cast<uint64_t>(total);
    for (int k = 0; k < 4; ++k) s.spots[k] = leftBits[leftBits.size() * (k + 1) / 7];
    return s;
}

// Renders every case through fresh instances from make and compares with the
// record of this build. On a difference it prints the lines to record, for a
// change whose purpose is to change the sound.
inline void expectRecordedRenders(const char* build, const std::function<std::unique_ptr<PluginInstance>()>& make,
                                  const std::string& demoPath) {
    MidiSong demo;
    std::string error;
    ASSERT_TRUE(readMidiFile(demoPath, demo, error)) << demoPath << ": " << error;
    const std::vector<TimedMessage> songs[2] = {randomSong(), fromMidiSong(demo)};
    std::string actualLines;
    bool allMatch = true;
    for (const Case& c : cases()) {
        auto plugin = make();
        ASSERT_TRUE(plugin);
        const Summary actual = render(*plugin, songs[c.demo ? 1 : 0], c);
        actualLines += describe(build, c.name, actual) + "\n";
        const Record* recorded = nullptr;
        for (const Record& r : kRecords)
            if (std::strcmp(r.build, build) == 0 && std::strcmp(r.name, c.name) == 0) recorded = &r;
        if (!recorded) {
            ADD_FAILURE() << "no record for " << build << " " << c.name;
            allMatch = false;
            continue;
        }
        Summary expected;
        expected.frames = recorded->frames;
        expected.digest = recorded->digest;
        std::memcpy(expected.spots, recorded->spots, sizeof expected.spots);
        EXPECT_EQ(actual, expected) << c.name << " differs from its record";
        allMatch = allMatch && actual == expected;
    }
    if (!allMatch) ADD_FAILURE() << "this build renders:\n" << actualLines;
}

}  // namespace render_identity
