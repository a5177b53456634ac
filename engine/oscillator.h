#pragma once
#include <cmath>
#include <cstdint>

// Oscillators read one period of their wavetable without interpolation,
// through an integer read position and a pending fractional advance.

// 1/12 as a single-precision value: pitch in semitones to octaves.
constexpr float kOctavesPerSemitone = 0.0833333358f;
// Glide closes this fraction of the gap to the note each sample.
constexpr float kGlideCoefficient = 0.002f;
// Increments beyond 2^24 table steps per sample (only absurd tune values get
// there) are held there, so the advance stays finite and whole steps fit an int.
constexpr float kMaxIncrement = 16777216.0f;

// Octaves of the voice's sounding pitch plus bend, shared by its three oscillators.
inline float pitchOctaves(float pitch, float pitchBend) {
    return (pitch + pitchBend) * kOctavesPerSemitone;
}

// The octaves an oscillator with tune parameter t plays at.
inline float incrementExponent(float octaves, float tune) { return 2.0f * (tune - 0.5f) + octaves; }

// Table steps per output sample from 2^e rounded to float: nothing plays
// below one step per sample.
inline float limitIncrement(float inc) {
    if (inc < 1.0f) inc = 1.0f;
    // Only a non-finite tune or pitch takes these two branches.
    if (!(inc >= 1.0f)) inc = 1.0f;
    if (inc > kMaxIncrement) inc = kMaxIncrement;
    return inc;
}

// Table steps per output sample for one oscillator with tune parameter t.
inline float oscillatorIncrement(float octaves, float tune) {
    const float e = incrementExponent(octaves, tune);
    return limitIncrement(static_cast<float>(std::pow(2.0, static_cast<double>(e))));
}

// Moves pitch toward note over n samples.
inline float glide(float pitch, uint8_t note, int32_t n) {
    const float target = static_cast<float>(note);
    // At the note every step adds exactly zero; skip the loop.
    if (pitch == target) return pitch;
    for (int32_t i = 0; i < n; ++i) {
        const float next = pitch + (target - pitch) * kGlideCoefficient;
        // A step depends on pitch and note alone: once one leaves the pitch
        // where it is (the step rounds away, a fraction of an ulp short of
        // the note), so does every later one.
        if (next == pitch) break;
        pitch = next;
    }
    return pitch;
}

// One oscillator's read state while a sub-block runs.
struct OscillatorState {
    float advance;
    int32_t position;
};

// Reads the oscillator's current table value and advances it by one sample.
// tableLength is at least 1 whenever the render loop runs.
inline float nextOscillatorValue(OscillatorState& osc, const float* table, int32_t tableLength, float inc) {
    int32_t p = osc.position;
    if (p >= tableLength) {
        p -= tableLength;
        // Same result as repeated subtraction; bounded when a step spans many periods.
        if (p >= tableLength) p %= tableLength;
    }
    if (p < 0) p = 0;
    const int32_t whole = static_cast<int32_t>(osc.advance);
    osc.advance = (osc.advance - static_cast<float>(whole)) + inc;
    const float value = table[p];
    osc.position = p + whole;
    return value;
}
