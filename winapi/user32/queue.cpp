// user32 messages: the GUI thread's message queue, window procedures and painting, fed
// by SDL2's events.
// Supports: PeekMessageA (PM_REMOVE / PM_NOREMOVE, window and range filters),
// GetMessageA, TranslateMessage, DispatchMessageA, WaitMessage, PostMessageA (any
// thread), PostQuitMessage, SendMessageA (the procedure is called directly; to a window
// of another process, WM_COPYDATA through instances.cpp),
// DefWindowProcA (WM_CLOSE destroys the window, WM_PAINT validates it), InvalidateRect /
// ValidateRect / UpdateWindow / BeginPaint / EndPaint (one invalid rectangle per window;
// WM_PAINT is generated, as on Windows, only when nothing else waits), and WM_QUIT after
// the posted and input messages.
// SDL events become: window events -> WM_MOVE, WM_SIZE (SIZE_RESTORED, SIZE_MINIMIZED,
// SIZE_MAXIMIZED), WM_ACTIVATE (keyboard focus gained or lost), WM_CLOSE, an invalid
// window (exposed); these are sent at once, while the pump runs, as Windows sends them.
// Keys -> WM_KEYDOWN / WM_KEYUP (repeat count 1, bit 24 for the extended keys, bit 30
// the previous state, so an auto-repeat has it set; bit 31 on release); mouse motion and
// buttons -> WM_MOUSEMOVE, WM_xBUTTONDOWN / UP (WM_xBUTTONDBLCLK on the second click
// for a class with CS_DBLCLKS) with MK_ flags and client coordinates (the program's:
// SDL's divided by the window's scale, windows.cpp), to the capture
// window while there is one; the wheel -> WM_MOUSEWHEEL (120 per notch, screen
// coordinates); dropped files (SDL_DROPBEGIN .. SDL_DROPCOMPLETE, or a run of
// SDL_DROPFILE events) -> one WM_DROPFILES for a window that accepts files. Every event
// is first handed to the handlers of backend/sdl_bridge.h.
// Close signals: SIGTERM, SIGINT and SIGHUP (caught once the process has a window,
// backend/close_signals.h) post WM_CLOSE to every window of the process on the next pump,
// as a Windows program is asked to close when its session ends; SDL's own quit event,
// which it would make of SIGINT and SIGTERM, is not used.
// Does not support: WM_CHAR (TranslateMessage generates nothing), WM_SYSKEYDOWN (Alt
// combinations arrive as WM_KEYDOWN), WM_ERASEBKGND (BeginPaint reports fErase instead),
// scan codes in key messages (bits 16-23 are 0), horizontal wheels, timers.
#include <hostpath.h>
#include <shellapi.h>
#include <windows.h>

#include <algorithm>
#include <condition_variable>
#include <vector>

#include "backend/close_signals.h"
#include "backend/drops.h"
#include "backend/sdl/sdl_bridge.h"
#include "backend/syserror.h"
#include "user32/user32_state.h"

namespace winapi::user32 {
namespace {

std::deque<MSG> queue;  // guarded by Lock()
bool quitPosted = false;
int quitCode = 0;
std::condition_variable queueChanged;
Uint32 wakeEvent = 0;  // an SDL event type of our own; 0 until SDL runs

// Files of a drop that is being gathered.
struct PendingDrop {
    bool open = false;
    bool announced = false;  // opened by SDL_DROPBEGIN: ends with SDL_DROPCOMPLETE
    HWND window = nullptr;
    std::vector<std::string> paths;  // code page 932
} drop;

bool Matches(const MSG& message, HWND window, UINT filterMin, UINT filterMax) {
    if (window == reinterpret_cast<HWND>(-1)) {
        if (message.hwnd != nullptr) return false;
    } else if (window != nullptr && message.hwnd != window) {
        return false;
    }
    if (filterMin == 0 && filterMax == 0) return true;
    return message.message >= filterMin && message.message <= filterMax;
}

MSG Make(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG made{};
    made.hwnd = window;
    made.message = message;
    made.wParam = wParam;
    made.lParam = lParam;
    made.time = SDL_WasInit(SDL_INIT_TIMER | SDL_INIT_VIDEO) ? SDL_GetTicks() : 0;
    made.pt = CursorScreenPosition();
    return made;
}

Window* WindowOfEvent(Uint32 windowId) {
    std::lock_guard hold(Lock());
    if (Window* window = FindBySdlId(windowId)) return window;
    return nullptr;
}

HWND KeyTarget(Uint32 windowId) {
    if (Window* window = WindowOfEvent(windowId)) return window->handle;
    HWND focused = GetFocus();
    return focused != nullptr ? focused : GetActiveWindow();
}

void HandleWindowEvent(const SDL_WindowEvent& event) {
    Window* window = WindowOfEvent(event.windowID);
    if (window == nullptr || window->destroying) return;
    HWND handle = window->handle;
    switch (event.event) {
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SHOWN:
            InvalidateRect(handle, nullptr, TRUE);
            break;
        case SDL_WINDOWEVENT_MOVED: {
            const int x = ToProgram(event.data1, window->scale);
            const int y = ToProgram(event.data2, window->scale);
            if (x != window->clientX || y != window->clientY) {
                window->clientX = x;
                window->clientY = y;
                SendMessageA(handle, WM_MOVE, 0, MAKELPARAM(x, y));
            }
            break;
        }
        case SDL_WINDOWEVENT_SIZE_CHANGED: {
            const int width = ToProgram(event.data1, window->scale);
            const int height = ToProgram(event.data2, window->scale);
            if (width != window->clientWidth || height != window->clientHeight) {
                window->clientWidth = width;
                window->clientHeight = height;
                const WPARAM type = IsZoomed(handle) ? SIZE_MAXIMIZED : SIZE_RESTORED;
                SendMessageA(handle, WM_SIZE, type, MAKELPARAM(width, height));
                InvalidateRect(handle, nullptr, TRUE);
            }
            break;
        }
        case SDL_WINDOWEVENT_MINIMIZED:
            SendMessageA(handle, WM_SIZE, SIZE_MINIMIZED, 0);
            break;
        case SDL_WINDOWEVENT_MAXIMIZED:
            SendMessageA(handle, WM_SIZE, SIZE_MAXIMIZED,
                         MAKELPARAM(window->clientWidth, window->clientHeight));
            break;
        case SDL_WINDOWEVENT_RESTORED:
            SendMessageA(handle, WM_SIZE, SIZE_RESTORED,
                         MAKELPARAM(window->clientWidth, window->clientHeight));
            InvalidateRect(handle, nullptr, TRUE);
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            if (GetActiveWindow() != handle) {
                SetActive(handle);
                SetFocus(handle);
                SendMessageA(handle, WM_ACTIVATE, WA_ACTIVE, 0);
            }
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            if (GetActiveWindow() == handle) {
                SetActive(nullptr);
                SendMessageA(handle, WM_ACTIVATE, WA_INACTIVE, 0);
            }
            break;
        case SDL_WINDOWEVENT_CLOSE:
            SendMessageA(handle, WM_CLOSE, 0, 0);
            break;
        default:
            break;
    }
}

bool IsExtendedKey(int virtualKey) {
    switch (virtualKey) {
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_HOME:
        case VK_END:
        case VK_INSERT:
        case VK_DELETE:
        case VK_RCONTROL:
        case VK_RMENU:
        case VK_DIVIDE:
        case VK_NUMLOCK:
            return true;
        default:
            return false;
    }
}

// The key a message names: Windows reports the generic Shift, Control and Alt.
int MessageKey(int virtualKey) {
    switch (virtualKey) {
        case VK_LSHIFT:
        case VK_RSHIFT:
            return VK_SHIFT;
        case VK_LCONTROL:
        case VK_RCONTROL:
            return VK_CONTROL;
        case VK_LMENU:
        case VK_RMENU:
            return VK_MENU;
        default:
            return virtualKey;
    }
}

void HandleKey(const SDL_KeyboardEvent& event) {
    const int key = VirtualKeyFromSdl(event.keysym.sym);
    if (key == 0) return;
    const int messageKey = MessageKey(key);
    const bool wasDown = IsKeyDown(key);
    const bool down = event.type == SDL_KEYDOWN;
    SetKeyDown(key, down);
    LPARAM flags = 1;
    if (IsExtendedKey(key)) flags |= LPARAM(1) << 24;
    if (!down || wasDown || event.repeat) flags |= LPARAM(1) << 30;
    if (!down) flags |= LPARAM(1) << 31;
    HWND target = KeyTarget(event.windowID);
    if (target == nullptr) return;
    Post(target, down ? WM_KEYDOWN : WM_KEYUP, static_cast<WPARAM>(messageKey),
         static_cast<LPARAM>(static_cast<DWORD>(flags)));
}

// Where a mouse event goes (the capture window while there is one) and its client
// coordinates there; false when no window of ours takes it.
bool MouseTarget(Uint32 windowId, int x, int y, HWND* target, POINT* client) {
    std::lock_guard hold(Lock());
    Window* source = FindBySdlId(windowId);
    POINT screen = CursorScreenPosition();
    if (source != nullptr) {
        screen = POINT{source->clientX + ToProgram(x, source->scale),
                       source->clientY + ToProgram(y, source->scale)};
        SetCursorScreenPosition(screen.x, screen.y);
    }
    Window* destination = FindQuietly(CaptureWindow());
    if (destination == nullptr) destination = source;
    if (destination == nullptr || destination->destroying) return false;
    *target = destination->handle;
    *client = POINT{screen.x - destination->clientX, screen.y - destination->clientY};
    return true;
}

LPARAM PointParameter(POINT point) {
    return MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(point.x)),
                      static_cast<WORD>(static_cast<SHORT>(point.y)));
}

void HandleMotion(const SDL_MouseMotionEvent& event) {
    HWND target;
    POINT client;
    if (!MouseTarget(event.windowID, event.x, event.y, &target, &client)) return;
    Post(target, WM_MOUSEMOVE, MouseKeyFlags(), PointParameter(client));
}

void HandleButton(const SDL_MouseButtonEvent& event) {
    int key;
    UINT downMessage;
    switch (event.button) {
        case SDL_BUTTON_LEFT:
            key = VK_LBUTTON;
            downMessage = WM_LBUTTONDOWN;
            break;
        case SDL_BUTTON_RIGHT:
            key = VK_RBUTTON;
            downMessage = WM_RBUTTONDOWN;
            break;
        case SDL_BUTTON_MIDDLE:
            key = VK_MBUTTON;
            downMessage = WM_MBUTTONDOWN;
            break;
        default:
            return;
    }
    const bool down = event.type == SDL_MOUSEBUTTONDOWN;
    SetKeyDown(key, down);
    HWND target;
    POINT client;
    if (!MouseTarget(event.windowID, event.x, event.y, &target, &client)) return;
    UINT message = down ? downMessage : downMessage + 1;  // ..UP follows ..DOWN
    if (down && event.clicks >= 2 && event.clicks % 2 == 0) {
        std::lock_guard hold(Lock());
        Window* window = FindQuietly(target);
        if (window != nullptr && (window->windowClass->record.style & CS_DBLCLKS)) {
            message = downMessage + 2;  // ..DBLCLK
        }
    }
    Post(target, message, MouseKeyFlags(), PointParameter(client));
}

void HandleWheel(const SDL_MouseWheelEvent& event) {
    if (event.y == 0) return;
    int notches = event.y;
    if (event.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
    HWND target = CaptureWindow();
    if (target == nullptr) {
        std::lock_guard hold(Lock());
        if (Window* window = FindBySdlId(event.windowID)) target = window->handle;
    }
    if (target == nullptr) target = GetFocus();
    if (target == nullptr) return;
    const SHORT delta = static_cast<SHORT>(std::clamp(notches * WHEEL_DELTA, -32768, 32767));
    Post(target, WM_MOUSEWHEEL, MAKEWPARAM(MouseKeyFlags(), delta),
         PointParameter(CursorScreenPosition()));
}

void CloseDrop() {
    PendingDrop done = std::move(drop);
    drop = PendingDrop{};
    if (done.window == nullptr || done.paths.empty()) return;
    bool accepts;
    POINT client = CursorScreenPosition();
    {
        std::lock_guard hold(Lock());
        Window* window = FindQuietly(done.window);
        accepts = window != nullptr && window->acceptsDrops && !window->destroying;
        if (window != nullptr)
            client = POINT{client.x - window->clientX, client.y - window->clientY};
    }
    if (!accepts) return;
    HDROP handle = backend::MakeDrop(std::move(done.paths), client);
    Post(done.window, WM_DROPFILES, reinterpret_cast<WPARAM>(handle), 0);
}

void HandleDrop(const SDL_DropEvent& event) {
    switch (event.type) {
        case SDL_DROPBEGIN:
            if (drop.open) CloseDrop();
            drop.open = true;
            drop.announced = true;
            if (Window* window = WindowOfEvent(event.windowID)) drop.window = window->handle;
            break;
        case SDL_DROPFILE:
            if (!drop.open) {
                drop.open = true;
                drop.announced = false;
            }
            if (drop.window == nullptr) {
                if (Window* window = WindowOfEvent(event.windowID)) drop.window = window->handle;
            }
            if (event.file != nullptr) drop.paths.push_back(HostToProgramPath(event.file));
            break;
        case SDL_DROPCOMPLETE:
            CloseDrop();
            break;
        default:  // SDL_DROPTEXT: not files
            break;
    }
    if (event.file != nullptr) SDL_free(event.file);
}

void Translate(const SDL_Event& event) {
    // A run of SDL_DROPFILE events without SDL_DROPBEGIN ends with the first other event.
    const bool dropEvent = event.type >= SDL_DROPFILE && event.type <= SDL_DROPCOMPLETE;
    if (drop.open && !drop.announced && !dropEvent) CloseDrop();
    switch (event.type) {
        case SDL_WINDOWEVENT:
            HandleWindowEvent(event.window);
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            HandleKey(event.key);
            break;
        case SDL_MOUSEMOTION:
            HandleMotion(event.motion);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            HandleButton(event.button);
            break;
        case SDL_MOUSEWHEEL:
            HandleWheel(event.wheel);
            break;
        case SDL_DROPBEGIN:
        case SDL_DROPFILE:
        case SDL_DROPTEXT:
        case SDL_DROPCOMPLETE:
            HandleDrop(event.drop);
            break;
        default:
            break;
    }
}

void Take(const SDL_Event& event) {
    backend::CallEventHandlers(event);
    Translate(event);
}

bool SdlRunning() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

void EnsureWakeEvent() {
    if (wakeEvent == 0 && SdlRunning()) {
        const Uint32 type = SDL_RegisterEvents(1);
        if (type != static_cast<Uint32>(-1)) wakeEvent = type;
    }
}

bool SomethingWaits() {
    std::lock_guard hold(Lock());
    if (!queue.empty() || quitPosted) return true;
    for (const auto& [handle, window] : Windows()) {
        if (window->invalid && (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_SHOWN)) return true;
    }
    return false;
}

bool PaintMessage(HWND filterWindow, UINT filterMin, UINT filterMax, MSG* message) {
    std::lock_guard hold(Lock());
    for (const auto& [handle, window] : Windows()) {
        if (!window->invalid || !(SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_SHOWN)) continue;
        const MSG paint = Make(handle, WM_PAINT, 0, 0);
        if (Matches(paint, filterWindow, filterMin, filterMax)) {
            *message = paint;
            return true;
        }
    }
    return false;
}

void Invalidate(Window& window, const RECT* rect, BOOL erase) {
    RECT area = rect != nullptr ? *rect : RECT{0, 0, window.clientWidth, window.clientHeight};
    if (area.right <= area.left || area.bottom <= area.top) return;
    if (window.invalid) {
        area.left = std::min(area.left, window.invalidArea.left);
        area.top = std::min(area.top, window.invalidArea.top);
        area.right = std::max(area.right, window.invalidArea.right);
        area.bottom = std::max(area.bottom, window.invalidArea.bottom);
    }
    window.invalidArea = area;
    window.invalid = true;
    window.erase = window.erase || erase;
}

}  // namespace

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    {
        std::lock_guard hold(Lock());
        queue.push_back(Make(window, message, wParam, lParam));
    }
    queueChanged.notify_all();
}

void ForgetMessages(HWND window) {
    std::vector<HDROP> drops;
    {
        std::lock_guard hold(Lock());
        for (auto it = queue.begin(); it != queue.end();) {
            if (it->hwnd == window) {
                if (it->message == WM_DROPFILES)
                    drops.push_back(reinterpret_cast<HDROP>(it->wParam));
                it = queue.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (HDROP handle : drops) DragFinish(handle);
    if (drop.window == window) drop = PendingDrop{};
}

// A close signal came: every window is asked to close, as the window manager's close
// button asks one.
void PostCloseRequests() {
    if (!backend::TakeCloseRequest()) return;
    std::vector<HWND> open;
    {
        std::lock_guard hold(Lock());
        for (const auto& [handle, window] : Windows()) {
            if (!window->destroying) open.push_back(handle);
        }
    }
    for (HWND handle : open) Post(handle, WM_CLOSE, 0, 0);
}

void PumpHostEvents() {
    PostCloseRequests();
    ServeInstanceRequests();
    if (!SdlRunning()) return;
    EnsureWakeEvent();
    SDL_Event event;
    while (SDL_PollEvent(&event)) Take(event);
    if (drop.open && !drop.announced) CloseDrop();
}

void WakePump() {
    queueChanged.notify_all();
    if (wakeEvent != 0 && SdlRunning()) {
        SDL_Event event{};
        event.type = wakeEvent;
        SDL_PushEvent(&event);
    }
}

}  // namespace winapi::user32

using namespace winapi::user32;

BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
    if (message == nullptr || (remove & ~PM_REMOVE) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    PumpHostEvents();
    {
        std::lock_guard hold(Lock());
        for (auto it = queue.begin(); it != queue.end(); ++it) {
            if (!Matches(*it, window, filterMin, filterMax)) continue;
            *message = *it;
            if (remove & PM_REMOVE) queue.erase(it);
            return TRUE;
        }
        if (quitPosted && ((filterMin == 0 && filterMax == 0) ||
                           (filterMin <= WM_QUIT && WM_QUIT <= filterMax))) {
            *message = Make(nullptr, WM_QUIT, static_cast<WPARAM>(quitCode), 0);
            if (remove & PM_REMOVE) quitPosted = false;
            return TRUE;
        }
    }
    return PaintMessage(window, filterMin, filterMax, message) ? TRUE : FALSE;
}

BOOL GetMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax) {
    if (window != nullptr && window != reinterpret_cast<HWND>(-1) && !IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    while (!PeekMessageA(message, window, filterMin, filterMax, PM_REMOVE)) WaitMessage();
    return message->message == WM_QUIT ? FALSE : TRUE;
}

BOOL TranslateMessage(const MSG* message) {
    return message != nullptr && (message->message == WM_KEYDOWN || message->message == WM_KEYUP);
}

LRESULT DispatchMessageA(const MSG* message) {
    if (message == nullptr || message->hwnd == nullptr) return 0;
    const LRESULT result =
        SendMessageA(message->hwnd, message->message, message->wParam, message->lParam);
    if (message->message == WM_PAINT) {
        // A procedure that did not paint would get WM_PAINT forever; Windows validates.
        std::lock_guard hold(Lock());
        if (Window* window = FindQuietly(message->hwnd)) window->invalid = false;
    }
    return result;
}

BOOL WaitMessage() {
    for (;;) {
        PumpHostEvents();
        if (SomethingWaits()) return TRUE;
        if (SdlRunning()) {
            EnsureWakeEvent();
            // Bounded, so requests from other processes are answered while idle.
            SDL_Event event;
            if (SDL_WaitEventTimeout(&event, 100)) Take(event);
        } else {
            std::unique_lock hold(Lock());
            queueChanged.wait_for(hold, std::chrono::milliseconds(100),
                                  [] { return !queue.empty() || quitPosted; });
        }
    }
}

void PostQuitMessage(int exitCode) {
    {
        std::lock_guard hold(Lock());
        quitPosted = true;
        quitCode = exitCode;
    }
    WakePump();
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window != nullptr) {
        std::lock_guard hold(Lock());
        if (Find(window) == nullptr) return FALSE;
    }
    Post(window, message, wParam, lParam);
    WakePump();
    return TRUE;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (IsRemoteWindow(window)) return SendRemoteMessage(window, message, lParam);
    WNDPROC procedure;
    {
        std::lock_guard hold(Lock());
        Window* found = Find(window);
        if (found == nullptr) return 0;
        procedure = found->procedure;
    }
    return procedure(window, message, wParam, lParam);
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    switch (message) {
        case WM_NCCREATE:
            return TRUE;
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            if (BeginPaint(window, &paint)) EndPaint(window, &paint);
            return 0;
        }
        default:
            return 0;
    }
}

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    {
        std::lock_guard hold(Lock());
        if (window == nullptr) {
            for (const auto& [handle, each] : Windows()) Invalidate(*each, nullptr, erase);
        } else {
            Window* found = Find(window);
            if (found == nullptr) return FALSE;
            Invalidate(*found, rect, erase);
        }
    }
    WakePump();
    return TRUE;
}

BOOL ValidateRect(HWND window, const RECT* rect) {
    if (window == nullptr) return InvalidateRect(nullptr, nullptr, TRUE);  // as Windows does
    std::lock_guard hold(Lock());
    Window* found = Find(window);
    if (found == nullptr) return FALSE;
    // One rectangle per window: validating part of it leaves all of it invalid.
    const RECT& area = found->invalidArea;
    if (rect == nullptr || (rect->left <= area.left && rect->top <= area.top &&
                            rect->right >= area.right && rect->bottom >= area.bottom)) {
        found->invalid = false;
        found->erase = false;
    }
    return TRUE;
}

BOOL UpdateWindow(HWND window) {
    bool paint;
    {
        std::lock_guard hold(Lock());
        Window* found = Find(window);
        if (found == nullptr) return FALSE;
        paint = found->invalid && (SDL_GetWindowFlags(found->sdl) & SDL_WINDOW_SHOWN);
    }
    if (paint) SendMessageA(window, WM_PAINT, 0, 0);
    return TRUE;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    if (paint == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    {
        std::lock_guard hold(Lock());
        Window* found = Find(window);
        if (found == nullptr) return nullptr;
        *paint = PAINTSTRUCT{};
        paint->fErase = found->erase;
        paint->rcPaint = found->invalid ? found->invalidArea : RECT{0, 0, 0, 0};
        found->invalid = false;
        found->erase = false;
    }
    paint->hdc = GetDC(window);
    return paint->hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
    if (paint == nullptr) return FALSE;
    return ReleaseDC(window, paint->hdc) == 1;
}
