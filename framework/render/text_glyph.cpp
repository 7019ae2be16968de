// Glyph bitmaps from GDI: the bit buffer, row pitch and the rendering of one character,
// with the blank and failure substitutions that keep every character's width. Raise
// sites 866xx.
#include <cstring>

#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/platform/cp932.h"
#include "framework/render/text.h"
#include "framework/window/device_context.h"

namespace Site = NVireo::NError::NSite::NGlyph;

namespace hoard::buffer2 {

void bit::Resize(uint32_t bytes) { bytes_.assign(bytes, 0); }

}  // namespace hoard::buffer2

namespace NVireo::NFont::NBuffer {

namespace {

using NVireo::NError::kSite;

// The character code GDI takes: lead byte x 256 + trail byte, or the byte.
UINT CodeOf(const char* character) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(character);
    if (NCp932::CharacterLength(character) == 2) return UINT{bytes[0]} * 256u + bytes[1];
    return bytes[0];
}

// The blanks that are never asked for pixels, and what they borrow their size from.
UINT SubstituteOf(UINT code) {
    static const UINT doubleSpace = CodeOf("　");
    static const UINT doubleRing = CodeOf("〇");
    if (code == ' ' || code == '\t') return 'A';
    if (code == doubleSpace) return doubleRing;
    return 0;
}

void Fatal(uint32_t site, const char* call) {
    ::RecordSystemError();
    Raise(kSite, site, call);
}

}  // namespace

const MAT2& IdentityMatrix() {
    static const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    return identity;
}

uint32_t RowPitch(uint32_t width) {
    const uint32_t bytes = (width + 7) / 8;
    return (bytes + 3) / 4 * 4;
}

bool CMonochrome::Pixel(uint32_t column, uint32_t row) const {
    if (column >= width || row >= height) return false;
    const uint32_t index = row * pitch + column / 8;
    if (index >= Size()) return false;
    return (Data()[index] & (0x80u >> (column % 8))) != 0;
}

bool CMonochrome::Render(const char* character, HFONT font, const MAT2& matrix) {
    SE_MARK();
    code = CodeOf(character);
    width = height = pitch = 0;
    glyph = GLYPHMETRICS{};
    Resize(0);

    NVireo::NDeviceContext::CCompatriot context;
    if (context.dc == nullptr) return false;
    if (SelectObject(context.dc, font) == nullptr) {
        Fatal(Site::kSelectObject, "SelectObject");
        return false;
    }
    if (!GetTextMetricsA(context.dc, &textMetrics)) {
        Fatal(Site::kTextMetrics, "GetTextMetricsA");
        return false;
    }

    // Blanks take the size of their substitute; a character GDI cannot render is asked
    // once more, then shown blank in the size of "A" or "〇".
    UINT asked = code;
    bool blank = false;
    if (const UINT substitute = SubstituteOf(code)) {
        asked = substitute;
        blank = true;
    }
    DWORD size = GetGlyphOutlineA(context.dc, asked, GGO_BITMAP, &glyph, 0, nullptr, &matrix);
    if (size == GDI_ERROR && !blank) {
        size = GetGlyphOutlineA(context.dc, asked, GGO_BITMAP, &glyph, 0, nullptr, &matrix);
        if (size == GDI_ERROR) {
            asked = SubstituteOf(code > 0xFF ? CodeOf("　") : ' ');
            blank = true;
            size = GetGlyphOutlineA(context.dc, asked, GGO_BITMAP, &glyph, 0, nullptr, &matrix);
        }
    }
    if (size == GDI_ERROR) {
        char message[48];
        std::snprintf(message, sizeof message, "GetGlyphOutlineA code=0x%x", asked);
        Raise(kSite, Site::kGlyphSize, message);
        return false;
    }
    width = glyph.gmBlackBoxX;
    height = glyph.gmBlackBoxY;
    pitch = RowPitch(width);
    Resize(pitch * height);
    // A glyph without pixels (size 0) stays blank in its own size.
    if (blank || size == 0) return true;
    if (size > Size()) Resize(size);
    if (GetGlyphOutlineA(context.dc, asked, GGO_BITMAP, &glyph, Size(), Data(), &matrix) ==
        GDI_ERROR) {
        char message[48];
        std::snprintf(message, sizeof message, "GetGlyphOutlineA code=0x%x", asked);
        Raise(kSite, Site::kGlyphBits, message);
        return false;
    }
    return true;
}

}  // namespace NVireo::NFont::NBuffer
