#include "app/gui/button.h"

#include "app/audio/sound_effects.h"
#include "app/shell/app_state.h"
#include "app/shell/frame_timer.h"
#include "framework/gui/dispatch.h"
#include "framework/render/direct3d.h"
#include "framework/render/presets.h"
#include "framework/text/string_ids.h"
#include "framework/text/string_table.h"
#include "framework/window/keyboard.h"
#include "framework/window/window.h"

namespace Button {

uint16_t ShortcutKey(int32_t index) {
    SE_MARK();
    static constexpr char kKeys[] = "QWERTASDFGZX";
    if (index < 0 || index >= static_cast<int32_t>(sizeof kKeys - 1)) return 0;
    return static_cast<uint16_t>(kKeys[index]);
}

namespace NDetail {

namespace N3D = NVireo::NDirectX::N3D;
using NVireo::NGUI::NButton::kIdle;
using NVireo::NGUI::NButton::kPressed;

void PlayClick(const CBase& button) {
    SE_MARK();
    if (button.clickSound) SoundEffectBank().Play(0);
}

void Press(CBase& button) {
    SE_MARK();
    if (button.locked) return;
    PlayClick(button);
    button.state = kPressed;
}

bool Release(CBase& button) {
    SE_MARK();
    if (button.state != kPressed) return false;
    button.state = kIdle;
    return !button.inactive;
}

void ShowDescription(const CBase& button) {
    SE_MARK();
    if (button.inactive) return;
    Help::Normal::ShowDescription(button.description, Help::Normal::kModeButton);
}

void HideDescription() {
    SE_MARK();
    Help::Normal::HideDescription();
}

void Cancel(CBase& button) {
    SE_MARK();
    HideDescription();
    button.state = kIdle;
    NVireo::NGUI::ClearActiveWidget();
}

bool PollKey(CBase& button) {
    SE_MARK();
    if (!Main::State().active || button.shortcutKey == 0) return false;
    if (button.inactive || button.locked || button.disabled) {
        // A press while the button cannot act is taken and dropped: it must not fire the
        // button later, when it can.
        NVireo::NGame::KeyPressed(button.shortcutKey);
        if (button.pressedByKey == 1) {
            button.pressedByKey = 0;
            button.state = kIdle;
        }
        return false;
    }
    if (NVireo::NGame::KeyPressed(button.shortcutKey)) {
        PlayClick(button);
        button.state = kPressed;
        button.pressedByKey = 1;
        return false;
    }
    if (button.pressedByKey != 1) return false;
    button.pressedByKey = 0;
    button.state = kIdle;
    return true;
}

namespace {

// The cursor in the main window's client area; false without a window or a cursor.
bool CursorInClient(POINT& point) {
    SE_MARK();
    const HWND window = NVireo::NWindow::MainWindowHandle();
    return window != nullptr && GetCursorPos(&point) && ScreenToClient(window, &point);
}

}  // namespace

void PickAtCursor() {
    SE_MARK();
    NVireo::NGUI::PickAtCursor();
}

bool CursorOver(NVireo::NGUI::CInterface& widget, bool converted) {
    SE_MARK();
    POINT point{0, 0};
    if (!CursorInClient(point)) return false;
    int32_t px = point.x;
    int32_t py = point.y;
    if (converted) return widget.HitTestPointer(px, py);
    NVireo::NGUI::ConvertPoint(px, py);
    return widget.HitTest(px, py);
}

NVireo::NString::BBasic<char> KeyLine(uint16_t key) {
    SE_MARK();
    const std::string& format =
        NVireo::NText::ApplicationStrings().Get(StringId::Application::ShortcutKeyLine);
    NVireo::NString::BBasic<char> line;
    line.Format(format.c_str(), static_cast<int>(key & 0xFF));
    return line;
}

void SetDescription(CBase& button, const Help::CLines& lines, uint16_t key) {
    SE_MARK();
    Help::CopyLines(lines, button.description);
    if (key != 0) Help::AddLine(button.description, KeyLine(key).c_str());
}

NVireo::NString::BBasic<char> DisplayedCaption(const char* caption, uint16_t key) {
    SE_MARK();
    NVireo::NString::BBasic<char> shown;
    if (key != 0) {
        shown.Format("%c ", static_cast<int>(key & 0xFF));
    } else {
        shown.Assign("  ", 2);
    }
    if (caption != nullptr) shown.AppendFormat("%s", caption);
    return shown;
}

int32_t ScreenWidth() {
    SE_MARK();
    const UINT width = N3D::PresentParameters().BackBufferWidth;
    return static_cast<int32_t>(width != 0 ? width : N3D::kBackBufferWidth);
}

void FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, D3DCOLOR color) {
    SE_MARK();
    if (right <= left || bottom <= top) return;
    N3D::PresetFlatAlpha(color);
    N3D::DrawFlatRect(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                      static_cast<float>(bottom));
}

void DrawBevel(int32_t left, int32_t top, int32_t right, int32_t bottom, D3DCOLOR fill,
               D3DCOLOR topLeft, D3DCOLOR bottomRight) {
    SE_MARK();
    // Every pixel is blended once: the fill inside, the edges around it.
    FillRect(left + 1, top + 1, right - 1, bottom - 1, fill);
    FillRect(left, top, right, top + 1, topLeft);
    FillRect(left, top + 1, left + 1, bottom, topLeft);
    FillRect(left + 1, bottom - 1, right, bottom, bottomRight);
    FillRect(right - 1, top + 1, right, bottom - 1, bottomRight);
}

void DrawGlow(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    SE_MARK();
    if (right <= left || bottom <= top) return;
    N3D::PresetFlatAdditive(NVireo::NGUI::PulseColor(Main::Pulse().value));
    N3D::DrawFlatRect(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                      static_cast<float>(bottom));
}

}  // namespace NDetail

}  // namespace Button
