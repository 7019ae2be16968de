// What the in-process drawing and scene tests share: the program's device started
// without a window to present to, the built package's texts and pictures, and a
// tolerance for comparing drawn colours.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "framework/package/package.h"
#include "framework/render/direct3d.h"
#include "framework/text/string_table.h"

namespace headless {

// Any handle that names no SDL window: the device draws without a presenter.
inline const HWND kWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x5E5E));

// Starts the device on the program's 640 x 480 back buffer, at brightness 0 and with no
// loss counted yet. Answers whether it started.
inline bool StartDevice() {
    namespace N3D = NVireo::NDirectX::N3D;
    D3DPRESENT_PARAMETERS& p = N3D::PresentParameters();
    p = D3DPRESENT_PARAMETERS{};
    p.BackBufferCount = 1;
    p.BackBufferWidth = N3D::kBackBufferWidth;
    p.BackBufferHeight = N3D::kBackBufferHeight;
    N3D::RendererState().brightness = 0.0f;
    N3D::RendererState().lostCount = 0;
    return N3D::StartRenderer(kWindow);
}

// Opens the package built beside the test program (home is the test program's home
// folder) and loads both string tables from it, as start-up does.
inline void OpenProgramPackage(const std::string& home) {
    const std::string package = home + "Data/package";
    NVireo::NRender::ProgramPackage().OpenFrom(package.c_str());
    NVireo::NText::SystemStrings().Load(NVireo::NText::kSystemStringsName);
    NVireo::NText::ApplicationStrings().Load(NVireo::NText::kApplicationStringsName);
}

// The largest difference of two 0xRRGGBB colours over red, green and blue.
inline int ColorDistance(uint32_t a, uint32_t b) {
    int largest = 0;
    for (int shift : {0, 8, 16}) {
        const int d =
            std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
        largest = std::max(largest, d);
    }
    return largest;
}

}  // namespace headless
