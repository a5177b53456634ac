#pragma once
#include <cstdint>

// How a song's render ends when no length is asked for: once both channels
// have stayed below -100 dBFS for a second after the song's last event, and
// at most 30 seconds after it. The renderer and the page both end songs by
// this rule, so that the page's render equals the renderer's.
struct SongTail {
    static constexpr double kSilenceDbfs = -100.0;
    static constexpr double kSilenceSeconds = 1.0;
    static constexpr double kMaxSeconds = 30.0;

    // The longest render of a song of songFrames at rate.
    static int64_t maxFrames(int64_t songFrames, double rate);
};

// Watches the tail (frames from `tailStart` on) for `quietFrames` frames in a row
// with both channels below `threshold`; the run may span blocks.
class SilenceDetector {
public:
    SilenceDetector(int64_t tailStart, int64_t quietFrames, float threshold)
        : tailStart_(tailStart), quietFrames_(quietFrames), threshold_(threshold) {}
    // The song tail's detector for a song of songFrames at rate.
    static SilenceDetector forSong(int64_t songFrames, double rate);
    // Frames in the block after which the tail is over (1..frames), or 0.
    int32_t scan(int64_t blockStart, const float* left, const float* right, int32_t frames);

private:
    int64_t tailStart_;
    int64_t quietFrames_;
    float threshold_;
    int64_t quietRun_ = 0;
};
