// Window objects: the framework's window classes, the one window class the program
// registers, the static window procedure that hands every message to the object of its
// window (through the window map), placement of the client area, and the main window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace NVireo {

class BWindow {
public:
    virtual ~BWindow();
};

namespace NWindow {

class CBase : public BWindow {};

class BBasic : public CBase {
public:
    // Destroys the window if it still exists (its messages then go to DefWindowProcA,
    // since a half-destroyed object cannot take them); a failure is reported.
    ~BBasic() override;
    virtual LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // Registers the class on first use, creates the window (CW_USEDEFAULT placement) and
    // enters it in the window map. A failure is reported.
    void Create(const char* className, const char* title, DWORD style);
    // Sizes the window so that its client area is width x height and centres it on the
    // primary screen.
    void CenterClient(int32_t width, int32_t height);
    // Sizes the window so that its client area is width x height, with its top-left
    // corner (frame included) at (left, top).
    void MoveClient(int32_t left, int32_t top, int32_t width, int32_t height);

    // Null until created; null again once the window received WM_NCDESTROY.
    HWND hwnd = nullptr;
};

// The window class record: WNDCLASSEXA of the static procedure with the arrow cursor and
// the black brush. Registered once (a failure is reported with the class name as the
// message); unregistered by UnregisterWindowClass or at process end.
void RegisterWindowClass(const char* name);
void UnregisterWindowClass();
// The registered class's atom; 0 when none is registered.
ATOM WindowClassAtom();

// The procedure of every window of the class: finds the object in the window map and
// calls its OnMessage (DefWindowProcA without one), removes the map entry on
// WM_NCDESTROY, and reports any exception that escapes.
LRESULT WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The object of a window in the window map, or null.
BBasic* FindWindowObject(HWND window);
// Entries in the window map.
int32_t WindowMapCount();

// The program's main window: set by start-up while the main window object exists.
void SetMainWindow(BBasic* window);
BBasic* MainWindow();
// The main window's handle; null before it is created and after it is destroyed.
HWND MainWindowHandle();

}  // namespace NWindow
}  // namespace NVireo
