// Labels: the hit test over the rendered text (edges, scale, disabled, unregistered,
// no text), the hover description of aid labels through the widgets' hover selection,
// the caption's set-up, the colours labels start with, and what Draw shows or skips.
#include "app/gui/label.h"

#include <gtest/gtest.h>

#include <string>

#include "app/gui/description.h"
#include "app/gui/description_render.h"
#include "framework/gui/description.h"
#include "framework/gui/dispatch.h"
#include "framework/gui/widget.h"

namespace {

using namespace gui_render;

struct HitCase {
    const char* what;
    int32_t x, y;
    bool hit;
};

void ExpectHits(Label::BNormal& label, std::initializer_list<HitCase> cases) {
    for (const HitCase& c : cases) {
        EXPECT_EQ(label.HitTest(c.x, c.y), c.hit) << c.what;
        EXPECT_EQ(label.HitTestPointer(c.x, c.y), c.hit) << c.what;
    }
}

// Labels without a device: a text-set label measures its text by the estimate, half the
// font height per byte.
class Labels : public testing::Test {
protected:
    // No device: the boxes are placed on a 640 x 480 back buffer all the same.
    void SetUp() override {
        Help::Normal::ClearAll();
        D3DPRESENT_PARAMETERS& p = NVireo::NDirectX::N3D::PresentParameters();
        p = D3DPRESENT_PARAMETERS{};
        p.BackBufferWidth = 640;
        p.BackBufferHeight = 480;
    }
    void TearDown() override {
        NVireo::NDirectX::N3D::PresentParameters() = D3DPRESENT_PARAMETERS{};
        Help::Normal::ClearAll();
        Help::Normal::SharedBox().mode = 0;
        NVireo::NGUI::ResetHover();
    }
};

TEST_F(Labels, TheHitTestCoversTheTextLeftAndTopInclusive) {
    Label::Aid::TS::CSingle label;
    label.x = 10;
    label.y = 20;
    Help::AddLine(label.description, "what it is");
    ExpectHits(label, {{"no text yet", 10, 20, false}});
    label.SetText("abcd");  // 4 x 6 = 24 wide, 12 high
    ExpectHits(label, {
                          {"top left", 10, 20, true},
                          {"bottom right pixel", 33, 31, true},
                          {"right edge", 34, 20, false},
                          {"bottom edge", 10, 32, false},
                          {"left of it", 9, 25, false},
                          {"above it", 15, 19, false},
                      });
    label.scale = 2.0;
    ExpectHits(label, {{"twice as wide", 57, 43, true}, {"beyond", 58, 43, false}});
    label.scale = 0.0;
    ExpectHits(label, {{"scale 0 covers nothing", 10, 20, false}});
    label.scale = 1.0;

    label.SetEnabled(false);
    ExpectHits(label, {{"disabled", 12, 22, false}});
    label.SetEnabled(true);
    label.Unregister();
    ExpectHits(label, {{"unregistered", 12, 22, false}});
    label.Register(nullptr);
    ExpectHits(label, {{"registered again", 12, 22, true}});
    label.description.Clear();
    ExpectHits(label, {{"no description: nothing to show, no pointer taken", 12, 22, false}});
    Help::AddLine(label.description, "what it is");
    label.SetText("");
    ExpectHits(label, {{"empty text", 10, 20, false}});
}

TEST_F(Labels, HoveringAnAidLabelShowsItsDescriptionUntilThePointerLeaves) {
    Label::Aid::TS::CSingle label;
    label.x = 100;
    label.y = 100;
    label.SetText("volume");
    Help::AddLine(label.description, "how loud");
    Help::AddLine(label.description, "*");
    Help::AddLine(label.description, "0 .. 100");

    ASSERT_TRUE(NVireo::NGUI::SelectHover(105, 105));
    EXPECT_TRUE(label.IsActive());
    Help::Normal::CInterface& box = Help::Normal::SharedBox();
    EXPECT_EQ(box.lines.count, 3);
    EXPECT_EQ(box.mode, Help::Normal::kModeLabel);
    EXPECT_EQ(box.Width(), 12 * 8 / 2 + 12);
    // Beside the pointer: the box was placed, not left at the origin.
    POINT cursor{};
    ASSERT_TRUE(GetCursorPos(&cursor));
    EXPECT_EQ(box.left, NVireo::NGUI::NDescription::PlaceNear(cursor.x, cursor.y,
                                                              {box.Width(), box.Height()}, 640, 480)
                            .x);

    const NVireo::NGUI::PointerPosition pointer{0, 0, 300, 300};
    label.OnPointerLeave(pointer, 0);
    EXPECT_EQ(box.lines.count, 0);
    EXPECT_EQ(box.Width(), 0);

    // The end of a capture clears the box and the active record.
    NVireo::NGUI::SelectHover(105, 105);
    ASSERT_EQ(box.lines.count, 3);
    label.OnCaptureEnd(pointer, 0);
    EXPECT_EQ(box.lines.count, 0);
    EXPECT_EQ(NVireo::NGUI::ActiveWidget(), nullptr);
}

TEST_F(Labels, AnAidLabelWithoutDescriptionLeavesThePointerToWhatLiesUnderIt) {
    Label::Aid::TS::CSingle described;
    described.x = 0;
    described.y = 0;
    described.SetText("aa");
    Help::AddLine(described.description, "text");
    Label::Aid::TS::CSingle silent;
    silent.x = 200;
    silent.y = 0;
    silent.SetText("bb");

    NVireo::NGUI::SelectHover(1, 1);
    ASSERT_EQ(Help::Normal::SharedBox().lines.count, 1);
    EXPECT_FALSE(NVireo::NGUI::SelectHover(201, 1));
    EXPECT_FALSE(silent.IsActive());
}

TEST_F(Labels, LabelsAndTextSetsStartWithTheDefaultTextColours) {
    const Label::CTextColors saved = Label::DefaultTextColors();
    Label::SetDefaultTextColors(0xFF102030u, 0xFF405060u);
    Label::Aid::TS::CSingle label;
    Label::Out::CMainBoxer set;
    CLabelProgressOuter progress;
    Label::SetDefaultTextColors(saved.text, saved.outline);
    EXPECT_EQ(label.textColor, 0xFF102030u);
    EXPECT_EQ(label.outlineColor, 0xFF405060u);
    EXPECT_EQ(set.textColor, 0xFF102030u);
    EXPECT_EQ(progress.outlineColor, 0xFF405060u);
    Label::Aid::TS::CSingle later;
    EXPECT_EQ(later.textColor, saved.text);
}

TEST_F(Labels, TheFontIsTheModernShiftJisFamilyWithoutAFace) {
    const LOGFONTA font = NVireo::NDirectX::N3D::NText::JapaneseFont(14);
    EXPECT_EQ(font.lfHeight, 14);
    EXPECT_EQ(font.lfWidth, 0);
    EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(font.lfPitchAndFamily, FF_MODERN);
    EXPECT_EQ(font.lfFaceName[0], '\0');
}

// Labels with rendered text lines, on the headless device.
class LabelDrawing : public Frame {
protected:
    void TearDown() override {
        NVireo::NGUI::ResetHover();
        Frame::TearDown();
    }
};

TEST_F(LabelDrawing, AnAidLabelSitsAtSeventyWithItsRenderedWidth) {
    Label::Aid::TA::CSingle label;
    label.SetupAid(200, "Volume", "how loud", 1.0);
    RECT rect{};
    ASSERT_TRUE(label.GetRect(rect));
    EXPECT_EQ(rect.left, 70);
    EXPECT_EQ(rect.top, 200);
    EXPECT_EQ(rect.bottom, 214);
    EXPECT_EQ(rect.right, 70 + label.line.Width());
    EXPECT_GT(label.line.Width(), 0);
    ASSERT_EQ(label.description.count, 1);
    ExpectHits(label, {{"left edge", 70, 200, true},
                       {"last column", rect.right - 1, 213, true},
                       {"right edge", rect.right, 205, false},
                       {"left of it", 69, 205, false}});

    Draw([&] { label.Draw(); });
    EXPECT_TRUE(AnyNear(70, 200, rect.right, 214, 0xFFFFFF));
    EXPECT_FALSE(AnyNear(0, 0, 640, 199, 0xFFFFFF));
    EXPECT_FALSE(AnyNear(0, 215, 640, 480, 0xFFFFFF));

    label.SetText("");  // no rendered text: not hit, not drawn
    EXPECT_FALSE(label.HitTest(70, 200));
    Draw([&] { label.Draw(); });
    EXPECT_FALSE(AnyNear(0, 0, 640, 480, 0xFFFFFF));
}

TEST_F(LabelDrawing, ScaleZeroDisabledAndUnregisteredLabelsAreNotDrawn) {
    Label::Aid::TS::CSingle label;
    label.x = 300;
    label.y = 300;
    label.SetText("shown");
    Draw([&] { label.Draw(); });
    ASSERT_TRUE(AnyNear(300, 300, 340, 312, 0xFFFFFF));

    label.scale = 0.0;
    Draw([&] { label.Draw(); });
    EXPECT_FALSE(AnyNear(0, 0, 640, 480, 0xFFFFFF));
    label.scale = 1.0;

    label.SetEnabled(false);
    Draw([&] { label.Draw(); });
    EXPECT_FALSE(AnyNear(0, 0, 640, 480, 0xFFFFFF));
    label.SetEnabled(true);

    label.Unregister();
    Draw([&] { label.Draw(); });
    EXPECT_FALSE(AnyNear(0, 0, 640, 480, 0xFFFFFF));
}

TEST_F(LabelDrawing, TheCaptionReadsSettingInTheLargeFontAtItsScale) {
    Label::CCaption caption;
    caption.Setup(2.0);
    EXPECT_EQ(caption.GetFontHeight(), 18);
    EXPECT_EQ(std::string(caption.text.c_str()), "Setting");
    RECT rect{};
    ASSERT_TRUE(caption.GetRect(rect));
    EXPECT_EQ(rect.left, 140);
    EXPECT_EQ(rect.top, 100);
    EXPECT_EQ(rect.bottom, 100 + 36);
    EXPECT_EQ(rect.right, 140 + 2 * caption.line.Width());
    Draw([&] { caption.Draw(); });
    // Drawn twice as large: white pixels reach well below the 18-pixel line.
    const auto rows = RowsNear(140, 90, 640, 150, 0xFFFFFF);
    EXPECT_GE(rows.first, 100);
    EXPECT_GT(rows.second, 100 + 20);
    EXPECT_LE(rows.second, 100 + 36);
}

}  // namespace
