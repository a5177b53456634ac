#pragma once
#include <cstdint>

#include "engine/envelope.h"
#include "engine/voice.h"
#include "engine/voice_filter.h"

// Several voices rendered side by side, one per lane of an SSE register: each
// lane performs exactly the float operations of the one-voice loop, in the
// same order, and the lanes' samples are added into the mix in voice order,
// so the mix is the same to the bit as rendering the voices one by one.

// What a voice's control work yields for one sub-block.
struct VoiceControls {
    float inc[3];
    FilterCoefficients k;
    EnvelopeStep ampStep, filterStep;
};

constexpr int32_t kVoiceLanes = 4;

// Renders count (1..4) voices, each with its controls, over n samples, adding
// each sample into mix in the order the voices are given.
// switches: bit 1, 2, 4 for oscillators 1, 2, 3 on.
void renderVoiceLanes(Voice* const* voices, const VoiceControls* controls, int32_t count, const float* const tables[3],
                      int32_t tableLength, int32_t switches, int32_t n, float* mix);
