// The description boxes: the set of boxes, the two boxes, and showing, placing, clearing
// and drawing them.
#include "app/gui/description.h"

#include <cstring>

#include "app/gui/description_box.h"
#include "framework/containers/set.h"
#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/gui/description.h"
#include "framework/gui/palette.h"
#include "framework/gui/widget.h"
#include "framework/render/direct3d.h"
#include "framework/render/texture.h"
#include "framework/window/window.h"

namespace Site = NVireo::NError::NSite::NDescription;

namespace Help {

void AddLine(CLines& lines, const char* text) {
    SE_MARK();
    lines.AppendNew() = NVireo::NString::BBasic<char>(text != nullptr ? text : "");
}

void CopyLines(const CLines& from, CLines& to) {
    SE_MARK();
    if (&from == &to) return;
    to.Clear();
    for (const NVireo::NString::BBasic<char>& line : from) to.AppendNew() = line;
}

namespace Normal {

namespace {

using CBoxSet = hoard::set::basic<CInterface*, NVireo::NDirectX::N3D::CAddressLess<CInterface>>;

CBoxSet& Boxes() {
    static CBoxSet boxes;
    return boxes;
}

int32_t ScreenWidth() {
    return static_cast<int32_t>(NVireo::NDirectX::N3D::PresentParameters().BackBufferWidth);
}

int32_t ScreenHeight() {
    return static_cast<int32_t>(NVireo::NDirectX::N3D::PresentParameters().BackBufferHeight);
}

}  // namespace

CInterface::CInterface() {
    SE_MARK();
    Boxes().Insert(this);
}

CInterface::~CInterface() { Boxes().Erase(this); }

uint32_t CInterface::LongestLine() const {
    SE_MARK();
    uint32_t longest = 0;
    for (const NVireo::NString::BBasic<char>& line : lines) {
        if (line.Length() > longest) longest = line.Length();
    }
    return longest;
}

template <typename TSet>
CBase<TSet>::CBase(int32_t fontHeight) {
    SE_MARK();
    set.SetFontHeight(fontHeight);
}

template <typename TSet>
int32_t CBase<TSet>::LineHeight() {
    SE_MARK();
    return set.FontHeight();
}

template <typename TSet>
void CBase<TSet>::Draw() {
    SE_MARK();
    const int32_t h = LineHeight();
    if (mode == kModeHidden || h == 0 || Width() <= 0 || lines.count == 0) return;
    namespace ND = NVireo::NGUI::NDescription;
    std::vector<bool> separators;
    separators.reserve(static_cast<size_t>(lines.count));
    for (const NVireo::NString::BBasic<char>& line : lines) {
        separators.push_back(ND::IsSeparator(line.c_str()));
    }
    const ND::CSize size = ND::BoxSize(h, LongestLine(), 0);
    const NVireo::NGUI::CGuiPalette& palette = NVireo::NGUI::GuiPalette();
    for (const ND::CPanel& panel : ND::Panels(separators, h)) {
        const int32_t panelTop = top + panel.top;
        ND::DrawFramedRect(left, panelTop, left + size.width, panelTop + panel.height, palette.fill,
                           palette.light, palette.light);
    }
    DrawLines();
}

template <typename TSet>
void CBase<TSet>::DrawLines() {
    SE_MARK();
    const int32_t h = LineHeight();
    if (h == 0) return;
    namespace ND = NVireo::NGUI::NDescription;
    uint32_t k = 0;
    for (const NVireo::NString::BBasic<char>& line : lines) {
        if (!ND::IsSeparator(line.c_str())) {
            set.Draw(left + ND::kMargin, top + ND::LineTop(k, h), line.c_str());
        }
        ++k;
    }
}

template class CBase<Label::Out::CMainBoxer>;

CBasic::CBasic() : CBase<Label::Out::CMainBoxer>(Label::kSetFontHeight) { SE_MARK(); }

CInterface& SharedBox() {
    static CBasic box;
    return box;
}

CInterface& SecondBox() {
    static CObject box;
    return box;
}

void Clear(CInterface& box) {
    SE_MARK();
    box.left = box.top = box.right = box.bottom = 0;
    box.lines.Clear();
    box.positionIndex = -1;
}

void ClearAll() {
    SE_MARK();
    for (CInterface* box : Boxes()) Clear(*box);
}

void Show(CInterface& box, const CLines& lines, int32_t mode) {
    SE_MARK();
    if (lines.count == 0) return;
    CopyLines(lines, box.lines);
    box.mode = mode;
    namespace ND = NVireo::NGUI::NDescription;
    const ND::CSize size =
        ND::BoxSize(box.LineHeight(), box.LongestLine(), static_cast<uint32_t>(box.lines.count));
    box.right = box.left + size.width;
    box.bottom = box.top + size.height;
}

void PlaceAt(CInterface& box, int32_t x, int32_t y) {
    SE_MARK();
    const int32_t width = box.Width();
    const int32_t height = box.Height();
    if (width == 0) return;
    namespace ND = NVireo::NGUI::NDescription;
    const ND::CPoint at = ND::PlaceNear(x, y, {width, height}, ScreenWidth(), ScreenHeight());
    box.left = at.x;
    box.top = at.y;
    box.right = at.x + width;
    box.bottom = at.y + height;
}

void PlaceAtCursor(CInterface& box) {
    SE_MARK();
    if (box.Width() == 0) return;
    POINT cursor{0, 0};
    if (!GetCursorPos(&cursor)) {
        RecordSystemError();
        Raise(NVireo::NError::kSite, Site::kCursorPosition, "");
        cursor = {0, 0};
    } else if (HWND window = NVireo::NWindow::MainWindowHandle()) {
        // The boxes are drawn on the client area: the pointer is taken relative to it.
        if (!ScreenToClient(window, &cursor)) cursor = {0, 0};
    }
    int32_t x = cursor.x;
    int32_t y = cursor.y;
    NVireo::NGUI::ConvertPoint(x, y);
    PlaceAt(box, x, y);
}

void PlaceAllAtCursor() {
    SE_MARK();
    for (CInterface* box : Boxes()) PlaceAtCursor(*box);
}

void DrawAll() {
    SE_MARK();
    for (CInterface* box : Boxes()) box->Draw();
}

void ShowDescription(const CLines& lines, int32_t mode) {
    SE_MARK();
    ClearAll();
    CInterface& box = SharedBox();
    Show(box, lines, mode);
    PlaceAtCursor(box);
}

void HideDescription() {
    SE_MARK();
    Clear(SharedBox());
}

}  // namespace Normal

}  // namespace Help
