// The main window's placement: restored from the settings at start-up (or centred), and
// kept current in the settings as the window moves and changes size, so that the
// settings file stores it at shutdown.
#pragma once

#include <windows.h>

#include "framework/window/window.h"

namespace Appli {

// A saved left below this means no saved position.
inline constexpr int32_t kNoSavedPosition = -9999;

// Start-up, after creation: on the first run or without a saved position, centres a
// client area of the saved size; otherwise moves it to the saved position and maximises
// the window when it was maximised. A saved size of 0 stands for 640 x 480.
void PlaceMainWindow(NVireo::NWindow::BBasic& window);

// WM_MOVE: the window rectangle's top-left corner, unless the window is iconic or zoomed.
void RememberWindowMove(HWND window);
// WM_SIZE (type: wParam, size: lParam): whether the window is maximised; on
// SIZE_RESTORED also its top-left corner and, when the client size changed, the client
// size. SIZE_MINIMIZED changes nothing.
void RememberWindowSize(HWND window, WPARAM type, LPARAM size);

}  // namespace Appli
