#pragma once
#include <string>

#include "vst2/vst2_abi.h"

using VstEntry = AEffect* (*)(audioMasterCallback audioMaster);

// A loaded plug-in module (a Windows DLL or a Linux shared object) and its
// entry point: "main" or "VSTPluginMain".
class PluginModule {
public:
    PluginModule() = default;
    ~PluginModule() { unload(); }
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    // On failure answers false with a one-line reason in error.
    bool load(const std::string& path, std::string& error);
    void unload();
    bool loaded() const { return handle != nullptr; }
    VstEntry entry() const { return entryPoint; }

private:
    void* handle = nullptr;
    VstEntry entryPoint = nullptr;
};

// The folder of the running program, with a trailing separator.
std::string programDirectory();

// Vorzle's plug-in beside the running program.
std::string defaultPluginPath();
