// The title's scenes.
#include "app/scenes/title.h"

#include <cerrno>

#include "app/gui/help_line.h"
#include "app/scenes/setting.h"
#include "app/setup/application_info.h"
#include "framework/error/error.h"
#include "framework/error/trace.h"
#include "framework/package/package.h"
#include "framework/render/asset_names.h"
#include "framework/render/direct3d.h"
#include "framework/render/pixels.h"
#include "framework/render/presets.h"

namespace Scene::Title {

namespace {

namespace N3D = NVireo::NDirectX::N3D;

struct CEntry {
    const char* caption;
    const char* line;
};
constexpr CEntry kEntries[CDescription::kCount] = {
    {"ゲームプレイ", "ゲームをプレイします"},
    {"続きから", "保存したデータからプレイします"},
    {"設定変更", "BGM,SEなどの設定を変更します"},
    {"終了", "終了します"},
};

// The menu's column: from (200, 280), rows 32 apart, buttons 127 x 27.
constexpr int32_t kMenuX = 200;
constexpr int32_t kMenuY = 280;
// Each button glides in over 5 + its index frames, one pixel a unit.
constexpr uint32_t kFirstSlideFrames = 5;
constexpr int32_t kSlideStep = 1;
constexpr int32_t kLogoY = 120;
constexpr int32_t kCopyrightX = 100;
constexpr int32_t kCopyrightY = 190;
constexpr int32_t kCopyrightFontHeight = 12;

}  // namespace

uint32_t& SceneReturnMarker() {
    static uint32_t marker = 2;
    return marker;
}

const char* CDescription::Caption(int32_t index) {
    return index >= 0 && index < kCount ? kEntries[index].caption : "";
}

const char* CDescription::Line(int32_t index) {
    return index >= 0 && index < kCount ? kEntries[index].line : "";
}

void CNexter::Select(int32_t id) {
    SE_MARK();
    SceneReturnMarker() = 1;
    switch (id) {
        case 0:
            // Back to the work: the clip state outlives every scene, so the workspace
            // shows the clip exactly as it was when F9 was pressed.
            GoToWorkSpace();
            break;
        case 2:
            GoToSetting();
            break;
        case 3:
            EndScenes();
            break;
        default:
            break;  // "続きから" has no action here
    }
}

CLogoSprite::CLogoSprite() {
    SE_MARK();
    // The logo is decoration: a package without it (or its mask) gives a title without a
    // logo, as any picture that is not there is simply not drawn.
    const NVireo::NRender::CPackage& package = NVireo::NRender::ProgramPackage();
    if (package.Find(NVireo::NRender::NPicture::kTitleLogo) == nullptr ||
        package.Find(NVireo::NRender::NPicture::kTitleLogoMask) == nullptr) {
        return;
    }
    N3D::CImageDescriptor descriptor;
    descriptor.name = NVireo::NString::BBasic<char>(NVireo::NRender::NPicture::kTitleLogo);
    descriptor.mask = NVireo::NString::BBasic<char>(NVireo::NRender::NPicture::kTitleLogoMask);
    descriptor.kind = N3D::NImage::kOpaque;
    descriptor.sourceType = N3D::kSourceSystem;
    Load(descriptor);
}

void CStart::Draw() {
    SE_MARK();
    N3D::Device().Clear(D3DCLEAR_TARGET, 1.0f);
}

void CStart::Update() {
    SE_MARK();
    GoToTitle();
}

template <typename TDescription, typename TID, typename TNexter>
BMainButtonType<TDescription, TID, TNexter>::BMainButtonType() {
    SE_MARK();
    Help::Line::SetBarText("ボタンを左クリックしてください");
    copyright.SetFontHeight(kCopyrightFontHeight);
    menu.x = kMenuX;
    menu.y = kMenuY;
    for (int32_t i = 0; i < TDescription::kCount; ++i) {
        Help::CLines lines;
        Help::AddLine(lines, TDescription::Line(i));
        menu.AddButton().Setup(menu.RowRect(i), TDescription::Caption(i), lines, TID::Key(i), i);
    }
    uint32_t frames = kFirstSlideFrames;
    for (CButton& button : menu.buttons) {
        movers.AppendNew().Reset(new CMover(&button, kSlideStep, frames++));
    }
    for (hoard::ptr::auton<CMover>& mover : movers) mover.Get()->Start();
}

template <typename TDescription, typename TID, typename TNexter>
void BMainButtonType<TDescription, TID, TNexter>::Draw() {
    SE_MARK();
    DrawScene();
    Help::Line::DrawOverlay();
}

template <typename TDescription, typename TID, typename TNexter>
void BMainButtonType<TDescription, TID, TNexter>::Update() {
    SE_MARK();
    if (errno != 0) {
        const char* name = NVireo::NError::ErrorName(errno);
        Raise("CRT", static_cast<uint32_t>(errno), name != nullptr ? name : "");
        return;
    }
    for (hoard::ptr::auton<CMover>& mover : movers) mover.Get()->Step();
    menu.PollButtons();  // last: a fired button may have switched the scene
}

template <typename TDescription, typename TID, typename TNexter>
void BMainButtonType<TDescription, TID, TNexter>::DrawMenu() {
    SE_MARK();
    if (!background.IsNull()) {
        N3D::PresetTextured();
        background.Draw(0.0f, 0.0f);
    }
    if (!logo.IsNull()) {
        N3D::PresetAdditiveTint();
        N3D::SetTextureFactor(0xFFFFFFFFu);
        const float width = static_cast<float>(N3D::PresentParameters().BackBufferWidth);
        logo.DrawCentered(width / 2.0f, static_cast<float>(kLogoY));
    }
    copyright.Draw(kCopyrightX, kCopyrightY, Appli::CopyrightLine().c_str());
    menu.DrawButtons();
    // Each mover draws its button once more, over the first drawing.
    for (hoard::ptr::auton<CMover>& mover : movers) mover.Get()->Refresh();
}

template class BMainButtonType<CDescription, CID, CNexter>;

void CMain::DrawScene() {
    SE_MARK();
    ClearBackBuffer();
    N3D::Device().SetTexture(nullptr);
    DrawMenu();
}

}  // namespace Scene::Title
