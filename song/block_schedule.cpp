#include "song/block_schedule.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Far beyond any song, yet small enough that sample arithmetic cannot overflow.
constexpr double kMaxSample = 4.0e18;
constexpr int64_t kMaxPlacedSample = (int64_t(1) << 40) - 1;
// Room for the events of one block; a block that holds more grows it once.
constexpr size_t kReservedBlockEvents = 65536;

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
        placed_.push_back(uint64_t(std::min(eventSample(e.seconds, sampleRate), kMaxPlacedSample)) << 24 | uint64_t(e.bytes[0]) << 16 |
                          uint64_t(e.size > 1 ? e.bytes[1] : 0) << 8 | uint64_t(e.size > 2 ? e.bytes[2] : 0));
    // Songs come sorted; this only guards the block cursor against a list that is not.
    const auto bySample = [](PlacedEvent a, PlacedEvent b) { return sampleOf(a) < sampleOf(b); };
    if (!std::is_sorted(placed_.begin(), placed_.end(), bySample))
        std::stable_sort(placed_.begin(), placed_.end(), bySample);
    current_.reserve(std::min(placed_.size(), kReservedBlockEvents));
    songFrames_ = std::max<int64_t>(0, framesUntil(song.lengthSeconds, sampleRate));
    if (!placed_.empty()) songFrames_ = std::max(songFrames_, sampleOf(placed_.back()) + 1);
}

BlockSchedule::BlockSchedule(std::vector<uint64_t> placed, int64_t songFrames)
    : placed_(std::move(placed)), songFrames_(std::max<int64_t>(0, songFrames)) {
    const auto bySample = [](PlacedEvent a, PlacedEvent b) { return sampleOf(a) < sampleOf(b); };
    if (!std::is_sorted(placed_.begin(), placed_.end(), bySample))
        std::stable_sort(placed_.begin(), placed_.end(), bySample);
    current_.reserve(std::min(placed_.size(), kReservedBlockEvents));
    if (!placed_.empty()) songFrames_ = std::max(songFrames_, sampleOf(placed_.back()) + 1);
}

std::span<const BlockEvent> BlockSchedule::nextBlock(int32_t frames) {
    current_.clear();
    if (frames < 1 || frames > kMaxBlockFrames) return {};
    const int64_t blockEnd = position_ + frames;
    while (next_ < placed_.size() && sampleOf(placed_[next_]) < blockEnd) {
        const PlacedEvent e = placed_[next_++];
        const uint8_t status = uint8_t(e >> 16);
        const uint8_t kind = status & 0xF0;
        current_.push_back({static_cast<int32_t>(sampleOf(e) - position_), {status, uint8_t(e >> 8), uint8_t(e)},
                            uint8_t(kind == 0xC0 || kind == 0xD0 ? 2 : 3)});
    }
    position_ = blockEnd;
    return current_;
}

int32_t BlockSchedule::framesToNextCut(int32_t maxFrames) const {
    size_t k = next_;
    while (k < placed_.size() && sampleOf(placed_[k]) <= position_) ++k;
    if (k == placed_.size()) return std::max(maxFrames, 1);
    return static_cast<int32_t>(std::clamp<int64_t>(sampleOf(placed_[k]) - position_, 1, std::max(maxFrames, 1)));
}
