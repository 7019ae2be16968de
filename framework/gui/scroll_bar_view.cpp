#include "framework/gui/scroll_bar_view.h"

#include <d3d8.h>

#include "framework/error/trace.h"
#include "framework/gui/palette.h"
#include "framework/render/direct3d.h"
#include "framework/render/presets.h"

namespace NVireo::NDirectX::N3D::NGUI {

namespace {

using NVireo::NGUI::CGuiPalette;
using NVireo::NGUI::GuiPalette;
namespace NPart = NVireo::NGUI::NScrollBar;

constexpr D3DCOLOR kTriangleColor = 0xFFFFFFFFu;

void Fill(int32_t left, int32_t top, int32_t right, int32_t bottom, D3DCOLOR color) {
    if (right <= left || bottom <= top) return;
    PresetFlatAlpha(color);
    DrawFlatRect(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                 static_cast<float>(bottom));
}

// A filled rectangle with one-pixel edges: topLeft along the top and left, bottomRight
// along the bottom and right.
void Bevel(const RECT& r, D3DCOLOR fill, D3DCOLOR topLeft, D3DCOLOR bottomRight) {
    Fill(r.left, r.top, r.right, r.bottom, fill);
    Fill(r.left, r.top, r.right, r.top + 1, topLeft);
    Fill(r.left, r.top + 1, r.left + 1, r.bottom, topLeft);
    Fill(r.left + 1, r.bottom - 1, r.right, r.bottom, bottomRight);
    Fill(r.right - 1, r.top + 1, r.right, r.bottom - 1, bottomRight);
}

void Triangle(const NBox::CTriangle& t, D3DCOLOR fill, D3DCOLOR outline) {
    struct CVertex {
        float x, y, z, rhw;
    };
    const CVertex corners[4] = {
        {t.x[0], t.y[0], 0.0f, 1.0f},
        {t.x[1], t.y[1], 0.0f, 1.0f},
        {t.x[2], t.y[2], 0.0f, 1.0f},
        {t.x[0], t.y[0], 0.0f, 1.0f},
    };
    CDevice& device = Device();
    PresetFlatAlpha(fill);
    device.SetTexture(nullptr);
    device.SetFVF(D3DFVF_XYZRHW);
    device.DrawUP(D3DPT_TRIANGLELIST, 1, corners, sizeof(CVertex));
    PresetFlatAlpha(outline);
    device.DrawUP(D3DPT_LINESTRIP, 3, corners, sizeof(CVertex));
}

}  // namespace

void CScrollBar::DrawArrow(const NBox::CObject& box, bool held, bool withTriangle) {
    SE_MARK();
    const CGuiPalette& palette = GuiPalette();
    if (held) {
        Bevel(box.rect, palette.fill, palette.dark, palette.dark);
    } else {
        Bevel(box.rect, palette.fill, palette.light, palette.dark);
    }
    if (withTriangle) Triangle(box.triangle, kTriangleColor, palette.dark);
}

void CScrollBar::Draw() {
    SE_MARK();
    if (disabled) return;
    const CGuiPalette& palette = GuiPalette();
    Fill(bar.left, bar.top, bar.right, bar.bottom, palette.dark);

    const bool held = pressed != 0;
    if (held && thumbLength != 0 && (part == NPart::kTrackBefore || part == NPart::kTrackAfter)) {
        // The stretch of track the held press pages through, over the thumb's breadth.
        const int32_t t = Thickness();
        if (orientation == 'v') {
            if (part == NPart::kTrackBefore) {
                Fill(thumb.left, bar.top + t, thumb.right, thumb.top, palette.fill);
            } else {
                Fill(thumb.left, thumb.bottom, thumb.right, bar.bottom - t, palette.fill);
            }
        } else if (part == NPart::kTrackBefore) {
            Fill(bar.left + t, thumb.top, thumb.left, thumb.bottom, palette.fill);
        } else {
            Fill(thumb.right, thumb.top, bar.right - t, thumb.bottom, palette.fill);
        }
    }

    const bool triangles = minimum != maximum;
    DrawArrow(firstArrow, held && part == NPart::kFirstArrow, triangles);
    DrawArrow(secondArrow, held && part == NPart::kSecondArrow, triangles);
    if (thumbLength != 0) {
        const bool thumbHeld = held && part == NPart::kThumb;
        Bevel(thumb, palette.fill, thumbHeld ? palette.dark : palette.light, palette.dark);
    }
}

}  // namespace NVireo::NDirectX::N3D::NGUI
