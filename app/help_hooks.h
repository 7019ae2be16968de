// Links the help line and description boxes into the program's frame, scenes and boot.
#pragma once

namespace Main {

// Fills HelpLineHooks(): the per-frame update, the overlay every fading scene draws, the
// reset on a scene change, and the default text colours.
void InstallHelpLineHooks();

}  // namespace Main
