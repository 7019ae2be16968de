// The help line: the bar's opening frames, its scrolling (the pause, one pixel a frame,
// the hand-over to the next lines), a reset on a scene change, and what the overlay
// draws: the title's underline, the bar opened so far with its edges and text, the
// description boxes as stacked panels, nothing while the overlay is hidden.
#include "app/gui/help_line.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/gui/description_render.h"
#include "framework/gui/palette.h"

namespace {

using namespace gui_render;
using Help::Line::Bar::CStreamer;

TEST(HelpLineOpening, GrowsBySixteenFifteenAndSoOnUntilFullAfterSixteenFrames) {
    Help::Line::COpening opening;
    const int32_t expected[] = {16,  31,  45,  58,  70,  81,  91,  100,
                                108, 115, 121, 126, 130, 133, 135, 136};
    EXPECT_DOUBLE_EQ(opening.Ratio(), 0.0);
    for (int32_t value : expected) {
        opening.Advance();
        EXPECT_EQ(opening.current, value);
    }
    EXPECT_DOUBLE_EQ(opening.Ratio(), 1.0);
    opening.Advance();  // full: it stays
    EXPECT_EQ(opening.current, 136);
    EXPECT_EQ(opening.step, 0);

    Help::Line::COpening past;  // a step that jumps beyond full still counts as open
    past.full = 20;
    past.Advance();
    past.Advance();
    EXPECT_EQ(past.current, 31);
    EXPECT_DOUBLE_EQ(past.Ratio(), 1.0);
}

// A 640-pixel-wide screen and the hand-moved clock, without a device: the bar's text is
// only rendered when drawn.
class HelpLineBar : public testing::Test {
protected:
    void SetUp() override {
        saved_ = N3D::PresentParameters();
        N3D::PresentParameters().BackBufferWidth = 640;
        N3D::PresentParameters().BackBufferHeight = 480;
        FakeNow() = 1000;
        ::Main::FrameTimer().time.now = [] { return FakeNow(); };
    }
    void TearDown() override {
        ::Main::FrameTimer().time.now = ::Main::ProcessClock;
        N3D::PresentParameters() = saved_;
    }
    static std::string Text(const Help::CLines::node_type* line) {
        return line == nullptr ? "-" : line->element->c_str();
    }
    D3DPRESENT_PARAMETERS saved_{};
};

TEST_F(HelpLineBar, OneLineNeverScrolls) {
    CStreamer bar;
    Help::AddLine(bar.lines, "only");
    bar.ToFirst();
    for (uint32_t t : {1000u, 7000u, 100000u}) {
        FakeNow() = t;
        for (int i = 0; i < 50; ++i) bar.Tick();
    }
    EXPECT_EQ(bar.currentX, 14);
    EXPECT_EQ(bar.next, nullptr);
}

TEST_F(HelpLineBar, TwoLinesHoldFiveSecondsThenMoveOnePixelAFrameAndTakeTurns) {
    CStreamer bar;                     // the stopwatch starts at 1000
    Help::AddLine(bar.lines, "AAAA");  // 28 pixels wide by the estimate
    Help::AddLine(bar.lines, "BB");    // 14
    bar.ToFirst();

    FakeNow() = 6000;  // exactly five seconds: still holding
    for (int i = 0; i < 10; ++i) bar.Tick();
    EXPECT_EQ(bar.currentX, 14);
    EXPECT_EQ(bar.next, nullptr);

    FakeNow() = 6001;
    bar.Tick();
    EXPECT_EQ(bar.currentX, 13);
    EXPECT_EQ(Text(bar.next), "BB");
    EXPECT_EQ(bar.nextX, 640 + 28);  // starts beyond the right edge by the current line's width

    // The clock no longer matters: every tick moves both lines by one pixel until the
    // second line has left the screen on the left (x < -14).
    int ticks = 0;
    while (bar.nextX <= 640 + 28 && ticks < 2000) {
        bar.Tick();
        ++ticks;
    }
    EXPECT_EQ(ticks, 668 + 15);
    EXPECT_EQ(Text(bar.current), "AAAA");  // the line after the next one, wrapping
    EXPECT_EQ(bar.currentX, 640);
    // Reading the node shows it: the first line came round again, followed by the second.
    EXPECT_EQ(bar.current, bar.lines.first);
    EXPECT_EQ(Text(bar.next), "BB");
    EXPECT_EQ(bar.nextX, 2 * 640 + 28);
    bar.Tick();
    EXPECT_EQ(bar.currentX, 639);
    EXPECT_EQ(bar.nextX, 2 * 640 + 27);
}

TEST_F(HelpLineBar, ThreeLinesComeRoundInOrder) {
    CStreamer bar;
    for (const char* text : {"one", "two", "three"}) Help::AddLine(bar.lines, text);
    bar.ToFirst();
    FakeNow() = 7000;
    std::vector<std::pair<std::string, std::string>> seen;  // (current, next) at each change
    const Help::CLines::node_type* last = nullptr;
    for (int i = 0; i < 20000 && seen.size() < 4; ++i) {
        bar.Tick();
        if (bar.next != last) {
            seen.emplace_back(Text(bar.current), Text(bar.next));
            last = bar.next;
        }
    }
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"one", "two"}, {"three", "one"}, {"two", "three"}, {"one", "two"}};
    EXPECT_EQ(seen, expected);
}

TEST_F(HelpLineBar, NewTextStartsAtRestAtTheLeftWhereverTheOldLinesHadScrolled) {
    Help::Line::CObject line;
    line.SetBarText("first");
    line.AddBarText("second");
    FakeNow() = 9000;
    for (int i = 0; i < 300; ++i) line.bar.Get()->Tick();
    auto* bar = dynamic_cast<CStreamer*>(line.bar.Get());
    ASSERT_NE(bar, nullptr);
    EXPECT_LT(bar->currentX, 0);

    line.SetBarText("alone");
    EXPECT_EQ(bar->lines.count, 1);
    EXPECT_EQ(Text(bar->current), "alone");
    EXPECT_EQ(bar->currentX, 14);
    EXPECT_EQ(bar->next, nullptr);
    EXPECT_EQ(line.barPositionIndex, -1);
}

TEST_F(HelpLineBar, ASceneChangeEmptiesTitleBarAndBoxesButDoesNotReopenTheBar) {
    Help::Line::CObject line;
    line.SetBarText("help");
    for (int i = 0; i < 20; ++i) line.UpdateOverlay();
    ASSERT_EQ(line.opening.current, 136);
    Help::CLines lines;
    Help::AddLine(lines, "box");
    Help::Normal::Show(Help::Normal::SharedBox(), lines, Help::Normal::kModeButton);
    Help::Normal::Show(Help::Normal::SecondBox(), lines, Help::Normal::kModeLabel);
    line.titlePositionIndex = 2;

    line.Reset();
    EXPECT_EQ(line.title.Get(), nullptr);
    EXPECT_EQ(line.titlePositionIndex, -1);
    EXPECT_EQ(line.bar.Get()->lines.count, 0);
    EXPECT_EQ(Help::Normal::SharedBox().lines.count, 0);
    EXPECT_EQ(Help::Normal::SecondBox().lines.count, 0);
    EXPECT_EQ(line.opening.current, 136);
    Help::Normal::SharedBox().mode = 0;
    Help::Normal::SecondBox().mode = 0;

    // The new bar's stopwatch starts with it.
    FakeNow() = 20000;
    line.Reset();
    line.SetBarText("a");
    line.AddBarText("b");
    FakeNow() = 24000;
    line.bar.Get()->Tick();
    EXPECT_EQ(dynamic_cast<CStreamer*>(line.bar.Get())->currentX, 14);
}

TEST_F(HelpLineBar, AreasFollowTheScreenSize) {
    Help::Line::CObject line;
    line.UpdateOverlay();
    EXPECT_EQ(line.titleLeft, 32);  // 640 x 0.9 = 576 wide, centred
    EXPECT_EQ(line.titleRight, 608);
    EXPECT_EQ(line.barArea.top, 480 - 58);
    EXPECT_EQ(line.barArea.bottom, 480 - 18);
    EXPECT_EQ(Help::Line::BarTextY(), 13 + 480 - 58);
    N3D::PresentParameters().BackBufferWidth = 801;  // 720.9 -> 720; (801 - 720) / 2 = 40
    N3D::PresentParameters().BackBufferHeight = 600;
    line.UpdateOverlay();
    EXPECT_EQ(line.titleLeft, 40);
    EXPECT_EQ(line.titleRight, 760);
    EXPECT_EQ(line.barArea.right, 801);
    EXPECT_EQ(line.barArea.top, 600 - 58);
}

// --- drawing ----------------------------------------------------------------------------

class HelpLineDrawing : public Frame {
protected:
    uint32_t Fill() const { return OverBlack(NVireo::NGUI::GuiPalette().fill); }
    // colour (with alpha) over an opaque 0xRRGGBB below.
    static uint32_t Over(uint32_t argb, uint32_t below) {
        const uint32_t alpha = argb >> 24;
        uint32_t rgb = 0;
        for (int shift : {0, 8, 16}) {
            const uint32_t s = (argb >> shift) & 0xFF;
            const uint32_t d = (below >> shift) & 0xFF;
            rgb |= ((s * alpha + d * (255 - alpha)) / 255) << shift;
        }
        return rgb;
    }
};

TEST_F(HelpLineDrawing, TheTitleIsUnderlinedAcrossTheTitleArea) {
    Help::Line::CObject line;
    line.SetTitle("A");
    Draw([&] { line.DrawOverlay(); });
    // Title area 32 .. 608; the underline's first row is 14 + 14 = 28.
    struct Probe {
        int32_t x, y;
        uint32_t expected;
    };
    const Probe probes[] = {
        {320, 27, 0x000000}, {320, 28, 0x808080}, {320, 29, 0x000000}, {320, 30, 0x808080},
        {320, 31, 0x000000}, {32, 28, 0x808080},  {607, 30, 0x808080}, {608, 28, 0x404040},
        {31, 28, 0x404040},  {31, 30, 0x404040},  {31, 31, 0x000000},  {608, 31, 0x000000},
        {31, 29, 0x707070},  {608, 29, 0x707070}, {32, 29, 0x000000},  {609, 29, 0x000000},
        {30, 29, 0x000000},  {609, 28, 0x000000},
    };
    for (const Probe& p : probes) {
        EXPECT_LE(ColorDistance(At(p.x, p.y), p.expected), 3)
            << p.x << "," << p.y << ": " << std::hex << At(p.x, p.y);
    }
    // The title's text, white, at the title area's left from y = 14.
    EXPECT_TRUE(AnyNear(32, 14, 48, 28, 0xFFFFFF));
    EXPECT_FALSE(AnyNear(48, 0, 640, 28, 0xFFFFFF));

    line.SetTitle(nullptr);
    Draw([&] { line.DrawOverlay(); });
    EXPECT_EQ(At(320, 28), 0u);
}

TEST_F(HelpLineDrawing, TheBarOpensFromTheLeftWhileItsEdgesGrowFromTheRight) {
    Help::Line::CObject line;
    Draw([&] { line.DrawOverlay(); });
    EXPECT_EQ(At(100, 440), 0u);  // no lines: no bar

    line.SetBarText("help");
    for (int i = 0; i < 8; ++i) line.UpdateOverlay();
    ASSERT_EQ(line.opening.current, 100);  // ratio 100 / 136
    Draw([&] { line.DrawOverlay(); });
    const uint32_t fill = Fill();
    const uint32_t darkOnBlack = OverBlack(NVireo::NGUI::GuiPalette().dark);
    const uint32_t darkOnFill = Over(NVireo::NGUI::GuiPalette().dark, fill);
    struct Probe {
        int32_t x, y;
        uint32_t expected;
    };
    // The fill reaches 640 x 100 / 136 = 470; the edges start at 640 x 36 / 136 = 169.
    const Probe half[] = {
        {100, 440, fill},        {469, 440, fill}, {470, 440, 0},          {600, 440, 0},
        {100, 421, 0},           {168, 422, fill}, {169, 422, darkOnFill}, {500, 422, darkOnBlack},
        {100, 461, fill},        {500, 461, 0},    {100, 462, 0},          {500, 462, darkOnBlack},
        {639, 462, darkOnBlack},
    };
    for (const Probe& p : half) {
        EXPECT_LE(ColorDistance(At(p.x, p.y), p.expected), 2)
            << p.x << "," << p.y << ": " << std::hex << At(p.x, p.y) << " " << p.expected;
    }
    // The text stands in the 14 rows from 13 below the bar's top.
    const auto rows = RowsNear(14, 420, 80, 466, 0xFFFFFF);
    EXPECT_GE(rows.first, 435);
    EXPECT_LE(rows.second, 449);
    EXPECT_LT(rows.first, rows.second);

    for (int i = 0; i < 8; ++i) line.UpdateOverlay();
    Draw([&] { line.DrawOverlay(); });
    EXPECT_LE(ColorDistance(At(639, 440), fill), 2);
    EXPECT_LE(ColorDistance(At(0, 422), darkOnFill), 2);
    EXPECT_LE(ColorDistance(At(0, 462), darkOnBlack), 2);
}

TEST_F(HelpLineDrawing, BarTextScrollsLeftOnePixelAFrameAfterThePause) {
    Help::Line::CObject line;
    line.SetBarText("Left");
    line.AddBarText("Right");
    // The leftmost white column of the bar's text rows.
    auto leftmost = [&] {
        for (int32_t x = 0; x < 640; ++x)
            if (AnyNear(x, 435, x + 1, 449, 0xFFFFFF)) return x;
        return -1;
    };
    for (int i = 0; i < 16; ++i) line.UpdateOverlay();  // before the pause ends: still
    Draw([&] { line.DrawOverlay(); });
    const int32_t atRest = leftmost();
    ASSERT_GE(atRest, 14);
    ASSERT_LT(atRest, 20);

    FakeNow() = 5001;
    for (int i = 0; i < 10; ++i) line.UpdateOverlay();
    Draw([&] { line.DrawOverlay(); });
    EXPECT_EQ(leftmost(), atRest - 10);
    // The second line waits beyond the right edge.
    EXPECT_FALSE(AnyNear(100, 435, 640, 449, 0xFFFFFF));
}

TEST_F(HelpLineDrawing, StarLinesDrawStackedPanelsAsWideAsTheLongestLine) {
    Help::CLines lines;
    for (const char* text : {"abcd", "*", "ef"}) Help::AddLine(lines, text);
    Help::Normal::CInterface& box = Help::Normal::SharedBox();
    Help::Normal::Show(box, lines, Help::Normal::kModeButton);
    Help::Normal::PlaceAt(box, 100, 100);
    ASSERT_EQ(box.left, 124);
    ASSERT_EQ(box.top, 124);
    ASSERT_EQ(box.Width(), 36);
    Help::Line::CObject line;
    Draw([&] { line.DrawOverlay(); });

    const uint32_t fill = Fill();
    const uint32_t edge = Over(NVireo::NGUI::GuiPalette().light, fill);
    struct Probe {
        int32_t x, y;
        uint32_t expected;
    };
    // Panels at 124 .. 148 and 160 .. 184 (the separator's slot between them), both from
    // x = 124 to 160.
    const Probe probes[] = {
        {126, 126, fill}, {135, 124, edge}, {124, 130, edge}, {159, 130, edge},
        {135, 147, edge}, {160, 130, 0},    {135, 123, 0},    {135, 148, 0},
        {135, 154, 0},    {135, 159, 0},    {135, 160, edge}, {126, 176, fill},
        {159, 176, edge}, {135, 183, edge}, {135, 184, 0},    {157, 170, fill},
    };
    for (const Probe& p : probes) {
        EXPECT_LE(ColorDistance(At(p.x, p.y), p.expected), 2)
            << p.x << "," << p.y << ": " << std::hex << At(p.x, p.y) << " " << p.expected;
    }
    // Each line in its panel, 6 pixels in: "abcd" from row 130, "ef" from row 166.
    const auto first = RowsNear(129, 125, 159, 147, 0xFFFFFF);
    const auto second = RowsNear(129, 161, 159, 183, 0xFFFFFF);
    EXPECT_GE(first.first, 130);
    EXPECT_LE(first.second, 142);
    EXPECT_GE(second.first, 166);
    EXPECT_LE(second.second, 178);
    EXPECT_FALSE(AnyNear(124, 148, 160, 160, 0xFFFFFF));  // the "*" is not drawn

    // A hidden box (mode 0) draws nothing even with lines.
    box.mode = 0;
    Draw([&] { line.DrawOverlay(); });
    EXPECT_EQ(At(126, 126), 0u);
}

TEST_F(HelpLineDrawing, TheSecondBoxIsDrawnOnceWithTheOthers) {
    Help::CLines lines;
    Help::AddLine(lines, "x");
    Help::Normal::CInterface& second = Help::Normal::SecondBox();
    Help::Normal::Show(second, lines, Help::Normal::kModeLabel);
    Help::Normal::PlaceAt(second, 600, 400);
    ASSERT_EQ(second.left, 600 - 18 - 24);
    ASSERT_EQ(second.top, 400 - 24 - 24);
    Help::Line::CObject line;
    Draw([&] { line.DrawOverlay(); });
    EXPECT_LE(ColorDistance(At(second.left + 2, second.top + 2), Fill()), 2);  // not darkened twice
}

TEST_F(HelpLineDrawing, AHiddenOverlayDrawsNothingButKeepsUpdating) {
    Help::Line::CObject line;
    line.SetTitle("T");
    line.SetBarText("bar");
    Help::CLines lines;
    Help::AddLine(lines, "box");
    Help::Normal::Show(Help::Normal::SharedBox(), lines, Help::Normal::kModeButton);
    Help::Normal::PlaceAt(Help::Normal::SharedBox(), 50, 50);

    struct Visible {
        ~Visible() { Help::Line::OverlayVisible() = true; }
    } restore;
    Help::Line::OverlayVisible() = false;
    for (int i = 0; i < 3; ++i) line.UpdateOverlay();
    EXPECT_EQ(line.opening.current, 45);
    Draw([&] { line.DrawOverlay(); });
    EXPECT_FALSE(AnyNear(0, 0, 640, 480, 0xFFFFFF));
    EXPECT_EQ(At(320, 28), 0u);
    EXPECT_EQ(At(20, 440), 0u);
    EXPECT_EQ(At(Help::Normal::SharedBox().left + 2, Help::Normal::SharedBox().top + 2), 0u);

    Help::Line::OverlayVisible() = true;
    Draw([&] { line.DrawOverlay(); });
    EXPECT_TRUE(AnyNear(0, 0, 640, 480, 0xFFFFFF));
}

}  // namespace
