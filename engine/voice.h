#pragma once
#include <cmath>
#include <cstdint>

#include "engine/control_memo.h"
#include "engine/voice_filter.h"

// One voice of the pool of 64. Oscillator read positions are indexes into
// the shared wavetables.
struct Voice {
    uint32_t startOrder;
    float osc1Advance;
    int32_t osc1Pos;
    float osc2Advance;
    int32_t osc2Pos;
    float osc3Advance;
    int32_t osc3Pos;
    float filterAIn2, filterAIn1, filterAOut2, filterAOut1;
    float filterBIn2, filterBIn1, filterBOut2, filterBOut1;
    float velocity;
    uint8_t note;
    uint8_t active;
    uint8_t heldByPedal;   // its key is up, the sustain pedal keeps it sounding
    float ampProgress;
    int32_t ampStage;
    float ampLevel;
    float filterEnvProgress;
    int32_t filterEnvStage;
    float filterEnvLevel;
    float pitch;
    ControlMemo memo;   // the render loop's, not part of the voice's sound
};

constexpr int32_t kNumVoices = 64;

// The end of a sub-block: a filter whose history left the limit, or is not
// finite, has run away and starts again from rest (the rule is at kFilterLimit).
inline void clearRunawayFilter(Voice& voice) {
    const float history[4] = {voice.filterAOut2, voice.filterAOut1, voice.filterBOut2, voice.filterBOut1};
    bool within = true;
    for (float x : history) within = within && std::fabs(x) < kFilterLimit;
    if (within) return;
    voice.filterAIn2 = voice.filterAIn1 = voice.filterAOut2 = voice.filterAOut1 = 0.0f;
    voice.filterBIn2 = voice.filterBIn1 = voice.filterBOut2 = voice.filterBOut1 = 0.0f;
}
