#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/shared/engine_reference_sequence.h"
#include "tests/native/engine_test_support.h"

using namespace engine_test;

namespace {

// Left and right samples interleaved, over the whole sequence.
std::vector<float> renderSequence(Synth& plugin) {
    std::vector<float> interleaved;
    for (const engine_reference::Step& step : engine_reference::sequence()) {
        for (const engine_reference::Message& m : step.messages) midi(plugin, m.status, m.data1, m.data2);
        const Stereo out = renderReplacing(plugin, step.frames);
        for (int32_t i = 0; i < step.frames; ++i) {
            interleaved.push_back(out.left[i]);
            interleaved.push_back(out.right[i]);
        }
    }
    return interleaved;
}

}  // namespace

// Renders the shared performance, checks it is deterministic and sounding,
// and leaves it in the build tree for the Windows build to compare against.
TEST(EngineReference, RendersTheSharedSequenceAndWritesIt) {
    auto first = makePlugin();
    auto second = makePlugin();
    first->setSampleRate(engine_reference::kSampleRate);
    second->setSampleRate(engine_reference::kSampleRate);
    const std::vector<float> a = renderSequence(*first);
    const std::vector<float> b = renderSequence(*second);
    ASSERT_EQ(a, b);
    ASSERT_TRUE(allFinite(a));
    EXPECT_GT(peak(a), 0.01f);

    const std::string path = std::string(VORZLE_BINARY_DIR) + "/engine_reference.f32";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    const size_t written = std::fwrite(a.data(), sizeof(float), a.size(), file);
    EXPECT_EQ(std::fclose(file), 0);
    EXPECT_EQ(written, a.size());
}
