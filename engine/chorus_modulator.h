#pragma once
#include <cstdint>

// The chorus modulators' depth values, |sin| of the phase for line 0 and |cos|
// for line 1, for a run of phases at once. Each value is exactly
// fabs(float(sin(double(phase)))) (or cos) as the maths library gives it: a
// polynomial in double does the work, and any value it cannot place on the
// same side of a float rounding boundary as the library with certainty is
// taken from the library instead.

// The library's value, the reference for the fast path.
float libraryModulatorDepth(float phase, bool cosine);

// values[i] = libraryModulatorDepth(phases[i], cosine) for i = 0..n-1.
void modulatorDepths(const float* phases, float* values, int32_t n, bool cosine);
