// Description boxes: small framed boxes that follow the pointer and show the description
// lines of the hovered button, check box, scroll bar or label. Two exist, both created on
// first use: the shared box, which widgets fill while hovered, and the workspace's second
// box. Every box is in a process-wide set, so a scene change can clear them all. A line
// that reads exactly "*" splits a box into stacked panels. Main thread only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "framework/containers/list.h"
#include "framework/containers/nstring.h"

namespace Help {

// Description lines: code page 932 byte strings in order.
using CLines = hoard::list::basic<NVireo::NString::BBasic<char>>;

// Appends a copy of text (null: an empty line).
void AddLine(CLines& lines, const char* text);
// Replaces to's lines with copies of from's.
void CopyLines(const CLines& from, CLines& to);

namespace Normal {

// What filled a box; 0 hides it.
enum EMode : int32_t {
    kModeHidden = 0,
    kModeButton = 1,
    kModeLabel = 2,
    kModeScrollBar = 3,
};

class CInterface {
public:
    CLines lines;
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    int32_t mode = kModeHidden;
    int32_t positionIndex = -1;  // -1 while cleared

    // Enters the box in the set of boxes.
    CInterface();
    CInterface(const CInterface&) = delete;
    CInterface& operator=(const CInterface&) = delete;

    // The framed panels and the lines, when the box is shown.
    virtual void Draw() = 0;
    // The lines' text only.
    virtual void DrawLines() = 0;
    // The font height of the box's text; 0 draws nothing.
    virtual int32_t LineHeight() = 0;
    // Leaves the set of boxes.
    virtual ~CInterface();

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    // Bytes of the longest line.
    uint32_t LongestLine() const;
};

// The box widgets fill while they are hovered (12-pixel font).
CInterface& SharedBox();
// The box the workspace fills (12-pixel font).
CInterface& SecondBox();

// Every box in the set: geometry zeroed, lines removed, position index -1.
void ClearAll();
// Nothing for empty lines; otherwise the box shows a copy of lines, filled by a widget
// of kind mode, sized for them (its top-left corner stays).
void Show(CInterface& box, const CLines& lines, int32_t mode);
// Moves every box of the set (PlaceAtCursor) beside the pointer.
void PlaceAllAtCursor();
// Moves box beside the pointer (read with GetCursorPos, in the main window's client
// area, through the widgets' point converter); a box without width stays where it is.
void PlaceAtCursor(CInterface& box);
// Moves box beside the point (x, y) of the drawing surface; a box without width stays.
void PlaceAt(CInterface& box, int32_t x, int32_t y);
// Draws every box of the set.
void DrawAll();
// The box's geometry zeroed, its lines removed, position index -1; the mode stays.
void Clear(CInterface& box);

// What a hovered widget does each time it is picked: every box cleared, then the shared
// box showing lines for a widget of kind mode, beside the pointer.
void ShowDescription(const CLines& lines, int32_t mode);
// What a widget the pointer left does: the shared box cleared.
void HideDescription();

}  // namespace Normal

}  // namespace Help
