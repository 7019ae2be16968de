// Keyboard and mouse input: SDL events injected under the dummy video driver become the
// key and mouse messages a Windows program expects, and the key state follows them.
#include <gtest/gtest.h>
#include <shellapi.h>
#include <windows.h>

#include "support/test_support.h"
#include "support/user32_support.h"

namespace {

using namespace user32_test;

constexpr LPARAM kPrevious = LPARAM(1) << 30;
constexpr LPARAM kReleased = LPARAM(1) << 31;
constexpr LPARAM kExtended = LPARAM(1) << 24;

using User32Input = WindowTest;

TEST_F(User32Input, KeyMessagesCarryRepeatAndPreviousStateAndTheToggleFlipsOncePerPress) {
    HWND window = Make();
    const bool toggleBefore = GetKeyState('Q') & 1;
    Key(window, SDLK_q, true);
    Key(window, SDLK_q, true, /*repeat=*/true);
    Key(window, SDLK_q, true, /*repeat=*/true);
    Pump();
    EXPECT_LT(GetKeyState('Q'), 0) << "high bit: down";
    EXPECT_NE(GetKeyState('Q') & 1, toggleBefore) << "the press flipped the toggle";
    Key(window, SDLK_q, false);
    Pump();
    EXPECT_GE(GetKeyState('Q'), 0);
    EXPECT_NE(GetKeyState('Q') & 1, toggleBefore) << "auto-repeat and release leave the toggle";

    const auto keys = Only({WM_KEYDOWN, WM_KEYUP});
    ASSERT_EQ(keys.size(), 4u);
    struct Expected {
        UINT message;
        LPARAM flags;
    } expected[] = {{WM_KEYDOWN, 1},
                    {WM_KEYDOWN, 1 | kPrevious},
                    {WM_KEYDOWN, 1 | kPrevious},
                    {WM_KEYUP, 1 | kPrevious | kReleased}};
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].window, window);
        EXPECT_EQ(keys[i].message, expected[i].message) << i;
        EXPECT_EQ(static_cast<WPARAM>('Q'), keys[i].wParam) << i;
        EXPECT_EQ(static_cast<DWORD>(keys[i].lParam), static_cast<DWORD>(expected[i].flags)) << i;
    }

    Key(window, SDLK_q, true);
    Key(window, SDLK_q, false);
    Pump();
    EXPECT_EQ(GetKeyState('Q') & 1, toggleBefore) << "the second press flips it back";
}

TEST_F(User32Input, SdlKeysBecomeTheProgramsVirtualKeys) {
    HWND window = Make();
    struct Case {
        SDL_Keycode key;
        int virtualKey;
        bool extended;
    } cases[] = {
        {SDLK_a, 'A', false},
        {SDLK_z, 'Z', false},
        {SDLK_0, '0', false},
        {SDLK_9, '9', false},
        {SDLK_F1, VK_F1, false},
        {SDLK_F5, VK_F5, false},
        {SDLK_F12, VK_F12, false},
        {SDLK_LEFT, VK_LEFT, true},
        {SDLK_DOWN, VK_DOWN, true},
        {SDLK_ESCAPE, VK_ESCAPE, false},
        {SDLK_RETURN, VK_RETURN, false},
        {SDLK_SPACE, VK_SPACE, false},
        {SDLK_LSHIFT, VK_SHIFT, false},
        {SDLK_RCTRL, VK_CONTROL, true},
    };
    for (const Case& c : cases) {
        Log().clear();
        Key(window, c.key, true);
        Pump();
        EXPECT_LT(GetKeyState(c.virtualKey), 0) << c.virtualKey;
        Key(window, c.key, false);
        Pump();
        const auto keys = Only({WM_KEYDOWN, WM_KEYUP});
        ASSERT_EQ(keys.size(), 2u) << c.virtualKey;
        EXPECT_EQ(keys[0].wParam, static_cast<WPARAM>(c.virtualKey));
        EXPECT_EQ((keys[0].lParam & kExtended) != 0, c.extended) << c.virtualKey;
        EXPECT_GE(GetKeyState(c.virtualKey), 0) << c.virtualKey;
    }
    // Both Shift keys: the generic key is down while either is.
    Key(window, SDLK_LSHIFT, true);
    Key(window, SDLK_RSHIFT, true);
    Key(window, SDLK_LSHIFT, false);
    Pump();
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    Key(window, SDLK_RSHIFT, false);
    Pump();
    EXPECT_GE(GetKeyState(VK_SHIFT), 0);
    // A key the program has no code for makes no message.
    Log().clear();
    Key(window, SDLK_F20, true);
    Key(window, SDLK_F20, false);
    Pump();
    EXPECT_TRUE(Only({WM_KEYDOWN, WM_KEYUP}).empty());
}

TEST_F(User32Input, MouseMessagesCarryClientCoordinatesAndButtonFlags) {
    HWND window = Make();
    Motion(window, 10, 20);
    Button(window, SDL_BUTTON_LEFT, true, 11, 21);
    Button(window, SDL_BUTTON_RIGHT, true, 12, 22);
    Motion(window, -5, 30);  // dragged out to the left: signed coordinates
    Button(window, SDL_BUTTON_LEFT, false, 13, 23);
    Button(window, SDL_BUTTON_RIGHT, false, 14, 24);
    Button(window, SDL_BUTTON_MIDDLE, true, 15, 25);
    Button(window, SDL_BUTTON_MIDDLE, false, 15, 25);
    Pump();
    struct Expected {
        UINT message;
        WPARAM flags;
        int x, y;
    } expected[] = {
        {WM_MOUSEMOVE, 0, 10, 20},
        {WM_LBUTTONDOWN, MK_LBUTTON, 11, 21},
        {WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, 12, 22},
        {WM_MOUSEMOVE, MK_LBUTTON | MK_RBUTTON, -5, 30},
        {WM_LBUTTONUP, MK_RBUTTON, 13, 23},
        {WM_RBUTTONUP, 0, 14, 24},
        {WM_MBUTTONDOWN, MK_MBUTTON, 15, 25},
        {WM_MBUTTONUP, 0, 15, 25},
    };
    const auto mouse = Only({WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN,
                             WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP});
    ASSERT_EQ(mouse.size(), std::size(expected));
    for (size_t i = 0; i < mouse.size(); ++i) {
        EXPECT_EQ(mouse[i].message, expected[i].message) << i;
        EXPECT_EQ(mouse[i].wParam, expected[i].flags) << i;
        EXPECT_EQ(GET_X_LPARAM(mouse[i].lParam), expected[i].x) << i;
        EXPECT_EQ(GET_Y_LPARAM(mouse[i].lParam), expected[i].y) << i;
    }
    EXPECT_GE(GetKeyState(VK_LBUTTON), 0);
    // The cursor is where the last event put it, in screen coordinates.
    POINT cursor{}, client{15, 25};
    ASSERT_TRUE(GetCursorPos(&cursor));
    ASSERT_TRUE(ClientToScreen(window, &client));
    EXPECT_EQ(cursor.x, client.x);
    EXPECT_EQ(cursor.y, client.y);
}

TEST_F(User32Input, SecondClickIsADoubleClickOnlyForClassesThatAskForIt) {
    for (const char* className : {kClass, kDoubleClickClass}) {
        HWND window = Make(className);
        Button(window, SDL_BUTTON_LEFT, true, 1, 1, 1);
        Button(window, SDL_BUTTON_LEFT, false, 1, 1, 1);
        Button(window, SDL_BUTTON_LEFT, true, 1, 1, 2);
        Button(window, SDL_BUTTON_LEFT, false, 1, 1, 2);
        Pump();
        const auto downs = Only({WM_LBUTTONDOWN, WM_LBUTTONDBLCLK});
        ASSERT_EQ(downs.size(), 2u);
        EXPECT_EQ(downs[0].message, WM_LBUTTONDOWN);
        EXPECT_EQ(downs[1].message,
                  className == kDoubleClickClass ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN);
        Log().clear();
    }
}

TEST_F(User32Input, CaptureSendsEveryMouseMessageToTheCapturingWindow) {
    HWND first = Make();
    HWND second = Make();
    ASSERT_TRUE(MoveWindow(first, 100, 100, 300, 200, FALSE));
    ASSERT_TRUE(MoveWindow(second, 500, 100, 300, 200, FALSE));
    Pump();
    Log().clear();
    EXPECT_EQ(SetCapture(first), nullptr);
    EXPECT_EQ(GetCapture(), first);
    Motion(second, 7, 8);
    Pump();
    POINT origin{0, 0};
    ClientToScreen(second, &origin);
    POINT inFirst = {origin.x + 7, origin.y + 8};
    ScreenToClient(first, &inFirst);
    auto moves = Only({WM_MOUSEMOVE});
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].window, first);
    EXPECT_EQ(GET_X_LPARAM(moves[0].lParam), inFirst.x);
    EXPECT_EQ(GET_Y_LPARAM(moves[0].lParam), inFirst.y);

    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(GetCapture(), nullptr);
    Log().clear();
    Motion(second, 7, 8);
    Pump();
    moves = Only({WM_MOUSEMOVE});
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].window, second);
    EXPECT_EQ(GET_X_LPARAM(moves[0].lParam), 7);

    // The capture ends with its window.
    SetCapture(second);
    DestroyWindow(second);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(User32Input, WheelNotchesAre120WithTheCursorInScreenCoordinates) {
    HWND window = Make();
    ASSERT_TRUE(MoveWindow(window, 40, 50, 646, 509, FALSE));
    Motion(window, 30, 40);
    struct Case {
        int notches;
        bool flipped;
        int delta;
    } cases[] = {{1, false, 120}, {-1, false, -120}, {3, false, 360}, {2, true, -240}};
    for (const Case& c : cases) Wheel(window, c.notches, c.flipped);
    Pump();
    const auto wheels = Only({WM_MOUSEWHEEL});
    ASSERT_EQ(wheels.size(), std::size(cases));
    POINT screen{30, 40};
    ClientToScreen(window, &screen);
    for (size_t i = 0; i < wheels.size(); ++i) {
        EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheels[i].wParam), cases[i].delta) << i;
        EXPECT_EQ(GET_X_LPARAM(wheels[i].lParam), screen.x) << i;
        EXPECT_EQ(GET_Y_LPARAM(wheels[i].lParam), screen.y) << i;
    }
}

}  // namespace
