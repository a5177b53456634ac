#pragma once
#include "editor/panel_client.h"
#include "instrument/instrument.h"

// The panel on an instrument in the same process: it reads and writes the
// current program's values through the instrument's own operations.
class InstrumentPanelClient : public PanelClient {
public:
    explicit InstrumentPanelClient(Instrument& instrument) : instrument(instrument) {}
    float parameterValue(int32_t index) override { return instrument.parameter(index); }
    void setParameterFromPanel(int32_t index, float value) override { instrument.setParameter(index, value); }
    void parameterDisplay(int32_t index, char* text) override { instrument.parameterDisplay(index, text); }

private:
    Instrument& instrument;
};
