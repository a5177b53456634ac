#include "tools/render/song_filter.h"

#include <algorithm>

FilterCounts filterSong(MidiSong& song, const SongFilter& filter) {
    FilterCounts counts;
    auto leftOut = [&](const MidiEvent& e) {
        const unsigned channel = e.bytes[0] & 0x0F;
        if (!(filter.channels & (1u << channel))) {
            ++counts.skippedOnChannels;
            return true;
        }
        if ((e.bytes[0] & 0xF0) != 0xC0) return false;
        if (!filter.keepProgramChanges) {
            ++counts.programChangesSkipped;
            return true;
        }
        ++counts.programChangesLeft;
        return false;
    };
    song.events.erase(std::remove_if(song.events.begin(), song.events.end(), leftOut), song.events.end());
    return counts;
}
