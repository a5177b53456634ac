#include "song/general_midi.h"

#include <cstdio>

namespace {

// Ranges of the factory bank's categories (resources/factory_bank.txt).
const std::vector<ProgramFamily> kFamilies = {
    {"Basses", 1, 16},          {"Leads", 17, 30},          {"Pads", 31, 44},
    {"Strings and brass", 45, 58}, {"Keys and plucks", 59, 72}, {"Organs", 73, 86},
    {"Bells and mallets", 87, 100}, {"Sequences and arpeggios", 101, 113}, {"Effects and drones", 114, 126},
};

struct GmEntry {
    const char* name;
    int preferred;
};

// Each GM instrument on the nearest factory sound: pianos, guitars and ethnic
// plucks on keys and plucks, chromatic percussion on bells, organs on organs,
// basses on basses, strings, ensembles and brass on strings and brass, reeds,
// pipes and synth leads on leads, synth pads on pads, effects on effects.
const GmEntry kGm[128] = {
    {"Acoustic Grand Piano", 65}, {"Bright Acoustic Piano", 70}, {"Electric Grand Piano", 66},
    {"Honky-tonk Piano", 71},     {"Electric Piano 1", 59},      {"Electric Piano 2", 60},
    {"Harpsichord", 61},          {"Clavinet", 68},              {"Celesta", 93},
    {"Glockenspiel", 100},        {"Music Box", 92},             {"Vibraphone", 90},
    {"Marimba", 89},              {"Xylophone", 91},             {"Tubular Bells", 87},
    {"Dulcimer", 96},             {"Drawbar Organ", 73},         {"Percussive Organ", 83},
    {"Rock Organ", 77},           {"Church Organ", 75},          {"Reed Organ", 76},
    {"Accordion", 85},            {"Harmonica", 24},             {"Tango Accordion", 84},
    {"Acoustic Guitar (nylon)", 62}, {"Acoustic Guitar (steel)", 63}, {"Electric Guitar (jazz)", 72},
    {"Electric Guitar (clean)", 69}, {"Electric Guitar (muted)", 67}, {"Overdriven Guitar", 27},
    {"Distortion Guitar", 22},    {"Guitar Harmonics", 97},      {"Acoustic Bass", 2},
    {"Electric Bass (finger)", 10}, {"Electric Bass (pick)", 4}, {"Fretless Bass", 12},
    {"Slap Bass 1", 11},          {"Slap Bass 2", 16},           {"Synth Bass 1", 1},
    {"Synth Bass 2", 5},          {"Violin", 50},                {"Viola", 47},
    {"Cello", 49},                {"Contrabass", 46},            {"Tremolo Strings", 51},
    {"Pizzicato Strings", 48},    {"Orchestral Harp", 64},       {"Timpani", 94},
    {"String Ensemble 1", 45},    {"String Ensemble 2", 46},     {"Synth Strings 1", 51},
    {"Synth Strings 2", 38},      {"Choir Aahs", 36},            {"Voice Oohs", 35},
    {"Synth Voice", 30},          {"Orchestra Hit", 55},         {"Trumpet", 54},
    {"Trombone", 56},             {"Tuba", 56},                  {"Muted Trumpet", 58},
    {"French Horn", 53},          {"Brass Section", 52},         {"Synth Brass 1", 57},
    {"Synth Brass 2", 55},        {"Soprano Sax", 25},           {"Alto Sax", 25},
    {"Tenor Sax", 29},            {"Baritone Sax", 29},          {"Oboe", 24},
    {"English Horn", 24},         {"Bassoon", 24},               {"Clarinet", 18},
    {"Piccolo", 23},              {"Flute", 26},                 {"Recorder", 26},
    {"Pan Flute", 26},            {"Blown Bottle", 26},          {"Shakuhachi", 26},
    {"Whistle", 23},              {"Ocarina", 20},               {"Lead 1 (square)", 18},
    {"Lead 2 (sawtooth)", 17},    {"Lead 3 (calliope)", 26},     {"Lead 4 (chiff)", 20},
    {"Lead 5 (charang)", 27},     {"Lead 6 (voice)", 30},        {"Lead 7 (fifths)", 21},
    {"Lead 8 (bass + lead)", 28}, {"Pad 1 (new age)", 40},       {"Pad 2 (warm)", 31},
    {"Pad 3 (polysynth)", 32},    {"Pad 4 (choir)", 36},         {"Pad 5 (bowed)", 38},
    {"Pad 6 (metallic)", 33},     {"Pad 7 (halo)", 39},          {"Pad 8 (sweep)", 32},
    {"FX 1 (rain)", 125},         {"FX 2 (soundtrack)", 126},    {"FX 3 (crystal)", 97},
    {"FX 4 (atmosphere)", 118},   {"FX 5 (brightness)", 121},    {"FX 6 (goblins)", 124},
    {"FX 7 (echoes)", 109},       {"FX 8 (sci-fi)", 119},        {"Sitar", 69},
    {"Banjo", 63},                {"Shamisen", 69},              {"Koto", 63},
    {"Kalimba", 96},              {"Bagpipe", 24},               {"Fiddle", 50},
    {"Shanai", 24},               {"Tinkle Bell", 88},           {"Agogo", 99},
    {"Steel Drums", 95},          {"Woodblock", 91},             {"Taiko Drum", 122},
    {"Melodic Tom", 9},           {"Synth Drum", 9},             {"Reverse Cymbal", 121},
    {"Guitar Fret Noise", 116},   {"Breath Noise", 124},         {"Seashore", 115},
    {"Bird Tweet", 119},          {"Telephone Ring", 125},       {"Helicopter", 122},
    {"Applause", 123},            {"Gunshot", 117},
};

bool isNoteOn(const MidiEvent& e) { return (e.bytes[0] & 0xF0) == 0x90 && e.bytes[2] > 0; }
bool isProgramChange(const MidiEvent& e) { return (e.bytes[0] & 0xF0) == 0xC0; }

}  // namespace

const std::vector<ProgramFamily>& factoryFamilies() { return kFamilies; }

const ProgramFamily* familyOf(int program) {
    for (const ProgramFamily& f : kFamilies)
        if (program >= f.first && program <= f.last) return &f;
    return nullptr;
}

const char* gmProgramName(int gmProgram) { return gmProgram >= 0 && gmProgram < 128 ? kGm[gmProgram].name : ""; }
int gmPreferredProgram(int gmProgram) { return gmProgram >= 0 && gmProgram < 128 ? kGm[gmProgram].preferred : -1; }

GmAssignment::GmAssignment(const MidiSong& song) {
    for (auto& row : chosen_)
        for (int& p : row) p = -1;
    int owner[128];   // the channel that took a Vorzle program first
    for (int& o : owner) o = -1;
    auto choose = [&](int channel, int gm) {
        if (chosen_[channel][gm] >= 0) return;
        const int preferred = kGm[gm].preferred;
        int pick = preferred;
        if (const ProgramFamily* family = familyOf(preferred)) {
            const int size = family->last - family->first + 1;
            for (int step = 0; step < size; ++step) {
                const int candidate = family->first + (preferred - family->first + step) % size;
                if (owner[candidate] < 0 || owner[candidate] == channel) {
                    pick = candidate;
                    break;
                }
            }
        }
        if (owner[pick] < 0) owner[pick] = channel;
        chosen_[channel][gm] = pick;
    };

    // Channels that sound before their first program change start on GM program 0.
    bool programmed[16] = {}, sounded[16] = {};
    for (const MidiEvent& e : song.events) {
        const int channel = e.bytes[0] & 0x0F;
        if (isProgramChange(e) && !sounded[channel]) programmed[channel] = true;
        if (isNoteOn(e)) sounded[channel] = true;
    }
    for (int c = 0; c < 16; ++c)
        if (c != kGmDrumChannel && sounded[c] && !programmed[c]) choose(c, 0);
    for (const MidiEvent& e : song.events) {
        const int channel = e.bytes[0] & 0x0F;
        if (isProgramChange(e) && channel != kGmDrumChannel && sounded[channel]) choose(channel, e.bytes[1] & 0x7F);
    }
}

int GmAssignment::program(int channel, int gmProgram) const {
    if (channel < 0 || channel > 15 || gmProgram < 0 || gmProgram > 127) return -1;
    return chosen_[channel][gmProgram];
}

std::string gmTableText(const std::vector<std::string>& vorzleNames) {
    std::string text;
    char line[160];
    for (int gm = 0; gm < 128; ++gm) {
        const int p = kGm[gm].preferred;
        const ProgramFamily* family = familyOf(p);
        std::snprintf(line, sizeof line, "%3d %-26s -> %3d %-20s (%s %d to %d)\n", gm + 1, kGm[gm].name, p,
                      p < int(vorzleNames.size()) ? vorzleNames[size_t(p)].c_str() : "", family ? family->name : "",
                      family ? family->first : p, family ? family->last : p);
        text += line;
    }
    std::snprintf(line, sizeof line, "channel 10 (drums) -> %3d %s, only when drums are asked for\n", kGmDrumProgram,
                  kGmDrumProgram < int(vorzleNames.size()) ? vorzleNames[kGmDrumProgram].c_str() : "");
    return text + line;
}
