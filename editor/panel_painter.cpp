#include "editor/panel_painter.h"

#include "editor/control_values.h"
#include "editor/display_drawing.h"
#include "editor/readout_font.h"

void paintPanelBackground(PixelCanvas& panel, const PanelArtwork& art) {
    copyBlock(panel, 0, 0, art.background, 0, 0, kEditorWidth, kEditorHeight);
}

void paintKnob(PixelCanvas& panel, const PanelArtwork& art, const PanelControl& knob, float value) {
    copyBlock(panel, knobWindowX(knob), knobWindowY(knob), art.knobs, knobFrame(value) * kKnobSize, 0, kKnobSize,
              kKnobSize);
}

void paintCounter(PixelCanvas& panel, const PanelArtwork& art, const PanelControl& counter, float value) {
    const CounterGlyphs glyphs = counterGlyphs(value);
    copyBlock(panel, counter.x, counter.y, art.digits, glyphs.tens * kDigitCellWidth, 0, kDigitCellWidth,
              kDigitCellHeight);
    copyBlock(panel, counter.x + kDigitCellWidth, counter.y, art.digits, glyphs.units * kDigitCellWidth, 0,
              kDigitCellWidth, kDigitCellHeight);
}

void paintButton(PixelCanvas& panel, const PanelArtwork& art, const PanelControl& button, float value) {
    copyBlock(panel, button.x, button.y, art.buttons, buttonFrame(value) * kButtonWidth, 0, kButtonWidth,
              kButtonHeight);
}

void paintDisplayBackground(PixelCanvas& display, const PanelArtwork& art) {
    copyBlock(display, 0, 0, art.display, 0, 0, display.width, display.height);
}

void paintReadout(PixelCanvas& readout, const char* text) {
    fillReadout(readout);
    const TextOrigin at =
        readoutTextOrigin(readout.width, readout.height, readoutTextWidth(text), kReadoutFontHeight);
    drawReadoutText(readout, readoutTextX(text, readout.width), at.y, text);
    frameReadout(readout);
}

PanelRect controlRect(const PanelControl& control) {
    if (control.kind == ControlKind::Knob) return {knobWindowX(control), knobWindowY(control), kKnobSize, kKnobSize};
    return {control.x, control.y, control.width, control.height};
}
