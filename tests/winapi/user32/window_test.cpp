// Windows, their classes and the message sequence: activation, closing (also by a close
// signal), painting, placement arithmetic and dropped files, under SDL's dummy video
// driver.
#include <gtest/gtest.h>
#include <hostdesktop.h>
#include <hostpath.h>
#include <shellapi.h>
#include <signal.h>
#include <windows.h>

#include "support/child_process.h"
#include "support/test_support.h"
#include "support/user32_support.h"
#include "support/xvfb_support.h"

namespace {

using namespace user32_test;

using User32Window = WindowTest;

TEST_F(User32Window, ClassesAreUniqueByNameWithoutCaseAndOutliveNoWindow) {
    WNDCLASSEXA record{};
    record.cbSize = sizeof record;
    record.lpfnWndProc = RecordingProcedure;
    record.lpszClassName = "se USER32 TEST";  // the fixture's class in other case
    SetLastError(0);
    EXPECT_EQ(RegisterClassExA(&record), 0);
    EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);
    record.cbSize = 48;  // a 32-bit program's size is not this layout's
    record.lpszClassName = "another";
    EXPECT_EQ(RegisterClassExA(&record), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    EXPECT_EQ(CreateWindowExA(0, "no such class", "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);

    record.cbSize = sizeof record;
    record.lpszClassName = "SE user32 short-lived";
    ASSERT_NE(RegisterClassExA(&record), 0);
    HWND window = Make("se user32 SHORT-LIVED");
    EXPECT_FALSE(UnregisterClassA("SE user32 short-lived", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_CLASS_HAS_WINDOWS);
    DestroyWindow(window);
    EXPECT_TRUE(UnregisterClassA("SE user32 short-lived", nullptr));
    EXPECT_FALSE(UnregisterClassA("SE user32 short-lived", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_CLASS_DOES_NOT_EXIST);
}

TEST_F(User32Window, CreationSendsCreateAndTitleIsKeptAsCodePage932) {
    const char title[] = "SE Retimer \x8F\x89\x8A\xFA\x89\xBB";  // "初期化"
    HWND window = CreateWindowExA(0, kClass, title, 0x00CA0000u, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    windows_.push_back(window);
    const std::vector<UINT> creation = {WM_NCCREATE, WM_CREATE};
    EXPECT_EQ(Kinds(), creation);
    char back[64];
    EXPECT_EQ(GetWindowTextA(window, back, sizeof back), static_cast<int>(sizeof title - 1));
    EXPECT_STREQ(back, title);
    EXPECT_STREQ(SDL_GetWindowTitle(winapi::backend::SdlWindowOf(window)),
                 U8(u8"SE Retimer 初期化").c_str());
    RECT client{};
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & ~WS_VISIBLE, 0x00CA0000u);
}

TEST_F(User32Window, ActivationFollowsKeyboardFocus) {
    HWND window = Make();
    WindowEvent(window, SDL_WINDOWEVENT_FOCUS_GAINED);
    WindowEvent(window, SDL_WINDOWEVENT_FOCUS_GAINED);  // told twice: one message
    Pump();
    EXPECT_EQ(GetActiveWindow(), window);
    WindowEvent(window, SDL_WINDOWEVENT_FOCUS_LOST);
    Pump();
    EXPECT_EQ(GetActiveWindow(), nullptr);
    const auto activations = Only({WM_ACTIVATE});
    ASSERT_EQ(activations.size(), 2u);
    EXPECT_EQ(LOWORD(activations[0].wParam), WA_ACTIVE);
    EXPECT_EQ(LOWORD(activations[1].wParam), WA_INACTIVE);
}

TEST_F(User32Window, ClosingDestroysInOrderAndTheQuitMessageEndsTheLoop) {
    HWND window = Make();
    PostMessageA(window, WM_USER, 1, 2);
    WindowEvent(window, SDL_WINDOWEVENT_CLOSE);
    bool quit = false;
    int code = -1;
    Pump(&quit, &code);
    // The close is sent while the pump runs, as Windows sends it; what was posted to the
    // window is dropped with it.
    const std::vector<UINT> order = {WM_CLOSE, WM_DESTROY, WM_NCDESTROY};
    EXPECT_EQ(Kinds(), order);
    EXPECT_TRUE(quit);
    EXPECT_EQ(code, 7);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);

    // GetMessageA answers 0 for the quit message.
    PostQuitMessage(3);
    MSG message;
    EXPECT_EQ(GetMessageA(&message, nullptr, 0, 0), FALSE);
    EXPECT_EQ(message.message, WM_QUIT);
    EXPECT_EQ(message.wParam, 3u);
}

// SIGTERM, SIGINT and SIGHUP ask every window to close on the next pump, as the close
// button asks one; a second signal while the first still waits to be taken ends the
// process as the signal would have.
TEST_F(User32Window, CloseSignalsAskEveryWindowToClose) {
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        HWND first = Make();
        HWND second = Make(kClass, "second");
        raise(signalNumber);
        bool quit = false;
        Pump(&quit);
        const std::vector<Seen> closes = Only({WM_CLOSE});
        ASSERT_EQ(closes.size(), 2u);
        EXPECT_EQ(closes[0].window, first);
        EXPECT_EQ(closes[1].window, second);
        EXPECT_FALSE(IsWindow(first));
        EXPECT_FALSE(IsWindow(second));
        EXPECT_TRUE(quit);
        Log().clear();
    }
    Make();  // the handlers stay, and a child inherits them
    EXPECT_EQ(RunInChild([] {
                  raise(SIGTERM);
                  raise(SIGTERM);  // nobody pumped: the process does not answer
              }),
              128 + SIGTERM);
}

// The desktop check before the program makes anything: no display named, one that cannot
// be opened (where SDL would fall back to windows nobody sees), a video driver asked for.
// Each case is a child that starts SDL's video afresh.
TEST(User32Desktop, WithoutADisplayTheCheckSaysSoAndNamesXvfbRun) {
    struct Case {
        const char *display, *wayland, *driver;
        std::string start;  // of the line; empty: no line, the display is there
    } cases[] = {
        {nullptr, nullptr, nullptr, "no display found ($DISPLAY and $WAYLAND_DISPLAY are not set)"},
        {"", "", nullptr, "no display found"},
        {"unix:/nonexistent/socket", nullptr, nullptr,
         "cannot open the display unix:/nonexistent/socket"},
        {nullptr, nullptr, "no-such-driver", "cannot open the display of video driver no-such-"},
        {nullptr, nullptr, "dummy", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        xvfb_support::Child child(
            {{"DISPLAY", c.display}, {"WAYLAND_DISPLAY", c.wayland}, {"SDL_VIDEODRIVER", c.driver}},
            [] {
                SDL_QuitSubSystem(SDL_INIT_VIDEO);  // as a new process finds it
                std::fprintf(stderr, "missing:%s\n", hostdesktop::MissingDisplay().c_str());
            });
        const std::string line = child.Line("missing:");
        ASSERT_FALSE(line.empty()) << child.Err();
        if (c.start.empty()) {
            EXPECT_EQ(line, "missing:");
        } else {
            EXPECT_EQ(line.rfind("missing:" + c.start, 0), 0u) << line;
            EXPECT_NE(line.find("xvfb-run -a "), std::string::npos) << line;
            EXPECT_EQ(line.find('\n'), std::string::npos);
        }
    }
}

TEST_F(User32Window, PaintComesAfterOtherMessagesUntilValidated) {
    HWND hidden = Make(kClass, "hidden", /*show=*/false);
    HWND window = Make();
    InvalidateRect(nullptr, nullptr, TRUE);
    PostMessageA(window, WM_USER, 0, 0);
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, WM_USER);
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(message.message, WM_PAINT);
    EXPECT_EQ(message.hwnd, window) << "a hidden window is not painted";
    DispatchMessageA(&message);  // DefWindowProcA validates
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));

    // A part of the area leaves it invalid; the whole area validates it.
    RECT part{0, 0, 10, 10};
    InvalidateRect(window, nullptr, FALSE);
    ValidateRect(window, &part);
    EXPECT_TRUE(PeekMessageA(&message, window, WM_PAINT, WM_PAINT, PM_NOREMOVE));
    ValidateRect(window, nullptr);
    EXPECT_FALSE(PeekMessageA(&message, window, WM_PAINT, WM_PAINT, PM_NOREMOVE));

    // UpdateWindow paints at once, and only an invalid window.
    Log().clear();
    UpdateWindow(window);
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    EXPECT_EQ(Only({WM_PAINT}).size(), 1u);
    ShowWindow(hidden, SW_SHOW);  // shown now: painted
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(message.hwnd, hidden);
}

TEST_F(User32Window, PlacementArithmeticRoundTrips) {
    HWND window = Make();
    struct Case {
        DWORD style;
        RECT expected;  // of (0, 0, 640, 480)
    } cases[] = {
        {0x00CA0000u, {-3, -26, 643, 483}},          // caption, system menu, minimize box
        {WS_OVERLAPPEDWINDOW, {-8, -31, 648, 488}},  // sizing frame
        {WS_POPUP, {0, 0, 640, 480}},
    };
    for (const Case& c : cases) {
        RECT rect{0, 0, 640, 480};
        ASSERT_TRUE(AdjustWindowRectEx(&rect, c.style, FALSE, 0));
        EXPECT_EQ(rect.left, c.expected.left) << std::hex << c.style;
        EXPECT_EQ(rect.top, c.expected.top) << std::hex << c.style;
        EXPECT_EQ(rect.right, c.expected.right) << std::hex << c.style;
        EXPECT_EQ(rect.bottom, c.expected.bottom) << std::hex << c.style;
    }
    Log().clear();
    ASSERT_TRUE(MoveWindow(window, 120, 80, 646, 509, TRUE));
    RECT outer{}, client{};
    ASSERT_TRUE(GetWindowRect(window, &outer));
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(outer.left, 120);
    EXPECT_EQ(outer.top, 80);
    EXPECT_EQ(outer.right, 766);
    EXPECT_EQ(outer.bottom, 589);
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    EXPECT_EQ(origin.x, 123);
    EXPECT_EQ(origin.y, 106);
    const auto moved = Only({WM_MOVE, WM_SIZE});
    ASSERT_EQ(moved.size(), 1u) << "the size did not change";
    EXPECT_EQ(moved[0].message, WM_MOVE);
    EXPECT_EQ(GET_X_LPARAM(moved[0].lParam), 123);
    EXPECT_EQ(GET_Y_LPARAM(moved[0].lParam), 106);
    // SDL reporting the same place again is no new move.
    WindowEvent(window, SDL_WINDOWEVENT_MOVED, 123, 106);
    WindowEvent(window, SDL_WINDOWEVENT_MOVED, 130, 110);
    Pump();
    EXPECT_EQ(Only({WM_MOVE}).size(), 2u);
    EXPECT_GT(GetSystemMetrics(SM_CXSCREEN), 0);
    EXPECT_GT(GetSystemMetrics(SM_CYSCREEN), 0);
}

// A high-density screen (GDK_SCALE=2): the SDL window is twice the program's size, and
// the program sees its own sizes, places and mouse positions, SDL's halved and rounded
// down, so its arithmetic is that of an unscaled screen. A scale that is no whole number
// from 1 to 8 counts as none.
TEST_F(User32Window, ScaledWindowsAreLargerInSdlAndOfTheirOwnSizeToTheProgram) {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    for (const char* bad : {"0", "9", "1.5", "2x", ""}) {
        setenv("GDK_SCALE", bad, 1);
        int w = 0, h = 0;
        SDL_GetWindowSize(winapi::backend::SdlWindowOf(Make()), &w, &h);
        EXPECT_EQ(w, 640) << bad;
        EXPECT_EQ(h, 480) << bad;
    }
    setenv("GDK_SCALE", "2", 1);
    HWND window = Make();
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), screenWidth / 2);
    unsetenv("GDK_SCALE");  // the window keeps the scale it was made with
    SDL_Window* sdl = winapi::backend::SdlWindowOf(window);
    int w = 0, h = 0, x = 0, y = 0;
    SDL_GetWindowSize(sdl, &w, &h);
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 960);
    RECT client{}, outer{};
    ASSERT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);

    ASSERT_TRUE(MoveWindow(window, 120, 80, 646, 509, TRUE));
    SDL_GetWindowPosition(sdl, &x, &y);
    SDL_GetWindowSize(sdl, &w, &h);
    EXPECT_EQ(x, 246);
    EXPECT_EQ(y, 212);
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 960);
    ASSERT_TRUE(GetWindowRect(window, &outer));
    EXPECT_EQ(outer.left, 120);
    EXPECT_EQ(outer.top, 80);
    EXPECT_EQ(outer.right, 766);
    EXPECT_EQ(outer.bottom, 589);

    Log().clear();
    WindowEvent(window, SDL_WINDOWEVENT_MOVED, 247, 213);  // the same place to the program
    WindowEvent(window, SDL_WINDOWEVENT_MOVED, 250, 214);
    WindowEvent(window, SDL_WINDOWEVENT_SIZE_CHANGED, 1281, 1200);
    Motion(window, 21, 41);
    Motion(window, -1, 0);  // just outside: rounded down, not towards 0
    Pump();
    const auto seen = Only({WM_MOVE, WM_SIZE, WM_MOUSEMOVE});
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].message, WM_MOVE);
    EXPECT_EQ(GET_X_LPARAM(seen[0].lParam), 125);
    EXPECT_EQ(GET_Y_LPARAM(seen[0].lParam), 107);
    EXPECT_EQ(seen[1].message, WM_SIZE);
    EXPECT_EQ(GET_X_LPARAM(seen[1].lParam), 640);
    EXPECT_EQ(GET_Y_LPARAM(seen[1].lParam), 600);
    EXPECT_EQ(GET_X_LPARAM(seen[2].lParam), 10);
    EXPECT_EQ(GET_Y_LPARAM(seen[2].lParam), 20);
    EXPECT_EQ(GET_X_LPARAM(seen[3].lParam), -1);
    EXPECT_EQ(GET_Y_LPARAM(seen[3].lParam), 0);
    POINT cursor{};
    ASSERT_TRUE(GetCursorPos(&cursor));
    EXPECT_EQ(cursor.x, 125 - 1);
    EXPECT_EQ(cursor.y, 107);
}

}  // namespace
