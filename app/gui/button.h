// The button family: every clickable element of the scenes. One state machine for all
// of them (press, release with the hand-over of the button's id to its owner type,
// hover description, keyboard shortcut, click sound) and the box buttons: a bevelled
// plate with a caption, alone or in a column (the title menu, the workspace's commands,
// the duration dialog). Check boxes live in check_box.h, the full-back plate in plate.h.
//
// An owner type T names what a click does: Button::CBase<T> calls T::Select(id) (or
// T::Select() for owners that take no id; nothing for owners without Select). Select may
// switch the scene and so destroy the button: nothing touches the button after it.
//
// Each frame the owning scene calls PollShortcut (or the column's PollButtons) and Draw.
// Main thread only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/gui/description.h"
#include "framework/error/trace.h"
#include "framework/gui/button.h"
#include "framework/gui/palette.h"
#include "framework/render/text.h"

namespace Button {

// The shortcut keys owners number their buttons with: 'Q', 'W', 'E', 'R', 'T', 'A',
// 'S', 'D', 'F', 'G', 'Z', 'X' for indices 0 to 11; 0 for any other index.
uint16_t ShortcutKey(int32_t index);

// Font heights of the captions.
inline constexpr int32_t kBoxCaptionHeight = 16;
inline constexpr int32_t kSmallFontHeight = 12;

// Caption colours.
inline constexpr D3DCOLOR kCaptionColor = 0xFFFFFFFFu;
inline constexpr D3DCOLOR kLockedCaptionColor = 0xFFFF0000u;
inline constexpr D3DCOLOR kOutlineColor = 0xFF000000u;
// The strip behind a box button's key letter.
inline constexpr D3DCOLOR kKeyStripColor = 0x20000000u;

namespace NDetail {

using NVireo::NGUI::NButton::CBase;

// Press (mouse): nothing when locked; otherwise the click sound (when the button's
// sound flag is set) and state pressed.
void Press(CBase& button);
// Release (mouse): true when the owner is to be told: the button was pressed and is not
// inactive. A pressed button goes back to idle either way.
bool Release(CBase& button);
// The button's description in the shared box beside the pointer (nothing when inactive).
void ShowDescription(const CBase& button);
// The shared box cleared.
void HideDescription();
// The mouse capture ended: the shared box cleared, state idle, the active record cleared.
void Cancel(CBase& button);
// The click sound, when the button's sound flag is set.
void PlayClick(const CBase& button);
// The key half of the shortcut poll: true on the poll after the key went down (the
// owner is to be told now); false otherwise, also for the poll that sees the press
// (which shows the button pressed). Only while the main window is active, for an
// enabled button that is neither inactive nor locked and has a key; a press of the key
// of a button that cannot act is taken and dropped.
bool PollKey(CBase& button);
// After a shortcut fired: the widget under the motionless pointer is picked again,
// since the owner may have switched the scene.
void PickAtCursor();
// Whether the pointer (the cursor in the main window's client area) is over widget by
// its HitTestPointer; with converted = false the position goes to HitTest as it is.
bool CursorOver(NVireo::NGUI::CInterface& widget, bool converted);

// The description: a copy of lines, plus the shortcut-key line (text 900 with the key)
// when key is not 0.
void SetDescription(CBase& button, const Help::CLines& lines, uint16_t key);
// The shortcut-key line for key.
NVireo::NString::BBasic<char> KeyLine(uint16_t key);
// "%c " of the key, or two blanks without one, then caption.
NVireo::NString::BBasic<char> DisplayedCaption(const char* caption, uint16_t key);
// The screen size the scenes lay out against (the back buffer's).
int32_t ScreenWidth();

// Drawing helpers: a rectangle (right and bottom exclusive) filled with color, blended by
// its alpha.
void FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, D3DCOLOR color);
// A rectangle (right and bottom exclusive) filled with fill and edged
// one pixel wide, topLeft on the top and left, bottomRight on the bottom and right; all
// blended by their alpha.
void DrawBevel(int32_t left, int32_t top, int32_t right, int32_t bottom, D3DCOLOR fill,
               D3DCOLOR topLeft, D3DCOLOR bottomRight);
// The rectangle once more in the current pulse colour, added to what is there.
void DrawGlow(int32_t left, int32_t top, int32_t right, int32_t bottom);

// Calls the owner: T::Select(value), or T::Select() when it takes nothing, or nothing.
template <typename T>
void Select(int32_t value) {
    SE_MARK();
    if constexpr (requires { T::Select(value); }) {
        T::Select(value);
    } else if constexpr (requires { T::Select(); }) {
        T::Select();
    }
}

}  // namespace NDetail

// The family root for owner T. Registered against the main window on construction.
template <typename T>
class CBase : public NVireo::NGUI::NButton::CBase {
public:
    CBase() { RegisterWithMainWindow(); }

    // Called on every click before the owner; empty in every button of the program.
    virtual void OnClick() {}

    // Once a frame: true when the shortcut key activated the button during this call (the
    // owner has been told, and may have switched the scene).
    bool PollShortcut() {
        SE_MARK();
        if (!NDetail::PollKey(*this)) return false;
        const int32_t value = id;
        OnClick();
        NDetail::Select<T>(value);
        NDetail::PickAtCursor();
        return true;
    }

    void OnLeftDown(const NVireo::NGUI::PointerPosition&, WPARAM) override {
        SE_MARK();
        NDetail::Press(*this);
    }
    void OnLeftUp(const NVireo::NGUI::PointerPosition&, WPARAM) override {
        SE_MARK();
        if (!NDetail::Release(*this)) return;
        const int32_t value = id;
        OnClick();
        NDetail::Select<T>(value);
    }
    void OnPointerMove(const NVireo::NGUI::PointerPosition&, WPARAM) override {
        SE_MARK();
        NDetail::ShowDescription(*this);
    }
    void OnPointerLeave(const NVireo::NGUI::PointerPosition&, WPARAM) override {
        SE_MARK();
        NDetail::HideDescription();
    }
    void OnCaptureEnd(const NVireo::NGUI::PointerPosition&, WPARAM) override {
        SE_MARK();
        NDetail::Cancel(*this);
    }
};

namespace Box {

// A box button's rectangle (right and bottom exclusive in hit tests) and its hit test.
template <typename T>
class ICell : public Button::CBase<T> {
public:
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    // The plate and the caption's layout; empty here.
    virtual void DrawPlate(uint32_t) {}
    virtual void LayoutCaption() {}

    // Registered, enabled and inside the rectangle.
    bool HitTest(int32_t px, int32_t py) override {
        SE_MARK();
        return this->IsRegistered() && !this->disabled && left <= px && px < right && top <= py &&
               py < bottom;
    }
    bool HitTestPointer(int32_t px, int32_t py) override {
        SE_MARK();
        NVireo::NGUI::ConvertPoint(px, py);
        return HitTest(px, py);
    }

    // The sliding movement's hold on the button: its top-left corner.
    void MoveTo(int32_t newLeft, int32_t newTop) {
        SE_MARK();
        right += newLeft - left;
        bottom += newTop - top;
        left = newLeft;
        top = newTop;
        LayoutCaption();
    }
    void GetPosition(int32_t& outLeft, int32_t& outTop) const {
        outLeft = left;
        outTop = top;
    }
};

// A box button with a caption: one text line for the idle look and one, a pixel lower,
// for the pressed look.
template <typename T>
class BBasicText : public ICell<T> {
public:
    NVireo::NDirectX::N3D::NText::CLine idleText;
    NVireo::NDirectX::N3D::NText::CLine pressedText;
    NVireo::NString::BBasic<char> caption;
    // Where LayoutCaption put the idle text (the pressed text is one pixel lower).
    int32_t captionX = 0;
    int32_t captionY = 0;

    // Sets the button up: id, rectangle, enabled, position, shortcut key, description
    // (with the key line when key is not 0) and the caption ("%c " of the key, or two
    // blanks, before caption), laid out.
    void Setup(const RECT& rect, const char* newCaption, const Help::CLines& lines, uint16_t key,
               int32_t newId) {
        SE_MARK();
        this->id = newId;
        this->left = rect.left;
        this->top = rect.top;
        this->right = rect.right;
        this->bottom = rect.bottom;
        this->SetEnabled(true);
        this->x = rect.left;
        this->y = rect.top;
        this->shortcutKey = key;
        NDetail::SetDescription(*this, lines, key);
        SetCaption(newCaption);
    }
    // Setup with the rectangle (x, 300) to (x + 127, 331).
    void SetupAt(int32_t atX, const char* newCaption, const Help::CLines& lines, uint16_t key,
                 int32_t newId) {
        SE_MARK();
        Setup(RECT{atX, 300, atX + 127, 331}, newCaption, lines, key, newId);
    }
    // Renders the displayed caption into both text lines and lays them out.
    void SetCaption(const char* newCaption) {
        SE_MARK();
        caption = NVireo::NString::BBasic<char>(newCaption != nullptr ? newCaption : "");
        const NVireo::NString::BBasic<char> shown =
            NDetail::DisplayedCaption(caption.c_str(), this->shortcutKey);
        const LOGFONTA font = NVireo::NDirectX::N3D::NText::JapaneseFont(kBoxCaptionHeight);
        idleText.SetText(shown.c_str(), font);
        pressedText.SetText(shown.c_str(), font);
        this->LayoutCaption();
    }
};

// The bevelled box button.
template <typename T>
class CPlate : public BBasicText<T> {
public:
    // Idle text at (left + 4, vertically centred), pressed text one pixel lower.
    void LayoutCaption() override {
        SE_MARK();
        const int32_t height = this->idleText.Height();
        this->captionX = this->left + 4;
        this->captionY = this->top + (this->bottom - this->top - height) / 2;
        this->idleText.Place(static_cast<float>(this->captionX), static_cast<float>(this->captionY),
                             1.0f, 0.0f);
        this->pressedText.Place(static_cast<float>(this->captionX),
                                static_cast<float>(this->captionY + 1), 1.0f, 0.0f);
    }

    // The strip behind the key letter with its separator, then the caption of the state,
    // white (red when locked) over a black outline.
    void DrawPlate(uint32_t drawState) override {
        SE_MARK();
        const int32_t height = this->idleText.Height();
        NDetail::FillRect(this->left + 1, this->top + 1, this->left + 1 + height, this->bottom - 1,
                          kKeyStripColor);
        NDetail::FillRect(this->left + height, this->top + 1, this->left + height + 1,
                          this->bottom - 1, NVireo::NGUI::GuiPalette().dark);
        const D3DCOLOR color = this->locked ? kLockedCaptionColor : kCaptionColor;
        const bool pressed = drawState == NVireo::NGUI::NButton::kPressed;
        NVireo::NDirectX::N3D::NText::CLine& line = pressed ? this->pressedText : this->idleText;
        line.DrawWithOutline(kOutlineColor, color, static_cast<float>(this->captionX),
                             static_cast<float>(this->captionY + (pressed ? 1 : 0)), 1.0f);
    }

    // Nothing while disabled. The plate in the palette's fill with light top and left
    // edges and dark bottom and right ones (swapped while pressed: sunken); glowing in the
    // pulse colour while it is the active widget under the pointer; then DrawPlate.
    void Draw() {
        SE_MARK();
        if (this->disabled) return;
        const NVireo::NGUI::CGuiPalette& palette = NVireo::NGUI::GuiPalette();
        const bool pressed = this->state == NVireo::NGUI::NButton::kPressed;
        NDetail::DrawBevel(this->left, this->top, this->right, this->bottom, palette.fill,
                           pressed ? palette.dark : palette.light,
                           pressed ? palette.light : palette.dark);
        if (this->IsActive() && NDetail::CursorOver(*this, true)) {
            NDetail::DrawGlow(this->left, this->top, this->right, this->bottom);
        }
        this->DrawPlate(this->state);
    }
};

// A scene's column of box buttons: rows of rowHeight pixels from (x, y), each button's
// rectangle shrunk by the inner margins. The defaults are the title menu's: 128 wide,
// rows 32 apart, 127 x 27 buttons.
template <typename T>
class CColumn {
public:
    hoard::list::basic<CPlate<T>> buttons;
    int32_t width = 128;
    int32_t rowHeight = 32;
    int32_t x = 0;
    int32_t y = 0;
    int32_t marginLeft = 0;
    int32_t marginTop = -2;
    int32_t marginRight = 0;
    int32_t marginBottom = 2;

    // A new button, not yet set up, at the end of the column.
    CPlate<T>& AddButton() {
        SE_MARK();
        return buttons.AppendNew();
    }
    // The rectangle of row i.
    RECT RowRect(int32_t i) const {
        SE_MARK();
        return RECT{x - marginLeft, y + i * rowHeight - marginTop, x + width - marginRight - 1,
                    y + (i + 1) * rowHeight - marginBottom - 1};
    }
    void DrawButtons() {
        SE_MARK();
        for (CPlate<T>& button : buttons) button.Draw();
    }
    // The shortcut polls in order while the main window is active (inactive, locked and
    // disabled buttons only drop their key's presses): true at the first that fires (the
    // rest wait for the next frame; the owner may have switched the scene, so the column
    // is not touched again).
    bool PollButtons() {
        SE_MARK();
        for (CPlate<T>& button : buttons) {
            if (button.PollShortcut()) return true;
        }
        return false;
    }
};

}  // namespace Box

namespace Next {

// The box button at the top right that goes on: (W - 144, 64) to (W - 17, 95).
template <typename T>
class CPlane : public Box::CPlate<T> {
public:
    static RECT Rect() {
        const int32_t w = NDetail::ScreenWidth();
        return RECT{w - 144, 64, w - 17, 95};
    }
};

template <typename T>
class CObject : public CPlane<T> {
public:
    // No shortcut key; the owner receives 0.
    void Setup(const char* newCaption, const Help::CLines& lines) {
        SE_MARK();
        Box::CPlate<T>::Setup(CPlane<T>::Rect(), newCaption, lines, 0, 0);
    }
};

}  // namespace Next

namespace Back {

// The small box button under the left end of the help line's title area:
// (L, 34) to (L + 47, 65), L = (W - floor(W x 0.9)) / 2.
template <typename T>
class CPlane : public Box::CPlate<T> {
public:
    static RECT Rect() {
        const int32_t w = NDetail::ScreenWidth();
        const int32_t l = (w - static_cast<int32_t>(w * 9 / 10)) / 2;
        return RECT{l, 34, l + 47, 65};
    }
};

template <typename T>
class CObject : public CPlane<T> {
public:
    // No shortcut key.
    void Setup(const char* newCaption, const Help::CLines& lines) {
        SE_MARK();
        Box::CPlate<T>::Setup(CPlane<T>::Rect(), newCaption, lines, 0, 0);
    }
};

}  // namespace Back

}  // namespace Button
