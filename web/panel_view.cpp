#include "web/panel_view.h"

#include <algorithm>

#include "editor/panel_painter.h"

bool PanelView::paint(PanelClient& client, const PanelReadout& readout, int32_t scale) {
    const PanelArtwork* art = panelArtwork();
    if (!art) return false;
    scale = std::clamp(scale, 1, kMaxScale);
    PixelCanvas canvas = panel_.canvas();
    paintPanel(canvas, *art, client, readout);

    const size_t width = static_cast<size_t>(kEditorWidth) * scale;
    rgba_.resize(width * kEditorHeight * scale * 4);
    for (int32_t y = 0; y < kEditorHeight; ++y) {
        uint8_t* row = &rgba_[static_cast<size_t>(y) * scale * width * 4];
        for (int32_t x = 0; x < kEditorWidth; ++x) {
            const uint32_t p = panel_.at(x, y);
            for (int32_t i = 0; i < scale; ++i) {
                uint8_t* out = row + (static_cast<size_t>(x) * scale + i) * 4;
                out[0] = static_cast<uint8_t>(p >> 16);
                out[1] = static_cast<uint8_t>(p >> 8);
                out[2] = static_cast<uint8_t>(p);
                out[3] = 255;
            }
        }
        for (int32_t i = 1; i < scale; ++i) std::copy_n(row, width * 4, row + i * width * 4);
    }
    return true;
}
