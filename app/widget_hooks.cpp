// The widgets' hooks into the program shell.
#include "app/widget_hooks.h"

#include "app/later_parts.h"
#include "app/main_window.h"
#include "framework/error/trace.h"
#include "framework/gui/dispatch.h"

namespace Main {
namespace {

void PickUnderPointer(POINT client) {
    SE_MARK();
    NVireo::NGUI::PickAtCursor(client);
}

void ReleasePointConverter() {
    SE_MARK();
    NVireo::NGUI::SetPointConverter(nullptr);
}

}  // namespace

void InstallWidgetHooks() {
    SE_MARK();
    CWidgetHooks& hooks = WidgetHooks();
    hooks.step = NVireo::NGUI::TickAll;
    hooks.pickUnderPointer = PickUnderPointer;
    hooks.resetHover = NVireo::NGUI::ResetHover;
    hooks.releasePointConverter = ReleasePointConverter;
    Windows::Window::Main::SetMouseDispatcher(NVireo::NGUI::HandleMouseMessage);
}

}  // namespace Main
