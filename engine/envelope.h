#pragma once
#include <cmath>
#include <cstdint>

#include "engine/voice.h"

// Amplitude and filter envelopes. Within a stage a level moves toward the
// stage's target along a one-pole curve, and a progress value runs the same
// curve from 0 toward 1; the stage ends when the progress passes a threshold,
// tested once per voice and sub-block.

constexpr float kAmpStageEnd = 0.997f;
constexpr float kFilterStageEnd = 0.99f;
// A sustain at or below this level ends the voice when its decay completes.
constexpr float kSilentSustain = 0.00001f;

// Envelope stages as the voice stores them.
constexpr int32_t kStageRelease = -1;
constexpr int32_t kStageAttack = 0;
constexpr int32_t kStageHold = 1;
constexpr int32_t kStageDecay = 2;
constexpr int32_t kStageSustain = 3;

// Per-sample coefficient of a 0..1 time parameter: 0.01 (1 - x)^5 + 0.00001.
inline float envelopeRate(float x) {
    float a = 1.0f - x;
    if (a < 0.0f) a = 0.0f;
    return 0.01f * static_cast<float>(std::pow(static_cast<double>(a), 5.0)) + 0.00001f;
}

// The coefficients and sustain level taken once per render call.
struct EnvelopeRates {
    float ampAttack, ampHold, ampDecay, ampSustain, ampRelease;
    float filterAttack, filterHold, filterDecay;
};

// Coefficient and target of one envelope for the sub-block. A coefficient of
// 0 holds the level where it is.
struct EnvelopeStep {
    float rate;
    float target;
};

// Amplitude stage check. Answers false when the voice has ended (its active
// flag is then cleared).
inline bool checkAmpStage(Voice& voice, const EnvelopeRates& rates, EnvelopeStep& step) {
    if (voice.ampProgress > kAmpStageEnd) {
        if (voice.ampStage < 0 || (voice.ampStage == kStageDecay && rates.ampSustain <= kSilentSustain)) {
            voice.active = 0;
            return false;
        }
        voice.ampStage += 1;
        voice.ampProgress = 0.0f;
    }
    switch (voice.ampStage) {
    case kStageRelease: step = {rates.ampRelease, 0.0f}; break;
    case kStageAttack: step = {rates.ampAttack, voice.velocity}; break;
    case kStageHold: step = {rates.ampHold, voice.velocity}; break;
    case kStageDecay: step = {rates.ampDecay, voice.velocity * rates.ampSustain}; break;
    default: step = {0.0f, 0.0f}; break;
    }
    return true;
}

// Filter stage check; amount is the envelope depth in octaves, sustain the
// FilterSustain value as stored. Stage 3 and above hold the level.
inline EnvelopeStep checkFilterStage(Voice& voice, const EnvelopeRates& rates, float amount, float sustain) {
    if (voice.filterEnvProgress > kFilterStageEnd) {
        // Progress stays 0 once the level is held, so the stage stops at 3.
        if (voice.filterEnvStage < kStageSustain) voice.filterEnvStage += 1;
        voice.filterEnvProgress = 0.0f;
    }
    switch (voice.filterEnvStage) {
    case kStageAttack: return {rates.filterAttack, amount};
    case kStageHold: return {rates.filterHold, amount};
    case kStageDecay: return {rates.filterDecay, amount * sustain};
    default: return {0.0f, 0.0f};
    }
}

// One envelope's level and progress by one sample.
struct EnvelopeState {
    float level;
    float progress;
};

inline void advanceEnvelope(EnvelopeState& env, const EnvelopeStep& step) {
    env.level = env.level + (step.target - env.level) * step.rate;
    env.progress = env.progress + (1.0f - env.progress) * step.rate;
}
