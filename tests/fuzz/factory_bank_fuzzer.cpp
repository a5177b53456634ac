// Any bytes as a bank in the VST bank-file layout: the instrument's parser
// never reads past them (AddressSanitizer watches an exact-size copy) and
// leaves every program name terminated inside its 24 bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "../../host/synth_plugin.h"

namespace {

intptr_t hostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static SynthPlugin* const plugin = new SynthPlugin(hostCallback);
    const std::unique_ptr<uint8_t[]> copy(new uint8_t[size ? size : 1]);
    if (size) std::memcpy(copy.get(), data, size);
    plugin->parseBank(copy.get(), size);
    for (int32_t p = 0; p < SynthPlugin::kNumPrograms; ++p)
        if (!std::memchr(plugin->programs[p].name, 0, ProgramRecord::kNameSize)) std::abort();
    return 0;
}
