#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "song/midi_file.h"
#include "song/song_tail.h"
#include "tools/render/frame_sink.h"
#include "tools/render/wav_writer.h"

class PluginInstance;
struct AEffect;

// Plays a song through an opened plug-in instance into a sink of frames, the
// way a host does: sample rate, block size and the optional program first, then
// effMainsChanged 1; for each block the block's events through effProcessEvents
// and one processReplacing (or process, into zeroed buffers, when the plug-in
// cannot replace); effMainsChanged 0 at the end.
//
// By default blocks are cut where events fall: the events of sample t arrive
// with deltaFrames 0 right before the block that starts at t, and no block is
// longer than the block size, so every event sounds on its sample even in a
// plug-in that reads events only at block starts. With fixed blocks every block
// has the block size, and events arrive before the block that contains them
// with their offset in deltaFrames, as from a live host.

struct RenderSettings {
    static constexpr double kMaxAutoTailSeconds = SongTail::kMaxSeconds;
    // Instruments bound the events they take per effProcessEvents call (Vorzle
    // drops those past 65,536); a block with more gets several calls.
    static constexpr size_t kMaxEventsPerCall = 65536;

    uint32_t sampleRate = 44100;
    int32_t blockSize = 512;
    bool fixedBlocks = false;      // false: cut blocks at events
    int32_t program = -1;          // -1: leave the plug-in's program alone
    bool fixedTail = false;        // false: until kSilenceSeconds below kSilenceDbfs, capped
    double tailSeconds = 0.0;
    WavSampleFormat format = WavSampleFormat::Float32;
    float gain = 1.0f;             // applied to every sample the sink gets
};

struct RenderProgress {
    int64_t framesDone = 0;
    int64_t songFrames = 0;
    int64_t framesExpected = 0;   // known total, or -1 while the tail's end is open
};

struct RenderResult {
    int64_t songFrames = 0;
    int64_t frames = 0;           // written, song and tail
    bool interrupted = false;     // the progress callback asked to stop
};

// Why a plug-in cannot be played as an instrument, or empty when it can.
std::string instrumentProblem(const AEffect& effect);

// Frames written when the tail has a fixed length; the largest count in auto mode.
int64_t plannedFrames(int64_t songFrames, const RenderSettings& settings);

// Called after every block; answering false stops the render ("interrupted").
using RenderProgressCallback = std::function<bool(const RenderProgress&)>;

// On failure returns false with a one-line reason; the caller discards the sink's output.
bool renderSong(PluginInstance& plugin, const MidiSong& song, const RenderSettings& settings, FrameSink& sink,
                const RenderProgressCallback& progress, RenderResult& result, std::string& error);
