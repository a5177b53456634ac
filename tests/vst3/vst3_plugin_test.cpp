#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "instrument/instrument.h"
#if !defined(_WIN32)
#include "lv2/port_layout.h"
#endif
#if !defined(_WIN32)
#include "tests/native/allocation_hooks.h"
#endif
#include "tests/shared/signal_checks.h"
#include "tests/vst3/vst3_test_host.h"
#include "vsthost/plugin_instance.h"
#include "vsthost/plugin_module.h"

// The VST 3 plug-in as hosts load it (the bundle's module through its
// factory), held against the VST 2 module of the same build, the LV2
// plug-in's names and the format's rules. Built natively and for Windows,
// where it loads both Windows modules under Wine.

using namespace vst3_test;

namespace {

constexpr double kRate = 44100.0;
constexpr int32_t kBlock = 512;
constexpr ParamID kProgram = 1000;

struct Midi {
    int32_t frame;
    uint8_t bytes[3];
};
using Song = std::vector<std::vector<Midi>>;
// A parameter change inside a block: (frame, parameter, stored value).
struct Change {
    int32_t frame;
    int32_t parameter;
    float value;
};
using Automation = std::vector<std::vector<Change>>;

// Notes, a controller that moves a parameter, bend, a program change and a
// panic message, spread over five blocks, some on a block's first or last frame.
const Song kSong = {
    {{0, {0x90, 60, 100}}, {37, {0x90, 64, 90}}, {300, {0xB0, 12, 30}}},
    {{5, {0x80, 60, 0}}, {200, {0xE0, 0x00, 0x60}}, {511, {0x90, 67, 110}}},
    {{100, {0xC0, 3}}, {101, {0x90, 48, 100}}, {102, {0xB0, 73, 5}}},
    {},
    {{1, {0xB0, 123, 0}}, {400, {0x90, 72, 80}}},
};

// Cutoff and resonance moved inside blocks, one change on a note's frame.
const Automation kAutomation = {
    {{10, Param::Cutoff, 0.2f}, {300, Param::Resonance, 0.7f}},
    {{0, Param::Cutoff, 0.9f}, {511, Param::Cutoff, 0.1f}},
    {{101, Param::Cutoff, 0.5f}, {250, Param::Volume, 0.3f}},
    {{64, Param::Osc1On, 0.0f}},
    {},
};

struct Render {
    std::vector<float> left, right;
    explicit Render(size_t blocks) : left(blocks * kBlock), right(blocks * kBlock) {}
    bool operator==(const Render&) const = default;
};

#if defined(_WIN32)
const std::string kBundleModule = programDirectory() + "..\\vst3\\Vorzle.vst3\\Contents\\" +
                                  (sizeof(void*) == 8 ? "x86_64-win" : "x86-win") + "\\Vorzle.vst3";
const std::string kVst2Module = defaultPluginPath();
#else
const std::string kBundleModule = VORZLE_BINARY_DIR "/vst3/Vorzle.vst3/Contents/x86_64-linux/Vorzle.so";
const std::string kVst2Module = VORZLE_BINARY_DIR "/bin/Vorzle.so";
#endif

Module& module() { return Module::once(kBundleModule); }

// What a host does with MIDI for a VST 3 instrument: notes go as events;
// controllers, bend and program changes as the parameters the plug-in maps
// them to.
void translate(Plugin& plugin, const std::vector<Midi>& block, Events& events, Changes& changes) {
    for (const Midi& m : block) {
        switch (m.bytes[0] & 0xF0) {
        case 0x90: events.noteOn(m.frame, m.bytes[1], m.bytes[2] / 127.0f); break;
        case 0x80: events.noteOff(m.frame, m.bytes[1]); break;
        case 0xB0: changes.add(plugin.mapped(m.bytes[1]), m.frame, m.bytes[2] / 127.0); break;
        case 0xE0: changes.add(plugin.mapped(kPitchBend), m.frame, (m.bytes[2] * 128 + m.bytes[1]) / 16383.0); break;
        case 0xC0: changes.add(kProgram, m.frame, m.bytes[1] / 127.0); break;
        }
    }
}

double normalized(int32_t parameter, float stored) { return parameter == Param::Osc1On ? stored / 2.0 : stored; }

Render renderVst3(const Song& song, int32_t program, const Automation& automation = {}) {
    Plugin plugin(module().factory);
    Render out(song.size());
    if (!plugin.ready() || !plugin.start(kRate, kBlock)) return out;
    for (size_t b = 0; b < song.size(); ++b) {
        Events events;
        Changes changes;
        if (b == 0) changes.add(kProgram, 0, program / 127.0);
        translate(plugin, song[b], events, changes);
        if (b < automation.size())
            for (const Change& c : automation[b]) changes.add(c.parameter, c.frame, normalized(c.parameter, c.value));
        plugin.process(&out.left[b * kBlock], &out.right[b * kBlock], kBlock, &events, &changes);
    }
    return out;
}

// The VST 2 module.
Render renderVst2(const Song& song, int32_t program) {
    PluginModule vst2;
    std::string error;
    Render out(song.size());
    EXPECT_TRUE(vst2.load(kVst2Module, error)) << error;
    auto vst = PluginInstance::create(vst2.entry(), error);
    if (!vst) return ADD_FAILURE() << error, out;
    vst->dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
    vst->dispatch(effMainsChanged, 0, 1);
    vst->dispatch(effSetProgram, 0, program);
    for (size_t b = 0; b < song.size(); ++b) {
        std::vector<MidiMessage> messages;
        for (const Midi& m : song[b]) messages.push_back({m.bytes[0], m.bytes[1], m.bytes[2], m.frame});
        if (!messages.empty()) vst->sendMidi(messages);
        vst->processReplacing(&out.left[b * kBlock], &out.right[b * kBlock], kBlock);
    }
    vst->close();
    return out;
}

// The instrument itself, each block rendered in pieces with every message
// played and every value stored between them: what a change on its sample means.
Render renderPiecewise(const Song& song, int32_t program, const Automation& automation) {
    Instrument synth(static_cast<float>(kRate));
    synth.selectProgram(program);
    Render out(song.size());
    for (size_t b = 0; b < song.size(); ++b) {
        int32_t done = 0;
        auto renderTo = [&](int32_t to) {
            synth.render(&out.left[b * kBlock + done], &out.right[b * kBlock + done], to - done, true);
            done = to;
        };
        const std::vector<Change> changes = b < automation.size() ? automation[b] : std::vector<Change>{};
        size_t c = 0;
        auto changesUpTo = [&](int32_t frame) {
            for (; c < changes.size() && changes[c].frame <= frame; ++c) {
                renderTo(changes[c].frame);
                synth.setParameter(changes[c].parameter, changes[c].value);
            }
        };
        for (const Midi& m : song[b]) {
            // A program change plays before the values of its frame, other messages after them.
            if ((m.bytes[0] & 0xF0) != 0xC0) changesUpTo(m.frame);
            renderTo(m.frame);
            synth.playMidiNow(m.bytes);
        }
        changesUpTo(kBlock);
        renderTo(kBlock);
    }
    return out;
}

}  // namespace

TEST(Vst3Plugin, FactoryDescribesOneInstrumentWithItsBuses) {
    IPluginFactory* factory = module().factory;
    ASSERT_TRUE(factory);
    PFactoryInfo info{};
    ASSERT_EQ(factory->getFactoryInfo(&info), kResultOk);
    EXPECT_STREQ(info.vendor, "Harvane");
    ASSERT_EQ(factory->countClasses(), 1);
    auto* factory3 = query<IPluginFactory3>(factory);
    ASSERT_TRUE(factory3);
    PClassInfoW wide{};
    ASSERT_EQ(factory3->getClassInfoUnicode(0, &wide), kResultOk);
    EXPECT_EQ(text(wide.name), "Vorzle");
    EXPECT_STREQ(wide.category, "Audio Module Class");
    EXPECT_STREQ(wide.subCategories, "Instrument|Synth");

    Plugin plugin(factory);
    ASSERT_TRUE(plugin.ready());
    struct Bus { MediaType type; BusDirection dir; int32_t count; int32_t channels; } buses[] = {
        {kAudio, kOutput, 1, 2}, {kEvent, kInput, 1, 16}, {kAudio, kInput, 0, 0}, {kEvent, kOutput, 0, 0}};
    for (const Bus& bus : buses) {
        BusInfo info{};
        EXPECT_EQ(plugin.component->getBusCount(bus.type, bus.dir), bus.count);
        EXPECT_EQ(plugin.component->getBusInfo(bus.type, bus.dir, 0, info) == kResultOk ? info.channelCount : 0, bus.channels);
    }
    SpeakerArrangement arrangement = 0;
    EXPECT_EQ(plugin.processor->getBusArrangement(kOutput, 0, arrangement), kResultOk);
    EXPECT_EQ(arrangement, kStereo);
}

// The 39 parameters under the panel's names (the LV2 plug-in's), automatable,
// switches stepped; the program as the one program-change parameter whose
// unit's list names the 128 programs; MIDI helpers hidden from automation.
TEST(Vst3Plugin, ParametersAndProgramListAreWhatHostsShow) {
    Plugin plugin(module().factory);
    ASSERT_TRUE(plugin.ready());
    const int32_t count = plugin.controller->getParameterCount();
    int32_t programChanges = 0, automatable = 0;
    for (int32_t i = 0; i < count; ++i) {
        vst3::ParameterInfo info{};
        ASSERT_EQ(plugin.controller->getParameterInfo(i, info), kResultOk);
        if (info.flags & vst3::ParameterInfo::kCanAutomate) ++automatable;
        if (info.flags & vst3::ParameterInfo::kIsProgramChange) {
            ++programChanges;
            EXPECT_EQ(info.stepCount, 127);
            EXPECT_EQ(info.id, kProgram);
        }
        if (i >= kNumParameters) continue;
        EXPECT_EQ(info.id, static_cast<ParamID>(i));
#if !defined(_WIN32)
        EXPECT_EQ(text(info.title), kPortInfo[i].name);
        const int32_t steps[] = {0, 1, 2, 63};   // by LV2 port kind
        EXPECT_EQ(info.stepCount, steps[static_cast<int>(kPortInfo[i].kind)]) << kPortInfo[i].name;
#endif
    }
    EXPECT_EQ(programChanges, 1);
    EXPECT_EQ(automatable, kNumParameters + 1);

    auto* units = query<IUnitInfo>(plugin.component);
    ASSERT_TRUE(units);
    UnitInfo unit{};
    ASSERT_EQ(units->getUnitInfo(0, unit), kResultOk);
    ProgramListInfo list{};
    ASSERT_EQ(units->getProgramListInfo(0, list), kResultOk);
    EXPECT_EQ(list.id, unit.programListId);
    EXPECT_EQ(list.programCount, 128);
    PluginModule vst2;
    std::string error;
    ASSERT_TRUE(vst2.load(kVst2Module, error)) << error;
    auto vst = PluginInstance::create(vst2.entry(), error);
    ASSERT_TRUE(vst);
    for (int32_t p = 0; p < 128; ++p) {
        String128 name{};
        ASSERT_EQ(units->getProgramName(list.id, p, name), kResultOk);
        EXPECT_EQ(text(name), vst->programName(p)) << p;
    }
    // The display text is the panel's, as the VST 2 module shows it.
    for (int32_t p : {Param::Cutoff, Param::Osc1Pitch, Param::LfoRate, Param::Osc2On}) {
        String128 shown{};
        plugin.controller->getParamStringByValue(p, plugin.controller->getParamNormalized(p), shown);
        EXPECT_EQ(text(shown), vst->paramDisplay(p)) << p;
    }
    units->release();
    vst->close();
}

// Same events at the same frames: the same samples as the VST 2 module for
// MIDI through the host's mapping, and automation inside blocks taking
// effect on its sample.
TEST(Vst3Plugin, RendersWhatTheVst2ModuleRendersForTheSameEventsAtTheSameFrames) {
    for (int32_t program : {0, 57, 101}) {
        const Render vst3 = renderVst3(kSong, program);
        EXPECT_GT(signal_checks::peak(vst3.left), 0.05f) << program;
        EXPECT_TRUE(vst3 == renderVst2(kSong, program)) << "program " << program;
    }
    // Parameters do nothing through the VST 2 module: the instrument itself
    // is the reference for automation.
    const Render automated = renderVst3(kSong, 7, kAutomation);
    EXPECT_TRUE(automated == renderPiecewise(kSong, 7, kAutomation)) << "automation inside blocks";
    Automation atStarts = kAutomation;
    for (auto& block : atStarts)
        for (Change& c : block) c.frame = 0;
    EXPECT_FALSE(renderVst3(kSong, 7, atStarts) == automated) << "the frames of the changes must matter";
}

#if !defined(_WIN32)
// The audio path as a real-time probe sees it: blocks with notes, mapped
// controllers and bend, program changes and automation inside them neither
// allocate, lock nor wait.
TEST(Vst3Plugin, ProcessNeitherAllocatesLocksNorWaits) {
    Plugin plugin(module().factory);
    ASSERT_TRUE(plugin.ready() && plugin.start(kRate, kBlock));
    Render out(kSong.size());
    std::vector<Events> events(kSong.size());
    std::vector<Changes> changes(kSong.size());
    for (size_t b = 0; b < kSong.size(); ++b) {
        translate(plugin, kSong[b], events[b], changes[b]);
        for (const Change& c : kAutomation[b]) changes[b].add(c.parameter, c.frame, normalized(c.parameter, c.value));
        changes[b].add(kProgram, 7, (b * 29 % 128) / 127.0);
        changes[b].add(Param::Polyphony, 9, b / 63.0);
    }
    uint64_t allocations = 0, locks = 0, waits = 0;
    for (size_t b = 0; b < kSong.size(); ++b) {
        AudioPathProbe probe;
        plugin.process(&out.left[b * kBlock], &out.right[b * kBlock], kBlock, &events[b], &changes[b]);
        allocations += probe.allocations(), locks += probe.locks(), waits += probe.waits();
    }
    EXPECT_GT(signal_checks::peak(out.left), 0.05f);
    EXPECT_EQ(allocations, 0u);
    EXPECT_EQ(locks, 0u);
    EXPECT_EQ(waits, 0u);
}
#endif

// A host change writes its parameter; MIDI moves it until the host next
// changes it; what MIDI or a program moved goes back to the host.
TEST(Vst3Plugin, HostChangesAndMidiFollowTheLv2Rule) {
    Plugin plugin(module().factory);
    ASSERT_TRUE(plugin.ready() && plugin.start(kRate, 64));
    std::vector<float> left(64), right(64);
    auto block = [&](ParamID id, double value) {   // one change at the block's start; what the plug-in reported
        Changes in, out;
        in.add(id, 0, value);
        EXPECT_EQ(plugin.process(left.data(), right.data(), 64, nullptr, &in, &out), kResultOk);
        return out;
    };
    EXPECT_FLOAT_EQ(block(plugin.mapped(12), 30 / 127.0).last(Param::Cutoff), 30 * 0.007874016f)
        << "controller 12 moves the cutoff and says so";
    EXPECT_EQ(block(Param::Cutoff, 0.25).last(Param::Cutoff), -1.0) << "the host takes it back, and hears no echo";
    EXPECT_EQ(plugin.controller->getParamNormalized(Param::Cutoff), 0.25);
    const Changes program = block(kProgram, 5 / 127.0);
    EXPECT_EQ(program.last(kProgram), 5 / 127.0) << "a program moves every value and says so";
    EXPECT_EQ(program.last(Param::Cutoff), plugin.controller->getParamNormalized(Param::Cutoff));
}

// The component state is the VST 2 module's bank chunk; a session restored
// from it plays the same; damaged or foreign state changes nothing.
TEST(Vst3Plugin, StateIsTheVst2ChunkAndDamagedStateIsRefusedWhole) {
    Plugin saved(module().factory);
    ASSERT_TRUE(saved.ready() && saved.start(kRate, kBlock));
    Changes edits;
    for (auto [id, value] : {std::pair{kProgram, 42 / 127.0}, {Param::Cutoff, 0.33}, {Param::Polyphony, 3 / 63.0}})
        edits.add(id, 0, value);
    std::vector<float> left(kBlock), right(kBlock);
    saved.process(left.data(), right.data(), kBlock, nullptr, &edits);
    const std::vector<uint8_t> state = saved.state();
    PluginModule vst2;
    std::string error;
    ASSERT_TRUE(vst2.load(kVst2Module, error)) << error;
    auto vst = PluginInstance::create(vst2.entry(), error);
    ASSERT_TRUE(vst);
    ASSERT_EQ(vst->dispatch(effSetChunk, 0, static_cast<intptr_t>(state.size()), const_cast<uint8_t*>(state.data())), 1);
    uint8_t* chunk = nullptr;
    const intptr_t size = vst->dispatch(effGetChunk, 0, 0, &chunk);
    EXPECT_EQ(std::vector<uint8_t>(chunk, chunk + size), state) << "the VST 2 module saves these bytes back";
    vst->close();
    Plugin restored(module().factory);
    ASSERT_TRUE(restored.ready());
    MemoryStream stream(state);
    ASSERT_EQ(restored.component->setState(&stream), kResultOk);
    EXPECT_EQ(restored.state(), state);
    EXPECT_EQ(restored.controller->getParamNormalized(kProgram), 42 / 127.0);
    EXPECT_FLOAT_EQ(restored.controller->getParamNormalized(Param::Cutoff), 0.33f);

    std::vector<uint8_t> foreign(state.size(), 0x5A), flipped = state, truncated(state.begin(), state.begin() + state.size() / 2);
    flipped[state.size() / 3] ^= 0xFF;
    for (const std::vector<uint8_t>& damaged : {foreign, flipped, truncated, std::vector<uint8_t>(3, 0)}) {
        MemoryStream bad(damaged);
        EXPECT_EQ(restored.component->setState(&bad), kResultFalse);
        EXPECT_EQ(restored.state(), state) << "a refused state changes nothing";
    }
}

// Hostile hosts: each call gets a clear refusal or a clamp, never a crash,
// and what plays stays finite.
TEST(Vst3Plugin, HostileCallsAreRefusedOrClamped) {
    Plugin plugin(module().factory);
    ASSERT_TRUE(plugin.ready());
    std::vector<float> left(8192, 1.0f), right(8192, 1.0f);
    void* none = &plugin;
    const char unknown[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    EXPECT_EQ(plugin.component->queryInterface(unknown, &none), kNoInterface);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(plugin.process(left.data(), right.data(), 64), kNotInitialized) << "process before set-up";
    EXPECT_EQ(plugin.component->setActive(true), kNotInitialized) << "activation before set-up";

    struct Setup { double rate; int32_t block; tresult expected; } setups[] = {
        {0.0, 512, kInvalidArgument}, {-44100.0, 512, kInvalidArgument}, {NAN, 512, kInvalidArgument},
        {1e9, 512, kInvalidArgument}, {44100.0, 0, kInvalidArgument}, {44100.0, -5, kInvalidArgument},
        {8000.0, 1, kResultOk}, {384000.0, 8192, kResultOk}, {48000.0, 8192, kResultOk}};
    for (const Setup& s : setups) EXPECT_EQ(plugin.setUp(s.rate, s.block), s.expected) << s.rate << " " << s.block;
    ProcessSetup doubles{kRealtime, kSample64, 512, 44100.0};
    EXPECT_EQ(plugin.processor->setupProcessing(doubles), kInvalidArgument);
    EXPECT_EQ(plugin.processor->canProcessSampleSize(kSample64), kResultFalse);
    SpeakerArrangement mono = 1;
    EXPECT_EQ(plugin.processor->setBusArrangements(nullptr, 0, &mono, 1), kResultFalse);
    BusInfo bus{};
    EXPECT_EQ(plugin.component->getBusInfo(kAudio, kOutput, 5, bus), kInvalidArgument);
    vst3::ParameterInfo info{};
    EXPECT_EQ(plugin.controller->getParameterInfo(-1, info), kInvalidArgument);
    EXPECT_EQ(plugin.controller->getParameterInfo(9999, info), kInvalidArgument);
    EXPECT_EQ(plugin.controller->setParamNormalized(12345, 0.5), kInvalidArgument);
    EXPECT_EQ(plugin.controller->createView("no such view"), nullptr);
    EXPECT_EQ(plugin.component->setState(nullptr), kInvalidArgument);

    ASSERT_EQ(plugin.component->setActive(true), kResultOk);
    EXPECT_EQ(plugin.component->setActive(true), kResultFalse) << "activated twice";
    EXPECT_EQ(plugin.setUp(44100.0, 512), kResultFalse) << "set-up while active";
    EXPECT_EQ(plugin.process(left.data(), right.data(), -1), kInvalidArgument);

    Events wild;
    for (auto [at, pitch] : {std::pair{-50, 60}, {100000, 64}, {3, 300}}) wild.noteOn(at, static_cast<int16_t>(pitch), 2.0f);
    wild.noteOff(7, -4);
    Changes beyond;
    for (double v : {-1.0, 2.0, double(NAN), 1e300}) beyond.add(Param::Cutoff, 10, v), beyond.add(kProgram, 5, v);
    beyond.add(Param::Resonance, -9, 0.5);
    beyond.add(Param::Volume, 99999, 0.8);
    beyond.add(777, 0, 0.5);
    EXPECT_EQ(plugin.process(left.data(), right.data(), 8192, &wild, &beyond), kResultOk);
    EXPECT_TRUE(signal_checks::allFinite(left) && signal_checks::allFinite(right));
    EXPECT_GT(signal_checks::peak(left), 0.0f) << "clamped notes play";
    EXPECT_EQ(plugin.controller->getParamNormalized(Param::Cutoff), 1.0) << "1e300 clamped to the top";
    EXPECT_EQ(plugin.controller->getParamNormalized(Param::Volume), 0.8f) << "a late change lands on the last frame";
    for (int32_t frames : {1, 0, 7, 8192}) EXPECT_EQ(plugin.process(left.data(), right.data(), frames), kResultOk);
    EXPECT_EQ(plugin.process(nullptr, nullptr, 64, &wild), kResultOk) << "no buffers";
    EXPECT_EQ(plugin.component->setActive(false), kResultOk);
    EXPECT_EQ(plugin.process(left.data(), right.data(), 64), kNotInitialized) << "process after deactivation";
}

#if defined(_WIN32)
namespace {

// The panel's control of a class for parameter, or null.
HWND controlOf(HWND editor, const char* className, int32_t parameter) {
    for (HWND w = GetWindow(editor, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        char name[64] = {};
        GetClassNameA(w, name, sizeof name);
        if (std::strcmp(name, className) == 0 && GetWindowLongPtrA(w, GWLP_USERDATA) == parameter) return w;
    }
    return nullptr;
}

}  // namespace

// The panel as the plug-in's view in a host's HWND: a button's click and a
// knob's drag reach the host as begin/perform/end edits.
TEST(Vst3Plugin, PanelOpensInAHostWindowAndReportsEdits) {
    Plugin plugin(module().factory);
    ASSERT_TRUE(plugin.ready());
    IPlugView* view = plugin.controller->createView("editor");
    ASSERT_TRUE(view);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultTrue);
    HWND host = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 800, 600,
                                nullptr, nullptr, nullptr, nullptr);
    ASSERT_EQ(view->attached(host, kPlatformTypeHWND), kResultOk);
    HWND editor = GetWindow(host, GW_CHILD);
    HWND chorus = controlOf(editor, "TRELLUXMUTTONCLASS", Param::Chorus);
    HWND cutoff = controlOf(editor, "TRELLUXMKNOBCLASS", Param::Cutoff);
    ASSERT_TRUE(editor && chorus && cutoff);
    SendMessageA(chorus, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_EQ(plugin.handler.calls, (std::vector<std::string>{"begin 6", "perform 6", "end 6"}));
    plugin.handler.calls.clear();
    RECT r;
    GetWindowRect(cutoff, &r);
    SetCursorPos(r.left + 20, r.top + 20);
    SendMessageA(cutoff, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SetCursorPos(r.left + 20, r.top);
    SendMessageA(cutoff, WM_MOUSEMOVE, MK_LBUTTON, 0);
    SendMessageA(cutoff, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(plugin.handler.calls, (std::vector<std::string>{"begin 8", "perform 8", "end 8"}));
    EXPECT_EQ(plugin.handler.lastValue, plugin.controller->getParamNormalized(Param::Cutoff));
    EXPECT_EQ(view->removed(), kResultOk);
    EXPECT_FALSE(GetWindow(host, GW_CHILD)) << "the panel leaves the host's window";
    view->release();
    DestroyWindow(host);
}
#endif
