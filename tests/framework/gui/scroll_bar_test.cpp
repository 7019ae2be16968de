// The scroll bar's value model (thumb size, paging, pixels per value, clamping, rounding),
// its parts, and its input behaviour: arrow auto-repeat against a test clock, track
// paging that stops under the pointer and becomes a drag, dragging past the ends; the
// same through the widget dispatcher's entries; and what the drawn bar looks like.
#include "framework/gui/scroll_bar.h"

#include <d3d8_seams.h>
#include <gtest/gtest.h>

#include <vector>

#include "framework/gui/dispatch.h"
#include "framework/gui/scroll_bar_view.h"
#include "framework/render/direct3d.h"
#include "support/headless_device.h"
#include "support/test_support.h"

namespace {

using NVireo::NGUI::PointerPosition;
using NVireo::NGUI::NScrollBar::CBase;
namespace NScrollBar = NVireo::NGUI::NScrollBar;

// The clock the auto-repeat stopwatch reads while a test runs.
uint32_t testNow = 0;
bool testClockWorks = true;
bool ReadTestClock(uint32_t& milliseconds) {
    milliseconds = testNow;
    return testClockWorks;
}

// A bar as the program sets one up (no drawing needed for the model).
class Bar : public CBase {};

// Client and screen positions differ by a fixed amount, as for a window that is not at
// the screen's origin, so a handler that mixes them up is caught.
constexpr int32_t kScreenDx = 300;
constexpr int32_t kScreenDy = 200;
PointerPosition At(int32_t clientX, int32_t clientY) {
    return PointerPosition{clientX + kScreenDx, clientY + kScreenDy, clientX, clientY};
}

class ScrollBarTest : public testing::Test {
protected:
    void SetUp() override {
        testNow = 1000;
        testClockWorks = true;
        NScrollBar::Clock() = ReadTestClock;
    }
    void TearDown() override { NScrollBar::Clock() = NScrollBar::ReadProcessClock; }

    // Runs one frame's tick at clock time t.
    static void FrameAt(CBase& bar, uint32_t t) {
        testNow = t;
        bar.OnFrame();
    }
    // A press at a client position as the dispatcher makes it: the hover selection's hit
    // test stores the part, then the button goes down.
    static void PressAt(CBase& bar, int32_t x, int32_t y, bool right = false) {
        ASSERT_TRUE(bar.HitTest(x, y));
        if (right) {
            bar.OnRightDown(At(x, y), MK_RBUTTON);
        } else {
            bar.OnLeftDown(At(x, y), MK_LBUTTON);
        }
    }

    RaisePolicy policy_;
};

TEST_F(ScrollBarTest, ValueModelFollowsTheRangeAndTheTrack) {
    struct Case {
        const char* what;
        int32_t length, lo, hi;
        uint32_t track, thumb;
        int32_t maximum, page;
    };
    const Case cases[] = {
        // 5999 x 10 / 140 is 428.5: halves round away from zero.
        {"a long range gets the shortest thumb", 200, 1, 6000, 150, 10, 5999, 429},
        {"a range just over the track", 160, 0, 100, 110, 10, 100, 10},
        {"a range that fits leaves the rest to the thumb", 200, 0, 100, 150, 50, 100, 50},
        {"a range of one", 200, 0, 1, 150, 149, 1, 149},
        {"a fitting range with a tiny rest still gets 10 pixels", 200, 0, 145, 150, 10, 145, 10},
        {"a negative offset", 200, -50, 50, 150, 50, 100, 50},
        {"a bar too short for a track", 40, 0, 10, 0, 10, 10, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bar bar;
        bar.SetGeometry(100, 100, c.length);
        bar.SetRange(c.lo, c.hi);
        EXPECT_EQ(bar.trackLength, c.track);
        EXPECT_EQ(bar.thumbLength, c.thumb);
        EXPECT_EQ(bar.minimum, 0);
        EXPECT_EQ(bar.maximum, c.maximum);
        EXPECT_EQ(bar.offset, c.lo);
        EXPECT_EQ(bar.GetValue(), c.lo);
        EXPECT_EQ(bar.Page(), c.page);
        // The thumb starts one bar thickness in, right after the first arrow box.
        EXPECT_EQ(bar.thumb.left, 125);
        EXPECT_EQ(bar.thumb.right, 125 + static_cast<int32_t>(c.thumb));
        EXPECT_EQ(bar.thumb.top, 100);
        EXPECT_EQ(bar.thumb.bottom, 125);
    }
}

TEST_F(ScrollBarTest, GeometryPlacesTheArrowBoxesAtBothEnds) {
    Bar bar;
    bar.SetGeometry(100, 50, 200);
    EXPECT_EQ(bar.orientation, 'h');
    EXPECT_EQ(bar.bar.left, 100);
    EXPECT_EQ(bar.bar.top, 50);
    EXPECT_EQ(bar.bar.right, 300);
    EXPECT_EQ(bar.bar.bottom, 75);
    EXPECT_EQ(bar.firstArrow.rect.left, 100);
    EXPECT_EQ(bar.firstArrow.rect.right, 124);
    EXPECT_EQ(bar.firstArrow.rect.bottom, 75);
    EXPECT_FLOAT_EQ(bar.firstArrow.direction, 270.0f);
    EXPECT_EQ(bar.secondArrow.rect.left, 276);
    EXPECT_EQ(bar.secondArrow.rect.right, 300);
    EXPECT_FLOAT_EQ(bar.secondArrow.direction, 90.0f);
    // The triangles point outwards: the first one's tip is its leftmost corner.
    EXPECT_LT(bar.firstArrow.triangle.x[0], bar.firstArrow.triangle.x[1]);
    EXPECT_GT(bar.secondArrow.triangle.x[0], bar.secondArrow.triangle.x[1]);
}

TEST_F(ScrollBarTest, SetValueClampsAndMovesTheThumbByRoundedPixels) {
    struct Case {
        const char* what;
        int32_t length, lo, hi, set;
        int32_t expected, thumbShift;
    };
    const Case cases[] = {
        // 150 pixels of track, 100 values: one pixel per value.
        {"one pixel per value", 200, 0, 100, 37, 37, 37},
        {"the top of a fitting range", 200, 0, 100, 100, 100, 100},
        {"below the range gives the minimum", 200, 0, 100, -5, 0, 0},
        {"above the range gives the maximum", 200, 0, 100, 1000, 100, 100},
        {"far below with an offset", 200, -50, 50, INT32_MIN, -50, 0},
        {"far above with an offset", 200, -50, 50, INT32_MAX, 50, 100},
        // 100 pixels of travel over 200 values: half a pixel per value, halves away
        // from zero.
        {"half a pixel rounds up", 160, 0, 200, 1, 1, 1},
        {"one and a half rounds up", 160, 0, 200, 3, 3, 2},
        {"the long range's top", 200, 1, 6000, 6000, 6000, 140},
        {"the long range's middle", 200, 1, 6000, 3000, 3000, 70},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bar bar;
        bar.SetGeometry(100, 100, c.length);
        bar.SetRange(c.lo, c.hi);
        bar.SetValue(c.set);
        EXPECT_EQ(bar.GetValue(), c.expected);
        EXPECT_GE(bar.value, bar.minimum);
        EXPECT_LE(bar.value, bar.maximum);
        EXPECT_EQ(bar.thumb.left, 125 + c.thumbShift);
        EXPECT_EQ(bar.thumb.right - bar.thumb.left, static_cast<int32_t>(bar.thumbLength));
    }
}

TEST_F(ScrollBarTest, AnEmptyRangeMakesTheBarInert) {
    for (const int32_t hi : {7, 3}) {  // an empty range, and one given upside down
        SCOPED_TRACE(hi);
        Bar bar;
        bar.SetGeometry(100, 100, 200);
        bar.SetRange(7, hi);
        EXPECT_EQ(bar.GetValue(), 7);
        EXPECT_EQ(bar.maximum, 0);
        EXPECT_EQ(bar.thumbLength, 150u);
        bar.SetValue(100);
        EXPECT_EQ(bar.GetValue(), 7);
        for (int32_t x = 95; x < 305; x += 5) EXPECT_EQ(bar.PartAt(x, 110), 0u) << x;
        EXPECT_FALSE(bar.HitTest(110, 110));
    }
}

TEST_F(ScrollBarTest, PartsUnderThePointer) {
    Bar bar;
    bar.SetGeometry(100, 100, 200);  // arrows 100..123 and 276..299, thumb 125..174
    bar.SetRange(0, 100);
    const struct {
        int32_t x, y;
        uint32_t part;
    } cases[] = {
        {99, 110, 0},  {100, 110, 1}, {123, 124, 1}, {124, 110, 4}, {125, 110, 3},
        {174, 100, 3}, {175, 110, 5}, {275, 110, 5}, {276, 110, 2}, {299, 124, 2},
        {300, 110, 0}, {150, 99, 0},  {150, 125, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bar.PartAt(c.x, c.y), c.part) << c.x << "," << c.y;
        EXPECT_EQ(bar.HitTest(c.x, c.y), c.part != 0) << c.x << "," << c.y;
        EXPECT_EQ(bar.part, c.part);
        EXPECT_EQ(bar.HitTestPointer(c.x, c.y), c.part != 0) << c.x << "," << c.y;
    }
    // The thumb in the middle splits the track into the stretches before and after it.
    bar.SetValue(50);
    EXPECT_EQ(bar.PartAt(174, 110), 4u);
    EXPECT_EQ(bar.PartAt(175, 110), 3u);
    EXPECT_EQ(bar.PartAt(225, 110), 5u);
}

TEST_F(ScrollBarTest, HitTestOnlyWhileRegisteredAndEnabled) {
    Bar bar;
    bar.SetGeometry(100, 100, 200);
    bar.SetRange(0, 100);
    bar.Register(nullptr);
    EXPECT_TRUE(bar.HitTest(150, 110));
    bar.SetEnabled(false);
    EXPECT_FALSE(bar.HitTest(150, 110));
    bar.SetEnabled(true);
    bar.Unregister();
    bar.part = 0;
    EXPECT_FALSE(bar.HitTest(150, 110));
    EXPECT_EQ(bar.part, 0u);  // a refused hit test stores nothing
    // Without storing: HitTestPointer answers for the position alone.
    EXPECT_TRUE(bar.HitTestPointer(150, 110));
}

TEST_F(ScrollBarTest, HeldArrowRepeatsAtOnceAfter240MsThenEveryFrame) {
    struct Case {
        const char* what;
        int32_t x;
        bool right;
        int32_t step;
    };
    const Case cases[] = {
        {"left button on the first arrow", 110, false, -1},
        {"left button on the second arrow", 290, false, +1},
        {"right button on the first arrow: the line step", 110, true, -10},
        {"right button on the second arrow", 290, true, +10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bar bar;
        bar.SetGeometry(100, 100, 200);
        bar.SetRange(0, 1000);
        bar.SetValue(500);
        testNow = 1000;
        PressAt(bar, c.x, 110, c.right);
        // time since the press -> steps taken so far
        const struct {
            uint32_t t;
            int32_t steps;
        } frames[] = {{0, 1},   {40, 1},  {200, 1}, {239, 1}, {240, 2},
                      {280, 3}, {281, 4}, {281, 5}, {300, 6}};
        for (const auto& f : frames) {
            FrameAt(bar, 1000 + f.t);
            EXPECT_EQ(bar.GetValue(), 500 + c.step * f.steps) << "at " << f.t << " ms";
        }
        bar.OnLeftUp(At(c.x, 110), 0);
        FrameAt(bar, 2000);
        EXPECT_EQ(bar.GetValue(), 500 + c.step * 6) << "a release stops the repeat";
        // A new press acts at once again.
        PressAt(bar, c.x, 110, c.right);
        FrameAt(bar, 2001);
        EXPECT_EQ(bar.GetValue(), 500 + c.step * 7);
    }
}

TEST_F(ScrollBarTest, ArrowRepeatStopsAtTheEnds) {
    Bar bar;
    bar.SetGeometry(100, 100, 200);
    bar.SetRange(10, 20);
    PressAt(bar, 290, 110, true);
    for (uint32_t t = 0; t < 1000; t += 40) FrameAt(bar, 5000 + t);
    EXPECT_EQ(bar.GetValue(), 20);
    EXPECT_EQ(bar.thumb.right, 275);  // touching the second arrow's near edge minus one
}

TEST_F(ScrollBarTest, HeldTrackPagesUntilTheThumbIsUnderThePointerThenDrags) {
    Bar bar;
    bar.SetGeometry(100, 100, 200);  // thumb 10 pixels, 140 pixels of travel
    bar.SetRange(0, 1000);           // page round(1000 x 10 / 140) = 71
    ASSERT_EQ(bar.Page(), 71);
    PressAt(bar, 200, 110);
    ASSERT_EQ(bar.part, uint32_t{NScrollBar::kTrackAfter});
    std::vector<int32_t> values;
    for (uint32_t t = 0; t < 6000; t += 300) {
        FrameAt(bar, 1000 + t);
        if (values.empty() || values.back() != bar.GetValue()) values.push_back(bar.GetValue());
    }
    // Seven pages bring the thumb (195..204) under the pointer; then paging stops.
    EXPECT_EQ(values, (std::vector<int32_t>{71, 142, 213, 284, 355, 426, 497}));
    EXPECT_EQ(bar.part, uint32_t{NScrollBar::kThumb});
    EXPECT_LE(bar.thumb.left, 200);
    EXPECT_GT(bar.thumb.right, 200);
    EXPECT_EQ(bar.pressed, 1u);

    // Moving the pointer now drags the thumb by the screen distance.
    bar.OnPointerMove(At(220, 110), MK_LBUTTON);
    EXPECT_EQ(bar.thumb.left, 215);
    EXPECT_EQ(bar.GetValue(), 643);  // round(1000 x 90 / 140)
}

TEST_F(ScrollBarTest, HeldTrackBeforeTheThumbPagesDown) {
    Bar bar;
    bar.SetGeometry(100, 100, 200);
    bar.SetRange(0, 100);  // thumb 50, one pixel per value, page 100 x 50 / 100 = 50
    bar.SetValue(100);     // thumb 225..274
    PressAt(bar, 130, 110);
    ASSERT_EQ(bar.part, uint32_t{NScrollBar::kTrackBefore});
    FrameAt(bar, 1000);
    EXPECT_EQ(bar.GetValue(), 50);
    FrameAt(bar, 1100);
    EXPECT_EQ(bar.GetValue(), 50) << "the second page waits for the first interval";
    FrameAt(bar, 1240);
    EXPECT_EQ(bar.GetValue(), 0);
    FrameAt(bar, 1280);
    EXPECT_EQ(bar.part, uint32_t{NScrollBar::kThumb});
    EXPECT_EQ(bar.GetValue(), 0);
}

TEST_F(ScrollBarTest, DraggingTheThumbPinsTheValueAtTheEnds) {
    struct Case {
        const char* what;
        std::vector<int32_t> moves;  // screen x distances, one move each
        int32_t expected;
        int32_t thumbLeft;
    };
    const Case cases[] = {
        {"one pixel per value", {10, 5}, 65, 190},
        {"a move back", {30, -20}, 60, 185},
        {"far past the end", {1000}, 100, 225},
        {"far past the start", {-1000}, 0, 125},
        {"past the end and back in", {1000, -10}, 90, 215},
        {"one pixel past the start", {-51}, 0, 125},
        {"exactly to the start", {-50}, 0, 125},
        {"exactly to the end", {50}, 100, 225},
        {"one pixel past the end", {51}, 100, 225},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bar bar;
        bar.SetGeometry(100, 100, 200);
        bar.SetRange(0, 100);
        bar.SetValue(50);  // thumb 175..224
        int32_t x = 190;
        PressAt(bar, x, 110);
        ASSERT_EQ(bar.part, uint32_t{NScrollBar::kThumb});
        for (const int32_t d : c.moves) {
            x += d;
            bar.OnPointerMove(At(x, 110), MK_LBUTTON);
        }
        EXPECT_EQ(bar.GetValue(), c.expected);
        EXPECT_EQ(bar.thumb.left, c.thumbLeft);
    }
}

TEST_F(ScrollBarTest, DragFollowsTheScreenPairAndOnlyWhilePressed) {
    Bar bar;
    bar.SetGeometry(100, 100, 200);
    bar.SetRange(0, 100);
    // A hover over the thumb without a press only remembers the position.
    ASSERT_TRUE(bar.HitTest(130, 110));
    bar.OnPointerMove(At(130, 110), 0);
    bar.OnPointerMove(At(160, 110), 0);
    EXPECT_EQ(bar.GetValue(), 0);
    // Pressed: the screen pair moves 20 while the client pair stays; the screen pair wins.
    bar.OnLeftDown(At(130, 110), MK_LBUTTON);
    PointerPosition p = At(130, 110);
    p.screenX += 20;
    bar.OnPointerMove(p, MK_LBUTTON);
    EXPECT_EQ(bar.GetValue(), 20);
    // After the release moves do nothing.
    bar.OnLeftUp(p, 0);
    p.screenX += 20;
    bar.OnPointerMove(p, 0);
    EXPECT_EQ(bar.GetValue(), 20);
}

TEST_F(ScrollBarTest, LeaveAndCaptureEndReleaseTheBar) {
    for (int which = 0; which < 3; ++which) {
        SCOPED_TRACE(which);
        Bar bar;
        bar.SetGeometry(100, 100, 200);
        bar.SetRange(0, 100);
        testNow = 1000;
        PressAt(bar, 290, 110);
        FrameAt(bar, 1000);
        EXPECT_EQ(bar.GetValue(), 1);
        if (which == 0) bar.OnRightUp(At(290, 110), 0);
        if (which == 1) bar.OnPointerLeave(At(290, 110), 0);
        if (which == 2) bar.OnCaptureEnd(At(290, 110), 0);
        EXPECT_EQ(bar.pressed, 0u);
        EXPECT_EQ(bar.gate.lastPart, 0u);
        EXPECT_EQ(bar.gate.repeatCount, 0u);
        FrameAt(bar, 2000);
        EXPECT_EQ(bar.GetValue(), 1);
    }
}

TEST_F(ScrollBarTest, AClockThatCannotBeReadIsAnInternalError) {
    Bar bar;
    bar.SetGeometry(100, 100, 200);
    bar.SetRange(0, 100);
    PressAt(bar, 290, 110);
    testClockWorks = false;
    EXPECT_THROW(FrameAt(bar, 1000), NVireo::NError::CObject);
}

TEST_F(ScrollBarTest, VerticalBarsRunDownwards) {
    Bar bar;
    bar.SetGeometry(100, 100, 200, 'v');
    bar.SetRange(0, 100);
    EXPECT_EQ(bar.bar.right, 125);
    EXPECT_EQ(bar.bar.bottom, 300);
    EXPECT_EQ(bar.firstArrow.rect.bottom, 124);
    EXPECT_EQ(bar.secondArrow.rect.top, 276);
    EXPECT_EQ(bar.thumb.top, 125);
    EXPECT_EQ(bar.thumb.bottom, 175);
    EXPECT_EQ(bar.PartAt(110, 110), 1u);
    EXPECT_EQ(bar.PartAt(110, 150), 3u);
    EXPECT_EQ(bar.PartAt(110, 200), 5u);
    EXPECT_EQ(bar.PartAt(110, 290), 2u);
    bar.SetValue(30);
    EXPECT_EQ(bar.thumb.top, 155);
    EXPECT_EQ(bar.PartAt(110, 140), 4u);
    // Dragging follows the screen y.
    PressAt(bar, 110, 160);
    bar.OnPointerMove(At(110, 170), MK_LBUTTON);
    EXPECT_EQ(bar.GetValue(), 40);
}

}  // namespace

namespace {

// The bar driven the way the program drives it: presses and releases through the widget
// dispatcher, and each frame the tick, then the pick at the (still) pointer.
class ScrollBarDispatch : public ScrollBarTest {
protected:
    void SetUp() override {
        ScrollBarTest::SetUp();
        ASSERT_TRUE(GetCursorPos(&cursor_));
        bar_.SetGeometry(100, 100, 200);
        bar_.Register(kWindow);
    }
    void TearDown() override {
        NVireo::NGUI::ClearActiveWidget();
        ScrollBarTest::TearDown();
    }

    // The pointer of a message at a client position; its screen pair is the cursor's, as
    // the frame's pick sees it.
    PointerPosition Pointer(int32_t x, int32_t y) const {
        return PointerPosition{cursor_.x, cursor_.y, x, y};
    }
    void Button(UINT message, int32_t x, int32_t y) {
        NVireo::NGUI::CurrentPointer() = Pointer(x, y);
        NVireo::NGUI::Dispatch(Pointer(x, y), kWindow, message,
                               message == WM_LBUTTONDOWN ? MK_LBUTTON : 0);
    }
    void Frame(uint32_t t, int32_t x, int32_t y) {
        testNow = t;
        NVireo::NGUI::TickAll();
        NVireo::NGUI::PickAtCursor(POINT{x, y});
    }

    static inline const HWND kWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x5CB0));
    POINT cursor_{};
    Bar bar_;
};

TEST_F(ScrollBarDispatch, HeldTrackPagesToThePointerThroughTheFrameEntries) {
    bar_.SetRange(0, 1000);
    ASSERT_TRUE(NVireo::NGUI::SelectHover(200, 110));
    ASSERT_TRUE(bar_.IsActive());
    Button(WM_LBUTTONDOWN, 200, 110);
    ASSERT_EQ(bar_.pressed, 1u);
    for (uint32_t t = 0; t < 6000; t += 300) Frame(1000 + t, 200, 110);
    EXPECT_EQ(bar_.GetValue(), 497);
    EXPECT_EQ(bar_.part, uint32_t{NScrollBar::kThumb});
    Button(WM_LBUTTONUP, 200, 110);
    EXPECT_EQ(bar_.pressed, 0u);
}

TEST_F(ScrollBarDispatch, APressHeldWhileThePointerMovesFollowsThePartUnderIt) {
    bar_.SetRange(0, 100);  // thumb 125..174
    bar_.SetValue(50);      // thumb 175..224
    ASSERT_TRUE(NVireo::NGUI::SelectHover(290, 110));
    Button(WM_LBUTTONDOWN, 290, 110);
    Frame(1000, 290, 110);
    EXPECT_EQ(bar_.GetValue(), 51);
    // Onto the thumb: the tick still sees the arrow (the pick comes after it), then the
    // repeat stops.
    Frame(1300, 200, 110);
    EXPECT_EQ(bar_.GetValue(), 52);
    EXPECT_EQ(bar_.part, uint32_t{NScrollBar::kThumb});
    Frame(1600, 200, 110);
    Frame(1900, 200, 110);
    EXPECT_EQ(bar_.GetValue(), 52);
    // Off the bar nothing is under the pointer; onto the other arrow, it acts at once.
    Frame(1910, 200, 140);
    EXPECT_EQ(bar_.part, uint32_t{NScrollBar::kNone});
    Frame(1920, 110, 110);
    Frame(1930, 110, 110);
    EXPECT_EQ(bar_.GetValue(), 51);
    Button(WM_LBUTTONUP, 110, 110);
    EXPECT_EQ(bar_.pressed, 0u);
    Frame(3000, 110, 110);
    EXPECT_EQ(bar_.GetValue(), 51);
}

}  // namespace

namespace {

// Drawing on the headless device: which colour lands where for the bar's looks.
class ScrollBarDrawing : public ScrollBarTest {
protected:
    void SetUp() override {
        ScrollBarTest::SetUp();
        ASSERT_TRUE(headless::StartDevice()) << NVireo::NError::Record().message;
        bar_.SetGeometry(100, 100, 200);  // arrows 100..123 and 276..299, rows 100..124
        bar_.SetRange(0, 100);            // thumb 125..174
    }
    void TearDown() override {
        NVireo::NDirectX::N3D::StopRenderer();
        ScrollBarTest::TearDown();
    }

    // Draws the bar over black and answers the target as 0xRRGGBB, top row first.
    std::vector<uint32_t> Drawn() {
        namespace NR = NVireo::NDirectX::N3D;
        EXPECT_TRUE(NR::Device().BeginScene());
        NR::ApplyDefaultStates();
        NR::Device().ClearAll();
        bar_.Draw();
        EXPECT_TRUE(NR::Device().EndScene());
        UINT w = 0, h = 0;
        std::vector<DWORD> pixels = SeReadRenderTarget(NR::Device().Get(), &w, &h);
        std::vector<uint32_t> rgb(pixels.size());
        for (size_t i = 0; i < pixels.size(); ++i) rgb[i] = pixels[i] & 0xFFFFFFu;
        width_ = w;
        return rgb;
    }
    uint32_t At(const std::vector<uint32_t>& target, int32_t x, int32_t y) const {
        return target.at(static_cast<size_t>(y) * width_ + static_cast<size_t>(x));
    }
    static int Brightness(uint32_t c) {
        return static_cast<int>((c >> 16 & 0xFF) + (c >> 8 & 0xFF) + (c & 0xFF));
    }

    NVireo::NDirectX::N3D::NGUI::CScrollBar bar_;
    UINT width_ = 0;
};

TEST_F(ScrollBarDrawing, IdleBarShowsTrackThumbAndArrows) {
    const std::vector<uint32_t> t = Drawn();
    const uint32_t track = At(t, 250, 112);
    const uint32_t thumbFill = At(t, 150, 112);
    EXPECT_NE(track, 0u) << "the dark bar is drawn";
    EXPECT_GT(Brightness(thumbFill), Brightness(track)) << "the thumb is lighter than the track";
    EXPECT_GT(Brightness(At(t, 150, 100)), Brightness(thumbFill)) << "a light top edge";
    EXPECT_GT(Brightness(At(t, 125, 112)), Brightness(thumbFill)) << "a light left edge";
    EXPECT_LT(Brightness(At(t, 150, 124)), Brightness(thumbFill)) << "a dark bottom edge";
    EXPECT_LT(Brightness(At(t, 174, 112)), Brightness(thumbFill)) << "a dark right edge";
    EXPECT_EQ(At(t, 112, 112), 0xFFFFFFu) << "the first arrow's triangle";
    EXPECT_EQ(At(t, 288, 112), 0xFFFFFFu) << "the second arrow's triangle";
    EXPECT_EQ(At(t, 101, 112), At(t, 277, 112)) << "both arrow boxes are filled alike";
    EXPECT_EQ(At(t, 99, 112), 0u);
    EXPECT_EQ(At(t, 300, 112), 0u);
    EXPECT_EQ(At(t, 150, 125), 0u);
}

TEST_F(ScrollBarDrawing, HeldPartsLookSunken) {
    const std::vector<uint32_t> idle = Drawn();
    const uint32_t thumbFill = At(idle, 150, 112);

    // A held track after the thumb: that stretch takes the fill colour, the other not.
    bar_.SetValue(50);  // thumb 175..224
    const std::vector<uint32_t> before = Drawn();
    ASSERT_TRUE(bar_.HitTest(250, 112));
    bar_.OnLeftDown(NVireo::NGUI::PointerPosition{250, 112, 250, 112}, MK_LBUTTON);
    std::vector<uint32_t> t = Drawn();
    EXPECT_EQ(At(t, 250, 112), thumbFill);
    EXPECT_EQ(At(t, 150, 112), At(before, 150, 112));
    bar_.OnLeftUp(NVireo::NGUI::PointerPosition{250, 112, 250, 112}, 0);
    bar_.SetValue(50);  // the press paged once

    // A held thumb loses its light edges.
    ASSERT_TRUE(bar_.HitTest(200, 112));
    bar_.OnLeftDown(NVireo::NGUI::PointerPosition{200, 112, 200, 112}, MK_LBUTTON);
    t = Drawn();
    EXPECT_LT(Brightness(At(t, 200, 100)), Brightness(At(before, 200, 100)));
    EXPECT_EQ(At(t, 200, 112), At(before, 200, 112));
    bar_.OnLeftUp(NVireo::NGUI::PointerPosition{200, 112, 200, 112}, 0);

    // A held arrow is drawn flat, its triangle still there.
    ASSERT_TRUE(bar_.HitTest(110, 112));
    bar_.OnLeftDown(NVireo::NGUI::PointerPosition{110, 112, 110, 112}, MK_LBUTTON);
    t = Drawn();
    EXPECT_LT(Brightness(At(t, 110, 100)), Brightness(At(before, 110, 100)));
    EXPECT_EQ(At(t, 112, 112), 0xFFFFFFu);
}

TEST_F(ScrollBarDrawing, EmptyRangeDrawsNoTrianglesAndADisabledBarNothing) {
    bar_.SetRange(5, 5);
    std::vector<uint32_t> t = Drawn();
    EXPECT_NE(At(t, 112, 112), 0xFFFFFFu);
    EXPECT_EQ(At(t, 112, 112), At(t, 104, 112)) << "the arrow box is plain fill";
    bar_.SetEnabled(false);
    t = Drawn();
    for (int32_t x = 100; x < 300; x += 7) EXPECT_EQ(At(t, x, 112), 0u) << x;
}

}  // namespace
