#include "app/gui/scroll_bar_object.h"

#include <algorithm>
#include <cstdint>

#include "framework/error/trace.h"
#include "framework/text/string_ids.h"
#include "framework/text/string_table.h"

namespace ScrollBar {

namespace {

constexpr int32_t kTextFontHeight = 12;
constexpr int32_t kLabelGap = 2;  // pixels between the bar's end and its texts
constexpr int32_t kWheelNotch = 120;

}  // namespace

void DefaultDescription(Help::CLines& lines) {
    SE_MARK();
    lines.Clear();
    for (const uint32_t id :
         {StringId::Application::ScrollBarHelpThumb, StringId::Application::ScrollBarHelpArrows,
          StringId::Application::ScrollBarHelpTrack, StringId::Application::ScrollBarHelpWheel}) {
        Help::AddLine(lines, NVireo::NText::ApplicationStrings().Get(id).c_str());
    }
}

void CObject::Setup(int32_t x, int32_t y, int32_t length, const char* labelText) {
    SE_MARK();
    Help::CLines lines;
    DefaultDescription(lines);
    Setup(x, y, length, labelText, lines);
}

void CObject::Setup(int32_t x, int32_t y, int32_t length, const char* labelText,
                    const Help::CLines& lines) {
    SE_MARK();
    SetGeometry(x, y, length);
    label.fontHeight = kTextFontHeight;
    label.x = x + length + kLabelGap;
    label.y = y;
    label.SetText(labelText);
    label.scale = 1.0;
    valueText.fontHeight = kTextFontHeight;
    valueText.x = x + length + kLabelGap;
    valueText.y = y + kTextFontHeight;
    valueText.SetText("");
    valueText.scale = 1.0;
    Help::CopyLines(lines, description);
    Help::CopyLines(lines, label.description);
    Help::CopyLines(lines, valueText.description);
}

void CObject::SetValueText(const char* text) {
    SE_MARK();
    valueText.SetText(text);
}

NVireo::NString::BBasic<char> CObject::FractionText() const {
    SE_MARK();
    const double share =
        maximum == 0 ? 0.0 : static_cast<double>(GetValue()) / static_cast<double>(maximum);
    NVireo::NString::BBasic<char> text;
    text.Format("%.2f", share + displayOffset);
    return text;
}

void CObject::SetEnabled(bool enable) {
    SE_MARK();
    CScrollBar::SetEnabled(enable);
    label.SetEnabled(enable);
    valueText.SetEnabled(enable);
}

void CObject::Draw() {
    SE_MARK();
    CScrollBar::Draw();
    label.Draw();
    valueText.Draw();
}

void CObject::OnPointerMove(const NVireo::NGUI::PointerPosition& pointer, WPARAM keyFlags) {
    SE_MARK();
    Help::Normal::CInterface& box = Help::Normal::SharedBox();
    Help::Normal::Show(box, description, Help::Normal::kModeScrollBar);
    Help::Normal::PlaceAtCursor(box);
    CScrollBar::OnPointerMove(pointer, keyFlags);
}

void CObject::OnWheel(const NVireo::NGUI::PointerPosition& pointer, WPARAM keyFlags) {
    SE_MARK();
    if (!IsRegistered() || disabled) return;
    int32_t x = pointer.clientX;
    int32_t y = pointer.clientY;
    NVireo::NGUI::ConvertPoint(x, y);
    if (PartAt(x, y) == NVireo::NGUI::NScrollBar::kNone) return;
    const int32_t delta = static_cast<int16_t>(HIWORD(keyFlags));
    const int32_t notches = delta / -kWheelNotch;  // truncated: a part notch does nothing
    SetValue(static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{GetValue()} + notches, INT32_MIN, INT32_MAX)));
}

void CObject::OnCaptureEnd(const NVireo::NGUI::PointerPosition& pointer, WPARAM keyFlags) {
    SE_MARK();
    Help::Normal::Clear(Help::Normal::SharedBox());
    CScrollBar::OnCaptureEnd(pointer, keyFlags);
}

void CObject::OnPointerLeave(const NVireo::NGUI::PointerPosition&, WPARAM) {
    SE_MARK();
    Help::Normal::Clear(Help::Normal::SharedBox());
}

}  // namespace ScrollBar
