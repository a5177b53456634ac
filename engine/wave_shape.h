#pragma once

// One sample of an oscillator waveform at phase 0..1: a blend of a linear
// shape (saw, triangle, trapezoid, square) and a sine-like shape with movable
// peaks, shifted by phaseOffset and scaled by 2 * level - 1.
float waveShape(float phase, float sineMix, float square, float symmetry, float level, float phaseOffset);
