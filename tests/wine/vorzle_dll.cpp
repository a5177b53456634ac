#include "tests/wine/vorzle_dll.h"

#include <gtest/gtest.h>

PluginModule& vorzleModule() {
    static PluginModule module;
    if (!module.loaded()) {
        std::string error;
        if (!module.load(defaultPluginPath(), error)) ADD_FAILURE() << defaultPluginPath() << ": " << error;
    }
    return module;
}

std::unique_ptr<PluginInstance> createVorzle() {
    std::string error;
    auto instance = PluginInstance::create(vorzleModule().entry(), error);
    if (!instance) ADD_FAILURE() << "creating Vorzle: " << error;
    return instance;
}
