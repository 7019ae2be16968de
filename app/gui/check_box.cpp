#include "app/gui/check_box.h"

#include "app/audio/bgm.h"
#include "app/audio/sound_effects.h"
#include "app/shell/frame_timer.h"
#include "framework/render/asset_names.h"
#include "framework/render/pixels.h"
#include "framework/render/presets.h"

namespace Button {

namespace Image {
namespace {

CPicturePair& Pair() {
    static CPicturePair pair;
    return pair;
}

// A package picture with its mask, 8-bit alpha from the mask's grey: smooth edges, and
// the hit test takes every pixel the mask does not leave fully transparent.
void LoadPicture(CChip& chip, const char* name, const char* mask) {
    SE_MARK();
    NVireo::NDirectX::N3D::CImageDescriptor descriptor;
    descriptor.name = NVireo::NString::BBasic<char>(name);
    descriptor.mask = NVireo::NString::BBasic<char>(mask);
    descriptor.kind = NVireo::NDirectX::N3D::NImage::kTranslucent;
    descriptor.sourceType = NVireo::NDirectX::N3D::kSourceSystem;
    chip.Load(descriptor);
}

}  // namespace

CPicturePair& CheckBoxPictures() {
    SE_MARK();
    CPicturePair& pair = Pair();
    if (pair.on.IsNull()) {
        namespace NPicture = NVireo::NRender::NPicture;
        LoadPicture(pair.on, NPicture::kCheckBoxOn, NPicture::kCheckBoxOnMask);
        LoadPicture(pair.off, NPicture::kCheckBoxOff, NPicture::kCheckBoxOffMask);
    }
    return pair;
}

void ReleaseCheckBoxPictures() {
    SE_MARK();
    Pair().on.Release();
    Pair().off.Release();
}

}  // namespace Image

namespace NDetail {

Image::CChip& PictureOf(Image::CPicturePair& pair, uint32_t state) {
    SE_MARK();
    return state == 1 ? pair.on : pair.off;
}

void DrawPicture(Image::CChip& picture, int32_t x, int32_t y, bool glow) {
    SE_MARK();
    namespace N3D = NVireo::NDirectX::N3D;
    const float px = static_cast<float>(x);
    const float py = static_cast<float>(y);
    N3D::PresetTextured();
    picture.Draw(px, py);
    if (!glow) return;
    N3D::SetTextureFactor(NVireo::NGUI::PulseColor(Main::Pulse().value));
    N3D::PresetAdditiveTint();
    picture.Draw(px, py);
}

uint32_t Toggle(NVireo::NGUI::NButton::CBase& button) {
    SE_MARK();
    PlayClick(button);
    button.state = 1 - (button.state == 1 ? 1 : 0);
    return button.state;
}

void EndCapture() {
    SE_MARK();
    HideDescription();
    NVireo::NGUI::ClearActiveWidget();
}

}  // namespace NDetail

namespace OnOf {

namespace Change {

void CBGM::Select(int32_t state) {
    SE_MARK();
    BGM::Streamer().SetEnabled(static_cast<uint8_t>(state));
}

void CSE::Select(int32_t state) {
    SE_MARK();
    SoundEffectBank().SetEnabled(static_cast<uint8_t>(state));
}

}  // namespace Change

CBGM::CBGM() : CCheckBox<Change::CBGM>("BGM") {}

CSE::CSE() : CCheckBox<Change::CSE>("SE") {}

}  // namespace OnOf

}  // namespace Button
