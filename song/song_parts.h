#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "song/midi_file.h"

// How a song is laid out over instruments before it is played: as one part
// through one instrument, or one part per channel that plays notes, each for an
// instrument of its own (as a DAW track filtered to one channel). Every front
// end that renders songs follows these steps in this order:
//   read the file -> prepareSong -> (the renderer's channel filter) -> songParts.

struct SongLayout {
    bool perChannel = false;
    bool generalMidi = false;        // GM programs mapped to Vorzle's; implies perChannel
    bool drums = false;              // GM: play the drum channel too (on kGmDrumProgram)
    std::optional<int> transpose;    // semitones; unset: kGmTranspose with GM, else 0
};

struct PrepareCounts {
    int transpose = 0;               // the shift applied
    uint64_t drumEventsLeftOut = 0;  // GM without drums: events of channel 10
    uint64_t notesOutOfRange = 0;    // notes (and their releases) shifted beyond 0..127, dropped
};

constexpr int kMaxTranspose = 48;

// Maps GM program changes (on the song as read, so that a channel's program
// does not depend on which other channels are rendered), handles the drum
// channel and transposes, in place.
PrepareCounts prepareSong(MidiSong& song, const SongLayout& layout);

// One instrument's share of a song.
struct SongPart {
    int channel = -1;                // 0..15, or -1 for the whole song
    MidiSong song;
    int firstProgram = -1;           // program change at or before the first note, -1 for none
};

// Channels (bit c: channel c + 1) that have at least one note-on.
uint16_t soundingChannels(const MidiSong& song);

// Per channel: a part for every sounding channel, lowest first, with only that
// channel's events and the song's full length. Otherwise one part, the song.
std::vector<SongPart> songParts(const MidiSong& song, bool perChannel);
