#include "editor/bmp_image.h"

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;

uint32_t readU32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t readU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

bool decodeBmp(const uint8_t* bytes, size_t size, PixelImage& out) {
    out = PixelImage();
    if (!bytes || size < kFileHeaderSize + kInfoHeaderSize || bytes[0] != 'B' || bytes[1] != 'M') return false;
    const uint32_t pixelOffset = readU32(bytes + 10);
    const uint32_t headerSize = readU32(bytes + 14);
    const int32_t width = static_cast<int32_t>(readU32(bytes + 18));
    const int32_t signedHeight = static_cast<int32_t>(readU32(bytes + 22));
    const uint16_t bits = readU16(bytes + 28);
    const uint32_t compression = readU32(bytes + 30);
    if (headerSize < kInfoHeaderSize || compression != 0 || (bits != 8 && bits != 24)) return false;
    if (width <= 0 || width > 65536 || signedHeight == 0 || signedHeight < -65536 || signedHeight > 65536)
        return false;
    const bool topDown = signedHeight < 0;
    const int32_t height = topDown ? -signedHeight : signedHeight;
    const size_t stride = (static_cast<size_t>(width) * bits / 8 + 3) & ~size_t(3);
    if (pixelOffset > size || stride * height > size - pixelOffset) return false;

    const size_t palette = kFileHeaderSize + headerSize;
    uint32_t colours = bits == 8 ? readU32(bytes + 46) : 0;
    if (bits == 8 && colours == 0) colours = 256;
    if (bits == 8 && (colours > 256 || palette > size || colours * 4 > size - palette)) return false;

    out = PixelImage(width, height);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = bytes + pixelOffset + stride * (topDown ? y : height - 1 - y);
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* p = row + 3 * x;
            if (bits == 8) {
                if (row[x] >= colours) {
                    out = PixelImage();
                    return false;
                }
                p = bytes + palette + 4 * row[x];
            }
            out.pixels[static_cast<size_t>(y) * width + x] = rgb(p[2], p[1], p[0]);
        }
    }
    return true;
}
