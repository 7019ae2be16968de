// The pointer position of mouse messages.
#include "framework/window/pointer_position.h"

#include "framework/error/trace.h"

namespace NVireo::NGUI {

PointerPosition& CurrentPointer() {
    static PointerPosition position{};
    return position;
}

PointerPosition PointerFromMessage(HWND window, UINT message, LPARAM lParam) {
    SE_MARK();
    POINT given{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    POINT other = given;
    if (message == WM_MOUSEWHEEL) {
        ScreenToClient(window, &other);
        return PointerPosition{given.x, given.y, other.x, other.y};
    }
    ClientToScreen(window, &other);
    return PointerPosition{other.x, other.y, given.x, given.y};
}

}  // namespace NVireo::NGUI
