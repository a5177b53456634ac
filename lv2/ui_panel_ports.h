#pragma once
#include <cstdint>

#include <lv2/ui/ui.h>

#include "editor/panel_client.h"
#include "programs/parameter_table.h"

// The panel's view of the plug-in in an LV2 UI: the values come from the
// host's port events (the control inputs, and the playing outputs that show
// what MIDI moved), and a knob turned writes its control port through the
// host, which passes it to the plug-in and records it as automation.
class PanelPorts : public PanelClient {
public:
    PanelPorts(LV2UI_Write_Function write, LV2UI_Controller controller, float sampleRate);

    // A port's new value from the host; false for a port the panel does not show.
    bool portEvent(uint32_t port, float value);

    float parameterValue(int32_t index) override;
    void setParameterFromPanel(int32_t index, float value) override;
    void parameterDisplay(int32_t index, char* text) override;

private:
    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    float sampleRate;
    float values[kNumParameters];   // as the program stores them
};
