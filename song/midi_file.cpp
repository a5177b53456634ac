#include "song/midi_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <fstream>

namespace {

// Ticks beyond 2^36 (a year at 960 ticks per quarter and 120 BPM) are refused so
// that tick × microseconds-per-quarter sums stay below 2^60 and exact in 64 bits.
constexpr uint64_t kMaxTicks = uint64_t(1) << 36;
constexpr uint32_t kDefaultTempo = 500000;   // microseconds per quarter note (120 BPM)
constexpr std::streamoff kMaxFileBytes = std::streamoff(1) << 30;


struct TempoChange {
    uint64_t tick;
    uint32_t microsPerQuarter;
};

// Song time as the exact fraction numerator / denominator seconds.
struct TempoSegment {
    uint64_t startTick;
    uint64_t startNumerator;
    uint32_t microsPerQuarter;
};

uint32_t be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

uint16_t be16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }

// RIFF sizes are little-endian.
uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

std::string hexByte(uint8_t b) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", unsigned(b));
    return text;
}

std::string chunkName(const uint8_t* p) {
    std::string name = "'";
    for (int i = 0; i < 4; ++i) {
        if (p[i] < 0x20 || p[i] > 0x7E) {
            char text[16];
            std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(be32(p)));
            return text;
        }
        name += char(p[i]);
    }
    return name + "'";
}

// Reads one track chunk's events; every read is checked against the chunk end.
class TrackParser {
public:
    // Offsets in messages are `fileOffset` plus positions in `data`.
    TrackParser(const uint8_t* data, size_t begin, size_t end, int trackNumber, size_t fileOffset)
        : data_(data), pos_(begin), end_(end), track_(trackNumber), fileOffset_(fileOffset) {}

    // Appends the track's events as it reads them, so after a failure the
    // events before the fault are kept and endTick is the tick of the last
    // complete event (a damaged delta time must not stretch the song). An
    // event's time is its tick for now. Without lists it only counts them.
    bool parse(std::vector<MidiEvent>* events, std::vector<TempoChange>* tempos, size_t& count, uint64_t& endTick,
               std::string& error) {
        uint64_t tick = 0;
        endTick = 0;
        uint8_t runningStatus = 0;
        while (pos_ < end_) {
            endTick = tick;
            uint32_t delta = 0;
            if (!readQuantity(delta, error)) return false;
            tick += delta;
            if (tick > kMaxTicks) return fail(error, "song too long (more than 2^36 ticks)");
            if (pos_ >= end_) return pastEnd(error);

            uint8_t status = data_[pos_];
            if (status & 0x80) {
                ++pos_;
            } else {
                if (runningStatus == 0)
                    return fail(error, "data byte " + hexByte(status) + " without running status");
                status = runningStatus;
            }

            if (status < 0xF0) {
                runningStatus = status;
                MidiEvent event{double(tick), {status, 0, 0}, uint8_t(isTwoByteMessage(status) ? 2 : 3)};
                for (int i = 1; i < event.size; ++i) {
                    if (pos_ >= end_) return pastEnd(error);
                    const uint8_t value = data_[pos_];
                    if (value & 0x80)
                        return fail(error, "status byte " + hexByte(value) + " inside a channel message");
                    event.bytes[i] = value;
                    ++pos_;
                }
                if (events) events->push_back(event);
                ++count;
            } else if (status == 0xF0 || status == 0xF7) {
                runningStatus = 0;   // sysex cancels running status
                uint32_t length = 0;
                if (!readQuantity(length, error) || !skip(length, error)) return false;
            } else if (status == 0xFF) {
                runningStatus = 0;   // so does a meta event
                if (pos_ >= end_) return pastEnd(error);
                const uint8_t type = data_[pos_++];
                uint32_t length = 0;
                if (!readQuantity(length, error)) return false;
                if (length > end_ - pos_) return pastEnd(error);
                if (type == 0x51 && length >= 3) {
                    const uint8_t* p = &data_[pos_];
                    if (tempos) tempos->push_back({tick, (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2]});
                    ++count;
                }
                pos_ += length;
                if (type == 0x2F) {   // End of Track: whatever follows in the chunk is ignored
                    endTick = tick;
                    return true;
                }
            } else {
                return fail(error, "system message " + hexByte(status) + " is not allowed in a MIDI file");
            }
        }
        endTick = tick;   // a missing End of Track is tolerated
        return true;
    }

private:
    static bool isTwoByteMessage(uint8_t status) {
        const uint8_t kind = status & 0xF0;
        return kind == 0xC0 || kind == 0xD0;
    }

    bool readQuantity(uint32_t& value, std::string& error) {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            if (pos_ >= end_) return pastEnd(error);
            const uint8_t b = data_[pos_++];
            value = (value << 7) | (b & 0x7F);
            if (!(b & 0x80)) return true;
        }
        return fail(error, "invalid variable-length quantity (more than 4 bytes)");
    }

    bool skip(uint32_t length, std::string& error) {
        if (length > end_ - pos_) return pastEnd(error);
        pos_ += length;
        return true;
    }

    bool pastEnd(std::string& error) { return fail(error, "runs past the end of its chunk"); }

    bool fail(std::string& error, const std::string& what) {
        error = "track " + std::to_string(track_) + ": " + what + " (at byte " + std::to_string(fileOffset_ + pos_) +
                ")";
        return false;
    }

    const uint8_t* data_;
    size_t pos_;
    size_t end_;
    int track_;
    size_t fileOffset_;
};

double fractionToSeconds(uint64_t numerator, uint64_t denominator) {
    // Below 2^53 the numerator is exact as a double, so one correctly rounded division.
    if (numerator < (uint64_t(1) << 53)) return double(numerator) / double(denominator);
    return double(numerator / denominator) + double(numerator % denominator) / double(denominator);
}

// Converts ticks to seconds: through the tempo map for metrical division, at a
// fixed rate for SMPTE division (tempo events do not apply there).
class TickClock {
public:
    static TickClock metrical(uint16_t ticksPerQuarter, std::vector<TempoChange> tempos) {
        TickClock clock;
        clock.denominator_ = uint64_t(1000000) * ticksPerQuarter;
        std::stable_sort(tempos.begin(), tempos.end(),
                         [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
        clock.segments_.push_back({0, 0, kDefaultTempo});
        for (const TempoChange& change : tempos) {
            TempoSegment& last = clock.segments_.back();
            if (change.tick == last.startTick) {
                last.microsPerQuarter = change.microsPerQuarter;   // the later of equal-tick changes wins
            } else {
                clock.segments_.push_back({change.tick, clock.numeratorAt(change.tick), change.microsPerQuarter});
            }
        }
        return clock;
    }

    static TickClock smpte(int framesPerSecond, int ticksPerFrame) {
        TickClock clock;
        // 29 stands for 29.97 frames per second (30000 / 1001).
        const bool dropFrame = framesPerSecond == 29;
        clock.segments_.push_back({0, 0, dropFrame ? 1001u : 1u});
        clock.denominator_ = uint64_t(ticksPerFrame) * (dropFrame ? 30000u : uint64_t(framesPerSecond));
        return clock;
    }

    double seconds(uint64_t tick) const { return fractionToSeconds(numeratorAt(tick), denominator_); }

private:
    uint64_t numeratorAt(uint64_t tick) const {
        auto after = std::upper_bound(segments_.begin(), segments_.end(), tick,
                                      [](uint64_t t, const TempoSegment& s) { return t < s.startTick; });
        const TempoSegment& segment = *(after - 1);
        return segment.startNumerator + (tick - segment.startTick) * segment.microsPerQuarter;
    }

    std::vector<TempoSegment> segments_;
    uint64_t denominator_ = 1;
};

// Reads the standard file in data[0, size); messages give offsets from `base`.
// Damage to the tracks (a fault inside one, or the file ending early) is
// refused, or with PlayReadablePart noted in song.damage while the events
// before it are kept.
bool parseSmf(const uint8_t* data, size_t size, size_t base, MidiDamagePolicy policy, MidiSong& song,
              std::string& error) {
    auto at = [base](size_t pos) { return " (at byte " + std::to_string(base + pos) + ")"; };
    if (size < 4 || data[0] != 'M' || data[1] != 'T' || data[2] != 'h' || data[3] != 'd') {
        error = "not a MIDI file (no MThd header)";
        return false;
    }
    if (size < 8) {
        error = "truncated header";
        return false;
    }
    const uint32_t headerLength = be32(&data[4]);
    if (headerLength < 6) {
        error = "truncated header (header length " + std::to_string(headerLength) + ", needs 6)";
        return false;
    }
    if (headerLength > size - 8) {
        error = "truncated header (declares " + std::to_string(headerLength) + " bytes, " +
                std::to_string(size - 8) + " present)";
        return false;
    }
    const uint16_t format = be16(&data[8]);
    const uint16_t trackCount = be16(&data[10]);
    const uint16_t division = be16(&data[12]);
    if (format == 2) {
        error = "format 2 (independent sequences) is not supported";
        return false;
    }
    if (format > 2) {
        error = "unknown MIDI file format " + std::to_string(format);
        return false;
    }
    if (trackCount == 0) {
        error = "no tracks (track count is 0)";
        return false;
    }
    if (division == 0) {
        error = "invalid division 0";
        return false;
    }
    const bool smpteDivision = (division & 0x8000) != 0;
    const int framesPerSecond = -int(int8_t(division >> 8));
    const int ticksPerFrame = division & 0xFF;
    if (smpteDivision) {
        if (framesPerSecond != 24 && framesPerSecond != 25 && framesPerSecond != 29 && framesPerSecond != 30) {
            error = "invalid SMPTE division (" + std::to_string(framesPerSecond) + " frames per second)";
            return false;
        }
        if (ticksPerFrame == 0) {
            error = "invalid SMPTE division (0 ticks per frame)";
            return false;
        }
    }

    // Two readings: the first counts what the song holds, so that a song
    // beyond kMaxSongEvents is refused before anything is stored and the
    // lists take exactly the memory they need.
    std::vector<TempoChange> tempos;
    uint64_t endTick = 0;
    std::string damage;
    size_t count = 0;
    auto readTracks = [&](bool store) {
        size_t pos = 8 + size_t(headerLength);
        int tracksRead = 0;
        endTick = 0;
        damage.clear();
        count = 0;
        // The first fault is reported; reading goes on only where the chunk layout still holds.
        auto damaged = [&](const std::string& what) {
            if (damage.empty()) damage = what;
            return policy == MidiDamagePolicy::PlayReadablePart;
        };
        while (tracksRead < trackCount) {
            if (pos == size) {
                damaged("file ends after " + std::to_string(tracksRead) + " of " + std::to_string(trackCount) +
                        " tracks" + at(pos));
                break;
            }
            if (size - pos < 8) {
                damaged("truncated chunk header" + at(pos));
                break;
            }
            uint32_t length = be32(&data[pos + 4]);
            bool truncated = false;
            if (length > size - pos - 8) {
                if (!damaged("truncated chunk " + chunkName(&data[pos]) + " (at byte " + std::to_string(base + pos) +
                             ", declares " + std::to_string(length) + " bytes, " + std::to_string(size - pos - 8) +
                             " present)"))
                    break;
                length = uint32_t(size - pos - 8);
                truncated = true;
            }
            const size_t begin = pos + 8;
            const size_t end = begin + length;
            if (data[pos] == 'M' && data[pos + 1] == 'T' && data[pos + 2] == 'r' && data[pos + 3] == 'k') {
                uint64_t trackEnd = 0;
                TrackParser parser(data, begin, end, tracksRead + 1, base);
                std::string trackError;
                if (!parser.parse(store ? &song.events : nullptr, store ? &tempos : nullptr, count, trackEnd,
                                  trackError) &&
                    !damaged(trackError))
                    break;
                endTick = std::max(endTick, trackEnd);
                ++tracksRead;
            }
            if (truncated) break;
            pos = end;   // other chunk types are skipped
        }
    };
    readTracks(false);
    if (count > kMaxSongEvents) {
        error = "too many events (" + std::to_string(count) + "; vorzle-render plays at most " +
                std::to_string(kMaxSongEvents) + ")";
        return false;
    }
    song.events.reserve(count);
    readTracks(true);
    if (!damage.empty() && (policy == MidiDamagePolicy::Refuse || song.events.empty())) {
        song.events = {};
        error = damage;
        return false;
    }
    song.damage = damage;

    // Tracks were appended in order, so a stable sort by tick keeps track order,
    // then file order, for events at the same tick. Then ticks become seconds
    // in place.
    const auto byTick = [](const MidiEvent& a, const MidiEvent& b) { return a.seconds < b.seconds; };
    if (!std::is_sorted(song.events.begin(), song.events.end(), byTick))   // one track needs no sort
        std::stable_sort(song.events.begin(), song.events.end(), byTick);
    const TickClock clock = smpteDivision ? TickClock::smpte(framesPerSecond, ticksPerFrame)
                                          : TickClock::metrical(division, std::move(tempos));
    for (MidiEvent& e : song.events) e.seconds = clock.seconds(uint64_t(e.seconds));
    song.lengthSeconds = clock.seconds(endTick);
    return true;
}


// A RIFF MIDI file (.rmi): form type 'RMID' whose 'data' chunk holds a standard file.
bool parseRiffMidi(const std::vector<uint8_t>& data, MidiDamagePolicy policy, MidiSong& song, std::string& error) {
    if (data.size() < 12 || data[8] != 'R' || data[9] != 'M' || data[10] != 'I' || data[11] != 'D') {
        error = "not a MIDI file (a RIFF file, but not of form RMID)";
        return false;
    }
    size_t pos = 12;
    while (data.size() - pos >= 8) {
        const uint32_t length = le32(&data[pos + 4]);
        const size_t present = data.size() - pos - 8;
        if (data[pos] == 'd' && data[pos + 1] == 'a' && data[pos + 2] == 't' && data[pos + 3] == 'a') {
            // A data chunk cut short is a truncated song, handled as one.
            return parseSmf(data.data() + pos + 8, std::min<size_t>(length, present), pos + 8, policy, song,
                            error);
        }
        if (length >= present) break;
        pos += 8 + length + (length & 1);   // RIFF chunks are padded to even sizes
    }
    error = "RIFF MIDI file without a 'data' chunk";
    return false;
}

}  // namespace

bool parseMidiFile(const std::vector<uint8_t>& data, MidiSong& song, std::string& error, MidiDamagePolicy policy) {
    MidiSong parsed;
    song = MidiSong{};
    const bool riff = data.size() >= 4 && data[0] == 'R' && data[1] == 'I' && data[2] == 'F' && data[3] == 'F';
    if (riff ? !parseRiffMidi(data, policy, parsed, error) : !parseSmf(data.data(), data.size(), 0, policy, parsed, error))
        return false;
    song = std::move(parsed);
    return true;
}

// Read front to back, never seeking, so that a pipe, a FIFO or /dev/stdin
// reads as a file does.
bool readMidiFile(const std::filesystem::path& path, MidiSong& song, std::string& error, MidiDamagePolicy policy) {
    song = MidiSong{};
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = std::string("cannot open the file") + (errno ? std::string(": ") + std::strerror(errno) : "");
        return false;
    }
    std::vector<uint8_t> data;
    char buffer[64 * 1024];
    while (file) {
        errno = 0;
        file.read(buffer, sizeof buffer);
        const std::streamsize got = file.gcount();
        if (static_cast<int64_t>(data.size()) + got > kMaxFileBytes) {
            error = "file too large for a MIDI file (over 1 GiB)";
            return false;
        }
        data.insert(data.end(), buffer, buffer + got);
    }
    if (file.bad() || !file.eof()) {
        error = std::string("cannot read the file") + (errno ? std::string(": ") + std::strerror(errno) : "");
        return false;
    }
    return parseMidiFile(data, song, error, policy);
}
