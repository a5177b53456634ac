// Any bytes as a MIDI file for the strict reader (--strict): it either
// refuses them with a reason or gives a whole, undamaged song that keeps the
// reader's promises (song_checks.h).
#include <string>
#include <vector>

#include "tests/fuzz/song_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> file(data, data + size);
    MidiSong song;
    std::string error;
    if (!parseMidiFile(file, song, error)) {
        require(!error.empty() && song.events.empty());
        return 0;
    }
    require(song.damage.empty());
    checkSong(song);
    return 0;
}
