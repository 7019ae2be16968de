// The help line: title, bar, their per-frame update and the overlay.
#include "app/gui/help_line.h"

#include "app/gui/description.h"
#include "app/shell/frame_timer.h"
#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/gui/description.h"
#include "framework/gui/palette.h"
#include "framework/render/direct3d.h"
#include "framework/window/window.h"

namespace Site = NVireo::NError::NSite::NHelpLine;

namespace Help::Line {

namespace {

namespace N3D = NVireo::NDirectX::N3D;
namespace ND = NVireo::NGUI::NDescription;

int32_t ScreenWidth() { return static_cast<int32_t>(N3D::PresentParameters().BackBufferWidth); }
int32_t ScreenHeight() { return static_cast<int32_t>(N3D::PresentParameters().BackBufferHeight); }

// The title's colours: white over a black outline, whatever the default text colours.
constexpr D3DCOLOR kTitleText = 0xFFFFFFFFu;
constexpr D3DCOLOR kTitleOutline = 0xFF000000u;

// The share of the screen width the title area takes.
constexpr double kTitleWidthShare = 0.9;

}  // namespace

// --- title ------------------------------------------------------------------------------

namespace Title {

CNormalCell::CNormalCell(const char* text, int32_t atX, int32_t atY) : x(atX), y(atY) {
    SE_MARK();
    line.SetText(text, N3D::NText::JapaneseFont(kTitleFontHeight));
    line.Place(static_cast<float>(x), static_cast<float>(y), 1.0f, 0.0f);
}

bool CNormalCell::HasText() {
    SE_MARK();
    return line.ChipCount() != 0;
}

void CNormalCell::Draw() {
    SE_MARK();
    line.DrawWithOutline(kTitleOutline, kTitleText, static_cast<float>(x), static_cast<float>(y),
                         1.0f);
}

}  // namespace Title

// --- bar --------------------------------------------------------------------------------

namespace Bar {

void ICell::Rewind(bool all) {
    SE_MARK();
    if (all) lines.Clear();
    current = nullptr;
}

void ICell::ToFirst() {
    SE_MARK();
    current = lines.first;
}

CStreamer::CStreamer() : started(::Main::ClockNow()) {
    SE_MARK();
    set.SetFontHeight(kBarFontHeight);
}

void CStreamer::Rewind(bool all) {
    SE_MARK();
    ICell::Rewind(all);
    // A line set anew starts at rest at the left, wherever the old ones had scrolled to.
    currentX = 14;
    next = nullptr;
    nextX = 0;
}

int32_t CStreamer::LineWidth(const CLines::node_type* line) {
    SE_MARK();
    if (line == nullptr) return 0;
    return static_cast<int32_t>(line->element->Length()) * kBarFontHeight / 2;
}

const CLines::node_type* CStreamer::After(const CLines::node_type* line) const {
    SE_MARK();
    if (line == nullptr || line->next == nullptr) return lines.first;
    return line->next;
}

void CStreamer::Tick() {
    SE_MARK();
    if (lines.count < 2) return;
    if (::Main::ClockNow() - started <= kScrollPauseMs) return;
    if (current == nullptr) current = lines.first;
    const int32_t screenWidth = ScreenWidth();
    --currentX;
    --nextX;
    if (next == nullptr) {
        next = After(current);
        nextX = screenWidth + LineWidth(current);
    }
    if (nextX >= -LineWidth(next)) return;
    current = After(next);
    currentX = screenWidth;
    next = After(current);
    nextX = 2 * screenWidth + LineWidth(current);
}

void CStreamer::Draw() {
    SE_MARK();
    if (lines.count == 0) return;
    const CLines::node_type* shown = current != nullptr ? current : lines.first;
    const int32_t textY = BarTextY();
    set.Draw(currentX, textY, shown->element->c_str());
    if (next != nullptr) set.Draw(nextX, textY, next->element->c_str());
}

}  // namespace Bar

// --- opening ----------------------------------------------------------------------------

void COpening::Advance() {
    SE_MARK();
    if (current < full && step != 0) {
        current += step;
        --step;
    }
}

double COpening::Ratio() const {
    SE_MARK();
    if (full <= 0 || current >= full) return 1.0;
    return static_cast<double>(current) / full;
}

// --- the help line ----------------------------------------------------------------------

CObject::CObject() : bar(new Bar::CStreamer) {
    SE_MARK();
    ComputeTitleArea();
    ComputeBarArea();
}

void CObject::ComputeTitleArea() {
    SE_MARK();
    const int32_t screenWidth = ScreenWidth();
    const int32_t width = static_cast<int32_t>(screenWidth * kTitleWidthShare);
    titleLeft = (screenWidth - width) / 2;
    titleRight = titleLeft + width;
    titleY = kTitleY;
}

void CObject::ComputeBarArea() {
    SE_MARK();
    const int32_t screenHeight = ScreenHeight();
    barArea = RECT{0, screenHeight - 58, ScreenWidth(), screenHeight - 18};
}

int32_t BarTextY() {
    SE_MARK();
    return (40 - kBarFontHeight) / 2 + ScreenHeight() - 58;
}

void CObject::SetTitle(const char* text) {
    SE_MARK();
    if (text == nullptr) {
        title.Reset(nullptr);
        titlePositionIndex = -1;
        return;
    }
    ComputeTitleArea();
    title.Reset(new Title::CNormalCell(text, titleLeft, titleY));
}

void CObject::SetBarText(const char* text) {
    SE_MARK();
    bar.Get()->Rewind(true);
    barPositionIndex = -1;
    AddLine(bar.Get()->lines, text);
    bar.Get()->ToFirst();
}

void CObject::AddBarText(const char* text) {
    SE_MARK();
    AddLine(bar.Get()->lines, text);
    if (bar.Get()->current == nullptr) bar.Get()->ToFirst();
}

void CObject::Reset() {
    SE_MARK();
    title.Reset(nullptr);
    titlePositionIndex = -1;
    bar.Reset(new Bar::CStreamer);
    barPositionIndex = -1;
    Normal::ClearAll();
    Normal::Clear(Normal::SecondBox());
}

void CObject::UpdateOverlay() {
    SE_MARK();
    ComputeTitleArea();
    ComputeBarArea();
    bar.Get()->Tick();
    opening.Advance();
    Normal::PlaceAllAtCursor();
    Normal::CInterface& second = Normal::SecondBox();
    Normal::PlaceAtCursor(second);
    // The workspace's box shows only while the pointer is over the window.
    HWND window = NVireo::NWindow::MainWindowHandle();
    RECT frame{};
    POINT cursor{0, 0};
    if (window == nullptr || !GetWindowRect(window, &frame)) return;
    if (!GetCursorPos(&cursor)) {
        RecordSystemError();
        Raise(NVireo::NError::kSite, Site::kCursorPosition, "");
        return;
    }
    const bool inside = frame.left <= cursor.x && cursor.x < frame.right && frame.top <= cursor.y &&
                        cursor.y < frame.bottom;
    if (!inside) Normal::Clear(second);
}

void CObject::DrawUnderline() {
    SE_MARK();
    const int32_t b = titleY + kTitleFontHeight;
    const int32_t l = titleLeft;
    const int32_t r = titleRight;
    ND::DrawLine(l, b, r, b, 0x80FFFFFFu);
    ND::DrawLine(l, b + 2, r, b + 2, 0x80FFFFFFu);
    ND::DrawLine(l - 1, b, l - 1, b + 3, 0x40FFFFFFu);
    ND::DrawLine(r, b, r, b + 3, 0x40FFFFFFu);
    ND::DrawLine(l - 1, b + 1, r + 1, b + 1, 0x40FFFFFFu);
    ND::DrawLine(l, b + 1, r, b + 1, 0xFF000000u);
}

void CObject::DrawBarBackground() {
    SE_MARK();
    const NVireo::NGUI::CGuiPalette& palette = NVireo::NGUI::GuiPalette();
    const double ratio = opening.Ratio();
    const bool open = ratio >= 1.0;
    const int32_t width = barArea.right - barArea.left;
    const int32_t fillRight =
        open ? barArea.right : barArea.left + static_cast<int32_t>(width * ratio);
    ND::FillRect(barArea.left, barArea.top, fillRight, barArea.bottom, palette.fill);
    // The edges grow in from the right while the fill grows from the left.
    const int32_t edgeLeft = open ? 0 : static_cast<int32_t>((1.0 - ratio) * barArea.right);
    ND::DrawLine(edgeLeft, barArea.top, barArea.right, barArea.top, palette.dark);
    ND::DrawLine(edgeLeft, barArea.bottom, barArea.right, barArea.bottom, palette.dark);
}

void CObject::DrawOverlay() {
    SE_MARK();
    if (!OverlayVisible()) return;
    if (title.Get() != nullptr && title.Get()->HasText()) {
        DrawUnderline();
        title.Get()->Draw();
    }
    if (bar.Get()->lines.count != 0) {
        DrawBarBackground();
        bar.Get()->Draw();
    }
    // Every box, the workspace's second one included, is in the set DrawAll walks.
    Normal::DrawAll();
}

CObject& Instance() {
    static CObject line;
    return line;
}

bool& OverlayVisible() {
    static bool visible = true;
    return visible;
}

void SetTitle(const char* text) {
    SE_MARK();
    Instance().SetTitle(text);
}

void SetBarText(const char* text) {
    SE_MARK();
    Instance().SetBarText(text);
}

void AddBarText(const char* text) {
    SE_MARK();
    Instance().AddBarText(text);
}

void Reset() {
    SE_MARK();
    Instance().Reset();
}

void UpdateOverlay() {
    SE_MARK();
    Instance().UpdateOverlay();
}

void DrawOverlay() {
    SE_MARK();
    Instance().DrawOverlay();
}

}  // namespace Help::Line
