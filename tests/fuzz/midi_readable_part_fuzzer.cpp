// Any bytes as a MIDI file for the renderer's default reader, which plays the
// readable part of a damaged file. It refuses only what the strict reader
// refuses, for the same reason; a song it plays in part names the fault the
// strict reader refuses it for; an undamaged song is the strict reader's
// song; and every song keeps the reader's promises (song_checks.h).
#include <string>
#include <vector>

#include "tests/fuzz/song_checks.h"

namespace {

bool sameSong(const MidiSong& a, const MidiSong& b) {
    if (a.events.size() != b.events.size() || a.lengthSeconds != b.lengthSeconds) return false;
    for (size_t i = 0; i < a.events.size(); ++i) {
        const MidiEvent &x = a.events[i], &y = b.events[i];
        if (x.seconds != y.seconds || x.size != y.size || x.bytes[0] != y.bytes[0] || x.bytes[1] != y.bytes[1] ||
            x.bytes[2] != y.bytes[2])
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> file(data, data + size);
    MidiSong readable, whole;
    std::string readableError, wholeError;
    const bool played = parseMidiFile(file, readable, readableError, MidiDamagePolicy::PlayReadablePart);
    const bool accepted = parseMidiFile(file, whole, wholeError);
    if (!played) {
        require(!readableError.empty() && readable.events.empty() && !accepted && readableError == wholeError);
        return 0;
    }
    if (accepted)
        require(readable.damage.empty() && sameSong(readable, whole));
    else
        require(!readable.events.empty() && readable.damage == wholeError);
    checkSong(readable);
    return 0;
}
