#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "song/block_schedule.h"
#include "song/midi_file.h"

namespace {

// A song whose event k sits at samples[k] / rate seconds; byte 1 numbers the events.
MidiSong songAtSamples(const std::vector<int64_t>& samples, double rate, double lengthSeconds = 0.0) {
    MidiSong song;
    for (size_t k = 0; k < samples.size(); ++k)
        song.events.push_back({double(samples[k]) / rate, {0x90, uint8_t(k & 0x7F), uint8_t(k >> 7)}, 3});
    song.lengthSeconds = lengthSeconds;
    return song;
}

struct Delivered {
    int64_t sample;
    int index;
};

// Runs the cursor with the given block sizes (repeating the list) until every event is out.
std::vector<Delivered> deliverAll(BlockSchedule& schedule, const std::vector<int32_t>& blockSizes) {
    std::vector<Delivered> out;
    for (size_t b = 0; !schedule.allEventsDelivered(); ++b) {
        const int32_t frames = blockSizes[b % blockSizes.size()];
        const int64_t start = schedule.position();
        for (const BlockEvent& e : schedule.nextBlock(frames)) {
            EXPECT_GE(e.deltaFrames, 0);
            EXPECT_LT(e.deltaFrames, frames);
            out.push_back({start + e.deltaFrames, e.bytes[1] | (e.bytes[2] << 7)});
        }
        EXPECT_EQ(schedule.position(), start + frames);
        if (b > 1000000) {
            ADD_FAILURE() << "cursor does not advance";
            break;
        }
    }
    return out;
}

}  // namespace

TEST(BlockSchedule, EventSampleIsFloorOfTimeTimesRate) {
    EXPECT_EQ(eventSample(0.0, 44100.0), 0);
    EXPECT_EQ(eventSample(1.0, 44100.0), 44100);
    EXPECT_EQ(eventSample(0.5, 48000.0), 24000);
    // Inside a sample period the event belongs to the sample before it.
    EXPECT_EQ(eventSample(100.999 / 44100.0, 44100.0), 100);
    EXPECT_EQ(eventSample(100.001 / 44100.0, 44100.0), 100);
    EXPECT_EQ(eventSample(99.99 / 44100.0, 44100.0), 99);
    // A time a hair (1e-9 s, 4e-5 samples) before a boundary is still before it.
    EXPECT_EQ(eventSample(1.0 - 1e-9, 44100.0), 44099);
    EXPECT_EQ(eventSample(-0.25, 44100.0), 0);
    EXPECT_EQ(eventSample(std::numeric_limits<double>::quiet_NaN(), 44100.0), 0);
    EXPECT_GT(eventSample(std::numeric_limits<double>::infinity(), 44100.0), int64_t(1) << 60);
}

TEST(BlockSchedule, ExactTickTimesNeverLandOneSampleEarly) {
    // Parse real files so the times are the reader's, then compare against the exact
    // rational sample floor(tick · tempo · rate / (1e6 · division)) in integers.
    struct Setting {
        uint16_t division;
        uint32_t tempo;
    };
    const Setting settings[] = {{480, 500000}, {96, 500000}, {960, 416667}, {1000, 600000}, {384, 352941}};
    const uint32_t rates[] = {44100, 48000, 96000, 22050, 11025};
    int naiveEarly = 0;
    for (const Setting& s : settings) {
        std::vector<uint8_t> file{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, uint8_t(s.division >> 8),
                                  uint8_t(s.division & 0xFF)};
        std::vector<uint8_t> body{0x00, 0xFF, 0x51, 0x03, uint8_t(s.tempo >> 16), uint8_t(s.tempo >> 8),
                                  uint8_t(s.tempo)};
        const int kEvents = 5000;
        for (int k = 0; k < kEvents; ++k) {
            body.push_back(k == 0 ? 0x00 : 0x01);   // one tick apart
            body.push_back(k == 0 ? 0x90 : 0x3C);
            if (k == 0) body.push_back(0x3C);
            body.push_back(0x40);
        }
        const uint32_t length = uint32_t(body.size());
        for (uint8_t c : {'M', 'T', 'r', 'k'}) file.push_back(c);
        for (int shift : {24, 16, 8, 0}) file.push_back(uint8_t(length >> shift));
        file.insert(file.end(), body.begin(), body.end());
        MidiSong song;
        std::string error;
        ASSERT_TRUE(parseMidiFile(file, song, error)) << error;
        ASSERT_EQ(song.events.size(), size_t(kEvents));

        for (uint32_t rate : rates) {
            for (int tick = 0; tick < kEvents; ++tick) {
                const uint64_t numerator = uint64_t(tick) * s.tempo * rate;
                const int64_t exact = int64_t(numerator / (uint64_t(1000000) * s.division));
                const double seconds = song.events[tick].seconds;
                ASSERT_EQ(eventSample(seconds, rate), exact)
                    << "division " << s.division << " tempo " << s.tempo << " rate " << rate << " tick " << tick;
                if (int64_t(std::floor(seconds * rate)) < exact) ++naiveEarly;
            }
        }
    }
    // Without the snap some of these would land one sample early.
    EXPECT_GT(naiveEarly, 0);
}

TEST(BlockSchedule, EventsArriveInTheBlockThatHoldsTheirSample) {
    const double rate = 44100.0;
    const std::vector<int64_t> samples{0, 0, 1, 43, 44, 44, 45, 87, 88, 333, 511, 512, 513, 1023, 1024,
                                       1025, 4095, 8191, 8192, 8193, 20000, 20000, 44099, 44100};
    const std::vector<std::vector<int32_t>> blockPlans{{1}, {44}, {512}, {7}, {333}, {8192}, {1023},
                                                       {64, 50, 78, 4, 1, 8192, 13}};
    for (const auto& plan : blockPlans) {
        BlockSchedule schedule(songAtSamples(samples, rate), rate);
        const std::vector<Delivered> got = deliverAll(schedule, plan);
        ASSERT_EQ(got.size(), samples.size()) << "first block size " << plan[0];
        for (size_t k = 0; k < samples.size(); ++k) {
            EXPECT_EQ(got[k].index, int(k)) << "order, first block size " << plan[0];
            EXPECT_EQ(got[k].sample, samples[k]) << "event " << k << ", first block size " << plan[0];
        }
    }
}

TEST(BlockSchedule, BoundaryEventsGoToTheLaterBlockWithOffsetZero) {
    const double rate = 48000.0;
    BlockSchedule schedule(songAtSamples({43, 44, 87}, rate), rate);
    auto first = schedule.nextBlock(44);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].deltaFrames, 43);
    EXPECT_EQ(first[0].bytes[0], 0x90);
    EXPECT_EQ(first[0].size, 3);
    auto second = schedule.nextBlock(44);
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[0].deltaFrames, 0);
    EXPECT_EQ(second[1].deltaFrames, 43);
    EXPECT_TRUE(schedule.allEventsDelivered());
    EXPECT_TRUE(schedule.nextBlock(44).empty());
    EXPECT_EQ(schedule.position(), 132);
}

TEST(BlockSchedule, BlockSizesOutsideTheRangeDeliverNothing) {
    const double rate = 44100.0;
    BlockSchedule schedule(songAtSamples({0, 5}, rate), rate);
    for (int32_t frames : {0, -1, -44, 8193, 1 << 30}) {
        EXPECT_TRUE(schedule.nextBlock(frames).empty()) << frames;
        EXPECT_EQ(schedule.position(), 0) << frames;
    }
    EXPECT_EQ(schedule.nextBlock(1).size(), 1u);
    EXPECT_EQ(schedule.nextBlock(8192).size(), 1u);
    EXPECT_EQ(schedule.position(), 8193);
}

TEST(BlockSchedule, TwoByteMessagesKeepTheirSize) {
    MidiSong song;
    song.events.push_back({0.0, {0xC3, 0x05, 0x00}, 2});
    song.events.push_back({0.0, {0xE0, 0x00, 0x40}, 3});
    BlockSchedule schedule(song, 44100.0);
    auto block = schedule.nextBlock(16);
    ASSERT_EQ(block.size(), 2u);
    EXPECT_EQ(block[0].size, 2);
    EXPECT_EQ(block[0].bytes[0], 0xC3);
    EXPECT_EQ(block[0].bytes[1], 0x05);
    EXPECT_EQ(block[1].size, 3);
    EXPECT_EQ(block[1].bytes[2], 0x40);
}

TEST(BlockSchedule, SongFramesCoverTheLengthAndTheLastEvent) {
    const double rate = 44100.0;
    EXPECT_EQ(BlockSchedule(MidiSong{}, rate).songFrames(), 0);
    EXPECT_EQ(BlockSchedule(songAtSamples({}, rate, 2.0), rate).songFrames(), 88200);
    EXPECT_EQ(BlockSchedule(songAtSamples({}, rate, 1000.5 / rate), rate).songFrames(), 1001);
    EXPECT_EQ(BlockSchedule(songAtSamples({}, rate, 1000.0 / rate), rate).songFrames(), 1000);
    EXPECT_EQ(BlockSchedule(songAtSamples({10, 999}, rate, 0.001), rate).songFrames(), 1000);
    EXPECT_EQ(BlockSchedule(songAtSamples({10}, rate, 1.0), rate).songFrames(), 44100);
}

TEST(BlockSchedule, UnsortedInputStillComesOutInSampleOrder) {
    const double rate = 1000.0;
    MidiSong song = songAtSamples({30, 10, 20, 10}, rate);
    BlockSchedule schedule(song, rate);
    const std::vector<Delivered> got = deliverAll(schedule, {16});
    ASSERT_EQ(got.size(), 4u);
    const int expectedOrder[] = {1, 3, 2, 0};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(got[k].index, expectedOrder[k]);
}
