// Window objects over the layer (SDL's dummy video driver): the window map routes
// messages to the object, the close sequence, reported exceptions, placement and its
// bookkeeping, dropped files and mouse capture.
#include "framework/window/window.h"

#include <gtest/gtest.h>
#include <hostpath.h>
#include <shellapi.h>
#include <windows.h>

#include <new>
#include <stdexcept>

#include "app/setup/settings.h"
#include "app/shell/window_placement.h"
#include "framework/window/dropped_files.h"
#include "framework/window/mouse_capture.h"
#include "support/test_support.h"
#include "support/user32_support.h"

namespace {

using namespace user32_test;

constexpr const char* kClassName = "SE framework window test";

class CRecorder : public NVireo::NWindow::BBasic {
public:
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
        seen.push_back(message);
        if (message == WM_USER + 1) throw std::bad_alloc();
        if (message == WM_USER + 2) throw std::runtime_error("x");
        if (message == WM_MOVE) Appli::RememberWindowMove(window);
        if (message == WM_SIZE) Appli::RememberWindowSize(window, wParam, lParam);
        if (message == WM_DROPFILES)
            return NVireo::NDrop::HandleDroppedFiles(reinterpret_cast<HDROP>(wParam));
        if (message == WM_DESTROY) PostQuitMessage(0);
        return DefWindowProcA(window, message, wParam, lParam);
    }
    std::vector<UINT> seen;
};

class WindowObjects : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        recorder_.Create(kClassName, "framework", 0x00CA0000u);
        ASSERT_NE(recorder_.hwnd, nullptr);
        ShowWindow(recorder_.hwnd, SW_SHOW);
        NVireo::NWindow::SetMainWindow(&recorder_);
        Pump();
        recorder_.seen.clear();
        savedSettings_ = Appli::Settings();
    }
    void TearDown() override {
        NVireo::NWindow::SetMainWindow(nullptr);
        Appli::Settings() = savedSettings_;
        WindowTest::TearDown();
    }
    CRecorder recorder_;
    Appli::CSettings savedSettings_;
};

TEST_F(WindowObjects, MessagesReachTheObjectAndTheMapForgetsItAfterDestruction) {
    HWND window = recorder_.hwnd;
    EXPECT_NE(NVireo::NWindow::WindowClassAtom(), 0);
    EXPECT_EQ(NVireo::NWindow::FindWindowObject(window), &recorder_);
    const int32_t before = NVireo::NWindow::WindowMapCount();
    WindowEvent(window, SDL_WINDOWEVENT_CLOSE);
    bool quit = false;
    Pump(&quit);
    const std::vector<UINT> order = {WM_CLOSE, WM_DESTROY, WM_NCDESTROY};
    EXPECT_EQ(recorder_.seen, order);
    EXPECT_TRUE(quit);
    EXPECT_EQ(recorder_.hwnd, nullptr) << "the main loop runs while the window has a handle";
    EXPECT_EQ(NVireo::NWindow::MainWindowHandle(), nullptr);
    EXPECT_EQ(NVireo::NWindow::FindWindowObject(window), nullptr);
    EXPECT_EQ(NVireo::NWindow::WindowMapCount(), before - 1);
}

TEST_F(WindowObjects, DestroyingTheObjectDestroysItsWindowWithoutCallingIt) {
    HWND window;
    {
        CRecorder other;
        other.Create(kClassName, "other", 0x00CA0000u);
        window = other.hwnd;
        ASSERT_TRUE(IsWindow(window));
    }  // the destructor must not reach the half-destroyed object's OnMessage
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(NVireo::NWindow::FindWindowObject(window), nullptr);
}

TEST_F(WindowObjects, ExceptionsOutOfAHandlerAreReportedAndTheDefaultAnswers) {
    for (UINT message : {WM_USER + 1, WM_USER + 2}) {
        RaisePolicy policy(2);  // Raise records and returns
        EXPECT_EQ(SendMessageA(recorder_.hwnd, message, 0, 0), 0);
        EXPECT_NE(NVireo::NError::ErrorText().find(message == WM_USER + 1 ? "std::bad_alloc"
                                                                          : "exception"),
                  std::string::npos)
            << NVireo::NError::ErrorText();
    }
    EXPECT_TRUE(IsWindow(recorder_.hwnd));
}

TEST_F(WindowObjects, PlacementCentresWithoutASavedPositionAndRestoresOne) {
    Appli::CSettings& settings = Appli::Settings();
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    struct Case {
        bool firstRun;
        int32_t left, top;
        uint32_t width, height;
        int32_t expectedLeft, expectedTop;
        int32_t expectedWidth, expectedHeight;
    } cases[] = {
        {false, -10000, 5, 640, 480, (screenWidth - 646) >> 1, (screenHeight - 509) >> 1, 640, 480},
        {true, 100, 50, 640, 480, (screenWidth - 646) >> 1, (screenHeight - 509) >> 1, 640, 480},
        {false, -9999, 60, 320, 200, -9999, 60, 320, 200},  // -9999 is a position
        {false, 100, 50, 0, 0, 100, 50, 640, 480},          // no saved size
        // Larger than the screen: centred by halves rounded down, off the top-left.
        {false, -10000, 0, 4001, 3001, (screenWidth - 4007) >> 1, (screenHeight - 3030) >> 1, 4001,
         3001},
    };
    for (const Case& c : cases) {
        settings.firstRun = c.firstRun;
        settings.left = c.left;
        settings.top = c.top;
        settings.clientWidth = c.width;
        settings.clientHeight = c.height;
        settings.maximised = 0;
        Appli::PlaceMainWindow(recorder_);
        RECT outer{}, client{};
        ASSERT_TRUE(GetWindowRect(recorder_.hwnd, &outer));
        ASSERT_TRUE(GetClientRect(recorder_.hwnd, &client));
        EXPECT_EQ(outer.left, c.expectedLeft) << c.left;
        EXPECT_EQ(outer.top, c.expectedTop) << c.left;
        EXPECT_EQ(client.right, c.expectedWidth) << c.left;
        EXPECT_EQ(client.bottom, c.expectedHeight) << c.left;
    }
}

TEST_F(WindowObjects, MovesAndSizesAreKeptInTheSettings) {
    Appli::CSettings& settings = Appli::Settings();
    settings.clientWidth = 640;
    settings.clientHeight = 480;
    ASSERT_TRUE(MoveWindow(recorder_.hwnd, 30, 40, 646, 509, FALSE));
    EXPECT_EQ(settings.left, 30);
    EXPECT_EQ(settings.top, 40);
    ASSERT_TRUE(MoveWindow(recorder_.hwnd, 31, 41, 406, 329, FALSE));
    EXPECT_EQ(settings.clientWidth, 400u);
    EXPECT_EQ(settings.clientHeight, 300u);

    Appli::RememberWindowSize(recorder_.hwnd, SIZE_MAXIMIZED, MAKELPARAM(1024, 768));
    EXPECT_EQ(settings.maximised, 1u);
    EXPECT_EQ(settings.clientWidth, 400u) << "the restored size is what is kept";
    settings.left = 7;
    Appli::RememberWindowSize(recorder_.hwnd, SIZE_MINIMIZED, 0);
    EXPECT_EQ(settings.maximised, 1u);
    EXPECT_EQ(settings.left, 7);
    Appli::RememberWindowSize(recorder_.hwnd, SIZE_RESTORED, MAKELPARAM(400, 300));
    EXPECT_EQ(settings.maximised, 0u);
    EXPECT_EQ(settings.left, 31);
}

TEST_F(WindowObjects, DroppedFilesFillTheListInOrderAndTheHandlerAnswersOne) {
    TempFolder folder;
    const std::vector<std::string> names = {folder / "1.wav", folder / U8(u8"二.wav"),
                                            folder / U8(u8"three \u00e9\u2603.wav")};
    for (const std::string& name : names) WriteFile(name, {0});
    NVireo::NDrop::AcceptDroppedFiles();
    NVireo::NDrop::DroppedFiles().paths.resize(5);  // an earlier drop is replaced
    Drop(recorder_.hwnd, SDL_DROPBEGIN);
    for (const std::string& name : names) Drop(recorder_.hwnd, SDL_DROPFILE, name);
    Drop(recorder_.hwnd, SDL_DROPCOMPLETE);
    Pump();
    const NVireo::NDrop::CDroppedFiles& files = NVireo::NDrop::DroppedFiles();
    ASSERT_EQ(files.Count(), 3u);
    for (uint32_t i = 0; i < files.Count(); ++i)
        EXPECT_EQ(ProgramToHostPath(files.Path(i)), names[i]);
    EXPECT_EQ(GetFocus(), recorder_.hwnd);
    NVireo::NDrop::DroppedFiles().Clear();
}

TEST_F(WindowObjects, TheCaptureFollowsTheHeldButtons) {
    NVireo::CMouseCapture& capture = NVireo::MouseCapture();
    HWND window = recorder_.hwnd;
    struct Step {
        Uint8 button;
        bool down;
        bool ended;     // what Update answers
        bool captured;  // who holds the capture afterwards
    } steps[] = {
        {SDL_BUTTON_LEFT, true, false, true},   // a press captures
        {SDL_BUTTON_LEFT, false, true, false},  // releasing it ends the capture
        {SDL_BUTTON_RIGHT, true, false, true},
        {SDL_BUTTON_LEFT, true, true, false},   // a second button ends it too
        {SDL_BUTTON_LEFT, false, false, true},  // right still down: captured again
        {SDL_BUTTON_RIGHT, false, true, false},
    };
    for (const Step& step : steps) {
        Button(window, step.button, step.down, 5, 5);
        Pump();
        EXPECT_EQ(capture.Update(window), step.ended) << int(step.button) << step.down;
        EXPECT_EQ(GetCapture(), step.captured ? window : nullptr) << int(step.button) << step.down;
        EXPECT_EQ(capture.captureWindow, GetCapture());
    }
}

}  // namespace
