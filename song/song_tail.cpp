#include "song/song_tail.h"

#include <cmath>

int64_t SongTail::maxFrames(int64_t songFrames, double rate) {
    return songFrames + static_cast<int64_t>(std::llround(kMaxSeconds * rate));
}

SilenceDetector SilenceDetector::forSong(int64_t songFrames, double rate) {
    return SilenceDetector(songFrames, static_cast<int64_t>(std::llround(SongTail::kSilenceSeconds * rate)),
                           static_cast<float>(std::pow(10.0, SongTail::kSilenceDbfs / 20.0)));
}

int32_t SilenceDetector::scan(int64_t blockStart, const float* left, const float* right, int32_t frames) {
    for (int32_t i = 0; i < frames; ++i) {
        if (blockStart + i < tailStart_) continue;
        // NaN counts as loud: a plug-in that breaks keeps rendering up to the cap.
        const bool quiet = std::fabs(left[i]) < threshold_ && std::fabs(right[i]) < threshold_;
        quietRun_ = quiet ? quietRun_ + 1 : 0;
        if (quietRun_ >= quietFrames_) return i + 1;
    }
    return 0;
}
