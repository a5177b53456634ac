#pragma once
#include <cstdint>

// Sines, cosines and powers of float arguments, worked in double and rounded
// to float, many at a time: each result is exactly the float the maths
// library's double function gives. A polynomial does the work; any result it
// cannot place on the same side of a float rounding boundary as the library
// with certainty, and any argument outside the range it was proven on, is
// taken from the library instead.

// The references: float(sin(double(x))) or cos, and float(pow(double(base),
// double(exponent))).
float librarySine(float x, bool cosine);
float libraryPower(float base, float exponent);

// out[i] = librarySine(x[i], cosine) for i = 0..n-1.
void sinesToFloat(const float* x, float* out, int32_t n, bool cosine);
// out[i] = libraryPower(base[i], exponent[i]) for i = 0..n-1.
void powersToFloat(const float* base, const float* exponent, float* out, int32_t n);

// Fast double approximations for callers that bound their own error:
// 2^e with a relative error below 2^-50 for |e| <= 1000, and sin w, cos w with
// an absolute error below 2^-51 for 0 <= w <= 8.
double powerOfTwo(double e);
void sineAndCosine(double w, double& sine, double& cosine);
