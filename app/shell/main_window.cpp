// The main window's interface.
#include "app/shell/main_window.h"

#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/window/pointer_position.h"

namespace Site = NVireo::NError::NSite::NMainWindow;

namespace Windows::Window::Main {
namespace {

MouseDispatcher mouseDispatcher = nullptr;

}  // namespace

void SetMouseDispatcher(MouseDispatcher dispatcher) { mouseDispatcher = dispatcher; }

LRESULT CInterface::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SE_MARK();
    if (message == WM_SIZE) {
        RECT client;
        if (GetClientRect(window, &client)) {
            clientWidth = client.right - client.left;
            clientHeight = client.bottom - client.top;
        } else {
            RecordSystemError();
            Raise(NVireo::NError::kSite, Site::kClientRect, "GetClientRect");
        }
    } else if (message >= WM_MOUSEMOVE && message <= WM_MOUSEWHEEL) {
        NVireo::NGUI::CurrentPointer() = NVireo::NGUI::PointerFromMessage(window, message, lParam);
        if (mouseDispatcher != nullptr) mouseDispatcher(window, message, wParam, lParam);
    }
    return HandleMessage(window, message, wParam, lParam);
}

void CInterface::Reserved3() {
    SE_MARK();
    Raise(NVireo::NError::kSite, Site::kReserved3, "");
}

}  // namespace Windows::Window::Main
