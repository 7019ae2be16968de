#include "app/gui/button_hooks.h"

#include "app/later_parts.h"
#include "framework/error/trace.h"
#include "framework/gui/palette.h"

namespace Button {

void InstallButtonHooks() {
    SE_MARK();
    Main::WidgetHooks().setGuiPalette = NVireo::NGUI::SetGuiPalette;
}

}  // namespace Button
