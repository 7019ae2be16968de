// The program's scene bases and the switches between its scenes.
#include "app/shell/scene.h"

#include "app/gui/help_line.h"
#include "app/scenes/setting.h"
#include "app/scenes/start_scenes.h"
#include "app/scenes/title.h"
#include "app/scenes/workspace.h"
#include "app/shell/fade.h"
#include "app/shell/frame_timer.h"
#include "framework/error/error.h"
#include "framework/error/trace.h"
#include "framework/gui/dispatch.h"
#include "framework/render/direct3d.h"
#include "framework/render/presets.h"
#include "framework/window/keyboard.h"

namespace Scene {

CInterface::CInterface() {
    SE_MARK();
    NVireo::NGame::ResetWatchedKeys();
}

CInterface::~CInterface() {
    Help::Line::Reset();
    NVireo::NGUI::ResetHover();
}

IFadeInBlackt::IFadeInBlackt() : startTick(::Main::ClockNow()) { SE_MARK(); }

uint32_t IFadeInBlackt::FadeAlpha(uint32_t now) const {
    uint32_t base = startTick;
    uint32_t carry = carried;
    if (now < base) {  // the clock wrapped since the scene began
        carry -= base;
        base = 0;
    }
    const uint32_t elapsed = carry - base + now;
    if (elapsed >= durationMs) return 0;
    const double opacity = 1.0 - static_cast<double>(elapsed) / durationMs;
    if (opacity <= 0.0) return 0;
    return static_cast<uint32_t>(opacity * 255.0);
}

void IFadeInBlackt::Draw() {
    SE_MARK();
    DrawScene();
    DrawOverlay();
    DrawBlackRectangle(FadeAlpha(::Main::ClockNow()));
}

void IFadeInBlackt::DrawOverlay() {
    SE_MARK();
    Help::Line::DrawOverlay();
}

void EndScenes() {
    SE_MARK();
    delete NVireo::NGame::NScene::Current();
}

namespace {

// The switch's common tail: the new scene starts with a fresh second of pacing.
void AfterSwitch() { ::Main::FrameTimer().Restart(); }

}  // namespace

void GoToOpeningStart() {
    SE_MARK();
    new Opening::CStart;
    AfterSwitch();
    SE_MARK();
}

void GoToTitleStart() {
    SE_MARK();
    new Title::CStart;
    AfterSwitch();
    SE_MARK();
}

void GoToTitle() {
    SE_MARK();
    new Title::CMain;
    new Object::Single::Fade::CIn;
    AfterSwitch();
    SE_MARK();
}

void GoToSetting() {
    SE_MARK();
    new Setting::CMain;
    AfterSwitch();
}

void GoToMainStart() {
    SE_MARK();
    new Main::CStart;
    AfterSwitch();
    SE_MARK();
}

void GoToWorkSpace() {
    SE_MARK();
    new Main::CWorkSpace;
    AfterSwitch();
    SE_MARK();
}

void ClearBackBuffer() {
    SE_MARK();
    NVireo::NDirectX::N3D::Device().ClearAll();
}

void DrawBlackRectangle(uint32_t alpha) {
    SE_MARK();
    if (alpha == 0) return;
    namespace N3D = NVireo::NDirectX::N3D;
    N3D::PresetFlatAlpha(static_cast<D3DCOLOR>(alpha > 255 ? 255 : alpha) << 24);
    N3D::DrawFlatRect(0.0f, 0.0f, static_cast<float>(N3D::PresentParameters().BackBufferWidth),
                      static_cast<float>(N3D::PresentParameters().BackBufferHeight));
}

}  // namespace Scene
