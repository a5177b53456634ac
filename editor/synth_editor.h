#pragma once
#include <cstdint>

#include "../host/editor_base.h"

class SynthPlugin;

constexpr int32_t DISPLAY_ENVELOPE = 1;
constexpr int32_t DISPLAY_WAVE_1 = 3;
constexpr int32_t DISPLAY_WAVE_2 = 4;
constexpr int32_t DISPLAY_WAVE_3 = 5;
constexpr int32_t DISPLAY_READOUT = 200;

constexpr int32_t kEditorWidth = 664;
constexpr int32_t kEditorHeight = 441;

// The instrument's front panel. Window handles are kept as plain pointers so
// that the instrument object compiles without the window system; the native
// build has no windows and its editor only reports its size.
class SynthEditor : public EditorBase {
public:
    // False in a build without a window system for the panel.
    static bool hasPanel();

    explicit SynthEditor(EffectBase* owner);
    ~SynthEditor() override;

    intptr_t getRect(ERect** rect) override;
    intptr_t open(void* parent) override;
    void close() override;
    void idle() override;
    void update() override;

    // Repaints one display window at once; unknown ids and closed windows do nothing.
    void refreshDisplay(int32_t id);
    // Drops the window handles once the editor window is gone (closed by us or by the host).
    void forgetWindows();

    void* envelopeDisplay = nullptr;
    void* waveDisplays[3] = {nullptr, nullptr, nullptr};
    SynthPlugin* synth = nullptr;
    void* editorWindow = nullptr;
    void* readoutWindow = nullptr;
    int32_t hoveredParameter = 0;   // -1 once the mouse rests on no knob
    int32_t knobCount = 0;
};
