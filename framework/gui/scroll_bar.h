// The scroll bar's value model and input behaviour: an integer value over an offset
// range, two arrow boxes, a thumb that can be dragged, a track that pages, auto-repeat
// while a part is held, and the hit tests the widget dispatcher asks. Drawing lives in
// scroll_bar_view.h; the labelled bar with its texts and description in the application.
// Main thread only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "framework/gui/widget.h"
#include "framework/window/pointer_position.h"

namespace NVireo::NDirectX::N3D::NGUI::NBox {

// A triangle's three corners in client coordinates.
struct CTriangle {
    float x[3];
    float y[3];
};

// An arrow box: plain geometry, a square with a triangle pointing in a direction
// (degrees clockwise from straight up: 0 up, 90 right, 180 down, 270 left).
class CObject {
public:
    RECT rect{};
    float direction = 0.0f;
    uint32_t size = 0;
    float scale = 0.0f;
    CTriangle triangle{};

    // Places the box with its top-left corner at (x, y). Boxes pointing up or down are one
    // pixel wider than size, the others one pixel taller, so the box spans the bar's
    // thickness across the axis it points along.
    void Setup(int32_t x, int32_t y, uint32_t boxSize, float degrees, float triangleScale);
    // left <= x < right and top <= y < bottom.
    bool Contains(int32_t x, int32_t y) const;
};

}  // namespace NVireo::NDirectX::N3D::NGUI::NBox

namespace NVireo::NGUI::NScrollBar {

// The process clock in milliseconds as the auto-repeat stopwatch reads it. A reader
// answers false when the clock cannot be read. Tests put their own reader in.
using ClockReader = bool (*)(uint32_t& milliseconds);
bool ReadProcessClock(uint32_t& milliseconds);  // wall-clock time since first read
ClockReader& Clock();                           // ReadProcessClock unless replaced

// Elapsed milliseconds on the process clock, frozen while paused. A clock that cannot be
// read is an internal error (the reading then stays where it was).
struct CStopwatch {
    uint32_t start = 0;
    bool paused = false;
    uint32_t accumulated = 0;

    void Restart();
    uint32_t Reading() const;
};

// Lets a held part act at once, once more after the first interval, then after every
// later interval (0: every frame). A new part passes at once; part 0 resets the gate.
struct CRepeatGate {
    uint32_t lastPart = 0;
    uint32_t repeatCount = 0;
    CStopwatch stopwatch;
    uint32_t laterInterval = 0;
    uint32_t firstInterval = 240;
    uint32_t firstIntervals = 1;

    // Whether part may act now; a pass stores the part and restarts the stopwatch.
    bool Pass(uint32_t part);
    void Reset();
};

// The part of the bar under a point.
enum EPart : uint32_t {
    kNone = 0,
    kFirstArrow = 1,
    kSecondArrow = 2,
    kThumb = 3,
    kTrackBefore = 4,
    kTrackAfter = 5,
};

// The value model and input behaviour of a scroll bar. The internal value runs from
// minimum (always 0 after SetRange) to maximum; the public value adds the offset.
class CBase : public NVireo::NGUI::CInterface {
public:
    using CBox = NVireo::NDirectX::N3D::NGUI::NBox::CObject;

    CBase();

    int32_t value = 0;
    int32_t offset = 0;
    int32_t lineStep = 10;  // the step of a right-button press on an arrow
    RECT bar{};
    int32_t minimum = 0;
    int32_t maximum = 0;
    uint32_t trackLength = 0;  // pixels the thumb can use
    uint32_t thumbLength = 0;
    char orientation = 'h';
    RECT thumb{};
    CBox firstArrow;
    CBox secondArrow;
    uint32_t part = kNone;  // the part under the pointer at the last hit test
    uint32_t pressed = 0;   // 1 while a mouse button holds a part
    PointerPosition lastPointer{};
    uint32_t pressingButton = 0;  // 1 left, 2 right
    CRepeatGate gate;

    // A bar of the given length from (x, y), 25 pixels thick, with 24-pixel arrow boxes
    // at both ends; 'h' runs to the right, 'v' downwards. A length below 50 leaves no
    // track.
    void SetGeometry(int32_t x, int32_t y, int32_t length, char axis = 'h');
    // The public range lo..hi (hi below lo is taken as the empty range at lo). The thumb
    // is as long as the track minus the range when the range fits, else 10 pixels, and
    // never shorter than 10; the value goes to the minimum.
    void SetRange(int32_t lo, int32_t hi);
    // Clamps the public value into the range and moves the thumb to it; nothing for an
    // empty range.
    void SetValue(int32_t publicValue);
    int32_t GetValue() const { return value + offset; }
    void ToMinimum();
    void ToMaximum();
    // Moves the thumb by pixels along the axis, pinning it at the ends, and takes the
    // value from where it stands.
    void MoveThumbBy(int32_t pixels);
    // The part at a client position (EPart).
    uint32_t PartAt(int32_t x, int32_t y) const;
    // The value one track press moves: the range's share of the thumb's travel.
    int32_t Page() const;
    // The thickness of the bar across its axis (25 for the bars SetGeometry builds).
    int32_t Thickness() const;

    void OnLeftDown(const PointerPosition& pointer, WPARAM keyFlags) override;
    void OnRightDown(const PointerPosition& pointer, WPARAM keyFlags) override;
    void OnLeftUp(const PointerPosition& pointer, WPARAM keyFlags) override;
    void OnRightUp(const PointerPosition& pointer, WPARAM keyFlags) override;
    void OnPointerMove(const PointerPosition& pointer, WPARAM keyFlags) override;
    void OnPointerLeave(const PointerPosition& pointer, WPARAM keyFlags) override;
    void OnCaptureEnd(const PointerPosition& pointer, WPARAM keyFlags) override;
    // The repeat of a held part. The widget tick (TickAll) is its only caller, so a held
    // part steps at most once a frame.
    void OnFrame() override;
    bool HitTest(int32_t x, int32_t y) override;
    bool HitTestPointer(int32_t x, int32_t y) override;

protected:
    // Holds the part under the pointer and takes its first step at once.
    void Press(const PointerPosition& pointer, uint32_t button);
    // One step of the held part, as far as the repeat gate lets it: an arrow moves the
    // value by one (by lineStep for the right button), the track by a page until the
    // thumb reaches the pointer, the thumb not at all.
    void Step();
    void Release();
    void ThumbHome();
    void ShiftThumb(int32_t pixels);
    // The thumb's leading edge and its home position along the axis.
    int32_t ThumbLead() const;
    int32_t HomeLead() const;
    // Pixels the thumb can travel (track minus thumb; 0 or less: it cannot move).
    int64_t Travel() const;
};

}  // namespace NVireo::NGUI::NScrollBar
