// The native plug-in in the hands of a careless host: random opcodes with odd
// operands, garbage event lists, odd rates and block sizes, and lifecycle
// calls in odd orders. Every call must come back promptly and every sample
// finite. Run also under AddressSanitizer and UndefinedBehaviorSanitizer,
// which turn an overrun or undefined arithmetic into a failure.
#include <gtest/gtest.h>

#include <functional>

#include "../shared/careless_session.h"

namespace {

using namespace careless;

class CarelessHost : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(module.load(pluginPath(), error)) << error;
    }

    AEffect* create() {
        AEffect* effect = timed([&] { return module.entry()(versionOnlyHost); }, [] { return std::string("main"); });
        EXPECT_NE(effect, nullptr);
        return effect;
    }

    PluginModule module;
};

constexpr int kEpisodes = 40;
constexpr int kCallsPerEpisode = 600;

TEST_F(CarelessHost, RandomCallsFromCreationToClose) {
    const uint32_t runSeed = seed();
    std::mt19937 rng(runSeed);
    int total = 0;
    for (int episode = 0; episode < kEpisodes && !HasFailure(); ++episode) {
        AEffect* effect = create();
        if (!effect) return;
        Session session(effect, rng,
                        "seed " + std::to_string(runSeed) + " (VORZLE_CARELESS_SEED), episode " + std::to_string(episode));
        const int calls = static_cast<int>(rng() % kCallsPerEpisode);   // some end right after creation
        for (int i = 0; i < calls && session.alive(); ++i) session.randomCall();
        if (rng() % 2) session.dispatch(effMainsChanged, 0, 0, nullptr, 0.0f);
        session.dispatch(effClose, 0, 0, nullptr, 0.0f);
        total += session.calls;
    }
    std::printf("%d calls in %d episodes, seed %u\n", total, kEpisodes, runSeed);
}

// Orders real hosts are known to use, and orders no host should but some will.
TEST_F(CarelessHost, LifecycleCallsInOddOrders) {
    std::mt19937 rng(seed());
    const std::vector<std::pair<const char*, std::function<void(Session&)>>> orders = {
        {"close at once", [](Session&) {}},
        {"render before open and mains on",
         [](Session& s) {
             s.note(0x90, 60, 100);
             s.render(512, true);
             s.dispatch(effOpen, 0, 0, nullptr, 0.0f);
             s.render(64, false);
         }},
        {"editor closed and idled without being opened",
         [](Session& s) {
             s.dispatch(effEditClose, 0, 0, nullptr, 0.0f);
             s.dispatch(effEditIdle, 0, 0, nullptr, 0.0f);
             s.dispatch(effEditGetRect, 0, 0, nullptr, 0.0f);
             s.dispatch(effEditClose, 0, 0, nullptr, 0.0f);
         }},
        {"editor left open at close", [](Session& s) { s.dispatch(effEditOpen, 0, 0, nullptr, 0.0f); }},
        {"mains on twice, off twice, render between",
         [](Session& s) {
             s.dispatch(effMainsChanged, 0, 1, nullptr, 0.0f);
             s.dispatch(effMainsChanged, 0, 1, nullptr, 0.0f);
             s.note(0x90, 69, 127);
             s.render(4096, true);
             s.dispatch(effMainsChanged, 0, 0, nullptr, 0.0f);
             s.dispatch(effMainsChanged, 0, 0, nullptr, 0.0f);
             s.render(4096, true);
         }},
        {"rates and block sizes changed under a sounding note",
         [](Session& s) {
             s.dispatch(effMainsChanged, 0, 1, nullptr, 0.0f);
             s.note(0x90, 69, 127);
             for (float rate : kOddRates) {
                 s.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
                 s.note(0x90, 69, 127);
                 s.render(1024, true);
                 for (intptr_t size : kOddBlockSizes) s.dispatch(effSetBlockSize, 0, size, nullptr, 0.0f);
                 s.render(333, true);
             }
         }},
        // Opcode 43 after the tables were built for another rate, then a loud
        // chord long enough for a filter running at the wrong rate to blow up.
        {"rates changed with block size and rate together",
         [](Session& s) {
             s.dispatch(effSetProgram, 0, 2, nullptr, 0.0f);
             for (float rate : kOddRates) {
                 s.dispatch(effSetSampleRate, 0, 0, nullptr, 192000.0f);
                 s.dispatch(effSetBlockSizeAndSampleRate, 0, 1024, nullptr, rate);
                 s.dispatch(effMainsChanged, 0, 1, nullptr, 0.0f);
                 s.note(0xB0, 12, 127);   // cutoff and resonance all the way up
                 s.note(0xB0, 13, 127);
                 for (uint8_t key = 24; key < 120; key += 3) s.note(0x90, key, 127);
                 for (int block = 0; block < 40 && s.alive(); ++block) s.render(1024, true);
             }
         }},
        {"program changes and a full keyboard while suspended",
         [](Session& s) {
             s.dispatch(effMainsChanged, 0, 0, nullptr, 0.0f);
             for (int program = 0; program < 128; ++program) {
                 s.dispatch(effSetProgram, 0, program, nullptr, 0.0f);
                 s.note(0x90, static_cast<uint8_t>(program), 127);
             }
             s.render(8192, true);
         }},
    };
    for (const auto& [name, steps] : orders) {
        SCOPED_TRACE(name);
        AEffect* effect = create();
        if (!effect) return;
        Session session(effect, rng, name);
        steps(session);
        session.dispatch(effClose, 0, 0, nullptr, 0.0f);
    }
}

// Hosts that scan plug-ins load, free and load the module again; instances
// come and go many times in one process. Leak checking (where it runs) sees
// anything they leave behind.
TEST_F(CarelessHost, InstancesComeAndGoAcrossReloads) {
    for (int reload = 0; reload < 3; ++reload) {
        std::vector<AEffect*> alive;
        for (int i = 0; i < 100; ++i) {
            alive.push_back(create());
            if (!alive.back()) return;
            if (i % 3 == 2) {   // close out of creation order
                AEffect* effect = alive[alive.size() / 2];
                alive.erase(alive.begin() + static_cast<std::ptrdiff_t>(alive.size() / 2));
                timed([&] { return effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f); },
                      [] { return std::string("effClose"); });
            }
        }
        for (AEffect* effect : alive) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
        module.unload();
        std::string error;
        ASSERT_TRUE(module.load(pluginPath(), error)) << error;
    }
}

}  // namespace
