#include "python/song_render.h"

#include <algorithm>
#include <cmath>

#include "instrument/instrument.h"
#include "song/block_schedule.h"
#include "song/song_parts.h"
#include "song/song_tail.h"
#include "tools/render/song_filter.h"

namespace {

// The renderer hands a plug-in at most this many events per call.
constexpr size_t kMaxEventsPerCall = 65536;

std::string plural(uint64_t count, const std::string& one, const std::string& many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string songOptionsProblem(const SongRenderOptions& o) {
    if (o.sampleRate < 8000 || o.sampleRate > 384000) return "sample_rate must be 8000 to 384000";
    if (o.blockSize < 1 || o.blockSize > BlockSchedule::kMaxBlockFrames) return "block_size must be 1 to 8192";
    if (o.tailSeconds && !(*o.tailSeconds >= 0.0 && *o.tailSeconds <= 600.0)) return "tail must be 0 to 600 seconds";
    if (o.transpose && (*o.transpose < -kMaxTranspose || *o.transpose > kMaxTranspose))
        return "transpose must be -48 to 48";
    if (o.channels == 0) return "channels must name at least one channel 1 to 16";
    if (o.program < -1 || o.program >= Instrument::kNumPrograms) return "program must be 0 to 127";
    for (const auto& [index, value] : o.parameters)
        if (index < 0 || index >= kNumParameters || !(value >= 0.0f && value <= 1.0f))
            return "parameter values are 0 to 1";
    if (o.drums && !o.generalMidi) return "drums goes with gm (channel 10 is drums in General MIDI)";
    if (o.generalMidi && o.program >= 0) return "program and gm exclude each other (gm chooses each channel's program)";
    if (o.generalMidi && o.ignoreProgramChanges)
        return "ignore_program_changes and gm exclude each other (gm maps the song's program changes)";
    return {};
}

// As the renderer's render session: rate, block size, program, then for each
// block its events in one delivery and one replacing render; the tail ends
// at the song tail rule unless its length is given.
int64_t playSong(Instrument& instrument, const MidiSong& song, const SongRenderOptions& options,
                 std::vector<float>& left, std::vector<float>& right) {
    instrument.reset();   // the plug-in's construction ends switched off
    instrument.setSampleRate(static_cast<float>(options.sampleRate));
    if (options.program >= 0) instrument.selectProgram(options.program);
    for (const auto& [index, value] : options.parameters) instrument.setParameter(index, value);

    const int32_t blockSize = std::clamp(options.blockSize, 1, BlockSchedule::kMaxBlockFrames);
    BlockSchedule schedule(song, options.sampleRate);
    const int64_t songFrames = schedule.songFrames();
    const int64_t limit =
        options.tailSeconds
            ? songFrames + static_cast<int64_t>(std::llround(*options.tailSeconds * options.sampleRate))
            : SongTail::maxFrames(songFrames, options.sampleRate);
    SilenceDetector silence = SilenceDetector::forSong(songFrames, options.sampleRate);
    std::vector<float> blockLeft(static_cast<size_t>(blockSize)), blockRight(static_cast<size_t>(blockSize));
    left.clear();
    right.clear();

    while (schedule.position() < limit) {
        const int64_t start = schedule.position();
        int32_t frames = static_cast<int32_t>(std::min<int64_t>(blockSize, limit - start));
        if (!options.fixedBlocks) frames = schedule.framesToNextCut(frames);
        const std::span<const BlockEvent> events = schedule.nextBlock(frames);
        for (size_t first = 0; first < events.size(); first += kMaxEventsPerCall) {
            Instrument::MidiDelivery delivery(instrument);
            const size_t end = std::min(events.size(), first + kMaxEventsPerCall);
            for (size_t i = first; i < end; ++i) delivery.add(events[i].bytes, events[i].deltaFrames);
        }
        instrument.render(blockLeft.data(), blockRight.data(), frames, true);

        int32_t keep = frames;
        bool tailOver = false;
        if (!options.tailSeconds) {
            const int32_t end = silence.scan(start, blockLeft.data(), blockRight.data(), frames);
            if (end > 0) {
                keep = end;
                tailOver = true;
            }
        }
        left.insert(left.end(), blockLeft.begin(), blockLeft.begin() + keep);
        right.insert(right.end(), blockRight.begin(), blockRight.begin() + keep);
        if (tailOver) break;
    }
    instrument.reset();   // switched off at the end
    return songFrames;
}

void renderSong(MidiSong song, const SongRenderOptions& options, SongRenderResult& result) {
    result = SongRenderResult{};
    // The renderer's order: the song as read -> its layout -> the channel filter -> its parts.
    const bool inParts = options.perChannel || options.generalMidi;
    SongLayout layout;
    layout.perChannel = inParts;
    layout.generalMidi = options.generalMidi;
    layout.drums = options.drums;
    layout.transpose = options.transpose;
    if (inParts || options.transpose) {
        const PrepareCounts prepared = prepareSong(song, layout);
        if (prepared.notesOutOfRange > 0)
            result.warnings.push_back(plural(prepared.notesOutOfRange, "note", "notes") +
                                      " shifted beyond the keyboard by transpose " +
                                      std::to_string(prepared.transpose) + " left out");
    }
    SongFilter filter;
    filter.channels = options.channels;
    filter.keepProgramChanges = !options.ignoreProgramChanges;
    const FilterCounts counts = filterSong(song, filter);
    if (options.program >= 0 && counts.programChangesLeft > 0)
        result.warnings.push_back("the song has " +
                                  plural(counts.programChangesLeft, "program change", "program changes") +
                                  ", which switch programs after program " + std::to_string(options.program) +
                                  "; ignore_program_changes=True skips them");

    if (!inParts) {
        Instrument instrument;
        result.songFrames = playSong(instrument, song, options, result.left, result.right);
        return;
    }
    // One fresh instrument per part; the mix is their sum from silence, the
    // shorter parts padded, in part order as the renderer adds them.
    std::vector<SongPart> parts = songParts(song, true);
    if (parts.empty()) parts = songParts(song, false);
    std::vector<float> partLeft, partRight;
    for (size_t k = 0; k < parts.size(); ++k) {
        Instrument fresh;
        result.songFrames = playSong(fresh, parts[k].song, options, partLeft, partRight);
        if (partLeft.size() > result.left.size()) {
            result.left.resize(partLeft.size(), 0.0f);
            result.right.resize(partRight.size(), 0.0f);
        }
        for (size_t i = 0; i < partLeft.size(); ++i) {
            result.left[i] += partLeft[i];
            result.right[i] += partRight[i];
        }
    }
}
