#include "programs/program_record.h"

ProgramRecord::ProgramRecord() {
    for (int32_t i = 0; i < kNumParameters; ++i) valueOf(i) = kParameters[i].defaultValue;
    setName("Blank");
}

void ProgramRecord::setName(const char* text) {
    int32_t n = 0;
    if (text) {
        for (; n < kNameSize - 1 && text[n] != '\0'; ++n) name[n] = text[n];
    }
    for (int32_t i = n; i < kNameSize; ++i) name[i] = '\0';
}
