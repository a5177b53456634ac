#pragma once
#include "vst3/vst3_abi.h"

// The module's class factory: one class, the instrument.
vst3::IPluginFactory* vorzleFactory();
