// The help line: a process-wide overlay made of a title at the top of the screen with a
// decorative underline, and a help bar near the bottom whose text scrolls when it has
// several lines. The bar opens once per process, growing over its first 16 frames. Every
// scene draws it (with the description boxes) as the last thing of its frame, and every
// scene change empties it. Main thread only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/gui/description.h"
#include "app/gui/label.h"
#include "framework/containers/pointer.h"
#include "framework/render/text.h"

namespace Help::Line {

// Font heights of the title and the bar, and the title's y.
inline constexpr int32_t kTitleFontHeight = 14;
inline constexpr int32_t kBarFontHeight = 14;
inline constexpr int32_t kTitleY = 14;
// How long a bar of several lines holds still before it starts scrolling.
inline constexpr uint32_t kScrollPauseMs = 5000;

namespace Title {

class ICell {
public:
    ICell() = default;
    ICell(const ICell&) = delete;
    ICell& operator=(const ICell&) = delete;
    virtual bool HasText() = 0;
    virtual void Draw() = 0;
    virtual ~ICell() = default;
};

// A title of one text line, white over a black outline.
class CNormalCell : public ICell {
public:
    NVireo::NDirectX::N3D::NText::CLine line;
    int32_t x = 0;
    int32_t y = kTitleY;

    // Renders text in the title font at (x, y).
    CNormalCell(const char* text, int32_t atX, int32_t atY);
    bool HasText() override;
    void Draw() override;
};

}  // namespace Title

namespace Bar {

// The bar's lines and a cursor on the current one.
class ICell {
public:
    CLines lines;
    const CLines::node_type* current = nullptr;

    ICell() = default;
    ICell(const ICell&) = delete;
    ICell& operator=(const ICell&) = delete;

    // Puts the cursor before the lines; all also removes them.
    virtual void Rewind(bool all);
    // Puts the cursor on the first line.
    virtual void ToFirst();
    virtual void Draw() = 0;
    // One frame of the bar's movement.
    virtual void Tick() = 0;
    virtual ~ICell() = default;
};

// Scrolls its lines from right to left once the pause after its creation is over.
class CStreamer : public ICell {
public:
    Label::Out::CMainBoxer set;
    uint32_t started;                         // the stopwatch: clock at construction (ms)
    int32_t currentX = 14;                    // where the current line is drawn
    const CLines::node_type* next = nullptr;  // the line scrolling in after it, if any
    int32_t nextX = 0;

    CStreamer();
    // Without lines nothing; otherwise the current line at its x and the next one at its,
    // both at BarTextY().
    void Draw() override;
    // With fewer than two lines, or until the stopwatch passes kScrollPauseMs, nothing.
    // Then both lines move one pixel left; when the next line has left the screen, the
    // line after it becomes the current one at the right edge, followed by its successor.
    void Tick() override;
    void Rewind(bool all) override;

    // Width of a line as the bar estimates it: half the font height per byte.
    static int32_t LineWidth(const CLines::node_type* line);
    // The line after line, wrapping to the first.
    const CLines::node_type* After(const CLines::node_type* line) const;
};

}  // namespace Bar

// How far the bar has opened: it grows by step pixels a frame while the step shrinks by
// one, from 0 to full (136 after 16 frames).
struct COpening {
    int32_t current = 0;
    int32_t step = 16;
    int32_t full = 136;

    void Advance();
    // current / full, 1 once full is reached.
    double Ratio() const;
};

class CObject {
public:
    hoard::ptr::auton<Title::ICell> title;
    int32_t titleLeft = 0;
    int32_t titleRight = 0;
    int32_t titleY = kTitleY;
    int32_t titlePositionIndex = -1;

    hoard::ptr::auton<Bar::ICell> bar;
    RECT barArea{};
    COpening opening;
    int32_t barPositionIndex = -1;

    CObject();

    // null removes the title; otherwise a new title of text at the title area's left.
    void SetTitle(const char* text);
    // The bar shows the one line text.
    void SetBarText(const char* text);
    // One more line for the bar (a bar of several lines scrolls).
    void AddBarText(const char* text);
    // On every scene change: no title, an empty bar, every description box cleared.
    void Reset();
    // Once a frame: the areas, the bar's movement and opening, the boxes beside the pointer
    // (the second box cleared while the pointer is outside the main window).
    void UpdateOverlay();
    // The title with its underline, the bar, and the description boxes, unless the overlay
    // is hidden.
    void DrawOverlay();

    // The areas for the current screen size.
    void ComputeTitleArea();
    void ComputeBarArea();
    // The underline below the title area.
    void DrawUnderline();
    // The bar's background, opened by ratio, and its edges.
    void DrawBarBackground();
};

// Where the bar's text stands: centred in a 40-pixel band from 58 pixels above the
// screen's bottom.
int32_t BarTextY();

// The process's help line, created on first use.
CObject& Instance();

// Whether the overlay (help line and description boxes) is drawn; true at start.
bool& OverlayVisible();

// Shorthands on Instance().
void SetTitle(const char* text);
void SetBarText(const char* text);
void AddBarText(const char* text);
void Reset();
void UpdateOverlay();
void DrawOverlay();

}  // namespace Help::Line
