#pragma once
#include <cstdint>

// What the editor's panel asks of the instrument it belongs to. Called on the
// host's user-interface thread.
class PanelClient {
public:
    // The current program's value of parameter index (0 outside 0..38).
    virtual float parameterValue(int32_t index) = 0;
    // A knob or button moved: stores value through the single write path.
    virtual void setParameterFromPanel(int32_t index, float value) = 0;
    // The display text of the current value, as the host sees it.
    virtual void parameterDisplay(int32_t index, char* text) = 0;
    // A gesture on a control starts and ends (a knob's drag, a button's
    // click): hosts that record edits group the values between into one.
    virtual void panelEditBegins(int32_t) {}
    virtual void panelEditEnds(int32_t) {}

protected:
    ~PanelClient() = default;
};
