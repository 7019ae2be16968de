// Where the pointer was at the last mouse message, in screen and client coordinates:
// what the widget handlers receive.
#pragma once

#include <windows.h>

#include <cstdint>

namespace NVireo::NGUI {

struct PointerPosition {
    int32_t screenX;
    int32_t screenY;
    int32_t clientX;
    int32_t clientY;
};

// The process's one instance, filled by the main window for every mouse message.
PointerPosition& CurrentPointer();

// The position a mouse message names: button and move messages carry client
// coordinates (the screen pair is converted), WM_MOUSEWHEEL screen coordinates (the
// client pair is converted). A failed conversion leaves that pair equal to the other.
PointerPosition PointerFromMessage(HWND window, UINT message, LPARAM lParam);

}  // namespace NVireo::NGUI
