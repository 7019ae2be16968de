// The program's text caches: three chip sets made at start-up and released at shutdown,
// and the frame-rate line drawn through the first of them.
#pragma once

#include <windows.h>

#include "framework/render/text.h"

namespace Main {

// The program's text caches: three chip sets kept from start-up to shutdown.
enum ETextCache : int {
    kFpsTextCache = 0,     // the frame-rate line, in the font SetFrameRate makes (16 pixels)
    kSmallTextCache = 1,   // a shared set in the GUI's 12-pixel font
    kMediumTextCache = 2,  // a shared set in the GUI's 14-pixel font
};
inline constexpr int kTextCacheCount = 3;

// Makes the three sets, each with its font and the frame-rate line's characters
// pre-rendered (a second call keeps what is there).
void CreateTextCaches();
// Frees the chips and fonts of the three sets (before the device goes).
void ReleaseTextCaches();
// The set, or null outside CreateTextCaches .. ReleaseTextCaches.
NVireo::NDirectX::N3D::NText::NSet::CBasic* TextCache(ETextCache which);

// Draws text at the top left of the back buffer through the frame-rate set, in font
// (null: the 16-pixel font), in the current preset and colour. The renderer has set the
// tinted preset in white. Makes the caches when they are not there yet.
void DrawFpsLine(const char* text, HFONT font);

}  // namespace Main
