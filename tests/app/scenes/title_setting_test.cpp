// The title menu and the setting scene, in-process on a headless device with a real
// window for the keys: the menu's slide-in and its owner's actions, the shortcut that
// opens the settings one frame after the key, and the settings applied at once, kept
// between visits and left through back and next. Then what a user meets, driven through
// the window's keys and mouse and the program's frames: the check boxes under the
// caption, every bar value across visits, a title without its logo, a key tap.
#include <d3d8_seams.h>
#include <gtest/gtest.h>
#include <objbase.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "app/audio/bgm.h"
#include "app/audio/sound_effects.h"
#include "app/scenes/setting.h"
#include "app/scenes/start_scenes.h"
#include "app/scenes/title.h"
#include "app/scenes/workspace.h"
#include "framework/package/package.h"
#include "framework/platform/home.h"
#include "framework/render/asset_names.h"
#include "framework/render/direct3d.h"
#include "framework/render/effects.h"
#include "framework/text/string_ids.h"
#include "framework/text/string_table.h"
#include "support/main_window_fixture.h"

namespace {

namespace N3D = NVireo::NDirectX::N3D;

template <typename T>
T* CurrentAs() {
    return dynamic_cast<T*>(NVireo::NGame::NScene::Current());
}

// The shared main window, keys, device and package, with the scenes' process-wide
// values put back after each test.
class TitleAndSetting : public gui_test::MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        Scene::Title::SceneReturnMarker() = 2;
    }
    void TearDown() override {
        Scene::EndScenes();
        BGM::Streamer().SetEnabled(0);
        SoundEffectBank().SetEnabled(0);
        BGM::MusicVolume() = 0.0;
        EffectVolume() = 0.0;
        N3D::RendererState().brightness = 0.0f;
        Scene::Title::SceneReturnMarker() = 2;
        MainWindowTest::TearDown();
    }

    // One frame of the current scene: Update, then Draw when a scene is left. As in the
    // main loop, error numbers the font and window libraries left behind are dropped.
    static void Frame() {
        errno = 0;
        try {
            NVireo::NGame::NScene::Current()->Update();
            if (NVireo::NGame::NScene::Current() && N3D::Device().BeginScene()) {
                NVireo::NGame::NScene::Current()->Draw();
                N3D::Device().EndScene();
            }
        } catch (const NVireo::NError::CObject&) {
            const NVireo::NError::CErrorRecord& r = NVireo::NError::Record();
            FAIL() << "reported: " << r.file << " " << r.line << " " << r.message;
        }
    }
};

TEST_F(TitleAndSetting, TheMenuSlidesInTheFirstButtonAfterFiveFramesTheLastAfterEight) {
    auto* title = new Scene::Title::CMain;
    std::vector<std::string> captions;
    std::vector<int32_t> lefts;
    for (auto& button : title->menu.buttons) {
        captions.emplace_back(button.idleText.text.c_str());
        lefts.push_back(button.left);
    }
    EXPECT_EQ(captions,
              (std::vector<std::string>{"Q ゲームプレイ", "W 続きから", "E 設定変更", "R 終了"}));
    // Each starts 1 + 2 + ... + (5 + i) pixels left of its place.
    EXPECT_EQ(lefts, (std::vector<int32_t>{200 - 15, 200 - 21, 200 - 28, 200 - 36}));

    const auto arrived = [&] {
        std::vector<bool> done;
        for (auto& button : title->menu.buttons) done.push_back(button.left == 200);
        return done;
    };
    std::vector<std::vector<bool>> byFrame;
    for (int frame = 1; frame <= 9; ++frame) {
        Frame();
        byFrame.push_back(arrived());
    }
    EXPECT_EQ(byFrame[3], (std::vector<bool>{false, false, false, false})) << "after 4 frames";
    EXPECT_EQ(byFrame[4], (std::vector<bool>{true, false, false, false})) << "after 5 frames";
    EXPECT_EQ(byFrame[6], (std::vector<bool>{true, true, true, false})) << "after 7 frames";
    EXPECT_EQ(byFrame[7], (std::vector<bool>{true, true, true, true})) << "after 8 frames";
    EXPECT_EQ(byFrame[8], (std::vector<bool>{true, true, true, true})) << "and they stay";
    // The rows stand where the column puts them.
    int32_t row = 0;
    for (auto& button : title->menu.buttons) {
        EXPECT_EQ(button.top, 282 + 32 * row);
        EXPECT_EQ(button.bottom, 309 + 32 * row);
        EXPECT_EQ(button.right, 327);
        ++row;
    }
}

TEST_F(TitleAndSetting, TheMenuEntriesActAndMarkWhereTheSettingsCameFrom) {
    new Scene::Title::CMain;
    for (int32_t id : {1, 7}) {
        Scene::Title::SceneReturnMarker() = 2;
        Scene::Title::CNexter::Select(id);
        EXPECT_EQ(Scene::Title::SceneReturnMarker(), 1u) << id;
        EXPECT_NE(CurrentAs<Scene::Title::CMain>(), nullptr) << id << ": no action";
    }
    Scene::Title::CNexter::Select(0);
    EXPECT_NE(CurrentAs<Scene::Main::CWorkSpace>(), nullptr) << "back to the work";
    new Scene::Title::CMain;
    Scene::Title::CNexter::Select(2);
    EXPECT_NE(CurrentAs<Scene::Setting::CMain>(), nullptr);
    new Scene::Title::CMain;
    Scene::Title::CNexter::Select(3);
    EXPECT_EQ(NVireo::NGame::NScene::Current(), nullptr) << "the program ends on the next frame";
}

TEST_F(TitleAndSetting, ETheFrameAfterItWentDownOpensTheSettings) {
    new Scene::Title::CMain;
    Frame();
    Key(SDLK_e, true);
    Frame();
    EXPECT_NE(CurrentAs<Scene::Title::CMain>(), nullptr) << "the frame that sees the press";
    Frame();
    EXPECT_NE(CurrentAs<Scene::Setting::CMain>(), nullptr);
    Key(SDLK_e, false);
    EXPECT_EQ(Scene::Title::SceneReturnMarker(), 1u);
}

TEST_F(TitleAndSetting, SettingsShowTheValuesInUseAndApplyTheBarsEveryFrame) {
    BGM::MusicVolume() = 0.25;
    EffectVolume() = 0.5;
    N3D::RendererState().brightness = 0.1f;
    SoundEffectBank().SetEnabled(1);
    auto* setting = new Scene::Setting::CMain;
    EXPECT_EQ(setting->music.state, 0u);
    EXPECT_EQ(setting->effects.state, 1u);
    EXPECT_EQ(setting->musicVolume.GetValue(), 25);
    EXPECT_EQ(setting->effectVolume.GetValue(), 50);
    EXPECT_EQ(setting->brightness.GetValue(), 60);
    Frame();
    EXPECT_TRUE(setting->musicVolume.disabled) << "the music bar follows the BGM switch";
    EXPECT_FALSE(setting->effectVolume.disabled);
    EXPECT_STREQ(setting->musicVolume.valueText.caption.c_str(), "0.25");
    EXPECT_STREQ(setting->brightness.valueText.caption.c_str(), "0.10");

    // The brightness bar at its left end darkens the frame by half.
    setting->brightness.ToMinimum();
    setting->effectVolume.ToMaximum();
    Frame();
    EXPECT_FLOAT_EQ(N3D::RendererState().brightness, -0.5f);
    EXPECT_STREQ(setting->brightness.valueText.caption.c_str(), "-0.50");
    EXPECT_DOUBLE_EQ(EffectVolume(), 1.0);

    // Turning the effects off disables their bar on the next frame; a new visit shows
    // what was chosen.
    setting->effects.OnLeftDown(NVireo::NGUI::PointerPosition{}, MK_LBUTTON);
    EXPECT_FALSE(SoundEffectBank().IsEnabled());
    Frame();
    EXPECT_TRUE(setting->effectVolume.disabled);
    auto* again = new Scene::Setting::CMain;
    EXPECT_EQ(again->effects.state, 0u);
    EXPECT_EQ(again->effectVolume.GetValue(), 100);
    EXPECT_EQ(again->brightness.GetValue(), 0);
    EXPECT_EQ(again->graphicEffect.disabled, !N3D::CanUseEffect());
    EXPECT_TRUE(again->fullBack.disabled) << "the full-back plate belongs to another mode";
}

TEST_F(TitleAndSetting, BackReturnsToTheTitleAndNextGoesThroughTheOpening) {
    Scene::Title::SceneReturnMarker() = 1;
    new Scene::Setting::CMain;
    Scene::Setting::CBacker::Select(0);
    EXPECT_NE(CurrentAs<Scene::Title::CStart>(), nullptr);
    EXPECT_EQ(Scene::Title::SceneReturnMarker(), 2u);
    Frame();
    EXPECT_NE(CurrentAs<Scene::Title::CMain>(), nullptr) << "the title start goes on to the title";

    // Opened from nowhere the back button does nothing; a marker of any other value is
    // an internal error.
    new Scene::Setting::CMain;
    Scene::Title::SceneReturnMarker() = 0;
    Scene::Setting::CBacker::Select(0);
    EXPECT_NE(CurrentAs<Scene::Setting::CMain>(), nullptr);
    EXPECT_THROW(Scene::Setting::CBacker::Select(0), NVireo::NError::CObject) << "marker 2";

    Scene::Setting::Button::CBase::CNexterFirstRunning::Select(0);
    EXPECT_NE(CurrentAs<Scene::Opening::CStart>(), nullptr);
    Frame();
    EXPECT_NE(CurrentAs<Scene::Title::CStart>(), nullptr);
}

// --- what a user meets, through the window's keys and mouse and the program's frames ----

bool Inside(const RECT& rect, int32_t x, int32_t y) {
    return rect.left <= x && x < rect.right && rect.top <= y && y < rect.bottom;
}

TEST_F(TitleAndSetting, TheCheckBoxesUnderTheCaptionTakeAClickAndABadMusicFileIsNoMusic) {
    // A menu.wma that is no sound at all: music switched on stays off, with one line.
    TempFolder home;
    home.WriteHostFile("menu.wma", "this is not a sound file");
    NVireo::NFile::SetHomeFolder(home.Program().c_str());
    CoInitialize(nullptr);
    new Scene::Setting::CMain;
    ProgramFrame();
    auto* setting = SceneAs<Scene::Setting::CMain>();
    ASSERT_NE(setting, nullptr);
    RECT caption{};
    ASSERT_TRUE(setting->caption.GetRect(caption));
    struct Row {
        Button::NDetail::CBase& box;
        int32_t x, y;
        uint32_t description;
    };
    const Row rows[] = {
        {setting->music, 236, 116, StringId::Application::MusicSwitchDescription},
        {setting->effects, 236, 166, StringId::Application::EffectSwitchDescription},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.y);
        ASSERT_TRUE(setting->music.pictures->on.Covers(row.x - row.box.x, row.y - row.box.y));
        testing::internal::CaptureStderr();
        Click(row.x, row.y);
        ProgramFrame();
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(row.box.state, 1u) << "switched on by the click";
        // The pointer rests on the box: the frame's pick shows the box's description.
        const Help::CLines& shown = Help::Normal::SharedBox().lines;
        ASSERT_GE(shown.count, 1);
        EXPECT_EQ(std::string((*shown.begin()).c_str()),
                  NVireo::NText::ApplicationStrings().Get(row.description));
        if (&row.box == &setting->music) {
            EXPECT_TRUE(Inside(caption, row.x, row.y)) << "the caption lies over the box";
            EXPECT_TRUE(BGM::Streamer().IsEnabled());
            EXPECT_EQ(BGM::Streamer().graph, nullptr) << "no music from a bad file";
            EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
            EXPECT_NE(said.find(home.HostPath("menu.wma")), std::string::npos) << said;
        } else {
            EXPECT_TRUE(SoundEffectBank().IsEnabled());
        }
    }
    EXPECT_NE(SceneAs<Scene::Setting::CMain>(), nullptr) << "the program goes on";
    CoUninitialize();
}

TEST_F(TitleAndSetting, EveryBarValueComesBackUnchangedWhenTheScreenOpensAgain) {
    // Both switches on, so their volume bars take input; every bar at its left end.
    BGM::Streamer().SetEnabled(1);
    SoundEffectBank().SetEnabled(1);
    N3D::RendererState().brightness = -0.5f;
    new Scene::Title::CMain;
    ProgramFrame();
    // The right arrows of the music volume, effect volume and brightness bars.
    const POINT arrows[] = {{548, 112}, {548, 162}, {368, 212}};
    const auto bars = [](Scene::Setting::CMain& s) {
        return std::vector<int32_t>{s.musicVolume.GetValue(), s.effectVolume.GetValue(),
                                    s.brightness.GetValue()};
    };
    // No pixel is looked at: the frames only update, as after a late frame.
    for (int32_t value = 0; value <= 100; ++value) {
        SCOPED_TRACE(value);
        // The title's E opens the screen; it shows what was set when it was left.
        Tap(SDLK_e);
        ASSERT_TRUE(FramesUntil([] { return SceneAs<Scene::Setting::CMain>() != nullptr; }, false));
        Scene::Setting::CMain& setting = *SceneAs<Scene::Setting::CMain>();
        ASSERT_EQ(bars(setting), std::vector<int32_t>(3, value));
        if (value == 100) break;
        for (const POINT& arrow : arrows) Click(arrow.x, arrow.y);  // one step each
        ProgramFrame(false);
        ASSERT_EQ(bars(setting), std::vector<int32_t>(3, value + 1));
        Click(55, 50);  // back to the title
        ASSERT_TRUE(FramesUntil([] { return SceneAs<Scene::Title::CMain>() != nullptr; }, false));
    }
    EXPECT_DOUBLE_EQ(BGM::MusicVolume(), 1.0);
    EXPECT_FLOAT_EQ(N3D::RendererState().brightness, 0.5f);
}

TEST_F(TitleAndSetting, ATitleWithoutItsLogoStillOpens) {
    NVireo::NRender::CPackage& package = NVireo::NRender::ProgramPackage();
    NVireo::NRender::CPackage::Entry logo;
    logo.name = NVireo::NRender::NormalizeEntryName(NVireo::NRender::NPicture::kTitleLogo);
    ASSERT_TRUE(package.directory.Erase(logo));
    new Scene::Setting::CMain;
    ProgramFrame();
    Tap(SDLK_F9);
    ASSERT_TRUE(FramesUntil([] { return SceneAs<Scene::Title::CMain>() != nullptr; }));
    EXPECT_TRUE(SceneAs<Scene::Title::CMain>()->logo.IsNull());
    ProgramFrame();
    EXPECT_NE(SceneAs<Scene::Title::CMain>(), nullptr);
    headless::OpenProgramPackage(previousHome_);  // the whole package again
}

TEST_F(TitleAndSetting, ATapShorterThanAFrameOpensTheSettings) {
    new Scene::Title::CMain;
    ProgramFrame();
    Tap(SDLK_e);  // down and up before the next frame
    ProgramFrame();
    ProgramFrame();
    EXPECT_NE(SceneAs<Scene::Setting::CMain>(), nullptr);
}

}  // namespace
