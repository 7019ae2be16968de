// What the button family hands the program shell: the GUI palette the boot scene sets.
#pragma once

namespace Button {

// Fills Main::WidgetHooks().setGuiPalette (and only that entry).
void InstallButtonHooks();

}  // namespace Button
