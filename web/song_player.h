#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "song/block_schedule.h"
#include "song/midi_file.h"
#include "song/song_tail.h"
#include "web/web_instrument.h"

// Plays a MIDI file through the instrument exactly as vorzle-render does by
// default: blocks of at most 512 frames cut where events fall, each block's
// events delivered just before it, and the song tail's rule. The audio device asks for frames in
// its own quanta; the player hands them out of its current block, so the
// quanta never change where blocks are cut.
class SongPlayer {
public:
    static constexpr int32_t kBlockFrames = 512;

    // Reads a whole file image (played as far as it is readable, as the
    // renderer does); false with a one-line reason when it cannot be played.
    bool load(const std::vector<uint8_t>& file, double sampleRate, std::string& error);
    // A song another player loaded at sampleRate, as its placedEvents and
    // songFrames: nothing parsed or placed here (the audio thread's player
    // takes what the page's thread read).
    void take(std::vector<uint64_t> placed, int64_t songFrames, double sampleRate);
    std::span<const uint64_t> placedEvents() const { return schedule_ ? schedule_->placedEvents() : std::span<const uint64_t>{}; }
    // frames of the song into out (left then right, frames each); the frames
    // after its end are silent. Returns the frames of the song written.
    int32_t play(WebInstrument& instrument, float* left, float* right, int32_t frames);

    bool loaded() const { return schedule_ != nullptr; }
    bool finished() const { return finished_; }
    int64_t songFrames() const { return schedule_ ? schedule_->songFrames() : 0; }
    // Frames played so far, and the length of the render once its tail has ended.
    int64_t framesPlayed() const { return played_; }
    std::string damage() const { return damage_; }
    // The programs the song's program changes select, each once.
    const std::vector<int32_t>& programs() const { return programs_; }

private:
    void start(double sampleRate);
    bool renderNextBlock(WebInstrument& instrument);

    std::unique_ptr<BlockSchedule> schedule_;
    int64_t limit_ = 0;
    SilenceDetector silence_{0, 0, 0.0f};
    int64_t played_ = 0;
    bool finished_ = true;
    std::string damage_;
    std::vector<int32_t> programs_;
    // The block being handed out.
    int32_t blockFrames_ = 0;
    int32_t blockRead_ = 0;
};
