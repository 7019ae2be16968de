// Device-context holders: a window's DC for one scope, a compatible memory DC, and a
// GDI object that is deleted with its holder. Failures are reported.
#pragma once

#include <windows.h>

namespace NVireo::NDeviceContext {

// GetDC on acquire, ReleaseDC on release (and on destruction).
class CWindow {
public:
    CWindow() = default;
    explicit CWindow(HWND window) { Acquire(window); }
    ~CWindow() noexcept(false) { Release(); }
    CWindow(const CWindow&) = delete;
    CWindow& operator=(const CWindow&) = delete;

    // Releases a DC already held first.
    void Acquire(HWND window);
    void Release();

    HWND window = nullptr;
    HDC dc = nullptr;
};

// A memory DC compatible with reference (null: with the screen), deleted with the holder.
class CCompatriot {
public:
    explicit CCompatriot(HDC reference = nullptr);
    ~CCompatriot();
    CCompatriot(const CCompatriot&) = delete;
    CCompatriot& operator=(const CCompatriot&) = delete;

    HDC dc = nullptr;
};

// Owns a GDI object (font, brush): DeleteObject on release, on replacement and on
// destruction.
class CObject {
public:
    CObject() = default;
    explicit CObject(HGDIOBJ object) : handle(object) {}
    ~CObject() noexcept(false) { Release(); }
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;

    void Reset(HGDIOBJ object);
    void Release();

    HGDIOBJ handle = nullptr;
};

}  // namespace NVireo::NDeviceContext
