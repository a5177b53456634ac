#pragma once
#include <cstdint>

// The text the host and the panel show for value x of parameter index: at
// most 15 characters and the NUL; empty for an index outside 0..38. Cutoff
// shows hertz, which depend on the sample rate.
void formatParameterDisplay(int32_t index, float x, float sampleRate, char* text);
