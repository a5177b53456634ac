#pragma once
#include <cstddef>
#include <cstdint>

#include "editor/panel_layout.h"
#include "editor/panel_painter.h"
#include "editor/pixel_canvas.h"

class PanelClient;
class SynthEditor;

// What the displays read from the instrument, for both window systems.

// Draws an envelope or waveform display from the current program; the
// readout draws nothing here.
void drawDisplay(PixelCanvas& canvas, DisplayId id, PanelClient& client);

// The display text of the parameter under the mouse, zero-terminated.
void readoutText(const SynthEditor& editor, char* text, size_t size);

// Where the value readout shows, if it does.
struct PanelReadout {
    bool visible;
    int32_t x, y;
};

// The whole panel, 664 x 441, from the current program: what the Windows
// editor window and its controls show together.
void paintPanel(PixelCanvas& panel, const PanelArtwork& art, const SynthEditor& editor, const PanelReadout& readout);
