// Text on screen, one textured quad per character. Each character of a code page 932
// string is rendered once by GDI as a 1-bit glyph bitmap (GetGlyphOutlineA, GGO_BITMAP),
// copied into a small white-on-transparent texture, a chip, and drawn tinted by the
// texture factor, so one chip serves every colour. A character of a host name that
// code page 932 lacks (user-defined characters, lead byte 0xF0) is drawn as one "?"
// (NCp932::ShownText), never as a box. Two holders of chips:
// - a text line (NText::CLine) owns one chip per character of one string: captions,
//   labels, the help line's title;
// - a chip set (NText::NSet::CBasic) keeps one chip per distinct character and draws
//   any string through them: the frame-rate line, progress texts, description boxes.
// Chips are registered textures: after a device reset each renders its glyph again from
// the character and font it keeps. Main thread only.
#pragma once

#include <d3d8.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "framework/containers/nstring.h"
#include "framework/containers/set.h"
#include "framework/render/texture.h"

namespace hoard::buffer2 {

// A zero-filled byte buffer of a fixed size, the storage behind bit images.
class bit {
public:
    bit() = default;
    bit(const bit&) = delete;
    bit& operator=(const bit&) = delete;
    virtual ~bit() = default;

    // Drops the old contents; the new bytes are all 0.
    void Resize(uint32_t bytes);
    uint8_t* Data() { return bytes_.data(); }
    const uint8_t* Data() const { return bytes_.data(); }
    uint32_t Size() const { return static_cast<uint32_t>(bytes_.size()); }

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace hoard::buffer2

namespace NVireo::NFont::NBuffer {

// The identity transformation every glyph is rendered with.
const MAT2& IdentityMatrix();

// Bytes per row of a 1-bit image width pixels wide: ceil(width / 8) rounded up to a
// multiple of 4, as GDI lays out GGO_BITMAP rows.
uint32_t RowPitch(uint32_t width);

// A glyph image over a buffer B: its size, its glyph and font metrics, and the
// character it shows.
template <typename B>
class CFrame : public B {
public:
    uint32_t pitch = 0;  // bytes per row
    uint32_t width = 0;  // the black box
    uint32_t height = 0;
    GLYPHMETRICS glyph{};       // origin and cell increment of the character
    UINT code = 0;              // lead byte x 256 + trail byte, or the byte
    TEXTMETRICA textMetrics{};  // of the font it was rendered in

    // Renders one character (one byte, or two for a double-byte character) in font.
    virtual bool Render(const char* character, HFONT font, const MAT2& matrix) = 0;
};

// A 1-bit-per-pixel glyph bitmap, rows top first, the most significant bit of each byte
// the leftmost pixel.
class CMonochrome : public CFrame<hoard::buffer2::bit> {
public:
    // Asks GDI for the glyph's size and bitmap. The blanks " " and "\t" take the size of
    // "A", the double-byte space that of the double-byte "〇", with no pixels set, so
    // they keep their width. A character GDI cannot render is asked once more, then
    // shown blank in the size of "A" (single-byte) or "〇" (double-byte). Failing device
    // context and font calls are fatal (false when the report returns).
    bool Render(const char* character, HFONT font, const MAT2& matrix) override;

    // Whether the pixel at (column, row) is set; false outside the image.
    bool Pixel(uint32_t column, uint32_t row) const;
};

}  // namespace NVireo::NFont::NBuffer

namespace NVireo::NDirectX::N3D::NText {

// Characters of text, a double-byte character counting once.
uint32_t CountCharacters(const char* text);

// The font the program's texts use: height pixels (the cell height), the Shift-JIS
// character set, the modern family and no face name; every other field 0.
LOGFONTA JapaneseFont(LONG height);

namespace NChip {

// One corner of a chip's quad (D3DFVF_XYZRHW | D3DFVF_TEX1, 24 bytes).
struct CVertex {
    float x, y, z, rhw, u, v;
};

// One character rendered into a texture: the glyph's pixels opaque white, the rest
// transparent black, the baseline tmAscent rows below the top. The texture is the next
// power of two of the advance wide and of the line height tall (square when the device's
// aspect ratio limit asks for it), A8R8G8B8 on a 32-bit back buffer, A8L8 otherwise.
class CTexture : public NTexture::CBasic {
public:
    NVireo::NString::BBasic<char> character;  // one byte, or two for a double-byte one
    LOGFONTA font{};                          // what it was rendered with
    int32_t advance = 0;                      // the glyph's cell increment
    int32_t lineHeight = 0;                   // the font's tmHeight
    CVertex vertices[4]{};                    // top-left, top-right, bottom-right, bottom-left
    // The rows the quad shows, as fractions of the line height from its top: 0 and 1
    // show the whole character cell.
    float rowTop = 0.0f;
    float rowBottom = 1.0f;

    CTexture() = default;
    ~CTexture() override = default;

    // Renders character (its first character only) in fontHandle, whose LOGFONTA is
    // logical, and fills the texture. Fatal failures answer false.
    bool Render(const char* text, HFONT fontHandle, const LOGFONTA& logical);
    // Renders the stored character again in a font made from the stored LOGFONTA: after
    // a device reset.
    bool ReCreate() override;
    // The character.
    NVireo::NString::BBasic<char> Describe() const override;

    // Creates the texture for glyph's size and copies its pixels in; the vertices span
    // the whole texture at the origin.
    bool Fill(const NFont::NBuffer::CMonochrome& glyph);
    // Which rows of the character cell the quad shows (fractions of the line height, 0
    // top, 1 bottom): the first two vertices take top, the last two bottom. The quad
    // keeps its top-left corner and shrinks with the rows, so clipped text is cut, not
    // squeezed.
    void SetRows(float top, float bottom);
    // The quad's top-left corner at (x, y) (with the half-pixel offset, so a 1:1 draw
    // shows each texel once), its size the texture's width by the shown rows' height,
    // times scale; depth z.
    void Place(float x, float y, float scale, float z);
    // Sets the texture on stage 0, draws the quad as a fan of two triangles in the
    // current preset and unsets the texture.
    void Draw() const;
};

// An element of a chip set: the character, compared byte for byte, and its chip. Copies
// share the chip.
class CBasic {
public:
    NVireo::NString::BBasic<char> character;
    std::shared_ptr<CTexture> texture;

    CBasic() = default;
    explicit CBasic(const char* text, uint32_t length);
    bool operator<(const CBasic& other) const;
};

}  // namespace NChip

// A font handle several owners share; the last owner gives it back.
class CSharedFont {
public:
    explicit CSharedFont(HFONT made) : handle(made) {}
    ~CSharedFont();
    // DeleteObject now (a failure is fatal); the handle is null afterwards.
    void Release();
    CSharedFont(const CSharedFont&) = delete;
    CSharedFont& operator=(const CSharedFont&) = delete;
    HFONT handle;
};

// One string as a row of chips it owns.
class CLine {
public:
    NVireo::NString::BBasic<char> text;
    std::vector<std::unique_ptr<NChip::CTexture>> chips;  // one per character
    int32_t fontHeight = 0;                               // lfHeight of the font
    float topRow = 0.0f;                                  // texture rows shown, 0 top .. 1 bottom
    float bottomRow = 1.0f;
    int32_t totalAdvance = 0;  // the chips' advances summed
    LOGFONTA font{};
    uint32_t drawCount = 0;  // chips the last box layout found room for

    CLine() = default;
    CLine(const CLine&) = delete;
    CLine& operator=(const CLine&) = delete;

    // Renders every character of text in a font made from logical (failures fatal),
    // replacing the old chips; shows whole rows; drawCount = every chip.
    void SetText(const char* newText, const LOGFONTA& logical);
    // Drops the chips and the text.
    void Clear();

    uint32_t ChipCount() const { return static_cast<uint32_t>(chips.size()); }
    int32_t Width() const { return totalAdvance; }
    int32_t Height() const { return fontHeight; }

    // Writes the shown rows into every chip.
    void SetTextureRows(float top, float bottom);
    // Shows the text without its bottom overflow pixels (of the font's height).
    void ClipToHeight(int32_t overflow);
    // Lays the chips out from (x, y): each at the current x, x moving on by its advance
    // times scale.
    void Place(float x, float y, float scale, float z);
    // How many leading chips fit in width, and their advances summed.
    uint32_t Fit(int32_t width, int32_t* usedWidth = nullptr) const;
    // Draws the first count chips (at most all) in the current preset.
    void Draw(uint32_t count) const;

    // Places the line in the box: centred vertically (clipped at the bottom when the box
    // is shorter than the font), centred horizontally on the leading chips that fit, one
    // pixel up, scale 1, depth 0. Answers drawCount, the chips that fit.
    uint32_t LayoutInBox(int32_t left, int32_t top, int32_t right, int32_t bottom);
    // The 128 x 32 box whose top-left corner is (x, y).
    uint32_t LayoutAt(int32_t x, int32_t y) { return LayoutInBox(x, y, x + 128, y + 32); }
    // Draws the chips the last layout found room for, tinted color (0xAARRGGBB), z test
    // and z writes off.
    void DrawInBox(D3DCOLOR color) const;
    // The whole line at (x, y) in main over an outline: drawn first at (x - 1, y),
    // (x + 1, y), (x, y - 1) and (x, y + 1) in outline. Leaves the chips placed at (x, y).
    void DrawWithOutline(D3DCOLOR outline, D3DCOLOR main, float x, float y, float scale);
};

namespace NSet {

// Chips by character, made on first use in the set's font and kept until the set is
// cleared or destroyed.
class CBasic : public hoard::set::basic<NChip::CBasic> {
public:
    // What SetFont pre-renders: the characters of the frame-rate line.
    static constexpr char kPreRendered[] = "1234567890.FPSCOS: fief%";

    CBasic() = default;
    ~CBasic() = default;
    CBasic(const CBasic&) = delete;
    CBasic& operator=(const CBasic&) = delete;

    // Replaces the font (the old handle is given up, failures fatal) and pre-renders
    // kPreRendered. Chips already in the set stay as they were rendered.
    void SetFont(const LOGFONTA& logical);
    // Sets the font when logical differs from the set's; answers whether it did.
    bool SetFontIfChanged(const LOGFONTA& logical);
    const LOGFONTA& Font() const { return font_; }
    HFONT FontHandle() const { return shared_ ? shared_->handle : nullptr; }
    bool HasFont() const { return shared_ != nullptr; }

    // The chip of the character text starts with, rendered now when the set has none.
    // Null for an empty text, or without a font.
    NChip::CTexture* GetChip(const char* text);

    // The advance of b = lfWidth, or lfHeight / 2 rounded up when lfWidth is 0: blanks
    // and tabs move by b, the double-byte space by 2 b.
    int32_t BlankAdvance() const;
    // How far DrawText moves from x for text at scale.
    float TextWidth(const char* text, float scale);
    // Draws text from (x, y) in the current preset and answers the x after it. Each step
    // is rounded to whole pixels.
    float DrawText(float x, float y, float scale, const char* text, float z = 0.0f);
    // Draws text at (x, y) in main over a one-pixel outline (up, left, right, down).
    void DrawTextWithOutline(D3DCOLOR outline, D3DCOLOR main, float x, float y, float scale,
                             const char* text);
    // Drops every chip and the font.
    void ClearAll();

private:
    // Gives up the set's share of the font, deleting it when no other owner holds it.
    void ReleaseFont();

    LOGFONTA font_{};
    std::shared_ptr<CSharedFont> shared_;
};

}  // namespace NSet

}  // namespace NVireo::NDirectX::N3D::NText
