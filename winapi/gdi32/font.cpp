// gdi32 fonts: stands in for the font mapper and the TrueType rasteriser behind
// CreateFontIndirectA, GetTextMetricsA and GetGlyphOutlineA.
// Supports: faces found through fontconfig (a face name if given, else the family and
// pitch: FF_MODERN or FIXED_PITCH ask for monospace, IPAGothic first for Japanese text,
// FF_ROMAN for serif, others for sans-serif), with Japanese coverage required for
// SHIFTJIS_CHARSET and DEFAULT_CHARSET (the program's code page is 932): the first face
// in fontconfig's order with the kana, kanji and punctuation of the interface, so
// IPAGothic from fonts-ipafont-gothic, else Noto Sans CJK or any other. hostdesktop.h's
// MissingFont asks the same before the program starts. Heights as GDI means them:
// lfHeight > 0 is the cell height (the face's Windows ascent + descent scaled to it), < 0
// the em height, 0 a 16-pixel cell. lfWidth sets the width of a half-width character.
// Weights from 600 up are emboldened and italics slanted when the face has no such style
// of its own. Glyphs are hinted and rendered 1 bit per pixel by FreeType. Characters are
// code page 932 codes, converted with glibc iconv.
// Does not support: escapement or orientation, underline, strike-out, character sets
// other than SHIFTJIS_CHARSET and DEFAULT_CHARSET, sizes beyond 2048 pixels (refused
// with ERROR_NOT_SUPPORTED), font linking (a character the face lacks shows the face's
// missing-glyph box).
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_SIZES_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include <hostdesktop.h>
#include <iconv.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "backend/cp932.h"
#include "backend/syserror.h"
#include "gdi32/gdi.h"

namespace winapi::gdi32 {

std::recursive_mutex& Lock() {
    static std::recursive_mutex lock;
    return lock;
}

class CFontFace {
public:
    FT_Face face = nullptr;  // shared between sizes; kept for the process
    FT_Size size = nullptr;  // this font's own size object
    FT_UInt unitsPerEm = 0;
    FT_Pos halfAdvance = 0;  // design advance of a half-width character
    int ppemX = 0;
    int ppemY = 0;
    LONG height = 0, ascent = 0, descent = 0, internalLeading = 0, externalLeading = 0;
    LONG aveWidth = 0, maxWidth = 0;
    bool embolden = false;
    bool slant = false;
    bool fixedPitch = false;
    std::string family;

    CFontFace() = default;
    CFontFace(const CFontFace&) = delete;
    CFontFace& operator=(const CFontFace&) = delete;
    ~CFontFace() {
        std::lock_guard lock(Lock());
        if (size) FT_Done_Size(size);
    }

    // Makes this font's size current on the shared face.
    bool Activate() const { return FT_Activate_Size(size) == 0; }

    // The cell increment GDI reports for a glyph: half-width and full-width characters
    // of a monospace face are exactly one and two average widths.
    LONG CellIncrement(FT_UInt index) const {
        FT_Fixed advance = 0;
        if (FT_Get_Advance(face, index, FT_LOAD_NO_SCALE, &advance) != 0) return aveWidth;
        LONG cell;
        if (advance == halfAdvance) {
            cell = aveWidth;
        } else if (advance == 2 * halfAdvance) {
            cell = 2 * aveWidth;
        } else {
            cell =
                static_cast<LONG>(std::lround(static_cast<double>(advance) * ppemX / unitsPerEm));
        }
        return cell + (embolden ? 1 : 0);
    }
};

namespace {

FT_Library Library() {
    static FT_Library library = [] {
        FT_Library made = nullptr;
        if (FT_Init_FreeType(&made) != 0) made = nullptr;
        return made;
    }();
    return library;
}

// Faces by file and index, opened once.
FT_Face OpenFace(const std::string& file, int index) {
    static std::map<std::pair<std::string, int>, FT_Face> faces;
    const auto key = std::make_pair(file, index);
    if (auto found = faces.find(key); found != faces.end()) return found->second;
    FT_Library library = Library();
    if (library == nullptr) return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(library, file.c_str(), index, &face) != 0) return nullptr;
    if (!FT_IS_SCALABLE(face)) {
        FT_Done_Face(face);
        return nullptr;
    }
    faces[key] = face;
    return face;
}

struct CMatch {
    std::string file;
    int index = 0;
    std::string family;
    bool bold = false;    // the face has a bold style of its own
    bool italic = false;  // the face is italic or oblique
};

// The family name in the language we prefer (Japanese for a Japanese font, as a
// Japanese Windows names its faces), else the first one.
std::string FamilyOf(FcPattern* font, bool japanese) {
    FcChar8* first = nullptr;
    FcPatternGetString(font, FC_FAMILY, 0, &first);
    if (japanese) {
        for (int i = 0;; ++i) {
            FcChar8* lang = nullptr;
            FcChar8* family = nullptr;
            if (FcPatternGetString(font, FC_FAMILYLANG, i, &lang) != FcResultMatch ||
                FcPatternGetString(font, FC_FAMILY, i, &family) != FcResultMatch) {
                break;
            }
            if (std::strcmp(reinterpret_cast<const char*>(lang), "ja") == 0) {
                return reinterpret_cast<const char*>(family);
            }
        }
    }
    return first ? reinterpret_cast<const char*>(first) : std::string();
}

// A face for Japanese text must have what the program's texts are written in: hiragana,
// katakana and the long vowel mark, kanji, and the full-width punctuation.
bool CoversInterface(FcPattern* candidate) {
    static constexpr FcChar32 kCharacters[] = {
        0x3042,  // あ
        0x30A2,  // ア
        0x30FC,  // ー
        0x518D,  // 再
        0x6642,  // 時
        0x3001,  // 、
        0x3002,  // 。
        0xFF08,  // （
    };
    FcCharSet* charset = nullptr;
    if (FcPatternGetCharSet(candidate, FC_CHARSET, 0, &charset) != FcResultMatch) return false;
    for (const FcChar32 character : kCharacters) {
        if (!FcCharSetHasChar(charset, character)) return false;
    }
    return true;
}

bool MatchFont(const LOGFONTA& font, bool japanese, CMatch& match) {
    static bool ready = FcInit() == FcTrue;
    if (!ready) return false;
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) return false;
    const std::string face = backend::Cp932TextToUtf8(
        std::string_view(font.lfFaceName, strnlen(font.lfFaceName, LF_FACESIZE)));
    const int family = font.lfPitchAndFamily & 0xF0;
    const bool fixed = (font.lfPitchAndFamily & 0x03) == FIXED_PITCH;
    if (!face.empty()) {
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
    }
    const bool monospace = family == FF_MODERN || fixed;
    // The face the interface was drawn with; any other with the coverage comes after it.
    if (japanese && monospace) {
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("IPAGothic"));
    }
    const char* generic = monospace ? "monospace" : family == FF_ROMAN ? "serif" : "sans-serif";
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(generic));
    if (japanese) FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    if (font.lfWeight != FW_DONTCARE) {
        FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(font.lfWeight));
    }
    if (font.lfItalic) FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ITALIC);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);

    FcResult result = FcResultNoMatch;
    FcFontSet* fonts = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
    bool found = false;
    for (int i = 0; fonts != nullptr && i < fonts->nfont && !found; ++i) {
        FcPattern* candidate = fonts->fonts[i];
        FcChar8* file = nullptr;
        FcBool scalable = FcFalse;
        if (FcPatternGetString(candidate, FC_FILE, 0, &file) != FcResultMatch) continue;
        if (FcPatternGetBool(candidate, FC_SCALABLE, 0, &scalable) == FcResultMatch && !scalable) {
            continue;
        }
        if (japanese && !CoversInterface(candidate)) continue;
        int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
        FcPatternGetInteger(candidate, FC_INDEX, 0, &index);
        FcPatternGetInteger(candidate, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(candidate, FC_SLANT, 0, &slant);
        match.file = reinterpret_cast<const char*>(file);
        match.index = index;
        match.family = FamilyOf(candidate, japanese);
        match.bold = weight >= FC_WEIGHT_DEMIBOLD;
        match.italic = slant != FC_SLANT_ROMAN;
        found = true;
    }
    if (fonts) FcFontSetDestroy(fonts);
    FcPatternDestroy(pattern);
    return found;
}

// Glyph bitmaps grow with the square of the size; larger fonts are refused.
constexpr int64_t kLargestHeight = 2048;

LONG Scale(double units, double pixels, double unitsPerEm) {
    return static_cast<LONG>(std::lround(units * pixels / unitsPerEm));
}

}  // namespace

std::shared_ptr<const CFontFace> RealiseFont(const LOGFONTA& font) {
    std::lock_guard lock(Lock());
    if (font.lfEscapement != 0 || font.lfOrientation != 0 || font.lfUnderline || font.lfStrikeOut ||
        std::abs(static_cast<int64_t>(font.lfHeight)) > kLargestHeight ||
        std::abs(static_cast<int64_t>(font.lfWidth)) > kLargestHeight ||
        (font.lfCharSet != SHIFTJIS_CHARSET && font.lfCharSet != DEFAULT_CHARSET)) {
        backend::WarnUnsupported(
            "CreateFontIndirectA with escapement, orientation, underline, strike-out, a size "
            "beyond 2048 pixels or a character set other than SHIFTJIS_CHARSET and "
            "DEFAULT_CHARSET");
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    CMatch match;
    if (!MatchFont(font, true, match)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    FT_Face face = OpenFace(match.file, match.index);
    if (face == nullptr) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    auto made = std::make_shared<CFontFace>();
    made->face = face;
    made->family = match.family;
    made->unitsPerEm = face->units_per_EM;
    made->embolden = font.lfWeight >= FW_SEMIBOLD && !match.bold;
    made->slant = font.lfItalic && !match.italic;
    if (FT_New_Size(face, &made->size) != 0) {
        made->size = nullptr;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }

    const double em = face->units_per_EM;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    double winAscent = os2 ? os2->usWinAscent : face->ascender;
    double winDescent = os2 ? os2->usWinDescent : -face->descender;
    if (winAscent + winDescent <= 0) {
        winAscent = face->ascender;
        winDescent = -face->descender;
    }
    if (winAscent + winDescent <= 0) {
        winAscent = em * 0.88;
        winDescent = em * 0.12;
    }
    const double cell = winAscent + winDescent;

    LONG lfHeight = font.lfHeight == 0 ? 16 : font.lfHeight;
    if (lfHeight > 0) {
        made->ppemY = std::max(1, static_cast<int>(std::lround(lfHeight * em / cell)));
        made->height = lfHeight;
        made->ascent = static_cast<LONG>(std::lround(lfHeight * winAscent / cell));
        made->descent = lfHeight - made->ascent;
    } else {
        made->ppemY = static_cast<int>(-lfHeight);
        made->ascent = Scale(winAscent, made->ppemY, em);
        made->descent = Scale(winDescent, made->ppemY, em);
        made->height = made->ascent + made->descent;
    }
    made->internalLeading = std::max<LONG>(0, made->height - made->ppemY);
    if (hhea) {
        const double gap = hhea->Line_Gap - (cell - (hhea->Ascender - hhea->Descender));
        made->externalLeading = std::max<LONG>(0, Scale(gap, made->ppemY, em));
    }

    // A half-width character's design advance: that of '0', else half the em.
    made->halfAdvance = static_cast<FT_Pos>(em / 2);
    if (FT_UInt zero = FT_Get_Char_Index(face, '0')) {
        FT_Fixed advance = 0;
        if (FT_Get_Advance(face, zero, FT_LOAD_NO_SCALE, &advance) == 0 && advance > 0) {
            made->halfAdvance = advance;
        }
    }
    const LONG lfWidth = font.lfWidth < 0 ? -font.lfWidth : font.lfWidth;
    made->ppemX =
        lfWidth == 0 ? made->ppemY
                     : std::max(1, static_cast<int>(std::lround(lfWidth * em / made->halfAdvance)));
    made->aveWidth = std::max<LONG>(1, Scale(made->halfAdvance, made->ppemX, em));
    made->fixedPitch = (os2 && os2->panose[3] == 9) || FT_IS_FIXED_WIDTH(face) ||
                       face->max_advance_width <= 2 * made->halfAdvance;
    made->maxWidth =
        std::max<LONG>(2 * made->aveWidth, Scale(face->max_advance_width, made->ppemX, em));

    if (!made->Activate() || FT_Set_Pixel_Sizes(face, made->ppemX, made->ppemY) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return made;
}

const std::string& FamilyName(const CFontFace& face) { return face.family; }

}  // namespace winapi::gdi32

std::string hostdesktop::MissingFont() {
    using namespace winapi::gdi32;
    std::lock_guard lock(Lock());
    LOGFONTA font{};  // what the interface asks for
    font.lfCharSet = SHIFTJIS_CHARSET;
    font.lfPitchAndFamily = FF_MODERN;
    CMatch match;
    if (MatchFont(font, true, match) && OpenFace(match.file, match.index) != nullptr) return {};
    return "no font for Japanese text was found; install one with: sudo apt-get install "
           "fonts-ipafont-gothic (or fonts-noto-cjk)";
}

namespace winapi::gdi32 {

void FillTextMetrics(const CFontFace& face, const LOGFONTA& logical, TEXTMETRICA& metrics) {
    metrics = TEXTMETRICA{};
    metrics.tmHeight = face.height;
    metrics.tmAscent = face.ascent;
    metrics.tmDescent = face.descent;
    metrics.tmInternalLeading = face.internalLeading;
    metrics.tmExternalLeading = face.externalLeading;
    metrics.tmAveCharWidth = face.aveWidth;
    metrics.tmMaxCharWidth = face.maxWidth;
    metrics.tmWeight = logical.lfWeight == FW_DONTCARE ? FW_NORMAL : logical.lfWeight;
    metrics.tmOverhang = 0;
    metrics.tmDigitizedAspectX = 96;
    metrics.tmDigitizedAspectY = 96;
    metrics.tmFirstChar = 0x20;
    metrics.tmLastChar = 0xFF;
    metrics.tmDefaultChar = 0x1F;
    metrics.tmBreakChar = 0x20;
    metrics.tmItalic = logical.lfItalic ? 0xFF : 0;
    metrics.tmUnderlined = 0;
    metrics.tmStruckOut = 0;
    int family = logical.lfPitchAndFamily & 0xF0;
    if (family == FF_DONTCARE) family = face.fixedPitch ? FF_MODERN : FF_SWISS;
    metrics.tmPitchAndFamily = static_cast<BYTE>(family | TMPF_VECTOR | TMPF_TRUETYPE |
                                                 (face.fixedPitch ? 0 : TMPF_FIXED_PITCH));
    metrics.tmCharSet = SHIFTJIS_CHARSET;
}

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// The Unicode character of a code page 932 code as GetGlyphOutlineA reads it: two bytes
// when the second lowest byte is a lead byte, else the lowest byte alone; higher bytes
// are ignored. False for a code that is no character (a lone lead byte, a bad trail
// byte, an unassigned code).
bool CodePoint(UINT character, char32_t& codePoint) {
    char bytes[2];
    size_t length;
    const auto high = static_cast<unsigned char>(character >> 8);
    if (backend::IsCp932LeadByte(high)) {
        bytes[0] = static_cast<char>(high);
        bytes[1] = static_cast<char>(character & 0xFF);
        length = 2;
    } else {
        bytes[0] = static_cast<char>(character & 0xFF);
        length = 1;
    }
    // One descriptor per thread (it keeps state), closed when the thread ends.
    struct CConverter {
        iconv_t descriptor = iconv_open("UTF-32LE", "CP932");
        CConverter() = default;
        CConverter(const CConverter&) = delete;
        CConverter& operator=(const CConverter&) = delete;
        ~CConverter() {
            if (descriptor != kNoConverter) iconv_close(descriptor);
        }
    };
    thread_local CConverter perThread;
    iconv_t converter = perThread.descriptor;
    if (converter == kNoConverter) {
        backend::WarnUnsupported("GetGlyphOutlineA (iconv has no CP932 converter)");
        return false;
    }
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    char* in = bytes;
    size_t inLeft = length;
    unsigned char out[8];
    char* outPtr = reinterpret_cast<char*>(out);
    size_t outLeft = sizeof out;
    if (iconv(converter, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) ||
        inLeft != 0 || sizeof out - outLeft != 4) {
        return false;
    }
    codePoint = static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
    return true;
}

void MakeBlank(LONG cell, LONG left, LONG top, CGlyph& glyph) {
    glyph.blank = true;
    glyph.stride = 0;
    glyph.bits.clear();
    glyph.metrics.gmBlackBoxX = 1;
    glyph.metrics.gmBlackBoxY = 1;
    glyph.metrics.gmptGlyphOrigin = {left, top};
    glyph.metrics.gmCellIncX = static_cast<short>(cell);
    glyph.metrics.gmCellIncY = 0;
}

}  // namespace

bool RenderGlyph(const CFontFace& face, UINT character, CGlyph& glyph) {
    std::lock_guard lock(Lock());
    char32_t codePoint = 0;
    if (!CodePoint(character, codePoint)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    glyph = CGlyph{};
    if (!face.Activate()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    const FT_UInt index = FT_Get_Char_Index(face.face, codePoint);
    // Control characters (a tab) have no picture: they answer as a blank half-width cell.
    if (index == 0 && (codePoint < 0x20 || codePoint == 0x7F)) {
        MakeBlank(face.aveWidth, 0, 0, glyph);
        return true;
    }
    FT_GlyphSlot slot = face.face->glyph;
    if (FT_Load_Glyph(face.face, index, FT_LOAD_TARGET_MONO) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        if (face.slant) FT_GlyphSlot_Oblique(slot);
        if (face.embolden) FT_GlyphSlot_Embolden(slot);
    }
    if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const FT_Bitmap& bitmap = slot->bitmap;
    const unsigned width = bitmap.width;
    const unsigned rows = bitmap.rows;
    const bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
    if (!mono && bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    const auto on = [&](unsigned x, unsigned row) {
        const int pitch = bitmap.pitch;
        const unsigned char* source =
            pitch >= 0 ? bitmap.buffer + static_cast<size_t>(row) * pitch
                       : bitmap.buffer + static_cast<size_t>(rows - 1 - row) * -pitch;
        return mono ? (source[x / 8] & (0x80 >> (x % 8))) != 0 : source[x] >= 128;
    };
    // The black box is the smallest box around the ink, as GDI reports it; FreeType's
    // bitmap may carry empty rows or columns at its edges.
    unsigned left = width, right = 0, top = rows, bottom = 0;
    for (unsigned row = 0; row < rows; ++row) {
        for (unsigned x = 0; x < width; ++x) {
            if (!on(x, row)) continue;
            left = std::min(left, x);
            right = std::max(right, x + 1);
            top = std::min(top, row);
            bottom = std::max(bottom, row + 1);
        }
    }
    if (left >= right) {
        MakeBlank(face.CellIncrement(index), slot->bitmap_left, slot->bitmap_top, glyph);
        return true;
    }
    const unsigned boxWidth = right - left;
    const unsigned boxHeight = bottom - top;
    glyph.stride = (boxWidth + 31) / 32 * 4;
    glyph.bits.assign(static_cast<size_t>(glyph.stride) * boxHeight, 0);
    for (unsigned row = 0; row < boxHeight; ++row) {
        BYTE* target = glyph.bits.data() + static_cast<size_t>(row) * glyph.stride;
        for (unsigned x = 0; x < boxWidth; ++x) {
            if (on(left + x, top + row)) {
                target[x / 8] = static_cast<BYTE>(target[x / 8] | (0x80 >> (x % 8)));
            }
        }
    }
    glyph.metrics.gmBlackBoxX = boxWidth;
    glyph.metrics.gmBlackBoxY = boxHeight;
    glyph.metrics.gmptGlyphOrigin = {slot->bitmap_left + static_cast<LONG>(left),
                                     slot->bitmap_top - static_cast<LONG>(top)};
    glyph.metrics.gmCellIncX = static_cast<short>(face.CellIncrement(index));
    glyph.metrics.gmCellIncY = 0;
    return true;
}

}  // namespace winapi::gdi32
