// The setting scene.
#include "app/scenes/setting.h"

#include <cmath>

#include "app/audio/bgm.h"
#include "app/audio/sound_effects.h"
#include "app/gui/help_line.h"
#include "app/scenes/title.h"
#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/render/direct3d.h"
#include "framework/render/effects.h"
#include "framework/text/string_ids.h"
#include "framework/text/string_table.h"

namespace Site = NVireo::NError::NSite::NSetting;

namespace Scene::Setting {

namespace {

namespace N3D = NVireo::NDirectX::N3D;

constexpr int32_t kBarLength = 160;
constexpr int32_t kBarRange = 100;
constexpr double kBrightnessOffset = -0.5;
constexpr int32_t kMusicY = 100;
constexpr int32_t kEffectsY = 150;
constexpr int32_t kBrightnessY = 200;
constexpr int32_t kGraphicEffectY = 300;
constexpr int32_t kVolumeBarX = 400;
constexpr int32_t kBrightnessBarX = 220;
constexpr double kCaptionScale = 2.0;

const char* Text(uint32_t id) { return NVireo::NText::ApplicationStrings().Get(id).c_str(); }

// One description line from the application table.
struct CLinesOf : Help::CLines {
    explicit CLinesOf(uint32_t id) { Help::AddLine(*this, Text(id)); }
};

// A 0..100 bar at (x, y) showing value. The value is rounded to the nearest step: it
// comes back from a step (brightness through single precision), and truncating would
// move the bar down a step each time the screen opens.
void SetUpBar(ScrollBar::CObject& bar, int32_t x, int32_t y, uint32_t label, uint32_t description,
              double value) {
    SE_MARK();
    bar.Setup(x, y, kBarLength, Text(label), CLinesOf(description));
    bar.SetRange(0, kBarRange);
    bar.SetValue(static_cast<int32_t>(std::lround(value * kBarRange)));
}

// The bar's fraction, shown as its value text; answers the fraction without the
// display offset.
double ReadBar(ScrollBar::CObject& bar) {
    SE_MARK();
    bar.SetValueText(bar.FractionText().c_str());
    return static_cast<double>(bar.GetValue()) / static_cast<double>(kBarRange);
}

}  // namespace

double BarFraction(const ScrollBar::CObject& bar) {
    return static_cast<double>(bar.GetValue()) / static_cast<double>(kBarRange) + bar.displayOffset;
}

void CBacker::Select(int32_t) {
    SE_MARK();
    const uint32_t marker = Title::SceneReturnMarker();
    Title::SceneReturnMarker() = 2;
    if (marker == 1) {
        GoToTitleStart();
    } else if (marker != 0) {
        Raise(NVireo::NError::kSite, Site::kBacker, "");
    }
}

void CGraphicEffectChanger::Select(int32_t state) {
    SE_MARK();
    N3D::SetGraphicEffect(state == 1);
}

CGraphicEffectButton::CGraphicEffectButton() : CCheckBox<CGraphicEffectChanger>("Graphic Effect") {}

namespace Button {

void CBase::CNexterFirstRunning::Select(int32_t) {
    SE_MARK();
    GoToOpeningStart();
}

CBase::CBase() {
    SE_MARK();
    namespace Id = StringId::Application;
    // The full-back plate belongs to a mode this program never enters: set up, but
    // neither drawn nor hit, and its key does nothing.
    fullBack.Setup(0, 96);
    fullBack.SetEnabled(false);
    back.Setup(Text(Id::BackCaption), CLinesOf(Id::BackDescription));
    next.Setup(Text(Id::NextCaption), CLinesOf(Id::NextDescription));

    music.Setup(kMusicY, CLinesOf(Id::MusicSwitchDescription));
    music.state = BGM::Streamer().IsEnabled() ? 1 : 0;
    SetUpBar(musicVolume, kVolumeBarX, kMusicY, Id::MusicVolumeLabel, Id::MusicVolumeDescription,
             BGM::MusicVolume());

    effects.Setup(kEffectsY, CLinesOf(Id::EffectSwitchDescription));
    effects.state = SoundEffectBank().IsEnabled() ? 1 : 0;
    SetUpBar(effectVolume, kVolumeBarX, kEffectsY, Id::EffectVolumeLabel,
             Id::EffectVolumeDescription, EffectVolume());

    brightness.displayOffset = kBrightnessOffset;
    SetUpBar(brightness, kBrightnessBarX, kBrightnessY, Id::BrightnessLabel,
             Id::BrightnessDescription, N3D::RendererState().brightness - kBrightnessOffset);

    graphicEffect.Setup(kGraphicEffectY, CLinesOf(Id::GraphicEffectDescription));
    graphicEffect.state = N3D::GraphicEffectOn() ? 1 : 0;
    // A device that cannot run the effect shows the stored switch but takes no input.
    if (!N3D::CanUseEffect()) graphicEffect.SetEnabled(false);

    caption.Setup(kCaptionScale);
}

}  // namespace Button

void CMain::Draw() {
    SE_MARK();
    N3D::Device().Clear(D3DCLEAR_TARGET, 1.0f);
    caption.Draw();
    music.DrawLabel();
    music.Draw();
    musicVolume.Draw();
    effects.DrawLabel();
    effects.Draw();
    effectVolume.Draw();
    brightness.Draw();
    graphicEffect.DrawLabel();
    graphicEffect.Draw();
    back.Draw();
    next.Draw();
    fullBack.Draw();
    Help::Line::DrawOverlay();
}

void CMain::Update() {
    SE_MARK();
    musicVolume.SetEnabled(BGM::Streamer().IsEnabled());
    effectVolume.SetEnabled(SoundEffectBank().IsEnabled());
    ShowCursor(TRUE);
    // A fired button may have switched the scene: nothing of it is touched afterwards.
    if (back.PollShortcut() || next.PollShortcut() || fullBack.PollShortcut()) return;

    BGM::MusicVolume() = ReadBar(musicVolume);
    BGM::Streamer().SetVolume(BGM::MusicVolume());  // nothing without a playing graph
    EffectVolume() = ReadBar(effectVolume);
    N3D::RendererState().brightness = static_cast<float>(ReadBar(brightness) + kBrightnessOffset);
}

}  // namespace Scene::Setting
