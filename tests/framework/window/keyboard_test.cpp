// The keyboard: press detection of watched keys from injected key events, the lowest
// key's upkeep across scene changes, and the function keys of the keyboard handler.
#include "framework/window/keyboard.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "app/shell/app_state.h"
#include "app/shell/keyboard_handler.h"
#include "framework/window/window.h"
#include "support/test_support.h"
#include "support/user32_support.h"

namespace {

using namespace user32_test;

constexpr const char* kClassName = "SE framework window test";  // the program has one class

class CMainWindow : public NVireo::NWindow::BBasic {
public:
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
        seen.push_back(message);
        return DefWindowProcA(window, message, wParam, lParam);
    }
    std::vector<UINT> seen;
};

class Keyboard : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        window_.Create(kClassName, "keys", 0x00CA0000u);
        ASSERT_NE(window_.hwnd, nullptr);
        NVireo::NWindow::SetMainWindow(&window_);
        Keyborad::WatchProgramKeys();
        Main::State() = Main::CState{};
        Main::State().active = 1;
        Keyborad::Hooks() = Keyborad::CHooks{};
    }
    void TearDown() override {
        Main::State() = Main::CState{};
        Keyborad::Hooks() = Keyborad::CHooks{};
        NVireo::NWindow::SetMainWindow(nullptr);
        WindowTest::TearDown();
    }
    void Press(SDL_Keycode key, bool down, bool repeat = false) {
        if (window_.hwnd != nullptr) Key(window_.hwnd, key, down, repeat);
        Pump();
    }
    void Mouse(Uint8 button, bool down) {
        Button(window_.hwnd, button, down, 1, 1);
        Pump();
    }
    CMainWindow window_;
};

TEST_F(Keyboard, TheProgramsKeysAreWatchedOnceWithTheLeftButtonLowest) {
    const int32_t count = NVireo::NGame::WatchedKeyCount();
    EXPECT_GE(count, 35);
    Keyborad::WatchProgramKeys();
    NVireo::NGame::AddWatchedKey('Q');
    EXPECT_EQ(NVireo::NGame::WatchedKeyCount(), count);
    ASSERT_NE(NVireo::NGame::LowestWatchedKey(), nullptr);
    EXPECT_EQ(NVireo::NGame::LowestWatchedKey()->key, VK_LBUTTON);
}

TEST_F(Keyboard, HoldingAKeyIsOnePressAndOnlyWhileActive) {
    using NVireo::NGame::KeyPressed;
    struct Step {
        SDL_Keycode key;
        bool down, repeat;
        bool pressed;  // what KeyPressed('W') answers afterwards
    } steps[] = {
        {SDLK_w, true, false, true},   {SDLK_w, true, true, false}, {SDLK_w, true, true, false},
        {SDLK_w, false, false, false}, {SDLK_w, true, false, true}, {SDLK_w, false, false, false},
    };
    for (const Step& step : steps) {
        Press(step.key, step.down, step.repeat);
        EXPECT_EQ(KeyPressed('W'), step.pressed) << step.down << step.repeat;
        EXPECT_FALSE(KeyPressed('W')) << "asked again: no second press";
    }
    // A tap between two questions (down and up before the next frame) is one press, and
    // a later press is one more.
    Press(SDLK_w, true);
    Press(SDLK_w, false);
    EXPECT_TRUE(KeyPressed('W'));
    EXPECT_FALSE(KeyPressed('W'));
    Press(SDLK_w, true);
    EXPECT_TRUE(KeyPressed('W'));
    Press(SDLK_w, false);
    // A tap of a key no scene asked about is forgotten at the next scene.
    Press(SDLK_w, true);
    Press(SDLK_w, false);
    NVireo::NGame::ResetWatchedKeys();
    EXPECT_FALSE(KeyPressed('W'));

    EXPECT_FALSE(KeyPressed('K')) << "not watched";
    Main::State().active = 0;
    Press(SDLK_q, true);
    EXPECT_FALSE(KeyPressed('Q')) << "inactive";
    Main::State().active = 1;
    EXPECT_TRUE(KeyPressed('Q'));
    Press(SDLK_q, false);
}

TEST_F(Keyboard, AButtonHeldAcrossASceneChangeIsNoNewPress) {
    using NVireo::NGame::KeyPressed;
    Mouse(SDL_BUTTON_LEFT, true);
    NVireo::NGame::MarkLowestKeyIfToggled();  // the frame before the switch
    NVireo::NGame::ResetLowestKey();          // the new scene
    EXPECT_FALSE(KeyPressed(VK_LBUTTON));
    Mouse(SDL_BUTTON_LEFT, false);
    Mouse(SDL_BUTTON_LEFT, true);
    NVireo::NGame::MarkLowestKeyIfToggled();
    EXPECT_TRUE(KeyPressed(VK_LBUTTON));
    // An activation change marks it changed: a button still down counts once more.
    NVireo::NGame::MarkLowestKeyChanged();
    EXPECT_TRUE(KeyPressed(VK_LBUTTON));
    Mouse(SDL_BUTTON_LEFT, false);
}

int screenshots = 0;
int titles = 0;

TEST_F(Keyboard, FunctionKeysOfTheHandler) {
    Keyborad::CWindower handler;
    screenshots = titles = 0;
    Keyborad::Hooks().saveScreenshot = [] { ++screenshots; };
    Keyborad::Hooks().goToTitleStart = [] { ++titles; };
    constexpr LPARAM kRepeat = LPARAM(1) << 30;

    struct Case {
        WPARAM key;
        LPARAM flags;
        bool taken;
    } cases[] = {
        {VK_F1, 1, false},           {VK_F2, 1, false}, {'A', 1, false},
        {VK_ESCAPE, 1, false},       {VK_F3, 1, true},  {VK_F11, 1, true},
        {VK_F7, 1 | kRepeat, false},
    };
    for (const Case& c : cases) EXPECT_EQ(handler.OnKeyDown(c.key, c.flags), c.taken) << c.key;
    EXPECT_EQ(screenshots, 0) << "an auto-repeated F7 does nothing";

    EXPECT_TRUE(handler.OnKeyDown(VK_F7, 1));
    EXPECT_EQ(screenshots, 1);

    // F5 alone does nothing; with M and B held it toggles the frame-rate line.
    EXPECT_TRUE(handler.OnKeyDown(VK_F5, 1));
    EXPECT_EQ(Main::State().showFps, 0);
    Press(SDLK_m, true);
    EXPECT_TRUE(handler.OnKeyDown(VK_F5, 1));
    EXPECT_EQ(Main::State().showFps, 0) << "M alone";
    Press(SDLK_b, true);
    EXPECT_TRUE(handler.OnKeyDown(VK_F5, 1));
    EXPECT_EQ(Main::State().showFps, 1);
    EXPECT_TRUE(handler.OnKeyDown(VK_F5, 1));
    EXPECT_EQ(Main::State().showFps, 0);
    Press(SDLK_m, false);
    Press(SDLK_b, false);

    // F9 opens the title only once the program is ready.
    handler.OnKeyDown(VK_F9, 1);
    EXPECT_EQ(titles, 0);
    Main::State().ready = 1;
    handler.OnKeyDown(VK_F9, 1);
    EXPECT_EQ(titles, 1);
}

TEST_F(Keyboard, F12ClosesTheMainWindowAndEndsTheLoopOnceReady) {
    Keyborad::CWindower handler;
    for (bool ready : {false, true}) {
        if (window_.hwnd == nullptr) window_.Create(kClassName, "keys", 0x00CA0000u);
        Main::State().ready = ready;
        window_.seen.clear();
        EXPECT_TRUE(handler.OnKeyDown(VK_F12, 1));
        EXPECT_EQ(window_.seen.front(), static_cast<UINT>(WM_CLOSE)) << ready;
        EXPECT_EQ(window_.hwnd, nullptr) << ready;
        bool quit = false;
        int code = -1;
        Pump(&quit, &code);
        EXPECT_EQ(quit, ready);
        EXPECT_EQ(code, ready ? 0 : -1);
    }
    // While quitting no second WM_CLOSE is sent.
    window_.Create(kClassName, "keys", 0x00CA0000u);
    Main::State().quitting = 1;
    window_.seen.clear();
    handler.OnKeyDown(VK_F12, 1);
    EXPECT_TRUE(window_.seen.empty());
    EXPECT_NE(window_.hwnd, nullptr);
}

}  // namespace
