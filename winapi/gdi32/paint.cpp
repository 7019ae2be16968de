// gdi32 drawing: stands in for GDI's painting of a window's client area, which this
// program does only for the placeholder shown before its Direct3D device draws.
// Supports: FillRect with a brush handle and TextOutA (code page 932 text in the DC's
// font and text colour, over an opaque background cell or transparently), painted into
// the SDL window surface of a window DC and shown at once, each pixel as large as the
// window's scale makes it (sdl_bridge.h). A window that has an SDL
// renderer (its Direct3D device's presenter) is drawn by the device: painting it is
// skipped and answers success. On a memory DC nothing is drawn (it has no bitmap), with
// success, as on Windows.
// Does not support: system colour indices in place of a brush (answer 0), text
// alignment other than top left, clipping regions.
#include <SDL.h>

#include "backend/cp932.h"
#include "backend/sdl/sdl_bridge.h"
#include "gdi32/gdi.h"

using namespace winapi::gdi32;

namespace {

constexpr DWORD kInvalidWindowHandle = 1400;  // ERROR_INVALID_WINDOW_HANDLE

// The surface a DC paints on. kind: Paint (surface set), Skip (nothing to paint on, with
// success), Fail (last error set).
struct CTarget {
    enum Kind { Paint, Skip, Fail } kind = Fail;
    SDL_Window* window = nullptr;
    SDL_Surface* surface = nullptr;
    int scale = 1;  // surface pixels per pixel of the program
};

CTarget TargetOf(const CDeviceContext& dc) {
    CTarget target;
    if (dc.window == nullptr) {
        target.kind = CTarget::Skip;
        return target;
    }
    target.window = winapi::backend::SdlWindowOf(dc.window);
    if (target.window == nullptr) {
        SetLastError(kInvalidWindowHandle);
        return target;
    }
    if (SDL_GetRenderer(target.window) != nullptr) {
        target.kind = CTarget::Skip;
        return target;
    }
    target.surface = SDL_GetWindowSurface(target.window);
    if (target.surface == nullptr) {
        SetLastError(ERROR_GEN_FAILURE);
        return target;
    }
    target.scale = winapi::backend::SdlWindowScale(target.window);
    target.kind = CTarget::Paint;
    return target;
}

Uint32 MapColour(SDL_Surface* surface, COLORREF colour) {
    return SDL_MapRGB(surface->format, colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

// Fills the program's rectangle (left, top)-(right, bottom) of a target.
void Fill(const CTarget& target, LONG left, LONG top, LONG right, LONG bottom, Uint32 pixel) {
    if (right <= left || bottom <= top) return;
    const int scale = target.scale;
    SDL_Rect rect{static_cast<int>(left) * scale, static_cast<int>(top) * scale,
                  static_cast<int>(right - left) * scale, static_cast<int>(bottom - top) * scale};
    SDL_FillRect(target.surface, &rect, pixel);
}

}  // namespace

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    std::lock_guard lock(Lock());
    CDeviceContext* context = DcOf(dc);
    auto fill = BrushOf(brush);
    if (context == nullptr || !fill || rect == nullptr) {
        SetLastError(rect == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return 0;
    }
    CTarget target = TargetOf(*context);
    if (target.kind == CTarget::Fail) return 0;
    if (target.kind == CTarget::Skip || fill->hollow) return 1;
    Fill(target, rect->left, rect->top, rect->right, rect->bottom,
         MapColour(target.surface, fill->color));
    SDL_UpdateWindowSurface(target.window);
    return 1;
}

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
    std::lock_guard lock(Lock());
    CDeviceContext* context = DcOf(dc);
    if (context == nullptr || !context->font || length < 0 || (text == nullptr && length > 0)) {
        SetLastError(context == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    CTarget target = TargetOf(*context);
    if (target.kind == CTarget::Fail) return FALSE;
    if (target.kind == CTarget::Skip) return TRUE;

    const CFontFace& face = *context->font->face;
    TEXTMETRICA metrics;
    FillTextMetrics(face, context->font->logical, metrics);
    const Uint32 ink = MapColour(target.surface, context->textColor);
    const Uint32 paper = MapColour(target.surface, context->backgroundColor);
    LONG penX = x;
    CGlyph glyph;
    for (int i = 0; i < length; ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        UINT code = lead;
        if (winapi::backend::IsCp932LeadByte(lead) && i + 1 < length) {
            code = lead << 8 | static_cast<unsigned char>(text[++i]);
        }
        // A byte sequence that is no character takes the width of a half-width cell
        // and shows nothing, so the rest of the line keeps its place.
        const bool rendered = RenderGlyph(face, code, glyph);
        const LONG advance = rendered ? glyph.metrics.gmCellIncX : metrics.tmAveCharWidth;
        if (context->backgroundMode == OPAQUE) {
            Fill(target, penX, y, penX + advance, y + metrics.tmHeight, paper);
        }
        if (rendered && !glyph.blank) {
            const LONG left = penX + glyph.metrics.gmptGlyphOrigin.x;
            const LONG top = y + metrics.tmAscent - glyph.metrics.gmptGlyphOrigin.y;
            for (UINT row = 0; row < glyph.metrics.gmBlackBoxY; ++row) {
                const BYTE* bits = glyph.bits.data() + static_cast<size_t>(row) * glyph.stride;
                for (UINT column = 0; column < glyph.metrics.gmBlackBoxX; ++column) {
                    if (bits[column / 8] & (0x80 >> (column % 8))) {
                        const LONG px = left + static_cast<LONG>(column);
                        const LONG py = top + static_cast<LONG>(row);
                        Fill(target, px, py, px + 1, py + 1, ink);
                    }
                }
            }
        }
        penX += advance;
    }
    SDL_UpdateWindowSurface(target.window);
    return TRUE;
}
