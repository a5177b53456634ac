#include "engine/voice_lanes.h"

#include <emmintrin.h>
#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace {

// Zero for zeros and subnormals, as flush does each lane.
inline __m128 flushLanes(__m128 x) {
    const __m128i exponent = _mm_and_si128(_mm_castps_si128(x), _mm_set1_epi32(0x7F800000));
    const __m128 zeroExponent = _mm_castsi128_ps(_mm_cmpeq_epi32(exponent, _mm_setzero_si128()));
    return _mm_andnot_ps(zeroExponent, x);
}

// Lane l of four floats or ints taken from the voices, zero beyond count.
template <typename Field>
inline __m128 gatherField(Voice* const* voices, int32_t count, Field field) {
    alignas(16) float v[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int32_t l = 0; l < count; ++l) v[l] = field(*voices[l]);
    return _mm_load_ps(v);
}

template <typename Field>
inline __m128i gatherInt(Voice* const* voices, int32_t count, Field field) {
    alignas(16) int32_t v[4] = {0, 0, 0, 0};
    for (int32_t l = 0; l < count; ++l) v[l] = field(*voices[l]);
    return _mm_load_si128(reinterpret_cast<const __m128i*>(v));
}

template <typename Field>
inline __m128 controlField(const VoiceControls* controls, int32_t count, Field field) {
    alignas(16) float v[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int32_t l = 0; l < count; ++l) v[l] = field(controls[l]);
    return _mm_load_ps(v);
}

// One oscillator of four voices: the read position, the pending advance.
struct OscillatorLanes {
    __m128 advance;
    __m128i position;
    __m128 inc;
    const float* table;
};

// Float to int32 toward zero, four lanes. WebAssembly's saturating
// conversion is one instruction where emscripten emulates the SSE one lane by
// lane; both give the same integers for every advance in int32 range, which
// is all an oscillator steps by.
inline __m128i truncateLanes(__m128 value) {
#if defined(__wasm_simd128__)
    return static_cast<__m128i>(wasm_i32x4_trunc_sat_f32x4(static_cast<v128_t>(value)));
#else
    return _mm_cvttps_epi32(value);
#endif
}

// As nextOscillatorValue, lane by lane.
inline __m128 nextOscillatorValues(OscillatorLanes& osc, int32_t tableLength) {
    const __m128i length = _mm_set1_epi32(tableLength);
    const __m128i lastIndex = _mm_set1_epi32(tableLength - 1);
    __m128i p = osc.position;
    p = _mm_sub_epi32(p, _mm_and_si128(_mm_cmpgt_epi32(p, lastIndex), length));
    alignas(16) int32_t index[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(index), p);
    if (_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(p, lastIndex)))) {
        // A step spanning several periods (absurd tunes only): as the scalar wrap.
        for (int32_t& q : index)
            if (q >= tableLength) q %= tableLength;
        p = _mm_load_si128(reinterpret_cast<const __m128i*>(index));
    }
    p = _mm_andnot_si128(_mm_cmplt_epi32(p, _mm_setzero_si128()), p);   // a negative position reads entry 0
    _mm_store_si128(reinterpret_cast<__m128i*>(index), p);
    const __m128i whole = truncateLanes(osc.advance);
    osc.advance = _mm_add_ps(_mm_sub_ps(osc.advance, _mm_cvtepi32_ps(whole)), osc.inc);
    const __m128 value =
        _mm_set_ps(osc.table[index[3]], osc.table[index[2]], osc.table[index[1]], osc.table[index[0]]);
    osc.position = _mm_add_epi32(p, whole);
    return value;
}

// One filter section of four voices, as FilterSection.
struct SectionLanes {
    __m128 in2, in1, out2, out1;
};

inline __m128 filterSamples(SectionLanes& s, __m128 b, __m128 a1, __m128 a2, __m128 x) {
    const __m128 feed = _mm_mul_ps(b, _mm_add_ps(_mm_add_ps(x, _mm_mul_ps(_mm_set1_ps(2.0f), s.in1)), s.in2));
    __m128 y = _mm_sub_ps(_mm_sub_ps(feed, _mm_mul_ps(a1, s.out1)), _mm_mul_ps(a2, s.out2));
    y = flushLanes(y);
    s.in2 = s.in1;
    s.in1 = x;
    s.out2 = s.out1;
    s.out1 = y;
    return y;
}

// level + (target - level) * rate, and progress likewise toward 1.
inline void advanceEnvelopes(__m128& level, __m128& progress, __m128 target, __m128 rate) {
    level = _mm_add_ps(level, _mm_mul_ps(_mm_sub_ps(target, level), rate));
    progress = _mm_add_ps(progress, _mm_mul_ps(_mm_sub_ps(_mm_set1_ps(1.0f), progress), rate));
}

template <bool On1, bool On2, bool On3>
void renderLanes(Voice* const* voices, const VoiceControls* controls, int32_t count, const float* const tables[3],
                 int32_t tableLength, int32_t n, float* mix) {
    OscillatorLanes osc[3] = {
        {gatherField(voices, count, [](const Voice& v) { return v.osc1Advance; }),
         gatherInt(voices, count, [](const Voice& v) { return v.osc1Pos; }),
         controlField(controls, count, [](const VoiceControls& c) { return c.inc[0]; }), tables[0]},
        {gatherField(voices, count, [](const Voice& v) { return v.osc2Advance; }),
         gatherInt(voices, count, [](const Voice& v) { return v.osc2Pos; }),
         controlField(controls, count, [](const VoiceControls& c) { return c.inc[1]; }), tables[1]},
        {gatherField(voices, count, [](const Voice& v) { return v.osc3Advance; }),
         gatherInt(voices, count, [](const Voice& v) { return v.osc3Pos; }),
         controlField(controls, count, [](const VoiceControls& c) { return c.inc[2]; }), tables[2]},
    };
    SectionLanes a{gatherField(voices, count, [](const Voice& v) { return v.filterAIn2; }),
                   gatherField(voices, count, [](const Voice& v) { return v.filterAIn1; }),
                   gatherField(voices, count, [](const Voice& v) { return v.filterAOut2; }),
                   gatherField(voices, count, [](const Voice& v) { return v.filterAOut1; })};
    SectionLanes b{gatherField(voices, count, [](const Voice& v) { return v.filterBIn2; }),
                   gatherField(voices, count, [](const Voice& v) { return v.filterBIn1; }),
                   gatherField(voices, count, [](const Voice& v) { return v.filterBOut2; }),
                   gatherField(voices, count, [](const Voice& v) { return v.filterBOut1; })};
    __m128 ampLevel = gatherField(voices, count, [](const Voice& v) { return v.ampLevel; });
    __m128 ampProgress = gatherField(voices, count, [](const Voice& v) { return v.ampProgress; });
    __m128 filterLevel = gatherField(voices, count, [](const Voice& v) { return v.filterEnvLevel; });
    __m128 filterProgress = gatherField(voices, count, [](const Voice& v) { return v.filterEnvProgress; });
    const __m128 kb = controlField(controls, count, [](const VoiceControls& c) { return c.k.b; });
    const __m128 ka1 = controlField(controls, count, [](const VoiceControls& c) { return c.k.a1; });
    const __m128 ka2 = controlField(controls, count, [](const VoiceControls& c) { return c.k.a2; });
    const __m128 ampRate = controlField(controls, count, [](const VoiceControls& c) { return c.ampStep.rate; });
    const __m128 ampTarget = controlField(controls, count, [](const VoiceControls& c) { return c.ampStep.target; });
    const __m128 filterRate = controlField(controls, count, [](const VoiceControls& c) { return c.filterStep.rate; });
    const __m128 filterTarget =
        controlField(controls, count, [](const VoiceControls& c) { return c.filterStep.target; });

    for (int32_t i = 0; i < n; ++i) {
        __m128 s = _mm_setzero_ps();
        if (On1) s = nextOscillatorValues(osc[0], tableLength);
        if (On2) s = _mm_add_ps(s, nextOscillatorValues(osc[1], tableLength));
        if (On3) s = _mm_add_ps(s, nextOscillatorValues(osc[2], tableLength));
        s = flushLanes(s);
        const __m128 y = filterSamples(b, kb, ka1, ka2, filterSamples(a, kb, ka1, ka2, s));
        // As limitVoiceOutput.
        const __m128 out = _mm_max_ps(_mm_min_ps(_mm_mul_ps(y, ampLevel), _mm_set1_ps(kVoiceOutputLimit)),
                                      _mm_set1_ps(-kVoiceOutputLimit));
        advanceEnvelopes(ampLevel, ampProgress, ampTarget, ampRate);
        advanceEnvelopes(filterLevel, filterProgress, filterTarget, filterRate);
        // Into the mix in voice order, as one voice after another would.
        alignas(16) float outs[4];
        _mm_store_ps(outs, out);
        float sum = mix[i];
        if (count == kVoiceLanes) {   // the usual case, without the loop's counting
            sum += outs[0];
            sum += outs[1];
            sum += outs[2];
            sum += outs[3];
        } else {
            for (int32_t l = 0; l < count; ++l) sum += outs[l];
        }
        mix[i] = sum;
    }

    alignas(16) float f[15][4];
    alignas(16) int32_t positions[3][4];
    _mm_store_ps(f[0], osc[0].advance);
    _mm_store_ps(f[1], osc[1].advance);
    _mm_store_ps(f[2], osc[2].advance);
    for (int k = 0; k < 3; ++k) _mm_store_si128(reinterpret_cast<__m128i*>(positions[k]), osc[k].position);
    const __m128 rest[] = {a.in2, a.in1, a.out2, a.out1, b.in2, b.in1, b.out2, b.out1,
                           ampLevel, ampProgress, filterLevel, filterProgress};
    for (int r = 0; r < 12; ++r) _mm_store_ps(f[3 + r], rest[r]);
    for (int32_t l = 0; l < count; ++l) {
        Voice& v = *voices[l];
        v.osc1Advance = f[0][l];
        v.osc2Advance = f[1][l];
        v.osc3Advance = f[2][l];
        v.osc1Pos = positions[0][l];
        v.osc2Pos = positions[1][l];
        v.osc3Pos = positions[2][l];
        v.filterAIn2 = f[3][l];
        v.filterAIn1 = f[4][l];
        v.filterAOut2 = f[5][l];
        v.filterAOut1 = f[6][l];
        v.filterBIn2 = f[7][l];
        v.filterBIn1 = f[8][l];
        v.filterBOut2 = f[9][l];
        v.filterBOut1 = f[10][l];
        v.ampLevel = f[11][l];
        v.ampProgress = f[12][l];
        v.filterEnvLevel = f[13][l];
        v.filterEnvProgress = f[14][l];
        clearRunawayFilter(v);
    }
}

using LaneRenderer = void (*)(Voice* const*, const VoiceControls*, int32_t, const float* const[3], int32_t, int32_t,
                              float*);

constexpr LaneRenderer kLaneRenderers[8] = {
    renderLanes<false, false, false>, renderLanes<true, false, false>, renderLanes<false, true, false>,
    renderLanes<true, true, false>,   renderLanes<false, false, true>, renderLanes<true, false, true>,
    renderLanes<false, true, true>,   renderLanes<true, true, true>,
};

}  // namespace

void renderVoiceLanes(Voice* const* voices, const VoiceControls* controls, int32_t count, const float* const tables[3],
                      int32_t tableLength, int32_t switches, int32_t n, float* mix) {
    kLaneRenderers[switches & 7](voices, controls, count, tables, tableLength, n, mix);
}
