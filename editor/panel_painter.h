#pragma once
#include <cstdint>

#include "editor/panel_layout.h"
#include "editor/pixel_canvas.h"

// The five bitmaps of the panel, decoded.
struct PanelArtwork {
    PixelImage buttons;      // two faces of 27 x 13: on, off
    PixelImage background;   // 665 x 442; the panel shows all but its last column and row
    PixelImage knobs;        // 90 frames of 40 x 40, value 0 to value 1
    PixelImage display;      // every display's background is its top-left corner
    PixelImage digits;       // 12 cells of 9 x 16: blank, 0..9, minus
};

// Draws the panel into one canvas of 664 x 441, control by control, with the
// same pixels each control's own window shows on Windows.
void paintPanelBackground(PixelCanvas& panel, const PanelArtwork& art);
void paintKnob(PixelCanvas& panel, const PanelArtwork& art, const PanelControl& knob, float value);
void paintCounter(PixelCanvas& panel, const PanelArtwork& art, const PanelControl& counter, float value);
void paintButton(PixelCanvas& panel, const PanelArtwork& art, const PanelControl& button, float value);
// Fills a display's own canvas with its background; its drawing comes on top.
void paintDisplayBackground(PixelCanvas& display, const PanelArtwork& art);
// The readout's own canvas: black, the text centred, the frame.
void paintReadout(PixelCanvas& readout, const char* text);

// Where a control's window lies on the panel.
struct PanelRect {
    int32_t x, y, width, height;
};
PanelRect controlRect(const PanelControl& control);

// The module's own artwork in builds that carry it as data (Linux); null if
// it cannot be decoded.
const PanelArtwork* panelArtwork();
