#include "engine/chorus_modulator.h"

#include <emmintrin.h>

#include <cmath>

namespace {

// pi/2 in two parts: the first has 33 significant bits, so k times it is exact
// for the small k the phases reach, and x - k * it is exact as well.
constexpr double kHalfPiHigh = 1.57079632673412561417e+00;
constexpr double kHalfPiLow = 6.07710050650619224932e-11;
constexpr double kTwoOverPi = 6.36619772367581382433e-01;

// Minimax polynomials for sin and cos on [-pi/4, pi/4], good to about 2^-58.
constexpr double kS1 = -1.66666666666666324348e-01, kS2 = 8.33333333332248946124e-03,
                 kS3 = -1.98412698298579493134e-04, kS4 = 2.75573137070700676789e-06,
                 kS5 = -2.50507602534068634195e-08, kS6 = 1.58969099521155010221e-10;
constexpr double kC1 = 4.16666666666666019037e-02, kC2 = -1.38888888888741095749e-03,
                 kC3 = 2.48015872894767294178e-05, kC4 = -2.75573143513906633035e-07,
                 kC5 = 2.08757232129817482790e-09, kC6 = -1.13596475577881948265e-11;

// Relative distance within which the library's double and the polynomial's
// are both certain to lie from the true value. Both are far closer (the
// polynomial about 2^-52; the library at worst about 2^-41, an x87 reduction
// next to a multiple of pi/2), so a float rounding agrees when it agrees at
// both ends of this interval.
constexpr double kTrust = 1.0 / 68719476736.0;   // 2^-36

// The phases stay within 0..2 pi; from 0 up to this size the reduction by
// k * pi/2 is exact. Anything else, and anything not a number, is left to the
// library.
constexpr double kFastLimit = 8.0;

inline __m128d polyEven(__m128d z, const double (&c)[6]) {
    __m128d p = _mm_set1_pd(c[5]);
    for (int i = 4; i >= 0; --i) p = _mm_add_pd(_mm_set1_pd(c[i]), _mm_mul_pd(z, p));
    return p;
}

// |sin| or |cos| of two phases in double; lanes whose float rounding is not
// certain come back flagged in the mask.
inline __m128d fastDepth(__m128d x, bool cosine, int& uncertain) {
    static constexpr double sc[6] = {kS1, kS2, kS3, kS4, kS5, kS6};
    static constexpr double cc[6] = {kC1, kC2, kC3, kC4, kC5, kC6};
    const __m128d inRange = _mm_and_pd(_mm_cmpge_pd(x, _mm_setzero_pd()), _mm_cmple_pd(x, _mm_set1_pd(kFastLimit)));
    const __m128d safeX = _mm_and_pd(x, inRange);   // NaN and out-of-range phases become 0 here, then fall back
    const __m128i k = _mm_cvtpd_epi32(_mm_mul_pd(safeX, _mm_set1_pd(kTwoOverPi)));
    const __m128d kd = _mm_cvtepi32_pd(k);
    const __m128d r = _mm_sub_pd(_mm_sub_pd(safeX, _mm_mul_pd(kd, _mm_set1_pd(kHalfPiHigh))),
                                 _mm_mul_pd(kd, _mm_set1_pd(kHalfPiLow)));
    const __m128d z = _mm_mul_pd(r, r);
    const __m128d sinR = _mm_add_pd(r, _mm_mul_pd(_mm_mul_pd(z, r), polyEven(z, sc)));
    const __m128d cosR = _mm_add_pd(_mm_sub_pd(_mm_set1_pd(1.0), _mm_mul_pd(_mm_set1_pd(0.5), z)),
                                    _mm_mul_pd(_mm_mul_pd(z, z), polyEven(z, cc)));
    // Up to sign, sin x is sin r in even quadrants and cos r in odd ones; cos
    // the other way round. The sign goes with the absolute value.
    __m128i odd = _mm_and_si128(_mm_shuffle_epi32(k, _MM_SHUFFLE(1, 1, 0, 0)), _mm_set1_epi32(1));
    odd = _mm_cmpeq_epi32(odd, _mm_set1_epi32(cosine ? 0 : 1));
    const __m128d pickCos = _mm_castsi128_pd(odd);
    const __m128d value = _mm_or_pd(_mm_and_pd(pickCos, cosR), _mm_andnot_pd(pickCos, sinR));
    const __m128d magnitude = _mm_and_pd(value, _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFFLL)));

    const __m128 low = _mm_cvtpd_ps(_mm_mul_pd(magnitude, _mm_set1_pd(1.0 - kTrust)));
    const __m128 high = _mm_cvtpd_ps(_mm_mul_pd(magnitude, _mm_set1_pd(1.0 + kTrust)));
    const int agree = _mm_movemask_ps(_mm_cmpeq_ps(low, high)) & 3;
    uncertain = (~agree & 3) | (~_mm_movemask_pd(inRange) & 3);
    return magnitude;
}

}  // namespace

float libraryModulatorDepth(float phase, bool cosine) {
    const double wave = cosine ? std::cos(static_cast<double>(phase)) : std::sin(static_cast<double>(phase));
    return std::fabs(static_cast<float>(wave));
}

void modulatorDepths(const float* phases, float* values, int32_t n, bool cosine) {
    int32_t i = 0;
    for (; i + 1 < n; i += 2) {
        int uncertain;
        const __m128d x = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(phases + i))));
        const __m128 depth = _mm_cvtpd_ps(fastDepth(x, cosine, uncertain));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(values + i), _mm_castps_si128(depth));
        if (uncertain & 1) values[i] = libraryModulatorDepth(phases[i], cosine);
        if (uncertain & 2) values[i + 1] = libraryModulatorDepth(phases[i + 1], cosine);
    }
    if (i < n) {
        int uncertain;
        const __m128d x = _mm_set1_pd(static_cast<double>(phases[i]));
        values[i] = _mm_cvtss_f32(_mm_cvtpd_ps(fastDepth(x, cosine, uncertain)));
        if (uncertain & 1) values[i] = libraryModulatorDepth(phases[i], cosine);
    }
}
