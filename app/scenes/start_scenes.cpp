// The start scenes.
#include "app/scenes/start_scenes.h"

#include "app/gui/label.h"
#include "app/scenes/workspace_start.h"
#include "app/shell/app_state.h"
#include "app/shell/command_line.h"
#include "app/shell/frame_timer.h"
#include "app/shell/graphic_effect.h"
#include "app/shell/keyboard_handler.h"
#include "framework/error/trace.h"
#include "framework/gui/palette.h"

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
    Label::SetDefaultTextColors(kTextColor, kOutlineColor);
    NVireo::NGUI::SetGuiPalette(kGuiBaseColor);
    Camera::SetDefaults();
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
    ::Main::PrepareWorkspaceClip();
    if (::Main::StartLoadingNamedFile(::Main::CommandLine().file)) return;
    GoToWorkSpace();
}

}  // namespace Scene::Main

namespace Scene::Opening {

void CStart::Update() {
    SE_MARK();
    GoToTitleStart();
}

}  // namespace Scene::Opening
