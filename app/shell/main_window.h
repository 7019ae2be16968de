// The main window's interface: what every main window does with a message before the
// application's own handler (HandleMessage) sees it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "framework/window/window.h"

namespace Windows::Window::Main {

// Receives every mouse message (WM_MOUSEMOVE to WM_MOUSEWHEEL) of the main window after
// the pointer position is taken; the widget dispatcher installs itself here.
using MouseDispatcher = void (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void SetMouseDispatcher(MouseDispatcher dispatcher);

class CInterface : public NVireo::NWindow::BBasic {
public:
    // WM_SIZE: records the client size (GetClientRect; a failure is reported). Mouse
    // messages: fills the pointer position and hands the message to the dispatcher.
    // Then HandleMessage answers.
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    virtual LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // Not used by the program: reports an internal error when called.
    virtual void Reserved3();

    int32_t clientWidth = 0;
    int32_t clientHeight = 0;
};

}  // namespace Windows::Window::Main
