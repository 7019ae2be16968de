// What the gdi32 service files share: the font faces, the object and DC tables, and the
// one glyph renderer that GetGlyphOutlineA and TextOutA both use.
#pragma once
#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace winapi::gdi32 {

// Every gdi32 call holds this lock: the tables are shared, and FreeType objects may be
// used by one thread at a time.
std::recursive_mutex& Lock();

// A realised font: a FreeType face at the pixel size the LOGFONTA asks for, and the
// metrics GDI reports for it. Immutable once made; shared by the DCs that select it.
class CFontFace;

struct CFont {
    LOGFONTA logical{};
    std::shared_ptr<const CFontFace> face;
};

struct CBrush {
    COLORREF color = 0;
    bool hollow = false;
};

// Realises a LOGFONTA (fontconfig match, FreeType face and size). Null, with the last
// error set, when it cannot.
std::shared_ptr<const CFontFace> RealiseFont(const LOGFONTA& font);

// The font, or brush, a handle stands for; null for any other handle.
std::shared_ptr<CFont> FontOf(HGDIOBJ handle);
std::shared_ptr<CBrush> BrushOf(HGDIOBJ handle);

// A device context.
struct CDeviceContext {
    HWND window = nullptr;  // null: a memory DC
    HGDIOBJ fontHandle = nullptr;
    std::shared_ptr<CFont> font;
    HGDIOBJ brushHandle = nullptr;
    std::shared_ptr<CBrush> brush;
    int backgroundMode = OPAQUE;
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF backgroundColor = RGB(255, 255, 255);
};
CDeviceContext* DcOf(HDC dc);

// One rendered glyph: GDI's metrics and the 1-bit rows (stride a multiple of 4).
struct CGlyph {
    GLYPHMETRICS metrics{};
    bool blank = false;  // no black pixels: size 0, a 1 x 1 black box
    unsigned stride = 0;
    std::vector<BYTE> bits;
};

// Renders a code page 932 character code (as GetGlyphOutlineA takes it). False, with
// the last error set, when the code is no code page 932 character.
bool RenderGlyph(const CFontFace& face, UINT character, CGlyph& glyph);
void FillTextMetrics(const CFontFace& face, const LOGFONTA& logical, TEXTMETRICA& metrics);
// The family name fontconfig gave the face (UTF-8).
const std::string& FamilyName(const CFontFace& face);

}  // namespace winapi::gdi32
