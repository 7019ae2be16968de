// Pixel formats of the Direct3D 8 device (see pixels.h).
#include "d3d8/pixels.h"

#include <cstring>

namespace winapi::d3d8 {

namespace {

uint32_t Load16(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8); }
uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// Widens an n-bit channel to 8 bits by repeating its top bits (31 -> 255, 0 -> 0).
uint32_t Widen(uint32_t value, int bits) {
    value <<= (8 - bits);
    return value | (value >> bits);
}

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

}  // namespace

UINT BytesPerPixel(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8:
            return 4;
        case D3DFMT_R5G6B5:
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5:
        case D3DFMT_A4R4G4B4:
        case D3DFMT_X4R4G4B4:
        case D3DFMT_A8L8:
        case D3DFMT_D16:
            return 2;
        case D3DFMT_L8:
        case D3DFMT_A8:
            return 1;
        default:
            return 0;
    }
}

bool IsTextureFormat(D3DFORMAT format) {
    return BytesPerPixel(format) != 0 && !IsDepthFormat(format);
}

bool IsRenderTargetFormat(D3DFORMAT format) {
    return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
}

bool IsDepthFormat(D3DFORMAT format) { return format == D3DFMT_D16; }

uint32_t ReadPixel(D3DFORMAT format, const uint8_t* p) {
    switch (format) {
        case D3DFMT_A8R8G8B8:
            return Load32(p);
        case D3DFMT_X8R8G8B8:
            return Load32(p) | 0xFF000000u;
        case D3DFMT_R5G6B5: {
            const uint32_t v = Load16(p);
            return Argb(255, Widen(v >> 11, 5), Widen((v >> 5) & 63, 6), Widen(v & 31, 5));
        }
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5: {
            const uint32_t v = Load16(p);
            const uint32_t a = (format == D3DFMT_X1R5G5B5 || (v & 0x8000u)) ? 255 : 0;
            return Argb(a, Widen((v >> 10) & 31, 5), Widen((v >> 5) & 31, 5), Widen(v & 31, 5));
        }
        case D3DFMT_A4R4G4B4:
        case D3DFMT_X4R4G4B4: {
            const uint32_t v = Load16(p);
            const uint32_t a = format == D3DFMT_X4R4G4B4 ? 255 : (v >> 12) * 17;
            return Argb(a, ((v >> 8) & 15) * 17, ((v >> 4) & 15) * 17, (v & 15) * 17);
        }
        case D3DFMT_A8L8:
            return Argb(p[1], p[0], p[0], p[0]);
        case D3DFMT_L8:
            return Argb(255, p[0], p[0], p[0]);
        case D3DFMT_A8:
            return Argb(p[0], 0, 0, 0);
        default:
            return 0;
    }
}

}  // namespace winapi::d3d8
