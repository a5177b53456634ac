#include <new>

#include "vst2/entry.h"
#include "vst2/synth_plugin.h"

// The module's one export. Windows exports it as "main" through the module
// definition file (a C++ function may not be called main); other platforms
// export VSTPluginMain.
extern "C" AEffect* vorzleMain(audioMasterCallback audioMaster) {
    if (!audioMaster) return nullptr;
    if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    SynthPlugin* plugin = new (std::nothrow) SynthPlugin(audioMaster);
    if (!plugin) return nullptr;
    if (plugin->constructionFailed()) {
        delete plugin;
        return nullptr;
    }
    return plugin->getAEffect();
}
