#include <windows.h>

#include "plugin_module.h"

bool PluginModule::load(const std::string& path, std::string& error) {
    unload();
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
        error = "cannot load the plug-in (Windows error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    FARPROC proc = GetProcAddress(module, "main");
    if (!proc) proc = GetProcAddress(module, "VSTPluginMain");
    if (!proc) {
        FreeLibrary(module);
        error = "the module has no VST 2 entry point (main or VSTPluginMain)";
        return false;
    }
    handle = module;
    entryPoint = reinterpret_cast<VstEntry>(reinterpret_cast<void*>(proc));
    return true;
}

void PluginModule::unload() {
    if (handle) FreeLibrary(static_cast<HMODULE>(handle));
    handle = nullptr;
    entryPoint = nullptr;
}

std::string programDirectory() {
    char path[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string full(path, n < sizeof(path) ? n : 0);
    const size_t slash = full.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : full.substr(0, slash + 1);
}

std::string defaultPluginPath() { return programDirectory() + "Vorzle.dll"; }
