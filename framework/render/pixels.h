// Turning image pixels into texture pixels: the alpha each texture kind takes from its
// mask, and the packing into the texture formats that follow the desktop's depth.
#pragma once

#include <d3d8.h>

#include <cstdint>

#include "framework/render/bitmap.h"

namespace NVireo::NDirectX::N3D::NImage {

// What a texture's alpha is made of.
enum EKind : int32_t {
    kOpaque = 0,       // alpha 255
    kCutOut = 1,       // 1-bit alpha: transparent where the mask is pure black
    kTranslucent = 2,  // 8-bit alpha: the mask's grey level
};

// The texture format of a kind: 32-bit formats on a 32-bit back buffer (A8R8G8B8 or
// X8R8G8B8), 16-bit ones on any other. An unknown kind answers D3DFMT_UNKNOWN.
D3DFORMAT TextureFormat(int32_t kind, D3DFORMAT backBufferFormat);

// One pixel as 0xAARRGGBB from its colour (blue, green, red) and its mask pixel; a null
// mask is white, so every kind is then opaque.
uint32_t ComposePixel(int32_t kind, const uint8_t* bgr, const uint8_t* maskBgr);
// One pixel of a raw colour entry (blue, green, red, alpha) as 0xAARRGGBB: kind 0 makes
// it opaque, kind 1 keeps only whether its alpha is zero, kind 2 keeps its alpha.
uint32_t ColorEntryPixel(int32_t kind, const uint8_t* bgra);

// The bytes one pixel of format takes (4 or 2), or 0 for a format not handled here.
uint32_t BytesPerPixel(D3DFORMAT format);
// 0xAARRGGBB packed into format: the 32-bit formats keep it (X8R8G8B8 with alpha 255),
// R5G6B5 keeps the top 5, 6, 5 bits of red, green and blue, A1R5G5B5 sets its alpha bit
// for any non-zero alpha, A4R4G4B4 keeps the top 4 bits of each.
uint32_t PackPixel(D3DFORMAT format, uint32_t argb);
// A pixel of format as 0xAARRGGBB, each field widened by repeating its top bits; formats
// without alpha read as opaque.
uint32_t UnpackPixel(D3DFORMAT format, uint32_t value);

// Where the pixels go: a locked texture level.
struct CTarget {
    void* bits;
    int32_t pitch;  // bytes from one row to the next
    D3DFORMAT format;
};

// Writes image (and its mask, which must be at least as large; null: white) into target,
// top row first. stop is the worker job's abort byte, or null: the loop checks it once a
// row and, when it is set, ends by throwing the thread wrapper's stop exception.
void BuildPixels(int32_t kind, const CBitmap& image, const CBitmap* mask, const CTarget& target,
                 const volatile uint8_t* stop = nullptr);
// Writes a raw colour entry (width * height pixels of blue, green, red, alpha, bottom row
// first) into target, top row first.
void BuildColorPixels(int32_t kind, uint32_t width, uint32_t height, const uint8_t* bgra,
                      const CTarget& target, const volatile uint8_t* stop = nullptr);

}  // namespace NVireo::NDirectX::N3D::NImage
