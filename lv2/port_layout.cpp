#include "lv2/port_layout.h"

#include <cmath>

#include "engine/voice_allocation.h"
#include "instrument/instrument.h"
#include "programs/program_bank.h"

using PK = PortKind;

const PortInfo kPortInfo[kNumParameters] = {
    {"volume",            "Volume",            PK::Continuous,       0.0f, 1.0f},
    {"amp_attack",        "Amp Attack",        PK::Continuous,       0.0f, 1.0f},
    {"amp_hold",          "Amp Hold",          PK::Continuous,       0.0f, 1.0f},
    {"amp_decay",         "Amp Decay",         PK::Continuous,       0.0f, 1.0f},
    {"amp_sustain",       "Amp Sustain",       PK::Continuous,       0.0f, 1.0f},
    {"amp_release",       "Amp Release",       PK::Continuous,       0.0f, 1.0f},
    {"chorus",            "Chorus",            PK::Toggle,           0.0f, 1.0f},
    {"drive",             "Drive",             PK::Continuous,       0.0f, 1.0f},
    {"cutoff",            "Cutoff",            PK::Continuous,       0.0f, 1.0f},
    {"resonance",         "Resonance",         PK::Continuous,       0.0f, 1.0f},
    {"filter_attack",     "Filter Attack",     PK::Continuous,       0.0f, 1.0f},
    {"filter_hold",       "Filter Hold",       PK::Continuous,       0.0f, 1.0f},
    {"filter_decay",      "Filter Decay",      PK::Continuous,       0.0f, 1.0f},
    {"filter_sustain",    "Filter Sustain",    PK::Continuous,       0.0f, 1.0f},
    {"filter_env_amount", "Filter Env Amount", PK::Continuous,       0.0f, 1.0f},
    {"lfo_rate",          "LFO Rate",          PK::Continuous,       0.0f, 1.0f},
    {"lfo_amount",        "LFO Amount",        PK::Continuous,       0.0f, 1.0f},
    {"osc1_level",        "Osc 1 Level",       PK::Continuous,       0.0f, 1.0f},
    {"osc1_pitch",        "Osc 1 Pitch",       PK::Continuous,       0.0f, 1.0f},
    {"osc1_sine",         "Osc 1 Sine",        PK::Continuous,       0.0f, 1.0f},
    {"osc1_center",       "Osc 1 Center",      PK::Continuous,       0.0f, 1.0f},
    {"osc1_width",        "Osc 1 Width",       PK::Continuous,       0.0f, 1.0f},
    {"osc1_shift",        "Osc 1 Shift",       PK::Continuous,       0.0f, 1.0f},
    // The factory programs store 2.0 as well as 1.0 for on; both play alike,
    // and a preset must give back the value it was made from.
    {"osc1_on",           "Osc 1 On",          PK::ThreeStateSwitch, 0.0f, 2.0f},
    {"osc2_level",        "Osc 2 Level",       PK::Continuous,       0.0f, 1.0f},
    {"osc2_pitch",        "Osc 2 Pitch",       PK::Continuous,       0.0f, 1.0f},
    {"osc2_sine",         "Osc 2 Sine",        PK::Continuous,       0.0f, 1.0f},
    {"osc2_center",       "Osc 2 Center",      PK::Continuous,       0.0f, 1.0f},
    {"osc2_width",        "Osc 2 Width",       PK::Continuous,       0.0f, 1.0f},
    {"osc2_shift",        "Osc 2 Shift",       PK::Continuous,       0.0f, 1.0f},
    {"osc2_on",           "Osc 2 On",          PK::Toggle,           0.0f, 1.0f},
    {"osc3_level",        "Osc 3 Level",       PK::Continuous,       0.0f, 1.0f},
    {"osc3_pitch",        "Osc 3 Pitch",       PK::Continuous,       0.0f, 1.0f},
    {"osc3_sine",         "Osc 3 Sine",        PK::Continuous,       0.0f, 1.0f},
    {"osc3_center",       "Osc 3 Center",      PK::Continuous,       0.0f, 1.0f},
    {"osc3_width",        "Osc 3 Width",       PK::Continuous,       0.0f, 1.0f},
    {"osc3_shift",        "Osc 3 Shift",       PK::Continuous,       0.0f, 1.0f},
    {"osc3_on",           "Osc 3 On",          PK::Toggle,           0.0f, 1.0f},
    {"polyphony",         "Polyphony",         PK::VoiceCount,       1.0f, 64.0f},
};

// n voices are stored half a step above the value that gives n - 1, so that
// trunc(63x + 1) gives n back whatever the rounding.
float storedFromPort(int32_t parameter, float portValue) {
    if (kPortInfo[parameter].kind != PK::VoiceCount) return portValue;
    const float voices = std::nearbyint(portValue);
    return (voices - 0.5f) / 63.0f;
}

float portFromStored(int32_t parameter, float stored) {
    if (kPortInfo[parameter].kind != PK::VoiceCount) return stored;
    const int32_t voices = voiceLimit(stored);
    return static_cast<float>(voices < 1 ? 1 : voices);
}

// A fresh instance plays program 0, as the other formats start: a host that
// writes the defaults must hear program 0 unchanged.
float portDefault(int32_t parameter) {
    static const ProgramRecord program0 = Instrument().programRecord(0);
    return portFromStored(parameter, program0.valueOf(parameter));
}
