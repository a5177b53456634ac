#include <gtest/gtest.h>

#include "tests/shared/render_identity.h"
#include "vsthost/plugin_module.h"

// The native plug-in (Vorzle.so beside the tests) renders what was recorded.
TEST(RenderIdentity, NativePluginRendersTheRecordedSamples) {
    PluginModule module;
    std::string error;
    ASSERT_TRUE(module.load(defaultPluginPath(), error)) << defaultPluginPath() << ": " << error;
    render_identity::expectRecordedRenders(
        "native",
        [&module]() {
            std::string reason;
            auto instance = PluginInstance::create(module.entry(), reason);
            if (!instance) ADD_FAILURE() << reason;
            return instance;
        },
        std::string(VORZLE_SOURCE_DIR) + "/examples/demo.mid");
}
