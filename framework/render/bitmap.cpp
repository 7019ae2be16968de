// The 24-bit BMP reader and writer. Every Raise has its own site number (862xx); Raise
// may return (an error is already being handled, or a caller's policy), so each site
// stops reading and leaves the image empty.
#include "framework/render/bitmap.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "framework/containers/nstring.h"
#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"

namespace Site = NVireo::NError::NSite::NBitmap;

namespace NVireo::NDirectX::N3D::NImage {

namespace {

using NVireo::NError::kSite;
using NVireo::NFile::NSTDIO::CBinary;

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kHeaderBytes = kFileHeaderBytes + kInfoHeaderBytes;
constexpr uint16_t kTagBM = 19778;  // "BM" read little-endian
constexpr uint32_t kRequiredBits = 24;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
void PutLe16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void PutLe32(uint8_t* p, uint32_t v) {
    PutLe16(p, v);
    PutLe16(p + 2, v >> 16);
}

struct CHeader {
    uint16_t bfType;
    uint32_t bfSize;
    uint16_t bfReserved1;
    uint16_t bfReserved2;
    uint32_t bfOffBits;
    uint32_t biWidth;
    uint32_t biHeight;
    uint16_t biBitCount;

    uint32_t ImageSize() const { return bfSize - bfOffBits; }
    uint32_t RGBQuadCount() const { return (bfOffBits - kHeaderBytes) / 4; }
};

CHeader ParseHeader(const uint8_t* bytes) {
    CHeader h{};
    h.bfType = Le16(bytes);
    h.bfSize = Le32(bytes + 2);
    h.bfReserved1 = Le16(bytes + 6);
    h.bfReserved2 = Le16(bytes + 8);
    h.bfOffBits = Le32(bytes + 10);
    h.biWidth = Le32(bytes + 18);
    h.biHeight = Le32(bytes + 22);
    h.biBitCount = Le16(bytes + 28);
    return h;
}

// The header fields that decide whether the pixels fit, one "%17s=%u" line each.
void AppendHeaderDump(NVireo::NString::BBasic<char>& text, const CHeader& h) {
    SE_MARK();
    text.AppendFormat("%17s=%u\n", "bfType", static_cast<unsigned>(h.bfType));
    text.AppendFormat("%17s=%u\n", "bfSize", h.bfSize);
    text.AppendFormat("%17s=%u\n", "bfReserved1", static_cast<unsigned>(h.bfReserved1));
    text.AppendFormat("%17s=%u\n", "bfReserved2", static_cast<unsigned>(h.bfReserved2));
    text.AppendFormat("%17s=%u\n", "bfOffBits", h.bfOffBits);
    text.AppendFormat("%17s=%u\n", "GetImageSize()", h.ImageSize());
    text.AppendFormat("%17s=%u\n", "GetRGBQuadCount()", h.RGBQuadCount());
    text.AppendFormat("%17s=%u\n", "GetQDSize()", h.ImageSize() + h.RGBQuadCount());
}

// Checks the header; false when it was reported.
bool CheckHeader(const CHeader& h, const char* name, uint32_t maxWidth, uint32_t maxHeight) {
    SE_MARK();
    NVireo::NString::BBasic<char> message;
    if (h.bfType != kTagBM) {
        message.Format("%u\n", static_cast<unsigned>(h.bfType));
        message.Concat3(name, "\n", nullptr);
        Raise(kSite, Site::kNotBitmap, message.c_str());
        return false;
    }
    if (h.biBitCount != kRequiredBits) {
        message.Format("%u,%u ", static_cast<unsigned>(h.biBitCount), kRequiredBits);
        message.Concat3(name, "\n", nullptr);
        Raise(kSite, Site::kBitCount, message.c_str());
        return false;
    }
    // The height is taken unsigned: a top-down bitmap (negative height) is too tall.
    if (h.biWidth > maxWidth || h.biHeight > maxHeight) {
        message.Format("%u,%u:%u,%u\n", h.biWidth, h.biHeight, maxWidth, maxHeight);
        Raise(kSite, Site::kTooLarge, message.c_str());
        return false;
    }
    const uint64_t needed = StoredRowBytes(h.biWidth) * h.biHeight;
    const int64_t available = int64_t{h.bfSize} - int64_t{h.bfOffBits};
    if (available < 0 || static_cast<uint64_t>(available) < needed) {
        message.Format("%u,%u\n", static_cast<unsigned>(needed), h.ImageSize());
        AppendHeaderDump(message, h);
        Raise(kSite, Site::kShortImage, message.c_str());
        return false;
    }
    return true;
}

}  // namespace

bool ReadBmp(CBinary& file, const char* name, uint32_t maxWidth, uint32_t maxHeight,
             CBitmap& image) {
    SE_MARK();
    image = CBitmap{};
    if (name == nullptr) name = "";
    uint8_t bytes[kHeaderBytes];
    if (!file.ReadBytes(bytes, sizeof bytes, Site::kReadHeader)) return false;
    const CHeader header = ParseHeader(bytes);
    if (!CheckHeader(header, name, maxWidth, maxHeight)) return false;

    // Plain files have their pixels right after the headers; newer info headers and
    // colour masks push them further, to the offset the file header names.
    if (header.bfOffBits > kHeaderBytes) file.Skip(header.bfOffBits - kHeaderBytes);

    const uint32_t width = header.biWidth;
    const uint32_t height = header.biHeight;
    const size_t rowBytes = size_t{width} * 3;
    std::vector<uint8_t> pixels(rowBytes * height);
    const uint32_t padding = width % 4;
    // A file shorter than its header says is refused before the pixels are allocated.
    const uint64_t position = file.Position();
    const uint64_t size = file.Size();
    const uint64_t needed = StoredRowBytes(width) * height;
    if (position > size || size - position < needed) {
        char message[64];
        std::snprintf(message, sizeof message, "%d(%u),T=%u", static_cast<int>(position),
                      static_cast<unsigned>(size), static_cast<unsigned>(needed));
        Raise(kSite, Site::kShortFile, message);
        return false;
    }
    uint8_t skipped[3];
    // Stored rows run bottom-up; the image keeps its top row first.
    for (uint32_t stored = 0; stored < height; ++stored) {
        uint8_t* row = pixels.data() + size_t{height - 1 - stored} * rowBytes;
        if (!file.ReadBytes(row, rowBytes, Site::kReadRow)) return false;
        if (padding != 0 && !file.ReadBytes(skipped, padding, Site::kReadPadding)) return false;
    }
    image.width = width;
    image.height = height;
    image.bgr = std::move(pixels);
    return true;
}

bool WriteBmp(const char* path, uint32_t width, uint32_t height, const uint32_t* pixels) {
    SE_MARK();
    const uint64_t rowBytes = StoredRowBytes(width);
    const uint64_t fileSize = kHeaderBytes + rowBytes * height;
    if (fileSize > UINT32_MAX) return false;

    uint8_t header[kHeaderBytes] = {};
    PutLe16(header, kTagBM);
    PutLe32(header + 2, static_cast<uint32_t>(fileSize));
    PutLe32(header + 10, kHeaderBytes);
    PutLe32(header + 14, kInfoHeaderBytes);
    PutLe32(header + 18, width);
    PutLe32(header + 22, height);
    PutLe16(header + 26, 1);  // planes
    PutLe16(header + 28, kRequiredBits);
    PutLe32(header + 34, static_cast<uint32_t>(rowBytes * height));
    PutLe32(header + 38, 2835);  // 72 dots per inch, as metres
    PutLe32(header + 42, 2835);

    NVireo::NFile::NSTDIO::CBinary file;
    if (!file.TryOpen(path, "wb")) return false;
    bool written = file.TryWrite(header, sizeof header);
    std::vector<uint8_t> row(rowBytes, 0);
    for (uint32_t stored = 0; written && stored < height; ++stored) {
        const uint32_t* source = pixels + size_t{height - 1 - stored} * width;
        for (uint32_t x = 0; x < width; ++x) {
            row[x * 3 + 0] = static_cast<uint8_t>(source[x]);
            row[x * 3 + 1] = static_cast<uint8_t>(source[x] >> 8);
            row[x * 3 + 2] = static_cast<uint8_t>(source[x] >> 16);
        }
        written = file.TryWrite(row.data(), row.size());
    }
    if (!file.TryClose() || !written) {
        DeleteFileA(path);
        return false;
    }
    return true;
}

}  // namespace NVireo::NDirectX::N3D::NImage
