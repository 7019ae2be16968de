// The program's keyboard handler and watched keys.
#include "app/shell/keyboard_handler.h"

#include "app/shell/app_state.h"
#include "framework/error/trace.h"
#include "framework/platform/home.h"
#include "framework/window/window.h"

namespace Keyborad {
namespace {

constexpr LPARAM kAutoRepeat = LPARAM(1) << 30;

std::unique_ptr<NVireo::NGame::IKeyBorder>& Slot() {
    static std::unique_ptr<NVireo::NGame::IKeyBorder> handler;
    return handler;
}

bool Held(int virtualKey) { return (GetKeyState(virtualKey) & 0x8000) != 0; }

}  // namespace

CHooks& Hooks() {
    static CHooks hooks;
    return hooks;
}

void CWindower::OnTitleKey() {
    SE_MARK();
    if (Main::State().ready && Hooks().goToTitleStart != nullptr) Hooks().goToTitleStart();
}

void CWindower::OnQuitKey() {
    SE_MARK();
    if (!Main::State().quitting) SendMessageA(NVireo::NWindow::MainWindowHandle(), WM_CLOSE, 0, 0);
    if (Main::State().ready) PostQuitMessage(0);
}

bool CWindower::OnKeyDown(WPARAM virtualKey, LPARAM flags) {
    SE_MARK();
    if (flags & kAutoRepeat) return false;
    if (virtualKey < VK_F3 || virtualKey > VK_F12) return false;
    switch (virtualKey) {
        case VK_F5:
            if (Held('M') && Held('B')) Main::State().showFps ^= 1;
            break;
        case VK_F7:
            NVireo::NFile::EnterHomeFolder();
            if (Hooks().saveScreenshot != nullptr) Hooks().saveScreenshot();
            break;
        case VK_F9:
            OnTitleKey();
            break;
        case VK_F12:
            OnQuitKey();
            break;
        default:  // F3, F4, F6, F8, F10, F11: taken, nothing to do
            break;
    }
    return true;
}

void SetHandler(std::unique_ptr<NVireo::NGame::IKeyBorder> handler) {
    SE_MARK();
    Slot() = std::move(handler);
}

NVireo::NGame::IKeyBorder* Handler() { return Slot().get(); }

void WatchProgramKeys() {
    SE_MARK();
    static const int keys[] = {
        VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, 'X', 'C', VK_SPACE, VK_LBUTTON, VK_RBUTTON,
        'A',     'S',      'D',   'R',     'T', 'F', 'G',      'Z',        'V',
        'B',     'Q',      'W',   'E',     'O', '0', '1',      '2',        '3',
        '4',     '5',      '6',   '7',     '8', '9', 'L',      'M',        'Y',
    };
    for (int key : keys) NVireo::NGame::AddWatchedKey(key);
}

}  // namespace Keyborad
