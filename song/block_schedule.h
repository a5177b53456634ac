#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "song/midi_file.h"

// Places a song's events on sample positions and hands them out block by block,
// in the form the host's events call wants: each with its offset from the
// block start (deltaFrames), delivered just before the block that contains it.
// An offline host can also cut its blocks where events fall (framesToNextCut),
// so that every event starts a block and plays on time even in a plug-in that
// reads events only at block starts.

// The sample an event at `seconds` lands on: floor(seconds × sampleRate), where a
// product within kSampleSnap of the next whole sample counts as that sample.
// Tick times are exact fractions but reach us rounded to doubles; without the
// snap, a time meant to fall exactly on sample k could come out as k − 1e-12 and
// land one sample early. The snap stays effective while products are below 2^33
// samples (about 50 hours at 48 kHz). Negative times (and NaN) give sample 0.
constexpr double kSampleSnap = 1e-6;
int64_t eventSample(double seconds, double sampleRate);

struct BlockEvent {
    int32_t deltaFrames;   // offset inside the block, 0 .. blockFrames − 1
    uint8_t bytes[3];
    uint8_t size;
};

class BlockSchedule {
public:
    static constexpr int32_t kMaxBlockFrames = 8192;

    // Copies and places the events; all allocation happens here, none per block
    // (but the first block of more than 65,536 events).
    BlockSchedule(const MidiSong& song, double sampleRate);
    // The events as another schedule placed them (placedEvents), taken over
    // without reading them again: a song parsed and placed on one thread and
    // played on another.
    BlockSchedule(std::vector<uint64_t> placed, int64_t songFrames);
    std::span<const uint64_t> placedEvents() const { return placed_; }

    // Events of the block [position(), position() + frames), in song order; then
    // advances position() by frames. frames outside 1 .. kMaxBlockFrames gives an
    // empty span and does not advance. The span stays valid until the next call.
    std::span<const BlockEvent> nextBlock(int32_t frames);

    // The length of the next block when blocks are cut at events: up to the
    // first event after position(), at most maxFrames (at least 1).
    int32_t framesToNextCut(int32_t maxFrames) const;

    int64_t position() const { return position_; }
    bool allEventsDelivered() const { return next_ == placed_.size(); }

    // Frames the song needs: through its length and through its last event.
    int64_t songFrames() const { return songFrames_; }

private:
    // An event in 8 bytes: its sample above the three message bytes; the size
    // follows from the status. Samples are held below 2^40 (265 days at
    // 48 kHz), far beyond the longest WAV file.
    using PlacedEvent = uint64_t;
    static int64_t sampleOf(PlacedEvent e) { return static_cast<int64_t>(e >> 24); }

    std::vector<PlacedEvent> placed_;
    std::vector<BlockEvent> current_;
    size_t next_ = 0;
    int64_t position_ = 0;
    int64_t songFrames_ = 0;
};
