// Image buttons and check boxes: a picture drawn at the button's corner and hit-tested
// pixel by pixel, so a click on a see-through pixel of the picture misses. Every check
// box shows the one process-wide picture pair (on, off) from the package. A check box
// toggles on press and tells its owner the new state: the music and sound-effect boxes
// switch the background music and the interface sounds at once.
#pragma once

#include <cstdint>

#include "app/gui/button.h"
#include "app/gui/sprites.h"

namespace Button {

namespace Image {

// A picture that keeps which of its pixels belong to it (non-zero alpha).
class CChip : public Sprite::CChip {
public:
    uint32_t MaskWidth() const { return imageWidth; }
    uint32_t MaskHeight() const { return imageHeight; }
    // The picture covers (column, row): inside the mask and its byte non-zero.
    bool Covers(int32_t column, int32_t row) const { return IsOpaqueAt(column, row); }
};

// The check-box pictures: the first shown when a box is on, the second when it is off.
struct CPicturePair {
    CChip on;
    CChip off;
};

// The pair, loaded from the package the first time it is asked for while it holds no
// textures (a missing picture is fatal).
CPicturePair& CheckBoxPictures();
// Gives the pair's textures back; the next CheckBoxPictures loads them again. For a
// device that goes away for good.
void ReleaseCheckBoxPictures();

}  // namespace Image

namespace NDetail {

// The picture of a state: on for 1, off otherwise.
Image::CChip& PictureOf(Image::CPicturePair& pair, uint32_t state);
// The picture at (x, y), and once more tinted with the pulse colour, added, when glow.
void DrawPicture(Image::CChip& picture, int32_t x, int32_t y, bool glow);
// A check box's press: the click sound, then the state flipped; answers the new state.
uint32_t Toggle(NVireo::NGUI::NButton::CBase& button);
// A check box's capture end: the shared box cleared, the active record cleared, the
// state kept.
void EndCapture();

}  // namespace NDetail

namespace Single::Image {

// A picture button for owner T: hit where the on picture covers the position relative
// to the button's corner; press and release as every button.
template <typename T>
class CBase : public Button::CBase<T> {
public:
    Button::Image::CPicturePair* pictures;

    CBase() : pictures(&Button::Image::CheckBoxPictures()) {}

    bool HitTest(int32_t px, int32_t py) override {
        SE_MARK();
        return this->IsRegistered() && !this->disabled &&
               pictures->on.Covers(px - this->x, py - this->y);
    }

    // Nothing while disabled. The on picture in state 1, the off picture otherwise, at
    // (x, y); glowing in the pulse colour while it is the active widget under the pointer.
    void Draw() {
        SE_MARK();
        if (this->disabled) return;
        const bool glow = this->IsActive() && NDetail::CursorOver(*this, false);
        NDetail::DrawPicture(NDetail::PictureOf(*pictures, this->state), this->x, this->y, glow);
    }
};

}  // namespace Single::Image

namespace OnOf {

// The on/off behaviour over a picture button B.
template <typename B>
class CBase : public B {};

template <typename T>
class CBasic : public CBase<Single::Image::CBase<T>> {
public:
    // Toggles on press, not on release, and tells the owner the new state. Locked is
    // not consulted.
    void OnLeftDown(const NVireo::NGUI::PointerPosition&, WPARAM) override {
        SE_MARK();
        NDetail::Select<T>(static_cast<int32_t>(NDetail::Toggle(*this)));
    }
    void OnLeftUp(const NVireo::NGUI::PointerPosition&, WPARAM) override {}
    // The state is kept when the capture ends.
    void OnCaptureEnd(const NVireo::NGUI::PointerPosition&, WPARAM) override {
        SE_MARK();
        NDetail::EndCapture();
    }
};

// A check box with its label to the right of the picture, in the 12-pixel font.
template <typename T>
class CCheckBox : public CBasic<T> {
public:
    NVireo::NString::BBasic<char> label;
    NVireo::NDirectX::N3D::NText::CLine labelText;
    int32_t labelX = 0;
    int32_t labelY = 0;

    explicit CCheckBox(const char* fixedLabel) : label(fixedLabel) {}

    // At (220, y) with descriptionLines; the label laid out at (picture width + 222,
    // y + (picture height - 12) / 2). The owner sets the state afterwards.
    void Setup(int32_t atY, const Help::CLines& lines) {
        SE_MARK();
        this->id = 0;
        this->x = 220;
        this->y = atY;
        Help::CopyLines(lines, this->description);
        const Button::Image::CChip& picture = this->pictures->on;
        labelX = static_cast<int32_t>(picture.MaskWidth()) + 222;
        labelY = atY + (static_cast<int32_t>(picture.MaskHeight()) - kSmallFontHeight) / 2;
        labelText.SetText(label.c_str(),
                          NVireo::NDirectX::N3D::NText::JapaneseFont(kSmallFontHeight));
        labelText.Place(static_cast<float>(labelX), static_cast<float>(labelY), 1.0f, 0.0f);
    }

    // The label, for the owning scene to draw with its other texts: nothing while the
    // check box is disabled.
    void DrawLabel(D3DCOLOR color = kCaptionColor, D3DCOLOR outline = kOutlineColor) {
        SE_MARK();
        if (this->disabled) return;
        labelText.DrawWithOutline(outline, color, static_cast<float>(labelX),
                                  static_cast<float>(labelY), 1.0f);
    }
};

namespace Change {

// Switches the background music: 1 on (the music starts from the beginning), else off.
class CBGM {
public:
    static void Select(int32_t state);
};

// Switches the interface sound effects: 1 on, else off.
class CSE {
public:
    static void Select(int32_t state);
};

}  // namespace Change

// The "BGM" check box.
class CBGM : public CCheckBox<Change::CBGM> {
public:
    CBGM();
};

// The "SE" check box.
class CSE : public CCheckBox<Change::CSE> {
public:
    CSE();
};

}  // namespace OnOf

}  // namespace Button
