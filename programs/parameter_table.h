#pragma once
#include <cstdint>

// The 39 parameters of a program: where each one lives in the record, its
// default, how the host sees it as text, which wavetable it rebuilds.

constexpr int32_t kNumParameters = 39;

// Host indexes of the parameters, in a scope of their own (Param::Cutoff);
// plain integers, since the indexes are counted and offset (Osc1Level + 7 * k).
namespace Param {
enum Index : int32_t {
    Volume = 0, AmpAttack, AmpHold, AmpDecay, AmpSustain, AmpRelease, Chorus, Drive,
    Cutoff, Resonance, FilterAttack, FilterHold, FilterDecay, FilterSustain, FilterEnvAmount,
    LfoRate, LfoAmount,
    Osc1Level, Osc1Pitch, Osc1Sine, Osc1Center, Osc1Width, Osc1Shift, Osc1On,
    Osc2Level, Osc2Pitch, Osc2Sine, Osc2Center, Osc2Width, Osc2Shift, Osc2On,
    Osc3Level, Osc3Pitch, Osc3Sine, Osc3Center, Osc3Width, Osc3Shift, Osc3On,
    Polyphony
};
}  // namespace Param

enum class DisplayKind : uint8_t {
    Percent, BipolarPercent, Semitones, Octaves20, Octaves4, RawHz, Cutoff, OnOff, Empty
};

struct ParameterInfo {
    const char* name;     // the name printed on the panel, as used in the bank source
    int32_t field;        // position of the value in a ProgramRecord
    float defaultValue;
    DisplayKind display;
    uint8_t rebuildBit;   // dirtyFlags bit a store sets, 0 for none
};

extern const ParameterInfo kParameters[kNumParameters];

// The range a stored value may take, the one check every way in (chunks,
// bank files, a front end's saved state) applies: the on/off switch of
// oscillator 1 has a third position; every other value is a fraction. False
// for NaN and outside 0..38.
bool storedValueAllowed(int32_t parameter, float value);

// Field of a parameter index, or -1 outside 0..38.
int32_t fieldOfParameter(int32_t index);
