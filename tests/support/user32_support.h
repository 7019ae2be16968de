// What the window tests share: SDL's dummy video driver, a window class whose procedure
// records every message, injected SDL events and a pump that dispatches what the
// layer made of them.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "backend/sdl/sdl_bridge.h"

namespace user32_test {

struct Seen {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

inline std::vector<Seen>& Log() {
    static std::vector<Seen> log;
    return log;
}

// Records the message; WM_DESTROY posts the quit message, as a program's main window does.
inline LRESULT RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Log().push_back({window, message, wParam, lParam});
    if (message == WM_DESTROY) PostQuitMessage(7);
    return DefWindowProcA(window, message, wParam, lParam);
}

// Only the messages of the kinds a test looks at.
inline std::vector<Seen> Only(std::initializer_list<UINT> messages) {
    std::vector<Seen> kept;
    for (const Seen& seen : Log())
        for (UINT message : messages)
            if (seen.message == message) kept.push_back(seen);
    return kept;
}

inline std::vector<UINT> Kinds() {
    std::vector<UINT> kinds;
    for (const Seen& seen : Log()) kinds.push_back(seen.message);
    return kinds;
}

// Dispatches everything waiting (WM_QUIT aside: it is answered, not dispatched).
inline int Pump(bool* quit = nullptr, int* quitCode = nullptr) {
    MSG message;
    int count = 0;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            if (quit) *quit = true;
            if (quitCode) *quitCode = static_cast<int>(message.wParam);
            break;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
        ++count;
    }
    return count;
}

// A class of the recording procedure and windows of it, destroyed after the test.
class WindowTest : public ::testing::Test {
protected:
    static constexpr const char* kClass = "SE user32 test";
    static constexpr const char* kDoubleClickClass = "SE user32 test dblclk";

    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        unsetenv("GDK_SCALE");  // windows of the program's own size unless a test asks
        for (const char* name : {kClass, kDoubleClickClass}) {
            WNDCLASSEXA record{};
            record.cbSize = sizeof record;
            record.style = name == kDoubleClickClass ? CS_DBLCLKS : 0;
            record.lpfnWndProc = RecordingProcedure;
            record.lpszClassName = name;
            RegisterClassExA(&record);  // kept from an earlier test when it fails
        }
    }
    void TearDown() override {
        for (HWND window : windows_)
            if (IsWindow(window)) DestroyWindow(window);
        bool quit = false;
        Pump(&quit);  // drop the quit message and whatever else the test left
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        // Buttons and keys a test left down would leak into the next one.
        ReleaseCapture();
        Log().clear();
    }

    HWND Make(const char* className = kClass, const char* title = "test", bool show = true) {
        HWND window =
            CreateWindowExA(0, className, title, 0x00CA0000u, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
        EXPECT_NE(window, nullptr) << SDL_GetError();
        if (window && show) ShowWindow(window, SW_SHOW);
        windows_.push_back(window);
        Pump();
        Log().clear();
        return window;
    }

    static Uint32 IdOf(HWND window) {
        return SDL_GetWindowID(winapi::backend::SdlWindowOf(window));
    }

    static void Push(SDL_Event event) { ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError(); }

    static void Key(HWND window, SDL_Keycode key, bool down, bool repeat = false) {
        SDL_Event event{};
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.windowID = IdOf(window);
        event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        event.key.repeat = repeat ? 1 : 0;
        event.key.keysym.sym = key;
        Push(event);
    }
    static void Motion(HWND window, int x, int y) {
        SDL_Event event{};
        event.type = SDL_MOUSEMOTION;
        event.motion.windowID = IdOf(window);
        event.motion.x = x;
        event.motion.y = y;
        Push(event);
    }
    static void Button(HWND window, Uint8 button, bool down, int x, int y, Uint8 clicks = 1) {
        SDL_Event event{};
        event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        event.button.windowID = IdOf(window);
        event.button.button = button;
        event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        event.button.clicks = clicks;
        event.button.x = x;
        event.button.y = y;
        Push(event);
    }
    static void Wheel(HWND window, int y, bool flipped = false) {
        SDL_Event event{};
        event.type = SDL_MOUSEWHEEL;
        event.wheel.windowID = IdOf(window);
        event.wheel.y = y;
        event.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
        Push(event);
    }
    static void WindowEvent(HWND window, Uint8 kind, int data1 = 0, int data2 = 0) {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.windowID = IdOf(window);
        event.window.event = kind;
        event.window.data1 = data1;
        event.window.data2 = data2;
        Push(event);
    }
    // type SDL_DROPFILE with a host path, or SDL_DROPBEGIN / SDL_DROPCOMPLETE.
    static void Drop(HWND window, Uint32 type, const std::string& file = {}) {
        SDL_Event event{};
        event.type = type;
        event.drop.windowID = IdOf(window);
        event.drop.file = type == SDL_DROPFILE ? SDL_strdup(file.c_str()) : nullptr;
        Push(event);
    }

    std::vector<HWND> windows_;
};

}  // namespace user32_test
