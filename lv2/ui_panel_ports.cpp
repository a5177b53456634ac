#include "lv2/ui_panel_ports.h"

#include "lv2/port_layout.h"
#include "programs/parameter_display.h"

PanelPorts::PanelPorts(LV2UI_Write_Function w, LV2UI_Controller c, float rate)
    : write(w), controller(c), sampleRate(rate) {
    for (int32_t p = 0; p < kNumParameters; ++p) values[p] = kParameters[p].defaultValue;
}

bool PanelPorts::portEvent(uint32_t port, float value) {
    int32_t p;
    if (port >= Port::kFirstControl && port < Port::kFirstPlaying) p = static_cast<int32_t>(port - Port::kFirstControl);
    else if (port >= Port::kFirstPlaying && port < Port::kCount) p = static_cast<int32_t>(port - Port::kFirstPlaying);
    else return false;
    values[p] = storedFromPort(p, value);
    return true;
}

float PanelPorts::parameterValue(int32_t index) {
    return index >= 0 && index < kNumParameters ? values[index] : 0.0f;
}

void PanelPorts::setParameterFromPanel(int32_t index, float value) {
    if (index < 0 || index >= kNumParameters) return;
    const PortInfo& info = kPortInfo[index];
    float port = portFromStored(index, value);
    if (port < info.minimum) port = info.minimum;
    if (port > info.maximum) port = info.maximum;
    values[index] = storedFromPort(index, port);
    write(controller, Port::control(index), sizeof(float), 0, &port);
}

void PanelPorts::parameterDisplay(int32_t index, char* text) {
    formatParameterDisplay(index, parameterValue(index), sampleRate, text);
}
