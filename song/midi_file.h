#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Standard MIDI File reader for the renderer and the page: formats 0 and 1, metrical
// (ticks per quarter note) or SMPTE division, bare or wrapped in a RIFF 'RMID'
// file (.rmi). It flattens every track into one list of channel messages with
// their times in seconds; sysex and meta events are skipped, except Set Tempo,
// which forms the song's tempo map.

struct MidiEvent {
    double seconds;     // from the start of the song
    uint8_t bytes[3];   // status, then up to two data bytes; unused bytes are 0
    uint8_t size;       // 2 (program change, channel pressure) or 3
};

// The most channel and tempo events a song may hold. Reading takes 16 bytes
// per event besides the file itself (24 while several tracks are merged),
// rendering 24 (the song and its schedule).
constexpr size_t kMaxSongEvents = size_t(1) << 23;

struct MidiSong {
    std::vector<MidiEvent> events;   // by time; equal times keep track order, then file order
    double lengthSeconds = 0.0;      // time of the latest end of track (or last event)
    std::string damage;              // the first fault of a file played in part, with its byte offset
};

// What to do with a file whose tracks are damaged or cut short: refuse it, or
// keep the events before each fault (and the tracks after it, where the chunk
// layout still holds). A file with nothing readable is refused either way, and
// so is one whose header is wrong.
enum class MidiDamagePolicy { Refuse, PlayReadablePart };

// Parses a whole file image. On failure returns false, leaves `song` empty and
// puts a one-line reason in `error` (without the file name).
bool parseMidiFile(const std::vector<uint8_t>& data, MidiSong& song, std::string& error,
                   MidiDamagePolicy policy = MidiDamagePolicy::Refuse);

// Reads the file and parses it; same contract as parseMidiFile.
bool readMidiFile(const std::filesystem::path& path, MidiSong& song, std::string& error,
                  MidiDamagePolicy policy = MidiDamagePolicy::Refuse);
