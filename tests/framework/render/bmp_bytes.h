// BMP files written byte by byte for the rendering tests, including the damaged ones a
// real writer never produces.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct BmpLayout {
    uint32_t width = 1;
    uint32_t height = 1;
    uint16_t bits = 24;
    uint16_t tag = 19778;        // "BM"
    uint32_t gap = 0;            // bytes between the 54 header bytes and the pixels
    int64_t sizeAdjust = 0;      // added to the true bfSize
    uint8_t paddingByte = 0xEE;  // what fills the row padding
    // The colour of pixel (x, y), y counted from the top, as 0xRRGGBB.
    std::function<uint32_t(uint32_t, uint32_t)> color = [](uint32_t, uint32_t) { return 0u; };
};

inline void PutLe(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

inline std::string BmpBytes(const BmpLayout& layout) {
    const uint32_t bytesPerPixel = layout.bits / 8;
    const uint32_t rowBytes = (layout.width * bytesPerPixel + 3) / 4 * 4;
    const uint32_t offBits = 54 + layout.gap;
    const uint32_t size =
        static_cast<uint32_t>(offBits + rowBytes * layout.height + layout.sizeAdjust);
    std::string out;
    PutLe(out, layout.tag, 2);
    PutLe(out, size, 4);
    PutLe(out, 0, 4);
    PutLe(out, offBits, 4);
    PutLe(out, 40, 4);
    PutLe(out, layout.width, 4);
    PutLe(out, layout.height, 4);
    PutLe(out, 1, 2);
    PutLe(out, layout.bits, 2);
    PutLe(out, 0, 4);
    PutLe(out, rowBytes * layout.height, 4);
    PutLe(out, 2835, 4);
    PutLe(out, 2835, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    out.append(layout.gap, '\x77');
    for (uint32_t stored = 0; stored < layout.height; ++stored) {
        const uint32_t y = layout.height - 1 - stored;
        std::string row;
        for (uint32_t x = 0; x < layout.width; ++x) {
            PutLe(row, layout.color(x, y), 3);
            if (bytesPerPixel == 4) row.push_back('\xFF');
        }
        row.append(rowBytes - row.size(), static_cast<char>(layout.paddingByte));
        out += row;
    }
    return out;
}
