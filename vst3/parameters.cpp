#include "vst3/parameters.h"

#include <cctype>
#include <cmath>
#include <cstring>

#include "engine/voice_allocation.h"

namespace vst3params {

Described atPosition(int32_t i) {
    if (i >= 0 && i < kNumParameters) return {Kind::Value, static_cast<uint32_t>(i), i};
    if (i == kNumParameters) return {Kind::Program, kProgramId, 0};
    const int32_t slot = i - kNumParameters - 1;
    if (slot >= 0 && slot < kMidiCount)
        return {Kind::Midi, kFirstMidiId + static_cast<uint32_t>(controllerOfSlot(slot)), slot};
    return {Kind::None, 0, -1};
}

Described withId(uint32_t id) {
    if (id < static_cast<uint32_t>(kNumParameters)) return atPosition(static_cast<int32_t>(id));
    if (id == kProgramId) return atPosition(kNumParameters);
    if (id >= kFirstMidiId && id <= kFirstMidiId + kPitchBendController) {
        const int32_t slot = midiSlot(static_cast<int32_t>(id - kFirstMidiId));
        if (slot >= 0) return {Kind::Midi, id, slot};
    }
    return {Kind::None, 0, -1};
}

int32_t midiSlot(int32_t controller) {
    if (controller == static_cast<int32_t>(kPitchBendController)) return kMidiCount - 1;
    for (int32_t i = 0; i < kMidiCount - 1; ++i)
        if (kControllers[i] == controller) return i;
    return -1;
}

int32_t controllerOfSlot(int32_t slot) {
    return slot == kMidiCount - 1 ? static_cast<int32_t>(kPitchBendController) : kControllers[slot];
}

// The table's names are written together ("Osc1Level", "LfoRate"); the
// panel spaces them and writes LFO in capitals.
void title(int32_t parameter, char* text, int32_t size) {
    if (!text || size <= 0) return;
    text[0] = '\0';
    if (parameter < 0 || parameter >= kNumParameters) return;
    const char* name = kParameters[parameter].name;
    int32_t n = 0;
    for (int32_t i = 0; name[i] && n + 2 < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        const unsigned char before = i > 0 ? static_cast<unsigned char>(name[i - 1]) : 0;
        const bool wordStarts = i > 0 && (std::isupper(c) || (std::isdigit(c) != 0) != (std::isdigit(before) != 0));
        if (wordStarts) text[n++] = ' ';
        text[n++] = static_cast<char>(c);
    }
    text[n] = '\0';
    if (char* lfo = std::strstr(text, "Lfo")) std::memcpy(lfo, "LFO", 3);
}

int32_t stepCount(int32_t parameter) {
    switch (parameter) {
    case Param::Chorus: case Param::Osc2On: case Param::Osc3On: return 1;
    case Param::Osc1On: return 2;
    case Param::Polyphony: return kNumVoices - 1;
    default: return 0;
    }
}

// Values outside 0..1 (and NaN) are clamped: no host value reaches the
// program unbounded. A voice count n is stored half a step above the value
// that gives n - 1, so that the engine's trunc(63x + 1) gives n back.
float storedFromNormalized(int32_t parameter, double normalized) {
    double v = normalized >= 0.0 ? (normalized <= 1.0 ? normalized : 1.0) : 0.0;
    const int32_t steps = stepCount(parameter);
    if (steps == 0) return static_cast<float>(v);
    const float step = static_cast<float>(std::nearbyint(v * steps));
    if (parameter == Param::Polyphony) return (step + 0.5f) / static_cast<float>(steps);
    return step;
}

double normalizedFromStored(int32_t parameter, float stored) {
    const int32_t steps = stepCount(parameter);
    if (steps == 0) return stored < 0.0f ? 0.0 : (stored > 1.0f ? 1.0 : stored);
    // A switch is on from half way, as the panel shows it.
    double step = parameter == Param::Polyphony ? voiceLimit(stored) - 1 : std::floor(static_cast<double>(stored) + 0.5);
    if (std::isnan(step)) step = 0;
    if (step < 0) step = 0;
    if (step > steps) step = steps;
    return step / steps;
}

}  // namespace vst3params
