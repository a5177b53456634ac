#pragma once
#include <cstdint>
#include "programs/parameter_table.h"

// One program: 39 values in field order (not parameter order), then the name.
struct ProgramRecord {
    static constexpr int32_t kNameSize = 24;   // 23 characters and the NUL

    float fields[kNumParameters];
    char name[kNameSize];

    ProgramRecord();   // every parameter at its default, named "Blank"

    float& valueOf(int32_t parameter) { return fields[kParameters[parameter].field]; }
    float valueOf(int32_t parameter) const { return fields[kParameters[parameter].field]; }

    // Copies text into the name, cut to 23 characters so the NUL always fits.
    void setName(const char* text);
};

static_assert(sizeof(ProgramRecord) == 39 * 4 + 24, "program record layout");
