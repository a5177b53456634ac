#include <cstddef>
#include <cstdint>

#include "editor/bmp_image.h"
#include "editor/panel_painter.h"

// The five bitmaps as the build embeds them (resources/bitmaps).
extern const unsigned char k_button_bitmap[], k_background_bitmap[], k_knob_bitmap[], k_display_bitmap[],
    k_digits_bitmap[];
extern const size_t k_button_bitmap_size, k_background_bitmap_size, k_knob_bitmap_size, k_display_bitmap_size,
    k_digits_bitmap_size;

namespace {

bool decodeAll(PanelArtwork& art) {
    return decodeBmp(k_button_bitmap, k_button_bitmap_size, art.buttons) &&
           decodeBmp(k_background_bitmap, k_background_bitmap_size, art.background) &&
           decodeBmp(k_knob_bitmap, k_knob_bitmap_size, art.knobs) &&
           decodeBmp(k_display_bitmap, k_display_bitmap_size, art.display) &&
           decodeBmp(k_digits_bitmap, k_digits_bitmap_size, art.digits);
}

}  // namespace

// Decoded once, at the first editor that opens, and shared by every editor
// of every instance until the module is unloaded. Null if the artwork is bad.
const PanelArtwork* panelArtwork() {
    static PanelArtwork art;
    static const bool decoded = decodeAll(art);
    return decoded ? &art : nullptr;
}
