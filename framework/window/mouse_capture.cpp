// Mouse capture that follows the held buttons.
#include "framework/window/mouse_capture.h"

#include "framework/error/trace.h"

namespace NVireo {
namespace {

uint32_t HeldButtons() {
    uint32_t held = 0;
    if (GetKeyState(VK_LBUTTON) & 0x8000) held |= CMouseCapture::kLeft;
    if (GetKeyState(VK_RBUTTON) & 0x8000) held |= CMouseCapture::kRight;
    if (GetKeyState(VK_MBUTTON) & 0x8000) held |= CMouseCapture::kMiddle;
    return held;
}

}  // namespace

CMouseCapture::~CMouseCapture() {
    if (captureWindow != nullptr) ReleaseCapture();
}

bool CMouseCapture::Update(HWND window) {
    SE_MARK();
    if (captureWindow != nullptr) {
        if (HeldButtons() == buttons) return false;
        ReleaseCapture();
        buttons = 0;
        captureWindow = nullptr;
        return true;
    }
    buttons = HeldButtons();
    if (buttons == 0) return false;
    SetCapture(window);
    captureWindow = window;
    return false;
}

CMouseCapture& MouseCapture() {
    static CMouseCapture capture;
    return capture;
}

}  // namespace NVireo
