// The labelled scroll bar the duration dialog and the setting scene use: the drawn bar,
// its label to the right, the owner's value text below the label, and the description
// the shared description box shows while the pointer is over any of them; the wheel
// moves the value by one per notch.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/gui/description.h"
#include "app/gui/label.h"
#include "framework/containers/nstring.h"
#include "framework/gui/scroll_bar_view.h"

namespace ScrollBar {

// Replaces lines with the description every bar of the program shows unless its owner
// gives another: how the thumb, the arrows, the track and the wheel move the value.
void DefaultDescription(Help::CLines& lines);

class CObject : public NVireo::NDirectX::N3D::NGUI::CScrollBar {
public:
    Help::CLines description;
    Label::Aid::TS::CSingle valueText;  // below the label, set by the owner every frame
    Label::Aid::TA::CSingle label;      // right of the bar
    double displayOffset = 0.0;         // added to the shown fraction of the range

    // The bar from (x, y) over length pixels; the label text right of it in the 12-pixel
    // font, the value text (empty) one line below; all three show lines as their
    // description (DefaultDescription() unless the owner has its own).
    void Setup(int32_t x, int32_t y, int32_t length, const char* labelText,
               const Help::CLines& lines);
    void Setup(int32_t x, int32_t y, int32_t length, const char* labelText);
    void SetValueText(const char* text);
    // "%.2f" of the public value over the maximum, plus the display offset: the share of
    // the range the setting scene shows. An empty range shows the display offset.
    NVireo::NString::BBasic<char> FractionText() const;
    // The bar and its texts, each only while enabled.
    void SetEnabled(bool enable);
    // The bar, then the label and the value text.
    void Draw();

    void OnPointerMove(const NVireo::NGUI::PointerPosition& pointer, WPARAM keyFlags) override;
    void OnWheel(const NVireo::NGUI::PointerPosition& pointer, WPARAM keyFlags) override;
    void OnCaptureEnd(const NVireo::NGUI::PointerPosition& pointer, WPARAM keyFlags) override;
    // Only clears the shared description box: a held part stays held.
    void OnPointerLeave(const NVireo::NGUI::PointerPosition& pointer, WPARAM keyFlags) override;
};

}  // namespace ScrollBar
