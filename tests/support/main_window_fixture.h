// The setting of the tests that drive widgets and scenes in-process: a real main window
// (SDL's dummy video driver) for the widgets to register against and to receive injected
// keys and mouse messages, the headless device, and the built package's texts and
// pictures. Each test starts with every program key's toggle taken as seen and the
// window active.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/gui/check_box.h"
#include "app/shell/app_state.h"
#include "app/shell/keyboard_handler.h"
#include "framework/gui/dispatch.h"
#include "framework/gui/palette.h"
#include "framework/platform/home.h"
#include "framework/render/direct3d.h"
#include "framework/window/keyboard.h"
#include "framework/window/window.h"
#include "support/headless_device.h"
#include "support/test_support.h"
#include "support/user32_support.h"

namespace gui_test {

// Hands its mouse messages to the widget dispatcher, as the program's main window does.
class CTestMainWindow : public NVireo::NWindow::BBasic {
public:
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
        if ((message >= WM_MOUSEMOVE && message <= WM_MBUTTONDBLCLK) || message == WM_MOUSEWHEEL) {
            NVireo::NGUI::HandleMouseMessage(window, message, wParam, lParam);
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
};

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
    }
    void TearDown() override {
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

    RaisePolicy policy_;
    std::string previousHome_ = NVireo::NFile::HomeFolder();
    CTestMainWindow window_;
};

}  // namespace gui_test
