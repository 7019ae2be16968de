// user32 input state: the keyboard and mouse state as the program sees it, activation,
// focus, mouse capture and the cursor.
// Supports: GetKeyState / GetAsyncKeyState from the layer's own record of the key and
// mouse-button messages it generated (high bit: down; low bit: flips on every press,
// not on auto-repeat), so input injected as SDL events is seen the same way; VK_SHIFT,
// VK_CONTROL and VK_MENU follow either side's key. GetCursorPos from the last mouse
// event (and, on X11 while the pointer is outside every window, from the display);
// SetCapture / ReleaseCapture / GetCapture (SDL_CaptureMouse where the driver has it,
// so a drag keeps reporting outside the window); ShowCursor with Windows' display
// counter; SetFocus / GetFocus, GetActiveWindow / GetForegroundWindow (the window that
// last became active: SDL's keyboard focus), SetForegroundWindow (raises and focuses a
// window of this process, or asks another process to raise its own).
// Does not support: the "pressed since the last call" bit of GetAsyncKeyState (always
// clear), keys the program has no virtual-key code for (no message is generated).
#include <windows.h>

#include <array>
#include <atomic>
#include <cstring>

#include "backend/sdl/sdl_bridge.h"
#include "user32/user32_state.h"

namespace winapi::user32 {
namespace {

constexpr uint8_t kDown = 0x80;
constexpr uint8_t kToggle = 0x01;

std::array<std::atomic<uint8_t>, 256> keys{};
std::atomic<int> cursorX{0};
std::atomic<int> cursorY{0};
std::atomic<HWND> capture{nullptr};
std::atomic<HWND> active{nullptr};
std::atomic<HWND> focus{nullptr};
int cursorCounter = 0;

void Store(int virtualKey, bool down) {
    const uint8_t before = keys[virtualKey].load();
    uint8_t after = down ? (before | kDown) : (before & ~kDown);
    if (down && !(before & kDown)) after ^= kToggle;
    keys[virtualKey].store(after);
}

// The generic key of a pair follows either side.
void StorePair(int generic, int left, int right) {
    Store(generic, IsKeyDown(left) || IsKeyDown(right));
}

}  // namespace

void SetKeyDown(int virtualKey, bool down) {
    if (virtualKey <= 0 || virtualKey > 255) return;
    Store(virtualKey, down);
    switch (virtualKey) {
        case VK_LSHIFT:
        case VK_RSHIFT:
            StorePair(VK_SHIFT, VK_LSHIFT, VK_RSHIFT);
            break;
        case VK_LCONTROL:
        case VK_RCONTROL:
            StorePair(VK_CONTROL, VK_LCONTROL, VK_RCONTROL);
            break;
        case VK_LMENU:
        case VK_RMENU:
            StorePair(VK_MENU, VK_LMENU, VK_RMENU);
            break;
        default:
            break;
    }
}

bool IsKeyDown(int virtualKey) {
    return virtualKey > 0 && virtualKey <= 255 && (keys[virtualKey].load() & kDown) != 0;
}

void SetCursorScreenPosition(int x, int y) {
    cursorX.store(x);
    cursorY.store(y);
}

POINT CursorScreenPosition() { return POINT{cursorX.load(), cursorY.load()}; }

WPARAM MouseKeyFlags() {
    WPARAM flags = 0;
    if (IsKeyDown(VK_LBUTTON)) flags |= MK_LBUTTON;
    if (IsKeyDown(VK_RBUTTON)) flags |= MK_RBUTTON;
    if (IsKeyDown(VK_MBUTTON)) flags |= MK_MBUTTON;
    if (IsKeyDown(VK_SHIFT)) flags |= MK_SHIFT;
    if (IsKeyDown(VK_CONTROL)) flags |= MK_CONTROL;
    return flags;
}

int VirtualKeyFromSdl(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return VK_NUMPAD0 + 1 + (key - SDLK_KP_1);
    switch (key) {
        case SDLK_KP_0:
            return VK_NUMPAD0;
        case SDLK_LEFT:
            return VK_LEFT;
        case SDLK_RIGHT:
            return VK_RIGHT;
        case SDLK_UP:
            return VK_UP;
        case SDLK_DOWN:
            return VK_DOWN;
        case SDLK_LSHIFT:
            return VK_LSHIFT;
        case SDLK_RSHIFT:
            return VK_RSHIFT;
        case SDLK_LCTRL:
            return VK_LCONTROL;
        case SDLK_RCTRL:
            return VK_RCONTROL;
        case SDLK_LALT:
            return VK_LMENU;
        case SDLK_RALT:
            return VK_RMENU;
        case SDLK_ESCAPE:
            return VK_ESCAPE;
        case SDLK_RETURN:
            return VK_RETURN;
        case SDLK_KP_ENTER:
            return VK_RETURN;
        case SDLK_SPACE:
            return VK_SPACE;
        case SDLK_BACKSPACE:
            return VK_BACK;
        case SDLK_TAB:
            return VK_TAB;
        case SDLK_PAUSE:
            return VK_PAUSE;
        case SDLK_CAPSLOCK:
            return VK_CAPITAL;
        case SDLK_NUMLOCKCLEAR:
            return VK_NUMLOCK;
        case SDLK_PAGEUP:
            return VK_PRIOR;
        case SDLK_PAGEDOWN:
            return VK_NEXT;
        case SDLK_HOME:
            return VK_HOME;
        case SDLK_END:
            return VK_END;
        case SDLK_INSERT:
            return VK_INSERT;
        case SDLK_DELETE:
            return VK_DELETE;
        case SDLK_KP_MULTIPLY:
            return VK_MULTIPLY;
        case SDLK_KP_PLUS:
            return VK_ADD;
        case SDLK_KP_MINUS:
            return VK_SUBTRACT;
        case SDLK_KP_PERIOD:
            return VK_DECIMAL;
        case SDLK_KP_DIVIDE:
            return VK_DIVIDE;
        default:
            return 0;
    }
}

void ForgetCapture(HWND window) {
    HWND expected = window;
    if (capture.compare_exchange_strong(expected, nullptr)) SDL_CaptureMouse(SDL_FALSE);
}

HWND CaptureWindow() { return capture.load(); }

void SetActive(HWND window) { active.store(window); }

void ForgetFocus(HWND window) {
    HWND expected = window;
    focus.compare_exchange_strong(expected, nullptr);
    expected = window;
    active.compare_exchange_strong(expected, nullptr);
}

void RaiseLocalWindow(Window& window) {
    if (SDL_GetWindowFlags(window.sdl) & SDL_WINDOW_MINIMIZED) SDL_RestoreWindow(window.sdl);
    SDL_RaiseWindow(window.sdl);
    if (SDL_GetWindowFlags(window.sdl) & SDL_WINDOW_SHOWN) SDL_SetWindowInputFocus(window.sdl);
}

}  // namespace winapi::user32

using namespace winapi::user32;

SHORT GetKeyState(int virtualKey) {
    if (virtualKey <= 0 || virtualKey > 255) return 0;
    const uint8_t state = keys[virtualKey].load();
    // Windows answers -128 or -127 for a key that is down: the high bit, and the low bit
    // for the toggle.
    return static_cast<SHORT>(((state & kDown) ? 0xFF80 : 0) | (state & kToggle));
}

SHORT GetAsyncKeyState(int virtualKey) {
    return static_cast<SHORT>(IsKeyDown(virtualKey) ? 0x8000 : 0);
}

BOOL GetCursorPos(POINT* point) {
    if (point == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Outside our windows SDL reports no motion; on X11 the display knows where it is.
    if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetMouseFocus() == nullptr &&
        CaptureWindow() == nullptr) {
        const char* driver = SDL_GetCurrentVideoDriver();
        if (driver != nullptr && std::strcmp(driver, "x11") == 0) {
            int x = 0, y = 0;
            SDL_GetGlobalMouseState(&x, &y);
            const int scale = DisplayScale();
            SetCursorScreenPosition(ToProgram(x, scale), ToProgram(y, scale));
        }
    }
    *point = CursorScreenPosition();
    return TRUE;
}

HWND SetCapture(HWND window) {
    {
        std::lock_guard hold(Lock());
        if (Find(window) == nullptr) return nullptr;
    }
    HWND previous = capture.exchange(window);
    SDL_CaptureMouse(SDL_TRUE);  // not every driver can; the layer routes messages anyway
    return previous;
}

BOOL ReleaseCapture() {
    if (capture.exchange(nullptr) != nullptr) SDL_CaptureMouse(SDL_FALSE);
    return TRUE;
}

HWND GetCapture() { return capture.load(); }

int ShowCursor(BOOL show) {
    cursorCounter += show ? 1 : -1;
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(cursorCounter >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return cursorCounter;
}

HWND SetFocus(HWND window) {
    if (window != nullptr) {
        std::lock_guard hold(Lock());
        if (Find(window) == nullptr) return nullptr;
    }
    HWND previous = focus.exchange(window);
    SetLastError(ERROR_SUCCESS);
    return previous;
}

HWND GetFocus() { return focus.load(); }
HWND GetActiveWindow() { return active.load(); }
HWND GetForegroundWindow() { return active.load(); }

BOOL SetForegroundWindow(HWND window) {
    if (IsRemoteWindow(window)) return RaiseRemoteWindow(window);
    Window* found = Find(window);
    if (found == nullptr) return FALSE;
    RaiseLocalWindow(*found);
    return TRUE;
}
