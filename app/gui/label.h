// Labels: passive text widgets a scene places and draws, some of which show a
// description in the shared description box while the pointer is over them; the text
// sets that draw strings through cached chips with the default text colours; and the
// process-wide default text colours every label and text object starts with.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/gui/description.h"
#include "framework/containers/nstring.h"
#include "framework/gui/widget.h"
#include "framework/render/text.h"

namespace Label {

// The colours text starts with: white text over a black outline until the boot scene
// sets them.
struct CTextColors {
    DWORD text = 0xFFFFFFFFu;
    DWORD outline = 0xFF000000u;
};
CTextColors& DefaultTextColors();
void SetDefaultTextColors(DWORD text, DWORD outline);

// Font heights in pixels.
inline constexpr int32_t kAidFontHeight = 14;
inline constexpr int32_t kSetFontHeight = 12;
inline constexpr int32_t kCaptionFontHeight = 18;

// The base of every label. The text's top-left corner is (x, y); scale 0 hides it.
class BNormal : public NVireo::NGUI::CInterface {
public:
    int32_t x = 0;
    int32_t y = 0;
    double scale = 1.0;
    Help::CLines description;  // what the shared box shows while the label is hovered
    DWORD textColor;
    DWORD outlineColor;

    BNormal();
    ~BNormal() override;

    // Renders text (the label keeps it).
    virtual void SetText(const char* newText) = 0;
    virtual int32_t GetFontHeight() = 0;
    // The rectangle the rendered text covers (right and bottom exclusive); false when
    // there is no rendered text.
    virtual bool GetRect(RECT& rect) = 0;

    // Registered, enabled, with a description, and the point inside the rectangle: a
    // label without a description never takes the pointer.
    bool HitTest(int32_t px, int32_t py) override;
    bool HitTestPointer(int32_t px, int32_t py) override;

    // Nothing when unregistered, disabled, at scale 0 or without rendered text;
    // otherwise the text at (x, y) in the label's colours at its scale.
    void Draw();
    // The drawing itself, once Draw has checked the label is shown.
    virtual void DrawText() = 0;
    // Whether there is rendered text to draw.
    virtual bool HasText() = 0;
};

// A label (Base is BNormal or one of its kinds) with one text line of its own,
// rendered when the text is set.
template <class Base>
class BOwnLine : public Base {
public:
    NVireo::NDirectX::N3D::NText::CLine line;
    int32_t fontHeight = kAidFontHeight;

    // Renders newText in the label's font height and shows it at (x, y) at scale 1.
    void SetText(const char* newText) override;
    int32_t GetFontHeight() override;
    bool GetRect(RECT& rect) override;
    void DrawText() override;
    bool HasText() override;
};

namespace Normal::TA {

class CSingle : public BOwnLine<BNormal> {};

}  // namespace Normal::TA

// A scene's caption: "Setting" in the 18-pixel font at (140, 100).
class CCaption : public Normal::TA::CSingle {
public:
    void Setup(double newScale);
};

// Labels that react to the pointer.
class BAid : public BNormal {};

namespace Aid {

// Hovering shows the label's description in the shared box at the pointer (or clears
// the box when the label has none); leaving or the end of a capture clears it.
class CBase : public BAid {
public:
    void OnPointerMove(const NVireo::NGUI::PointerPosition& pointer, WPARAM keyFlags) override;
    void OnPointerLeave(const NVireo::NGUI::PointerPosition& pointer, WPARAM keyFlags) override;
    void OnCaptureEnd(const NVireo::NGUI::PointerPosition& pointer, WPARAM keyFlags) override;
};

namespace TA {

// An aid label with its own text line.
class CSingle : public BOwnLine<CBase> {
public:
    // text in the 14-pixel font at (70, y) at newScale, with one description line.
    void SetupAid(int32_t newY, const char* newText, const char* descriptionLine, double newScale);
};

}  // namespace TA

namespace TS {

class BSingle : public CBase {};

// An aid label that keeps its text as a string and draws it through a text set in the
// 12-pixel font, so changing the text renders only characters not seen before.
class CSingle : public BSingle {
public:
    NVireo::NString::BBasic<char> caption;
    NVireo::NDirectX::N3D::NText::NSet::CBasic set;
    int32_t fontHeight = kSetFontHeight;

    CSingle();
    void SetText(const char* newText) override;
    int32_t GetFontHeight() override;
    bool GetRect(RECT& rect) override;
    void DrawText() override;
    bool HasText() override;
};

}  // namespace TS

}  // namespace Aid

namespace Out {

// A text set that draws in its own colours, which start as the default text colours.
class CBoxer : public NVireo::NDirectX::N3D::NText::NSet::CBasic {
public:
    DWORD textColor;
    DWORD outlineColor;

    CBoxer();
    // The font height (JapaneseFont) the set draws in. The font itself is made when the set
    // first draws, so a set may exist before the device does.
    void SetFontHeight(int32_t height);
    int32_t FontHeight() const;
    // text at (x, y) in the set's colours over its outline; nothing without a font height.
    void Draw(int32_t x, int32_t y, const char* text, double scale = 1.0);

private:
    int32_t fontHeight_ = 0;
};

class CMainBoxer : public CBoxer {};

}  // namespace Out

}  // namespace Label

// The wait screens' progress text.
class CLabelProgressOuter : public Label::Out::CMainBoxer {};
