#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "song/midi_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

void append(Bytes& out, std::initializer_list<int> values) {
    for (int v : values) out.push_back(uint8_t(v));
}

void append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

void appendBe32(Bytes& out, uint32_t v) { append(out, {int(v >> 24), int((v >> 16) & 0xFF), int((v >> 8) & 0xFF), int(v & 0xFF)}); }

Bytes vlq(uint32_t v) {
    Bytes groups{uint8_t(v & 0x7F)};
    while (v >>= 7) groups.insert(groups.begin(), uint8_t(0x80 | (v & 0x7F)));
    return groups;
}

Bytes header(int format, int tracks, int division) {
    Bytes h{'M', 'T', 'h', 'd', 0, 0, 0, 6};
    append(h, {format >> 8, format & 0xFF, tracks >> 8, tracks & 0xFF, (division >> 8) & 0xFF, division & 0xFF});
    return h;
}

Bytes chunk(const char* id, const Bytes& body) {
    Bytes c(id, id + 4);
    appendBe32(c, uint32_t(body.size()));
    append(c, body);
    return c;
}

Bytes track(const Bytes& body) { return chunk("MTrk", body); }

// Track body helpers: delta time then event bytes.
Bytes ev(uint32_t delta, std::initializer_list<int> bytes) {
    Bytes b = vlq(delta);
    append(b, bytes);
    return b;
}

Bytes tempo(uint32_t delta, uint32_t microsPerQuarter) {
    return ev(delta, {0xFF, 0x51, 0x03, int(microsPerQuarter >> 16), int((microsPerQuarter >> 8) & 0xFF),
                      int(microsPerQuarter & 0xFF)});
}

Bytes endOfTrack(uint32_t delta) { return ev(delta, {0xFF, 0x2F, 0x00}); }

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) append(all, p);
    return all;
}

MidiSong parseOk(const Bytes& data) {
    MidiSong song;
    std::string error;
    EXPECT_TRUE(parseMidiFile(data, song, error)) << error;
    return song;
}

void expectEvent(const MidiEvent& e, double seconds, std::initializer_list<int> bytes) {
    EXPECT_EQ(e.seconds, seconds);
    ASSERT_EQ(e.size, bytes.size());
    int i = 0;
    for (int b : bytes) EXPECT_EQ(e.bytes[i++], b) << "byte " << i - 1;
    for (; i < 3; ++i) EXPECT_EQ(e.bytes[i], 0);
}

}  // namespace

TEST(MidiFile, FormatZeroWithRunningStatusAtDefaultTempo) {
    // 96 ticks per quarter at the default 120 BPM: one tick is 1/192 s.
    const Bytes file = concat({header(0, 1, 96),
                               track(concat({ev(0, {0x90, 60, 100}), ev(96, {64, 90}), ev(96, {60, 0}),
                                             ev(48, {0x80, 64, 0}), endOfTrack(144)}))});
    const MidiSong song = parseOk(file);
    ASSERT_EQ(song.events.size(), 4u);
    expectEvent(song.events[0], 0.0, {0x90, 60, 100});
    expectEvent(song.events[1], 0.5, {0x90, 64, 90});
    expectEvent(song.events[2], 1.0, {0x90, 60, 0});
    expectEvent(song.events[3], 1.25, {0x80, 64, 0});
    EXPECT_EQ(song.lengthSeconds, 2.0);
}

TEST(MidiFile, EveryChannelMessageKeepsItsLength) {
    const Bytes body = concat({ev(0, {0x81, 1, 2}), ev(0, {0x92, 3, 4}), ev(0, {0xA3, 5, 6}), ev(0, {0xB4, 7, 8}),
                               ev(0, {0xC5, 9}), ev(0, {10}),   // program change, then running status
                               ev(0, {0xD6, 11}), ev(0, {0xE7, 0x00, 0x40}), ev(0, {0x7F, 0x7F}), endOfTrack(0)});
    const MidiSong song = parseOk(concat({header(0, 1, 480), track(body)}));
    ASSERT_EQ(song.events.size(), 9u);
    expectEvent(song.events[0], 0.0, {0x81, 1, 2});
    expectEvent(song.events[1], 0.0, {0x92, 3, 4});
    expectEvent(song.events[2], 0.0, {0xA3, 5, 6});
    expectEvent(song.events[3], 0.0, {0xB4, 7, 8});
    expectEvent(song.events[4], 0.0, {0xC5, 9});
    expectEvent(song.events[5], 0.0, {0xC5, 10});
    expectEvent(song.events[6], 0.0, {0xD6, 11});
    expectEvent(song.events[7], 0.0, {0xE7, 0x00, 0x40});
    expectEvent(song.events[8], 0.0, {0xE7, 0x7F, 0x7F});
}

TEST(MidiFile, TempoChangeInConductorTrackAppliesToOtherTracks) {
    // 480 ticks per quarter; 120 BPM until tick 960 (1.0 s), then 240 BPM (a quarter is 0.25 s).
    const Bytes conductor = concat({tempo(0, 500000), tempo(960, 250000), endOfTrack(0)});
    const Bytes notes = concat({ev(480, {0x90, 60, 100}), ev(480, {0x80, 60, 0}), ev(480, {0x90, 62, 100}),
                                ev(960, {0x80, 62, 0}), endOfTrack(0)});
    const MidiSong song = parseOk(concat({header(1, 2, 480), track(conductor), track(notes)}));
    ASSERT_EQ(song.events.size(), 4u);
    EXPECT_EQ(song.events[0].seconds, 0.5);
    EXPECT_EQ(song.events[1].seconds, 1.0);
    EXPECT_EQ(song.events[2].seconds, 1.25);
    EXPECT_EQ(song.events[3].seconds, 1.75);
    EXPECT_EQ(song.lengthSeconds, 1.75);
}

TEST(MidiFile, TempoEventInALaterTrackAppliesToEarlierTracks) {
    // Track 1 holds the notes, track 2 halves the tempo at tick 100 (100 ticks per quarter).
    const Bytes notes = concat({ev(100, {0x90, 60, 1}), ev(100, {0x80, 60, 0}), endOfTrack(0)});
    const Bytes conductor = concat({tempo(100, 1000000), endOfTrack(0)});
    const MidiSong song = parseOk(concat({header(1, 2, 100), track(notes), track(conductor)}));
    ASSERT_EQ(song.events.size(), 2u);
    EXPECT_EQ(song.events[0].seconds, 0.5);
    EXPECT_EQ(song.events[1].seconds, 1.5);
}

TEST(MidiFile, TimesStayExactOverManyTempoChanges) {
    // 3000 segments of 7 ticks at 333333 µs per quarter, 3 ticks per quarter. Summing
    // per-segment seconds in doubles drifts; the exact fraction is tick·333333 / 3e6.
    Bytes body;
    for (int i = 0; i < 3000; ++i) append(body, tempo(i == 0 ? 0 : 7, 333333 + (i % 2)));
    append(body, ev(0, {0x90, 1, 1}));
    append(body, endOfTrack(0));
    const MidiSong song = parseOk(concat({header(0, 1, 3), track(body)}));
    ASSERT_EQ(song.events.size(), 1u);
    // Even segments run at 333333, odd ones at 333334; the last (odd) one has no ticks after it.
    const uint64_t numerator = uint64_t(1500) * 7 * 333333 + uint64_t(1499) * 7 * 333334;
    EXPECT_EQ(song.events[0].seconds, double(numerator) / 3e6);
}

TEST(MidiFile, LaterOfTwoTempoChangesAtTheSameTickWins) {
    const Bytes conductor = concat({tempo(0, 2000000), tempo(0, 1000000), endOfTrack(0)});
    const Bytes notes = concat({ev(10, {0x90, 1, 1}), endOfTrack(0)});
    const MidiSong song = parseOk(concat({header(1, 2, 10), track(conductor), track(notes)}));
    ASSERT_EQ(song.events.size(), 1u);
    EXPECT_EQ(song.events[0].seconds, 1.0);
}

TEST(MidiFile, EqualTimesKeepTrackOrderThenFileOrder) {
    const Bytes first = concat({ev(10, {0x90, 1, 1}), ev(0, {0x90, 2, 1}), ev(10, {0x90, 3, 1}), endOfTrack(0)});
    const Bytes second = concat({ev(0, {0x91, 4, 1}), ev(10, {0x91, 5, 1}), ev(0, {0x91, 6, 1}), endOfTrack(30)});
    const MidiSong song = parseOk(concat({header(1, 2, 10), track(first), track(second)}));
    ASSERT_EQ(song.events.size(), 6u);
    const int expectedNotes[] = {4, 1, 2, 5, 6, 3};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(song.events[i].bytes[1], expectedNotes[i]) << i;
    EXPECT_EQ(song.events[0].seconds, 0.0);
    EXPECT_EQ(song.events[3].seconds, 0.5);
    EXPECT_EQ(song.events[5].seconds, 1.0);
    EXPECT_EQ(song.lengthSeconds, 2.0);   // the longer track's end
}

TEST(MidiFile, SysexMetaAndUnknownChunksAreSkipped) {
    const Bytes body = concat({ev(0, {0xF0, 0x03, 0x43, 0x12, 0xF7}),          // sysex
                               ev(0, {0xF7, 0x02, 0x01, 0x02}),                // escape / continuation
                               ev(0, {0xFF, 0x03, 0x04, 'N', 'a', 'm', 'e'}),  // track name
                               ev(0, {0xFF, 0x51, 0x02, 0x01, 0x02}),          // short tempo: ignored
                               ev(4, {0x90, 60, 100}), endOfTrack(4)});
    const Bytes file = concat({header(1, 1, 8), chunk("XFIH", Bytes(13, 0xAB)), track(body), chunk("MTrk", {})});
    const MidiSong song = parseOk(file);
    ASSERT_EQ(song.events.size(), 1u);
    expectEvent(song.events[0], 0.25, {0x90, 60, 100});
    EXPECT_EQ(song.lengthSeconds, 0.5);
}

TEST(MidiFile, LargeHeaderVariableQuantitiesAndTrailingBytes) {
    Bytes file{'M', 'T', 'h', 'd', 0, 0, 0, 8, 0, 0, 0, 1, 0, 1, 0xEE, 0xEE};   // 2 extra header bytes
    // The largest 4-byte delta, then bytes after End of Track that are ignored.
    append(file, track(concat({ev(0x0FFFFFFF, {0x90, 1, 1}), endOfTrack(0), Bytes{0x42, 0x42}})));
    const MidiSong song = parseOk(file);
    ASSERT_EQ(song.events.size(), 1u);
    EXPECT_EQ(song.events[0].seconds, double(0x0FFFFFFF) * 500000.0 / 1e6);
}

TEST(MidiFile, TrackWithoutEndOfTrackEndsAtItsChunk) {
    const MidiSong song = parseOk(concat({header(0, 1, 2), track(concat({ev(1, {0x90, 1, 1}), ev(3, {0x80, 1, 0})}))}));
    ASSERT_EQ(song.events.size(), 2u);
    EXPECT_EQ(song.lengthSeconds, 1.0);
}

TEST(MidiFile, SmpteDivisionCountsFramesAndIgnoresTempo) {
    // 25 frames per second, 40 ticks per frame: 1000 ticks per second.
    const Bytes body = concat({tempo(0, 250000), ev(500, {0x90, 60, 100}), endOfTrack(1500)});
    const MidiSong song = parseOk(concat({header(0, 1, 0xE728), track(body)}));
    ASSERT_EQ(song.events.size(), 1u);
    EXPECT_EQ(song.events[0].seconds, 0.5);
    EXPECT_EQ(song.lengthSeconds, 2.0);

    // 29.97 frames per second (code 29), 100 ticks per frame: 2997 ticks = 0.999999 s.
    const MidiSong drop = parseOk(concat({header(0, 1, 0xE364), track(concat({ev(2997, {0x90, 1, 1}), endOfTrack(0)}))}));
    ASSERT_EQ(drop.events.size(), 1u);
    EXPECT_EQ(drop.events[0].seconds, 2999997.0 / 3e6);
}

TEST(MidiFile, ReadsFromDisk) {
    const std::filesystem::path path = std::filesystem::path(testing::TempDir()) / "vorzle_midi_file_test.mid";
    const Bytes file = concat({header(0, 1, 96), track(concat({ev(96, {0x90, 60, 100}), endOfTrack(0)}))});
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    }
    MidiSong song;
    std::string error;
    ASSERT_TRUE(readMidiFile(path, song, error)) << error;
    ASSERT_EQ(song.events.size(), 1u);
    EXPECT_EQ(song.events[0].seconds, 0.5);
    std::filesystem::remove(path);

    song.events.push_back({0.0, {0x90, 1, 1}, 3});
    EXPECT_FALSE(readMidiFile(path, song, error));
    EXPECT_EQ(error, "cannot open the file: No such file or directory");
    EXPECT_TRUE(song.events.empty());
}

namespace {

struct MalformedCase {
    const char* name;
    Bytes data;
    const char* expected;   // part of the error text
};

}  // namespace

TEST(MidiFile, MalformedFilesAreRefusedWithAReason) {
    const Bytes goodTrack = track(concat({ev(0, {0x90, 60, 100}), endOfTrack(0)}));
    const MalformedCase cases[] = {
        {"empty", {}, "not a MIDI file (no MThd header)"},
        {"RIFF", concat({Bytes{'R', 'I', 'F', 'F'}, header(0, 1, 96)}), "not a MIDI file (a RIFF file, but not of form RMID)"},
        {"only tag", {'M', 'T', 'h', 'd'}, "truncated header"},
        {"short header body", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0}, "truncated header (declares 6 bytes, 3 present)"},
        {"header length 4", {'M', 'T', 'h', 'd', 0, 0, 0, 4, 0, 0, 0, 1, 0, 96}, "truncated header (header length 4"},
        {"format 2", concat({header(2, 1, 96), goodTrack}), "format 2 (independent sequences) is not supported"},
        {"format 7", concat({header(7, 1, 96), goodTrack}), "unknown MIDI file format 7"},
        {"zero tracks", concat({header(1, 0, 96), goodTrack}), "no tracks"},
        {"division 0", concat({header(0, 1, 0), goodTrack}), "invalid division 0"},
        {"SMPTE 23 fps", concat({header(0, 1, 0xE904), goodTrack}), "invalid SMPTE division (23 frames"},
        {"SMPTE 0 ticks", concat({header(0, 1, 0xE800), goodTrack}), "invalid SMPTE division (0 ticks"},
        {"missing track", concat({header(1, 2, 96), goodTrack}), "file ends after 1 of 2 tracks"},
        {"cut chunk header", concat({header(0, 1, 96), Bytes{'M', 'T', 'r', 'k', 0}}), "truncated chunk header (at byte 14)"},
        {"cut chunk", concat({header(0, 1, 96), Bytes{'M', 'T', 'r', 'k', 0, 0, 0, 100, 0, 0x90, 60, 100}}),
         "truncated chunk 'MTrk' (at byte 14, declares 100 bytes, 4 present)"},
        {"cut unknown chunk", concat({header(0, 1, 96), Bytes{'X', 'Y', 1, 'Z', 0, 0, 0, 9, 0}}),
         "truncated chunk 0x5859015A"},
        {"note cut by chunk end", concat({header(0, 1, 96), track({0x00, 0x90, 60})}),
         "track 1: runs past the end of its chunk (at byte 25)"},
        {"delta cut by chunk end", concat({header(0, 1, 96), track({0x00, 0x90, 60, 1, 0x81})}),
         "track 1: runs past the end of its chunk"},
        {"delta without event", concat({header(0, 1, 96), track({0x00, 0x90, 60, 1, 0x05})}),
         "track 1: runs past the end of its chunk"},
        {"meta longer than chunk", concat({header(0, 1, 96), track({0x00, 0xFF, 0x01, 0x05, 'a', 'b'})}),
         "track 1: runs past the end of its chunk"},
        {"meta type cut", concat({header(0, 1, 96), track({0x00, 0xFF})}), "track 1: runs past the end of its chunk"},
        {"sysex longer than chunk", concat({header(0, 1, 96), track({0x00, 0xF0, 0x04, 0x01, 0xF7})}),
         "track 1: runs past the end of its chunk"},
        {"five-byte quantity", concat({header(0, 1, 96), track({0x81, 0x81, 0x81, 0x81, 0x00, 0x90, 1, 1})}),
         "track 1: invalid variable-length quantity (more than 4 bytes) (at byte 26)"},
        {"five-byte sysex length", concat({header(0, 1, 96), track({0x00, 0xF0, 0x80, 0x80, 0x80, 0x80, 0x01})}),
         "track 1: invalid variable-length quantity"},
        {"data byte first", concat({header(0, 1, 96), track({0x00, 0x3C, 0x40})}),
         "track 1: data byte 0x3C without running status (at byte 23)"},
        {"data byte after sysex",
         concat({header(0, 1, 96), track({0x00, 0x90, 60, 100, 0x00, 0xF0, 0x01, 0xF7, 0x00, 60, 0})}),
         "track 1: data byte 0x3C without running status"},
        {"data byte after meta",
         concat({header(0, 1, 96), track({0x00, 0x90, 60, 100, 0x00, 0xFF, 0x01, 0x00, 0x00, 60, 0})}),
         "track 1: data byte 0x3C without running status"},
        {"status inside message", concat({header(0, 1, 96), track({0x00, 0x90, 60, 0x80, 60, 0})}),
         "track 1: status byte 0x80 inside a channel message"},
        {"system common", concat({header(0, 1, 96), track({0x00, 0xF2, 0x00, 0x00})}),
         "track 1: system message 0xF2 is not allowed in a MIDI file"},
        {"second track broken", concat({header(1, 2, 96), goodTrack, track({0x00, 0x45})}),
         "track 2: data byte 0x45 without running status"},
    };
    for (const MalformedCase& c : cases) {
        MidiSong song;
        song.events.push_back({1.0, {0x90, 1, 1}, 3});
        song.lengthSeconds = 9.0;
        std::string error;
        EXPECT_FALSE(parseMidiFile(c.data, song, error)) << c.name;
        EXPECT_EQ(error.rfind(c.expected, 0), 0u) << c.name << ": " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << c.name;
        EXPECT_TRUE(song.events.empty()) << c.name;
        EXPECT_EQ(song.lengthSeconds, 0.0) << c.name;
    }
}

TEST(MidiFile, EveryTruncationAndByteCorruptionIsHandledSafely) {
    // Run under the address sanitizer this also proves no read past the buffer.
    const Bytes file = concat({header(1, 2, 96), track(concat({tempo(0, 400000), ev(0, {0xF0, 2, 1, 0xF7}),
                                                                endOfTrack(5)})),
                               track(concat({ev(0, {0x90, 60, 100}), ev(10, {60, 0}), ev(3, {0xC1, 5}),
                                             ev(0, {0xFF, 0x01, 0x02, 'h', 'i'}), endOfTrack(1)}))});
    MidiSong reference = parseOk(file);
    ASSERT_EQ(reference.events.size(), 3u);
    int refused = 0;
    for (size_t length = 0; length < file.size(); ++length) {
        MidiSong song;
        std::string error;
        const Bytes cut(file.begin(), file.begin() + std::ptrdiff_t(length));
        if (!parseMidiFile(cut, song, error)) {
            ++refused;
            EXPECT_FALSE(error.empty());
        }
    }
    // Only a cut inside the last track's bytes after End of Track could pass; there are none.
    EXPECT_EQ(refused, int(file.size()));

    for (size_t i = 0; i < file.size(); ++i) {
        for (int value : {0x00, 0x7F, 0x80, 0xF0, 0xFF}) {
            Bytes corrupt = file;
            corrupt[i] = uint8_t(value);
            MidiSong song;
            std::string error;
            if (parseMidiFile(corrupt, song, error)) {
                // Accepted: still well-formed channel messages in time order.
                for (size_t k = 0; k < song.events.size(); ++k) {
                    const MidiEvent& e = song.events[k];
                    EXPECT_TRUE(e.bytes[0] >= 0x80 && e.bytes[0] < 0xF0);
                    EXPECT_EQ(e.size, (e.bytes[0] & 0xE0) == 0xC0 ? 2 : 3);
                    EXPECT_LT(e.bytes[1] | e.bytes[2], 0x80);
                    if (k > 0) {
                        EXPECT_LE(song.events[k - 1].seconds, e.seconds);
                    }
                }
            } else {
                EXPECT_TRUE(song.events.empty());
            }
        }
    }
}

namespace {

// A RIFF 'RMID' file around `smf`, with an odd-sized chunk before the data chunk
// (RIFF pads it to an even size).
Bytes riffMidi(const Bytes& smf, uint32_t declaredDataSize) {
    auto le32 = [](uint32_t v) { return Bytes{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; };
    const Bytes info = {'I', 'S', 'F', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    Bytes body = concat({Bytes{'R', 'M', 'I', 'D'}, info, Bytes{'d', 'a', 't', 'a'}, le32(declaredDataSize), smf});
    return concat({Bytes{'R', 'I', 'F', 'F'}, le32(uint32_t(body.size())), body});
}

MidiSong parseLenient(const Bytes& data, bool expectOk = true) {
    MidiSong song;
    std::string error;
    EXPECT_EQ(parseMidiFile(data, song, error, MidiDamagePolicy::PlayReadablePart), expectOk) << error;
    return song;
}

}  // namespace

TEST(MidiFile, RiffWrappedFilesReadLikeTheFileInside) {
    const Bytes smf = concat({header(0, 1, 96), track(concat({ev(0, {0x90, 60, 100}), ev(96, {0x80, 60, 0}),
                                                              endOfTrack(0)}))});
    const MidiSong plain = parseOk(smf);
    const MidiSong wrapped = parseOk(riffMidi(smf, uint32_t(smf.size())));
    ASSERT_EQ(wrapped.events.size(), 2u);
    EXPECT_EQ(wrapped.events[1].seconds, plain.events[1].seconds);
    EXPECT_EQ(wrapped.lengthSeconds, plain.lengthSeconds);

    // Cut inside the wrapped file: refused by default, naming a byte offset of the
    // whole file; played in part on request.
    const Bytes whole = riffMidi(smf, uint32_t(smf.size()));
    const Bytes cut(whole.begin(), whole.end() - 6);
    MidiSong song;
    std::string error;
    EXPECT_FALSE(parseMidiFile(cut, song, error));
    EXPECT_EQ(error, "truncated chunk 'MTrk' (at byte 46, declares 12 bytes, 6 present)");
    const MidiSong part = parseLenient(cut);
    EXPECT_EQ(part.damage, error);
    ASSERT_EQ(part.events.size(), 1u);

    EXPECT_FALSE(parseMidiFile(Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'R', 'M', 'I', 'D'}, song, error));
    EXPECT_EQ(error, "RIFF MIDI file without a 'data' chunk");
}

TEST(MidiFile, DamagedFilesPlayTheirReadablePartAndNameTheFault) {
    const Bytes goodTrack = track(concat({ev(0, {0x90, 60, 100}), ev(96, {0x80, 60, 0}), endOfTrack(0)}));
    struct Case {
        const char* name;
        Bytes data;
        size_t events;
        const char* damage;
    };
    const Case cases[] = {
        {"missing track", concat({header(1, 2, 96), goodTrack}), 2, "file ends after 1 of 2 tracks (at byte 34)"},
        {"second track broken", concat({header(1, 3, 96), goodTrack, track({0x00, 0x91, 62, 1, 0x00, 0x45}), goodTrack}),
         5, "track 2: runs past the end of its chunk (at byte 48)"},
        {"cut chunk", concat({header(0, 1, 96), Bytes{'M', 'T', 'r', 'k', 0, 0, 0, 100, 0, 0x90, 60, 100, 5}}), 1,
         "truncated chunk 'MTrk' (at byte 14, declares 100 bytes, 5 present)"},
    };
    for (const Case& c : cases) {
        const MidiSong song = parseLenient(c.data);
        EXPECT_EQ(song.events.size(), c.events) << c.name;
        EXPECT_EQ(song.damage, c.damage) << c.name;
        MidiSong strict;
        std::string error;
        EXPECT_FALSE(parseMidiFile(c.data, strict, error)) << c.name;
        EXPECT_EQ(error, c.damage) << c.name;
    }
    EXPECT_EQ(parseOk(concat({header(0, 1, 96), goodTrack})).damage, "");

    // A damaged delta time does not stretch the song: it ends at the last complete event.
    const MidiSong stretched =
        parseLenient(concat({header(0, 1, 96), track({0x00, 0x90, 60, 100, 0x8F, 0xFF, 0xFF, 0x7F, 0xF2})}));
    EXPECT_EQ(stretched.lengthSeconds, 0.0);
    EXPECT_NE(stretched.damage.find("(at byte 31)"), std::string::npos) << stretched.damage;

    // Nothing readable, or a broken header: refused either way.
    parseLenient(concat({header(0, 1, 96), track({0x00, 0x45})}), false);
    parseLenient(concat({header(1, 2, 96)}), false);
    parseLenient(Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0}, false);
}
