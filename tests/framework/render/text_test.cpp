// Text on the headless device: one chip per character (double-byte characters whole),
// glyph pixels copied 1:1, blanks that keep their width, chip-set advances, layout in a
// box (centred, cut to the chips that fit, clipped at the bottom), outlines, fonts that
// change, chips that come back after a device reset, and the frame-rate line.
#include "framework/render/text.h"

#include <d3d8_seams.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/gui/text_caches.h"
#include "framework/platform/cp932.h"
#include "framework/render/direct3d.h"
#include "framework/render/presets.h"
#include "support/headless_device.h"
#include "support/test_support.h"

namespace {

using namespace NVireo::NDirectX::N3D;
using NText::CLine;
using NText::JapaneseFont;

constexpr DWORD kWhite = 0xFFFFFF;
constexpr DWORD kBlack = 0x000000;

class RenderText : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(headless::StartDevice()) << NVireo::NError::Record().message;
    }
    void TearDown() override {
        Main::ReleaseTextCaches();
        StopRenderer();
    }

    // Runs draw between a cleared black frame's begin and end; answers the target.
    std::vector<DWORD> Frame(const std::function<void()>& draw) {
        EXPECT_TRUE(Device().BeginScene());
        ApplyDefaultStates();
        Device().ClearAll();
        draw();
        EXPECT_TRUE(Device().EndScene());
        UINT w = 0, h = 0;
        return SeReadRenderTarget(Device().Get(), &w, &h);
    }
    static DWORD At(const std::vector<DWORD>& pixels, int x, int y) {
        return pixels.at(size_t(y) * kBackBufferWidth + size_t(x)) & 0xFFFFFFu;
    }
    // The bounding box of the pixels that are not black; empty (right < left) for none.
    static RECT Lit(const std::vector<DWORD>& pixels) {
        RECT box{kBackBufferWidth, kBackBufferHeight, -1, -1};
        for (int y = 0; y < int(kBackBufferHeight); ++y) {
            for (int x = 0; x < int(kBackBufferWidth); ++x) {
                if (At(pixels, x, y) == kBlack) continue;
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x);
                box.bottom = std::max<LONG>(box.bottom, y);
            }
        }
        return box;
    }

    RaisePolicy policy_;
};

TEST(TextCharacters, LeadBytesTakeTheirTrailByteAndCountOnce) {
    struct Case {
        const char* text;
        uint32_t firstLength;
        uint32_t count;
    };
    const Case cases[] = {
        {"", 0, 0},
        {"A", 1, 1},
        {"再生時間変更", 2, 6},
        {"A再b生 ", 1, 5},
        {"ｱ", 1, 1},             // a half-width katakana is one byte
        {"\x81", 1, 1},          // a lead byte at the end stands alone
        {"表\\", 2, 2},          // a trail byte 0x5C belongs to its lead byte
        {"\xFC\x40\xFD", 2, 2},  // 0xFC leads, 0xFD does not
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(NVireo::NCp932::CharacterLength(c.text), c.firstLength);
        EXPECT_EQ(NText::CountCharacters(c.text), c.count);
    }
    EXPECT_EQ(NVireo::NCp932::CharacterLength(nullptr), 0u);
    EXPECT_EQ(NVireo::NFont::NBuffer::RowPitch(1), 4u);
    EXPECT_EQ(NVireo::NFont::NBuffer::RowPitch(32), 4u);
    EXPECT_EQ(NVireo::NFont::NBuffer::RowPitch(33), 8u);
}

TEST_F(RenderText, EachCharacterIsOneChipAndDoubleByteCharactersStayWhole) {
    struct Case {
        const char* text;
        std::vector<std::string> characters;
    };
    const Case cases[] = {
        {"再生時間変更", {"再", "生", "時", "間", "変", "更"}},
        {"A再b生 %", {"A", "再", "b", "生", " ", "%"}},
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CLine line;
        line.SetText(c.text, JapaneseFont(16));
        ASSERT_EQ(line.ChipCount(), c.characters.size());
        int32_t total = 0;
        for (size_t i = 0; i < c.characters.size(); ++i) {
            const NText::NChip::CTexture& chip = *line.chips[i];
            EXPECT_EQ(std::string(chip.character.c_str()), c.characters[i]);
            EXPECT_EQ(std::string(chip.Describe().c_str()), c.characters[i]);
            // IPAGothic is monospace: half-width 8, full-width 16 at this height.
            EXPECT_EQ(chip.advance, c.characters[i].size() == 2 ? 16 : 8);
            EXPECT_EQ(chip.lineHeight, 16);
            EXPECT_EQ(chip.textureWidth, c.characters[i].size() == 2 ? 16u : 8u);
            EXPECT_EQ(chip.textureHeight, 16u);
            total += chip.advance;
        }
        EXPECT_EQ(line.Width(), total);
        EXPECT_EQ(line.Height(), 16);
    }
}

TEST_F(RenderText, ChipTexturesRoundUpToPowersOfTwoAndHoldOnlyTheGlyph) {
    // 12 pixels: a half-width chip is 6 wide in an 8 x 16 texture.
    CLine line;
    line.SetText("W", JapaneseFont(12));
    ASSERT_EQ(line.ChipCount(), 1u);
    const NText::NChip::CTexture& chip = *line.chips[0];
    EXPECT_EQ(chip.advance, 6);
    EXPECT_EQ(chip.textureWidth, 8u);
    EXPECT_EQ(chip.textureHeight, 16u);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(chip.object->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    // Every texel is transparent black or opaque white, and some are white.
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(chip.object->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    int white = 0;
    for (uint32_t y = 0; y < desc.Height; ++y) {
        for (uint32_t x = 0; x < desc.Width; ++x) {
            const DWORD texel = static_cast<const DWORD*>(locked.pBits)[y * locked.Pitch / 4 + x];
            EXPECT_TRUE(texel == 0 || texel == 0xFFFFFFFFu)
                << x << "," << y << " " << std::hex << texel;
            white += texel != 0;
            // Nothing beyond the advance or below the cell.
            if (x >= 6 || y >= 12) {
                EXPECT_EQ(texel, 0u) << x << "," << y;
            }
        }
    }
    chip.object->UnlockRect(0);
    EXPECT_GT(white, 10);
}

TEST_F(RenderText, ALineDrawsEachGlyphBitmap1To1BelowItsBaseline) {
    // The glyph as GDI renders it, then the same character drawn at (100, 50).
    const LOGFONTA logical = JapaneseFont(16);
    HFONT font = CreateFontIndirectA(&logical);
    ASSERT_NE(font, nullptr);
    NVireo::NFont::NBuffer::CMonochrome glyph;
    ASSERT_TRUE(glyph.Render("再", font, NVireo::NFont::NBuffer::IdentityMatrix()));
    DeleteObject(font);
    ASSERT_GT(glyph.width, 4u);

    CLine line;
    line.SetText("再", logical);
    const std::vector<DWORD> pixels = Frame([&] {
        PresetTinted();
        SetTextureFactor(0xFFFFFFFFu);
        line.Place(100.0f, 50.0f, 1.0f, 0.0f);
        line.Draw(line.ChipCount());
    });
    const int left = 100 + glyph.glyph.gmptGlyphOrigin.x;
    const int top = 50 + glyph.textMetrics.tmAscent - glyph.glyph.gmptGlyphOrigin.y;
    int mismatches = 0;
    for (uint32_t j = 0; j < glyph.height; ++j) {
        for (uint32_t i = 0; i < glyph.width; ++i) {
            const DWORD expected = glyph.Pixel(i, j) ? kWhite : kBlack;
            mismatches += At(pixels, left + int(i), top + int(j)) != expected;
        }
    }
    EXPECT_EQ(mismatches, 0);
    const RECT lit = Lit(pixels);
    EXPECT_GE(lit.left, 100);
    EXPECT_LT(lit.right, 116);
    EXPECT_GE(lit.top, 50);
    EXPECT_LT(lit.bottom, 66);
}

TEST_F(RenderText, BlanksKeepTheWidthOfTheirStandInsAndShowNothing) {
    struct Case {
        const char* blank;
        const char* standIn;
    };
    const Case cases[] = {{" ", "A"}, {"\t", "A"}, {"　", "〇"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.standIn);
        CLine blank;
        CLine standIn;
        blank.SetText(c.blank, JapaneseFont(14));
        standIn.SetText(c.standIn, JapaneseFont(14));
        ASSERT_EQ(blank.ChipCount(), 1u);
        EXPECT_EQ(blank.Width(), standIn.Width());
        EXPECT_GT(blank.Width(), 0);
        const std::vector<DWORD> pixels = Frame([&] {
            PresetTinted();
            SetTextureFactor(0xFFFFFFFFu);
            blank.Place(10.0f, 10.0f, 1.0f, 0.0f);
            blank.Draw(1);
        });
        EXPECT_LT(Lit(pixels).right, Lit(pixels).left) << "a blank drew pixels";
    }
    // A space inside a line pushes the next character by the width of "A".
    CLine spaced;
    spaced.SetText("A A", JapaneseFont(14));
    CLine plain;
    plain.SetText("A", JapaneseFont(14));
    EXPECT_EQ(spaced.Width(), 3 * plain.Width());
}

TEST_F(RenderText, ALoneLeadByteIsShownBlankInsteadOfFailing) {
    CLine line;
    line.SetText("A\x81", JapaneseFont(16));
    ASSERT_EQ(line.ChipCount(), 2u);
    EXPECT_EQ(line.chips[1]->advance, 8);
}

TEST_F(RenderText, TheChipSetAdvancesBlanksByHalfTheHeightAndTheDoubleByteSpaceTwice) {
    struct Case {
        LONG height;
        LONG width;
        float scale;
        int32_t blank;    // b
        float space;      // advance of " " and "\t"
        float wideSpace;  // advance of the double-byte space
    };
    const Case cases[] = {
        {16, 0, 1.0f, 8, 8.0f, 16.0f}, {15, 0, 1.0f, 8, 8.0f, 16.0f},   // 15 / 2 rounded up
        {12, 0, 1.5f, 6, 9.0f, 18.0f}, {14, 0, 1.25f, 7, 9.0f, 18.0f},  // 8.75 and 17.5 rounded
        {16, 5, 1.0f, 5, 5.0f, 10.0f},                                  // lfWidth wins
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.height << " " << c.width << " " << c.scale);
        NText::NSet::CBasic set;
        LOGFONTA logical = JapaneseFont(c.height);
        logical.lfWidth = c.width;
        set.SetFont(logical);
        EXPECT_EQ(set.BlankAdvance(), c.blank);
        EXPECT_EQ(set.TextWidth(" ", c.scale), c.space);
        EXPECT_EQ(set.TextWidth("\t", c.scale), c.space);
        EXPECT_EQ(set.TextWidth("　", c.scale), c.wideSpace);
        EXPECT_EQ(set.TextWidth("　", c.scale), 2 * set.TextWidth(" ", c.scale));
    }
}

TEST_F(RenderText, TheChipSetRendersEachCharacterOnceAndPreRendersTheFrameRateAlphabet) {
    NText::NSet::CBasic set;
    EXPECT_EQ(set.GetChip("A"), nullptr);  // no font yet
    set.SetFont(JapaneseFont(16));
    // "1234567890.FPSCOS: fief%" has 22 distinct characters.
    EXPECT_EQ(set.count, 22);
    const int32_t textures = TextureRegistry().count;
    Frame([&] { set.DrawText(0.0f, 0.0f, 1.0f, " FPS  25.000: COS  0: fief 3.2%"); });
    EXPECT_EQ(set.count, 22);
    EXPECT_EQ(TextureRegistry().count, textures);

    NText::NChip::CTexture* first = set.GetChip("再生");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(std::string(first->character.c_str()), "再");
    EXPECT_EQ(set.GetChip("再"), first);
    EXPECT_EQ(set.count, 23);
    EXPECT_EQ(set.GetChip(""), nullptr);

    // The same font again keeps the chips; another font renders them anew.
    EXPECT_FALSE(set.SetFontIfChanged(JapaneseFont(16)));
    EXPECT_EQ(set.count, 23);
    EXPECT_TRUE(set.SetFontIfChanged(JapaneseFont(24)));
    EXPECT_EQ(set.count, 22);
    EXPECT_EQ(set.GetChip("1")->lineHeight, 24);
    set.ClearAll();
    EXPECT_EQ(set.count, 0);
    EXPECT_FALSE(set.HasFont());
}

TEST_F(RenderText, ChipSetTextIsDrawnFromItsPositionAndOutlined) {
    NText::NSet::CBasic set;
    set.SetFont(JapaneseFont(16));
    float end = 0.0f;
    std::vector<DWORD> pixels = Frame([&] {
        PresetTinted();
        SetTextureFactor(0xFFFFFFFFu);
        end = set.DrawText(200.0f, 100.0f, 1.0f, "再生 A");
    });
    EXPECT_EQ(end, 200.0f + 16 + 16 + 8 + 8);
    RECT lit = Lit(pixels);
    EXPECT_GE(lit.left, 200);
    EXPECT_LT(lit.right, 248);
    EXPECT_GE(lit.top, 100);
    EXPECT_LT(lit.bottom, 116);
    // Nothing in the blank's cell.
    for (int y = 100; y < 116; ++y) {
        for (int x = 232; x < 240; ++x) EXPECT_EQ(At(pixels, x, y), kBlack) << x << "," << y;
    }

    // An outline in red around white text: one more pixel on every side, both colours.
    pixels = Frame(
        [&] { set.DrawTextWithOutline(0xFFFF0000u, 0xFFFFFFFFu, 200.0f, 100.0f, 1.0f, "再"); });
    const RECT outlined = Lit(pixels);
    int red = 0, white = 0;
    for (const DWORD p : pixels) {
        red += (p & 0xFFFFFFu) == 0xFF0000u;
        white += (p & 0xFFFFFFu) == kWhite;
    }
    EXPECT_GT(red, 0);
    EXPECT_GT(white, 0);
    pixels = Frame([&] {
        PresetTinted();
        SetTextureFactor(0xFFFFFFFFu);
        set.DrawText(200.0f, 100.0f, 1.0f, "再");
    });
    lit = Lit(pixels);
    EXPECT_EQ(outlined.left, lit.left - 1);
    EXPECT_EQ(outlined.right, lit.right + 1);
    EXPECT_EQ(outlined.top, lit.top - 1);
    EXPECT_EQ(outlined.bottom, lit.bottom + 1);
}

TEST_F(RenderText, LayoutInABoxCentresAndKeepsTheLeadingCharactersThatFit) {
    CLine line;
    line.SetText("ABCDEFGH", JapaneseFont(12));  // eight chips of 6
    ASSERT_EQ(line.Width(), 48);
    struct Case {
        RECT box;
        uint32_t count;
        float left;  // the first chip's x
        float top;   // its y
    };
    const Case cases[] = {
        {{100, 200, 228, 232}, 8, 100 + 40, 200 + 10 - 1},  // 128 x 32: all, centred
        {{100, 200, 120, 212}, 3, 100 + 1, 200 - 1},        // 20 wide: 18 fit, spare 2
        {{100, 200, 148, 213}, 8, 100, 200 - 1},            // exactly wide enough; 1 spare row
        {{100, 200, 105, 212}, 0, 102, 200 - 1},            // not even one fits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.box.left << "," << c.box.top << "-" << c.box.right
                                        << "," << c.box.bottom);
        EXPECT_EQ(line.LayoutInBox(c.box.left, c.box.top, c.box.right, c.box.bottom), c.count);
        EXPECT_EQ(line.drawCount, c.count);
        EXPECT_EQ(line.chips[0]->vertices[0].x, c.left - 0.5f);
        EXPECT_EQ(line.chips[0]->vertices[0].y, c.top - 0.5f);
        EXPECT_EQ(line.chips[1]->vertices[0].x, c.left + 6 - 0.5f);
    }
    EXPECT_EQ(line.LayoutAt(10, 20), 8u);
    EXPECT_EQ(line.chips[0]->vertices[0].x, 10 + 40 - 0.5f);

    // Drawn: only the three leading characters, centred in the 20-pixel box.
    line.LayoutInBox(300, 200, 320, 212);
    const std::vector<DWORD> pixels = Frame([&] { line.DrawInBox(0xFF00FF00u); });
    const RECT lit = Lit(pixels);
    EXPECT_GE(lit.left, 301);
    EXPECT_LT(lit.right, 319);
    EXPECT_EQ(At(pixels, lit.left, lit.top) & 0xFF00FFu, 0u);  // tinted green
    CLine three;
    three.SetText("ABC", JapaneseFont(12));
    three.LayoutInBox(300, 200, 320, 212);
    EXPECT_TRUE(pixels == Frame([&] { three.DrawInBox(0xFF00FF00u); }));
}

TEST_F(RenderText, ABoxShorterThanTheFontClipsTheTextAtTheBottom) {
    // "■" fills most of its cell, so its rows show where the clip falls.
    CLine full;
    full.SetText("■■", JapaneseFont(16));
    full.LayoutInBox(100, 100, 200, 132);
    const RECT whole = Lit(Frame([&] { full.DrawInBox(0xFFFFFFFFu); }));
    ASSERT_GE(whole.bottom - whole.top, 9);

    struct Case {
        int32_t boxHeight;
    };
    for (const Case c : {Case{12}, Case{8}, Case{3}}) {
        SCOPED_TRACE(c.boxHeight);
        CLine line;
        line.SetText("■■", JapaneseFont(16));
        line.LayoutInBox(100, 100, 200, 100 + c.boxHeight);
        const std::vector<DWORD> pixels = Frame([&] { line.DrawInBox(0xFFFFFFFFu); });
        const RECT lit = Lit(pixels);
        // Placed at the box's top, one row up, like the unclipped text in its own box;
        // the glyph keeps its size (cut, not squeezed) and ends above the box's bottom.
        const int glyphTop = whole.top - (100 + (32 - 16) / 2 - 1) + (100 - 1);
        const int lastRow = 100 - 1 + c.boxHeight - 1;
        if (glyphTop > lastRow) {
            EXPECT_LT(lit.right, lit.left);
            continue;
        }
        EXPECT_EQ(lit.top, glyphTop);
        EXPECT_EQ(lit.bottom, std::min<LONG>(lastRow, glyphTop + (whole.bottom - whole.top)));
        EXPECT_EQ(lit.left, whole.left);
        EXPECT_EQ(lit.right, whole.right);
    }
    // Laid out again in a tall box, the whole text comes back.
    CLine line;
    line.SetText("■■", JapaneseFont(16));
    line.LayoutInBox(100, 100, 200, 105);
    line.LayoutInBox(100, 100, 200, 132);
    EXPECT_TRUE(Lit(Frame([&] { line.DrawInBox(0xFFFFFFFFu); })).bottom == whole.bottom);
}

TEST_F(RenderText, ALineWithAnOutlineIsDrawnOverItsFourNeighbours) {
    CLine line;
    line.SetText("生", JapaneseFont(16));
    const RECT plain = Lit(Frame([&] {
        PresetTinted();
        SetTextureFactor(0xFFFFFFFFu);
        line.Place(50.0f, 60.0f, 1.0f, 0.0f);
        line.Draw(1);
    }));
    const std::vector<DWORD> pixels =
        Frame([&] { line.DrawWithOutline(0xFF0000FFu, 0xFFFFFFFFu, 50.0f, 60.0f, 1.0f); });
    const RECT outlined = Lit(pixels);
    EXPECT_EQ(outlined.left, plain.left - 1);
    EXPECT_EQ(outlined.right, plain.right + 1);
    EXPECT_EQ(outlined.top, plain.top - 1);
    EXPECT_EQ(outlined.bottom, plain.bottom + 1);
    // The outermost pixels are the outline's blue.
    EXPECT_EQ(At(pixels, outlined.left, (outlined.top + outlined.bottom) / 2) & 0xFFFF00u, 0u);
    // Scaled by 2 the glyph covers twice the width.
    const RECT doubled = Lit(Frame([&] {
        PresetTinted();
        SetTextureFactor(0xFFFFFFFFu);
        line.Place(50.0f, 60.0f, 2.0f, 0.0f);
        line.Draw(1);
    }));
    EXPECT_EQ(doubled.right - doubled.left + 1, 2 * (plain.right - plain.left + 1));
}

TEST_F(RenderText, ChipsShowTheirCharactersAgainAfterADeviceReset) {
    // One line laid out once and drawn in its box, one drawn with an outline, a set.
    CLine boxed;
    boxed.SetText("再生時間変更 Ab", JapaneseFont(14));
    boxed.LayoutInBox(0, 0, 320, 12);  // clipped too
    CLine outlined;
    outlined.SetText("保存", JapaneseFont(16));
    NText::NSet::CBasic set;
    set.SetFont(JapaneseFont(12));
    CFrameSteps steps;
    steps.drawScene = [&] {
        Device().ClearAll();
        boxed.DrawInBox(0xFFFFFFFFu);
        outlined.DrawWithOutline(0xFF000000u, 0xFFFFC000u, 20.0f, 50.0f, 1.0f);
        PresetTinted();
        set.DrawText(10.0f, 100.0f, 1.0f, "保存 12.5%");
    };
    RenderFrame(steps);
    UINT w = 0, h = 0;
    const std::vector<DWORD> before = SePresentedFrame(Device().Get(), &w, &h);
    ASSERT_FALSE(before.empty());

    ASSERT_TRUE(SeForceDeviceLoss(Device().Get(), 1));
    RenderFrame(steps);
    EXPECT_FALSE(Device().TestCooperativeLevel());
    ASSERT_TRUE(Device().TestCooperativeLevel()) << NVireo::NError::Record().message;
    for (const auto& chip : boxed.chips) EXPECT_FALSE(chip->IsNull());
    RenderFrame(steps);
    const std::vector<DWORD> after = SePresentedFrame(Device().Get(), &w, &h);
    EXPECT_TRUE(before == after);
    EXPECT_NE(Lit(after).right, -1);
}

TEST_F(RenderText, TheFrameRateLineIsDrawnAtTheTopLeftWhenShown) {
    Main::CreateTextCaches();
    ASSERT_NE(Main::TextCache(Main::kFpsTextCache), nullptr);
    ASSERT_NE(Main::TextCache(Main::kSmallTextCache), nullptr);
    EXPECT_EQ(Main::TextCache(Main::kMediumTextCache)->Font().lfHeight, 14);
    const LOGFONTA logical = JapaneseFont(16);
    HFONT font = CreateFontIndirectA(&logical);
    ASSERT_NE(font, nullptr);

    const int32_t textures = TextureRegistry().count;
    CFrameSteps steps;
    steps.drawScene = [] { Device().ClearAll(); };
    steps.drawFpsLine = [&] { Main::DrawFpsLine(" FPS  25.000: COS  0: fief 3.2%", font); };
    for (const bool shown : {false, true}) {
        SCOPED_TRACE(shown);
        steps.showFps = shown;
        RenderFrame(steps);
        UINT w = 0, h = 0;
        const RECT lit = Lit(SePresentedFrame(Device().Get(), &w, &h));
        if (!shown) {
            EXPECT_LT(lit.right, lit.left);
            continue;
        }
        // White text in the top 16 rows, starting after the leading blank.
        EXPECT_GE(lit.left, 8);
        EXPECT_LT(lit.left, 16);
        EXPECT_GE(lit.top, 0);
        EXPECT_LT(lit.bottom, 16);
        EXPECT_GT(lit.right, 200);
        EXPECT_LT(lit.right, 31 * 8);
    }
    // Every character was ready: drawing made no texture.
    EXPECT_EQ(TextureRegistry().count, textures);
    Main::ReleaseTextCaches();
    EXPECT_EQ(Main::TextCache(Main::kFpsTextCache), nullptr);
    EXPECT_LT(TextureRegistry().count, textures);
    DeleteObject(font);
}

}  // namespace
