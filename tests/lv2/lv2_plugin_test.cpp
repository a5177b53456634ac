#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <set>

#include "instrument/instrument.h"
#include "engine/voice_allocation.h"
#include "tests/lv2/lv2_test_host.h"
#include "tests/native/allocation_hooks.h"
#include "tests/shared/signal_checks.h"
#include "vsthost/plugin_instance.h"
#include "vsthost/plugin_module.h"

// The LV2 plug-in as hosts load it (the bundle through lilv), held against
// the parameter table, the factory bank, the engine and the VST 2 module.

using namespace lv2_test;

namespace {

constexpr double kRate = 44100.0;
constexpr uint32_t kBlock = 512;
using Song = std::vector<std::vector<Event>>;

World& world() {
    static World w(VORZLE_BINARY_DIR "/lv2/Vorzle.lv2");
    return w;
}

// Program i of the factory bank.
ProgramRecord factoryProgram(int32_t i) {
    static Instrument factory;
    return factory.programRecord(i);
}

void setPortsToProgram(Instance& instance, int32_t program) {
    for (int32_t p = 0; p < Param::Polyphony; ++p)
        instance.controls[p] = portFromStored(p, factoryProgram(program).valueOf(p));
}

std::vector<float> playingNow(const Instance& instance) { return {instance.playing, instance.playing + kNumParameters}; }

std::array<uint8_t, 3> threeBytes(const Event& e) { return {e.bytes[0], e.bytes[1], e.bytes.size() > 2 ? e.bytes[2] : uint8_t{0}}; }

// Notes, a controller that moves a parameter, bend, a program change and a
// panic message, spread over five blocks, some on a block's first or last frame.
const Song kSong = {
    {{0, {0x90, 60, 100}}, {37, {0x90, 64, 90}}, {300, {0xB0, 12, 30}}},
    {{5, {0x80, 60, 0}}, {200, {0xE0, 0x00, 0x60}}, {511, {0x90, 67, 110}}},
    {{100, {0xC0, 3}}, {101, {0x90, 48, 100}}, {102, {0xB0, 73, 5}}},
    {},
    {{1, {0xB0, 123, 0}}, {400, {0x90, 72, 80}}},
};

Song atBlockStarts(Song song) {
    for (auto& block : song)
        for (Event& e : block) e.frame = 0;
    return song;
}

struct Render {
    std::vector<float> left, right;
    bool operator==(const Render& o) const { return left == o.left && right == o.right; }
};

// Program -1: the ports as a fresh instance has them.
Render renderLv2(const Song& song, int32_t program) {
    Instance instance(world(), kRate);
    if (program >= 0) setPortsToProgram(instance, program);
    for (const auto& block : song) instance.run(kBlock, block);
    return {instance.left, instance.right};
}

}  // namespace

TEST(Lv2Plugin, PortsAndPresetsComeFromTheParameterTableAndTheFactoryBank) {
    World& w = world();
    ASSERT_NE(w.plugin, nullptr);
    ASSERT_EQ(lilv_plugin_get_num_ports(w.plugin), Port::kCount);
    std::vector<float> minimum(Port::kCount), maximum(Port::kCount), defaults(Port::kCount);
    lilv_plugin_get_port_ranges_float(w.plugin, minimum.data(), maximum.data(), defaults.data());
    std::set<std::string> names, symbols;
    for (uint32_t i = Port::kFirstControl; i < Port::kCount; ++i) {
        const int32_t p = static_cast<int32_t>((i - Port::kFirstControl) % kNumParameters);
        const LilvPort* port = lilv_plugin_get_port_by_index(w.plugin, i);
        const std::string symbol = lilv_node_as_string(lilv_port_get_symbol(w.plugin, port));
        LilvNode* name = lilv_port_get_name(w.plugin, port);
        names.insert(lilv_node_as_string(name));
        lilv_node_free(name);
        symbols.insert(symbol);
        EXPECT_TRUE(!std::isdigit(symbol[0]) && symbol.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") == std::string::npos) << symbol;
        EXPECT_TRUE(minimum[i] == kPortInfo[p].minimum && maximum[i] == kPortInfo[p].maximum) << symbol;
        if (i < Port::kFirstPlaying) {
            EXPECT_TRUE(defaults[i] == portDefault(p) && defaults[i] >= minimum[i] && defaults[i] <= maximum[i]) << symbol;
        }
    }
    EXPECT_TRUE(names.size() == 2u * kNumParameters && symbols.size() == 2u * kNumParameters && !names.count("---"));

    // Every voice count survives the trip into a program and back.
    for (float n = 1; n <= 64; ++n) {
        const float stored = storedFromPort(Param::Polyphony, n);
        EXPECT_TRUE(voiceLimit(stored) == n && portFromStored(Param::Polyphony, stored) == n) << n;
    }

    // The presets: the factory programs, value for value, named and in banks.
    LilvNode* presetClass = lilv_new_uri(w.world, LV2_PRESETS__Preset);
    LilvNode* label = lilv_new_uri(w.world, LILV_NS_RDFS "label");
    LilvNode* bankProperty = lilv_new_uri(w.world, LV2_PRESETS__bank);
    LilvNodes* presets = lilv_plugin_get_related(w.plugin, presetClass);
    const LV2_URID floatType = w.urids.map(LV2_ATOM__Float);
    EXPECT_EQ(lilv_nodes_size(presets), 128u);
    LILV_FOREACH (nodes, it, presets) {
        const LilvNode* preset = lilv_nodes_get(presets, it);
        lilv_world_load_resource(w.world, preset);
        const std::string uri = lilv_node_as_uri(preset);
        const ProgramRecord program = factoryProgram(std::atoi(uri.substr(uri.rfind(':') + 1).c_str()));
        LilvNode* name = lilv_world_get(w.world, preset, label, nullptr);
        LilvNode* bank = lilv_world_get(w.world, preset, bankProperty, nullptr);
        LilvNode* bankName = bank ? lilv_world_get(w.world, bank, label, nullptr) : nullptr;
        EXPECT_STREQ(name ? lilv_node_as_string(name) : "", program.name) << uri;
        EXPECT_NE(bankName, nullptr) << uri;
        for (LilvNode* node : {name, bank, bankName}) lilv_node_free(node);

        LilvState* state = lilv_state_new_from_world(w.world, &w.urids.mapFeature, preset);
        ASSERT_NE(state, nullptr) << uri;
        EXPECT_EQ(lilv_state_get_num_properties(state), 0u);
        using PortValues = std::map<std::string, std::pair<uint32_t, float>>;   // symbol: type, value
        PortValues values;
        lilv_state_emit_port_values(state, [](const char* symbol, void* user, const void* value, uint32_t, uint32_t type) {
            (*static_cast<PortValues*>(user))[symbol] = {type, *static_cast<const float*>(value)};
        }, &values);
        for (int32_t p = 0; p < kNumParameters; ++p) {
            const auto found = values.find(kPortInfo[p].symbol);
            const bool player = p == Param::Polyphony;   // the voice count is the player's, not the preset's
            EXPECT_TRUE(player ? found == values.end() : found != values.end() && found->second == std::pair(floatType, ProgramBank::loadValue(program, p)))
                << uri << ' ' << kPortInfo[p].symbol;
        }
        lilv_state_free(state);
    }
    lilv_nodes_free(presets);
    for (LilvNode* node : {presetClass, label, bankProperty}) lilv_node_free(node);
}

// Each event plays on its own frame: the plug-in renders what the engine
// renders when it is called for the stretches between the events.
TEST(Lv2Plugin, EventsPlayOnTheirFramesAsTheEngineRenderedPiecewise) {
    Instrument engine(static_cast<float>(kRate));
    Render piecewise{std::vector<float>(kSong.size() * kBlock), std::vector<float>(kSong.size() * kBlock)};
    for (uint32_t start = 0, b = 0; b < kSong.size(); ++b, start += kBlock) {
        uint32_t done = 0;
        for (const Event& e : kSong[b]) {
            engine.render(&piecewise.left[start + done], &piecewise.right[start + done], e.frame - done, true);
            done = e.frame;
            engine.playMidiNow(threeBytes(e).data());
        }
        engine.render(&piecewise.left[start + done], &piecewise.right[start + done], kBlock - done, true);
    }
    const Render lv2 = renderLv2(kSong, 0);
    EXPECT_GT(signal_checks::peak(lv2.left), 0.05f);
    EXPECT_TRUE(lv2 == piecewise) << "the plug-in differs from the engine rendered piecewise";
    EXPECT_FALSE(renderLv2(atBlockStarts(kSong), 0) == lv2) << "the frames must matter in this song";
}

// Both formats play each event on its frame: the same song renders the same
// samples through the VST 2 module. A fresh instance with its port defaults
// is program 0, and a host preset set on the ports is no program: a MIDI
// program change (0 included) plays the factory's program, as in VST 2.
TEST(Lv2Plugin, RendersWhatTheVst2ModuleRendersForTheSameEventsAtTheSameFrames) {
    PluginModule module;
    std::string error;
    ASSERT_TRUE(module.load(defaultPluginPath(), error)) << error;
    const int32_t walkingBass = Instrument().findProgram("Walking Bass");
    ASSERT_GT(walkingBass, 0);
    Song fromProgram0 = kSong;
    fromProgram0[0].insert(fromProgram0[0].begin(), Event{0, {0xC0, 0}});
    // The program both start from (-1: a fresh LV2 instance, its ports at their defaults).
    const struct { const char* what; int32_t program; const Song& song; } cases[] = {
        {"fresh instance", -1, kSong},
        {"program 0 on the ports", 0, kSong},
        {"program 57", 57, kSong},
        {"program 101", 101, kSong},
        {"a host preset, then program change 0", walkingBass, fromProgram0},
    };
    for (const auto& c : cases) {
        auto vst = PluginInstance::create(module.entry(), error);
        ASSERT_TRUE(vst) << error;
        vst->dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
        vst->dispatch(effMainsChanged, 0, 1);
        if (c.program >= 0) vst->dispatch(effSetProgram, 0, c.program);
        Render rendered{std::vector<float>(c.song.size() * kBlock), std::vector<float>(c.song.size() * kBlock)};
        for (size_t b = 0; b < c.song.size(); ++b) {
            std::vector<MidiMessage> messages;
            for (const Event& e : c.song[b]) messages.push_back({threeBytes(e)[0], threeBytes(e)[1], threeBytes(e)[2], static_cast<int32_t>(e.frame)});
            if (!messages.empty()) vst->sendMidi(messages);
            vst->processReplacing(&rendered.left[b * kBlock], &rendered.right[b * kBlock], kBlock);
        }
        vst->close();
        EXPECT_GT(signal_checks::peak(rendered.left), 0.05f) << c.what;
        EXPECT_TRUE(renderLv2(c.song, c.program) == rendered) << c.what;
    }
}

// A port the host changes writes its parameter; MIDI moves a parameter until
// the host next changes its port; the playing outputs always say what plays.
TEST(Lv2Plugin, HostPortsAndMidiFollowOneRule) {
    Instance instance(world(), kRate);
    ASSERT_TRUE(instance.instance);
    const float cc30 = 30 * 0.007874016f, fiveCutoff = factoryProgram(5).valueOf(Param::Cutoff);
    // A control to set first (port -1 for none) and the events, then what a playing output says.
    struct Step { const char* what; std::vector<Event> events; int32_t port; float value; int32_t checked; float playing; } steps[] = {
        {"controller 12 moves the cutoff", {{10, {0xB0, 12, 30}}}, -1, 0, Param::Cutoff, cc30},
        {"an unchanged port leaves it", {}, -1, 0, Param::Cutoff, cc30},
        {"a port unchanged since MIDI, set again, is no change", {}, Param::Cutoff, portDefault(Param::Cutoff), Param::Cutoff, cc30},
        {"a changed port takes it back", {}, Param::Cutoff, 0.3f, Param::Cutoff, 0.3f},
        {"a program change moves every parameter", {{0, {0xC0, 5}}}, -1, 0, Param::Cutoff, fiveCutoff},
        {"...and leaves the player's voice count", {}, -1, 0, Param::Polyphony, portDefault(Param::Polyphony)},
        {"another port leaves the program's cutoff", {}, Param::Volume, 0.9f, Param::Cutoff, fiveCutoff},
        {"...and sets its own", {}, -1, 0, Param::Volume, 0.9f},
        {"a port beyond its range is pulled in", {}, Param::Resonance, 5.0f, Param::Resonance, 1.0f},
        {"not a number is not taken", {}, Param::Resonance, NAN, Param::Resonance, 1.0f},
        {"a voice count is whole", {}, Param::Polyphony, 7.4f, Param::Polyphony, 7.0f},
    };
    for (const Step& step : steps) {
        if (step.port >= 0) instance.controls[step.port] = step.value;
        instance.run(64, step.events);
        EXPECT_EQ(instance.playing[step.checked], step.playing) << step.what;
    }
    EXPECT_EQ(instance.controls[Param::Cutoff], 0.3f) << "the plug-in never writes its input ports";
    EXPECT_EQ(instance.playing[Param::AmpAttack], factoryProgram(5).valueOf(Param::AmpAttack));
}

namespace {

// The host's side of state: a property store that tests can damage, and the ports lilv saves and restores.
using Properties = std::map<LV2_URID, std::pair<LV2_URID, std::vector<uint8_t>>>;

LV2_State_Status storeProperty(LV2_State_Handle store, uint32_t key, const void* value, size_t size, uint32_t type, uint32_t) {
    (*static_cast<Properties*>(store))[key] = {type, {static_cast<const uint8_t*>(value), static_cast<const uint8_t*>(value) + size}};
    return LV2_STATE_SUCCESS;
}

const void* retrieveProperty(LV2_State_Handle store, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) {
    const auto found = static_cast<Properties*>(store)->find(key);
    if (found == static_cast<Properties*>(store)->end()) return nullptr;
    std::tie(*size, *type, *flags) = std::tuple(found->second.second.size(), found->second.first, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
    return found->second.second.data();
}

const void* portValue(const char* symbol, void* user, uint32_t* size, uint32_t* type) {
    std::tie(*size, *type) = std::pair(uint32_t{sizeof(float)}, world().urids.map(LV2_ATOM__Float));
    const int32_t p = parameterOf(symbol);
    return p < 0 ? nullptr : &static_cast<Instance*>(user)->controls[p];
}

void setPortValue(const char* symbol, void* user, const void* value, uint32_t, uint32_t) {
    if (const int32_t p = parameterOf(symbol); p >= 0) static_cast<Instance*>(user)->controls[p] = *static_cast<const float*>(value);
}

}  // namespace

// Saved through lilv as a session would be and restored into a fresh
// instance, the sound is the same: ports, the program and what MIDI moved.
TEST(Lv2Plugin, StateRestoresTheSoundAndRefusesForeignOrDamagedState) {
    World& w = world();
    Instance saved(w, kRate);
    setPortsToProgram(saved, 12);
    saved.controls[Param::Osc2Shift] = 0.25f;
    saved.controls[Param::Polyphony] = 3.0f;
    // Empty blocks: the set-up must not move the cutoff LFO the fresh instance starts from.
    saved.run(0, {{0, {0xC0, 40}}, {0, {0xB0, 12, 99}}});
    saved.controls[Param::Drive] = 0.4f;
    saved.run(0);

    LilvState* state = lilv_state_new_from_instance(w.plugin, saved.instance, &w.urids.mapFeature, nullptr, nullptr,
                                                    nullptr, nullptr, portValue, &saved, 0, nullptr);
    ASSERT_NE(state, nullptr);
    char* text = lilv_state_to_string(w.world, &w.urids.mapFeature, &w.urids.unmapFeature, state, "urn:test:saved", nullptr);
    lilv_state_free(state);
    Instance restored(w, kRate);
    LilvState* reread = lilv_state_new_from_string(w.world, &w.urids.mapFeature, text);
    ASSERT_NE(reread, nullptr) << text;
    lilv_state_restore(reread, restored.instance, setPortValue, &restored, 0, w.urids.features);
    lilv_state_free(reread);
    lilv_free(text);

    const std::vector<Event> notes = {{3, {0x90, 50, 100}}, {90, {0x90, 57, 70}}, {91, {0x90, 62, 70}}, {92, {0x90, 65, 70}}};
    for (int b = 0; b < 4; ++b)
        for (Instance* i : {&saved, &restored}) i->run(kBlock, b ? std::vector<Event>{} : notes);
    EXPECT_GT(signal_checks::peak(saved.left), 0.05f);
    EXPECT_TRUE(saved.left == restored.left) << "a restored session sounds otherwise";
    EXPECT_TRUE(playingNow(restored) == playingNow(saved));
    EXPECT_EQ(restored.playing[Param::Cutoff], 99 * 0.007874016f) << "what MIDI moved is part of the state";

    // Damaged or foreign state changes nothing; empty state is a fresh instance's.
    Properties good;
    const auto& iface = *static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(restored.instance, LV2_STATE__interface));
    ASSERT_EQ(iface.save(restored.instance->lv2_handle, storeProperty, &good, 0, nullptr), LV2_STATE_SUCCESS);
    const LV2_URID program = w.urids.map("urn:harvane:vorzle#program"), sound = w.urids.map("urn:harvane:vorzle#sound"),
                   seen = w.urids.map("urn:harvane:vorzle#portsSeen"), intType = w.urids.map(LV2_ATOM__Int);
    const size_t at = sizeof(LV2_Atom_Vector_Body);   // the first value of a vector
    const float nan = NAN, big = 1000.0f, minusOne = -1.0f;
    const std::pair<const char*, std::function<void(Properties&)>> damages[] = {
        {"program of another type", [&](Properties& s) { s[program].first = w.urids.map(LV2_ATOM__Float); }},
        {"program out of range", [&](Properties& s) { s[program].second[0] = 200; }},
        {"a value short", [&](Properties& s) { s[sound].second.resize(s[sound].second.size() - 4); }},
        {"a value not a number", [&](Properties& s) { std::memcpy(&s[sound].second[at], &nan, 4); }},
        {"vector of integers", [&](Properties& s) { std::memcpy(&s[sound].second[4], &intType, 4); }},
        {"sound missing", [&](Properties& s) { s.erase(sound); }},
        {"a port value beyond its range", [&](Properties& s) { std::memcpy(&s[seen].second[at], &big, 4); }},
        {"a value playing beyond its range", [&](Properties& s) { std::memcpy(&s[sound].second[at + 4 * Param::AmpSustain], &big, 4); }},
        {"a value playing below its range", [&](Properties& s) { std::memcpy(&s[sound].second[at + 4 * Param::Resonance], &minusOne, 4); }},
    };
    const std::vector<float> before = playingNow(restored);
    for (const auto& [what, damage] : damages) {
        Properties broken = good;
        damage(broken);
        EXPECT_NE(iface.restore(restored.instance->lv2_handle, retrieveProperty, &broken, 0, nullptr), LV2_STATE_SUCCESS) << what;
        restored.run(16);
        EXPECT_TRUE(playingNow(restored) == before) << what;
    }
    Properties empty;
    EXPECT_EQ(iface.restore(restored.instance->lv2_handle, retrieveProperty, &empty, 0, nullptr), LV2_STATE_SUCCESS);
    restored.run(16);
    EXPECT_TRUE(playingNow(restored) == std::vector<float>(restored.controls, restored.controls + kNumParameters)) << "after an empty state the ports play";
}

// The free-running cutoff LFO and chorus restart when the transport starts:
// a playback sounds the same however long the host ran the plug-in before.
TEST(Lv2Plugin, TransportStartRestartsTheFreeRunningModulators) {
    auto playback = [](int idleBlocks, bool transportStarts) {
        Instance instance(world(), kRate);
        setPortsToProgram(instance, 0);
        instance.controls[Param::LfoAmount] = 0.9f;   // a deep LFO, so that its phase shows
        instance.run(kBlock, {{0, {}, 0.0f}});
        for (int b = 0; b < idleBlocks; ++b) instance.run(kBlock);
        const long start = static_cast<long>(instance.left.size());
        std::vector<Event> play = {{7, {0x90, 45, 100}}, {300, {0x90, 52, 100}}};
        if (transportStarts) play.insert(play.begin(), Event{7, {}, 1.0f});
        instance.run(kBlock, play);
        for (int b = 0; b < 8; ++b) instance.run(kBlock, b == 3 && transportStarts ? std::vector<Event>{{0, {}, 1.0f}} : std::vector<Event>{});
        return Render{{instance.left.begin() + start, instance.left.end()}, {instance.right.begin() + start, instance.right.end()}};
    };
    const Render first = playback(0, true);
    EXPECT_GT(signal_checks::peak(first.left), 0.05f);
    EXPECT_TRUE(first == playback(37, true));
    EXPECT_FALSE(std::equal(first.left.begin(), first.left.begin() + kBlock, playback(37, false).left.begin())) << "without a transport start the idle time shows";
}

TEST(Lv2Plugin, RunNeitherAllocatesNorRefusesAnyBlock) {
    Instance instance(world(), kRate);
    instance.left.reserve(8192);
    instance.right.reserve(8192);
    instance.run(kBlock);
    const uint32_t sizes[] = {1, 44, 45, 1000, 4096};
    Song blocks;
    for (uint32_t n : sizes) blocks.push_back({{0, {0x90, 60, 100}}, {n - 1, {0xC0, static_cast<uint8_t>(n % 128)}}, {n + 5, {0x80, 60, 0}}});
    AllocationCounter counter;
    for (size_t i = 0; i < blocks.size(); ++i) {
        instance.controls[Param::Osc1Sine] += 0.1f;   // a shape change rebuilds a wavetable
        instance.controls[Param::Polyphony] = static_cast<float>(sizes[i] % 64 + 1);
        instance.run(sizes[i], blocks[i]);
    }
    EXPECT_EQ(counter.count(), 0u);
    EXPECT_TRUE(signal_checks::allFinite(instance.left));
}

// The audio path of both modules as a real-time probe sees it: no render
// call (with its MIDI and the host's parameter writes) allocates, locks or
// waits, across program changes, shape edits and state restored between
// blocks. The VST 2 module is loaded as hosts load it, the LV2 through lilv.
TEST(AudioPath, NoRenderCallAllocatesLocksOrWaits) {
    struct Step {
        const char* what;
        std::vector<Event> midi;
        int32_t shape = -1;   // a wave-shape parameter the host writes, -1 for none
        float value = 0.0f;
        bool restore = false;   // saved state restored before the block (control side)
    };
    const std::vector<Step> steps = {
        {"notes", {{0, {0x90, 48, 100}}, {9, {0x90, 55, 90}}, {20, {0x90, 60, 80}}}},
        {"program change", {{3, {0xC0, 7}}, {4, {0x90, 52, 100}}}},
        {"shape edit", {}, Param::Osc1Sine, 0.4f},
        {"program change to 0", {{0, {0xC0, 0}}, {1, {0x90, 50, 100}}}},
        {"shape edit and program change", {{30, {0xC0, 101}}}, Param::Osc2Width, 0.7f},
        {"state restored", {{0, {0x90, 57, 100}}}, -1, 0.0f, true},
        {"every program", {}},
    };
    constexpr uint32_t kFrames = 64;
    struct Counts {
        uint64_t allocations = 0, locks = 0, waits = 0;
        void add(const AudioPathProbe& p) { allocations += p.allocations(), locks += p.locks(), waits += p.waits(); }
    };
    auto expectNone = [](const Counts& c, const std::string& where) {
        EXPECT_EQ(c.allocations, 0u) << where;
        EXPECT_EQ(c.locks, 0u) << where;
        EXPECT_EQ(c.waits, 0u) << where;
    };

    // VST 2.
    PluginModule module;
    std::string error;
    ASSERT_TRUE(module.load(defaultPluginPath(), error)) << error;
    auto vst = PluginInstance::create(module.entry(), error);
    ASSERT_TRUE(vst) << error;
    AEffect* effect = vst->effect();
    vst->dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
    vst->dispatch(effMainsChanged, 0, 1);
    std::vector<float> left(kFrames), right(kFrames);
    void* chunk = nullptr;
    const intptr_t chunkSize = vst->dispatch(effGetChunk, 0, 0, &chunk);
    ASSERT_GT(chunkSize, 0);
    const std::vector<uint8_t> saved(static_cast<uint8_t*>(chunk), static_cast<uint8_t*>(chunk) + chunkSize);
    vst->sendMidi(std::vector<MidiMessage>(16, {0xB0, 1, 0, 0}));   // the host's lists, grown once
    vst->processReplacing(left.data(), right.data(), kFrames);
    for (const Step& step : steps) {
        std::vector<MidiMessage> messages;
        for (const Event& e : step.midi) messages.push_back({threeBytes(e)[0], threeBytes(e)[1], threeBytes(e)[2], static_cast<int32_t>(e.frame)});
        if (step.restore) {
            std::vector<uint8_t> copy = saved;
            ASSERT_EQ(vst->dispatch(effSetChunk, 0, static_cast<intptr_t>(copy.size()), copy.data()), 1);
        }
        Counts counts;
        const int rounds = std::string(step.what) == "every program" ? 128 : 1;
        for (int r = 0; r < rounds; ++r) {
            if (rounds > 1) messages = {{0xC0, static_cast<uint8_t>(r), 0, 0}, {0x90, 60, 100, 5}};
            AudioPathProbe probe;
            if (!messages.empty()) vst->sendMidi(messages);
            if (step.shape >= 0) effect->setParameter(effect, step.shape, step.value);
            vst->processReplacing(left.data(), right.data(), kFrames);
            counts.add(probe);
        }
        expectNone(counts, std::string("VST 2: ") + step.what);
    }
    EXPECT_TRUE(signal_checks::allFinite(left));
    vst->close();

    // LV2.
    World& w = world();
    Instance lv2(w, 96000.0);
    lv2.left.reserve(1 << 16);
    lv2.right.reserve(1 << 16);
    lv2.run(kFrames);
    const auto& iface = *static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(lv2.instance, LV2_STATE__interface));
    Properties state;
    ASSERT_EQ(iface.save(lv2.instance->lv2_handle, storeProperty, &state, 0, nullptr), LV2_STATE_SUCCESS);
    for (const Step& step : steps) {
        if (step.restore) ASSERT_EQ(iface.restore(lv2.instance->lv2_handle, retrieveProperty, &state, 0, nullptr), LV2_STATE_SUCCESS);
        Counts counts;
        const int rounds = std::string(step.what) == "every program" ? 128 : 1;
        for (int r = 0; r < rounds; ++r) {
            std::vector<Event> midi = rounds > 1 ? std::vector<Event>{{0, {0xC0, static_cast<uint8_t>(r)}}, {5, {0x90, 60, 100}}} : step.midi;
            if (step.shape >= 0) lv2.controls[step.shape] = step.value;
            AudioPathProbe probe;
            lv2.run(kFrames, midi);
            counts.add(probe);
        }
        expectNone(counts, std::string("LV2: ") + step.what);
    }
    EXPECT_TRUE(signal_checks::allFinite(lv2.left));
}
