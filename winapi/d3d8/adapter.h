// The one adapter of the Direct3D 8 layer: the processor, drawing into memory.
#pragma once

#include <d3d8.h>

#include <vector>

namespace winapi::d3d8 {

// The desktop's modes, all 32-bit (X8R8G8B8), sorted by width, height and refresh rate:
// SDL's modes of the first display when SDL video is running, a fixed list otherwise.
std::vector<D3DDISPLAYMODE> AdapterModes();
// The desktop's current mode (SDL's desktop mode, or 1024 x 768 at 60 Hz without video).
D3DDISPLAYMODE DesktopMode();
// What the device can do (see direct3d.cpp for the choices).
D3DCAPS8 DeviceCaps();

// D3D_OK when a windowed device of this type can present in this back-buffer format on
// the desktop's format; otherwise the failure CheckDeviceType answers.
HRESULT CheckWindowedFormats(D3DDEVTYPE type, D3DFORMAT displayFormat, D3DFORMAT backBufferFormat);

}  // namespace winapi::d3d8
