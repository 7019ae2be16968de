// The setting of the tests that drive widgets and scenes in-process: a real main window
// (SDL's dummy video driver) for the widgets to register against and to receive injected
// keys and mouse messages, the headless device, and the built package's texts and
// pictures. Each test starts with every program key's toggle taken as seen, the window
// active, the program's keyboard handler in place and the frame timer on a clock of the
// test's own. Input goes in as the user gives it (taps, clicks, held buttons) and the
// program's own frame runs it, so a test takes the path a user takes.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "app/gui/check_box.h"
#include "app/setup/data_paths.h"
#include "app/shell/app_state.h"
#include "app/shell/frame_timer.h"
#include "app/shell/keyboard_handler.h"
#include "app/shell/program.h"
#include "app/shell/scene.h"
#include "framework/gui/dispatch.h"
#include "framework/gui/palette.h"
#include "framework/platform/home.h"
#include "framework/render/direct3d.h"
#include "framework/window/dropped_files.h"
#include "framework/window/keyboard.h"
#include "framework/window/window.h"
#include "support/headless_device.h"
#include "support/test_support.h"
#include "support/user32_support.h"

namespace gui_test {

// Hands its mouse messages to the widget dispatcher, its key messages to the keyboard
// handler and its dropped files to the drop list, as the program's main window does.
class CTestMainWindow : public NVireo::NWindow::BBasic {
public:
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
        if ((message >= WM_MOUSEMOVE && message <= WM_MBUTTONDBLCLK) || message == WM_MOUSEWHEEL) {
            NVireo::NGUI::HandleMouseMessage(window, message, wParam, lParam);
        }
        if (message == WM_KEYDOWN && Keyborad::Handler() != nullptr) {
            Keyborad::Handler()->OnKeyDown(wParam, lParam);
        }
        if (message == WM_DROPFILES) {
            return NVireo::NDrop::HandleDroppedFiles(reinterpret_cast<HDROP>(wParam));
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
};

// The frame timer's clock while a test runs: it moves only when a frame is run.
inline uint32_t& FrameClock() {
    static uint32_t now = 0;
    return now;
}
inline uint32_t ReadFrameClock() { return FrameClock(); }
inline void NoSleep(uint32_t) {}

class MainWindowTest : public user32_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        headless::OpenProgramPackage(previousHome_);
        ASSERT_TRUE(headless::StartDevice());
        if (NVireo::NWindow::WindowMapCount() == 0) NVireo::NWindow::UnregisterWindowClass();
        window_.Create("SE widget test", "widgets", 0x00CA0000u);
        ASSERT_NE(window_.hwnd, nullptr);
        NVireo::NWindow::SetMainWindow(&window_);
        Keyborad::WatchProgramKeys();
        // Every key's toggle taken as seen, whatever earlier tests pressed while nothing
        // asked.
        for (char key : std::string("QWERTASDFGZX")) {
            NVireo::NGame::CKeyEntry* entry = NVireo::NGame::WatchedKey(key);
            ASSERT_NE(entry, nullptr) << key;
            entry->toggle = static_cast<uint8_t>(GetKeyState(key) & 1);
            entry->changed = false;
        }
        Main::State() = Main::CState{};
        Main::State().active = 1;
        NVireo::NGUI::SetGuiPalette(NVireo::NGUI::kDefaultGuiBase);
        // The program's function keys: F9 opens the title, F7 saves a screenshot.
        Keyborad::SetHandler(std::make_unique<Keyborad::CWindower>());
        Keyborad::Hooks().goToTitleStart = Scene::GoToTitleStart;
        Keyborad::Hooks().saveScreenshot = [] {
            NVireo::NDirectX::N3D::SaveScreenshot(Appli::ScreenshotFolder().c_str());
        };
        Main::FrameTimer().time = {ReadFrameClock, NoSleep};
        Main::FrameTimer().targetFps = 25;
        Main::FrameTimer().periodMs = 40;
        Main::FrameTimer().Restart();
    }
    void TearDown() override {
        Scene::EndScenes();
        // A test may point the home folder elsewhere (music, screenshots): back it goes.
        NVireo::NFile::SetHomeFolder(previousHome_.c_str());
        std::filesystem::current_path(previousFolder_);
        Keyborad::SetHandler(nullptr);
        Keyborad::Hooks() = Keyborad::CHooks{};
        Main::FrameTimer() = previousTimer_;
        Button::Image::ReleaseCheckBoxPictures();
        NVireo::NDirectX::N3D::StopRenderer();
        Main::State() = Main::CState{};
        NVireo::NWindow::SetMainWindow(nullptr);
        if (window_.hwnd != nullptr) DestroyWindow(window_.hwnd);
        WindowTest::TearDown();
        if (NVireo::NWindow::WindowMapCount() == 0) NVireo::NWindow::UnregisterWindowClass();
    }

    void Key(SDL_Keycode key, bool down) {
        WindowTest::Key(window_.hwnd, key, down);
        user32_test::Pump();
    }
    // The pointer moved to (x, y) of the client area, or a button went down or up there.
    void MoveTo(int x, int y) {
        Motion(window_.hwnd, x, y);
        user32_test::Pump();
    }
    void Mouse(Uint8 button, bool down, int x, int y) {
        WindowTest::Button(window_.hwnd, button, down, x, y);
        user32_test::Pump();
    }
    // A tap shorter than a frame: the key goes down and up before the next frame.
    void Tap(SDL_Keycode key) {
        WindowTest::Key(window_.hwnd, key, true);
        WindowTest::Key(window_.hwnd, key, false);
        user32_test::Pump();
    }
    // A click shorter than a frame at (x, y): the pointer moves there, the button goes
    // down and up before the next frame.
    void Click(int x, int y, Uint8 button = SDL_BUTTON_LEFT) {
        Motion(window_.hwnd, x, y);
        WindowTest::Button(window_.hwnd, button, true, x, y);
        WindowTest::Button(window_.hwnd, button, false, x, y);
        user32_test::Pump();
    }

    // One frame of the program (Main::Frame: key upkeep, the widgets' tick, the scene's
    // update, the pick under the pointer, drawing), its clock one 40 ms period on. With
    // draw false the frame only updates, as the program's frame after a late one does
    // (for tests that look at no pixels: drawing is most of a frame's time). A reported
    // error fails the test with its text.
    static void ProgramFrame(bool draw = true) {
        FrameClock() += 40;
        Main::State().ready = 1;
        if (!draw) Main::FrameTimer().late = true;
        try {
            Main::Frame();
        } catch (const NVireo::NError::CObject&) {
            ADD_FAILURE() << NVireo::NError::ErrorText();
            NVireo::NError::Clear();
        }
    }
    // Program frames until done() holds (a worker thread may have to finish first), with
    // a generous deadline; answers done().
    template <typename Done>
    static bool FramesUntil(Done done, bool draw = true) {
        const auto deadline = std::chrono::steady_clock::now() + Scaled(std::chrono::seconds(30));
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            ProgramFrame(draw);
            Sleep(1);
        }
        return done();
    }
    // The scene on screen as type T, or null.
    template <typename T>
    static T* SceneAs() {
        return dynamic_cast<T*>(NVireo::NGame::NScene::Current());
    }

    RaisePolicy policy_;
    Main::CFrameTimer previousTimer_ = Main::FrameTimer();
    std::string previousHome_ = NVireo::NFile::HomeFolder();
    std::filesystem::path previousFolder_ = std::filesystem::current_path();
    CTestMainWindow window_;
};

}  // namespace gui_test
