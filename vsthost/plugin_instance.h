#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "vsthost/plugin_module.h"

// One MIDI message for a plug-in, at an offset inside the next block.
struct MidiMessage {
    uint8_t status;
    uint8_t data1;
    uint8_t data2;
    int32_t deltaFrames = 0;
};

// One instance of a plug-in as a host drives it: creation through the entry
// point with the process's host callback, dispatcher helpers, events and audio.
class PluginInstance {
public:
    // Null with a reason in error when the entry point refuses.
    static std::unique_ptr<PluginInstance> create(VstEntry entry, std::string& error);
    ~PluginInstance();
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    AEffect* effect() const { return record; }
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);
    // A text answer through a zero-filled buffer large enough for any host.
    std::string text(int32_t opcode, int32_t index = 0, intptr_t value = 0);
    std::string programName(int32_t index);
    std::string paramDisplay(int32_t index) { return text(effGetParamDisplay, index); }
    bool hasFlag(int32_t flag) const { return (record->flags & flag) != 0; }

    // Sends one effProcessEvents call holding these messages.
    intptr_t sendMidi(std::span<const MidiMessage> messages);
    intptr_t sendMidi(const std::vector<MidiMessage>& messages) { return sendMidi(std::span(messages)); }
    void processReplacing(float* left, float* right, int32_t frames);
    void process(float* left, float* right, int32_t frames);

    // Sends effClose; the record is gone afterwards.
    void close();

private:
    explicit PluginInstance(AEffect* effect) : record(effect) {}

    AEffect* record;
    std::vector<VstMidiEvent> midiEvents;
    std::vector<unsigned char> eventList;
};
