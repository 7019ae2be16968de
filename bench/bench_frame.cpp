// The cost of the program's frames against the 40 ms a frame may take at 25 frames per
// second. The program's own pieces run here as start-up links them, on SDL's dummy video
// driver (unless a display driver is chosen), from the boot scenes on, with the frame
// timer's clock advanced by each frame's sleep instead of sleeping:
// - the workspace with a 2.3 s clip loaded, the duration dialog over it and the title,
//   each once it is idle (the fades are over, the pointer is on no widget): one whole
//   frame (the updates, the drawing, the presentation) as the main loop runs it;
// - the same frames drawn in full: a frame that is exactly the last one is not drawn
//   again, so a one-pixel clear, which the scene's own clear then covers, is put in
//   front of each to make it differ; this is what a frame costs when anything moves;
// - a scene fading in (a full-screen black rectangle over the cleared back buffer) under
//   the process-wide fade, whose alpha changes every frame, rendered and presented.
#include <hostpath.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/gui/text_caches.h"
#include "app/scenes/time_changer.h"
#include "app/scenes/title.h"
#include "app/scenes/workspace.h"
#include "app/scenes/workspace_model.h"
#include "app/scenes/workspace_start.h"
#include "app/shell/app_state.h"
#include "app/shell/fade.h"
#include "app/shell/frame_timer.h"
#include "app/shell/graphic_effect.h"
#include "app/shell/program.h"
#include "app/shell/scene.h"
#include "bench_common.h"
#include "framework/package/package.h"
#include "framework/platform/home.h"
#include "framework/render/direct3d.h"
#include "framework/text/string_table.h"
#include "framework/window/window.h"

namespace {

namespace N3D = NVireo::NDirectX::N3D;

constexpr double kFramePeriodMs = 40.0;
constexpr double kTarget = 0.05;

// The frame timer's clock: it moves only by what the timer sleeps.
uint32_t fakeNow = 0;
uint32_t FakeClock() { return fakeNow; }
void FakeSleep(uint32_t milliseconds) { fakeNow += milliseconds; }

// Always half-way through its fade-in.
uint32_t HalfWay() { return 100; }

template <typename T>
T* CurrentAs() {
    return dynamic_cast<T*>(NVireo::NGame::NScene::Current());
}

// Frames until the current scene is a T and the process-wide fade is over, then a second
// more for the scene's own fade-in and slides.
template <typename T>
bool Settle() {
    for (int frame = 0; frame < 2000; ++frame) {
        if (CurrentAs<T>() != nullptr && Object::Single::Fade::CRegistry::Active() == nullptr) {
            for (int more = 0; more < 25; ++more) Main::Frame();
            return CurrentAs<T>() != nullptr;
        }
        Main::Frame();
    }
    return false;
}

// A 2.3 s clip in a temporary folder; answers its path.
std::string ClipFile() {
    char pattern[] = "/tmp/se-bench-frame-XXXXXX";
    const std::string path = std::string(mkdtemp(pattern)) + "/clip.wav";
    WriteClip(path, 101430);
    return path;
}

// Whole frames of the current scene; drawnInFull puts a one-pixel clear of a changing
// colour in front of each.
void Frames(benchmark::State& state, bool drawnInFull) {
    IDirect3DDevice8* device = N3D::Device().Get();
    const D3DRECT corner = {0, 0, 1, 1};
    DWORD colour = 0;
    for (auto _ : state) {
        if (drawnInFull) device->Clear(1, &corner, D3DCLEAR_TARGET, colour++, 1.0f, 0);
        Main::Frame();
    }
}

bool reached = true;

void Workspace(benchmark::State& state, bool drawnInFull) {
    if (!Settle<Scene::Main::CWorkSpace>()) {
        reached = false;
        return state.SkipWithError("no workspace");
    }
    Frames(state, drawnInFull);
}

void DurationDialog(benchmark::State& state, bool drawnInFull) {
    if (CurrentAs<Scene::Main::CTimeChanger>() == nullptr) {
        if (Settle<Scene::Main::CWorkSpace>()) {
            Scene::Main::Button::CNexter::Select(Scene::Main::kChangeDuration);
        }
    }
    if (!Settle<Scene::Main::CTimeChanger>()) {
        reached = false;
        return state.SkipWithError("no duration dialog");
    }
    Frames(state, drawnInFull);
}

void Title(benchmark::State& state, bool drawnInFull) {
    if (CurrentAs<Scene::Title::CMain>() == nullptr) Scene::GoToTitleStart();
    if (!Settle<Scene::Title::CMain>()) {
        reached = false;
        return state.SkipWithError("no title");
    }
    Frames(state, drawnInFull);
}

class CFadingScene : public Scene::IFadeInBlackt {
public:
    void DrawScene() override { Scene::ClearBackBuffer(); }
    void Update() override {}
};

// The fade moves on every frame, as it does while the program fades.
void Faded(benchmark::State& state) {
    Main::FrameTimer().time.now = HalfWay;
    new CFadingScene;
    auto* fade = new Object::Single::Fade::CIn;
    for (auto _ : state) {
        fade->progress = fade->progress == 0.5 ? 0.55 : 0.5;
        const bool rendered = Main::DrawStep();
        benchmark::DoNotOptimize(rendered);
    }
    Object::Single::Fade::CRegistry::DeleteAll();
    Main::FrameTimer().time.now = FakeClock;
}

bool StartProgram(Window::CMain& window, const std::string& clip) {
    NVireo::NFile::EnterHomeFolder();
    NVireo::NRender::ProgramPackage().Open();
    NVireo::NText::ApplicationStrings().Load(NVireo::NText::kApplicationStringsName);
    NVireo::NText::SystemStrings().Load(NVireo::NText::kSystemStringsName);
    NVireo::NWindow::SetMainWindow(&window);
    window.Create("SE Retimer bench ", "bench", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
    D3DPRESENT_PARAMETERS& presentation = N3D::PresentParameters();
    presentation.BackBufferWidth = N3D::kBackBufferWidth;
    presentation.BackBufferHeight = N3D::kBackBufferHeight;
    presentation.Windowed = TRUE;
    if (window.hwnd == nullptr || !N3D::StartRenderer(window.hwnd)) return false;
    Main::CreateTextCaches();
    Camera::Create();
    Main::SetFrameRate(40);
    Main::FrameTimer().time = {FakeClock, FakeSleep};
    Main::State().ready = 1;
    Main::State().active = 1;
    // The boot scenes up to the first workspace, then the clip through the loading screen.
    Main::CTester().CreateFirstScene();
    if (!Settle<Scene::Main::CWorkSpace>()) return false;
    return Main::StartLoadingNamedFile(HostToProgramPath(clip));
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    const std::string clip = ClipFile();
    Window::CMain window;
    if (!StartProgram(window, clip)) {
        std::printf("the program did not start\n");
        return 1;
    }

    const struct {
        const char* name;
        void (*run)(benchmark::State&, bool);
        bool drawnInFull;
    } scenes[] = {
        {"workspace", Workspace, false},
        {"workspace_drawn_in_full", Workspace, true},
        {"duration_dialog", DurationDialog, false},
        {"duration_dialog_drawn_in_full", DurationDialog, true},
        {"title", Title, false},
        {"title_drawn_in_full", Title, true},
    };
    for (const auto& scene : scenes) {
        benchmark::RegisterBenchmark(scene.name, scene.run, scene.drawnInFull)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("faded", Faded)->UseRealTime()->Unit(benchmark::kMillisecond);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    bool ok = reached;
    const struct {
        const char* name;
        const char* label;
        bool judged;
    } lines[] = {
        {"workspace", "the idle workspace frame", true},
        {"duration_dialog", "the idle duration dialog frame", true},
        {"title", "the idle title frame", true},
        {"faded", "one faded frame, rendered and presented", true},
        {"workspace_drawn_in_full", "the workspace frame, drawn in full", false},
        {"duration_dialog_drawn_in_full", "the duration dialog frame, drawn in full", false},
        {"title_drawn_in_full", "the title frame, drawn in full", false},
    };
    for (const auto& line : lines) {
        const double ms = reporter.Time(line.name);
        if (ms <= 0) continue;
        const double share = ms / kFramePeriodMs;
        if (line.judged) {
            std::printf("%-48s %6.3fx the 40 ms frame period (target <= %.2fx) %s\n", line.label,
                        share, kTarget, share <= kTarget ? "ok" : "MISSED");
            ok = ok && share <= kTarget;
        } else {
            std::printf("%-48s %6.3fx the 40 ms frame period\n", line.label, share);
        }
    }

    Object::Single::Fade::CRegistry::DeleteAll();
    Scene::EndScenes();
    Main::ReleaseTextCaches();
    Camera::Delete();
    N3D::StopRenderer();
    NVireo::NWindow::SetMainWindow(nullptr);
    std::filesystem::remove_all(std::filesystem::path(clip).parent_path());
    benchmark::Shutdown();
    return ok ? 0 : 1;
}
