// Mouse dispatch through a real (hidden-driver) window: SDL mouse events are injected,
// the layer turns them into mouse messages, and the window procedure hands each to the
// widget dispatcher, as the main window does.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "framework/gui/widget_probe.h"
#include "framework/window/mouse_capture.h"
#include "support/user32_support.h"

namespace {

using namespace widget_test;
using Events_ = std::vector<std::string>;

constexpr RECT kA{0, 0, 50, 50};
constexpr RECT kB{100, 0, 150, 50};
constexpr int kAx = 10, kBx = 110, kEmptyX = 300, kY = 10;

LRESULT WidgetProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    NVireo::NGUI::HandleMouseMessage(window, message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

class WidgetDispatch : public user32_test::WindowTest {
protected:
    static constexpr const char* kWidgetClass = "SE widget dispatch test";

    void SetUp() override {
        WindowTest::SetUp();
        WNDCLASSEXA record{};
        record.cbSize = sizeof record;
        record.lpfnWndProc = WidgetProcedure;
        record.lpszClassName = kWidgetClass;
        RegisterClassExA(&record);  // kept from an earlier test when it fails
        window = Make(kWidgetClass);
        guard = std::make_unique<RegistryGuard>();
    }
    void TearDown() override {
        // Buttons left down would leak into the next test through the key state.
        const struct {
            int key;
            Uint8 button;
        } buttons[] = {{VK_LBUTTON, SDL_BUTTON_LEFT},
                       {VK_RBUTTON, SDL_BUTTON_RIGHT},
                       {VK_MBUTTON, SDL_BUTTON_MIDDLE}};
        for (const auto& b : buttons)
            if (GetKeyState(b.key) < 0) Button(window, b.button, false, kEmptyX, kY);
        user32_test::Pump();
        NVireo::MouseCapture().captureWindow = nullptr;
        NVireo::MouseCapture().buttons = 0;
        guard.reset();
        WindowTest::TearDown();
    }

    void Move(int x) {
        Motion(window, x, kY);
        user32_test::Pump();
    }
    void Press(int x, Uint8 button = SDL_BUTTON_LEFT) {
        Button(window, button, true, x, kY);
        user32_test::Pump();
    }
    void Release(int x, Uint8 button = SDL_BUTTON_LEFT) {
        Button(window, button, false, x, kY);
        user32_test::Pump();
    }
    void Frame(int x) {
        NVireo::NGUI::TickAll();
        NVireo::NGUI::PickAtCursor(POINT{x, kY});
    }
    static std::vector<std::string> Take() {
        std::vector<std::string> taken;
        taken.swap(Events());
        return taken;
    }

    HWND window = nullptr;
    std::unique_ptr<RegistryGuard> guard;
};

TEST_F(WidgetDispatch, HoverFollowsThePointerAndLeavesWhenItGoesOff) {
    Probe a("A", kA, window);
    Move(kAx);
    EXPECT_TRUE(a.IsActive());
    Move(kAx + 5);  // every move without a button: leave, then the selection again
    Move(kEmptyX);
    EXPECT_EQ(NVireo::NGUI::ActiveWidget(), nullptr);
    EXPECT_EQ(Take(), Events_({"A move", "A leave", "A move", "A leave"}));
    EXPECT_EQ(NVireo::NGUI::CurrentPointer().clientX, kEmptyX);
}

TEST_F(WidgetDispatch, ReleaseOverTheBackgroundStillGoesToThePressedWidget) {
    Probe a("A", kA, window);
    Probe b("B", kB, window);
    Move(kAx);
    Press(kAx);
    Move(kEmptyX);
    NVireo::NGUI::PickAtCursor(POINT{kEmptyX, kY});  // nothing there: A stays active
    Release(kEmptyX);
    EXPECT_EQ(Take(), Events_({"A move", "A ldown", "A move", "A lup", "A end"}));
    EXPECT_EQ(NVireo::NGUI::ActiveWidget(), nullptr);
    Move(kBx);
    EXPECT_TRUE(b.IsActive());
}

TEST_F(WidgetDispatch, DraggingOntoAnotherWidgetHandsItTheMouseFromTheNextFrame) {
    Probe a("A", kA, window);
    Probe b("B", kB, window);
    Move(kAx);
    Press(kAx);
    Move(kBx);  // still A's while held
    EXPECT_TRUE(a.IsActive());
    Take();
    NVireo::NGUI::PickAtCursor(POINT{kBx, kY});
    EXPECT_TRUE(b.IsActive());
    Release(kBx);
    EXPECT_EQ(Take(), Events_({"B move", "B lup", "B end"})) << "A gets neither release nor end";
}

TEST_F(WidgetDispatch, APressOnTheBackgroundKeepsEveryWidgetOutUntilTheRelease) {
    Probe a("A", kA, window);
    Press(kEmptyX);
    EXPECT_TRUE(NVireo::NGUI::Registry().backgroundPress);
    Move(kAx);
    Frame(kAx);
    EXPECT_TRUE(Take().empty()) << "no messages, no tick, no selection";
    Release(kAx);
    EXPECT_FALSE(NVireo::NGUI::Registry().backgroundPress);
    EXPECT_TRUE(Take().empty()) << "the release itself reaches no widget";
    Move(kAx);
    EXPECT_EQ(Take(), Events_({"A move"}));
    EXPECT_TRUE(a.IsActive());
}

TEST_F(WidgetDispatch, EachButtonReachesItsHandlerAndASecondButtonEndsTheCapture) {
    Probe a("A", kA, window);
    struct Case {
        Uint8 button;
        const char* down;
        const char* up;
    } cases[] = {{SDL_BUTTON_LEFT, "A ldown", "A lup"},
                 {SDL_BUTTON_RIGHT, "A rdown", "A rup"},
                 {SDL_BUTTON_MIDDLE, "A mdown", "A mup"}};
    for (const Case& c : cases) {
        Move(kAx);
        Take();
        Press(kAx, c.button);
        Release(kAx, c.button);
        EXPECT_EQ(Take(), Events_({c.down, c.up, "A end"})) << c.down;
    }
    Move(kAx);
    Press(kAx, SDL_BUTTON_LEFT);
    Take();
    Press(kAx, SDL_BUTTON_RIGHT);
    EXPECT_EQ(Take(), Events_({"A rdown", "A end"}));
    EXPECT_EQ(NVireo::NGUI::ActiveWidget(), nullptr);
}

TEST_F(WidgetDispatch, DisablingOrDestroyingTheHeldWidgetEndsItsHold) {
    auto a = std::make_unique<Probe>("A", kA, window);
    Move(kAx);
    Press(kAx);
    a->SetEnabled(false);
    EXPECT_EQ(NVireo::NGUI::ActiveWidget(), nullptr);
    Release(kAx);
    Move(kAx);
    EXPECT_EQ(Take(), Events_({"A move", "A ldown", "A end"})) << "a disabled widget gets nothing";

    a->SetEnabled(true);
    Move(kAx);
    Press(kAx);
    a.reset();
    Move(kAx + 1);
    Release(kAx);
    EXPECT_EQ(NVireo::NGUI::ActiveWidget(), nullptr);
}

TEST_F(WidgetDispatch, TheWheelGoesToTheOneClaimerOrToEveryWidgetUnderThePointer) {
    Probe a("A", kA, window);
    Probe b("B", kB, window);
    Probe overB("B2", kB, window);
    Probe other("other", kB, reinterpret_cast<HWND>(uintptr_t{0x100}));
    struct Case {
        bool claimA, claimB, disableA;
        int x;
        Events_ wheeled;
    } cases[] = {
        {true, false, false, kBx, {"A wheel"}},               // the one claimer, wherever
        {true, true, false, kBx, {"B wheel", "B2 wheel"}},    // two claim: by position
        {false, false, false, kBx, {"B wheel", "B2 wheel"}},  // none: by position, this window
        {true, false, true, kBx, {"B wheel", "B2 wheel"}},    // a disabled claimer counts not
        {false, false, false, kEmptyX, {}},
    };
    for (const Case& c : cases) {
        a.claimsWheel = c.claimA;
        b.claimsWheel = c.claimB;
        a.SetEnabled(!c.disableA);
        Move(c.x);
        Take();
        Wheel(window, -1);
        user32_test::Pump();
        Events_ wheeled;
        for (const std::string& event : Take())
            if (event.find("wheel") != std::string::npos) wheeled.push_back(event);
        std::sort(wheeled.begin(), wheeled.end());
        EXPECT_EQ(wheeled, c.wheeled) << c.claimA << c.claimB << c.disableA << " " << c.x;
    }
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(b.lastWheelFlags), -WHEEL_DELTA);
}

TEST_F(WidgetDispatch, AMessageOfAnotherWindowEndsTheHoverInsteadOfReachingTheWidget) {
    HWND second = Make(kWidgetClass, "second");
    Probe a("A", kA, window);
    Move(kAx);
    Take();
    Button(second, SDL_BUTTON_LEFT, true, kEmptyX, kY);
    user32_test::Pump();
    EXPECT_EQ(Take(), Events_({"A leave"}));
    Button(second, SDL_BUTTON_LEFT, false, kEmptyX, kY);
    user32_test::Pump();
}

}  // namespace
