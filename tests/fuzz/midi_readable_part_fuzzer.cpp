// Any bytes as a MIDI file for the renderer's default reader, which plays the
// readable part of a damaged file. It refuses only what the strict reader
// refuses, for the same reason; a song it plays in part names the fault the
// strict reader refuses it for; an undamaged song is the strict reader's
// song; and every song keeps the reader's promises (song_checks.h).
#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "tests/fuzz/song_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> file(data, data + size);
    MidiSong readable, whole;
    std::string readableError, wholeError;
    const bool played = parseMidiFile(file, readable, readableError, MidiDamagePolicy::PlayReadablePart);
    const bool accepted = parseMidiFile(file, whole, wholeError);
    require(played || (!readableError.empty() && readable.events.empty() && !accepted && readableError == wholeError));
    if (!played) return 0;
    auto key = [](const MidiEvent& e) { return std::tuple(e.seconds, e.size, e.bytes[0], e.bytes[1], e.bytes[2]); };
    require(accepted ? readable.damage.empty() && readable.lengthSeconds == whole.lengthSeconds &&
                           std::ranges::equal(readable.events, whole.events, {}, key, key)
                     : !readable.events.empty() && readable.damage == wholeError);
    checkSong(readable);
    return 0;
}
