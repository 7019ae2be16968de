// The program's keyboard handler: the function keys of the main window, and the keys the
// program watches for its shortcuts.
#pragma once

#include <windows.h>

#include <memory>

#include "framework/window/keyboard.h"

// "Keyborad" is spelled as the program's design names it, kept on purpose so the name
// stays searchable.
namespace Keyborad {

// What F7 and F9 do, filled in by the parts that provide them; a key whose hook is not
// set does nothing. F5 toggles Main::State().showFps, which the renderer reads.
struct CHooks {
    void (*saveScreenshot)() = nullptr;  // F7, after the home folder is made current
    void (*goToTitleStart)() = nullptr;  // F9, once the program is ready
};
CHooks& Hooks();

// F5 (with M and B held) toggles the frame-rate line, F7 saves a screenshot, F9 opens
// the title, F12 quits; F3 to F12 are taken, other keys and auto-repeats are not.
class CWindower : public NVireo::NGame::IKeyBorder {
public:
    void OnTitleKey() override;
    void OnQuitKey() override;
    bool OnKeyDown(WPARAM virtualKey, LPARAM flags) override;
};

// The one handler while the program runs (null before start-up and after shutdown).
// Setting deletes the previous one.
void SetHandler(std::unique_ptr<NVireo::NGame::IKeyBorder> handler);
NVireo::NGame::IKeyBorder* Handler();

// Adds the program's watched keys in their order: the arrows, X and C; Space, the left
// and right mouse buttons, A S D R T F G Z V B Q W E O, the digits, L, M and Y.
void WatchProgramKeys();

}  // namespace Keyborad
