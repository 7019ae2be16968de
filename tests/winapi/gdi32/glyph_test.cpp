// gdi32 fonts and glyphs: the font a Japanese LOGFONTA resolves to, GDI's metrics for
// positive and negative heights, GGO_BITMAP bitmaps and their metrics, the blank answer
// for a space and the failure for codes that are no character.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "backend/cp932.h"
#include "support/test_support.h"

namespace {

const MAT2 kIdentity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};

LOGFONTA JapaneseFont(LONG height, LONG weight = FW_DONTCARE) {
    LOGFONTA font{};
    font.lfHeight = height;
    font.lfWeight = weight;
    font.lfCharSet = SHIFTJIS_CHARSET;
    font.lfPitchAndFamily = FF_MODERN;
    return font;
}

// A memory DC with a font selected, both given back at the end of the scope.
class CFontDc {
public:
    explicit CFontDc(const LOGFONTA& logical) {
        font_ = CreateFontIndirectA(&logical);
        dc_ = CreateCompatibleDC(nullptr);
        EXPECT_NE(font_, nullptr);
        EXPECT_NE(dc_, nullptr);
        previous_ = SelectObject(dc_, font_);
        EXPECT_NE(previous_, nullptr);
    }
    ~CFontDc() {
        SelectObject(dc_, previous_);
        EXPECT_TRUE(DeleteObject(font_));
        EXPECT_TRUE(DeleteDC(dc_));
    }
    CFontDc(const CFontDc&) = delete;
    CFontDc& operator=(const CFontDc&) = delete;

    HDC dc() const { return dc_; }
    HFONT font() const { return font_; }
    TEXTMETRICA Metrics() const {
        TEXTMETRICA metrics{};
        EXPECT_TRUE(GetTextMetricsA(dc_, &metrics));
        return metrics;
    }
    GLYPHMETRICS GlyphMetrics(UINT code) const {
        GLYPHMETRICS metrics{};
        EXPECT_NE(GetGlyphOutlineA(dc_, code, GGO_METRICS, &metrics, 0, nullptr, &kIdentity),
                  GDI_ERROR);
        return metrics;
    }

private:
    HFONT font_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

struct CBitmap {
    DWORD size = 0;
    GLYPHMETRICS metrics{};
    std::vector<BYTE> bits;
};

// Asks the size, then the bitmap, as the text renderer does.
CBitmap FetchBitmap(HDC dc, UINT code) {
    CBitmap bitmap;
    GLYPHMETRICS sizing{};
    bitmap.size = GetGlyphOutlineA(dc, code, GGO_BITMAP, &sizing, 0, nullptr, &kIdentity);
    EXPECT_NE(bitmap.size, GDI_ERROR) << std::hex << code;
    if (bitmap.size == GDI_ERROR || bitmap.size == 0) return bitmap;
    bitmap.bits.assign(bitmap.size + 8, 0xCD);  // guard bytes after the bitmap
    const DWORD written = GetGlyphOutlineA(dc, code, GGO_BITMAP, &bitmap.metrics, bitmap.size,
                                           bitmap.bits.data(), &kIdentity);
    EXPECT_EQ(written, bitmap.size) << std::hex << code;
    EXPECT_EQ(std::memcmp(&sizing, &bitmap.metrics, sizeof sizing), 0) << std::hex << code;
    for (size_t i = bitmap.size; i < bitmap.bits.size(); ++i) EXPECT_EQ(bitmap.bits[i], 0xCD);
    bitmap.bits.resize(bitmap.size);
    return bitmap;
}

size_t InkedPixels(const CBitmap& bitmap) {
    size_t count = 0;
    for (BYTE b : bitmap.bits) count += static_cast<size_t>(__builtin_popcount(b));
    return count;
}

TEST(Gdi32Font, JapaneseFaceChosenByFontconfigCoversKana) {
    CFontDc font(JapaneseFont(16));
    char name[LF_FACESIZE] = {};
    const int length = GetTextFaceA(font.dc(), sizeof name, name);
    ASSERT_GT(length, 0);
    EXPECT_EQ(static_cast<size_t>(length), std::strlen(name));
    EXPECT_EQ(GetTextFaceA(font.dc(), 0, nullptr), length + 1);
    // The name is code page 932; fontconfig knows the face by its UTF-8 name.
    const std::string family = winapi::backend::Cp932TextToUtf8(name);
    const std::string listed =
        Capture("fc-list " + Quote(":family=" + family + ":charset=3042 518d") + " family");
    EXPECT_FALSE(listed.empty()) << family << " does not cover hiragana and kanji";
}

TEST(Gdi32Font, ObjectAnswersItsLogfontAndDeletionIsFinal) {
    LOGFONTA logical = JapaneseFont(14);
    std::strcpy(logical.lfFaceName, "nothing-like-this");  // falls back, as GDI's mapper does
    HFONT font = CreateFontIndirectA(&logical);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(GetObjectA(font, 0, nullptr), static_cast<int>(sizeof(LOGFONTA)));
    LOGFONTA copy{};
    EXPECT_EQ(GetObjectA(font, sizeof copy, &copy), static_cast<int>(sizeof(LOGFONTA)));
    EXPECT_EQ(std::memcmp(&copy, &logical, sizeof copy), 0);
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_FALSE(DeleteObject(font));
    EXPECT_EQ(GetObjectA(font, sizeof copy, &copy), 0);
    // Stock objects survive DeleteObject.
    HGDIOBJ white = GetStockObject(WHITE_BRUSH);
    EXPECT_TRUE(DeleteObject(white));
    EXPECT_EQ(GetStockObject(WHITE_BRUSH), white);
}

TEST(Gdi32Font, DeletingTheSelectedFontLeavesTheDcUsable) {
    HDC dc = CreateCompatibleDC(nullptr);
    const LOGFONTA logical = JapaneseFont(24);
    HFONT font = CreateFontIndirectA(&logical);
    HGDIOBJ stock = SelectObject(dc, font);
    ASSERT_NE(stock, nullptr);
    EXPECT_TRUE(DeleteObject(font));
    TEXTMETRICA metrics{};
    EXPECT_TRUE(GetTextMetricsA(dc, &metrics));
    EXPECT_EQ(metrics.tmHeight, 24);
    GLYPHMETRICS glyph{};
    EXPECT_GT(GetGlyphOutlineA(dc, 0x82A0, GGO_BITMAP, &glyph, 0, nullptr, &kIdentity), 0u);
    EXPECT_EQ(SelectObject(dc, stock), font);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
}

TEST(Gdi32Font, UnsupportedRequestsAreRefused) {
    struct Case {
        const char* what;
        void (*change)(LOGFONTA&);
    } cases[] = {
        {"escapement", [](LOGFONTA& f) { f.lfEscapement = 900; }},
        {"underline", [](LOGFONTA& f) { f.lfUnderline = 1; }},
        {"character set", [](LOGFONTA& f) { f.lfCharSet = 0x86; }},
        {"height", [](LOGFONTA& f) { f.lfHeight = -100000; }},
    };
    for (const auto& c : cases) {
        LOGFONTA logical = JapaneseFont(16);
        c.change(logical);
        SetLastError(0);
        EXPECT_EQ(CreateFontIndirectA(&logical), nullptr) << c.what;
        EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED) << c.what;
    }
}

TEST(Gdi32Metrics, HeightsFollowGdiMeaningOfLfHeight) {
    for (LONG height : {12, 13, 16, 24}) {
        SCOPED_TRACE(height);
        CFontDc cell(JapaneseFont(height));
        const TEXTMETRICA positive = cell.Metrics();
        EXPECT_EQ(positive.tmHeight, height);
        EXPECT_EQ(positive.tmAscent + positive.tmDescent, height);
        EXPECT_GT(positive.tmAscent, positive.tmDescent);
        EXPECT_GT(positive.tmDescent, 0);
        EXPECT_GE(positive.tmInternalLeading, 0);
        EXPECT_EQ(positive.tmCharSet, SHIFTJIS_CHARSET);
        EXPECT_EQ(positive.tmPitchAndFamily & 0xF0, FF_MODERN);
        EXPECT_EQ(positive.tmPitchAndFamily & TMPF_FIXED_PITCH, 0) << "a monospace face";
        EXPECT_EQ(positive.tmMaxCharWidth, 2 * positive.tmAveCharWidth);

        // Negative: the em is the height; the cell is at least as tall.
        CFontDc em(JapaneseFont(-height));
        const TEXTMETRICA negative = em.Metrics();
        EXPECT_EQ(negative.tmHeight - negative.tmInternalLeading, height);
        EXPECT_EQ(negative.tmAscent + negative.tmDescent, negative.tmHeight);
        EXPECT_GE(negative.tmHeight, positive.tmHeight);
    }
    // Height 0 is a default size, not an empty font.
    CFontDc defaulted(JapaneseFont(0));
    EXPECT_GT(defaulted.Metrics().tmHeight, 8);
}

TEST(Gdi32Metrics, HalfWidthCellIsHalfAFullWidthCell) {
    for (LONG height : {12, 13, 16, 24, -13, -15}) {
        SCOPED_TRACE(height);
        CFontDc font(JapaneseFont(height));
        const TEXTMETRICA metrics = font.Metrics();
        const short half = font.GlyphMetrics('A').gmCellIncX;
        EXPECT_EQ(half, metrics.tmAveCharWidth);
        EXPECT_EQ(font.GlyphMetrics('1').gmCellIncX, half);
        EXPECT_EQ(font.GlyphMetrics(0xB1).gmCellIncX, half);      // half-width katakana
        for (UINT full : {0x82A0u, 0x8DC4u, 0x8140u, 0x8250u}) {  // あ 再 (space) ０
            EXPECT_EQ(font.GlyphMetrics(full).gmCellIncX, 2 * half) << std::hex << full;
            EXPECT_EQ(font.GlyphMetrics(full).gmCellIncY, 0);
        }
    }
}

TEST(Gdi32Glyph, BitmapsAreMsbFirstRowsPaddedToFourBytesWithinTheCell) {
    const UINT codes[] = {
        'A',          'g',   'W', '|', 0x82A0 /* あ */, 0x8DC4 /* 再 */, 0x90B6 /* 生 */,
        0xB1 /* ｱ */, 0x8250 /* ０ */};
    for (LONG height : {12, 16, 24, -30}) {
        CFontDc font(JapaneseFont(height));
        const TEXTMETRICA text = font.Metrics();
        for (UINT code : codes) {
            SCOPED_TRACE(testing::Message() << "height " << height << " code " << std::hex << code);
            const CBitmap bitmap = FetchBitmap(font.dc(), code);
            const GLYPHMETRICS& m = bitmap.metrics;
            ASSERT_GT(bitmap.size, 0u);
            const DWORD stride = (m.gmBlackBoxX + 31) / 32 * 4;
            EXPECT_EQ(stride % 4, 0u);
            EXPECT_EQ(bitmap.size, stride * m.gmBlackBoxY);
            EXPECT_GT(InkedPixels(bitmap), 0u);
            // The bits past the black box in each row are clear.
            for (UINT row = 0; row < m.gmBlackBoxY; ++row) {
                for (DWORD column = m.gmBlackBoxX; column < stride * 8; ++column) {
                    const BYTE byte = bitmap.bits[row * stride + column / 8];
                    EXPECT_EQ(byte & (0x80 >> (column % 8)), 0) << "row " << row;
                }
            }
            // The black box is tight: ink touches each of its four edges.
            const auto inked = [&](UINT x, UINT y) {
                return (bitmap.bits[y * stride + x / 8] & (0x80 >> (x % 8))) != 0;
            };
            bool top = false, bottom = false, left = false, right = false;
            for (UINT x = 0; x < m.gmBlackBoxX; ++x) {
                top = top || inked(x, 0);
                bottom = bottom || inked(x, m.gmBlackBoxY - 1);
            }
            for (UINT y = 0; y < m.gmBlackBoxY; ++y) {
                left = left || inked(0, y);
                right = right || inked(m.gmBlackBoxX - 1, y);
            }
            EXPECT_TRUE(top && bottom && left && right);
            // The black box lies within the character cell.
            EXPECT_GE(m.gmptGlyphOrigin.x, 0);
            EXPECT_LE(m.gmptGlyphOrigin.x + static_cast<LONG>(m.gmBlackBoxX), m.gmCellIncX);
            EXPECT_LE(m.gmptGlyphOrigin.y, text.tmAscent);
            EXPECT_GE(m.gmptGlyphOrigin.y - static_cast<LONG>(m.gmBlackBoxY), -text.tmDescent);
        }
    }
}

TEST(Gdi32Glyph, LeftmostPixelIsTheMostSignificantBit) {
    // "|" is one vertical stroke at the left of its black box; "L" has its stem at the
    // left and its foot reaching right along the bottom row only.
    CFontDc font(JapaneseFont(24));
    const CBitmap bar = FetchBitmap(font.dc(), '|');
    ASSERT_GT(bar.size, 0u);
    EXPECT_NE(bar.bits[0] & 0x80, 0) << "the stroke starts at the box's left edge";
    const CBitmap ell = FetchBitmap(font.dc(), 'L');
    ASSERT_GT(ell.size, 0u);
    const DWORD ellStride = ell.size / ell.metrics.gmBlackBoxY;
    const BYTE* top = ell.bits.data();
    const BYTE* bottom = ell.bits.data() + (ell.metrics.gmBlackBoxY - 1) * ellStride;
    EXPECT_NE(top[0] & 0x80, 0);
    const UINT last = ell.metrics.gmBlackBoxX - 1;
    EXPECT_NE(bottom[last / 8] & (0x80 >> (last % 8)), 0) << "the foot reaches the right edge";
    EXPECT_EQ(top[last / 8] & (0x80 >> (last % 8)), 0) << "the top right is empty";
}

TEST(Gdi32Glyph, BufferTooSmallFailsAndLeavesMetricsAlone) {
    CFontDc font(JapaneseFont(16));
    GLYPHMETRICS metrics{};
    const DWORD size =
        GetGlyphOutlineA(font.dc(), 0x82A0, GGO_BITMAP, &metrics, 0, nullptr, &kIdentity);
    ASSERT_GT(size, 4u);
    std::vector<BYTE> buffer(size - 1, 0);
    GLYPHMETRICS untouched;
    std::memset(&untouched, 0xAB, sizeof untouched);
    EXPECT_EQ(GetGlyphOutlineA(font.dc(), 0x82A0, GGO_BITMAP, &untouched, size - 1, buffer.data(),
                               &kIdentity),
              GDI_ERROR);
    EXPECT_EQ(untouched.gmBlackBoxX, 0xABABABABu);
}

TEST(Gdi32Glyph, BlankGlyphsAnswerSizeZeroWithAOnePixelBox) {
    CFontDc font(JapaneseFont(16));
    const short half = font.GlyphMetrics('A').gmCellIncX;
    struct Case {
        UINT code;
        short cell;
    } cases[] = {{' ', half}, {'\t', half}, {0x8140 /* ideographic space */, short(2 * half)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        GLYPHMETRICS metrics{};
        EXPECT_EQ(GetGlyphOutlineA(font.dc(), c.code, GGO_BITMAP, &metrics, 0, nullptr, &kIdentity),
                  0u);
        EXPECT_EQ(metrics.gmBlackBoxX, 1u);
        EXPECT_EQ(metrics.gmBlackBoxY, 1u);
        EXPECT_EQ(metrics.gmCellIncX, c.cell);
        // Asked for the bitmap itself, a blank glyph fails, as GDI's does: the caller
        // draws the substitute it chose.
        DWORD buffer[4] = {};
        EXPECT_EQ(GetGlyphOutlineA(font.dc(), c.code, GGO_BITMAP, &metrics, sizeof buffer, buffer,
                                   &kIdentity),
                  GDI_ERROR);
    }
}

TEST(Gdi32Glyph, CodesThatAreNoCharacterFail) {
    CFontDc font(JapaneseFont(16));
    const UINT codes[] = {
        0x82,    // a lead byte alone
        0x8220,  // a lead byte with a trail byte out of range
        0x8540,  // an unassigned row
        0xEB40,  // past the assigned kanji
        0x80,    // a single byte code page 932 leaves undefined
    };
    for (UINT code : codes) {
        GLYPHMETRICS metrics{};
        EXPECT_EQ(GetGlyphOutlineA(font.dc(), code, GGO_BITMAP, &metrics, 0, nullptr, &kIdentity),
                  GDI_ERROR)
            << std::hex << code;
    }
}

TEST(Gdi32Glyph, BytesAboveTheCharacterAreIgnored) {
    // A single-byte code with a byte above it that is no lead byte, and a double-byte
    // code with more bytes above, answer as the character itself.
    CFontDc font(JapaneseFont(16));
    const CBitmap a = FetchBitmap(font.dc(), 'A');
    const CBitmap a2 = FetchBitmap(font.dc(), 0xCC8041);
    EXPECT_EQ(a.bits, a2.bits);
    EXPECT_EQ(std::memcmp(&a.metrics, &a2.metrics, sizeof a.metrics), 0);
    const CBitmap kana = FetchBitmap(font.dc(), 0x82A0);
    const CBitmap kana2 = FetchBitmap(font.dc(), 0xDEAD82A0);
    EXPECT_EQ(kana.bits, kana2.bits);
}

TEST(Gdi32Glyph, OnlyTheIdentityMatrixAndKnownFormatsAreAccepted) {
    CFontDc font(JapaneseFont(16));
    GLYPHMETRICS metrics{};
    EXPECT_EQ(GetGlyphOutlineA(font.dc(), 'A', GGO_BITMAP, &metrics, 0, nullptr, nullptr),
              GDI_ERROR);
    const MAT2 doubled = {{0, 2}, {0, 0}, {0, 0}, {0, 2}};
    EXPECT_EQ(GetGlyphOutlineA(font.dc(), 'A', GGO_BITMAP, &metrics, 0, nullptr, &doubled),
              GDI_ERROR);
    EXPECT_EQ(
        GetGlyphOutlineA(font.dc(), 'A', 2 /* GGO_NATIVE */, &metrics, 0, nullptr, &kIdentity),
        GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(nullptr, 'A', GGO_BITMAP, &metrics, 0, nullptr, &kIdentity),
              GDI_ERROR);
}

TEST(Gdi32Glyph, BoldFontsHaveHeavierStrokes) {
    CFontDc normal(JapaneseFont(24, FW_NORMAL));
    CFontDc bold(JapaneseFont(24, FW_BOLD));
    for (UINT code : {UINT('A'), 0x8DC4u}) {
        EXPECT_GT(InkedPixels(FetchBitmap(bold.dc(), code)),
                  InkedPixels(FetchBitmap(normal.dc(), code)))
            << std::hex << code;
    }
}

}  // namespace
