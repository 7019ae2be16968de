// wingdi.h: gdi32 as this program calls it (fonts and glyph bitmaps over FreeType and
// fontconfig). Included by windows.h; include windows.h instead.
#pragma once
#include "windows.h"
