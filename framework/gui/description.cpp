// Description-box geometry and the flat lines and panels it is drawn with.
#include "framework/gui/description.h"

#include <cstring>

#include "framework/error/trace.h"
#include "framework/render/direct3d.h"
#include "framework/render/presets.h"

namespace NVireo::NGUI::NDescription {

CSize BoxSize(int32_t fontHeight, uint32_t longestBytes, uint32_t lineCount) {
    SE_MARK();
    const int64_t width = int64_t{fontHeight} * longestBytes / 2 + 2 * kMargin;
    const int64_t height = int64_t{lineCount} * (fontHeight + kMargin) + kMargin;
    return {static_cast<int32_t>(width), static_cast<int32_t>(height)};
}

CPoint PlaceNear(int32_t x, int32_t y, CSize size, int32_t screenWidth, int32_t screenHeight) {
    SE_MARK();
    const int32_t w = size.width;
    const int32_t h = size.height;
    const int32_t halfWidth = screenWidth / 2;
    const int32_t halfHeight = screenHeight / 2;
    CPoint at{x < halfWidth ? x + kPointerGap : x - w - kPointerGap,
              y < halfHeight ? y + kPointerGap : y - h - kPointerGap};
    if (at.x < 0) at.x = 0;
    if (at.y < 0) at.y = 0;
    if (at.x + w > screenWidth) at.x = screenWidth - w;
    if (at.y + h > screenHeight) at.y = screenHeight - h;
    // A box that cannot sit beside the pointer in either half is centred on that axis.
    if (halfWidth < w + kPointerGap) at.x = (screenWidth - w) / 2;
    if (halfHeight < h + kPointerGap) at.y = (screenHeight - h) / 2;
    return at;
}

bool IsSeparator(const char* line) {
    SE_MARK();
    return line != nullptr && std::strcmp(line, "*") == 0;
}

std::vector<CPanel> Panels(const std::vector<bool>& separators, int32_t fontHeight) {
    SE_MARK();
    std::vector<CPanel> panels;
    const int32_t pitch = fontHeight + kMargin;
    uint32_t first = 0;  // the index of the group's first line
    uint32_t lines = 0;
    auto close = [&] {
        // A panel frames its own lines: it starts a margin above the first of them, so a
        // separator's slot stays free between two panels. A group without lines has
        // nothing to frame.
        if (lines != 0) {
            panels.push_back({static_cast<int32_t>(first) * pitch,
                              static_cast<int32_t>(lines) * pitch + kMargin, lines});
        }
        lines = 0;
    };
    for (uint32_t i = 0; i < separators.size(); ++i) {
        if (separators[i]) {
            close();
            first = i + 1;
        } else {
            ++lines;
        }
    }
    close();
    return panels;
}

int32_t LineTop(uint32_t k, int32_t fontHeight) {
    SE_MARK();
    return kMargin + static_cast<int32_t>(k) * (fontHeight + kMargin);
}

void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, D3DCOLOR color) {
    SE_MARK();
    namespace N3D = NVireo::NDirectX::N3D;
    struct CVertex {
        float x, y, z, rhw;
    };
    const CVertex line[2] = {
        {static_cast<float>(x1), static_cast<float>(y1), 0.0f, 1.0f},
        {static_cast<float>(x2), static_cast<float>(y2), 0.0f, 1.0f},
    };
    N3D::PresetFlatAlpha(color);
    N3D::CDevice& device = N3D::Device();
    device.SetTexture(nullptr);
    device.SetFVF(D3DFVF_XYZRHW);
    device.DrawUP(D3DPT_LINELIST, 1, line, sizeof(CVertex));
}

void FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, D3DCOLOR fill) {
    SE_MARK();
    namespace N3D = NVireo::NDirectX::N3D;
    N3D::PresetFlatAlpha(fill);
    N3D::DrawFlatRect(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                      static_cast<float>(bottom));
}

void DrawFramedRect(int32_t left, int32_t top, int32_t right, int32_t bottom, D3DCOLOR fill,
                    D3DCOLOR topLeft, D3DCOLOR bottomRight) {
    SE_MARK();
    if (right <= left || bottom <= top) return;
    FillRect(left, top, right, bottom, fill);
    // The side edges leave the corner pixels to the top and bottom edges, so no pixel is
    // blended twice.
    DrawLine(left, top, right, top, topLeft);
    DrawLine(left, top + 1, left, bottom - 1, topLeft);
    DrawLine(left, bottom - 1, right, bottom - 1, bottomRight);
    DrawLine(right - 1, top + 1, right - 1, bottom - 1, bottomRight);
}

}  // namespace NVireo::NGUI::NDescription
