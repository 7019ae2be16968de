// The main window's placement and its bookkeeping in the settings.
#include "app/shell/window_placement.h"

#include "app/setup/settings.h"
#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"

namespace Site = NVireo::NError::NSite::NWindowPlacement;

namespace Appli {
namespace {

constexpr int32_t kDefaultClientWidth = 640;
constexpr int32_t kDefaultClientHeight = 480;

void RememberTopLeft(HWND window) {
    RECT rect;
    if (!GetWindowRect(window, &rect)) {
        RecordSystemError();
        Raise(NVireo::NError::kSite, Site::kWindowRect, "GetWindowRect");
        return;
    }
    Settings().left = rect.left;
    Settings().top = rect.top;
}

}  // namespace

void PlaceMainWindow(NVireo::NWindow::BBasic& window) {
    SE_MARK();
    CSettings& settings = Settings();
    const int32_t width = settings.clientWidth != 0 ? static_cast<int32_t>(settings.clientWidth)
                                                    : kDefaultClientWidth;
    const int32_t height = settings.clientHeight != 0 ? static_cast<int32_t>(settings.clientHeight)
                                                      : kDefaultClientHeight;
    if (settings.firstRun || settings.left < kNoSavedPosition) {
        window.CenterClient(width, height);
        return;
    }
    window.MoveClient(settings.left, settings.top, width, height);
    if (settings.maximised) ShowWindow(window.hwnd, SW_SHOWMAXIMIZED);
}

void RememberWindowMove(HWND window) {
    SE_MARK();
    if (IsIconic(window) || IsZoomed(window)) return;
    RememberTopLeft(window);
}

void RememberWindowSize(HWND window, WPARAM type, LPARAM size) {
    SE_MARK();
    if (type == SIZE_MINIMIZED) return;
    CSettings& settings = Settings();
    settings.maximised = type == SIZE_MAXIMIZED ? 1 : 0;
    if (type != SIZE_RESTORED) return;
    RememberTopLeft(window);
    if (LOWORD(size) == settings.clientWidth && HIWORD(size) == settings.clientHeight) return;
    RECT client;
    if (!GetClientRect(window, &client)) {
        RecordSystemError();
        Raise(NVireo::NError::kSite, Site::kClientRect, "GetClientRect");
        return;
    }
    settings.clientWidth = static_cast<uint32_t>(client.right - client.left);
    settings.clientHeight = static_cast<uint32_t>(client.bottom - client.top);
}

}  // namespace Appli
