#include "song/song_parts.h"

#include <algorithm>

#include "song/general_midi.h"

namespace {

unsigned channelOf(const MidiEvent& e) { return e.bytes[0] & 0x0Fu; }
unsigned kindOf(const MidiEvent& e) { return e.bytes[0] & 0xF0u; }
bool isNoteOn(const MidiEvent& e) { return kindOf(e) == 0x90 && e.bytes[2] > 0; }

MidiEvent programChange(unsigned channel, int program) {
    return MidiEvent{0.0, {uint8_t(0xC0 | channel), uint8_t(program), 0}, 2};
}

void mapGeneralMidi(MidiSong& song, bool drums) {
    const GmAssignment assignment(song);
    const uint16_t sounding = soundingChannels(song);
    bool programmed[16] = {}, sounded[16] = {};
    for (MidiEvent& e : song.events) {
        const unsigned c = channelOf(e);
        if (kindOf(e) == 0xC0) {
            if (!sounded[c]) programmed[c] = true;
            if (c != kGmDrumChannel && (sounding & (1u << c)))
                e.bytes[1] = uint8_t(assignment.program(int(c), e.bytes[1] & 0x7F));
        }
        if (isNoteOn(e)) sounded[c] = true;
    }
    // The drum channel's program changes choose drum kits, which Vorzle has not.
    song.events.erase(std::remove_if(song.events.begin(), song.events.end(),
                                     [](const MidiEvent& e) {
                                         return kindOf(e) == 0xC0 && channelOf(e) == kGmDrumChannel;
                                     }),
                      song.events.end());
    std::vector<MidiEvent> starts;
    for (unsigned c = 0; c < 16; ++c) {
        if (!(sounding & (1u << c))) continue;
        if (c == kGmDrumChannel) {
            if (drums) starts.push_back(programChange(c, kGmDrumProgram));
        } else if (!programmed[c]) {
            starts.push_back(programChange(c, assignment.program(int(c), 0)));
        }
    }
    song.events.insert(song.events.begin(), starts.begin(), starts.end());
}

}  // namespace

uint16_t soundingChannels(const MidiSong& song) {
    uint16_t mask = 0;
    for (const MidiEvent& e : song.events)
        if (isNoteOn(e)) mask = uint16_t(mask | (1u << channelOf(e)));
    return mask;
}

PrepareCounts prepareSong(MidiSong& song, const SongLayout& layout) {
    PrepareCounts counts;
    counts.transpose = std::clamp(layout.transpose.value_or(layout.generalMidi ? kGmTranspose : 0), -kMaxTranspose,
                                  kMaxTranspose);
    if (layout.generalMidi) {
        mapGeneralMidi(song, layout.drums);
        if (!layout.drums) {
            const auto drumEvent = [](const MidiEvent& e) { return channelOf(e) == kGmDrumChannel; };
            counts.drumEventsLeftOut = uint64_t(std::count_if(song.events.begin(), song.events.end(), drumEvent));
            song.events.erase(std::remove_if(song.events.begin(), song.events.end(), drumEvent), song.events.end());
        }
    }
    if (counts.transpose != 0) {
        const int shift = counts.transpose;
        const auto shiftOut = [&](MidiEvent& e) {
            const unsigned kind = kindOf(e);
            if (kind != 0x80 && kind != 0x90 && kind != 0xA0) return false;
            const int key = int(e.bytes[1]) + shift;
            if (key < 0 || key > 127) {
                counts.notesOutOfRange += isNoteOn(e) ? 1 : 0;
                return true;
            }
            e.bytes[1] = uint8_t(key);
            return false;
        };
        song.events.erase(std::remove_if(song.events.begin(), song.events.end(), shiftOut), song.events.end());
    }
    return counts;
}

std::vector<SongPart> songParts(const MidiSong& song, bool perChannel) {
    std::vector<SongPart> parts;
    auto firstProgram = [](const MidiSong& part) {
        for (const MidiEvent& e : part.events) {
            if (kindOf(e) == 0xC0) return int(e.bytes[1] & 0x7F);
            if (isNoteOn(e)) return -1;
        }
        return -1;
    };
    if (!perChannel) {
        parts.push_back(SongPart{-1, song, firstProgram(song)});
        return parts;
    }
    const uint16_t sounding = soundingChannels(song);
    for (int c = 0; c < 16; ++c) {
        if (!(sounding & (1u << c))) continue;
        SongPart part;
        part.channel = c;
        part.song.lengthSeconds = song.lengthSeconds;
        part.song.damage = song.damage;
        for (const MidiEvent& e : song.events)
            if (int(channelOf(e)) == c) part.song.events.push_back(e);
        part.firstProgram = firstProgram(part.song);
        parts.push_back(std::move(part));
    }
    return parts;
}
