// user32 device contexts: GetDC / ReleaseDC for a window's client area. gdi32 keeps the
// DCs and draws on them (backend/gdi_bridge.h); user32 checks the window.
// Supports: a DC per GetDC call for a live window; ReleaseDC answers 1 for a DC that
// GetDC gave for that window and 0 otherwise.
// Does not support: GetDC(null) (the screen), class or private DCs.
#include <windows.h>

#include "backend/gdi_bridge.h"
#include "backend/syserror.h"
#include "user32/user32_state.h"

HDC GetDC(HWND window) {
    if (window == nullptr) {
        winapi::backend::WarnUnsupported("GetDC: the screen's DC");
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    {
        std::lock_guard hold(winapi::user32::Lock());
        if (winapi::user32::Find(window) == nullptr) return nullptr;
    }
    return winapi::backend::OpenWindowDc(window);
}

int ReleaseDC(HWND window, HDC dc) { return winapi::backend::CloseWindowDc(window, dc) ? 1 : 0; }
