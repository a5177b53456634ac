#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "song/midi_file.h"

// General MIDI songs on Vorzle's factory bank: which Vorzle program plays a GM
// program, and how a song's channels are prepared for one instrument each.
// The renderer and the Python module both take their rules from here, so that
// both give the same samples.

// GM counts channels from 1; channel 10 (index 9) holds drums.
constexpr int kGmDrumChannel = 9;
// Vorzle sounds an octave below concert pitch; GM songs are written at concert pitch.
constexpr int kGmTranspose = 12;
// What plays the drum channel when it is rendered at all: pitched thumps.
constexpr int kGmDrumProgram = 9;

// A run of factory programs of one kind ("Basses", 1 to 16).
struct ProgramFamily {
    const char* name;
    int first;
    int last;
};
const std::vector<ProgramFamily>& factoryFamilies();
// The family holding `program`, or null (0 and 127 belong to none).
const ProgramFamily* familyOf(int program);

// The GM instrument's name ("Acoustic Grand Piano") and the Vorzle program it
// prefers, for GM programs 0..127 (counted from 0, as in the MIDI message).
const char* gmProgramName(int gmProgram);
int gmPreferredProgram(int gmProgram);

// Chooses a Vorzle program for every (channel, GM program) pair a song uses.
// A pair takes its preferred program unless another channel already took it;
// then the next program of the same family that no other channel has taken
// (wrapping round within the family), or the preferred one when the family is
// full. Pairs are taken in song order; a channel that plays before any program
// change plays GM program 0 from the start, taken first, lowest channel first.
class GmAssignment {
public:
    explicit GmAssignment(const MidiSong& song);
    // The Vorzle program for a GM program on a channel, -1 when the song never uses the pair.
    int program(int channel, int gmProgram) const;

private:
    int chosen_[16][128];
};

// The table as text: one line per GM program, "  1 Acoustic Grand Piano  -> 65 Felt Piano".
// `vorzleNames` gives the factory bank's names (may be shorter: then numbers only).
std::string gmTableText(const std::vector<std::string>& vorzleNames);
