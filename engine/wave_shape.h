#pragma once
#include <cstdint>

// One sample of an oscillator waveform at phase 0..1: a blend of a linear
// shape (saw, triangle, trapezoid, square) and a sine-like shape with movable
// peaks, shifted by phaseOffset and scaled by 2 * level - 1.
float waveShape(float phase, float sineMix, float square, float symmetry, float level, float phaseOffset);

// A whole wavetable: table[k] = waveShape(k / length, ...) for k = 0..length-1,
// with k / length formed in double and rounded to float. Bit for bit the same
// as calling waveShape entry by entry, several times faster: the powers and
// sines are worked out many at a time.
void waveShapeTable(float* table, int32_t length, float sineMix, float square, float symmetry, float level,
                    float phaseOffset);
