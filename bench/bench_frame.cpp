// The cost of one frame of the program as the main loop draws it: a scene fading in
// (a full-screen black rectangle over the cleared back buffer) under the process-wide
// fade, rendered by the device and presented to the window, against the 40 ms a frame
// may take at 25 frames per second. Runs on SDL's dummy video driver unless a display
// driver is chosen.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "app/shell/app_state.h"
#include "app/shell/fade.h"
#include "app/shell/frame_timer.h"
#include "app/shell/program.h"
#include "app/shell/scene.h"
#include "bench_common.h"
#include "framework/render/direct3d.h"
#include "framework/window/window.h"

namespace {

constexpr double kFramePeriodMs = 40.0;

// Always half-way through its fade-in.
uint32_t HalfWay() { return 100; }

class CFadingScene : public Scene::IFadeInBlackt {
public:
    void DrawScene() override { Scene::ClearBackBuffer(); }
    void Update() override {}
};

void Frame(benchmark::State& state) {
    for (auto _ : state) {
        const bool rendered = Main::DrawStep();
        benchmark::DoNotOptimize(rendered);
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    setenv("SDL_VIDEODRIVER", "dummy", 0);

    Window::CMain window;
    NVireo::NWindow::SetMainWindow(&window);
    window.Create("SE Retimer bench ", "bench", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
    D3DPRESENT_PARAMETERS& presentation = NVireo::NDirectX::N3D::PresentParameters();
    presentation.BackBufferWidth = NVireo::NDirectX::N3D::kBackBufferWidth;
    presentation.BackBufferHeight = NVireo::NDirectX::N3D::kBackBufferHeight;
    presentation.Windowed = TRUE;
    if (window.hwnd == nullptr || !NVireo::NDirectX::N3D::StartRenderer(window.hwnd)) {
        std::printf("no rendering device\n");
        return 1;
    }
    Main::FrameTimer().time.now = HalfWay;
    Main::SetFrameRate(25);
    new CFadingScene;
    (new Object::Single::Fade::CIn)->progress = 0.5;
    Main::State().ready = 1;

    benchmark::RegisterBenchmark("frame", Frame)->UseRealTime()->Unit(benchmark::kMillisecond);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    const double frameMs = reporter.Time("frame");
    const double share = frameMs / kFramePeriodMs;
    constexpr double kTarget = 0.5;
    std::printf("%-48s %6.2fx the 40 ms frame period (target <= %.2fx) %s\n",
                "one faded frame, rendered and presented", share, kTarget,
                share <= kTarget ? "ok" : "MISSED");

    Object::Single::Fade::CRegistry::DeleteAll();
    Scene::EndScenes();
    NVireo::NDirectX::N3D::StopRenderer();
    NVireo::NWindow::SetMainWindow(nullptr);
    benchmark::Shutdown();
    return share <= kTarget ? 0 : 1;
}
