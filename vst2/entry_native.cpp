#include "vst2/entry.h"

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback audioMaster) {
    return vorzleMain(audioMaster);
}
