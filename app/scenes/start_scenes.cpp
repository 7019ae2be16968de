// The start scenes.
#include "app/scenes/start_scenes.h"

#include "app/app_state.h"
#include "app/command_line.h"
#include "app/frame_timer.h"
#include "app/keyboard_handler.h"
#include "app/later_parts.h"
#include "framework/error/trace.h"

namespace Scene::Tester {

// The text colours and the base colour the GUI palette is computed from.
constexpr DWORD kTextColor = 0xFFFFFFFFu;
constexpr DWORD kOutlineColor = 0xFF000000u;
constexpr DWORD kGuiBaseColor = 0xE0827D73u;

void CMain::DrawScene() {
    SE_MARK();
    ClearBackBuffer();
}

void CMain::Update() {
    SE_MARK();
    // From here this scene is deleted: only process-wide state is touched below.
    new Test::CStart;
    ::Main::State().runWhenInactive = 1;
    ::Main::SetFrameRate(25);
    Keyborad::WatchProgramKeys();
    if (::Main::HelpLineHooks().setTextColors) {
        ::Main::HelpLineHooks().setTextColors(kTextColor, kOutlineColor);
    }
    if (::Main::WidgetHooks().setGuiPalette) ::Main::WidgetHooks().setGuiPalette(kGuiBaseColor);
    if (::Main::EffectHooks().setCameraDefaults) ::Main::EffectHooks().setCameraDefaults();
    ::Main::FrameTimer().Restart();
}

}  // namespace Scene::Tester

namespace Scene::Test {

void CStart::DrawScene() {
    SE_MARK();
    ClearBackBuffer();
}

void CStart::Update() {
    SE_MARK();
    GoToMainStart();
}

}  // namespace Scene::Test

namespace Scene::Main {

void CStart::Draw() {
    SE_MARK();
    ClearBackBuffer();
}

void CStart::Update() {
    SE_MARK();
    const ::Main::CWorkspaceHooks& hooks = ::Main::WorkspaceHooks();
    if (hooks.prepareClip) hooks.prepareClip();
    const std::string& arguments = ::Main::CommandLine().arguments;
    if (!arguments.empty() && hooks.startLoading && hooks.startLoading(arguments.c_str())) return;
    GoToWorkSpace();
}

}  // namespace Scene::Main

namespace Scene::Opening {

void CStart::Update() {
    SE_MARK();
    GoToTitleStart();
}

}  // namespace Scene::Opening
