#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <gtest/gtest.h>

#include "vst3/vst3_abi.h"

// A small VST 3 host for tests: it loads a module, walks its factory, makes
// an instance, sets up its buses and processing, and hands it blocks with
// events and parameter changes. The host's objects live on the test's stack
// and count no references.
namespace vst3_test {

using namespace vst3;

// Answers every query about itself, and no other.
template <typename Interface>
class HostObject : public Interface {
public:
    tresult VST3_API queryInterface(const TUID iid, void** obj) override {
        if (!obj) return kInvalidArgument;
        if (FUnknown::iid == iid || Interface::iid == iid) {
            *obj = static_cast<Interface*>(this);
            return kResultOk;
        }
        *obj = nullptr;
        return kNoInterface;
    }
    uint32_t VST3_API addRef() override { return 1; }
    uint32_t VST3_API release() override { return 1; }
};

class MemoryStream : public HostObject<IBStream> {
public:
    MemoryStream() = default;
    explicit MemoryStream(std::vector<uint8_t> data) : bytes(std::move(data)) {}
    tresult VST3_API read(void* buffer, int32_t n, int32_t* got) override {
        if (n < 0 || !buffer) return kInvalidArgument;
        const size_t count = std::min(static_cast<size_t>(n), bytes.size() - position);
        if (count) std::memcpy(buffer, bytes.data() + position, count);
        position += count;
        if (got) *got = static_cast<int32_t>(count);
        return kResultOk;
    }
    tresult VST3_API write(void* buffer, int32_t n, int32_t* written) override {
        if (n < 0 || (!buffer && n)) return kInvalidArgument;
        const uint8_t* p = static_cast<const uint8_t*>(buffer);
        if (position + n > bytes.size()) bytes.resize(position + n);
        if (n) std::memcpy(bytes.data() + position, p, n);
        position += n;
        if (written) *written = n;
        return kResultOk;
    }
    // The plug-in reads and writes front to back only.
    tresult VST3_API seek(int64_t, int32_t, int64_t*) override { return kNotImplemented; }
    tresult VST3_API tell(int64_t* pos) override { return pos ? (*pos = static_cast<int64_t>(position), kResultOk) : kInvalidArgument; }
    std::vector<uint8_t> bytes;
    size_t position = 0;
};

class ValueQueue : public HostObject<IParamValueQueue> {
public:
    explicit ValueQueue(ParamID id) : id(id) {}
    ParamID VST3_API getParameterId() override { return id; }
    int32_t VST3_API getPointCount() override { return static_cast<int32_t>(points.size()); }
    tresult VST3_API getPoint(int32_t i, int32_t& offset, ParamValue& value) override {
        if (i < 0 || i >= getPointCount()) return kInvalidArgument;
        std::tie(offset, value) = points[i];
        return kResultOk;
    }
    tresult VST3_API addPoint(int32_t offset, ParamValue value, int32_t& index) override {
        index = getPointCount();
        return points.emplace_back(offset, value), kResultOk;
    }
    ParamID id;
    std::vector<std::pair<int32_t, double>> points;
};

class Changes : public HostObject<IParameterChanges> {
public:
    int32_t VST3_API getParameterCount() override { return static_cast<int32_t>(queues.size()); }
    IParamValueQueue* VST3_API getParameterData(int32_t i) override {
        return i >= 0 && i < getParameterCount() ? &queues[i] : nullptr;
    }
    IParamValueQueue* VST3_API addParameterData(const ParamID& id, int32_t& index) override {
        for (size_t i = 0; i < queues.size(); ++i)
            if (queues[i].id == id) return index = static_cast<int32_t>(i), &queues[i];
        index = getParameterCount();
        return &queues.emplace_back(id);
    }
    void add(ParamID id, int32_t offset, double value) {
        int32_t index = 0;
        addParameterData(id, index)->addPoint(offset, value, index);
    }
    // The last value the plug-in reported for id, or -1.
    double last(ParamID id) const {
        for (const ValueQueue& q : queues)
            if (q.id == id && !q.points.empty()) return q.points.back().second;
        return -1.0;
    }
    std::deque<ValueQueue> queues;   // stable addresses
};

class Events : public HostObject<IEventList> {
public:
    int32_t VST3_API getEventCount() override { return static_cast<int32_t>(list.size()); }
    tresult VST3_API getEvent(int32_t i, Event& e) override {
        return i < 0 || i >= getEventCount() ? kInvalidArgument : (e = list[i], kResultOk);
    }
    tresult VST3_API addEvent(Event& e) override { return list.push_back(e), kResultOk; }
    void noteOn(int32_t offset, int16_t pitch, float velocity) {
        Event& e = list.emplace_back(Event{0, offset, 0.0, 0, Event::kNoteOnEvent, {}});
        e.noteOn = NoteOnEvent{0, pitch, 0.0f, velocity, 0, -1};
    }
    void noteOff(int32_t offset, int16_t pitch) {
        Event& e = list.emplace_back(Event{0, offset, 0.0, 0, Event::kNoteOffEvent, {}});
        e.noteOff = NoteOffEvent{0, pitch, 0.0f, -1, 0.0f};
    }
    std::vector<Event> list;
};

// Records the edits the plug-in reports, as "begin 8", "perform 8", "end 8".
class Handler : public HostObject<IComponentHandler> {
public:
    tresult VST3_API beginEdit(ParamID id) override { return log("begin", id); }
    tresult VST3_API performEdit(ParamID id, ParamValue value) override { return lastValue = value, log("perform", id); }
    tresult VST3_API endEdit(ParamID id) override { return log("end", id); }
    tresult VST3_API restartComponent(int32_t) override { return log("restart", 0); }
    tresult log(const char* what, ParamID id) { return calls.push_back(what + (" " + std::to_string(id))), kResultOk; }
    std::vector<std::string> calls;
    double lastValue = -1.0;
};

// A module and its factory; Linux modules get ModuleEntry/ModuleExit,
// Windows ones InitDll/ExitDll.
class Module {
public:
    bool load(const std::string& path, std::string& error) {
#if defined(_WIN32)
        handle = LoadLibraryA(path.c_str());
        if (!handle) return error = "cannot load " + path, false;
        auto symbol = [this](const char* name) { return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name)); };
        auto init = reinterpret_cast<bool (*)()>(symbol("InitDll"));
        auto get = reinterpret_cast<GetFactoryProc>(symbol("GetPluginFactory"));
        exit = reinterpret_cast<bool (*)()>(symbol("ExitDll"));
        if (!init || !get || !exit) return error = "missing InitDll, ExitDll or GetPluginFactory", false;
        if (!init()) return error = "InitDll failed", false;
#else
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) return error = dlerror(), false;
        auto entry = reinterpret_cast<bool (*)(void*)>(dlsym(handle, "ModuleEntry"));
        auto get = reinterpret_cast<GetFactoryProc>(dlsym(handle, "GetPluginFactory"));
        exit = reinterpret_cast<bool (*)()>(dlsym(handle, "ModuleExit"));
        if (!entry || !get || !exit) return error = "missing ModuleEntry, ModuleExit or GetPluginFactory", false;
        if (!entry(handle)) return error = "ModuleEntry failed", false;
#endif
        factory = get();
        return factory ? true : (error = "no factory", false);
    }
    ~Module() {
        if (exit) exit();
#if defined(_WIN32)
        if (handle) FreeLibrary(static_cast<HMODULE>(handle));
#else
        if (handle) dlclose(handle);
#endif
    }
    // The module at path, loaded once for the test program.
    static Module& once(const std::string& path) {
        static Module m;
        static std::string error;
        static const bool loaded = m.load(path, error);
        EXPECT_TRUE(loaded) << path << ": " << error;
        return m;
    }
    IPluginFactory* factory = nullptr;

private:
    void* handle = nullptr;
    bool (*exit)() = nullptr;
};

template <typename T>
T* query(FUnknown* object) {
    void* p = nullptr;
    return object && object->queryInterface(T::iid.bytes, &p) == kResultOk ? static_cast<T*>(p) : nullptr;
}

// One instance, from the factory's first audio module class to processing.
struct Plugin {
    explicit Plugin(IPluginFactory* factory) {
        PClassInfo info{};
        for (int32_t i = 0; factory && i < factory->countClasses(); ++i)
            if (factory->getClassInfo(i, &info) == kResultOk && std::strcmp(info.category, "Audio Module Class") == 0)
                break;
        void* p = nullptr;
        if (!factory || factory->createInstance(info.cid, IComponent::iid.bytes, &p) != kResultOk) return;
        component = static_cast<IComponent*>(p);
        if (component->initialize(&context) != kResultOk) return;
        processor = query<IAudioProcessor>(component);
        controller = query<IEditController>(component);
        if (controller) controller->setComponentHandler(&handler);
    }
    ~Plugin() {
        if (!component) return;
        component->setActive(false);
        if (controller) controller->setComponentHandler(nullptr), controller->release();
        if (processor) processor->release();
        component->terminate(), component->release();
    }
    bool ready() const { return component && processor && controller; }

    tresult setUp(double rate, int32_t maxBlock) {
        SpeakerArrangement stereo = kStereo;
        processor->setBusArrangements(nullptr, 0, &stereo, 1);
        ProcessSetup setup{kRealtime, kSample32, maxBlock, rate};
        return processor->setupProcessing(setup);
    }
    bool start(double rate, int32_t maxBlock) {
        return setUp(rate, maxBlock) == kResultOk && component->setActive(true) == kResultOk &&
               processor->setProcessing(true) == kResultOk;
    }

    // One block into left and right.
    tresult process(float* left, float* right, int32_t frames, Events* events = nullptr, Changes* changes = nullptr,
                    Changes* out = nullptr) {
        float* channels[2] = {left, right};
        AudioBusBuffers bus{2, 0, {channels}};
        ProcessData data{kRealtime, kSample32, frames, 0, 1, nullptr, &bus, changes, out, events, nullptr, nullptr};
        return processor->process(data);
    }

    // The parameter a host maps MIDI controller number to.
    ParamID mapped(int16_t controller) {
        ParamID id = 0xFFFFFFFF;
        if (auto* mapping = query<IMidiMapping>(component)) mapping->getMidiControllerAssignment(0, 0, controller, id), mapping->release();
        return id;
    }
    std::vector<uint8_t> state() {
        MemoryStream stream;
        return component->getState(&stream), stream.bytes;
    }

    HostObject<FUnknown> context;   // a host that offers nothing beyond itself
    Handler handler;
    IComponent* component = nullptr;
    IAudioProcessor* processor = nullptr;
    IEditController* controller = nullptr;
};

inline std::string text(const char16* s) {
    std::string out;
    for (; s && *s; ++s) out += static_cast<char>(*s < 128 ? *s : '?');
    return out;
}

}  // namespace vst3_test
