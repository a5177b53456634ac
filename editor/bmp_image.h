#pragma once
#include <cstddef>
#include <cstdint>

#include "editor/pixel_canvas.h"

// Decodes an uncompressed 8-bit (palette) or 24-bit BMP, bottom-up or
// top-down, as the panel's artwork is stored. False, with out left empty,
// for anything else or for bytes that end too early.
bool decodeBmp(const uint8_t* bytes, size_t size, PixelImage& out);
