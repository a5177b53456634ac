// The instrument as each front end starts it: the same program, names and
// texts, and the same samples for the same note. A front end that put the
// instrument together its own way would show here first.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "instrument/instrument.h"
#include "tests/shared/careless_host.h"
#include "tests/shared/signal_checks.h"
#include "tests/shared/version_only_host.h"
#include "vst2/synth_plugin.h"

namespace {

constexpr int32_t kFrames = 4096;

struct Startup {
    int32_t program = -1;
    std::string firstName, lastName, cutoffText;
    std::vector<float> left, right;
    bool operator==(const Startup&) const = default;
};

// What a front end answers: its program, two names, a display text, and a
// note played for kFrames at the rate it starts with.
Startup fromInstrument(Instrument& synth) {
    Startup s{synth.program(), synth.programName(0), synth.programName(127), synth.parameterDisplay(Param::Cutoff)};
    const uint8_t note[3] = {0x90, 57, 100};
    synth.playMidiNow(note);
    s.left.resize(kFrames);
    s.right.resize(kFrames);
    synth.render(s.left.data(), s.right.data(), kFrames, true);
    return s;
}

Startup fromEffect(AEffect* effect) {
    Startup s;
    if (!effect) return s;
    auto dispatch = [effect](int32_t op, int32_t index, void* ptr) {
        return effect->dispatcher(effect, op, index, 0, ptr, 0.0f);
    };
    char text[64] = {};
    s.program = static_cast<int32_t>(dispatch(effGetProgram, 0, nullptr));
    dispatch(effGetProgramNameIndexed, 0, text);
    s.firstName = text;
    dispatch(effGetProgramNameIndexed, 127, text);
    s.lastName = text;
    dispatch(effGetParamDisplay, Param::Cutoff, text);
    s.cutoffText = text;
    dispatch(effMainsChanged, 1, nullptr);
    VstMidiEvent note{};
    note.type = kVstMidiType;
    note.byteSize = sizeof note;
    note.midiData[0] = static_cast<char>(0x90);
    note.midiData[1] = 57;
    note.midiData[2] = 100;
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&note);
    dispatch(effProcessEvents, 0, &events);
    s.left.resize(kFrames);
    s.right.resize(kFrames);
    float* outputs[2] = {s.left.data(), s.right.data()};
    effect->processReplacing(effect, nullptr, outputs, kFrames);
    return s;
}

TEST(InstrumentStartup, EveryFrontEndStartsAsTheInstrument) {
    Instrument synth;
    const Startup expected = fromInstrument(synth);
    ASSERT_EQ(expected.program, 0);
    ASSERT_EQ(expected.firstName, "Classiq");
    ASSERT_GT(signal_checks::peak(expected.left), 0.01f);

    PluginModule module;
    std::string error;
    ASSERT_TRUE(module.load(careless::pluginPath(), error)) << error;
    const std::vector<std::pair<const char*, std::function<Startup()>>> frontEnds = {
        {"the VST 2 object", [] {
             SynthPlugin plugin(versionOnlyHost);
             return fromEffect(plugin.getAEffect());
         }},
        {"the VST 2 module", [&] {
             AEffect* effect = module.entry()(versionOnlyHost);
             Startup s = fromEffect(effect);
             if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
             return s;
         }},
        {"an instrument made at another rate, then set to 44.1 kHz", [] {
             Instrument other(96000.0f);
             other.setSampleRate(44100.0f);
             return fromInstrument(other);
         }},
    };
    for (const auto& [name, start] : frontEnds) EXPECT_TRUE(start() == expected) << name;
}

TEST(InstrumentStartup, ProgramsFoundByNameWithoutRegardToCase) {
    Instrument synth;
    EXPECT_EQ(synth.findProgram("Classiq"), 0);
    EXPECT_EQ(synth.findProgram("rAVE BASS"), 1);
    EXPECT_EQ(synth.findProgram("Rave"), -1);
    EXPECT_EQ(synth.findProgram(""), -1);
}

}  // namespace
