#pragma once
#include <cstdint>

// What the knobs, the counter and the buttons show for a value and what a
// drag or a click makes of it: the same arithmetic for every window system.

constexpr int32_t kKnobFrameCount = 90;     // film strip frames, value 0 to value 1
constexpr int32_t kDigitCellWidth = 9;      // the counter's two cells
constexpr int32_t kDigitCellHeight = 16;
constexpr int32_t kButtonOnFrame = 0;
constexpr int32_t kButtonOffFrame = 1;

// Per pixel of vertical movement: normal, with Shift, with Control.
constexpr float kNormalStep = 0.001f;
constexpr float kShiftStep = 0.01f;
constexpr float kControlStep = 0.0001f;

// float to int32 as the processor truncates it: out of range (and NaN) gives INT32_MIN.
int32_t truncateToInt(float value);

// The film strip frame of a knob value, limited to 0..89.
int32_t knobFrame(float value);

// The two digit glyphs of the polyphony counter (blank, 0..9 as 1..10, minus
// as 11): the voice limit the allocator derives from the value, right-aligned.
struct CounterGlyphs {
    int32_t tens;
    int32_t units;
};
CounterGlyphs counterGlyphs(float value);

bool buttonIsOn(float value);
int32_t buttonFrame(float value);
// A click writes exactly 0 or 1.
float toggledValue(float value);

// Control takes precedence over Shift.
float dragStep(bool control, bool shift);
// The value after the mouse moved dy pixels (down is positive) from the
// anchor, limited to 0..1.
float draggedValue(float value, int32_t dy, bool control, bool shift);
