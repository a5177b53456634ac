#pragma once
#include "engine/voice_filter.h"

// coefficientsOfExponent, bit for bit, mostly without the maths library: the
// chain 2^e, sin w, cos w runs on fast polynomials while a bound on how far
// that chain and the library's can each lie from the exact values is carried
// along. Where both bounds leave a coefficient's float rounding certain, the
// fast result is that float; otherwise the library chain runs.
FilterCoefficients guardedCoefficientsOfExponent(double e, float resonance, float sampleRate);
