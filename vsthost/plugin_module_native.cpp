#include <dlfcn.h>
#include <unistd.h>

#include <climits>

#include "vsthost/plugin_module.h"

bool PluginModule::load(const std::string& path, std::string& error) {
    unload();
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* reason = dlerror();
        error = std::string("cannot load the plug-in: ") + (reason ? reason : "unknown reason");
        return false;
    }
    void* symbol = dlsym(module, "VSTPluginMain");
    if (!symbol) symbol = dlsym(module, "main");
    if (!symbol) {
        dlclose(module);
        error = "the module has no VST 2 entry point (VSTPluginMain or main)";
        return false;
    }
    handle = module;
    entryPoint = reinterpret_cast<VstEntry>(symbol);
    return true;
}

void PluginModule::unload() {
    if (handle) dlclose(handle);
    handle = nullptr;
    entryPoint = nullptr;
}

std::string programDirectory() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0) return std::string();
    std::string full(path, static_cast<size_t>(n));
    const size_t slash = full.find_last_of('/');
    return slash == std::string::npos ? std::string() : full.substr(0, slash + 1);
}

std::string defaultPluginPath() { return programDirectory() + "Vorzle.so"; }
