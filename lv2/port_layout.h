#pragma once
#include <cstdint>

#include "programs/parameter_table.h"

// The plug-in's ports: MIDI in, the two audio outputs, one control input per
// parameter (in parameter order) and one control output per parameter that
// reports the value the instrument plays.
namespace Port {
constexpr uint32_t kMidiIn = 0;
constexpr uint32_t kLeft = 1;
constexpr uint32_t kRight = 2;
constexpr uint32_t kFirstControl = 3;
constexpr uint32_t kFirstPlaying = kFirstControl + kNumParameters;
constexpr uint32_t kCount = kFirstPlaying + kNumParameters;

constexpr uint32_t control(int32_t parameter) { return kFirstControl + static_cast<uint32_t>(parameter); }
constexpr uint32_t playing(int32_t parameter) { return kFirstPlaying + static_cast<uint32_t>(parameter); }
}  // namespace Port

enum class PortKind : uint8_t { Continuous, Toggle, ThreeStateSwitch, VoiceCount };

struct PortInfo {
    const char* symbol;   // stored by sessions: stable forever
    const char* name;     // as the panel labels the control
    PortKind kind;
    float minimum;
    float maximum;
};

extern const PortInfo kPortInfo[kNumParameters];

// Host port value -> stored parameter value, and back. Only the voice count
// differs: the port counts voices 1..64, the program holds 0..1.
float storedFromPort(int32_t parameter, float portValue);
float portFromStored(int32_t parameter, float stored);
// The port default: factory program 0's value in port units (builds the
// factory bank once, on the first call: not for the audio thread).
float portDefault(int32_t parameter);
