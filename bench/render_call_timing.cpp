// The dearest render calls a host makes: the worst thread-CPU time of one
// call, program changes and shape edits included, as a share of its block's
// real time, for the VST 2 plug-in (the .so through its entry point) and the
// LV2 bundle (through lilv) at 32-frame blocks from 44.1 to 192 kHz:
//   render-call-timing [BLOCK]
// Each program in turn arrives as a MIDI program change with a chord in the
// same block; then a host or panel edits one wave shape; the figure is the
// worst of all those calls and of the plain blocks between them.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tests/lv2/lv2_test_host.h"
#include "vsthost/plugin_instance.h"
#include "vsthost/plugin_module.h"

namespace {

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

constexpr int kPrograms = 128;

struct Worst {
    double programChange = 0, shapeEdit = 0, plain = 0;
};

// Block kinds in turn for every program: change + chord, plain, shape edit, plain.
// before(program, kind) is the host's own work, untimed; call is the plug-in's.
template <typename Before, typename Call>
Worst time(Before before, Call call) {
    Worst w;
    for (int round = 0; round < 2; ++round)
        for (int program = 0; program < kPrograms; ++program)
            for (int kind = 0; kind < 4; ++kind) {
                before(program, kind);
                const double start = threadSeconds();
                call(program, kind);
                const double spent = threadSeconds() - start;
                double& slot = kind == 0 ? w.programChange : kind == 2 ? w.shapeEdit : w.plain;
                slot = std::max(slot, spent);
            }
    return w;
}

// The VST 2 plug-in has no host parameters (its shape edits come from its
// panel, on the panel's thread): its shape-edit blocks are plain ones.
void print(const char* format, double rate, int block, const Worst& w) {
    const double budget = block / rate;
    std::printf("{\"format\": \"%s\", \"rate\": %.0f, \"block\": %d, \"programChange\": %.1f, \"shapeEdit\": %.1f, "
                "\"plain\": %.1f}\n",
                format, rate, block, 100 * w.programChange / budget, 100 * w.shapeEdit / budget,
                100 * w.plain / budget);
}

}  // namespace

int main(int argc, char** argv) {
    const int block = argc > 1 ? std::atoi(argv[1]) : 32;
    std::printf("# worst render call, %% of the block's real time\n");
    PluginModule module;
    std::string error;
    if (!module.load(defaultPluginPath(), error)) {
        std::fprintf(stderr, "render-call-timing: %s\n", error.c_str());
        return 1;
    }
    lv2_test::World world(VORZLE_BINARY_DIR "/lv2/Vorzle.lv2");
    for (double rate : {44100.0, 48000.0, 96000.0, 192000.0}) {
        std::vector<float> left(block), right(block);
        auto vst = PluginInstance::create(module.entry(), error);
        if (!vst) return 1;
        vst->dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
        vst->dispatch(effSetBlockSize, 0, block);
        vst->dispatch(effMainsChanged, 0, 1);
        // A new rate's tables are prepared on the plug-in's own thread: a
        // host plays some time after setting it. (Program changes before
        // then build their tables in the render, as before.)
        std::this_thread::sleep_for(std::chrono::seconds(1));
        print("vst2", rate, block, time([&](int program, int kind) {
                  if (kind == 0)
                      vst->sendMidi({{0xC0, static_cast<uint8_t>(program), 0, 0}, {0x90, 48, 100, 1}, {0x90, 55, 100, 1}});
              }, [&](int program, int kind) {
                  vst->processReplacing(left.data(), right.data(), block);
              }));
        vst->close();

        lv2_test::Instance lv2(world, rate);
        lv2.left.reserve(1 << 22);
        lv2.right.reserve(1 << 22);
        print("lv2", rate, block, time([&](int, int) {
                  if (lv2.left.size() + block > lv2.left.capacity()) lv2.left.clear(), lv2.right.clear();
              }, [&](int program, int kind) {
                  if (kind == 2) lv2.controls[Param::Osc1Sine] = static_cast<float>(program % 7) / 7.0f;
                  if (kind == 0)
                      lv2.run(block, {{0, {0xC0, static_cast<uint8_t>(program)}}, {1, {0x90, 48, 100}}, {1, {0x90, 55, 100}}});
                  else
                      lv2.run(block);
              }));
    }
    return 0;
}
