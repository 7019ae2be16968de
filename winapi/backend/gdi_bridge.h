// Window device contexts. gdi32 keeps every device context; user32's GetDC and
// ReleaseDC go through here, so gdi32 knows which window a DC draws into (it finds the
// SDL window through SdlWindowOf and paints its window surface).
#pragma once
#include <windows.h>

namespace winapi::backend {

// A new device context that draws into the client area of window (GetDC). It starts
// with the stock system font, the white brush, black text on an opaque white
// background. Null when window is null.
HDC OpenWindowDc(HWND window);

// Gives back a DC that OpenWindowDc answered for the same window (ReleaseDC); false
// (and nothing released) for any other handle.
bool CloseWindowDc(HWND window, HDC dc);

}  // namespace winapi::backend
