// The program's loop decisions, activation, late frames and the end of the scenes, with
// a real main window under SDL's dummy video driver.
#include "app/shell/program.h"

#include <SDL.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>

#include "app/setup/settings.h"
#include "app/shell/app_state.h"
#include "app/shell/frame_timer.h"
#include "app/shell/scene.h"
#include "framework/package/package.h"
#include "framework/platform/home.h"
#include "framework/text/string_table.h"
#include "framework/window/window.h"
#include "support/test_support.h"

namespace {

uint32_t fakeNow = 0;
uint32_t FakeClock() { return fakeNow; }
void NoSleep(uint32_t) {}

int updates = 0;
int draws = 0;

// A scene whose Update takes workMs of the fake clock.
class CTimedScene : public Scene::CInterface {
public:
    static inline uint32_t workMs = 0;
    void Update() override {
        ++updates;
        fakeNow += workMs;
    }
    void Draw() override { ++draws; }
};

class ProgramShell : public ::testing::Test {
protected:
    // The dummy video driver is this suite's own: later tests that fork children onto a
    // real display must find SDL's video uninitialised and the variable as it was.
    static void SetUpTestSuite() {
        const char* driver = std::getenv("SDL_VIDEODRIVER");
        hadDriver = driver != nullptr;
        if (driver) savedDriver = driver;
    }
    static void TearDownTestSuite() {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        if (hadDriver) {
            setenv("SDL_VIDEODRIVER", savedDriver.c_str(), 1);
        } else {
            unsetenv("SDL_VIDEODRIVER");
        }
    }
    static inline bool hadDriver = false;
    static inline std::string savedDriver;

    RaisePolicy throwing;
    TempFolder home;
    std::string previousHome = NVireo::NFile::HomeFolder();
    std::filesystem::path previousFolder = std::filesystem::current_path();
    Main::CFrameTimer previousTimer = Main::FrameTimer();
    Appli::CSettings previousSettings = Appli::Settings();

    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        // The built package beside the test program holds the system table.
        const std::string package = previousHome + "Data/package";
        NVireo::NRender::ProgramPackage().OpenFrom(package.c_str());
        NVireo::NText::SystemStrings().Load(NVireo::NText::kSystemStringsName);
        NVireo::NFile::SetHomeFolder(home.Program().c_str());
        Main::State() = Main::CState{};
        Main::FrameTimer().time = {FakeClock, NoSleep};
        Main::FrameTimer().targetFps = 25;
        Main::FrameTimer().periodMs = 40;
        Main::FrameTimer().Restart();
        updates = draws = 0;
    }
    void TearDown() override {
        Scene::EndScenes();
        if (window_) {
            NVireo::NWindow::SetMainWindow(nullptr);
            delete window_;
            // The program's one window class carries this test's name: give it back so
            // later tests register theirs.
            if (NVireo::NWindow::WindowMapCount() == 0) NVireo::NWindow::UnregisterWindowClass();
        }
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        Main::State() = Main::CState{};
        Main::FrameTimer() = previousTimer;
        Appli::Settings() = previousSettings;
        NVireo::NFile::SetHomeFolder(previousHome.c_str());
        std::filesystem::current_path(previousFolder);
    }

    // The program's main window, created as start-up creates it.
    HWND MakeMainWindow() {
        if (NVireo::NWindow::WindowMapCount() == 0) NVireo::NWindow::UnregisterWindowClass();
        window_ = new Window::CMain;
        NVireo::NWindow::SetMainWindow(window_);
        window_->Create("SE Retimer ", "SE Retimer : Ver 1.00.1", 0x00CA0000u);
        return window_->hwnd;
    }

    Window::CMain* window_ = nullptr;
};

TEST_F(ProgramShell, FramesRunWhileActiveOrWhenAskedToRunInactive) {
    struct Case {
        bool active, runWhenInactive, error;
        Main::EIdle expected;
    };
    const Case cases[] = {
        {true, false, false, Main::EIdle::kFrame},
        {false, false, false, Main::EIdle::kWait},
        {false, true, false, Main::EIdle::kFrame},
        {true, true, true, Main::EIdle::kNothing},
    };
    for (const Case& c : cases) {
        Main::State().active = c.active;
        Main::State().runWhenInactive = c.runWhenInactive;
        NVireo::NError::errorInProgress = c.error ? 1 : 0;
        EXPECT_EQ(Main::IdleAction(), c.expected);
        NVireo::NError::errorInProgress = 0;
    }
}

TEST_F(ProgramShell, ActivationMessagesSetAndClearActive) {
    HWND window = MakeMainWindow();
    ASSERT_NE(window, nullptr);
    SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(Main::State().active, 1);
    EXPECT_EQ(Main::IdleAction(), Main::EIdle::kFrame);
    SendMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(Main::State().active, 0);
    EXPECT_EQ(Main::IdleAction(), Main::EIdle::kWait);
    // Once shutting down, activation changes are ignored.
    Main::State().quitting = 1;
    SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(Main::State().active, 0);
}

TEST_F(ProgramShell, AnOverrunFrameIsNotFollowedByADrawnFrame) {
    MakeMainWindow();
    Main::State().active = 1;
    Main::State().ready = 1;
    new CTimedScene;
    CTimedScene::workMs = 60;  // 60 ms at a 40 ms period
    Main::Frame();
    EXPECT_TRUE(Main::FrameTimer().late);
    EXPECT_EQ(Main::FrameTimer().lateFrames, 1);
    // The next frame updates but does not draw.
    CTimedScene::workMs = 5;
    EXPECT_FALSE(Main::DrawStep());
    Main::Frame();
    EXPECT_EQ(updates, 2);
    EXPECT_FALSE(Main::FrameTimer().late);  // its 5 ms left room in the second
}

// Frames that run while the window is inactive sleep out their slot and count late as
// active ones do, rather than running as fast as they can.
TEST_F(ProgramShell, WhileInactiveFramesArePacedAsActiveOnes) {
    MakeMainWindow();
    Main::State().runWhenInactive = 1;
    new CTimedScene;
    CTimedScene::workMs = 5;
    Main::Frame();
    EXPECT_EQ(Main::FrameTimer().frames, 1);
    EXPECT_EQ(Main::FrameTimer().slept, 35) << "the rest of the 40 ms slot";
    EXPECT_FALSE(Main::FrameTimer().late);
    CTimedScene::workMs = 100;
    Main::Frame();
    EXPECT_TRUE(Main::FrameTimer().late);
    EXPECT_FALSE(Main::DrawStep()) << "the frame after an overrun only updates";
}

TEST_F(ProgramShell, WithoutASceneTheNextFrameClosesTheWindowAndSavesTheSettings) {
    HWND window = MakeMainWindow();
    ASSERT_NE(window, nullptr);
    Main::State().active = 1;
    new CTimedScene;
    Scene::EndScenes();
    Main::Frame();
    EXPECT_EQ(Main::State().quitting, 1);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(NVireo::NWindow::MainWindowHandle(), nullptr);
    EXPECT_TRUE(std::filesystem::exists(home / "Data/settings.ini"));
    // The loop finds the window gone and answers the quit message's code.
    EXPECT_EQ(Main::MessageLoop(), 0);
    // Nothing runs once quitting.
    Main::Frame();
    EXPECT_FALSE(Main::DrawStep());
}

}  // namespace
