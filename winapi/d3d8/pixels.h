// Pixel formats of the Direct3D 8 device: sizes, and conversion of one pixel to and
// from 0xAARRGGBB. The device keeps every colour buffer in a 32-bit format; textures
// and image surfaces may also use the 16-bit and luminance formats listed here.
#pragma once

#include <d3d8.h>

#include <cstdint>

namespace winapi::d3d8 {

// Bytes per pixel of a format the device stores; 0 for a format it does not support.
UINT BytesPerPixel(D3DFORMAT format);

// Formats a texture or an image surface may have (sampled or copied).
bool IsTextureFormat(D3DFORMAT format);
// Formats the device can draw into: the back buffer, render targets.
bool IsRenderTargetFormat(D3DFORMAT format);
// Formats of a depth buffer.
bool IsDepthFormat(D3DFORMAT format);

// One stored pixel as 0xAARRGGBB. Formats without alpha read as opaque; luminance
// formats give the same value to red, green and blue; A8 reads as black.
uint32_t ReadPixel(D3DFORMAT format, const uint8_t* pixel);

}  // namespace winapi::d3d8
