// Any bytes handed to the instrument as a saved bank and as a saved program:
// a chunk it refuses leaves its state exactly as it was, one it takes reads
// back byte for byte and plays (AddressSanitizer watches an exact-size copy).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "vst2/synth_plugin.h"
#include "tests/shared/version_only_host.h"

namespace {

std::vector<uint8_t> chunkOf(SynthPlugin& plugin, bool isPreset) {
    void* data = nullptr;
    const int32_t size = plugin.getChunk(&data, isPreset);
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static SynthPlugin* const plugin = new SynthPlugin(versionOnlyHost);
    static const std::vector<uint8_t> factory = chunkOf(*plugin, false);
    const std::unique_ptr<uint8_t[]> copy(new uint8_t[size ? size : 1]);
    if (size) std::memcpy(copy.get(), data, size);
    const int32_t byteSize = static_cast<int32_t>(size);
    for (bool isPreset : {false, true}) {
        if (plugin->setChunk(copy.get(), byteSize, isPreset) == 0) {
            if (chunkOf(*plugin, false) != factory) std::abort();
            continue;
        }
        // A preset loads into the current program: its chunk names that program.
        std::vector<uint8_t> expected(data, data + size);
        if (isPreset)
            for (int i = 0; i < 4; ++i) expected[16 + i] = static_cast<uint8_t>(plugin->instrument().program() >> (8 * i));
        if (chunkOf(*plugin, isPreset) != expected) std::abort();
        const uint8_t note[3] = {0x90, 60, 127};
        plugin->instrument().playMidiNow(note);
        float left[64], right[64];
        float* outputs[2] = {left, right};
        plugin->processReplacing(nullptr, outputs, 64);
        std::vector<uint8_t> back = factory;
        if (plugin->setChunk(back.data(), static_cast<int32_t>(back.size()), false) != 1) std::abort();
    }
    return 0;
}
