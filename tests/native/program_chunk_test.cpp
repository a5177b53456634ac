#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "vst2/synth_plugin.h"
#include "programs/program_chunk.h"
#include "tests/shared/version_only_host.h"

// The state a host saves with a session or preset, handed back damaged or
// foreign. (The round trip itself: the DLL tests, the Ardour test, the fuzz
// target's read-back.)

namespace {

using Bytes = std::vector<uint8_t>;

std::unique_ptr<SynthPlugin> makePlugin() { return std::make_unique<SynthPlugin>(versionOnlyHost); }

Bytes chunkOf(SynthPlugin& plugin, bool isPreset) {
    AEffect* effect = plugin.getAEffect();
    void* data = nullptr;
    const intptr_t size = effect->dispatcher(effect, effGetChunk, isPreset ? 1 : 0, 0, &data, 0.0f);
    if (size <= 0 || !data) return {};
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    return Bytes(bytes, bytes + size);
}

intptr_t restore(SynthPlugin& plugin, Bytes chunk, bool isPreset) {
    AEffect* effect = plugin.getAEffect();
    return effect->dispatcher(effect, effSetChunk, isPreset ? 1 : 0, static_cast<intptr_t>(chunk.size()),
                              chunk.empty() ? nullptr : chunk.data(), 0.0f);
}

// A musician's state: a program other than 0, edited in the panel and renamed.
void editSound(SynthPlugin& plugin) {
    plugin.setProgram(37);
    plugin.instrument().setParameter(Param::Cutoff, 0.21f);
    plugin.instrument().setParameter(Param::Osc2Pitch, 0.75f);
    plugin.instrument().setParameter(Param::AmpRelease, 0.9f);
    char name[] = "My edit";
    plugin.setProgramName(name);
}

void putFloat(Bytes& chunk, size_t offset, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    for (int i = 0; i < 4; ++i) chunk[offset + i] = static_cast<uint8_t>(bits >> (8 * i));
}

constexpr size_t kFirstProgram = program_chunk::kHeaderSize;
constexpr size_t valueAt(int32_t program, int32_t parameter) {
    return kFirstProgram + program * program_chunk::kProgramSize + ProgramRecord::kNameSize + 4 * parameter;
}

}  // namespace

TEST(ProgramChunk, FaultyOrForeignChunksAreRefusedAndChangeNothing) {
    auto source = makePlugin();
    editSound(*source);
    const Bytes bank = chunkOf(*source, false);
    const Bytes program = chunkOf(*source, true);
    struct Fault {
        const char* name;
        bool isPreset;
        std::function<Bytes()> make;
    };
    auto edited = [&](const Bytes& base, std::function<void(Bytes&)> change) {
        return [=] {
            Bytes chunk = base;
            change(chunk);
            return chunk;
        };
    };
    const std::vector<Fault> faults = {
        {"nothing", false, [] { return Bytes(); }},
        {"header only", false, [&] { return Bytes(bank.begin(), bank.begin() + kFirstProgram); }},
        {"one byte short", false, [&] { return Bytes(bank.begin(), bank.end() - 1); }},
        {"one byte long", false, edited(bank, [](Bytes& c) { c.push_back(0); })},
        {"magic", false, edited(bank, [](Bytes& c) { c[0] = 'X'; })},
        {"version", false, edited(bank, [](Bytes& c) { c[4] = 2; })},
        {"length field", false, edited(bank, [](Bytes& c) { c[8] ^= 1; })},
        {"program chunk as bank", false, [&] { return program; }},
        {"bank chunk as program", true, [&] { return bank; }},
        {"program count", false, edited(bank, [](Bytes& c) { c[20] = 127; })},
        {"value count", false, edited(bank, [](Bytes& c) { c[24] = 40; })},
        {"current program", false, edited(bank, [](Bytes& c) { c[16] = 128; })},
        {"value above 1", false, edited(bank, [](Bytes& c) { putFloat(c, valueAt(5, Param::Cutoff), 1.5f); })},
        {"negative value", true, edited(program, [](Bytes& c) { putFloat(c, valueAt(0, Param::Volume), -0.1f); })},
        {"NaN", false, edited(bank, [](Bytes& c) { putFloat(c, valueAt(127, Param::Polyphony), NAN); })},
        {"Osc1On between", false, edited(bank, [](Bytes& c) { putFloat(c, valueAt(3, Param::Osc1On), 1.5f); })},
        {"Osc1On 3", true, edited(program, [](Bytes& c) { putFloat(c, valueAt(0, Param::Osc1On), 3.0f); })},
        {"name of 24", false, edited(bank, [](Bytes& c) { std::memset(&c[kFirstProgram], 'a', 24); })},
        {"name control", false, edited(bank, [](Bytes& c) { c[kFirstProgram + 2] = 0x01; })},
        {"name UTF-8", true, edited(program, [](Bytes& c) { c[kFirstProgram + 1] = 0xC3; })},
        {"bytes after name", false, edited(bank, [](Bytes& c) { c[kFirstProgram + 23] = 'z'; })},
        // What a host saved before the instrument had chunks: 39 parameter values.
        {"host parameter list", false, [] { return Bytes(39 * 4, 0); }},
        {"VST bank file", false, edited(bank, [](Bytes& c) { std::memcpy(c.data(), "CcnK", 4); })},
    };
    auto target = makePlugin();
    target->setProgram(3);
    const Bytes before = chunkOf(*target, false);
    for (const Fault& fault : faults) {
        EXPECT_EQ(restore(*target, fault.make(), fault.isPreset), 0) << fault.name;
        EXPECT_EQ(target->getProgram(), 3) << fault.name;
        EXPECT_EQ(chunkOf(*target, false), before) << fault.name;
    }
    // The unaltered chunks pass the same checks and bring the edited program back.
    EXPECT_EQ(restore(*target, bank, false), 1);
    EXPECT_EQ(restore(*target, program, true), 1);
    EXPECT_EQ(target->getProgram(), 37);
    EXPECT_EQ(chunkOf(*target, false), bank);
}

// "Load preset" in a host: the program chunk goes into the program playing
// now, whichever it was saved from, and every other program stays as it was.
TEST(ProgramChunk, APresetLoadsIntoTheCurrentProgramAndTouchesNoOther) {
    auto plugin = makePlugin();
    plugin->setProgram(5);
    const Bytes preset = chunkOf(*plugin, true);
    const ProgramRecord saved = plugin->instrument().programRecord(5);
    editSound(*plugin);   // edits and renames program 37
    plugin->setProgram(5);
    plugin->instrument().setParameter(Param::Drive, 0.77f);
    plugin->instrument().renameProgram("Five, edited");
    const ProgramRecord editedFive = plugin->instrument().programRecord(5);
    plugin->setProgram(12);
    const Bytes bankBefore = chunkOf(*plugin, false);

    ASSERT_EQ(restore(*plugin, preset, true), 1);
    EXPECT_EQ(plugin->getProgram(), 12);
    const ProgramRecord twelve = plugin->instrument().programRecord(12);
    auto same = [](const ProgramRecord& x, const ProgramRecord& y) {
        return std::memcmp(x.fields, y.fields, sizeof x.fields) == 0 && std::strcmp(x.name, y.name) == 0;
    };
    EXPECT_TRUE(same(twelve, saved)) << "program 12 holds the preset";
    const ProgramRecord five = plugin->instrument().programRecord(5);
    EXPECT_TRUE(same(five, editedFive)) << "program 5 keeps its edits";
    Bytes bankAfter = chunkOf(*plugin, false);
    const size_t twelveAt = kFirstProgram + 12 * program_chunk::kProgramSize;
    std::copy(bankBefore.begin() + twelveAt, bankBefore.begin() + twelveAt + program_chunk::kProgramSize, bankAfter.begin() + twelveAt);
    EXPECT_EQ(bankAfter, bankBefore) << "no program but the current one changed";
}
