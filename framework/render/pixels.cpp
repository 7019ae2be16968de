#include "framework/render/pixels.h"

#include <cstring>

#include "framework/error/trace.h"
#include "framework/platform/thread.h"

namespace NVireo::NDirectX::N3D::NImage {

namespace {

bool Is32BitBackBuffer(D3DFORMAT format) {
    return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
}

// A cancellation point of the pixel loops: a job asked to stop ends here.
void CheckStop(const volatile uint8_t* stop) {
    if (stop != nullptr && *stop != 0) throw NVireo::NWindows::NThread::CException();
}

void Store(uint8_t* at, uint32_t bytes, uint32_t value) {
    if (bytes == 4) {
        std::memcpy(at, &value, 4);
    } else {
        const uint16_t packed = static_cast<uint16_t>(value);
        std::memcpy(at, &packed, 2);
    }
}

}  // namespace

D3DFORMAT TextureFormat(int32_t kind, D3DFORMAT backBufferFormat) {
    SE_MARK();
    const bool wide = Is32BitBackBuffer(backBufferFormat);
    switch (kind) {
        case kOpaque:
            return wide ? D3DFMT_X8R8G8B8 : D3DFMT_R5G6B5;
        case kCutOut:
            return wide ? D3DFMT_A8R8G8B8 : D3DFMT_A1R5G5B5;
        case kTranslucent:
            return wide ? D3DFMT_A8R8G8B8 : D3DFMT_A4R4G4B4;
        default:
            return D3DFMT_UNKNOWN;
    }
}

uint32_t ComposePixel(int32_t kind, const uint8_t* bgr, const uint8_t* maskBgr) {
    static const uint8_t kWhite[3] = {255, 255, 255};
    const uint8_t* mask = maskBgr ? maskBgr : kWhite;
    uint32_t alpha = 255;
    if (kind == kCutOut) {
        alpha = (mask[0] | mask[1] | mask[2]) != 0 ? 255 : 0;
    } else if (kind == kTranslucent) {
        alpha = (uint32_t{mask[0]} + mask[1] + mask[2]) / 3;
    }
    return alpha << 24 | uint32_t{bgr[2]} << 16 | uint32_t{bgr[1]} << 8 | bgr[0];
}

uint32_t ColorEntryPixel(int32_t kind, const uint8_t* bgra) {
    uint32_t alpha = bgra[3];
    if (kind == kOpaque) {
        alpha = 255;
    } else if (kind == kCutOut) {
        alpha = alpha != 0 ? 255 : 0;
    }
    return alpha << 24 | uint32_t{bgra[2]} << 16 | uint32_t{bgra[1]} << 8 | bgra[0];
}

uint32_t BytesPerPixel(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8:
            return 4;
        case D3DFMT_R5G6B5:
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5:
        case D3DFMT_A4R4G4B4:
            return 2;
        default:
            return 0;
    }
}

uint32_t PackPixel(D3DFORMAT format, uint32_t argb) {
    const uint32_t a = argb >> 24, r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    switch (format) {
        case D3DFMT_X8R8G8B8:
            return argb | 0xFF000000u;
        case D3DFMT_R5G6B5:
            return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
        case D3DFMT_A1R5G5B5:
            return (a != 0 ? 0x8000u : 0u) | (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
        case D3DFMT_X1R5G5B5:
            return 0x8000u | (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
        case D3DFMT_A4R4G4B4:
            return (a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | (b >> 4);
        default:
            return argb;
    }
}

namespace {

// A field of bits bits widened to 8 by repeating its top bits.
uint32_t Widen(uint32_t field, uint32_t bits) {
    uint32_t wide = field << (8 - bits);
    for (uint32_t filled = bits; filled < 8; filled += bits) wide |= wide >> filled;
    return wide & 0xFF;
}

}  // namespace

uint32_t UnpackPixel(D3DFORMAT format, uint32_t value) {
    uint32_t a = 255, r = 0, g = 0, b = 0;
    switch (format) {
        case D3DFMT_A8R8G8B8:
            return value;
        case D3DFMT_X8R8G8B8:
            return value | 0xFF000000u;
        case D3DFMT_R5G6B5:
            r = Widen(value >> 11 & 0x1F, 5), g = Widen(value >> 5 & 0x3F, 6),
            b = Widen(value & 0x1F, 5);
            break;
        case D3DFMT_A1R5G5B5:
        case D3DFMT_X1R5G5B5:
            if (format == D3DFMT_A1R5G5B5) a = (value & 0x8000) ? 255 : 0;
            r = Widen(value >> 10 & 0x1F, 5), g = Widen(value >> 5 & 0x1F, 5),
            b = Widen(value & 0x1F, 5);
            break;
        case D3DFMT_A4R4G4B4:
            a = Widen(value >> 12 & 0xF, 4), r = Widen(value >> 8 & 0xF, 4);
            g = Widen(value >> 4 & 0xF, 4), b = Widen(value & 0xF, 4);
            break;
        default:
            return value;
    }
    return a << 24 | r << 16 | g << 8 | b;
}

void BuildPixels(int32_t kind, const CBitmap& image, const CBitmap* mask, const CTarget& target,
                 const volatile uint8_t* stop) {
    SE_MARK();
    const uint32_t bytes = BytesPerPixel(target.format);
    if (bytes == 0) return;
    for (uint32_t y = 0; y < image.height; ++y) {
        CheckStop(stop);
        uint8_t* row =
            static_cast<uint8_t*>(target.bits) + static_cast<ptrdiff_t>(y) * target.pitch;
        for (uint32_t x = 0; x < image.width; ++x) {
            const uint32_t argb =
                ComposePixel(kind, image.Pixel(x, y), mask ? mask->Pixel(x, y) : nullptr);
            Store(row + size_t{x} * bytes, bytes, PackPixel(target.format, argb));
        }
    }
}

void BuildColorPixels(int32_t kind, uint32_t width, uint32_t height, const uint8_t* bgra,
                      const CTarget& target, const volatile uint8_t* stop) {
    SE_MARK();
    const uint32_t bytes = BytesPerPixel(target.format);
    if (bytes == 0) return;
    for (uint32_t y = 0; y < height; ++y) {
        CheckStop(stop);
        uint8_t* row =
            static_cast<uint8_t*>(target.bits) + static_cast<ptrdiff_t>(y) * target.pitch;
        const uint8_t* source = bgra + (size_t{height - 1 - y} * width) * 4;
        for (uint32_t x = 0; x < width; ++x) {
            Store(row + size_t{x} * bytes, bytes,
                  PackPixel(target.format, ColorEntryPixel(kind, source + size_t{x} * 4)));
        }
    }
}

}  // namespace NVireo::NDirectX::N3D::NImage
