// Character chips, text lines and chip sets. Raise sites 866xx; Raise may return (an
// error already being handled, or a caller's policy), so each site answers false or
// leaves the object as safe as it was.
#include "framework/render/text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/platform/cp932.h"
#include "framework/render/direct3d.h"
#include "framework/render/presets.h"
#include "framework/window/device_context.h"

namespace Site = NVireo::NError::NSite::NText;

namespace NVireo::NDirectX::N3D::NText {

namespace {

using NVireo::NCp932::CharacterLength;
using NVireo::NError::kSite;
using NVireo::NString::BBasic;

constexpr DWORD kChipFvf = D3DFVF_XYZRHW | D3DFVF_TEX1;
static_assert(sizeof(NChip::CVertex) == 24, "a chip vertex is x, y, z, rhw, u, v");

// A font made from logical; null (reported) on failure.
HFONT MakeFont(const LOGFONTA& logical, uint32_t site) {
    HFONT font = CreateFontIndirectA(&logical);
    if (font == nullptr) {
        ::RecordSystemError();
        Raise(kSite, site, "CreateFontIndirectA");
    }
    return font;
}

void GiveBackFont(HFONT font, uint32_t site) {
    if (font == nullptr) return;
    if (!DeleteObject(font)) {
        ::RecordSystemError();
        Raise(kSite, site, "DeleteObject");
    }
}

bool SameFont(const LOGFONTA& a, const LOGFONTA& b) {
    return std::memcmp(&a, &b, sizeof(LOGFONTA)) == 0;
}

// The characters a text is drawn with (NCp932::ShownText: a host name's character that
// code page 932 lacks as one "?"); the text itself when it holds none, else a copy kept
// in shown.
const char* Shown(const char* text, std::string& shown) {
    if (text == nullptr ||
        std::strchr(text, static_cast<char>(NVireo::NCp932::kHostByteLead)) == nullptr) {
        return text;
    }
    shown = NVireo::NCp932::ShownText(text);
    return shown.c_str();
}

// The chip's side for a size: the next power of two, at least 1 (0 beyond 4096 is
// kept as the largest side).
uint32_t ChipSide(int32_t size) {
    if (size <= 1) return 1;
    const uint32_t side = NTexture::PowerOfTwoSide(static_cast<uint32_t>(size));
    return side == 0 ? 4096 : side;
}

}  // namespace

uint32_t CountCharacters(const char* text) {
    uint32_t count = 0;
    for (uint32_t length; (length = CharacterLength(text)) != 0; text += length) ++count;
    return count;
}

LOGFONTA JapaneseFont(LONG height) {
    LOGFONTA font{};
    font.lfHeight = height;
    font.lfCharSet = SHIFTJIS_CHARSET;
    font.lfPitchAndFamily = FF_MODERN;
    return font;
}

// --- chips ------------------------------------------------------------------------------

namespace NChip {

bool CTexture::Render(const char* text, HFONT fontHandle, const LOGFONTA& logical) {
    SE_MARK();
    const uint32_t length = CharacterLength(text);
    character.Assign(text, length);
    font = logical;
    NFont::NBuffer::CMonochrome glyph;
    if (!glyph.Render(character.c_str(), fontHandle, NFont::NBuffer::IdentityMatrix()))
        return false;
    return Fill(glyph);
}

bool CTexture::ReCreate() {
    SE_MARK();
    HFONT made = MakeFont(font, Site::kChipFont);
    if (made == nullptr) return false;
    // The chip comes back where its owner placed it, showing the same rows.
    const BBasic<char> kept(character);
    CVertex placed[4];
    std::memcpy(placed, vertices, sizeof placed);
    const float top = rowTop;
    const float bottom = rowBottom;
    const bool rendered = Render(kept.c_str(), made, font);
    GiveBackFont(made, Site::kChipFontBack);
    if (rendered) {
        std::memcpy(vertices, placed, sizeof placed);
        rowTop = top;
        rowBottom = bottom;
    }
    return rendered;
}

BBasic<char> CTexture::Describe() const { return character; }

bool CTexture::Fill(const NFont::NBuffer::CMonochrome& glyph) {
    SE_MARK();
    Release();
    advance = glyph.glyph.gmCellIncX;
    lineHeight = glyph.textMetrics.tmHeight;
    uint32_t width = ChipSide(advance);
    uint32_t height = ChipSide(lineHeight);
    const DWORD aspect = DeviceCaps().MaxTextureAspectRatio;
    if (aspect < width || aspect < height) width = height = std::max(width, height);
    const bool wide = FormatBits(PresentParameters().BackBufferFormat) == 32;
    const D3DFORMAT format = wide ? D3DFMT_A8R8G8B8 : D3DFMT_A8L8;
    IDirect3DTexture8* made = Device().CreateTexture(width, height, 0, format, D3DPOOL_MANAGED);
    if (made == nullptr) return false;
    Attach(made);
    D3DSURFACE_DESC desc{};
    if (RaiseIfFailed(object->GetLevelDesc(0, &desc), Site::kChipDesc)) {
        Release();
        return false;
    }
    imageWidth = static_cast<uint32_t>(std::max(advance, 0));
    imageHeight = static_cast<uint32_t>(std::max(lineHeight, 0));
    textureWidth = desc.Width;
    textureHeight = desc.Height;

    D3DLOCKED_RECT locked{};
    if (RaiseIfFailed(object->LockRect(0, &locked, nullptr, 0), Site::kChipLock)) {
        Release();
        return false;
    }
    const uint32_t texel = wide ? 4 : 2;
    for (uint32_t y = 0; y < textureHeight; ++y) {
        std::memset(static_cast<uint8_t*>(locked.pBits) + static_cast<ptrdiff_t>(y) * locked.Pitch,
                    0, size_t{textureWidth} * texel);
    }
    // The glyph's baseline lies tmAscent rows below the chip's top; pixels falling
    // outside the texture are dropped.
    const int32_t left = glyph.glyph.gmptGlyphOrigin.x;
    const int32_t top = glyph.textMetrics.tmAscent - glyph.glyph.gmptGlyphOrigin.y;
    for (uint32_t j = 0; j < glyph.height; ++j) {
        const int32_t y = top + static_cast<int32_t>(j);
        if (y < 0 || y >= static_cast<int32_t>(textureHeight)) continue;
        uint8_t* row =
            static_cast<uint8_t*>(locked.pBits) + static_cast<ptrdiff_t>(y) * locked.Pitch;
        for (uint32_t i = 0; i < glyph.width; ++i) {
            const int32_t x = left + static_cast<int32_t>(i);
            if (x < 0 || x >= static_cast<int32_t>(textureWidth) || !glyph.Pixel(i, j)) continue;
            std::memset(row + static_cast<ptrdiff_t>(x) * texel, 0xFF, texel);
        }
    }
    if (RaiseIfFailed(object->UnlockRect(0), Site::kChipUnlock)) {
        Release();
        return false;
    }
    rowTop = 0.0f;
    rowBottom = 1.0f;
    Place(0.0f, 0.0f, 1.0f, 1.0f);
    return true;
}

void CTexture::SetRows(float top, float bottom) {
    SE_MARK();
    const float width = vertices[1].x - vertices[0].x;
    const float scale =
        textureWidth > 0 && width > 0.0f ? width / static_cast<float>(textureWidth) : 1.0f;
    rowTop = top;
    rowBottom = bottom;
    Place(vertices[0].x + 0.5f, vertices[0].y + 0.5f, scale, vertices[0].z);
}

void CTexture::Place(float x, float y, float scale, float z) {
    const float rows = std::max(rowBottom - rowTop, 0.0f) * static_cast<float>(lineHeight);
    const float left = x - 0.5f;
    const float top = y - 0.5f;
    const float right = left + static_cast<float>(textureWidth) * scale;
    const float bottom = top + rows * scale;
    const float texels = textureHeight > 0 ? static_cast<float>(textureHeight) : 1.0f;
    const float vTop = rowTop * static_cast<float>(lineHeight) / texels;
    const float vBottom = vTop + rows / texels;
    vertices[0] = {left, top, z, 1.0f, 0.0f, vTop};
    vertices[1] = {right, top, z, 1.0f, 1.0f, vTop};
    vertices[2] = {right, bottom, z, 1.0f, 1.0f, vBottom};
    vertices[3] = {left, bottom, z, 1.0f, 0.0f, vBottom};
}

void CTexture::Draw() const {
    SE_MARK();
    if (IsNull()) return;
    CDevice& device = Device();
    if (!device.SetTexture(object)) return;
    device.SetFVF(kChipFvf);
    device.DrawUP(D3DPT_TRIANGLEFAN, 2, vertices, sizeof(CVertex));
    device.SetTexture(nullptr);
}

CBasic::CBasic(const char* text, uint32_t length) { character.Assign(text, length); }

bool CBasic::operator<(const CBasic& other) const {
    const char* a = character.c_str();
    const char* b = other.character.c_str();
    return std::strcmp(a, b) < 0;
}

}  // namespace NChip

CSharedFont::~CSharedFont() {
    // The owners give the handle back through Release, where a failure can be reported;
    // one still held here goes quietly.
    if (handle != nullptr) DeleteObject(handle);
}

void CSharedFont::Release() {
    SE_MARK();
    HFONT held = handle;
    handle = nullptr;
    GiveBackFont(held, Site::kSharedFontBack);
}

// --- text lines -------------------------------------------------------------------------

void CLine::SetText(const char* newText, const LOGFONTA& logical) {
    SE_MARK();
    NVireo::NDeviceContext::CObject made(MakeFont(logical, Site::kLineFont));
    if (made.handle == nullptr) return;
    const char* source = newText ? newText : "";
    Clear();
    text.Assign(source, static_cast<uint32_t>(std::strlen(source)));
    std::string shownCopy;
    const char* shown = Shown(source, shownCopy);
    font = logical;
    fontHeight = logical.lfHeight;
    topRow = 0.0f;
    bottomRow = 1.0f;
    chips.reserve(CountCharacters(shown));
    for (const char* at = shown; *at != '\0'; at += CharacterLength(at)) {
        auto chip = std::make_unique<NChip::CTexture>();
        if (!chip->Render(at, static_cast<HFONT>(made.handle), logical)) break;
        totalAdvance += chip->advance;
        chips.push_back(std::move(chip));
    }
    drawCount = ChipCount();
    made.Release();
}

void CLine::Clear() {
    SE_MARK();
    chips.clear();
    text.Assign(nullptr, 0);
    totalAdvance = 0;
    drawCount = 0;
}

void CLine::SetTextureRows(float top, float bottom) {
    SE_MARK();
    topRow = top;
    bottomRow = bottom;
    for (auto& chip : chips) chip->SetRows(top, bottom);
}

void CLine::ClipToHeight(int32_t overflow) {
    SE_MARK();
    int32_t height = fontHeight;
    if (height <= 0 && !chips.empty()) height = chips.front()->lineHeight;
    if (height <= 0) return;
    const float shown = 1.0f - static_cast<float>(overflow) / static_cast<float>(height);
    SetTextureRows(0.0f, std::clamp(shown, 0.0f, 1.0f));
}

void CLine::Place(float x, float y, float scale, float z) {
    SE_MARK();
    for (auto& chip : chips) {
        chip->Place(x, y, scale, z);
        x += static_cast<float>(chip->advance) * scale;
    }
}

uint32_t CLine::Fit(int32_t width, int32_t* usedWidth) const {
    SE_MARK();
    uint32_t count = 0;
    int32_t used = 0;
    for (const auto& chip : chips) {
        if (used + chip->advance > width) break;
        used += chip->advance;
        ++count;
    }
    if (usedWidth) *usedWidth = used;
    return count;
}

void CLine::Draw(uint32_t count) const {
    SE_MARK();
    const uint32_t shown = std::min(count, ChipCount());
    for (uint32_t i = 0; i < shown; ++i) chips[i]->Draw();
}

uint32_t CLine::LayoutInBox(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    SE_MARK();
    const int32_t h = fontHeight;
    const int32_t boxHeight = bottom - top;
    int32_t y;
    if (boxHeight < h) {
        ClipToHeight(h - boxHeight);
        y = top;
    } else {
        if (topRow != 0.0f || bottomRow != 1.0f) SetTextureRows(0.0f, 1.0f);
        y = top + (boxHeight - h) / 2;
    }
    const int32_t boxWidth = right - left;
    int32_t spare;
    if (boxWidth < totalAdvance) {
        int32_t used = 0;
        drawCount = Fit(boxWidth, &used);
        spare = boxWidth - used;
    } else {
        drawCount = ChipCount();
        spare = boxWidth - totalAdvance;
    }
    Place(static_cast<float>(left + spare / 2), static_cast<float>(y - 1), 1.0f, 0.0f);
    return drawCount;
}

void CLine::DrawInBox(D3DCOLOR color) const {
    SE_MARK();
    PresetTinted();
    DisableZ();
    DisableZWrite();
    SetTextureFactor(color);
    Draw(drawCount);
}

void CLine::DrawWithOutline(D3DCOLOR outline, D3DCOLOR main, float x, float y, float scale) {
    SE_MARK();
    PresetTinted();
    DisableZ();
    DisableZWrite();
    SetTextureFactor(outline);
    const float offsets[4][2] = {{-1.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, -1.0f}, {0.0f, 1.0f}};
    for (const auto& offset : offsets) {
        Place(x + offset[0], y + offset[1], scale, 0.0f);
        Draw(ChipCount());
    }
    SetTextureFactor(main);
    Place(x, y, scale, 0.0f);
    Draw(ChipCount());
}

// --- chip sets --------------------------------------------------------------------------

namespace NSet {

void CBasic::SetFont(const LOGFONTA& logical) {
    SE_MARK();
    // Chips rendered in another font would not match the new one.
    if (!SameFont(font_, logical)) Clear();
    ReleaseFont();
    HFONT made = MakeFont(logical, Site::kChipSetFont);
    if (made == nullptr) return;
    shared_ = std::make_shared<CSharedFont>(made);
    font_ = logical;
    for (const char* at = kPreRendered; *at != '\0'; at += CharacterLength(at)) GetChip(at);
}

bool CBasic::SetFontIfChanged(const LOGFONTA& logical) {
    SE_MARK();
    if (HasFont() && SameFont(font_, logical)) return false;
    SetFont(logical);
    return true;
}

NChip::CTexture* CBasic::GetChip(const char* text) {
    SE_MARK();
    const uint32_t length = CharacterLength(text);
    if (length == 0 || !HasFont()) return nullptr;
    NChip::CBasic key(text, length);
    if (const node_type* found = Find(key)) return found->value.texture.get();
    key.texture = std::make_shared<NChip::CTexture>();
    node_type* added = Insert(key);
    if (added == nullptr) return nullptr;
    if (!added->value.texture->Render(text, FontHandle(), font_)) return nullptr;
    return added->value.texture.get();
}

int32_t CBasic::BlankAdvance() const {
    if (font_.lfWidth != 0) return font_.lfWidth;
    return (font_.lfHeight + 1) / 2;
}

namespace {

// How far one character moves the pen: blanks by b, the double-byte space by 2 b, the
// rest by their chip's advance; scaled and rounded to whole pixels.
float Step(int32_t blank, const char* at, uint32_t length, const NChip::CTexture* chip,
           float scale) {
    if (length == 1 && (at[0] == ' ' || at[0] == '\t')) {
        return static_cast<float>(std::lround(static_cast<float>(blank) * scale));
    }
    if (length == 2 && std::memcmp(at, "　", 2) == 0) {
        return static_cast<float>(std::lround(2.0f * static_cast<float>(blank) * scale));
    }
    const int32_t advance = chip ? chip->advance : 0;
    return static_cast<float>(std::lround(static_cast<float>(advance) * scale));
}

}  // namespace

float CBasic::TextWidth(const char* text, float scale) {
    SE_MARK();
    std::string shownCopy;
    text = Shown(text, shownCopy);
    float width = 0.0f;
    const int32_t blank = BlankAdvance();
    for (uint32_t length; (length = CharacterLength(text)) != 0; text += length) {
        width += Step(blank, text, length, GetChip(text), scale);
    }
    return width;
}

float CBasic::DrawText(float x, float y, float scale, const char* text, float z) {
    SE_MARK();
    std::string shownCopy;
    text = Shown(text, shownCopy);
    const int32_t blank = BlankAdvance();
    for (uint32_t length; (length = CharacterLength(text)) != 0; text += length) {
        NChip::CTexture* chip = GetChip(text);
        if (chip != nullptr) {
            chip->Place(x, y, scale, z);
            chip->Draw();
        }
        x += Step(blank, text, length, chip, scale);
    }
    return x;
}

void CBasic::DrawTextWithOutline(D3DCOLOR outline, D3DCOLOR main, float x, float y, float scale,
                                 const char* text) {
    SE_MARK();
    PresetTinted();
    DisableZ();
    DisableZWrite();
    SetTextureFactor(outline);
    const float offsets[4][2] = {{0.0f, -1.0f}, {-1.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, 1.0f}};
    for (const auto& offset : offsets) DrawText(x + offset[0], y + offset[1], scale, text);
    SetTextureFactor(main);
    DrawText(x, y, scale, text);
}

void CBasic::ClearAll() {
    SE_MARK();
    Clear();
    ReleaseFont();
    font_ = LOGFONTA{};
}

void CBasic::ReleaseFont() {
    SE_MARK();
    if (shared_ && shared_.use_count() == 1) shared_->Release();
    shared_.reset();
}

}  // namespace NSet

}  // namespace NVireo::NDirectX::N3D::NText
