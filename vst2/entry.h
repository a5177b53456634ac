#pragma once
#include "vst2/vst2_abi.h"

// Creates one instance for the host; null when the host gives no version or
// the instance cannot be built.
extern "C" AEffect* vorzleMain(audioMasterCallback audioMaster);
