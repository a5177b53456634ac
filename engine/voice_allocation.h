#pragma once
#include <cstdint>

#include "engine/voice.h"

// Which voice a note-on takes: the first free one among the first `limit`
// voices, otherwise the most recently started of them (stolen).

// Voices that note-ons may use for Polyphony x: trunc(63x + 1),
// at most 64. Below 1 (x negative, or not a number) no voice is scanned.
inline int32_t voiceLimit(float polyphony) {
    const float f = 63.0f * polyphony + 1.0f;
    if (f >= static_cast<float>(kNumVoices)) return kNumVoices;
    if (f > 0.0f) return static_cast<int32_t>(f);
    return 0;
}

struct VoiceChoice {
    int32_t index;
    bool fresh;   // a free voice to start anew; otherwise a sounding one to steal
};

inline VoiceChoice chooseVoice(const Voice* voices, int32_t limit) {
    int32_t newest = 0;
    for (int32_t i = 0; i < limit && i < kNumVoices; ++i) {
        if (!voices[i].active) return {i, true};
        if (voices[i].startOrder > voices[newest].startOrder) newest = i;
    }
    // With no voice scanned (limit 0 or less) voice 0 is used, free or not.
    if (limit <= 0 && !voices[0].active) return {0, true};
    return {newest, false};
}
