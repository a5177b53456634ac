#include "vst3/vst3_plugin.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "programs/parameter_display.h"
#include "vst3/utf16.h"
#include "vst3/view.h"

using namespace vst3;

const Uid Vst3Plugin::kClassId{0x43484060, 0x792D4875, 0x854E7D92, 0x0FF35F22};

namespace {

// A chunk is a few tens of kilobytes; a stream longer than this is not one.
constexpr int64_t kMaxStateBytes = 1 << 22;

template <typename T>
bool hand(void** obj, T* p) {
    *obj = p;
    return true;
}

}  // namespace

Vst3Plugin::Vst3Plugin() {
    for (auto& v : midiValues) v.store(0.0f, std::memory_order_relaxed);
    // Pitch bend rests in the middle.
    midiValues[vst3params::kMidiCount - 1].store(8192.0f / 16383.0f, std::memory_order_relaxed);
    synth.setChangeListener(this);
}

Vst3Plugin::~Vst3Plugin() { synth.setChangeListener(nullptr); }

tresult Vst3Plugin::queryInterface(const TUID iid, void** obj) {
    if (!obj) return kInvalidArgument;
    *obj = nullptr;
    if (!iid) return kNoInterface;
    const bool found =
        (FUnknown::iid == iid && hand(obj, static_cast<FUnknown*>(static_cast<IComponent*>(this)))) ||
        (IPluginBase::iid == iid && hand(obj, static_cast<IPluginBase*>(static_cast<IComponent*>(this)))) ||
        (IComponent::iid == iid && hand(obj, static_cast<IComponent*>(this))) ||
        (IAudioProcessor::iid == iid && hand(obj, static_cast<IAudioProcessor*>(this))) ||
        (IEditController::iid == iid && hand(obj, static_cast<IEditController*>(this))) ||
        (IMidiMapping::iid == iid && hand(obj, static_cast<IMidiMapping*>(this))) ||
        (IUnitInfo::iid == iid && hand(obj, static_cast<IUnitInfo*>(this))) ||
        (IConnectionPoint::iid == iid && hand(obj, static_cast<IConnectionPoint*>(this))) ||
        (IProcessContextRequirements::iid == iid && hand(obj, static_cast<IProcessContextRequirements*>(this)));
    if (!found) return kNoInterface;
    addRef();
    return kResultOk;
}

uint32_t Vst3Plugin::addRef() { return references.fetch_add(1) + 1; }

uint32_t Vst3Plugin::release() {
    const uint32_t left = references.fetch_sub(1) - 1;
    if (left == 0) delete this;
    return left;
}

// Hosts call initialize once per side; both sides being this object, the
// second call finds the work done.
tresult Vst3Plugin::initialize(FUnknown*) {
    if (initialized) return kResultOk;
    // Every program's tables built here, so that a program change builds none on the audio thread.
    if (!synth.usable() || !synth.keepProgramTablesPrepared()) return kOutOfMemory;
    events.reset(new (std::nothrow) BlockEvent[kMaxBlockEvents]);
    if (!events) return kOutOfMemory;
    for (int32_t i = 0; i < kNumParameters; ++i) reported[i] = synth.parameter(i);
    reportedProgram = synth.program();
    initialized = true;
    return kResultOk;
}

tresult Vst3Plugin::terminate() {
    if (active) setActive(false);
    setComponentHandler(nullptr);
    initialized = false;
    return kResultOk;
}

// The controller is this object: there is no separate class to create.
tresult Vst3Plugin::getControllerClassId(TUID) { return kResultFalse; }

tresult Vst3Plugin::setIoMode(IoMode) { return kResultOk; }

int32_t Vst3Plugin::getBusCount(MediaType type, BusDirection dir) {
    if (type == kAudio && dir == kOutput) return 1;
    if (type == kEvent && dir == kInput) return 1;
    return 0;
}

tresult Vst3Plugin::getBusInfo(MediaType type, BusDirection dir, int32_t index, BusInfo& bus) {
    if (index != 0 || getBusCount(type, dir) == 0) return kInvalidArgument;
    std::memset(&bus, 0, sizeof bus);
    bus.mediaType = type;
    bus.direction = dir;
    bus.channelCount = type == kAudio ? 2 : 16;
    copyUtf16(bus.name, type == kAudio ? "Output" : "MIDI In", 128);
    bus.busType = kMain;
    bus.flags = BusInfo::kDefaultActive;
    return kResultOk;
}

tresult Vst3Plugin::getRoutingInfo(RoutingInfo& in, RoutingInfo& out) {
    if (in.mediaType != kEvent || in.busIndex != 0) return kResultFalse;
    out = RoutingInfo{kAudio, 0, -1};
    return kResultOk;
}

tresult Vst3Plugin::activateBus(MediaType type, BusDirection dir, int32_t index, TBool) {
    return index == 0 && getBusCount(type, dir) > 0 ? kResultOk : kInvalidArgument;
}

// Each activation starts a stream that sounds the same every time.
tresult Vst3Plugin::setActive(TBool state) {
    if (!initialized) return kNotInitialized;
    if ((state != 0) == active) return kResultFalse;
    if (state) {
        if (!setUp) return kNotInitialized;
        synth.startStream();
        transportRolling = false;
    } else {
        synth.reset();
    }
    active = state != 0;
    return kResultOk;
}

// The component state is the chunk the VST 2 plug-in saves for a bank:
// every program and the current one. Anything else is refused whole.
tresult Vst3Plugin::setState(IBStream* state) {
    if (!state) return kInvalidArgument;
    std::vector<uint8_t> bytes;
    uint8_t buffer[4096];
    for (;;) {
        int32_t got = 0;
        if (state->read(buffer, sizeof buffer, &got) != kResultOk || got <= 0) break;
        if (got > static_cast<int32_t>(sizeof buffer)) return kInvalidArgument;
        if (static_cast<int64_t>(bytes.size()) + got > kMaxStateBytes) return kInvalidArgument;
        bytes.insert(bytes.end(), buffer, buffer + got);
        if (got < static_cast<int32_t>(sizeof buffer)) break;
    }
    // A controller state (ours is empty) restores nothing.
    if (bytes.empty()) return kResultOk;
    std::string reason;
    if (!synth.restoreState(bytes.data(), bytes.size(), Instrument::StateScope::Bank, &reason)) {
        std::fprintf(stderr, "Vorzle: state refused: %s\n", reason.c_str());
        return kResultFalse;
    }
    panelStale.store(true, std::memory_order_relaxed);
    return kResultOk;
}

tresult Vst3Plugin::getState(IBStream* state) {
    if (!state) return kInvalidArgument;
    std::vector<uint8_t> bytes;
    if (!synth.saveState(Instrument::StateScope::Bank, bytes)) return kOutOfMemory;
    int32_t written = 0;
    if (state->write(bytes.data(), static_cast<int32_t>(bytes.size()), &written) != kResultOk ||
        written != static_cast<int32_t>(bytes.size()))
        return kResultFalse;
    return kResultOk;
}

// The controller side: the component state is already this object's. The
// controller's setState and getState are the component's functions (one
// override serves both tables), so a controller stream holds the chunk as
// well and restores the same; an empty one restores nothing.
tresult Vst3Plugin::setComponentState(IBStream* state) { return state ? kResultOk : kInvalidArgument; }

tresult Vst3Plugin::setBusArrangements(SpeakerArrangement*, int32_t numIns, SpeakerArrangement* outputs,
                                       int32_t numOuts) {
    if (active) return kResultFalse;
    return numIns == 0 && numOuts == 1 && outputs && outputs[0] == kStereo ? kResultTrue : kResultFalse;
}

tresult Vst3Plugin::getBusArrangement(BusDirection dir, int32_t index, SpeakerArrangement& arr) {
    if (dir != kOutput || index != 0) return kInvalidArgument;
    arr = kStereo;
    return kResultOk;
}

tresult Vst3Plugin::canProcessSampleSize(int32_t size) { return size == kSample32 ? kResultTrue : kResultFalse; }

// Rates the engine can be set to: it stays silent and safe at any positive
// rate it cannot build tables for; none, or an absurd one, is refused.
tresult Vst3Plugin::setupProcessing(ProcessSetup& setup) {
    if (!initialized) return kNotInitialized;
    if (active) return kResultFalse;
    if (setup.symbolicSampleSize != kSample32) return kInvalidArgument;
    if (!(setup.sampleRate >= 1.0 && setup.sampleRate <= 1.0e6) || setup.maxSamplesPerBlock <= 0)
        return kInvalidArgument;
    const float rate = static_cast<float>(setup.sampleRate);
    if (rate != synth.sampleRate()) synth.setSampleRate(rate);
    setUp = true;
    return kResultOk;
}

tresult Vst3Plugin::setProcessing(TBool) { return active ? kResultOk : kNotInitialized; }

uint32_t Vst3Plugin::getTailSamples() {
    // Releases and the delay ring out for a few seconds at most.
    return static_cast<uint32_t>(synth.sampleRate() * 5.0f);
}

// ---------------------------------------------------------------- controller

tresult Vst3Plugin::getParameterInfo(int32_t index, vst3::ParameterInfo& info) {
    const vst3params::Described d = vst3params::atPosition(index);
    if (d.kind == vst3params::Kind::None) return kInvalidArgument;
    std::memset(&info, 0, sizeof info);
    info.id = d.id;
    info.unitId = kRootUnitId;
    char name[32] = {};
    switch (d.kind) {
    case vst3params::Kind::Value:
        vst3params::title(d.index, name, sizeof name);
        info.stepCount = vst3params::stepCount(d.index);
        info.defaultNormalizedValue = vst3params::normalizedFromStored(d.index, kParameters[d.index].defaultValue);
        info.flags = vst3::ParameterInfo::kCanAutomate | (info.stepCount > 0 && info.stepCount < 3 ? vst3::ParameterInfo::kIsList : 0);
        break;
    case vst3params::Kind::Program:
        std::strcpy(name, "Program");
        info.stepCount = Instrument::kNumPrograms - 1;
        info.flags = vst3::ParameterInfo::kCanAutomate | vst3::ParameterInfo::kIsList | vst3::ParameterInfo::kIsProgramChange;
        break;
    case vst3params::Kind::Midi: {
        // Hosts recognise these titles as MIDI mapping helpers and hide them.
        const int32_t controller = vst3params::controllerOfSlot(d.index);
        if (controller == static_cast<int32_t>(vst3params::kPitchBendController))
            std::strcpy(name, "MIDI CC Pitch Bend");
        else
            std::snprintf(name, sizeof name, "MIDI CC %d", controller);
        info.defaultNormalizedValue = midiValues[d.index].load(std::memory_order_relaxed);
        info.flags = vst3::ParameterInfo::kNoFlags;
        break;
    }
    case vst3params::Kind::None:
        break;
    }
    copyUtf16(info.title, name, 128);
    copyUtf16(info.shortTitle, name, 128);
    return kResultOk;
}

tresult Vst3Plugin::getParamStringByValue(ParamID id, ParamValue value, String128 string) {
    if (!string) return kInvalidArgument;
    const vst3params::Described d = vst3params::withId(id);
    char text[64] = {};
    switch (d.kind) {
    case vst3params::Kind::Value: {
        const float stored = vst3params::storedFromNormalized(d.index, value);
        if (d.index == Param::Polyphony) {
            std::snprintf(text, sizeof text, "%d voices", static_cast<int>(std::lround(value * 63.0)) + 1);
        } else if (d.index == Param::Chorus) {
            std::strcpy(text, stored >= 0.5f ? "on" : "off");
        } else {
            // The panel's text for that value: formatted as it would be stored.
            formatParameterDisplay(d.index, stored, synth.sampleRate(), text);
        }
        break;
    }
    case vst3params::Kind::Program: {
        const double clamped = value < 0.0 ? 0.0 : (value > 1.0 ? 1.0 : value);
        const int32_t program = static_cast<int32_t>(std::lround(clamped * (Instrument::kNumPrograms - 1)));
        std::snprintf(text, sizeof text, "%s", synth.programName(program));
        break;
    }
    case vst3params::Kind::Midi:
        std::snprintf(text, sizeof text, "%.0f", value * 127.0);
        break;
    case vst3params::Kind::None:
        return kInvalidArgument;
    }
    copyUtf16(string, text, 128);
    return kResultOk;
}

// Numbers only (the text's first number read as the plain value), and the
// program names.
tresult Vst3Plugin::getParamValueByString(ParamID id, char16* string, ParamValue& value) {
    if (!string) return kInvalidArgument;
    const vst3params::Described d = vst3params::withId(id);
    char text[128] = {};
    asciiFromUtf16(text, string, sizeof text);
    if (d.kind == vst3params::Kind::Program) {
        const int32_t program = synth.findProgram(text);
        if (program < 0) return kResultFalse;
        value = static_cast<double>(program) / (Instrument::kNumPrograms - 1);
        return kResultOk;
    }
    if (d.kind != vst3params::Kind::Value) return kInvalidArgument;
    char* end = nullptr;
    const double plain = std::strtod(text, &end);
    if (end == text || !std::isfinite(plain)) return kResultFalse;
    value = plainParamToNormalized(id, plain);
    return kResultOk;
}

// Plain values: the step for discrete parameters (voices for the voice
// count, the program number), the normalized value otherwise.
ParamValue Vst3Plugin::normalizedParamToPlain(ParamID id, ParamValue value) {
    const vst3params::Described d = vst3params::withId(id);
    const double v = value < 0.0 ? 0.0 : (value > 1.0 ? 1.0 : value);
    if (d.kind == vst3params::Kind::Program) return std::nearbyint(v * (Instrument::kNumPrograms - 1));
    if (d.kind != vst3params::Kind::Value) return v;
    const int32_t steps = vst3params::stepCount(d.index);
    if (steps == 0) return v;
    return std::nearbyint(v * steps) + (d.index == Param::Polyphony ? 1 : 0);
}

ParamValue Vst3Plugin::plainParamToNormalized(ParamID id, ParamValue plain) {
    const vst3params::Described d = vst3params::withId(id);
    double v = plain;
    if (d.kind == vst3params::Kind::Program) v = plain / (Instrument::kNumPrograms - 1);
    if (d.kind == vst3params::Kind::Value) {
        const int32_t steps = vst3params::stepCount(d.index);
        if (steps > 0) v = (plain - (d.index == Param::Polyphony ? 1 : 0)) / steps;
    }
    if (!(v >= 0.0)) return 0.0;
    return v > 1.0 ? 1.0 : v;
}

ParamValue Vst3Plugin::getParamNormalized(ParamID id) {
    const vst3params::Described d = vst3params::withId(id);
    switch (d.kind) {
    case vst3params::Kind::Value: return vst3params::normalizedFromStored(d.index, synth.parameter(d.index));
    case vst3params::Kind::Program:
        return static_cast<double>(synth.program()) / (Instrument::kNumPrograms - 1);
    case vst3params::Kind::Midi: return midiValues[d.index].load(std::memory_order_relaxed);
    case vst3params::Kind::None: break;
    }
    return 0.0;
}

// The host tells the controller what it sends the processor; the processor
// applies it on its sample, so the controller has nothing to change here.
// Above all nothing here may call back into the host (a host choosing a
// program holds its process lock while it calls this).
tresult Vst3Plugin::setParamNormalized(ParamID id, ParamValue) {
    return vst3params::withId(id).kind == vst3params::Kind::None ? kInvalidArgument : kResultOk;
}

tresult Vst3Plugin::setComponentHandler(IComponentHandler* h) {
    if (h == handler) return kResultOk;
    if (h) h->addRef();
    if (handler) handler->release();
    handler = h;
    return kResultOk;
}

IPlugView* Vst3Plugin::createView(FIDString name) {
    if (!name || std::strcmp(name, "editor") != 0 || view) return nullptr;
    view = View::create(*this);
    return view ? view->plugView() : nullptr;
}

void Vst3Plugin::viewClosed() {
    if (editing >= 0) panelEditEnds(editing);
    view = nullptr;
}

tresult Vst3Plugin::getMidiControllerAssignment(int32_t busIndex, int16_t channel, CtrlNumber number, ParamID& id) {
    if (busIndex != 0 || channel < 0 || channel > 15) return kResultFalse;
    const int32_t slot = vst3params::midiSlot(number);
    if (slot < 0) return kResultFalse;
    id = vst3params::kFirstMidiId + static_cast<uint32_t>(number);
    return kResultTrue;
}

tresult Vst3Plugin::getUnitInfo(int32_t index, UnitInfo& info) {
    if (index != 0) return kInvalidArgument;
    std::memset(&info, 0, sizeof info);
    info.id = kRootUnitId;
    info.parentUnitId = kNoParentUnitId;
    copyUtf16(info.name, "Vorzle", 128);
    info.programListId = kProgramListId;
    return kResultOk;
}

tresult Vst3Plugin::getProgramListInfo(int32_t index, ProgramListInfo& info) {
    if (index != 0) return kInvalidArgument;
    std::memset(&info, 0, sizeof info);
    info.id = kProgramListId;
    copyUtf16(info.name, "Programs", 128);
    info.programCount = Instrument::kNumPrograms;
    return kResultOk;
}

tresult Vst3Plugin::getProgramName(ProgramListID list, int32_t program, String128 name) {
    if (list != kProgramListId || program < 0 || program >= Instrument::kNumPrograms || !name)
        return kInvalidArgument;
    copyUtf16(name, synth.programName(program), 128);
    return kResultOk;
}

// ---------------------------------------------------------------- the panel

// A knob turned in the panel plays at once and reaches the host as an edit,
// so that hosts record it as automation.
void Vst3Plugin::setParameterFromPanel(int32_t index, float value) {
    synth.setParameter(index, value);
    if (!handler || index < 0 || index >= kNumParameters) return;
    const bool gesture = editing == index;
    if (!gesture) handler->beginEdit(static_cast<ParamID>(index));
    handler->performEdit(static_cast<ParamID>(index), vst3params::normalizedFromStored(index, synth.parameter(index)));
    if (!gesture) handler->endEdit(static_cast<ParamID>(index));
}

void Vst3Plugin::panelEditBegins(int32_t index) {
    if (editing >= 0) panelEditEnds(editing);
    if (index < 0 || index >= kNumParameters) return;
    editing = index;
    if (handler) handler->beginEdit(static_cast<ParamID>(index));
}

void Vst3Plugin::panelEditEnds(int32_t index) {
    if (index != editing) return;
    editing = -1;
    if (handler) handler->endEdit(static_cast<ParamID>(index));
}
