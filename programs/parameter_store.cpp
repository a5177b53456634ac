#include <atomic>

#include "../editor/synth_editor.h"
#include "../host/synth_plugin.h"

float SynthPlugin::loadValue(const ProgramRecord& program, int32_t parameter) {
    float& value = const_cast<ProgramRecord&>(program).valueOf(parameter);
    return std::atomic_ref<float>(value).load(std::memory_order_relaxed);
}

void SynthPlugin::writeValue(ProgramRecord& program, int32_t parameter, float value) {
    std::atomic_ref<float>(program.valueOf(parameter)).store(value, std::memory_order_relaxed);
}

int32_t SynthPlugin::currentProgramIndex() {
    std::atomic_ref<int32_t> current(curProgram);
    int32_t index = current.load();
    if (index >= kNumPrograms) {
        index = kNumPrograms - 1;
        current.store(index);
    } else if (index < 0) {
        // Nothing selects a negative program; should one arrive, it must not index before the array.
        index = 0;
        current.store(index);
    }
    return index;
}

ProgramRecord& SynthPlugin::currentProgram() { return programs[currentProgramIndex()]; }

void SynthPlugin::storeParameter() {
    storeParameter(std::atomic_ref<int32_t>(storeIndex).load(), std::atomic_ref<float>(storeValue).load());
}

void SynthPlugin::storeParameter(int32_t index, float value) {
    // The shared members only record the latest store; the store itself works
    // from its arguments, so stores from two threads never mix.
    std::atomic_ref<int32_t>(storeIndex).store(index, std::memory_order_relaxed);
    std::atomic_ref<float>(storeValue).store(value, std::memory_order_relaxed);
    if (!programs) return;
    ProgramRecord& program = currentProgram();
    if (index < 0 || index >= kNumParameters) return;

    writeValue(program, index, value);
    if (const uint8_t bit = kParameters[index].rebuildBit) dirtyFlags.fetch_or(bit);

    if (index == Polyphony) {
        // A new voice limit stops every voice at once, without release.
        ControlScope scope(renderGate);
        for (Voice& voice : voices) voice.active = 0;
        noteCounter = 0;
    }
}

float SynthPlugin::readParameter(int32_t index) {
    if (!programs || index < 0 || index >= kNumParameters) return 0.0f;
    return loadValue(currentProgram(), index);
}

void SynthPlugin::editorSetParameter(float value, int32_t index) {
    storeParameter(index, value);
    if (!editor) return;
    SynthEditor* panel = static_cast<SynthEditor*>(editor);
    if (index >= AmpAttack && index <= AmpRelease) panel->refreshDisplay(DISPLAY_ENVELOPE);
    else if (index >= Osc1Level && index <= Osc1Shift) panel->refreshDisplay(DISPLAY_WAVE_1);
    else if (index >= Osc2Level && index <= Osc2Shift) panel->refreshDisplay(DISPLAY_WAVE_2);
    else if (index >= Osc3Level && index <= Osc3Shift) panel->refreshDisplay(DISPLAY_WAVE_3);
    panel->refreshDisplay(DISPLAY_READOUT);
}
