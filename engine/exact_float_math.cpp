#include "engine/exact_float_math.h"

#include <emmintrin.h>

#include <cmath>

namespace {

// Relative distance from the true value within which both the library's
// double and the polynomial's are certain to lie. Both are far closer (the
// polynomials about 2^-44 at worst; the library at worst about 2^-41, an x87
// reduction next to a multiple of pi/2), so a float rounding agrees when it
// agrees at both ends of this interval.
constexpr double kTrust = 1.0 / 68719476736.0;   // 2^-36

// Lanes of v whose float rounding is certain, as bits 1 and 2.
inline int certainLanes(__m128d v) {
    const __m128 low = _mm_cvtpd_ps(_mm_mul_pd(v, _mm_set1_pd(1.0 - kTrust)));
    const __m128 high = _mm_cvtpd_ps(_mm_mul_pd(v, _mm_set1_pd(1.0 + kTrust)));
    return _mm_movemask_ps(_mm_cmpeq_ps(low, high)) & 3;
}

// c[0] + c[1] z + ... + c[N-1] z^(N-1) by Horner's rule: the fewest
// operations, for the kernels that run many arguments at once.
template <int N>
inline __m128d horner(__m128d z, const double (&c)[N]) {
    __m128d p = _mm_set1_pd(c[N - 1]);
    for (int i = N - 2; i >= 0; --i) p = _mm_add_pd(_mm_set1_pd(c[i]), _mm_mul_pd(z, p));
    return p;
}

// The same by Estrin's scheme: pairs first, then pairs of pairs, so that the
// chain of dependent steps is short, for the one-at-a-time functions.
template <int N>
inline __m128d estrin(__m128d z, const double (&c)[N]) {
    __m128d terms[(N + 1) / 2];
    int count = 0;
    for (int i = 0; i < N; i += 2)
        terms[count++] = i + 1 < N ? _mm_add_pd(_mm_set1_pd(c[i]), _mm_mul_pd(_mm_set1_pd(c[i + 1]), z))
                                   : _mm_set1_pd(c[i]);
    __m128d power = _mm_mul_pd(z, z);
    while (count > 1) {
        int next = 0;
        for (int i = 0; i < count; i += 2)
            terms[next++] = i + 1 < count ? _mm_add_pd(terms[i], _mm_mul_pd(power, terms[i + 1])) : terms[i];
        count = next;
        power = _mm_mul_pd(power, power);
    }
    return terms[0];
}

inline __m128d select(__m128d mask, __m128d yes, __m128d no) {
    return _mm_or_pd(_mm_and_pd(mask, yes), _mm_andnot_pd(mask, no));
}

// ---- sine and cosine

// pi/2 in two parts: the first has 33 significant bits, so k times it is exact
// for the small k allowed here, and x - k * it is exact as well.
constexpr double kHalfPiHigh = 1.57079632673412561417e+00;
constexpr double kHalfPiLow = 6.07710050650619224932e-11;
constexpr double kTwoOverPi = 6.36619772367581382433e-01;
// Arguments above 0 up to this size are reduced exactly; others (zeros keep
// their sign only in the library) go to the library.
constexpr double kSineLimit = 8.0;

// Minimax polynomials for sin and cos on [-pi/4, pi/4], good to about 2^-58.
constexpr double kSin[6] = {-1.66666666666666324348e-01, 8.33333333332248946124e-03, -1.98412698298579493134e-04,
                            2.75573137070700676789e-06,  -2.50507602534068634195e-08, 1.58969099521155010221e-10};
constexpr double kCos[6] = {4.16666666666666019037e-02,  -1.38888888888741095749e-03, 2.48015872894767294178e-05,
                            -2.75573143513906633035e-07, 2.08757232129817482790e-09,  -1.13596475577881948265e-11};

// sin r and cos r on [-pi/4, pi/4], given z = r * r.
inline __m128d sinePolynomial(__m128d r, __m128d z) {
    return _mm_add_pd(r, _mm_mul_pd(_mm_mul_pd(z, r), horner(z, kSin)));
}
inline __m128d cosinePolynomial(__m128d z) {
    return _mm_add_pd(_mm_sub_pd(_mm_set1_pd(1.0), _mm_mul_pd(_mm_set1_pd(0.5), z)),
                      _mm_mul_pd(_mm_mul_pd(z, z), horner(z, kCos)));
}

// sin or cos of two arguments; lanes to take from the library come back
// flagged in fallback (bits 1 and 2).
inline __m128d fastSine(__m128d x, bool cosine, int& fallback) {
    const __m128d inRange = _mm_and_pd(_mm_cmpgt_pd(x, _mm_setzero_pd()), _mm_cmple_pd(x, _mm_set1_pd(kSineLimit)));
    const __m128d safeX = _mm_and_pd(x, inRange);   // NaN and out-of-range arguments become 0, then fall back
    const __m128i k = _mm_cvtpd_epi32(_mm_mul_pd(safeX, _mm_set1_pd(kTwoOverPi)));
    const __m128d kd = _mm_cvtepi32_pd(k);
    const __m128d r = _mm_sub_pd(_mm_sub_pd(safeX, _mm_mul_pd(kd, _mm_set1_pd(kHalfPiHigh))),
                                 _mm_mul_pd(kd, _mm_set1_pd(kHalfPiLow)));
    const __m128d z = _mm_mul_pd(r, r);
    // cos x is sin(x + pi/2): one quadrant further. In quadrant q, sin x is
    // sin r, cos r, -sin r, -cos r for q = 0, 1, 2, 3.
    const __m128i q = _mm_add_epi32(_mm_shuffle_epi32(k, _MM_SHUFFLE(1, 1, 0, 0)), _mm_set1_epi32(cosine ? 1 : 0));
    const __m128d odd = _mm_castsi128_pd(_mm_cmpeq_epi32(_mm_and_si128(q, _mm_set1_epi32(1)), _mm_set1_epi32(1)));
    const __m128d negate = _mm_castsi128_pd(_mm_cmpeq_epi32(_mm_and_si128(q, _mm_set1_epi32(2)), _mm_set1_epi32(2)));
    // Neighbouring arguments nearly always share a quadrant's parity: then
    // only the polynomial they need is worked out.
    __m128d value;
    switch (_mm_movemask_pd(odd)) {
    case 0: value = sinePolynomial(r, z); break;
    case 3: value = cosinePolynomial(z); break;
    default: value = select(odd, cosinePolynomial(z), sinePolynomial(r, z)); break;
    }
    value = _mm_xor_pd(value, _mm_and_pd(negate, _mm_set1_pd(-0.0)));
    fallback = (~certainLanes(value) | ~_mm_movemask_pd(inRange)) & 3;
    return value;
}

// ---- power

constexpr double kLn2High = 6.93147180369123816490e-01;   // 32 significant bits: k times it is exact
constexpr double kLn2Low = 1.90821492927058770002e-10;
constexpr double kLn2 = 6.93147180559945286227e-01;
constexpr double kInvLn2 = 1.44269504088896338700e+00;
constexpr double kSqrtHalf = 7.07106781186547572737e-01;
// log(1 + f) = f - f^2/2 + s (f^2/2 + R(s^2)) with s = f / (2 + f); R from
// the classic minimax fit, good to about 2^-58.
constexpr double kLog[7] = {6.666666666666735130e-01, 3.999999999940941908e-01, 2.857142874366239149e-01,
                            2.222219843214978396e-01, 1.818357216161805012e-01, 1.531383769920937332e-01,
                            1.479819860511658591e-01};
// exp(r) for |r| <= ln2 / 2 by its Taylor series to r^13 (error below 2^-54).
constexpr double kExp[14] = {1.0,
                             1.0,
                             1.0 / 2,
                             1.0 / 6,
                             1.0 / 24,
                             1.0 / 120,
                             1.0 / 720,
                             1.0 / 5040,
                             1.0 / 40320,
                             1.0 / 362880,
                             1.0 / 3628800,
                             1.0 / 39916800,
                             1.0 / 479001600,
                             1.0 / 6227020800.0};
// |exponent * log(base)| up to this keeps every intermediate a normal double.
constexpr double kLogProductLimit = 700.0;
constexpr double kExponentLimit = 64.0;

// Natural log of two positive, finite, normal doubles.
inline __m128d logOf(__m128d x) {
    // x = 2^e * m with m in [sqrt(1/2), sqrt(2)).
    const __m128i bits = _mm_castpd_si128(x);
    const __m128i mantissaBits = _mm_or_si128(_mm_and_si128(bits, _mm_set1_epi64x(0x000FFFFFFFFFFFFFLL)),
                                              _mm_set1_epi64x(0x3FF0000000000000LL));
    __m128d m = _mm_castsi128_pd(mantissaBits);   // 1 <= m < 2
    const __m128i exponentBits = _mm_srli_epi64(bits, 52);   // sign is 0
    // The two 64-bit exponents as doubles: move them into the low int32 lanes.
    const __m128i packed = _mm_shuffle_epi32(exponentBits, _MM_SHUFFLE(3, 3, 2, 0));
    __m128d e = _mm_sub_pd(_mm_cvtepi32_pd(packed), _mm_set1_pd(1023.0));
    const __m128d big = _mm_cmpge_pd(m, _mm_set1_pd(2.0 * kSqrtHalf));
    m = select(big, _mm_mul_pd(m, _mm_set1_pd(0.5)), m);
    e = _mm_add_pd(e, _mm_and_pd(big, _mm_set1_pd(1.0)));
    const __m128d f = _mm_sub_pd(m, _mm_set1_pd(1.0));   // exact
    const __m128d s = _mm_div_pd(f, _mm_add_pd(_mm_set1_pd(2.0), f));
    const __m128d z = _mm_mul_pd(s, s);
    const __m128d R = _mm_mul_pd(z, horner(z, kLog));
    const __m128d halfSquare = _mm_mul_pd(_mm_set1_pd(0.5), _mm_mul_pd(f, f));
    const __m128d log1pf =
        _mm_sub_pd(f, _mm_sub_pd(halfSquare, _mm_mul_pd(s, _mm_add_pd(halfSquare, R))));
    return _mm_add_pd(_mm_mul_pd(e, _mm_set1_pd(kLn2High)), _mm_add_pd(_mm_mul_pd(e, _mm_set1_pd(kLn2Low)), log1pf));
}

// exp of two doubles within +-kLogProductLimit.
inline __m128d expOf(__m128d y) {
    const __m128i k = _mm_cvtpd_epi32(_mm_mul_pd(y, _mm_set1_pd(kInvLn2)));
    const __m128d kd = _mm_cvtepi32_pd(k);
    const __m128d r = _mm_sub_pd(_mm_sub_pd(y, _mm_mul_pd(kd, _mm_set1_pd(kLn2High))),
                                 _mm_mul_pd(kd, _mm_set1_pd(kLn2Low)));
    const __m128d expR = horner(r, kExp);
    // 2^k from its exponent bits.
    const __m128i k64 = _mm_shuffle_epi32(k, _MM_SHUFFLE(1, 1, 0, 0));
    const __m128i biased = _mm_and_si128(_mm_add_epi32(k64, _mm_set1_epi32(1023)), _mm_set_epi32(0, -1, 0, -1));
    const __m128d scale = _mm_castsi128_pd(_mm_slli_epi64(biased, 52));
    return _mm_mul_pd(expR, scale);
}

inline __m128d fastPower(__m128d base, __m128d exponent, int& fallback) {
    const __m128d baseOk = _mm_and_pd(_mm_cmpgt_pd(base, _mm_setzero_pd()), _mm_cmple_pd(base, _mm_set1_pd(1e30)));
    const __m128d exponentOk = _mm_and_pd(_mm_cmpge_pd(exponent, _mm_set1_pd(-kExponentLimit)),
                                          _mm_cmple_pd(exponent, _mm_set1_pd(kExponentLimit)));
    const __m128d safeBase = select(baseOk, base, _mm_set1_pd(1.0));
    const __m128d safeExponent = _mm_and_pd(exponentOk, exponent);
    const __m128d y = _mm_mul_pd(safeExponent, logOf(safeBase));
    const __m128d absY = _mm_and_pd(y, _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFFLL)));
    const __m128d yOk = _mm_cmple_pd(absY, _mm_set1_pd(kLogProductLimit));
    const __m128d inRange = _mm_and_pd(_mm_and_pd(baseOk, exponentOk), yOk);
    const __m128d value = expOf(_mm_and_pd(yOk, y));
    fallback = (~certainLanes(value) | ~_mm_movemask_pd(inRange)) & 3;
    return value;
}

// Runs a two-lane kernel over n arguments, the library for flagged lanes.
template <typename Kernel, typename Library>
inline void runPairs(const float* a, const float* b, float* out, int32_t n, Kernel kernel, Library library) {
    int32_t i = 0;
    for (; i + 1 < n; i += 2) {
        int fallback;
        const __m128d x = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a + i))));
        const __m128d y = b ? _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(b + i))))
                            : _mm_setzero_pd();
        const __m128 result = _mm_cvtpd_ps(kernel(x, y, fallback));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_castps_si128(result));
        if (fallback & 1) out[i] = library(i);
        if (fallback & 2) out[i + 1] = library(i + 1);
    }
    if (i < n) {
        int fallback;
        const __m128d x = _mm_set1_pd(static_cast<double>(a[i]));
        const __m128d y = b ? _mm_set1_pd(static_cast<double>(b[i])) : _mm_setzero_pd();
        out[i] = _mm_cvtss_f32(_mm_cvtpd_ps(kernel(x, y, fallback)));
        if (fallback & 1) out[i] = library(i);
    }
}

}  // namespace

double powerOfTwo(double e) {
    const int32_t k = _mm_cvtsd_si32(_mm_set_sd(e));   // nearest
    const double r = e - static_cast<double>(k);         // exact, |r| <= 1/2
    const __m128d expR = estrin(_mm_set_sd(r * kLn2), kExp);
    const __m128d scale = _mm_castsi128_pd(_mm_slli_epi64(_mm_cvtsi32_si128(k + 1023), 52));
    return _mm_cvtsd_f64(_mm_mul_sd(expR, scale));
}

void sineAndCosine(double w, double& sine, double& cosine) {
    const int32_t k = _mm_cvtsd_si32(_mm_set_sd(w * kTwoOverPi));
    const double kd = static_cast<double>(k);
    const double r = (w - kd * kHalfPiHigh) - kd * kHalfPiLow;
    const double z = r * r;
    const double sinR = r + z * r * _mm_cvtsd_f64(estrin(_mm_set_sd(z), kSin));
    const double cosR = (1.0 - 0.5 * z) + z * z * _mm_cvtsd_f64(estrin(_mm_set_sd(z), kCos));
    switch (k & 3) {
    case 0: sine = sinR; cosine = cosR; break;
    case 1: sine = cosR; cosine = -sinR; break;
    case 2: sine = -sinR; cosine = -cosR; break;
    default: sine = -cosR; cosine = sinR; break;
    }
}

float librarySine(float x, bool cosine) {
    return static_cast<float>(cosine ? std::cos(static_cast<double>(x)) : std::sin(static_cast<double>(x)));
}

float libraryPower(float base, float exponent) {
    return static_cast<float>(std::pow(static_cast<double>(base), static_cast<double>(exponent)));
}

void sinesToFloat(const float* x, float* out, int32_t n, bool cosine) {
    runPairs(
        x, nullptr, out, n, [cosine](__m128d v, __m128d, int& fallback) { return fastSine(v, cosine, fallback); },
        [x, cosine](int32_t i) { return librarySine(x[i], cosine); });
}

void powersToFloat(const float* base, const float* exponent, float* out, int32_t n) {
    runPairs(
        base, exponent, out, n, [](__m128d b, __m128d e, int& fallback) { return fastPower(b, e, fallback); },
        [base, exponent](int32_t i) { return libraryPower(base[i], exponent[i]); });
}
