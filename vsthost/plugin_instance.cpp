#include "vsthost/plugin_instance.h"

#include <cstring>

#include "vsthost/host_callback.h"

std::unique_ptr<PluginInstance> PluginInstance::create(VstEntry entry, std::string& error) {
    if (!entry) {
        error = "no entry point";
        return nullptr;
    }
    AEffect* effect = entry(&Host::callback);
    if (!effect) {
        error = "the plug-in's entry point returned no instance";
        return nullptr;
    }
    if (effect->magic != kEffectMagic) {
        error = "the plug-in returned a record without the VST 2 magic";
        return nullptr;
    }
    return std::unique_ptr<PluginInstance>(new PluginInstance(effect));
}

PluginInstance::~PluginInstance() { close(); }

intptr_t PluginInstance::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    if (!record) return 0;
    return record->dispatcher(record, opcode, index, value, ptr, opt);
}

std::string PluginInstance::text(int32_t opcode, int32_t index, intptr_t value) {
    char buffer[512] = {};
    dispatch(opcode, index, value, buffer);
    buffer[sizeof(buffer) - 1] = '\0';
    return buffer;
}

std::string PluginInstance::programName(int32_t index) {
    char buffer[512] = {};
    dispatch(effGetProgramNameIndexed, index, 0, buffer);
    buffer[sizeof(buffer) - 1] = '\0';
    return buffer;
}

intptr_t PluginInstance::sendMidi(std::span<const MidiMessage> messages) {
    midiEvents.assign(messages.size(), VstMidiEvent{});
    for (size_t i = 0; i < messages.size(); ++i) {
        VstMidiEvent& e = midiEvents[i];
        e.type = kVstMidiType;
        e.byteSize = sizeof(VstMidiEvent);
        e.deltaFrames = messages[i].deltaFrames;
        e.midiData[0] = static_cast<char>(messages[i].status);
        e.midiData[1] = static_cast<char>(messages[i].data1);
        e.midiData[2] = static_cast<char>(messages[i].data2);
    }
    // VstEvents ends in an array of pointers as long as the event count.
    const size_t header = offsetof(VstEvents, events);
    eventList.assign(header + sizeof(VstEvent*) * (messages.size() + 1), 0);
    VstEvents* list = reinterpret_cast<VstEvents*>(eventList.data());
    list->numEvents = static_cast<int32_t>(messages.size());
    VstEvent** slots = reinterpret_cast<VstEvent**>(eventList.data() + header);
    for (size_t i = 0; i < messages.size(); ++i) slots[i] = reinterpret_cast<VstEvent*>(&midiEvents[i]);
    return dispatch(effProcessEvents, 0, 0, list);
}

void PluginInstance::processReplacing(float* left, float* right, int32_t frames) {
    if (!record) return;
    float* outputs[2] = {left, right};
    record->processReplacing(record, nullptr, outputs, frames);
}

void PluginInstance::process(float* left, float* right, int32_t frames) {
    if (!record) return;
    float* outputs[2] = {left, right};
    record->process(record, nullptr, outputs, frames);
}

void PluginInstance::close() {
    if (!record) return;
    record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f);
    record = nullptr;
}
