#pragma once
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

// RGB PNGs with uncompressed (stored) deflate blocks: large but simple, and
// byte-identical from run to run. The panel pictures of the README are
// written and read with these.
namespace png_image {

struct Rgb {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;   // 0xRRGGBB, rows top-down
};

inline uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline void putBigEndian(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

inline uint32_t getBigEndian(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

inline void putChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    putBigEndian(out, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    putBigEndian(out, crc32(body.data(), body.size()));
}

inline std::vector<uint8_t> encode(const Rgb& image) {
    std::vector<uint8_t> raw;
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);   // no filter
        for (int x = 0; x < image.width; ++x) {
            const uint32_t p = image.pixels[static_cast<size_t>(y) * image.width + x];
            raw.push_back(static_cast<uint8_t>(p >> 16));
            raw.push_back(static_cast<uint8_t>(p >> 8));
            raw.push_back(static_cast<uint8_t>(p));
        }
    }
    std::vector<uint8_t> zlib = {0x78, 0x01};
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        zlib.push_back(at + n >= raw.size() ? 1 : 0);
        zlib.push_back(static_cast<uint8_t>(n));
        zlib.push_back(static_cast<uint8_t>(n >> 8));
        zlib.push_back(static_cast<uint8_t>(~n));
        zlib.push_back(static_cast<uint8_t>(~n >> 8));
        zlib.insert(zlib.end(), raw.begin() + at, raw.begin() + at + n);
        if (n == 0) break;
    }
    putBigEndian(zlib, (b << 16) | a);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    putBigEndian(header, static_cast<uint32_t>(image.width));
    putBigEndian(header, static_cast<uint32_t>(image.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});   // 8 bits, RGB, deflate, no filter, no interlace
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", zlib);
    putChunk(png, "IEND", {});
    return png;
}

// Reads what encode writes; any other PNG (compressed, filtered, not 8-bit
// RGB) gives an empty image and says why.
inline Rgb decode(const std::vector<uint8_t>& png, std::string& error) {
    Rgb image;
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.size() < 8 || !std::equal(kSignature, kSignature + 8, png.begin())) return error = "not a PNG", image;
    std::vector<uint8_t> zlib;
    int width = 0, height = 0;
    for (size_t at = 8; at + 12 <= png.size();) {
        const uint32_t length = getBigEndian(&png[at]);
        if (length > png.size() - at - 12) return error = "chunk past the end", image;
        const std::string type(png.begin() + at + 4, png.begin() + at + 8);
        const uint8_t* data = &png[at + 8];
        if (type == "IHDR") {
            if (length < 13 || data[8] != 8 || data[9] != 2 || data[12] != 0) return error = "not 8-bit RGB", image;
            width = static_cast<int>(getBigEndian(data));
            height = static_cast<int>(getBigEndian(data + 4));
        } else if (type == "IDAT") {
            zlib.insert(zlib.end(), data, data + length);
        }
        at += 12 + length;
    }
    std::vector<uint8_t> raw;
    for (size_t at = 2; at + 5 <= zlib.size();) {
        const uint8_t head = zlib[at];
        if ((head >> 1) != 0) return error = "compressed deflate blocks", image;
        const size_t n = zlib[at + 1] | zlib[at + 2] << 8;
        if (n > zlib.size() - at - 5) return error = "block past the end", image;
        raw.insert(raw.end(), zlib.begin() + at + 5, zlib.begin() + at + 5 + n);
        at += 5 + n;
        if (head & 1) break;
    }
    const size_t rowBytes = 1 + 3 * static_cast<size_t>(width);
    if (width <= 0 || height <= 0 || raw.size() != rowBytes * height) return error = "wrong data size", image;
    image.width = width;
    image.height = height;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = &raw[rowBytes * y];
        if (row[0] != 0) return error = "filtered rows", Rgb{};
        for (int x = 0; x < width; ++x)
            image.pixels.push_back(uint32_t(row[1 + 3 * x]) << 16 | uint32_t(row[2 + 3 * x]) << 8 | row[3 + 3 * x]);
    }
    return image;
}

}  // namespace png_image
