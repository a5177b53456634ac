#include "programs/parameter_table.h"

using DK = DisplayKind;

const ParameterInfo kParameters[kNumParameters] = {
    {"Volume",          14, 0.5f,   DK::Percent,        0},
    {"AmpAttack",        9, 0.1f,   DK::Percent,        0},
    {"AmpHold",         13, 0.3f,   DK::Percent,        0},
    {"AmpDecay",        10, 1.0f,   DK::Percent,        0},
    {"AmpSustain",      12, 0.0f,   DK::Percent,        0},
    {"AmpRelease",      11, 0.3f,   DK::Percent,        0},
    {"Chorus",          37, 1.0f,   DK::Empty,          0},
    {"Drive",           36, 0.0f,   DK::Percent,        0},
    {"Cutoff",           0, 0.58f,  DK::Cutoff,         0},
    {"Resonance",        1, 0.0f,   DK::Percent,        0},
    {"FilterAttack",     2, 0.1f,   DK::Percent,        0},
    {"FilterHold",       3, 0.3f,   DK::Percent,        0},
    {"FilterDecay",      5, 1.0f,   DK::Percent,        0},
    {"FilterSustain",    4, 1.0f,   DK::Percent,        0},
    {"FilterEnvAmount",  6, 0.5f,   DK::Octaves20,      0},
    {"LfoRate",          7, 0.1f,   DK::RawHz,          0},
    {"LfoAmount",        8, 0.5f,   DK::Octaves4,       0},
    {"Osc1Level",       15, 1.0f,   DK::BipolarPercent, 1},
    {"Osc1Pitch",       16, 0.5f,   DK::Semitones,      1},
    {"Osc1Sine",        17, 0.0f,   DK::Percent,        1},
    {"Osc1Center",      18, 1.0f,   DK::Percent,        1},
    {"Osc1Width",       19, 0.0f,   DK::Percent,        1},
    {"Osc1Shift",       20, 0.0f,   DK::Percent,        1},
    {"Osc1On",          21, 2.0f,   DK::OnOff,          0},
    {"Osc2Level",       22, 1.0f,   DK::BipolarPercent, 2},
    {"Osc2Pitch",       23, 0.505f, DK::Semitones,      2},
    {"Osc2Sine",        24, 0.0f,   DK::Percent,        2},
    {"Osc2Center",      25, 1.0f,   DK::Percent,        2},
    {"Osc2Width",       26, 0.0f,   DK::Percent,        2},
    {"Osc2Shift",       27, 0.0f,   DK::Percent,        2},
    // Osc2On: on, like its sister switches; the factory bank sets it for every program.
    {"Osc2On",          28, 1.0f,   DK::OnOff,          0},
    {"Osc3Level",       29, 1.0f,   DK::BipolarPercent, 4},
    {"Osc3Pitch",       30, 0.51f,  DK::Semitones,      4},
    {"Osc3Sine",        31, 0.0f,   DK::Percent,        4},
    {"Osc3Center",      32, 1.0f,   DK::Percent,        4},
    {"Osc3Width",       33, 0.0f,   DK::Percent,        4},
    {"Osc3Shift",       34, 0.0f,   DK::Percent,        4},
    {"Osc3On",          35, 1.0f,   DK::OnOff,          0},
    {"Polyphony",       38, 1.0f,   DK::Empty,          0},
};

int32_t fieldOfParameter(int32_t index) {
    if (index < 0 || index >= kNumParameters) return -1;
    return kParameters[index].field;
}

bool storedValueAllowed(int32_t parameter, float value) {
    if (parameter < 0 || parameter >= kNumParameters) return false;
    if (parameter == Param::Osc1On) return value == 0.0f || value == 1.0f || value == 2.0f;
    return value >= 0.0f && value <= 1.0f;
}
