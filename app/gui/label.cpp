// Labels, the default text colours and the colour-keeping text sets.
#include "app/gui/label.h"

#include <cmath>

#include "framework/error/trace.h"
#include "framework/render/direct3d.h"

namespace Label {

namespace N3D = NVireo::NDirectX::N3D;

CTextColors& DefaultTextColors() {
    static CTextColors colors;
    return colors;
}

void SetDefaultTextColors(DWORD text, DWORD outline) {
    SE_MARK();
    DefaultTextColors().text = text;
    DefaultTextColors().outline = outline;
}

namespace {

// A length scaled and rounded to whole pixels.
int32_t Scaled(double length, double scale) {
    return static_cast<int32_t>(std::lround(length * scale));
}

// The rectangle of a text width x height drawn at (x, y) at scale.
RECT TextRect(int32_t x, int32_t y, double width, double height, double scale) {
    return RECT{x, y, x + Scaled(width, scale), y + Scaled(height, scale)};
}

}  // namespace

// --- the base ---------------------------------------------------------------------------

BNormal::BNormal()
    : textColor(DefaultTextColors().text), outlineColor(DefaultTextColors().outline) {
    SE_MARK();
    RegisterWithMainWindow();
}

BNormal::~BNormal() = default;

bool BNormal::HitTest(int32_t px, int32_t py) {
    SE_MARK();
    // A label has no action of its own: without a description there is nothing to show,
    // and it must not take the pointer from what lies under it (the setting screen's
    // caption covers the music check box).
    if (!IsRegistered() || disabled || description.count == 0) return false;
    RECT rect{};
    if (!GetRect(rect)) return false;
    return rect.left <= px && px < rect.right && rect.top <= py && py < rect.bottom;
}

bool BNormal::HitTestPointer(int32_t px, int32_t py) {
    SE_MARK();
    return BNormal::HitTest(px, py);
}

void BNormal::Draw() {
    SE_MARK();
    if (!IsRegistered() || disabled || scale == 0.0 || !HasText()) return;
    DrawText();
}

// --- labels with a text line of their own -----------------------------------------------

namespace {

void RenderLine(N3D::NText::CLine& line, const char* newText, int32_t fontHeight, int32_t x,
                int32_t y) {
    SE_MARK();
    line.SetText(newText != nullptr ? newText : "", N3D::NText::JapaneseFont(fontHeight));
    line.Place(static_cast<float>(x), static_cast<float>(y), 1.0f, 0.0f);
}

bool LineRect(const N3D::NText::CLine& line, int32_t x, int32_t y, double scale, RECT& rect) {
    SE_MARK();
    if (line.ChipCount() == 0) return false;
    rect = TextRect(x, y, line.Width(), line.Height(), scale);
    return true;
}

void DrawLine(N3D::NText::CLine& line, const BNormal& label) {
    SE_MARK();
    line.DrawWithOutline(label.outlineColor, label.textColor, static_cast<float>(label.x),
                         static_cast<float>(label.y), static_cast<float>(label.scale));
}

}  // namespace

template <class Base>
void BOwnLine<Base>::SetText(const char* newText) {
    SE_MARK();
    this->text = NVireo::NString::BBasic<char>(newText != nullptr ? newText : "");
    RenderLine(line, newText, fontHeight, this->x, this->y);
}

template <class Base>
int32_t BOwnLine<Base>::GetFontHeight() {
    SE_MARK();
    return fontHeight;
}

template <class Base>
bool BOwnLine<Base>::GetRect(RECT& rect) {
    SE_MARK();
    return LineRect(line, this->x, this->y, this->scale, rect);
}

template <class Base>
void BOwnLine<Base>::DrawText() {
    SE_MARK();
    DrawLine(line, *this);
}

template <class Base>
bool BOwnLine<Base>::HasText() {
    SE_MARK();
    return line.ChipCount() != 0;
}

template class BOwnLine<BNormal>;

void CCaption::Setup(double newScale) {
    SE_MARK();
    fontHeight = kCaptionFontHeight;
    x = 140;
    y = 100;
    SetText("Setting");
    scale = newScale;
}

// --- aid labels -------------------------------------------------------------------------

namespace Aid {

void CBase::OnPointerMove(const NVireo::NGUI::PointerPosition&, WPARAM) {
    SE_MARK();
    Help::Normal::CInterface& box = Help::Normal::SharedBox();
    if (description.count == 0) {
        Help::Normal::Clear(box);
        return;
    }
    Help::Normal::Show(box, description, Help::Normal::kModeLabel);
    Help::Normal::PlaceAtCursor(box);
}

void CBase::OnPointerLeave(const NVireo::NGUI::PointerPosition&, WPARAM) {
    SE_MARK();
    Help::Normal::Clear(Help::Normal::SharedBox());
}

void CBase::OnCaptureEnd(const NVireo::NGUI::PointerPosition& pointer, WPARAM keyFlags) {
    SE_MARK();
    Help::Normal::Clear(Help::Normal::SharedBox());
    BAid::OnCaptureEnd(pointer, keyFlags);  // clears the active-widget record
}

namespace TA {

void CSingle::SetupAid(int32_t newY, const char* newText, const char* descriptionLine,
                       double newScale) {
    SE_MARK();
    fontHeight = kAidFontHeight;
    x = 70;
    y = newY;
    SetText(newText);
    scale = newScale;
    description.Clear();
    Help::AddLine(description, descriptionLine);
}

}  // namespace TA

namespace TS {

CSingle::CSingle() { SE_MARK(); }

void CSingle::SetText(const char* newText) {
    SE_MARK();
    caption = NVireo::NString::BBasic<char>(newText != nullptr ? newText : "");
    text = caption;
}

int32_t CSingle::GetFontHeight() {
    SE_MARK();
    return fontHeight;
}

bool CSingle::GetRect(RECT& rect) {
    SE_MARK();
    if (caption.Length() == 0) return false;
    // The estimate of half the font height per byte: hit tests need no rendered glyphs.
    rect =
        TextRect(x, y, static_cast<double>(caption.Length()) * fontHeight / 2.0, fontHeight, scale);
    return true;
}

void CSingle::DrawText() {
    SE_MARK();
    // The chips are made on first draw, so a label can be set up before the device exists.
    set.SetFontIfChanged(N3D::NText::JapaneseFont(fontHeight));
    set.DrawTextWithOutline(outlineColor, textColor, static_cast<float>(x), static_cast<float>(y),
                            static_cast<float>(scale), caption.c_str());
}

bool CSingle::HasText() {
    SE_MARK();
    return caption.Length() != 0;
}

}  // namespace TS

}  // namespace Aid

template class BOwnLine<Aid::CBase>;

// --- text sets that keep their colours --------------------------------------------------

namespace Out {

CBoxer::CBoxer() : textColor(DefaultTextColors().text), outlineColor(DefaultTextColors().outline) {
    SE_MARK();
}

void CBoxer::SetFontHeight(int32_t height) {
    SE_MARK();
    fontHeight_ = height;
}

int32_t CBoxer::FontHeight() const {
    SE_MARK();
    return fontHeight_;
}

void CBoxer::Draw(int32_t x, int32_t y, const char* text, double scale) {
    SE_MARK();
    if (fontHeight_ == 0 || text == nullptr) return;
    // The font is made on first draw, so a set can exist before the device does.
    SetFontIfChanged(N3D::NText::JapaneseFont(fontHeight_));
    DrawTextWithOutline(outlineColor, textColor, static_cast<float>(x), static_cast<float>(y),
                        static_cast<float>(scale), text);
}

}  // namespace Out

}  // namespace Label
