#pragma once
#include <cstdint>

#include "host/editor_base.h"
#include "host/panel_client.h"

// The display windows of the panel, as their window user data holds them.
enum class DisplayId : int32_t { Envelope = 1, Wave1 = 3, Wave2 = 4, Wave3 = 5, Readout = 200 };

constexpr int32_t kEditorWidth = 664;
constexpr int32_t kEditorHeight = 441;

// The instrument's front panel. Window handles are kept as plain pointers so
// that the instrument object compiles without the window system; the native
// build has no windows and its editor only reports its size.
class SynthEditor : public EditorBase {
public:
    // False in a build without a window system for the panel.
    static bool hasPanel();

    SynthEditor(EffectBase* owner, PanelClient& client);
    ~SynthEditor() override;

    intptr_t getRect(ERect** rect) override;
    intptr_t open(void* parent) override;
    void close() override;
    void idle() override;
    void update() override;

    // A control moved: stores the value and repaints at once the displays
    // that show it and the readout.
    void setParameterFromPanel(int32_t index, float value);
    // Repaints one display window at once; closed windows do nothing.
    void refreshDisplay(DisplayId id);
    // Drops the window handles once the editor window is gone (closed by us or by the host).
    void forgetWindows();

    void* envelopeDisplay = nullptr;
    void* waveDisplays[3] = {nullptr, nullptr, nullptr};
    PanelClient* client = nullptr;
    void* editorWindow = nullptr;
    void* readoutWindow = nullptr;
    int32_t hoveredParameter = 0;   // -1 once the mouse rests on no knob
    int32_t knobCount = 0;
};

