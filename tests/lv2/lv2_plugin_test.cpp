#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <set>

#include "engine/engine.h"
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

World& world() {
    static World w(VORZLE_BINARY_DIR "/lv2/Vorzle.lv2");
    return w;
}

ProgramBank& factoryBank() {
    static ProgramBank bank;
    static bool loaded = (bank.loadFactoryBank(), true);
    (void)loaded;
    return bank;
}

void setPortsToProgram(Instance& instance, int32_t program) {
    for (int32_t p = 0; p < Param::Polyphony; ++p)
        instance.controls[p] = portFromStored(p, ProgramBank::loadValue(factoryBank().programs[program], p));
}

// Notes, a controller that moves a parameter, bend, a program change and a
// panic message, spread over five blocks, some on a block's first or last frame.
const std::vector<std::vector<Event>> kSong = {
    {{0, {0x90, 60, 100}}, {37, {0x90, 64, 90}}, {300, {0xB0, 12, 30}}},
    {{5, {0x80, 60, 0}}, {200, {0xE0, 0x00, 0x60}}, {511, {0x90, 67, 110}}},
    {{100, {0xC0, 3}}, {101, {0x90, 48, 100}}, {102, {0xB0, 73, 5}}},
    {},
    {{1, {0xB0, 123, 0}}, {400, {0x90, 72, 80}}},
};

std::vector<Event> atFrameZero(std::vector<Event> events) {
    for (Event& e : events) e.frame = 0;
    return events;
}

struct Render {
    std::vector<float> left, right;
};

Render renderLv2(const std::vector<std::vector<Event>>& song, int32_t program) {
    Instance instance(world(), kRate);
    setPortsToProgram(instance, program);
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
        EXPECT_EQ(minimum[i], kPortInfo[p].minimum) << symbol;
        EXPECT_EQ(maximum[i], kPortInfo[p].maximum) << symbol;
        if (i < Port::kFirstPlaying) {
            EXPECT_EQ(defaults[i], portDefault(p)) << symbol;
            EXPECT_TRUE(defaults[i] >= minimum[i] && defaults[i] <= maximum[i]) << symbol;
        }
    }
    EXPECT_EQ(names.size(), 2u * kNumParameters);
    EXPECT_EQ(symbols.size(), 2u * kNumParameters);
    EXPECT_EQ(names.count("---"), 0u);
    EXPECT_EQ(names.count("Osc 2 Pitch"), 1u);

    // Every voice count survives the trip into a program and back.
    for (int32_t n = 1; n <= 64; ++n) {
        EXPECT_EQ(voiceLimit(storedFromPort(Param::Polyphony, static_cast<float>(n))), n);
        EXPECT_EQ(portFromStored(Param::Polyphony, storedFromPort(Param::Polyphony, static_cast<float>(n))), n);
    }

    // The presets: the factory programs, value for value, named and in banks.
    LilvNode* presetClass = lilv_new_uri(w.world, LV2_PRESETS__Preset);
    LilvNode* label = lilv_new_uri(w.world, LILV_NS_RDFS "label");
    LilvNode* bankProperty = lilv_new_uri(w.world, LV2_PRESETS__bank);
    LilvNodes* presets = lilv_plugin_get_related(w.plugin, presetClass);
    EXPECT_EQ(lilv_nodes_size(presets), 128u);
    int32_t checked = 0;
    LILV_FOREACH (nodes, it, presets) {
        const LilvNode* preset = lilv_nodes_get(presets, it);
        lilv_world_load_resource(w.world, preset);
        const std::string uri = lilv_node_as_uri(preset);
        const int32_t k = std::atoi(uri.substr(uri.rfind(':') + 1).c_str());
        const ProgramRecord& program = factoryBank().programs[k];
        LilvNode* name = lilv_world_get(w.world, preset, label, nullptr);
        LilvNode* bank = lilv_world_get(w.world, preset, bankProperty, nullptr);
        LilvNode* bankName = bank ? lilv_world_get(w.world, bank, label, nullptr) : nullptr;
        EXPECT_STREQ(name ? lilv_node_as_string(name) : "", program.name) << uri;
        EXPECT_NE(bankName, nullptr) << uri;
        lilv_node_free(name);
        lilv_node_free(bank);
        lilv_node_free(bankName);

        LilvState* state = lilv_state_new_from_world(w.world, &w.urids.mapFeature, preset);
        ASSERT_NE(state, nullptr) << uri;
        EXPECT_EQ(lilv_state_get_num_properties(state), 0u);
        struct Seen {
            const ProgramRecord* program;
            int32_t count = 0;
            LV2_URID floatType;
        } seen{&program, 0, w.urids.map(LV2_ATOM__Float)};
        lilv_state_emit_port_values(
            state,
            [](const char* symbol, void* user, const void* value, uint32_t, uint32_t type) {
                auto& s = *static_cast<Seen*>(user);
                for (int32_t p = 0; p < kNumParameters; ++p) {
                    if (std::string(symbol) != kPortInfo[p].symbol) continue;
                    ASSERT_EQ(type, s.floatType);
                    EXPECT_EQ(*static_cast<const float*>(value), ProgramBank::loadValue(*s.program, p)) << symbol;
                    ++s.count;
                }
            },
            &seen);
        EXPECT_EQ(seen.count, Param::Polyphony) << uri << ": every parameter but the player's voice count";
        lilv_state_free(state);
        ++checked;
    }
    EXPECT_EQ(checked, 128);
    lilv_nodes_free(presets);
    lilv_node_free(presetClass);
    lilv_node_free(label);
    lilv_node_free(bankProperty);
}

// Each event plays on its own frame: the plug-in renders what the engine
// renders when it is called for the stretches between the events.
TEST(Lv2Plugin, EventsPlayOnTheirFramesAsTheEngineRenderedPiecewise) {
    const int32_t program = 0;
    const Render lv2 = renderLv2(kSong, program);

    ProgramBank bank;
    bank.loadFactoryBank();
    Engine engine(bank);
    engine.setSampleRate(static_cast<float>(kRate));
    engine.selectProgram(program);
    std::vector<float> left(kSong.size() * kBlock), right(left.size());
    uint32_t start = 0;
    for (const auto& block : kSong) {
        uint32_t done = 0;
        for (const Event& e : block) {
            if (e.frame > done) engine.render(&left[start + done], &right[start + done], e.frame - done, true);
            done = e.frame;
            const uint8_t bytes[3] = {e.bytes[0], e.bytes[1], e.bytes.size() > 2 ? e.bytes[2] : uint8_t{0}};
            engine.handleMidiMessage(bytes);
        }
        engine.render(&left[start + done], &right[start + done], kBlock - done, true);
        start += kBlock;
    }
    EXPECT_GT(signal_checks::peak(lv2.left), 0.05f);
    EXPECT_TRUE(lv2.left == left) << "left channel differs from the engine rendered piecewise";
    EXPECT_TRUE(lv2.right == right);

    // The frames matter: the same events at each block's start sound otherwise.
    std::vector<std::vector<Event>> early;
    for (const auto& block : kSong) early.push_back(atFrameZero(block));
    EXPECT_FALSE(renderLv2(early, program).left == lv2.left);
}

// The VST 2 module takes a block's events at its start; with every event on
// a block's first frame both formats render the same samples.
TEST(Lv2Plugin, RendersWhatTheVst2ModuleRendersForEventsAtBlockStarts) {
    for (int32_t program : {0, 57, 101}) {
        std::vector<std::vector<Event>> song;
        for (const auto& block : kSong) song.push_back(atFrameZero(block));
        const Render lv2 = renderLv2(song, program);

        PluginModule module;
        std::string error;
        ASSERT_TRUE(module.load(defaultPluginPath(), error)) << error;
        auto vst = PluginInstance::create(module.entry(), error);
        ASSERT_TRUE(vst) << error;
        vst->dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
        vst->dispatch(effMainsChanged, 0, 1);
        vst->dispatch(effSetProgram, 0, program);
        std::vector<float> left(song.size() * kBlock), right(left.size());
        for (size_t b = 0; b < song.size(); ++b) {
            std::vector<MidiMessage> messages;
            for (const Event& e : song[b])
                messages.push_back({e.bytes[0], e.bytes[1], e.bytes.size() > 2 ? e.bytes[2] : uint8_t{0}, 0});
            if (!messages.empty()) vst->sendMidi(messages);
            vst->processReplacing(&left[b * kBlock], &right[b * kBlock], kBlock);
        }
        vst->close();
        EXPECT_GT(signal_checks::peak(left), 0.05f) << program;
        EXPECT_TRUE(lv2.left == left) << "program " << program;
        EXPECT_TRUE(lv2.right == right) << "program " << program;
    }
}

// A port the host changes writes its parameter; MIDI moves a parameter until
// the host next changes its port; the playing outputs always say what plays.
TEST(Lv2Plugin, HostPortsAndMidiFollowOneRule) {
    Instance instance(world(), kRate);
    ASSERT_TRUE(instance.valid());
    const float cc30 = 30 * 0.007874016f;
    const ProgramRecord& five = factoryBank().programs[5];
    struct Step {
        const char* what;
        std::vector<Event> events;
        int32_t port;    // a control to set first, -1 for none
        float value;
        int32_t checked;
        float playing;
    } steps[] = {
        {"defaults play", {}, -1, 0, Param::Cutoff, 0.58f},
        {"controller 12 moves the cutoff", {{10, {0xB0, 12, 30}}}, -1, 0, Param::Cutoff, cc30},
        {"an unchanged port leaves it", {}, -1, 0, Param::Cutoff, cc30},
        {"a port unchanged since MIDI, set again, is no change", {}, Param::Cutoff, 0.58f, Param::Cutoff, cc30},
        {"a changed port takes it back", {}, Param::Cutoff, 0.3f, Param::Cutoff, 0.3f},
        {"a program change moves every parameter", {{0, {0xC0, 5}}}, -1, 0, Param::Cutoff,
         ProgramBank::loadValue(five, Param::Cutoff)},
        {"...and leaves the player's voice count", {}, -1, 0, Param::Polyphony, 64.0f},
        {"another port leaves the program's cutoff", {}, Param::Volume, 0.9f, Param::Cutoff,
         ProgramBank::loadValue(five, Param::Cutoff)},
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
    EXPECT_EQ(instance.playing[Param::AmpAttack], ProgramBank::loadValue(five, Param::AmpAttack));
}

namespace {

// The host's side of state: a property store that tests can damage.
struct Property {
    LV2_URID type;
    std::vector<uint8_t> bytes;
};
using Properties = std::map<LV2_URID, Property>;

LV2_State_Status storeProperty(LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type,
                               uint32_t) {
    const auto* bytes = static_cast<const uint8_t*>(value);
    (*static_cast<Properties*>(handle))[key] = {type, std::vector<uint8_t>(bytes, bytes + size)};
    return LV2_STATE_SUCCESS;
}

const void* retrieveProperty(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) {
    auto& properties = *static_cast<Properties*>(handle);
    const auto found = properties.find(key);
    if (found == properties.end()) return nullptr;
    *size = found->second.bytes.size();
    *type = found->second.type;
    *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    return found->second.bytes.data();
}

const LV2_State_Interface& stateInterface(Instance& instance) {
    return *static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(instance.instance, LV2_STATE__interface));
}

const void* portValue(const char* symbol, void* user, uint32_t* size, uint32_t* type) {
    auto& instance = *static_cast<Instance*>(user);
    *size = sizeof(float);
    *type = instance.world.urids.map(LV2_ATOM__Float);
    for (int32_t p = 0; p < kNumParameters; ++p)
        if (std::string(symbol) == kPortInfo[p].symbol) return &instance.controls[p];
    return nullptr;
}

void setPortValue(const char* symbol, void* user, const void* value, uint32_t, uint32_t) {
    auto& instance = *static_cast<Instance*>(user);
    for (int32_t p = 0; p < kNumParameters; ++p)
        if (std::string(symbol) == kPortInfo[p].symbol) instance.controls[p] = *static_cast<const float*>(value);
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
    saved.run(kBlock, notes);
    restored.run(kBlock, notes);
    for (int b = 0; b < 3; ++b) {
        saved.run(kBlock);
        restored.run(kBlock);
    }
    EXPECT_GT(signal_checks::peak(saved.left), 0.05f);
    EXPECT_TRUE(saved.left == restored.left) << "a restored session sounds otherwise";
    for (int32_t p = 0; p < kNumParameters; ++p) EXPECT_EQ(restored.playing[p], saved.playing[p]) << kPortInfo[p].symbol;
    EXPECT_EQ(restored.playing[Param::Cutoff], 99 * 0.007874016f);

    // Damaged or foreign state changes nothing; empty state is a fresh instance's.
    Properties good;
    const LV2_State_Interface& iface = stateInterface(restored);
    ASSERT_EQ(iface.save(restored.instance->lv2_handle, storeProperty, &good, 0, nullptr), LV2_STATE_SUCCESS);
    const LV2_URID program = w.urids.map("urn:harvane:vorzle#program");
    const LV2_URID sound = w.urids.map("urn:harvane:vorzle#sound");
    const LV2_URID seen = w.urids.map("urn:harvane:vorzle#portsSeen");
    const size_t at = sizeof(LV2_Atom_Vector_Body);   // the first value of a vector
    const float nan = NAN, big = 1000.0f;
    const LV2_URID intType = w.urids.map(LV2_ATOM__Int);
    const std::pair<const char*, std::function<void(Properties&)>> damages[] = {
        {"program of another type", [&](Properties& s) { s[program].type = w.urids.map(LV2_ATOM__Float); }},
        {"program out of range", [&](Properties& s) { s[program].bytes[0] = 200; }},
        {"a value short", [&](Properties& s) { s[sound].bytes.resize(s[sound].bytes.size() - 4); }},
        {"a value not a number", [&](Properties& s) { std::memcpy(&s[sound].bytes[at], &nan, 4); }},
        {"vector of integers", [&](Properties& s) { std::memcpy(&s[sound].bytes[4], &intType, 4); }},
        {"sound missing", [&](Properties& s) { s.erase(sound); }},
        {"a port value beyond its range", [&](Properties& s) { std::memcpy(&s[seen].bytes[at], &big, 4); }},
    };
    const std::vector<float> before(restored.playing, restored.playing + kNumParameters);
    for (const auto& [what, damage] : damages) {
        Properties broken = good;
        damage(broken);
        EXPECT_NE(iface.restore(restored.instance->lv2_handle, retrieveProperty, &broken, 0, nullptr), LV2_STATE_SUCCESS)
            << what;
        restored.run(16);
        EXPECT_TRUE(std::vector<float>(restored.playing, restored.playing + kNumParameters) == before) << what;
    }
    Properties empty;
    EXPECT_EQ(iface.restore(restored.instance->lv2_handle, retrieveProperty, &empty, 0, nullptr), LV2_STATE_SUCCESS);
    restored.run(16);
    for (int32_t p = 0; p < kNumParameters; ++p)
        EXPECT_EQ(restored.playing[p], restored.controls[p]) << "after an empty state the ports play: " << kPortInfo[p].symbol;
}

// The free-running cutoff LFO and chorus restart when the transport starts:
// a playback sounds the same however long the host ran the plug-in before.
TEST(Lv2Plugin, TransportStartRestartsTheFreeRunningModulators) {
    const std::vector<Event> play = {{7, {}, 1.0f}, {7, {0x90, 45, 100}}, {300, {0x90, 52, 100}}};
    Render first, later;
    for (int idleBlocks : {0, 37}) {
        Instance instance(world(), kRate);
        setPortsToProgram(instance, 0);
        instance.controls[Param::LfoAmount] = 0.9f;   // a deep LFO, so that its phase shows
        instance.run(kBlock, {{0, {}, 0.0f}});
        for (int b = 0; b < idleBlocks; ++b) instance.run(kBlock);
        const size_t start = instance.left.size();
        instance.run(kBlock, play);
        for (int b = 0; b < 8; ++b) instance.run(kBlock, b == 3 ? std::vector<Event>{{0, {}, 1.0f}} : std::vector<Event>{});
        Render& r = idleBlocks ? later : first;
        r.left.assign(instance.left.begin() + static_cast<long>(start), instance.left.end());
        r.right.assign(instance.right.begin() + static_cast<long>(start), instance.right.end());
    }
    EXPECT_GT(signal_checks::peak(first.left), 0.05f);
    EXPECT_TRUE(first.left == later.left && first.right == later.right);

    // Without a transport start the idle time shows.
    Instance idle(world(), kRate);
    setPortsToProgram(idle, 0);
    idle.controls[Param::LfoAmount] = 0.9f;
    for (int b = 0; b < 38; ++b) idle.run(kBlock);
    const size_t start = idle.left.size();
    idle.run(kBlock, {play[1], play[2]});
    EXPECT_FALSE(std::equal(first.left.begin(), first.left.begin() + kBlock, idle.left.begin() + static_cast<long>(start)));
}

TEST(Lv2Plugin, RunNeitherAllocatesNorRefusesAnyBlock) {
    Instance instance(world(), kRate);
    instance.left.reserve(8192);
    instance.right.reserve(8192);
    instance.run(kBlock);
    const uint32_t sizes[] = {1, 44, 45, 1000, 4096};
    std::vector<std::vector<Event>> blocks;
    for (uint32_t n : sizes)
        blocks.push_back({{0, {0x90, 60, 100}}, {n - 1, {0xC0, static_cast<uint8_t>(n % 128)}}, {n + 5, {0x80, 60, 0}}});
    AllocationCounter counter;
    for (size_t i = 0; i < blocks.size(); ++i) {
        instance.controls[Param::Osc1Sine] += 0.1f;   // a shape change rebuilds a wavetable
        instance.controls[Param::Polyphony] = static_cast<float>(sizes[i] % 64 + 1);
        instance.run(sizes[i], blocks[i]);
    }
    EXPECT_EQ(counter.count(), 0u);
    EXPECT_TRUE(signal_checks::allFinite(instance.left));
}
