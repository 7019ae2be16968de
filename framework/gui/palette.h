// The GUI palette: the fill, light and dark colours every bevelled plate, description box
// and help bar is drawn with, all derived from one base colour, and the grey that hovered
// buttons glow with.
#pragma once

#include <windows.h>

#include <cstdint>

namespace NVireo::NGUI {

// The base colour the program sets at start-up (alpha 0xE0 over a warm grey).
inline constexpr DWORD kDefaultGuiBase = 0xE0827D73u;

// Colours as 0xAARRGGBB.
struct CGuiPalette {
    DWORD fill;   // the base colour itself
    DWORD light;  // each colour channel doubled, at most 255 (raised edges)
    DWORD dark;   // each colour channel halved, truncated (sunken edges)
};

// The palette a base colour gives; the alpha of all three is the base's.
CGuiPalette PaletteFrom(DWORD baseColor);

// The process-wide palette; it holds the default base's colours until SetGuiPalette.
const CGuiPalette& GuiPalette();
void SetGuiPalette(DWORD baseColor);

// The opaque grey of the hover glow for a pulse value p: 0xFFvvvvvv with
// v = floor(p x 128), p clamped to 0..1 first (not a number counts as 0).
DWORD PulseColor(float pulse);

}  // namespace NVireo::NGUI
