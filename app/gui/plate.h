// Plate buttons: a bevelled plate sized to its caption. The full-back plate of the
// setting scene reads "[X] 全戻り" and answers to the X key; its owner has no Select,
// only the click itself.
#pragma once

#include <cstdint>

#include "app/gui/button.h"

namespace Button {

namespace Single::Plate {

// A plate button's rectangle; hit only once the caption has been laid out.
template <typename T>
class CBasic : public Button::CBase<T> {
public:
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool laidOut = false;  // the caption has been laid out, so the rectangle holds

    bool HitTest(int32_t px, int32_t py) override {
        SE_MARK();
        return laidOut && this->IsRegistered() && !this->disabled && left <= px && px < right &&
               top <= py && py < bottom;
    }
    bool HitTestPointer(int32_t px, int32_t py) override {
        SE_MARK();
        NVireo::NGUI::ConvertPoint(px, py);
        return HitTest(px, py);
    }
};

}  // namespace Single::Plate

namespace Single {

// The plate's look: idle, the palette's fill with light top and left edges and dark
// bottom and right ones; pressed, dark edges all round.
template <typename T>
class BPlate : public Plate::CBasic<T> {
public:
    void DrawBackground() {
        SE_MARK();
        const NVireo::NGUI::CGuiPalette& palette = NVireo::NGUI::GuiPalette();
        const bool pressed = this->state == NVireo::NGUI::NButton::kPressed;
        NDetail::DrawBevel(this->left, this->top, this->right, this->bottom, palette.fill,
                           pressed ? palette.dark : palette.light, palette.dark);
    }
};

template <typename T>
class CObject : public BPlate<T> {};

}  // namespace Single

namespace FullBack {

// A plate whose caption is "[%c] " of its key followed by "全戻り", in the 12-pixel font.
template <typename T>
class CBasic : public Single::CObject<T> {
public:
    int32_t fontHeight = kSmallFontHeight;
    NVireo::NDirectX::N3D::NText::CLine captionText;
    NVireo::NString::BBasic<char> caption;
    NVireo::NString::BBasic<char> displayedCaption;
    int32_t captionX = 0;
    int32_t captionY = 0;

    // At (x, y) with key 'X': id 0, the caption laid out, state idle; the description
    // "通常画面に一気に戻ります" and the key line for X. The rectangle follows from the
    // caption: 4 pixels around the text sideways and vertically.
    void Setup(int32_t atX, int32_t atY) {
        SE_MARK();
        this->id = 0;
        this->x = atX;
        this->y = atY;
        fontHeight = kSmallFontHeight;
        this->shortcutKey = 'X';
        caption = NVireo::NString::BBasic<char>("全戻り");
        displayedCaption.Format("[%c] ", static_cast<int>(this->shortcutKey));
        displayedCaption.AppendFormat("%s", caption.c_str());
        captionText.SetText(displayedCaption.c_str(),
                            NVireo::NDirectX::N3D::NText::JapaneseFont(fontHeight));
        this->left = atX;
        this->top = atY;
        this->right = atX + captionText.Width() + 8;
        this->bottom = atY + fontHeight + 8;
        captionX = this->left + 4;
        captionY = this->top + (this->bottom - this->top - captionText.Height()) / 2;
        captionText.Place(static_cast<float>(captionX), static_cast<float>(captionY), 1.0f, 0.0f);
        this->laidOut = true;
        this->state = NVireo::NGUI::NButton::kIdle;
        Help::CLines lines;
        Help::AddLine(lines, "通常画面に一気に戻ります");
        NDetail::SetDescription(*this, lines, this->shortcutKey);
    }

    // Nothing while disabled. The plate, the caption (white, red when locked, black
    // outline), and the glow while it is the active widget under the pointer.
    void Draw() {
        SE_MARK();
        if (this->disabled) return;
        this->DrawBackground();
        captionText.DrawWithOutline(
            kOutlineColor, this->locked ? kLockedCaptionColor : kCaptionColor,
            static_cast<float>(captionX), static_cast<float>(captionY), 1.0f);
        if (this->IsActive() && NDetail::CursorOver(*this, true)) {
            NDetail::DrawGlow(this->left, this->top, this->right, this->bottom);
        }
    }
};

// The full-back plate's owner: a click does nothing beyond the button's own OnClick.
class CBasicBacker {};

class CObject : public CBasic<CBasicBacker> {};

}  // namespace FullBack

}  // namespace Button
