#include "vst3/factory.h"

// The Windows module's exports (named without decoration through the module
// definition file): hosts call InitDll after loading it and ExitDll before
// freeing it. The editor's window classes are made at process attach, by
// the same DllMain the VST 2 module has.
extern "C" bool InitDll() { return true; }
extern "C" bool ExitDll() { return true; }
extern "C" vst3::IPluginFactory* VST3_API GetPluginFactory() { return vorzleFactory(); }
