// 24-bit BMP files: the reader behind every interface picture and its mask, and the
// writer of screenshots. Images are kept as rows of blue, green, red bytes, top row
// first, without padding.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/platform/file.h"

namespace NVireo::NDirectX::N3D::NImage {

struct CBitmap {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> bgr;  // width * 3 bytes a row, top row first

    const uint8_t* Pixel(uint32_t x, uint32_t y) const { return &bgr[(size_t{y} * width + x) * 3]; }
};

// The bytes a stored 24-bit row of width pixels takes on disk, padding included.
constexpr uint64_t StoredRowBytes(uint32_t width) { return uint64_t{width} * 3 + width % 4; }

// Reads a 24-bit BMP from file, which stands at the image's first byte (a loose file or a
// package entry); name is used in the messages. Checked in this order, each fatal with
// its own message: the "BM" tag, the bit count (24), the size against the maxima, and the
// pixel bytes the header promises against what the image needs. Pixels are read from the
// header's pixel offset (54 for the plain headers this program writes). If a report
// returns, the answer is false and image is left empty.
bool ReadBmp(NVireo::NFile::NSTDIO::CBinary& file, const char* name, uint32_t maxWidth,
             uint32_t maxHeight, CBitmap& image);

// Writes pixels (0xAARRGGBB, width * height, top row first; alpha is dropped) as a 24-bit
// BMP with bottom-up rows. A file that cannot be written answers false and leaves no
// partial file behind.
bool WriteBmp(const char* path, uint32_t width, uint32_t height, const uint32_t* pixels);

}  // namespace NVireo::NDirectX::N3D::NImage
