// user32 windows: window classes and top-level windows over SDL2 windows.
// Supports: RegisterClassExA / UnregisterClassA (class names without regard to ASCII
// case), LoadCursorA(null, IDC_ARROW), CreateWindowExA for top-level windows (WS_
// styles kept for GetWindowLongA and the reported frame; CW_USEDEFAULT size gives a
// 640 x 480 client area), DestroyWindow (WM_DESTROY then WM_NCDESTROY), ShowWindow,
// MoveWindow, AdjustWindowRectEx, GetWindowRect / GetClientRect, ClientToScreen /
// ScreenToClient, window text (code page 932, shown as UTF-8), GetSystemMetrics for the
// primary display and the frame sizes.
// High-density screens: a window made while DisplayScale() is N is N times its size in
// SDL, and every position and size the program sees (window rectangles, client areas,
// the screen's size, moves, sizes and the mouse) is SDL's divided by N, so the program
// works in pixels of its own on an N times larger screen; d3d8 shows its frames and
// gdi32 paints N times larger.
// The frame: the window manager draws the real one and SDL places the client area, so
// the layer reports a frame of its own, the sizes Windows gives a fixed or sizing frame
// (3 or 8 pixels and a 23-pixel caption). Window rectangles are the client area plus
// that frame, consistently in every call, so placement arithmetic round-trips.
// Does not support: child windows, menus, extended styles (refused with
// ERROR_NOT_SUPPORTED), class or window extra bytes, icons, other predefined cursors.
// Headless: with SDL_VIDEODRIVER=dummy windows exist without a display.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "backend/close_signals.h"
#include "backend/cp932.h"
#include "backend/sdl/sdl_bridge.h"
#include "backend/syserror.h"
#include "kernel32/cmdline.h"
#include "user32/user32_state.h"

namespace winapi::user32 {
namespace {

std::mutex lock;
std::map<HWND, std::unique_ptr<Window>> windows;              // handles increase: creation order
std::map<std::string, std::shared_ptr<WindowClass>> classes;  // by upper-case name
uintptr_t nextHandle = 0x10000;
ATOM nextAtom = 0xC000;

constexpr int kDefaultClientWidth = 640;
constexpr int kDefaultClientHeight = 480;
constexpr LONG kCaption = 23;
constexpr LONG kFixedFrame = 3;
constexpr LONG kSizingFrame = 8;
constexpr LONG kThinBorder = 1;
constexpr LONG kMenuBar = 20;

bool IsIntegerResource(LPCSTR name) { return reinterpret_cast<uintptr_t>(name) < 0x10000; }

std::string Utf8Title(const std::string& title) { return backend::Cp932TextToUtf8(title); }

void Deliver(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    SendMessageA(handle, message, wParam, lParam);
}

}  // namespace

std::mutex& Lock() { return lock; }

bool SameClassName(const std::string& a, const std::string& b) {
    return winapi::backend::Cp932UpperAscii(a) == winapi::backend::Cp932UpperAscii(b);
}

Window* FindQuietly(HWND handle) {
    auto found = windows.find(handle);
    return found == windows.end() ? nullptr : found->second.get();
}

Window* Find(HWND handle) {
    Window* window = FindQuietly(handle);
    if (window == nullptr) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return window;
}

Window* FindBySdlId(Uint32 id) {
    for (auto& [handle, window] : windows)
        if (window->sdl != nullptr && SDL_GetWindowID(window->sdl) == id) return window.get();
    return nullptr;
}

const std::map<HWND, std::unique_ptr<Window>>& Windows() { return windows; }

RECT FrameInsets(DWORD style, BOOL menu) {
    LONG border = 0;
    if (style & WS_THICKFRAME)
        border = kSizingFrame;
    else if (style & WS_DLGFRAME)
        border = kFixedFrame;
    else if (style & WS_BORDER)
        border = kThinBorder;
    LONG top = border;
    if ((style & WS_CAPTION) == WS_CAPTION) top += kCaption;
    if (menu) top += kMenuBar;
    return RECT{border, top, border, border};
}

int DisplayScale() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver != nullptr && std::strcmp(driver, "wayland") == 0) return 1;
    if (const int asked = winapi::kernel32::CommandLineScale()) return asked;
    const char* desktop = std::getenv("GDK_SCALE");
    const int scale = desktop != nullptr ? winapi::kernel32::ParseWindowScale(desktop) : 0;
    return scale > 0 ? scale : 1;
}

bool RefreshGeometry(Window& window, bool* moved, bool* resized) {
    int x = window.clientX, y = window.clientY, w = window.clientWidth, h = window.clientHeight;
    if (window.sdl != nullptr) {
        SDL_GetWindowPosition(window.sdl, &x, &y);
        SDL_GetWindowSize(window.sdl, &w, &h);
        x = ToProgram(x, window.scale);
        y = ToProgram(y, window.scale);
        w = ToProgram(w, window.scale);
        h = ToProgram(h, window.scale);
    }
    *moved = x != window.clientX || y != window.clientY;
    *resized = w != window.clientWidth || h != window.clientHeight;
    window.clientX = x;
    window.clientY = y;
    window.clientWidth = w;
    window.clientHeight = h;
    return *moved || *resized;
}

}  // namespace winapi::user32

using namespace winapi::user32;

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass) {
    if (windowClass == nullptr || windowClass->cbSize != sizeof(WNDCLASSEXA) ||
        windowClass->lpfnWndProc == nullptr || windowClass->lpszClassName == nullptr ||
        IsIntegerResource(windowClass->lpszClassName) || windowClass->lpszClassName[0] == '\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (windowClass->cbClsExtra != 0 || windowClass->cbWndExtra != 0 ||
        windowClass->lpszMenuName != nullptr) {
        winapi::backend::WarnUnsupported("RegisterClassExA: extra bytes and menus");
        SetLastError(ERROR_NOT_SUPPORTED);
        return 0;
    }
    std::lock_guard hold(Lock());
    const std::string key = winapi::backend::Cp932UpperAscii(windowClass->lpszClassName);
    if (classes.count(key) != 0) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto record = std::make_shared<WindowClass>();
    record->name = windowClass->lpszClassName;
    record->record = *windowClass;
    record->record.lpszClassName = nullptr;  // the caller's text need not outlive the call
    record->atom = nextAtom++;
    record->windows = 0;
    classes[key] = record;
    return record->atom;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE /*instance*/) {
    if (className == nullptr || IsIntegerResource(className)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard hold(Lock());
    auto found = classes.find(winapi::backend::Cp932UpperAscii(className));
    if (found == classes.end()) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (found->second->windows != 0) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return FALSE;
    }
    classes.erase(found);
    return TRUE;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR cursorName) {
    // SDL shows the system's arrow unless told otherwise; the handle only names it.
    if (instance == nullptr && cursorName == IDC_ARROW) return reinterpret_cast<HCURSOR>(32512);
    winapi::backend::WarnUnsupported("LoadCursorA: only IDC_ARROW of the system");
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID parameter) {
    if (className == nullptr || IsIntegerResource(className)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (exStyle != 0 || parent != nullptr || menu != nullptr || (style & WS_POPUP)) {
        winapi::backend::WarnUnsupported(
            "CreateWindowExA: only top-level windows without menu or extended style");
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    std::shared_ptr<WindowClass> windowClass;
    {
        std::lock_guard hold(Lock());
        auto found = classes.find(winapi::backend::Cp932UpperAscii(className));
        if (found == classes.end()) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        windowClass = found->second;
    }
    if (!winapi::backend::StartSdlSubsystem(SDL_INIT_VIDEO)) {
        std::fprintf(stderr, "CreateWindowExA: no video: %s\n", SDL_GetError());
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }

    const RECT frame = FrameInsets(style, FALSE);
    int clientWidth = kDefaultClientWidth;
    int clientHeight = kDefaultClientHeight;
    if (width != CW_USEDEFAULT) {
        clientWidth = std::max(1, width - static_cast<int>(frame.left + frame.right));
        clientHeight = std::max(1, height - static_cast<int>(frame.top + frame.bottom));
    }
    const int scale = DisplayScale();
    int clientX = SDL_WINDOWPOS_UNDEFINED;
    int clientY = SDL_WINDOWPOS_UNDEFINED;
    if (x != CW_USEDEFAULT) {
        clientX = (x + frame.left) * scale;
        clientY = (y + frame.top) * scale;
    }
    const std::string title = windowName != nullptr ? windowName : "";
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
    SDL_Window* sdl = SDL_CreateWindow(Utf8Title(title).c_str(), clientX, clientY,
                                       clientWidth * scale, clientHeight * scale, flags);
    if (sdl == nullptr) {
        std::fprintf(stderr, "CreateWindowExA: %s\n", SDL_GetError());
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }

    auto window = std::make_unique<Window>();
    window->windowClass = windowClass;
    window->procedure = windowClass->record.lpfnWndProc;
    window->sdl = sdl;
    window->scale = scale;
    winapi::backend::SetSdlWindowScale(sdl, scale);
    window->style = style & ~WS_VISIBLE;
    window->exStyle = exStyle;
    window->title = title;
    window->acceptsDrops = false;
    window->destroying = false;
    window->invalid = false;
    window->invalidArea = RECT{0, 0, 0, 0};
    window->erase = false;
    bool moved, resized;
    window->clientX = window->clientY = window->clientWidth = window->clientHeight = 0;
    RefreshGeometry(*window, &moved, &resized);
    HWND handle;
    {
        std::lock_guard hold(Lock());
        handle = reinterpret_cast<HWND>(nextHandle);
        nextHandle += 4;
        window->handle = handle;
        ++windowClass->windows;
        windows[handle] = std::move(window);
    }
    winapi::backend::RegisterSdlWindow(handle, sdl);
    PublishClass(windowClass->name);
    winapi::backend::CatchCloseSignals();  // from now on they ask the windows to close

    CREATESTRUCTA create{
        parameter,  instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
        windowName, className, exStyle};
    const LPARAM createParameter = reinterpret_cast<LPARAM>(&create);
    if (!SendMessageA(handle, WM_NCCREATE, 0, createParameter) ||
        SendMessageA(handle, WM_CREATE, 0, createParameter) == -1) {
        DestroyWindow(handle);
        SetLastError(ERROR_GEN_FAILURE);
        return nullptr;
    }
    if (!IsWindow(handle)) return nullptr;  // destroyed while being created
    if (style & WS_VISIBLE) ShowWindow(handle, SW_SHOW);
    return handle;
}

BOOL DestroyWindow(HWND handle) {
    Window* window;
    {
        std::lock_guard hold(Lock());
        window = Find(handle);
        if (window == nullptr || window->destroying) {
            if (window != nullptr) return TRUE;  // already on its way out
            return FALSE;
        }
        window->destroying = true;
    }
    if (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_SHOWN) SDL_HideWindow(window->sdl);
    Deliver(handle, WM_DESTROY, 0, 0);
    Deliver(handle, WM_NCDESTROY, 0, 0);

    ForgetCapture(handle);
    ForgetFocus(handle);
    ForgetMessages(handle);
    winapi::backend::UnregisterSdlWindow(handle);
    std::unique_ptr<Window> gone;
    std::string className;
    bool lastOfClass;
    {
        std::lock_guard hold(Lock());
        auto found = windows.find(handle);
        gone = std::move(found->second);
        windows.erase(found);
        className = gone->windowClass->name;
        lastOfClass = --gone->windowClass->windows == 0;
    }
    if (lastOfClass) WithdrawClass(className);
    SDL_DestroyWindow(gone->sdl);
    return TRUE;
}

BOOL IsWindow(HWND handle) {
    if (IsRemoteWindow(handle)) return TRUE;
    std::lock_guard hold(Lock());
    return FindQuietly(handle) != nullptr;
}

BOOL ShowWindow(HWND handle, int command) {
    Window* window = Find(handle);
    if (window == nullptr) return FALSE;
    const BOOL wasVisible = (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_SHOWN) != 0;
    switch (command) {
        case SW_HIDE:
            SDL_HideWindow(window->sdl);
            break;
        case SW_SHOWNORMAL:
        case SW_RESTORE:
            SDL_ShowWindow(window->sdl);
            SDL_RestoreWindow(window->sdl);
            break;
        case SW_SHOW:
        case SW_SHOWNOACTIVATE:
            SDL_ShowWindow(window->sdl);
            break;
        case SW_SHOWMAXIMIZED:
            SDL_ShowWindow(window->sdl);
            SDL_MaximizeWindow(window->sdl);
            break;
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
            SDL_ShowWindow(window->sdl);
            SDL_MinimizeWindow(window->sdl);
            break;
        default:
            winapi::backend::WarnUnsupported(
                "ShowWindow: only hide, show, normal, restore, maximize, minimize");
            return wasVisible;
    }
    if (!wasVisible && command != SW_HIDE) InvalidateRect(handle, nullptr, TRUE);
    return wasVisible;
}

BOOL IsIconic(HWND handle) {
    Window* window = FindQuietly(handle);
    return window != nullptr && (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_MINIMIZED) != 0;
}

BOOL IsZoomed(HWND handle) {
    Window* window = FindQuietly(handle);
    return window != nullptr && (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_MAXIMIZED) != 0;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle) {
    if (rect == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (exStyle != 0) {
        winapi::backend::WarnUnsupported("AdjustWindowRectEx: extended styles");
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    const RECT frame = FrameInsets(style, menu);
    rect->left -= frame.left;
    rect->top -= frame.top;
    rect->right += frame.right;
    rect->bottom += frame.bottom;
    return TRUE;
}

BOOL MoveWindow(HWND handle, int x, int y, int width, int height, BOOL repaint) {
    Window* window = Find(handle);
    if (window == nullptr) return FALSE;
    const RECT frame = FrameInsets(window->style, FALSE);
    const int clientWidth = std::max(1, width - static_cast<int>(frame.left + frame.right));
    const int clientHeight = std::max(1, height - static_cast<int>(frame.top + frame.bottom));
    const int scale = window->scale;
    SDL_SetWindowPosition(window->sdl, (x + frame.left) * scale, (y + frame.top) * scale);
    SDL_SetWindowSize(window->sdl, clientWidth * scale, clientHeight * scale);
    bool moved, resized;
    RefreshGeometry(*window, &moved, &resized);
    // The window manager may not have answered yet: the request is what the program sees.
    if (window->clientX != x + frame.left || window->clientY != y + frame.top) {
        window->clientX = x + frame.left;
        window->clientY = y + frame.top;
        moved = true;
    }
    if (window->clientWidth != clientWidth || window->clientHeight != clientHeight) {
        window->clientWidth = clientWidth;
        window->clientHeight = clientHeight;
        resized = true;
    }
    if (moved) Deliver(handle, WM_MOVE, 0, MAKELPARAM(window->clientX, window->clientY));
    if (resized && IsWindow(handle)) {
        Deliver(handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(clientWidth, clientHeight));
    }
    if (repaint && IsWindow(handle)) InvalidateRect(handle, nullptr, TRUE);
    return TRUE;
}

BOOL GetWindowRect(HWND handle, RECT* rect) {
    Window* window = Find(handle);
    if (window == nullptr || rect == nullptr) {
        if (window != nullptr) SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const RECT frame = FrameInsets(window->style, FALSE);
    rect->left = window->clientX - frame.left;
    rect->top = window->clientY - frame.top;
    rect->right = window->clientX + window->clientWidth + frame.right;
    rect->bottom = window->clientY + window->clientHeight + frame.bottom;
    return TRUE;
}

BOOL GetClientRect(HWND handle, RECT* rect) {
    Window* window = Find(handle);
    if (window == nullptr || rect == nullptr) {
        if (window != nullptr) SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *rect = RECT{0, 0, window->clientWidth, window->clientHeight};
    return TRUE;
}

BOOL ClientToScreen(HWND handle, POINT* point) {
    Window* window = Find(handle);
    if (window == nullptr || point == nullptr) return FALSE;
    point->x += window->clientX;
    point->y += window->clientY;
    return TRUE;
}

BOOL ScreenToClient(HWND handle, POINT* point) {
    Window* window = Find(handle);
    if (window == nullptr || point == nullptr) return FALSE;
    point->x -= window->clientX;
    point->y -= window->clientY;
    return TRUE;
}

LONG GetWindowLongA(HWND handle, int index) {
    Window* window = Find(handle);
    if (window == nullptr) return 0;
    Uint32 flags = SDL_GetWindowFlags(window->sdl);
    switch (index) {
        case GWL_STYLE: {
            DWORD style = window->style;
            if (flags & SDL_WINDOW_SHOWN) style |= WS_VISIBLE;
            if (flags & SDL_WINDOW_MINIMIZED) style |= WS_MINIMIZE;
            if (flags & SDL_WINDOW_MAXIMIZED) style |= WS_MAXIMIZE;
            return static_cast<LONG>(style);
        }
        case GWL_EXSTYLE:
            return static_cast<LONG>(window->exStyle);
        default:
            winapi::backend::WarnUnsupported("GetWindowLongA: only GWL_STYLE and GWL_EXSTYLE");
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
    }
}

HMENU GetMenu(HWND /*window*/) { return nullptr; }

BOOL SetWindowTextA(HWND handle, LPCSTR text) {
    Window* window = Find(handle);
    if (window == nullptr) return FALSE;
    window->title = text != nullptr ? text : "";
    SDL_SetWindowTitle(window->sdl, Utf8Title(window->title).c_str());
    return TRUE;
}

int GetWindowTextA(HWND handle, LPSTR text, int size) {
    Window* window = Find(handle);
    if (window == nullptr || text == nullptr || size <= 0) return 0;
    const size_t length = std::min(window->title.size(), static_cast<size_t>(size - 1));
    std::memcpy(text, window->title.data(), length);
    text[length] = '\0';
    return static_cast<int>(length);
}

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN:
        case SM_CYSCREEN: {
            SDL_Rect bounds{0, 0, 0, 0};
            if (!winapi::backend::StartSdlSubsystem(SDL_INIT_VIDEO) ||
                SDL_GetDisplayBounds(0, &bounds) != 0) {
                return 0;
            }
            return (index == SM_CXSCREEN ? bounds.w : bounds.h) / DisplayScale();
        }
        case SM_CYCAPTION:
            return kCaption;
        case SM_CXBORDER:
        case SM_CYBORDER:
            return kThinBorder;
        case SM_CXDLGFRAME:
        case SM_CYDLGFRAME:
            return kFixedFrame;
        case SM_CXFRAME:
        case SM_CYFRAME:
            return kSizingFrame;
        default:
            winapi::backend::WarnUnsupported("GetSystemMetrics: only screen size and frame sizes");
            return 0;
    }
}
