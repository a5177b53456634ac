#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "engine_test_support.h"

using namespace engine_test;

// Voices in lanes against the one-voice-at-a-time reference, on long random
// performances: every output sample and every voice's state the same to the
// bit.

namespace {

bool sameVoice(const Voice& x, const Voice& y) {
    const float fx[] = {x.osc1Advance, x.osc2Advance, x.osc3Advance, x.filterAIn2, x.filterAIn1, x.filterAOut2,
                        x.filterAOut1, x.filterBIn2,  x.filterBIn1,  x.filterBOut2, x.filterBOut1, x.ampLevel,
                        x.ampProgress, x.filterEnvLevel, x.filterEnvProgress, x.pitch};
    const float fy[] = {y.osc1Advance, y.osc2Advance, y.osc3Advance, y.filterAIn2, y.filterAIn1, y.filterAOut2,
                        y.filterAOut1, y.filterBIn2,  y.filterBIn1,  y.filterBOut2, y.filterBOut1, y.ampLevel,
                        y.ampProgress, y.filterEnvLevel, y.filterEnvProgress, y.pitch};
    return std::memcmp(fx, fy, sizeof fx) == 0 && x.osc1Pos == y.osc1Pos && x.osc2Pos == y.osc2Pos &&
           x.osc3Pos == y.osc3Pos && x.active == y.active && x.ampStage == y.ampStage &&
           x.filterEnvStage == y.filterEnvStage && x.note == y.note;
}

// Plays the same random performance into both synths; answers the first
// block whose output or voices differ, or -1, and the most voices that
// sounded at once.
int32_t firstDifference(Synth& lanes, Synth& reference, uint32_t seed, int32_t blocks, int32_t& mostVoices) {
    mostVoices = 0;
    std::mt19937 random(seed);
    auto pick = [&random](int32_t n) { return static_cast<int32_t>(random() % static_cast<uint32_t>(n)); };
    std::vector<float> l1, r1, l2, r2;
    for (int32_t block = 0; block < blocks; ++block) {
        // A few events before each block, as a host delivers them.
        const int32_t events = pick(4);
        for (int32_t e = 0; e < events; ++e) {
            const int32_t kind = pick(100);
            uint8_t m[3] = {0x90, static_cast<uint8_t>(24 + pick(80)), static_cast<uint8_t>(1 + pick(127))};
            if (kind < 30) m[0] = 0x80;                                      // note off
            else if (kind < 34) { m[0] = 0xE0; m[1] = static_cast<uint8_t>(pick(128)); m[2] = static_cast<uint8_t>(pick(128)); }
            else if (kind < 40) { m[0] = 0xB0; m[1] = static_cast<uint8_t>(std::vector<int>{1, 12, 13, 64, 72, 73, 7}[pick(7)]); m[2] = static_cast<uint8_t>(pick(128)); }
            else if (kind < 41) { m[0] = 0xC0; m[1] = static_cast<uint8_t>(pick(128)); }   // program: switches, shapes
            for (Synth* s : {&lanes, &reference}) s->playMidiNow(m);
        }
        if (pick(200) == 0) {   // voice limit changes: stealing among few voices, or all 64
            const float polyphony = pick(2) ? 0.05f * pick(4) : 1.0f;
            for (Synth* s : {&lanes, &reference}) s->setParameter(Param::Polyphony, polyphony);
        }
        if (pick(300) == 0) {   // a new sample rate: lines resized, write positions beyond their ends
            const float rate = std::vector<float>{22050.0f, 44100.0f, 48000.0f, 96000.0f}[pick(4)];
            for (Synth* s : {&lanes, &reference}) s->setSampleRate(rate);
        }
        if (pick(60) == 0) {    // the chorus on or off
            const float on = static_cast<float>(pick(2));
            for (Synth* s : {&lanes, &reference}) s->setParameter(Param::Chorus, on);
        }
        if (pick(50) == 0) {    // oscillator switches on their own
            const int32_t p = std::vector<int>{Param::Osc1On, Param::Osc2On, Param::Osc3On}[pick(3)];
            const float on = static_cast<float>(pick(2));
            for (Synth* s : {&lanes, &reference}) s->setParameter(p, on);
        }
        // Partial sub-blocks, single frames, long blocks; now and then a
        // long silent stretch where filters and releases decay.
        const int32_t n = pick(40) == 0 ? 4000 + pick(20000) : 1 + pick(600);
        const bool replacing = pick(3) != 0;
        for (auto* v : {&l1, &r1, &l2, &r2}) v->assign(static_cast<size_t>(n), 0.25f);
        lanes.render(l1.data(), r1.data(), n, replacing);
        reference.render(l2.data(), r2.data(), n, replacing);
        if (std::memcmp(l1.data(), l2.data(), l1.size() * sizeof(float)) != 0 ||
            std::memcmp(r1.data(), r2.data(), r1.size() * sizeof(float)) != 0)
            return block;
        int32_t sounding = 0;
        for (int32_t v = 0; v < kNumVoices; ++v) {
            if (!sameVoice(lanes.view().voices[v], reference.view().voices[v])) return block;
            sounding += lanes.view().voices[v].active;
        }
        mostVoices = std::max(mostVoices, sounding);
    }
    return -1;
}

}  // namespace

TEST(VoiceLanes, MatchTheOneByOneReferenceOnLongRandomPerformances) {
    for (uint32_t seed : {1u, 2u, 3u}) {
        auto lanes = makePlugin();
        auto reference = makePlugin();
        reference->renderInLanes(false);
        int32_t mostVoices = 0;
        EXPECT_EQ(firstDifference(*lanes, *reference, seed, 400, mostVoices), -1) << "seed " << seed;
        // Enough voices sounded together to fill several lane groups.
        EXPECT_GE(mostVoices, 9) << "seed " << seed;
    }
}

TEST(VoiceLanes, MatchTheOneVoiceLoopForEveryVoiceCount) {
    // 1 to 64 held voices: full groups, groups of two and three, a lone voice.
    for (int32_t count = 1; count <= 64; count += (count < 9 ? 1 : 11)) {
        auto lanes = makePlugin();
        auto reference = makePlugin();
        reference->renderInLanes(false);
        for (Synth* s : {lanes.get(), reference.get()}) {
            s->setParameter(Param::Polyphony, 1.0f);
            for (int32_t v = 0; v < count; ++v) noteOn(*s, static_cast<uint8_t>(30 + v), static_cast<uint8_t>(20 + v));
        }
        const Stereo a = renderReplacing(*lanes, 3000);
        const Stereo b = renderReplacing(*reference, 3000);
        EXPECT_EQ(std::memcmp(a.left.data(), b.left.data(), a.left.size() * sizeof(float)), 0) << count;
        EXPECT_EQ(std::memcmp(a.right.data(), b.right.data(), a.right.size() * sizeof(float)), 0) << count;
        EXPECT_GT(peak(a.left), 0.001f) << count;
    }
}
