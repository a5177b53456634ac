#pragma once
// What every song the MIDI reader gives must hold, whatever bytes it came
// from: channel messages in time order, and a block schedule that delivers
// every event exactly once, inside its block, by the end of the frames the
// song says it needs. A broken promise aborts, for libFuzzer to report.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>

#include "song/block_schedule.h"
#include "song/midi_file.h"

inline void require(bool condition) {
    if (!condition) std::abort();
}

inline void checkSong(const MidiSong& song) {
    double previous = 0.0;
    for (const MidiEvent& event : song.events) {
        require(std::isfinite(event.seconds) && event.seconds >= previous);
        require(event.bytes[0] >= 0x80 && event.bytes[0] < 0xF0 && (event.size == 2 || event.size == 3));
        previous = event.seconds;
    }
    require(std::isfinite(song.lengthSeconds) && song.lengthSeconds >= previous);

    // Enough blocks to cover any song a short input can describe at a usual
    // tempo; songs that last longer are checked up to there.
    constexpr int kMaxBlocks = 4000;
    constexpr int32_t kBlockSizes[] = {1, 7, 64, 512, BlockSchedule::kMaxBlockFrames};
    BlockSchedule schedule(song, 44100.0);
    size_t delivered = 0;
    for (int block = 0; block < kMaxBlocks && schedule.position() < schedule.songFrames(); ++block) {
        const int32_t frames = kBlockSizes[block % std::size(kBlockSizes)];
        for (const BlockEvent& event : schedule.nextBlock(frames)) {
            require(event.deltaFrames >= 0 && event.deltaFrames < frames);
            ++delivered;
        }
    }
    require(delivered <= song.events.size());
    if (schedule.position() >= schedule.songFrames())
        require(schedule.allEventsDelivered() && delivered == song.events.size());
}
