#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "song/midi_file.h"

class Instrument;

// A MIDI file played as vorzle-render plays it through the plug-in, sample
// for sample: the same reading, song layout, channel filter, block cutting,
// event delivery and tail rule, on Instrument objects instead of a loaded
// plug-in (the plug-in is a thin layer over the same object).

struct SongRenderOptions {
    uint32_t sampleRate = 44100;
    int32_t blockSize = 512;
    bool fixedBlocks = false;              // false: blocks cut at events
    int32_t program = -1;                  // -1: the program the instrument starts with
    std::optional<double> tailSeconds;     // unset: until silence, capped (song/song_tail.h)
    uint16_t channels = 0xFFFF;            // bit c: MIDI channel c + 1
    bool ignoreProgramChanges = false;
    bool strict = false;                   // refuse damaged files instead of playing their readable part
    bool perChannel = false;               // one instrument per sounding channel, summed
    bool generalMidi = false;              // implies perChannel
    bool drums = false;                    // with generalMidi only
    std::optional<int32_t> transpose;
    // Values stored after the program is chosen (index, value): they change
    // the program the song starts on, as turning the panel's knobs would.
    std::vector<std::pair<int32_t, float>> parameters;
};

struct SongRenderResult {
    std::vector<float> left, right;
    int64_t songFrames = 0;
    std::vector<std::string> warnings;     // what the renderer warns about
};

// Why the options cannot be played (the renderer's own refusals), or empty.
std::string songOptionsProblem(const SongRenderOptions& options);

// Plays a song already read. Allocates the output as it grows.
void renderSong(MidiSong song, const SongRenderOptions& options, SongRenderResult& result);

// One song through one instrument, appended to left and right; exposed for tests of the loop itself.
int64_t playSong(Instrument& instrument, const MidiSong& song, const SongRenderOptions& options,
                 std::vector<float>& left, std::vector<float>& right);
