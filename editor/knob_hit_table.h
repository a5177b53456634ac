#pragma once
#include <cstdint>

// Where each knob reacts to the hovering mouse, in editor client pixels,
// edges included. Every editor has the same layout.
struct KnobHitEntry {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
    int32_t parameter;   // kFreeHitEntry when unused
};

constexpr int32_t kKnobHitTableSize = 39;
constexpr int32_t kFreeHitEntry = -100;

using KnobHitTable = KnobHitEntry[kKnobHitTableSize];

// The module's table: every editor has the same layout.
extern KnobHitTable knobHitTable;
