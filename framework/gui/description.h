// The geometry of hover description boxes: how big a box of lines is, where it goes
// beside the pointer, and how "*" lines split it into stacked panels. Also the flat
// lines and framed panels the boxes and the help line are drawn with. Main thread only.
#pragma once

#include <d3d8.h>
#include <windows.h>

#include <cstdint>
#include <vector>

namespace NVireo::NGUI::NDescription {

// Space around the text inside a box, and between the pointer and the box.
inline constexpr int32_t kMargin = 6;
inline constexpr int32_t kPointerGap = 24;

struct CSize {
    int32_t width;
    int32_t height;
};

// The size of a box of lineCount lines whose longest line has longestBytes bytes, in a
// font of fontHeight pixels: glyphs are taken as half the font height wide per byte, so
// the size does not depend on what the rendered glyphs measure.
CSize BoxSize(int32_t fontHeight, uint32_t longestBytes, uint32_t lineCount);

struct CPoint {
    int32_t x;
    int32_t y;
};

// The top-left corner of a box of size near the pointer at (x, y) on a screen of
// screenWidth x screenHeight: right of and below the pointer in the left and upper
// halves, left of and above it in the others, kPointerGap pixels away; then pushed back
// onto the screen; a box too big for the half of the screen it would sit in is centred
// on that axis instead.
CPoint PlaceNear(int32_t x, int32_t y, CSize size, int32_t screenWidth, int32_t screenHeight);

// A line that reads exactly "*" separates two panels and is not drawn.
bool IsSeparator(const char* line);

// One framed panel of a box, relative to the box's top.
struct CPanel {
    int32_t top;
    int32_t height;
    uint32_t lines;  // text lines in the panel
};

// The panels of a box whose lines are described by separator flags (true: a "*" line),
// for a font of fontHeight: one panel per group of lines between separators, as high as
// its own lines. Lines keep the places they would have without separators (LineTop), and
// each panel frames its lines, so the slot of a separator is a gap between two panels.
// Groups without lines get no panel.
std::vector<CPanel> Panels(const std::vector<bool>& separators, int32_t fontHeight);

// The offset from the box's top of line k (separators counted) in a font of fontHeight.
int32_t LineTop(uint32_t k, int32_t fontHeight);

// A one-pixel line from (x1, y1) towards (x2, y2) in colour (0xAARRGGBB, blended by its
// alpha); the end point itself is not drawn.
void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, D3DCOLOR color);

// A rectangle covering left <= x < right, top <= y < bottom filled with fill (blended by
// its alpha).
void FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, D3DCOLOR fill);

// A filled rectangle with a one-pixel frame inside its edges: topLeft on the top and left
// edges, bottomRight on the bottom and right ones.
void DrawFramedRect(int32_t left, int32_t top, int32_t right, int32_t bottom, D3DCOLOR fill,
                    D3DCOLOR topLeft, D3DCOLOR bottomRight);

}  // namespace NVireo::NGUI::NDescription
