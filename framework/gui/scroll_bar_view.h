// The scroll bar as drawn: a dark bar, two bevelled arrow boxes with white triangles, a
// bevelled thumb, and the sunken looks of a held arrow, thumb or track, in the GUI
// palette. The owning scene calls Draw once a frame.
#pragma once

#include "framework/gui/scroll_bar.h"

namespace NVireo::NDirectX::N3D::NGUI {

class CScrollBar : public NVireo::NGUI::NScrollBar::CBase {
public:
    // Nothing while the bar is disabled. An empty range draws the arrow boxes without
    // their triangles.
    void Draw();

protected:
    void DrawArrow(const NBox::CObject& box, bool held, bool withTriangle);
};

}  // namespace NVireo::NDirectX::N3D::NGUI
