#include "editor/panel_values.h"

#include <algorithm>

#include "editor/display_drawing.h"
#include "editor/readout_font.h"
#include "programs/parameter_table.h"

namespace {

constexpr size_t kDisplayTextSize = 100;   // as large as any display text a host may ask for

EnvelopeTimes envelopeOf(PanelClient& client) {
    return {client.parameterValue(Param::AmpAttack), client.parameterValue(Param::AmpHold),
            client.parameterValue(Param::AmpDecay), client.parameterValue(Param::AmpSustain),
            client.parameterValue(Param::AmpRelease)};
}

// The oscillator's shape parameters lie at fixed offsets from its level.
WaveArguments waveOf(PanelClient& client, int32_t oscillator) {
    const int32_t level = Param::Osc1Level + 7 * oscillator;
    auto at = [&](int32_t oscillator1Parameter) {
        return client.parameterValue(level + oscillator1Parameter - Param::Osc1Level);
    };
    return {at(Param::Osc1Sine), at(Param::Osc1Width), at(Param::Osc1Center), at(Param::Osc1Level),
            at(Param::Osc1Shift)};
}

}  // namespace

void drawDisplay(PixelCanvas& canvas, DisplayId id, PanelClient& client) {
    switch (id) {
        case DisplayId::Envelope: drawEnvelope(canvas, envelopeOf(client)); break;
        case DisplayId::Wave1: drawWaveform(canvas, waveOf(client, 0)); break;
        case DisplayId::Wave2: drawWaveform(canvas, waveOf(client, 1)); break;
        case DisplayId::Wave3: drawWaveform(canvas, waveOf(client, 2)); break;
        case DisplayId::Readout: break;
    }
}

void readoutText(PanelClient& client, int32_t parameter, char* text, size_t size) {
    if (!text || size == 0) return;
    char buffer[kDisplayTextSize] = {};
    client.parameterDisplay(parameter, buffer);
    buffer[kDisplayTextSize - 1] = '\0';
    size_t i = 0;
    for (; i + 1 < size && buffer[i]; ++i) text[i] = buffer[i];
    text[i] = '\0';
}

PanelRect readoutArea(int32_t x, int32_t y, const char* text) {
    const int32_t width = readoutWidth(text);
    if (width > kReadoutWidth) x = std::max(0, std::min(x, kEditorWidth - width));
    return {x, y, width, kReadoutHeight};
}

PanelRect readoutArea(PanelClient& client, const PanelReadout& readout) {
    char text[kDisplayTextSize];
    readoutText(client, readout.parameter, text, sizeof text);
    return readoutArea(readout.x, readout.y, text);
}

void paintPanel(PixelCanvas& panel, const PanelArtwork& art, PanelClient& client, const PanelReadout& readout) {
    paintPanelBackground(panel, art);
    const PanelControl* controls = panelControls();
    for (size_t i = 0; i < kPanelControlCount; ++i) {
        const PanelControl& c = controls[i];
        switch (c.kind) {
            case ControlKind::Knob: paintKnob(panel, art, c, client.parameterValue(c.id)); break;
            case ControlKind::Counter: paintCounter(panel, art, c, client.parameterValue(c.id)); break;
            case ControlKind::Button: paintButton(panel, art, c, client.parameterValue(c.id)); break;
            case ControlKind::Display: {
                PixelCanvas area = panel.window(c.x, c.y, c.width, c.height);
                paintDisplayBackground(area, art);
                drawDisplay(area, static_cast<DisplayId>(c.id), client);
                break;
            }
            case ControlKind::Readout: break;   // last, above everything
        }
    }
    if (!readout.visible) return;
    // Drawn whole, then cut at the panel's edges as a child window would be.
    char text[kDisplayTextSize];
    readoutText(client, readout.parameter, text, sizeof text);
    const PanelRect at = readoutArea(readout.x, readout.y, text);
    PixelImage field(at.width, at.height);
    PixelCanvas area = field.canvas();
    paintReadout(area, text);
    copyBlock(panel, at.x, at.y, field, 0, 0, at.width, at.height);
}
