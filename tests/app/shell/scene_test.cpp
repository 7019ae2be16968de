// Scenes: the switch rule, ending the scenes, the fade-in of new scenes and the
// process-wide fade's registration.
#include "app/shell/scene.h"

#include <vector>

#include "app/shell/fade.h"
#include "app/shell/frame_timer.h"
#include "support/test_support.h"

namespace {

std::vector<const char*> events;

class CRecordingScene : public Scene::CInterface {
public:
    explicit CRecordingScene(const char* name) : name_(name) { events.push_back(name_); }
    ~CRecordingScene() override { events.push_back("deleted"); }
    void Draw() override {}
    void Update() override {
        // Switching is the last thing Update does: the successor deletes this scene.
        new CRecordingScene("successor");
    }

private:
    const char* name_;
};

// Leaves no scene behind for the next test.
struct SceneGuard {
    ~SceneGuard() { Scene::EndScenes(); }
};

TEST(Scenes, ConstructingASceneDeletesTheCurrentOne) {
    SceneGuard guard;
    events.clear();
    auto* first = new CRecordingScene("first");
    EXPECT_EQ(NVireo::NGame::NScene::Current(), first);
    auto* second = new CRecordingScene("second");
    EXPECT_EQ(NVireo::NGame::NScene::Current(), second);
    EXPECT_EQ(events, (std::vector<const char*>{"first", "deleted", "second"}));
}

TEST(Scenes, SwitchingFromUpdateLeavesTheSuccessorCurrent) {
    SceneGuard guard;
    events.clear();
    new CRecordingScene("first");
    NVireo::NGame::NScene::Current()->Update();
    ASSERT_NE(NVireo::NGame::NScene::Current(), nullptr);
    EXPECT_EQ(events, (std::vector<const char*>{"first", "deleted", "successor"}));
}

TEST(Scenes, EndScenesLeavesNoCurrentScene) {
    events.clear();
    new CRecordingScene("only");
    Scene::EndScenes();
    EXPECT_EQ(NVireo::NGame::NScene::Current(), nullptr);
    EXPECT_EQ(events, (std::vector<const char*>{"only", "deleted"}));
    Scene::EndScenes();  // nothing left to end
    EXPECT_EQ(NVireo::NGame::NScene::Current(), nullptr);
}

TEST(Scenes, ASceneDeletedFromOutsideIsNoLongerCurrent) {
    auto* scene = new CRecordingScene("outside");
    delete scene;
    EXPECT_EQ(NVireo::NGame::NScene::Current(), nullptr);
}

class CFadingScene : public Scene::IFadeInBlackt {
public:
    void DrawScene() override {}
    void Update() override {}
};

TEST(FadeInBlack, IsBlackAtFirstAndClearAfter200Milliseconds) {
    SceneGuard guard;
    auto* scene = new CFadingScene;
    const uint32_t start = scene->startTick;
    struct Case {
        uint32_t after, alpha;
    };
    const Case cases[] = {{0, 255}, {1, 253}, {100, 127}, {199, 1}, {200, 0}, {5000, 0}};
    for (const Case& c : cases) EXPECT_EQ(scene->FadeAlpha(start + c.after), c.alpha) << c.after;
    // Across the clock wrapping: 100 ms after a start 50 ms before the wrap.
    scene->startTick = 0xFFFFFFCEu;
    EXPECT_EQ(scene->FadeAlpha(50), 127u);
}

using Object::Single::Fade::CIn;
using Object::Single::Fade::CRegistry;

// Runs with a frame rate and deletes any fade left.
struct FadeGuard {
    Main::CFrameTimer saved = Main::FrameTimer();
    explicit FadeGuard(int32_t fps) { Main::FrameTimer().targetFps = fps; }
    ~FadeGuard() {
        CRegistry::DeleteAll();
        Main::FrameTimer() = saved;
    }
};

TEST(Fade, LastsThirtyTwoFramesAtFortyFramesPerSecond) {
    FadeGuard guard(40);
    auto* fade = new CIn;
    EXPECT_EQ(fade->Alpha(), 255u);
    int frames = 0;
    while (!fade->IsFinished()) ++frames;
    EXPECT_EQ(frames, 32);  // drawn frames; the 33rd step finds it finished
    EXPECT_EQ(fade->Alpha(), 0u);
}

TEST(Fade, RetiringTheActiveOneMakesTheQueuedOneActive) {
    FadeGuard guard(40);
    auto* first = new CIn;
    auto* second = new CIn;
    second->progress = 0.5;
    EXPECT_EQ(CRegistry::Active(), first);
    EXPECT_EQ(CRegistry::Queued(), second);
    first->progress = 2.0;
    Object::Single::Fade::RetireFinishedFade();
    EXPECT_EQ(CRegistry::Active(), second);
    EXPECT_EQ(CRegistry::Queued(), nullptr);
    EXPECT_EQ(second->Alpha(), 127u);  // from its own progress
}

TEST(Fade, AThirdFadeReplacesTheQueuedOneWithoutLosingIt) {
    FadeGuard guard(40);
    auto* first = new CIn;
    new CIn;
    auto* third = new CIn;  // the second is deleted, not leaked (the sanitizer build checks)
    EXPECT_EQ(CRegistry::Active(), first);
    EXPECT_EQ(CRegistry::Queued(), third);
    delete third;
    EXPECT_EQ(CRegistry::Active(), first);
    EXPECT_EQ(CRegistry::Queued(), nullptr);
}

TEST(Fade, WithoutAFrameRateItIsFinishedAtOnce) {
    FadeGuard guard(0);
    auto* fade = new CIn;
    EXPECT_TRUE(fade->IsFinished());
}

}  // namespace
