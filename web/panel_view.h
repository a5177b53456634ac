#pragma once
#include <cstdint>
#include <vector>

#include "editor/panel_client.h"
#include "editor/panel_values.h"

// The plug-in's panel for a canvas: painted by the editor core from the
// current program, then handed out as RGBA bytes (what a canvas's ImageData
// holds) at 1x or at an integer scale, each panel pixel a square block.
class PanelView {
public:
    static constexpr int32_t kMaxScale = 4;

    // False when the artwork cannot be decoded.
    bool paint(PanelClient& client, const PanelReadout& readout, int32_t scale);
    const uint8_t* rgba() const { return rgba_.data(); }

private:
    PixelImage panel_{kEditorWidth, kEditorHeight};
    std::vector<uint8_t> rgba_;
};
