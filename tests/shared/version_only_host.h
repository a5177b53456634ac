#pragma once
#include <cstdint>

#include "vst2/vst2_abi.h"

// A host that answers only its interface version, as the entry point asks.
inline intptr_t versionOnlyHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}
