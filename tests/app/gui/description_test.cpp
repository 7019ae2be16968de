// Description boxes: their size from the lines, where they go beside the pointer near
// each corner and when they are centred, how "*" lines split them into panels, and what
// showing, clearing and hovering do to the shared and second boxes.
#include "app/gui/description.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/gui/description_box.h"
#include "framework/gui/description.h"
#include "framework/render/direct3d.h"
#include "support/test_support.h"

namespace {

namespace ND = NVireo::NGUI::NDescription;
using Help::CLines;

// Lists cannot be copied or moved: each is made on the heap.
std::unique_ptr<CLines> LinesOf(std::initializer_list<const char*> texts) {
    auto lines = std::make_unique<CLines>();
    for (const char* text : texts) Help::AddLine(*lines, text);
    return lines;
}

std::vector<std::string> TextsOf(const CLines& lines) {
    std::vector<std::string> texts;
    for (const auto& line : lines) texts.emplace_back(line.c_str());
    return texts;
}

TEST(DescriptionLayout, BoxSizeCountsBytesAtHalfTheFontHeight) {
    struct Case {
        int32_t font;
        uint32_t bytes;
        uint32_t lines;
        ND::CSize expected;
    };
    const Case cases[] = {
        {12, 0, 0, {12, 6}},  // nothing still has its margins
        {12, 10, 1, {72, 24}},
        {12, 11, 3, {78, 60}},  // odd byte counts round down: 66 + 12
        {14, 21, 2, {159, 46}},
        {12,
         21,
         2,
         {138, 42}},  // "ショートカットキー: Q": nine double-byte characters and three bytes
    };
    for (const Case& c : cases) {
        const ND::CSize size = ND::BoxSize(c.font, c.bytes, c.lines);
        EXPECT_EQ(size.width, c.expected.width) << c.font << " " << c.bytes << " " << c.lines;
        EXPECT_EQ(size.height, c.expected.height) << c.font << " " << c.bytes << " " << c.lines;
    }
}

TEST(DescriptionLayout, BoxesGoBesideThePointerAwayFromTheNearestCornerAndCentreWhenTooBig) {
    struct Case {
        const char* what;
        int32_t x, y;
        ND::CSize size;
        ND::CPoint expected;
    };
    const Case cases[] = {
        {"top left: right of and below", 10, 20, {100, 40}, {34, 44}},
        {"top right: left of and below", 600, 20, {100, 40}, {476, 44}},
        {"bottom left: right of and above", 10, 470, {100, 40}, {34, 406}},
        {"bottom right: left of and above", 630, 470, {100, 40}, {506, 406}},
        {"the middle counts as the right and lower half", 320, 240, {100, 40}, {196, 176}},
        {"just left of the middle", 319, 239, {100, 40}, {343, 263}},
        // Beside the pointer never leaves the screen while the pointer is on it; a pointer
        // outside the client area pushes the box back onto the screen.
        {"pointer left of the screen", -50, 20, {100, 40}, {0, 44}},
        {"pointer right of the screen", 700, 20, {100, 40}, {540, 44}},
        {"pointer above the screen", 10, -100, {100, 40}, {34, 0}},
        {"pointer below the screen", 10, 600, {100, 40}, {34, 440}},
        // Half the screen is 320: a box 297 wide or more is centred whatever the pointer.
        {"wide boxes are centred horizontally", 5, 20, {297, 40}, {171, 44}},
        {"296 wide still goes beside", 5, 20, {296, 40}, {29, 44}},
        {"wide at the right too", 635, 470, {400, 40}, {120, 406}},
        {"tall boxes are centred vertically", 10, 470, {100, 217}, {34, 131}},
        {"both", 630, 5, {600, 400}, {20, 40}},
    };
    for (const Case& c : cases) {
        const ND::CPoint at = ND::PlaceNear(c.x, c.y, c.size, 640, 480);
        EXPECT_EQ(at.x, c.expected.x) << c.what;
        EXPECT_EQ(at.y, c.expected.y) << c.what;
    }
}

TEST(DescriptionLayout, StarLinesSplitTheBoxIntoStackedPanels) {
    struct Case {
        const char* what;
        std::vector<bool> separators;
        std::vector<ND::CPanel> expected;  // top, height, lines
    };
    const Case cases[] = {
        {"one panel", {false, false}, {{0, 42, 2}}},
        // The separator's slot (18 pixels) lies between the panels: the second line
        // still stands at 6 + 2 x 18 = 42, inside its panel.
        {"a star between two lines", {false, true, false}, {{0, 24, 1}, {36, 24, 1}}},
        {"two and one", {false, false, true, false}, {{0, 42, 2}, {54, 24, 1}}},
        {"a trailing star adds no panel", {false, true}, {{0, 24, 1}}},
        {"a leading star leaves its slot free", {true, false}, {{18, 24, 1}}},
        {"two stars in a row", {false, true, true, false}, {{0, 24, 1}, {54, 24, 1}}},
        {"only a star", {true}, {}},
    };
    for (const Case& c : cases) {
        const std::vector<ND::CPanel> panels = ND::Panels(c.separators, 12);
        ASSERT_EQ(panels.size(), c.expected.size()) << c.what;
        for (size_t i = 0; i < panels.size(); ++i) {
            EXPECT_EQ(panels[i].top, c.expected[i].top) << c.what << " " << i;
            EXPECT_EQ(panels[i].height, c.expected[i].height) << c.what << " " << i;
            EXPECT_EQ(panels[i].lines, c.expected[i].lines) << c.what << " " << i;
        }
    }
    // Lines keep their places as if the separators were lines: the third line of the box
    // sits below two line heights, whatever panel it is in.
    EXPECT_EQ(ND::LineTop(0, 12), 6);
    EXPECT_EQ(ND::LineTop(2, 12), 42);
    EXPECT_TRUE(ND::IsSeparator("*"));
    EXPECT_FALSE(ND::IsSeparator("**"));
    EXPECT_FALSE(ND::IsSeparator(" *"));
    EXPECT_FALSE(ND::IsSeparator(nullptr));
}

// The boxes on a 640 x 480 screen, cleared before and after.
class DescriptionBoxes : public testing::Test {
protected:
    void SetUp() override {
        D3DPRESENT_PARAMETERS& p = NVireo::NDirectX::N3D::PresentParameters();
        saved_ = p;
        p.BackBufferWidth = 640;
        p.BackBufferHeight = 480;
        Help::Normal::ClearAll();
    }
    void TearDown() override {
        Help::Normal::ClearAll();
        Help::Normal::SharedBox().mode = 0;
        Help::Normal::SecondBox().mode = 0;
        NVireo::NDirectX::N3D::PresentParameters() = saved_;
    }
    D3DPRESENT_PARAMETERS saved_{};
};

TEST_F(DescriptionBoxes, ShowCopiesTheLinesAndSizesTheBoxButEmptyLinesChangeNothing) {
    Help::Normal::CInterface& box = Help::Normal::SharedBox();
    auto lines = LinesOf({"Open a file", "*", "ショートカットキー: Q"});
    Help::Normal::Show(box, *lines, Help::Normal::kModeButton);
    lines->Clear();  // the box has its own copy
    EXPECT_EQ(TextsOf(box.lines).size(), 3u);
    EXPECT_EQ(TextsOf(box.lines)[0], "Open a file");
    EXPECT_EQ(box.mode, Help::Normal::kModeButton);
    EXPECT_EQ(box.LongestLine(), 21u);  // the key line: double-byte characters count twice
    EXPECT_EQ(box.Width(), 12 * 21 / 2 + 12);
    EXPECT_EQ(box.Height(), 3 * 18 + 6);

    Help::Normal::Show(box, *LinesOf({}), Help::Normal::kModeLabel);
    EXPECT_EQ(box.lines.count, 3);
    EXPECT_EQ(box.mode, Help::Normal::kModeButton);
}

TEST_F(DescriptionBoxes, PlacingKeepsTheSizeAndSkipsABoxWithoutWidth) {
    Help::Normal::CInterface& box = Help::Normal::SharedBox();
    Help::Normal::PlaceAt(box, 630, 470);
    EXPECT_EQ(box.left, 0);  // nothing shown: not moved
    EXPECT_EQ(box.right, 0);

    Help::Normal::Show(box, *LinesOf({"0123456789"}), Help::Normal::kModeLabel);
    Help::Normal::PlaceAt(box, 630, 470);  // bottom right: above and to the left
    EXPECT_EQ(box.left, 630 - 72 - 24);
    EXPECT_EQ(box.top, 470 - 24 - 24);
    EXPECT_EQ(box.Width(), 72);
    EXPECT_EQ(box.Height(), 24);
    Help::Normal::PlaceAt(box, 0, 0);
    EXPECT_EQ(box.left, 24);
    EXPECT_EQ(box.bottom, 48);
}

TEST_F(DescriptionBoxes, ClearingEmptiesTheBoxButKeepsItsModeAndClearAllReachesBothBoxes) {
    Help::Normal::CInterface& shared = Help::Normal::SharedBox();
    Help::Normal::CInterface& second = Help::Normal::SecondBox();
    Help::Normal::Show(shared, *LinesOf({"a"}), Help::Normal::kModeScrollBar);
    Help::Normal::Show(second, *LinesOf({"b", "c"}), Help::Normal::kModeLabel);
    Help::Normal::PlaceAt(second, 100, 100);
    shared.positionIndex = 3;

    Help::Normal::Clear(shared);
    EXPECT_EQ(shared.lines.count, 0);
    EXPECT_EQ(shared.Width(), 0);
    EXPECT_EQ(shared.positionIndex, -1);
    EXPECT_EQ(shared.mode, Help::Normal::kModeScrollBar);
    EXPECT_EQ(second.lines.count, 2);

    Help::Normal::ClearAll();
    EXPECT_EQ(second.lines.count, 0);
    EXPECT_EQ(second.left, 0);
    EXPECT_EQ(second.bottom, 0);
    EXPECT_EQ(second.mode, Help::Normal::kModeLabel);
}

TEST_F(DescriptionBoxes, AHoveredWidgetTakesTheSharedBoxFromEveryOtherBox) {
    Help::Normal::Show(Help::Normal::SecondBox(), *LinesOf({"workspace"}),
                       Help::Normal::kModeLabel);
    Help::Normal::ShowDescription(*LinesOf({"button"}), Help::Normal::kModeButton);
    EXPECT_EQ(Help::Normal::SecondBox().lines.count, 0);
    Help::Normal::CInterface& shared = Help::Normal::SharedBox();
    ASSERT_EQ(TextsOf(shared.lines), std::vector<std::string>{"button"});
    EXPECT_EQ(shared.mode, Help::Normal::kModeButton);
    // Beside the pointer, wherever the pointer is.
    POINT cursor{};
    ASSERT_TRUE(GetCursorPos(&cursor));
    const ND::CPoint at =
        ND::PlaceNear(cursor.x, cursor.y, {shared.Width(), shared.Height()}, 640, 480);
    EXPECT_EQ(shared.left, at.x);
    EXPECT_EQ(shared.top, at.y);

    Help::Normal::HideDescription();
    EXPECT_EQ(shared.lines.count, 0);
    EXPECT_EQ(shared.Width(), 0);
}

TEST(DescriptionLines, CopiesAreIndependentAndNullIsAnEmptyLine) {
    auto from = LinesOf({"one", nullptr, "three"});
    auto to = LinesOf({"old"});
    Help::CopyLines(*from, *to);
    from->Clear();
    EXPECT_EQ(TextsOf(*to), (std::vector<std::string>{"one", "", "three"}));
    Help::CopyLines(*to, *to);
    EXPECT_EQ(to->count, 3);
}

}  // namespace
