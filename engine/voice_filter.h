#pragma once
#include <xmmintrin.h>

#include <cmath>

#include "engine/flush.h"

// The voice filter: two identical second-order low-pass sections in series,
// sharing one set of coefficients per voice and sub-block.

struct FilterCoefficients {
    float b, a1, a2;
};

// The single-precision 6.28 that turns cutoff / sampleRate into radians.
constexpr float kFilterTwoPi = 6.28f;
// Highest angular cutoff; keeps the sections stable near Nyquist.
constexpr double kMaxFilterAngle = 3.0;

// Cutoff exponent in octaves above 20 Hz from Cutoff (p8), LfoAmount (p16),
// the cosine of the cutoff LFO's phase and the voice's filter-envelope level.
inline double cutoffExponent(float cutoff, float lfoAmount, double lfoCosine, float envelopeLevel) {
    return 10.0 * static_cast<double>(cutoff) + 4.0 * (static_cast<double>(lfoAmount) - 0.5) * lfoCosine +
           static_cast<double>(envelopeLevel);
}

// The cutoff LFO's cosine, the same for every voice of a sub-block.
inline double lfoCosine(float lfoPhase) { return std::cos(static_cast<double>(lfoPhase)); }

// Cutoff in Hz for an exponent; never below 20 Hz.
inline double cutoffOfExponent(double e) {
    const double fc = 20.0 * std::pow(2.0, e);
    return fc < 20.0 ? 20.0 : fc;
}

// Cutoff in Hz from Cutoff (p8), LfoAmount (p16), the cutoff LFO's phase and
// the voice's filter-envelope level in octaves; never below 20 Hz.
inline double cutoffFrequency(float cutoff, float lfoAmount, float lfoPhase, float envelopeLevel) {
    return cutoffOfExponent(cutoffExponent(cutoff, lfoAmount, lfoCosine(lfoPhase), envelopeLevel));
}

// Angular cutoff in radians per sample, held at 3.0.
inline double cutoffAngle(double fc, float sampleRate) {
    const double w = fc / static_cast<double>(sampleRate) * static_cast<double>(kFilterTwoPi);
    return w > kMaxFilterAngle ? kMaxFilterAngle : w;
}

// Section coefficients for angle w and Resonance (p9), in double: Q runs from
// 1 to 12. The feed-forward gain uses s / (2Q), the feedback s / Q, so the
// gain at 0 Hz is above 1 and is left so.
struct ExactCoefficients {
    double b, a1, a2;
};

inline ExactCoefficients exactSectionCoefficients(double w, float resonance) {
    const double q = 1.0 + 11.0 * static_cast<double>(resonance);
    const double s = std::sin(w);
    const double k = std::cos(w);
    return {(1.0 - k) / (2.0 + s / q), -2.0 * q * k / (q + s), (q - s) / (q + s)};
}

// The same rounded to float and flushed, as the sections use them.
inline FilterCoefficients sectionCoefficients(double w, float resonance) {
    const ExactCoefficients c = exactSectionCoefficients(w, resonance);
    return {flush(static_cast<float>(c.b)), flush(static_cast<float>(c.a1)), flush(static_cast<float>(c.a2))};
}

// The coefficients for a cutoff exponent, worked in double; only the three
// results are rounded to float.
inline FilterCoefficients coefficientsOfExponent(double e, float resonance, float sampleRate) {
    return sectionCoefficients(cutoffAngle(cutoffOfExponent(e), sampleRate), resonance);
}

// The coefficients of one voice for one sub-block.
inline FilterCoefficients filterCoefficients(float cutoff, float resonance, float lfoAmount, float lfoPhase,
                                             float envelopeLevel, float sampleRate) {
    return coefficientsOfExponent(cutoffExponent(cutoff, lfoAmount, lfoCosine(lfoPhase), envelopeLevel), resonance,
                                  sampleRate);
}

// A runaway filter. Cutoff jumps at high resonance can pump energy into the
// sections faster than they lose it, without bound. The rule, part of the
// output contract:
// - every sample a voice outputs (its second section's output times its
//   amplitude envelope) is held within +-kVoiceOutputLimit (+24 dBFS), a
//   value that is not a number counting as kVoiceOutputLimit: no voice ever
//   adds more than that to the mix, and the mix stays finite;
// - at the end of every sub-block, a voice whose filter history (the two
//   outputs of each section kept for the next sample; the second section's
//   inputs are the first's outputs) is not all within +-kFilterLimit, or not
//   finite, has its eight history values cleared to zero (clearRunawayFilter)
//   and its filter starts again from rest; no other voice and nothing else
//   of the voice is touched.
// So no sample is tested for the filter: whatever a section reaches inside a
// sub-block, even Inf or NaN, leaves the voice held within the output limit
// and is gone at the sub-block's end. Sound that stays bounded keeps every
// sample: the largest section output of the long random performances is
// about 54, and no voice of the demo song goes beyond 9; only voices louder
// than +24 dBFS (the random song has some, up to 25) change, and only there.
constexpr float kVoiceOutputLimit = 16.0f;
constexpr float kFilterLimit = 4096.0f;

// A voice's output sample held within the limit, as the lanes do it: x < 16
// ? x : 16, then x > -16 ? x : -16 (a NaN becomes the upper limit), in two
// instructions, where the compiler would branch on the comparisons.
inline float limitVoiceOutput(float x) {
    const __m128 held = _mm_min_ss(_mm_set_ss(x), _mm_set_ss(kVoiceOutputLimit));
    return _mm_cvtss_f32(_mm_max_ss(held, _mm_set_ss(-kVoiceOutputLimit)));
}

// History of one section: inputs and outputs one and two samples back.
struct FilterSection {
    float in2, in1, out2, out1;
};

// One sample through one section.
inline float filterSample(FilterSection& section, const FilterCoefficients& k, float x) {
    float y = k.b * (x + 2.0f * section.in1 + section.in2) - k.a1 * section.out1 - k.a2 * section.out2;
    y = flush(y);
    section.in2 = section.in1;
    section.in1 = x;
    section.out2 = section.out1;
    section.out1 = y;
    return y;
}
