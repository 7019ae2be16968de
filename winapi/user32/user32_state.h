// What the user32 service files share: the window table, the message queue and the
// input state. Everything here belongs to the GUI thread except where a function says
// it locks; window procedures are never called with the lock held.
#pragma once

#include <SDL.h>
#include <windows.h>

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace winapi::user32 {

struct WindowClass {
    std::string name;
    WNDCLASSEXA record;
    ATOM atom;
    int windows;  // live windows of this class
};

struct Window {
    HWND handle;
    std::shared_ptr<WindowClass> windowClass;
    WNDPROC procedure;
    SDL_Window* sdl;
    DWORD style;
    DWORD exStyle;
    std::string title;  // code page 932
    // SDL pixels per pixel of the program (DisplayScale when the window was made).
    int scale;
    // The client area in screen coordinates as last set or reported by SDL, in the
    // program's pixels: SDL's divided by scale.
    int clientX, clientY, clientWidth, clientHeight;
    bool acceptsDrops;
    bool destroying;
    bool invalid;  // an area waits for WM_PAINT
    RECT invalidArea;
    bool erase;
};

// One lock for the window table and the queue.
std::mutex& Lock();

// The window behind a handle, or null (last error ERROR_INVALID_WINDOW_HANDLE). The
// pointer stays valid on the GUI thread until the window is destroyed.
Window* Find(HWND handle);
Window* FindQuietly(HWND handle);
Window* FindBySdlId(Uint32 id);
// All live windows, in creation order.
const std::map<HWND, std::unique_ptr<Window>>& Windows();

// The display's scale: how many screen pixels the program's windows give each of their
// pixels, so the program sees 640 x 480 of its own on a screen where that is tiny. The
// command line's --scale N (kernel32/cmdline.h), else GDK_SCALE (a whole number from 1
// to 8), else 1; always 1 under Wayland, whose compositor scales windows itself.
int DisplayScale();
// SDL's pixels as the program's, for a scale: divided, rounded down (also below 0).
inline int ToProgram(int pixels, int scale) {
    return pixels >= 0 ? pixels / scale : -((-pixels + scale - 1) / scale);
}

// The frame around the client area that AdjustWindowRectEx adds for a style.
RECT FrameInsets(DWORD style, BOOL menu);

// Reads SDL's client position and size into the window's record; true when they changed.
bool RefreshGeometry(Window& window, bool* moved, bool* resized);

// Queue.
void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Forgets queued messages for a window that is going away (frees their drops).
void ForgetMessages(HWND window);
// Takes every waiting SDL event and turns it into messages (sent ones are delivered at
// once); also answers other processes' requests for this process's windows.
void PumpHostEvents();
// Wakes a thread blocked in WaitMessage (any thread may call it).
void WakePump();

// Input state kept from the messages the pump generated.
void SetKeyDown(int virtualKey, bool down);  // a press flips the toggle bit
bool IsKeyDown(int virtualKey);
void SetCursorScreenPosition(int x, int y);
POINT CursorScreenPosition();
// The virtual-key code for an SDL key, or 0 when the program has none for it.
int VirtualKeyFromSdl(SDL_Keycode key);
// MK_ flags from the current key state.
WPARAM MouseKeyFlags();
// Called when a window goes away.
void ForgetCapture(HWND window);
HWND CaptureWindow();

// Activation and focus records.
void SetActive(HWND window);
void ForgetFocus(HWND window);

// Instances: other processes of this user find our windows by class name.
void PublishClass(const std::string& className);
void WithdrawClass(const std::string& className);
void ServeInstanceRequests();
bool IsRemoteWindow(HWND window);
BOOL RaiseRemoteWindow(HWND window);
// SendMessageA to a remote window: WM_COPYDATA only (lParam is its COPYDATASTRUCT).
LRESULT SendRemoteMessage(HWND window, UINT message, LPARAM lParam);
HWND FindRemoteWindow(const std::string& className, const char* title);
// Brings one of our windows to the front (restoring it when minimized) and focuses it.
void RaiseLocalWindow(Window& window);

// Case-insensitive ASCII comparison of class names.
bool SameClassName(const std::string& a, const std::string& b);

}  // namespace winapi::user32
