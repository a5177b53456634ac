#include <windows.h>

#include "vsthost/plugin_module.h"

namespace {

// The system's own words for an error code, on one line, with the module's
// path where the text has a place for it ("%1 is not a valid Win32 application").
std::string describeError(DWORD code, const std::string& path) {
    char text[256] = "";
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                   sizeof(text), nullptr);
    std::string message(text, n);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    for (char& c : message)
        if (c == '\n' || c == '\r') c = ' ';
    for (size_t at = message.find("%1"); at != std::string::npos; at = message.find("%1", at + path.size()))
        message.replace(at, 2, path);
    if (message.empty()) return "Windows error " + std::to_string(code);
    return message + " (Windows error " + std::to_string(code) + ")";
}

}  // namespace

bool PluginModule::load(const std::string& path, std::string& error) {
    unload();
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
        error = "cannot load the plug-in: " + describeError(GetLastError(), path);
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
