#pragma once
#include <cstdint>

#include "editor/panel_layout.h"
#include "host/editor_base.h"
#include "host/panel_client.h"

class X11Panel;

// The instrument's front panel. Window handles are kept as plain pointers so
// that the instrument object compiles without the window system. On Windows
// every control is a window of its own; on Linux the panel is one X window
// (x11Panel) that draws the same controls from the shared canvas.
class SynthEditor : public EditorBase {
public:
    // Whether the build has a panel to show (every build does now).
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
    X11Panel* x11Panel = nullptr;   // the open Linux panel; always null on Windows
};
