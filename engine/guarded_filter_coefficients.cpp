#include "engine/guarded_filter_coefficients.h"

#include <cmath>

#include "engine/exact_float_math.h"

namespace {

constexpr double kUnit = 1.0 / 9007199254740992.0;   // 2^-53, half an ulp of 1
// Relative error of either chain's w: 2^e (the library within 2 ulps, the
// polynomial within 2^-50) and three roundings (20 *, / rate, * 6.28).
constexpr double kAngleError = 12.0 * kUnit;
// Either chain's sine and cosine: within 2 ulps of the exact value of their
// argument, plus an absolute slack for the library's reduction near pi/2.
constexpr double kSineError = 4.0 * kUnit;
constexpr double kSineSlack = 1.0 / 4611686018427387904.0;   // 2^-62
// Beyond this relative bound a coefficient is left to the library outright.
constexpr double kMaxBound = 1.0 / 67108864.0;   // 2^-26

// True when x rounds to the same float wherever it lies within the
// relative bound.
bool roundsCertainly(double x, double bound) {
    return static_cast<float>(x * (1.0 - bound)) == static_cast<float>(x * (1.0 + bound));
}

}  // namespace

FilterCoefficients guardedCoefficientsOfExponent(double e, float resonance, float sampleRate) {
    if (!(std::fabs(e) <= 60.0)) return coefficientsOfExponent(e, resonance, sampleRate);
    // The same steps as cutoffOfExponent and cutoffAngle, with 2^e fast.
    double fc = 20.0 * powerOfTwo(e);
    if (fc < 20.0) fc = 20.0;
    const double w = cutoffAngle(fc, sampleRate);
    if (!(w > 0.0)) return coefficientsOfExponent(e, resonance, sampleRate);
    double s, k;
    sineAndCosine(w, s, k);
    // The same steps as exactSectionCoefficients.
    const double q = 1.0 + 11.0 * static_cast<double>(resonance);
    const double num = 1.0 - k;
    const double den = 2.0 + s / q;
    const double b = num / den;
    const double a1 = -2.0 * q * k / (q + s);
    const double a2 = (q - s) / (q + s);

    // Absolute error bounds of s and k in either chain, from the error of w
    // (the clamp at 3.0 only shrinks it) and of the functions themselves.
    const double dw = kAngleError * w;
    const double ds = std::fabs(k) * dw + kSineError * std::fabs(s) + kSineSlack;
    const double dk = std::fabs(s) * dw + kSineError * std::fabs(k) + kSineSlack;
    const double sum = q + s;
    const double sumBound = (ds + kUnit * std::fabs(sum)) / std::fabs(sum);
    const double bBound = (dk + kUnit * num) / num + (ds / q + kUnit * std::fabs(s) / q + kUnit * den) / den + kUnit;
    const double a1Bound = (dk + kSineSlack) / std::fabs(k) + sumBound + 3.0 * kUnit;
    const double a2Bound = (ds + kUnit * std::fabs(q - s)) / std::fabs(q - s) + sumBound + kUnit;
    // The two chains each lie within the bound of the exact value; a float
    // that holds over twice the bound, doubled again for the second-order
    // terms left out, is the library's float too.
    const double margin = 4.0;
    if (!(bBound * margin < kMaxBound && a1Bound * margin < kMaxBound && a2Bound * margin < kMaxBound) ||
        !std::isfinite(b) || !std::isfinite(a1) || !std::isfinite(a2) || !roundsCertainly(b, bBound * margin) ||
        !roundsCertainly(a1, a1Bound * margin) || !roundsCertainly(a2, a2Bound * margin))
        return coefficientsOfExponent(e, resonance, sampleRate);
    return {flush(static_cast<float>(b)), flush(static_cast<float>(a1)), flush(static_cast<float>(a2))};
}
