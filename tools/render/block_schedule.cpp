#include "tools/render/block_schedule.h"

#include <algorithm>
#include <cmath>

namespace {

// Far beyond any song, yet small enough that sample arithmetic cannot overflow.
constexpr double kMaxSample = 4.0e18;

double clampedProduct(double seconds, double sampleRate) {
    const double x = seconds * sampleRate;
    if (!(x > 0.0)) return 0.0;   // negative, zero, NaN
    return std::min(x, kMaxSample);
}

// Frames needed to play up to `seconds`: ceil(seconds × sampleRate), with the same
// snap as eventSample, so an end that lies exactly on a sample needs no extra one.
int64_t framesUntil(double seconds, double sampleRate) {
    return static_cast<int64_t>(std::ceil(clampedProduct(seconds, sampleRate) - kSampleSnap));
}

}  // namespace

int64_t eventSample(double seconds, double sampleRate) {
    return static_cast<int64_t>(std::floor(clampedProduct(seconds, sampleRate) + kSampleSnap));
}

BlockSchedule::BlockSchedule(const MidiSong& song, double sampleRate) {
    placed_.reserve(song.events.size());
    for (const MidiEvent& e : song.events)
        placed_.push_back({eventSample(e.seconds, sampleRate), {e.bytes[0], e.bytes[1], e.bytes[2]}, e.size});
    // Songs come sorted; this only guards the block cursor against a list that is not.
    std::stable_sort(placed_.begin(), placed_.end(),
                     [](const PlacedEvent& a, const PlacedEvent& b) { return a.sample < b.sample; });
    current_.reserve(placed_.size());
    songFrames_ = std::max<int64_t>(0, framesUntil(song.lengthSeconds, sampleRate));
    if (!placed_.empty()) songFrames_ = std::max(songFrames_, placed_.back().sample + 1);
}

std::span<const BlockEvent> BlockSchedule::nextBlock(int32_t frames) {
    current_.clear();
    if (frames < 1 || frames > kMaxBlockFrames) return {};
    const int64_t blockEnd = position_ + frames;
    while (next_ < placed_.size() && placed_[next_].sample < blockEnd) {
        const PlacedEvent& e = placed_[next_++];
        current_.push_back({static_cast<int32_t>(e.sample - position_), {e.bytes[0], e.bytes[1], e.bytes[2]}, e.size});
    }
    position_ = blockEnd;
    return current_;
}

int32_t BlockSchedule::framesToNextCut(int32_t maxFrames) const {
    size_t k = next_;
    while (k < placed_.size() && placed_[k].sample <= position_) ++k;
    if (k == placed_.size()) return std::max(maxFrames, 1);
    return static_cast<int32_t>(std::clamp<int64_t>(placed_[k].sample - position_, 1, std::max(maxFrames, 1)));
}
