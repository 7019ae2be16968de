#include "framework/gui/palette.h"

#include <cmath>

#include "framework/error/trace.h"

namespace NVireo::NGUI {
namespace {

// Applies f to the red, green and blue bytes of colour, keeping its alpha.
template <typename F>
DWORD MapChannels(DWORD colour, F f) {
    DWORD out = colour & 0xFF000000u;
    for (int shift : {16, 8, 0}) {
        const uint32_t channel = (colour >> shift) & 0xFFu;
        out |= static_cast<DWORD>(f(channel) & 0xFFu) << shift;
    }
    return out;
}

CGuiPalette& Palette() {
    static CGuiPalette palette = PaletteFrom(kDefaultGuiBase);
    return palette;
}

}  // namespace

CGuiPalette PaletteFrom(DWORD baseColor) {
    SE_MARK();
    CGuiPalette palette;
    palette.fill = baseColor;
    palette.light = MapChannels(baseColor, [](uint32_t c) { return c * 2 > 255 ? 255u : c * 2; });
    palette.dark = MapChannels(baseColor, [](uint32_t c) { return c / 2; });
    return palette;
}

const CGuiPalette& GuiPalette() { return Palette(); }

void SetGuiPalette(DWORD baseColor) {
    SE_MARK();
    Palette() = PaletteFrom(baseColor);
}

DWORD PulseColor(float pulse) {
    SE_MARK();
    // A NaN fails both comparisons and ends up at 0.
    const float p = pulse >= 1.0f ? 1.0f : (pulse > 0.0f ? pulse : 0.0f);
    const DWORD v = static_cast<DWORD>(std::floor(p * 128.0f));
    return 0xFF000000u | v << 16 | v << 8 | v;
}

}  // namespace NVireo::NGUI
