// Mouse capture that follows the held buttons: the first button pressed captures the
// mouse for the window, so a drag keeps reporting outside it; any change of the held
// buttons ends the capture.
#pragma once

#include <windows.h>

#include <cstdint>

namespace NVireo {

class CMouseCapture {
public:
    static constexpr uint32_t kLeft = 1;
    static constexpr uint32_t kRight = 2;
    static constexpr uint32_t kMiddle = 4;

    // Releases the capture if it is held.
    virtual ~CMouseCapture();

    // Called after each mouse message of window. Holding a capture: true when the held
    // buttons differ from those at capture time, after releasing it. Holding none:
    // captures the mouse for window when a button is down; false.
    bool Update(HWND window);

    HWND captureWindow = nullptr;
    uint32_t buttons = 0;  // bit 0 left, bit 1 right, bit 2 middle, as last seen
};

// The process's one mouse capture.
CMouseCapture& MouseCapture();

}  // namespace NVireo
