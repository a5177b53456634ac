#include "web/song_player.h"

#include <algorithm>
#include <utility>

bool SongPlayer::load(const std::vector<uint8_t>& file, double sampleRate, std::string& error) {
    schedule_.reset();
    finished_ = true;
    MidiSong song;
    if (!parseMidiFile(file, song, error, MidiDamagePolicy::PlayReadablePart)) return false;
    damage_ = song.damage;
    programs_.clear();
    for (const MidiEvent& e : song.events)
        if ((e.bytes[0] & 0xF0) == 0xC0 && std::find(programs_.begin(), programs_.end(), e.bytes[1]) == programs_.end())
            programs_.push_back(e.bytes[1]);
    schedule_ = std::make_unique<BlockSchedule>(song, sampleRate);
    start(sampleRate);
    return true;
}

void SongPlayer::take(std::vector<uint64_t> placed, int64_t songFrames, double sampleRate) {
    damage_.clear();
    programs_.clear();
    schedule_ = std::make_unique<BlockSchedule>(std::move(placed), songFrames);
    start(sampleRate);
}

void SongPlayer::start(double sampleRate) {
    limit_ = SongTail::maxFrames(schedule_->songFrames(), sampleRate);
    silence_ = SilenceDetector::forSong(schedule_->songFrames(), sampleRate);
    played_ = 0;
    blockFrames_ = blockRead_ = 0;
    finished_ = false;
}

// One block as the renderer cuts it, with the tail watched as it watches it:
// the block ends early where the quiet second is complete.
bool SongPlayer::renderNextBlock(WebInstrument& instrument) {
    const int64_t start = schedule_->position();
    if (start >= limit_) return false;
    const int32_t frames =
        schedule_->framesToNextCut(static_cast<int32_t>(std::min<int64_t>(kBlockFrames, limit_ - start)));
    // A block's program changes all play before it renders: the tables of
    // the last one are the ones it sounds with, adopted once.
    // Of program changes in a row only the last plays: each stops every
    // voice and selects its program, so the ones before it change nothing.
    bool programChanged = false;
    const std::span<const BlockEvent> events = schedule_->nextBlock(frames);
    const auto isProgramChange = [](const BlockEvent& e) { return (e.bytes[0] & 0xF0) == 0xC0; };
    for (size_t k = 0; k < events.size(); ++k) {
        const BlockEvent& e = events[k];
        if (isProgramChange(e) && k + 1 < events.size() && isProgramChange(events[k + 1])) continue;
        instrument.midi(e.bytes[0], e.bytes[1], e.bytes[2], false);
        programChanged |= isProgramChange(e);
    }
    if (programChanged) instrument.adoptPreparedTables();
    instrument.render(frames);
    blockFrames_ = frames;
    blockRead_ = 0;
    if (const int32_t end = silence_.scan(start, instrument.left, instrument.right, frames)) {
        blockFrames_ = end;
        limit_ = start + end;   // nothing after this block
    }
    return true;
}

int32_t SongPlayer::play(WebInstrument& instrument, float* left, float* right, int32_t frames) {
    int32_t written = 0;
    while (written < frames && !finished_) {
        if (blockRead_ == blockFrames_ && !renderNextBlock(instrument)) {
            finished_ = true;
            break;
        }
        const int32_t n = std::min(frames - written, blockFrames_ - blockRead_);
        std::copy_n(instrument.left + blockRead_, n, left + written);
        std::copy_n(instrument.right + blockRead_, n, right + written);
        blockRead_ += n;
        written += n;
        played_ += n;
    }
    std::fill(left + written, left + frames, 0.0f);
    std::fill(right + written, right + frames, 0.0f);
    return written;
}
