// The help line's entries in the program's hook record.
#include "app/help_hooks.h"

#include "app/gui/help_line.h"
#include "app/gui/label.h"
#include "app/later_parts.h"
#include "framework/error/trace.h"

namespace Main {

void InstallHelpLineHooks() {
    SE_MARK();
    CHelpLineHooks& hooks = HelpLineHooks();
    hooks.update = Help::Line::UpdateOverlay;
    hooks.drawOverlay = Help::Line::DrawOverlay;
    hooks.resetCells = Help::Line::Reset;
    hooks.setTextColors = Label::SetDefaultTextColors;
}

}  // namespace Main
