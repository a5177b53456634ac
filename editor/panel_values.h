#pragma once
#include <cstddef>
#include <cstdint>

#include "editor/panel_layout.h"
#include "editor/panel_painter.h"
#include "editor/pixel_canvas.h"

#include "editor/panel_client.h"

// What the displays read from the instrument, for both window systems.

// Draws an envelope or waveform display from the current program; the
// readout draws nothing here.
void drawDisplay(PixelCanvas& canvas, DisplayId id, PanelClient& client);

// The display text of the parameter under the mouse, zero-terminated.
void readoutText(PanelClient& client, int32_t parameter, char* text, size_t size);

// Where the value readout shows, if it does, and whose value it shows.
struct PanelReadout {
    bool visible;
    int32_t x, y;
    int32_t parameter;
};

// Where the readout lies: at the readout's (x, y) and 55 x 16 when the text
// fits; grown to the right for a longer text and, only then, moved left as far
// as the panel's right edge needs. It lies below the cursor, so it never
// covers it.
PanelRect readoutArea(int32_t x, int32_t y, const char* text);
PanelRect readoutArea(PanelClient& client, const PanelReadout& readout);

// The whole panel, 664 x 441, from the current program: what the Windows
// editor window and its controls show together.
void paintPanel(PixelCanvas& panel, const PanelArtwork& art, PanelClient& client, const PanelReadout& readout);
