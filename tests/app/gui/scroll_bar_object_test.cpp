// The labelled scroll bar: its texts beside the bar, the wheel, the shared description
// box while hovered, and the texts following the bar's enabled state.
#include "app/gui/scroll_bar_object.h"

#include <gtest/gtest.h>

#include "framework/platform/home.h"
#include "framework/render/direct3d.h"
#include "support/headless_device.h"
#include "support/test_support.h"

namespace {

using NVireo::NGUI::PointerPosition;
namespace NR = NVireo::NDirectX::N3D;

PointerPosition At(int32_t x, int32_t y) { return PointerPosition{x + 50, y + 40, x, y}; }

// The wheel message's first parameter: the delta in the high word.
WPARAM Wheel(int16_t delta) { return MAKEWPARAM(0, static_cast<uint16_t>(delta)); }

class ScrollBarObject : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(headless::StartDevice()) << NVireo::NError::Record().message;
        Help::AddLine(lines_, "first line");
        Help::AddLine(lines_, "second line");
        bar_.Setup(100, 200, 200, "Volume", lines_);
        bar_.SetRange(0, 100);
        Help::Normal::ClearAll();
    }
    void TearDown() override {
        Help::Normal::ClearAll();
        NR::StopRenderer();
    }

    RaisePolicy policy_;
    Help::CLines lines_;
    ScrollBar::CObject bar_;
};

TEST_F(ScrollBarObject, SetupPutsTheTextsRightOfTheBarWithTheDescription) {
    EXPECT_EQ(bar_.bar.left, 100);
    EXPECT_EQ(bar_.bar.right, 300);
    EXPECT_EQ(bar_.label.x, 302);
    EXPECT_EQ(bar_.label.y, 200);
    EXPECT_EQ(bar_.label.GetFontHeight(), 12);
    EXPECT_EQ(bar_.valueText.x, 302);
    EXPECT_EQ(bar_.valueText.y, 212);
    EXPECT_EQ(bar_.valueText.GetFontHeight(), 12);
    EXPECT_DOUBLE_EQ(bar_.label.scale, 1.0);
    EXPECT_DOUBLE_EQ(bar_.valueText.scale, 1.0);
    for (const Help::CLines* l :
         {&bar_.description, &bar_.label.description, &bar_.valueText.description}) {
        EXPECT_EQ(l->count, 2);
    }
    RECT r{};
    ASSERT_TRUE(bar_.label.GetRect(r));
    EXPECT_EQ(r.left, 302);
    EXPECT_EQ(r.top, 200);
}

TEST_F(ScrollBarObject, OneWheelNotchMovesTheValueByOne) {
    struct Case {
        const char* what;
        int32_t x;
        int16_t delta;
        int32_t expected;  // from 50
    };
    const Case cases[] = {
        {"towards the user raises", 200, -120, 51},
        {"away from the user lowers", 200, 120, 49},
        {"three notches at once", 200, -360, 53},
        {"part of a notch does nothing", 200, -119, 50},
        {"over an arrow too", 110, 120, 49},
        {"beside the bar nothing", 320, -120, 50},
        {"a turn far past the end stops at the maximum", 200, -32768, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bar_.SetValue(50);
        bar_.OnWheel(At(c.x, 210), Wheel(c.delta));
        EXPECT_EQ(bar_.GetValue(), c.expected);
    }
    bar_.SetValue(50);
    bar_.SetEnabled(false);
    bar_.OnWheel(At(200, 210), Wheel(-120));
    EXPECT_EQ(bar_.GetValue(), 50) << "a disabled bar ignores the wheel";
}

TEST_F(ScrollBarObject, HoverShowsTheDescriptionAndLeaveKeepsThePress) {
    Help::Normal::CInterface& box = Help::Normal::SharedBox();
    ASSERT_TRUE(bar_.HitTest(110, 210));  // the first arrow
    bar_.OnPointerMove(At(110, 210), 0);
    EXPECT_EQ(box.mode, Help::Normal::kModeScrollBar);
    EXPECT_EQ(box.lines.count, 2);
    EXPECT_GT(box.Width(), 0);

    bar_.OnLeftDown(At(110, 210), MK_LBUTTON);
    bar_.OnPointerLeave(At(110, 210), 0);
    EXPECT_EQ(box.lines.count, 0);
    EXPECT_EQ(box.Width(), 0);
    EXPECT_EQ(bar_.pressed, 1u) << "leaving clears only the description";

    bar_.OnPointerMove(At(110, 210), MK_LBUTTON);
    EXPECT_EQ(box.lines.count, 2);
    bar_.OnCaptureEnd(At(110, 210), 0);
    EXPECT_EQ(box.lines.count, 0);
    EXPECT_EQ(bar_.pressed, 0u);
}

TEST_F(ScrollBarObject, TheTextsFollowTheEnabledState) {
    bar_.SetEnabled(false);
    EXPECT_TRUE(bar_.disabled);
    EXPECT_TRUE(bar_.label.disabled);
    EXPECT_TRUE(bar_.valueText.disabled);
    EXPECT_FALSE(bar_.label.HitTest(303, 201));
    bar_.SetEnabled(true);
    EXPECT_FALSE(bar_.label.disabled);
    EXPECT_FALSE(bar_.valueText.disabled);
    EXPECT_TRUE(bar_.label.HitTest(303, 201));
}

TEST_F(ScrollBarObject, FractionTextIsTheShareOfTheRange) {
    const struct {
        int32_t lo, hi, value;
        double displayOffset;
        const char* text;
    } cases[] = {
        {0, 100, 0, 0.0, "0.00"},    {0, 100, 50, 0.0, "0.50"}, {0, 100, 100, 0.0, "1.00"},
        {0, 100, 25, -0.5, "-0.25"}, {0, 3, 1, 0.0, "0.33"},    {7, 7, 7, 0.5, "0.50"},
    };
    for (const auto& c : cases) {
        bar_.SetRange(c.lo, c.hi);
        bar_.SetValue(c.value);
        bar_.displayOffset = c.displayOffset;
        EXPECT_STREQ(bar_.FractionText().c_str(), c.text) << c.lo << ".." << c.hi << " " << c.value;
    }
}

TEST_F(ScrollBarObject, WithoutItsOwnDescriptionABarExplainsItsParts) {
    // The built package beside the test program holds the application's texts.
    headless::OpenProgramPackage(NVireo::NFile::HomeFolder());
    ScrollBar::CObject bar;
    bar.Setup(100, 300, 160, "Time");
    ASSERT_EQ(bar.description.count, 4);
    int32_t nonEmpty = 0;
    for (const auto& line : bar.description) nonEmpty += line.c_str()[0] != '\0' ? 1 : 0;
    EXPECT_EQ(nonEmpty, 4);
    EXPECT_EQ(bar.label.description.count, 4);
    EXPECT_EQ(bar.valueText.description.count, 4);
}

}  // namespace
