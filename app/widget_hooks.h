// Links the widgets' input into the program shell: the frame tick, the pick under the
// pointer, the hover reset of a scene change, the point converter's release at shutdown,
// and the main window's mouse messages.
#pragma once

namespace Main {

// Fills WidgetHooks().step, pickUnderPointer, resetHover and releasePointConverter (the
// GUI palette entry belongs to the buttons), and makes NVireo::NGUI::HandleMouseMessage
// the main window's mouse dispatcher, so every mouse message of the main window reaches
// the widgets once.
void InstallWidgetHooks();

}  // namespace Main
