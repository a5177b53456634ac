#pragma once
#include <cstdint>

#include "editor/panel_client.h"
#include "editor/panel_layout.h"

class X11Panel;

// The instrument's front panel in a window of the host's window system,
// knowing the instrument only as a PanelClient. Window handles are kept as
// plain pointers so that it compiles without the window system. On Windows
// every control is a window of its own; on Linux the panel is one X window
// (x11Panel) that draws the same controls from the shared canvas.
class SynthEditor {
public:
    // Whether the build has a panel to show (every build does now).
    static bool hasPanel();

    // instance: what the Windows editor window carries as its user data, for
    // whoever looks at the window from outside (the plug-in object).
    SynthEditor(PanelClient& client, void* instance);
    ~SynthEditor();
    SynthEditor(const SynthEditor&) = delete;
    SynthEditor& operator=(const SynthEditor&) = delete;

    // A child window of kEditorWidth x kEditorHeight in parent; false when it
    // cannot be made.
    bool open(void* parent);
    void close();
    // Runs the panel's events and places the value readout.
    void idle();
    // Repaints every control from the current program.
    void update();

    // A control moved: stores the value and repaints at once the displays
    // that show it and the readout.
    void setParameterFromPanel(int32_t index, float value);
    // Repaints one display window at once; closed windows do nothing.
    void refreshDisplay(DisplayId id);
    // Sizes the Windows readout to its text; flags add to SetWindowPos's.
    void placeReadout(unsigned int flags);
    // Drops the window handles once the editor window is gone (closed by us or by the host).
    void forgetWindows();

    void* envelopeDisplay = nullptr;
    void* waveDisplays[3] = {nullptr, nullptr, nullptr};
    PanelClient* client = nullptr;
    void* instance = nullptr;
    void* parentWindow = nullptr;
    void* editorWindow = nullptr;
    void* readoutWindow = nullptr;
    int32_t hoveredParameter = 0;   // -1 once the mouse rests on no knob
    int32_t readoutX = 0, readoutY = 0;   // where the readout appeared; it grows from there with its text
    int32_t knobCount = 0;
    X11Panel* x11Panel = nullptr;   // the open Linux panel; always null on Windows
};
