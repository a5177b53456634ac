#include "vst3/factory.h"

// The Linux module's exports: hosts call ModuleEntry after loading it and
// ModuleExit before unloading; nothing needs setting up.
#define VORZLE_EXPORT extern "C" __attribute__((visibility("default")))

VORZLE_EXPORT bool ModuleEntry(void*) { return true; }
VORZLE_EXPORT bool ModuleExit() { return true; }
VORZLE_EXPORT vst3::IPluginFactory* GetPluginFactory() { return vorzleFactory(); }
