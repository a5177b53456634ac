#pragma once
#include <cstdint>

#include "programs/parameter_table.h"

// What a VST 3 host sees of the instrument's values: the 39 parameters under
// IDs equal to their indexes, the program as a program-change parameter, and
// the MIDI controllers the engine answers to (and pitch bend) as hidden
// parameters that the host's MIDI mapping feeds and the plug-in turns back
// into MIDI messages. IDs never change: sessions keep them.
namespace vst3params {

constexpr uint32_t kProgramId = 1000;
constexpr uint32_t kFirstMidiId = 2000;   // 2000 + controller number; pitch bend is 2000 + 129
constexpr uint32_t kPitchBendController = 129;

// The controllers the engine plays, in the order hosts list them.
constexpr uint8_t kControllers[] = {1, 7, 10, 12, 13, 64, 72, 73, 120, 121, 123, 124, 125, 126, 127};
constexpr int32_t kMidiCount = static_cast<int32_t>(sizeof kControllers) + 1;   // and pitch bend
constexpr int32_t kCount = kNumParameters + 1 + kMidiCount;

enum class Kind { Value, Program, Midi, None };

struct Described {
    Kind kind;
    uint32_t id;
    int32_t index;   // parameter index, program list position or MIDI slot
};

// The parameter at list position i, or the one with a given ID.
Described atPosition(int32_t i);
Described withId(uint32_t id);
// The MIDI slot of controller number, or -1 when the engine ignores it.
int32_t midiSlot(int32_t controller);
int32_t controllerOfSlot(int32_t slot);

// The title the panel prints ("Osc 1 Level"); at most 31 characters.
void title(int32_t parameter, char* text, int32_t size);
// Discrete steps: 1 for the toggles, 2 for Osc 1 On (three states), 63
// for the voice count, 0 for the continuous ones.
int32_t stepCount(int32_t parameter);
// Normalized host values and the stored values of the program.
float storedFromNormalized(int32_t parameter, double normalized);
double normalizedFromStored(int32_t parameter, float stored);

}  // namespace vst3params
