#pragma once
#include <cstdint>

#include "song/midi_file.h"

// What of a song is played: its MIDI channels, and whether its program
// changes are kept.
struct SongFilter {
    uint16_t channels = 0xFFFF;   // bit c: channel c + 1
    bool keepProgramChanges = true;
};

struct FilterCounts {
    uint64_t skippedOnChannels = 0;     // events of channels left out
    uint64_t programChangesLeft = 0;    // program changes still in the song
    uint64_t programChangesSkipped = 0;
};

// Removes the events the filter leaves out; the rest keep their order.
FilterCounts filterSong(MidiSong& song, const SongFilter& filter);
