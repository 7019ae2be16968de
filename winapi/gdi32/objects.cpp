// gdi32 objects and device contexts: stands in for GDI's handle tables.
// Supports: fonts (CreateFontIndirectA, GetObjectA for their LOGFONTA), the stock white,
// grey, black and null brushes and the system and GUI fonts (a 16-pixel cell of the
// Japanese monospace face), DeleteObject, memory DCs (CreateCompatibleDC, DeleteDC),
// window DCs for user32's GetDC and ReleaseDC (backend/gdi_bridge.h), SelectObject of
// fonts and brushes, GetTextMetricsA, GetTextFaceA, GetGlyphOutlineA (GGO_METRICS,
// GGO_BITMAP; identity matrix), the background mode and the text and background colours.
// Does not support: other stock objects, bitmaps, pens or regions (SelectObject answers
// null), other glyph formats or transformations (GDI_ERROR), each refused once on stderr.
// A deleted font stays usable by the DCs it is selected into, so a DC never points at a
// freed face; its handle is gone at once.
#include <cstring>
#include <map>

#include "backend/cp932.h"
#include "backend/gdi_bridge.h"
#include "backend/syserror.h"
#include "gdi32/gdi.h"

namespace winapi::gdi32 {

namespace {

struct CObject {
    std::shared_ptr<CFont> font;
    std::shared_ptr<CBrush> brush;
    bool stock = false;
};

// Handle values are counters, never addresses: a stale or made-up handle is found
// missing instead of being followed.
// The tables live as long as the process: nothing is torn down while another static
// destructor might still call in.
uintptr_t nextHandle = 0x4000;
std::map<HGDIOBJ, CObject>& objects = *new std::map<HGDIOBJ, CObject>;
std::map<HDC, std::unique_ptr<CDeviceContext>>& contexts =
    *new std::map<HDC, std::unique_ptr<CDeviceContext>>;
std::map<int, HGDIOBJ>& stockObjects = *new std::map<int, HGDIOBJ>;

uintptr_t NewHandleValue() {
    nextHandle += 0x10;
    return nextHandle;
}

HGDIOBJ AddObject(CObject object) {
    const auto handle = reinterpret_cast<HGDIOBJ>(NewHandleValue());
    objects.emplace(handle, std::move(object));
    return handle;
}

HGDIOBJ StockObject(int index) {
    if (auto found = stockObjects.find(index); found != stockObjects.end()) return found->second;
    CObject object;
    object.stock = true;
    switch (index) {
        case WHITE_BRUSH:
        case LTGRAY_BRUSH:
        case GRAY_BRUSH:
        case DKGRAY_BRUSH:
        case BLACK_BRUSH: {
            static const BYTE levels[] = {255, 192, 128, 64, 0};
            const BYTE level = levels[index];
            object.brush = std::make_shared<CBrush>(CBrush{RGB(level, level, level), false});
            break;
        }
        case NULL_BRUSH:
            object.brush = std::make_shared<CBrush>(CBrush{0, true});
            break;
        case SYSTEM_FONT:
        case DEFAULT_GUI_FONT: {
            LOGFONTA logical{};
            logical.lfHeight = 16;
            logical.lfWeight = FW_NORMAL;
            logical.lfCharSet = SHIFTJIS_CHARSET;
            logical.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
            auto face = RealiseFont(logical);
            if (!face) return nullptr;
            object.font = std::make_shared<CFont>(CFont{logical, std::move(face)});
            break;
        }
        default:
            backend::WarnUnsupported("GetStockObject of anything but the plain brushes and fonts");
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
    }
    HGDIOBJ handle = AddObject(std::move(object));
    stockObjects[index] = handle;
    return handle;
}

HDC NewDc(HWND window) {
    auto dc = std::make_unique<CDeviceContext>();
    dc->window = window;
    dc->fontHandle = StockObject(SYSTEM_FONT);
    if (dc->fontHandle) dc->font = objects[dc->fontHandle].font;
    dc->brushHandle = StockObject(WHITE_BRUSH);
    dc->brush = objects[dc->brushHandle].brush;
    const auto handle = reinterpret_cast<HDC>(NewHandleValue());
    contexts.emplace(handle, std::move(dc));
    return handle;
}

bool IsIdentity(const MAT2& m) {
    return m.eM11.value == 1 && m.eM11.fract == 0 && m.eM22.value == 1 && m.eM22.fract == 0 &&
           m.eM12.value == 0 && m.eM12.fract == 0 && m.eM21.value == 0 && m.eM21.fract == 0;
}

}  // namespace

std::shared_ptr<CFont> FontOf(HGDIOBJ handle) {
    auto found = objects.find(handle);
    return found == objects.end() ? nullptr : found->second.font;
}

std::shared_ptr<CBrush> BrushOf(HGDIOBJ handle) {
    auto found = objects.find(handle);
    return found == objects.end() ? nullptr : found->second.brush;
}

CDeviceContext* DcOf(HDC dc) {
    auto found = contexts.find(dc);
    return found == contexts.end() ? nullptr : found->second.get();
}

}  // namespace winapi::gdi32

using namespace winapi::gdi32;

namespace winapi::backend {

HDC OpenWindowDc(HWND window) {
    if (window == nullptr) return nullptr;
    std::lock_guard lock(Lock());
    return NewDc(window);
}

bool CloseWindowDc(HWND window, HDC dc) {
    std::lock_guard lock(Lock());
    CDeviceContext* context = DcOf(dc);
    if (context == nullptr || context->window == nullptr || context->window != window) return false;
    contexts.erase(dc);
    return true;
}

}  // namespace winapi::backend

HFONT CreateFontIndirectA(const LOGFONTA* font) {
    if (font == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::lock_guard lock(Lock());
    auto face = RealiseFont(*font);
    if (!face) return nullptr;
    CObject object;
    object.font = std::make_shared<CFont>(CFont{*font, std::move(face)});
    return AddObject(std::move(object));
}

BOOL DeleteObject(HGDIOBJ object) {
    std::lock_guard lock(Lock());
    auto found = objects.find(object);
    if (found == objects.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!found->second.stock) objects.erase(found);
    return TRUE;
}

int GetObjectA(HGDIOBJ object, int size, LPVOID buffer) {
    std::lock_guard lock(Lock());
    auto font = FontOf(object);
    if (!font) {
        if (objects.count(object)) {
            winapi::backend::WarnUnsupported("GetObjectA of anything but a font");
            SetLastError(ERROR_NOT_SUPPORTED);
        } else {
            SetLastError(ERROR_INVALID_HANDLE);
        }
        return 0;
    }
    if (buffer == nullptr) return static_cast<int>(sizeof(LOGFONTA));
    if (size <= 0) return 0;
    const int copied = std::min(size, static_cast<int>(sizeof(LOGFONTA)));
    std::memcpy(buffer, &font->logical, static_cast<size_t>(copied));
    return copied;
}

HGDIOBJ GetStockObject(int index) {
    std::lock_guard lock(Lock());
    return StockObject(index);
}

HDC CreateCompatibleDC(HDC dc) {
    std::lock_guard lock(Lock());
    if (dc != nullptr && DcOf(dc) == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return NewDc(nullptr);
}

BOOL DeleteDC(HDC dc) {
    std::lock_guard lock(Lock());
    CDeviceContext* context = DcOf(dc);
    // A window DC is given back with ReleaseDC, never deleted.
    if (context == nullptr || context->window != nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    contexts.erase(dc);
    return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    std::lock_guard lock(Lock());
    CDeviceContext* context = DcOf(dc);
    auto found = objects.find(object);
    if (context == nullptr || found == objects.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    HGDIOBJ previous;
    if (found->second.font) {
        previous = context->fontHandle;
        context->fontHandle = object;
        context->font = found->second.font;
    } else {
        previous = context->brushHandle;
        context->brushHandle = object;
        context->brush = found->second.brush;
    }
    return previous;
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics) {
    std::lock_guard lock(Lock());
    CDeviceContext* context = DcOf(dc);
    if (context == nullptr || !context->font || metrics == nullptr) {
        SetLastError(context == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    FillTextMetrics(*context->font->face, context->font->logical, *metrics);
    return TRUE;
}

int GetTextFaceA(HDC dc, int size, LPSTR faceName) {
    std::lock_guard lock(Lock());
    CDeviceContext* context = DcOf(dc);
    if (context == nullptr || !context->font) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const std::string name = winapi::backend::Utf8TextToCp932(FamilyName(*context->font->face));
    if (faceName == nullptr) return static_cast<int>(name.size() + 1);
    if (size <= 0) return 0;
    // Truncated to fit, never inside a double-byte character.
    size_t length = 0;
    while (length < name.size()) {
        const size_t step =
            winapi::backend::IsCp932LeadByte(static_cast<unsigned char>(name[length])) ? 2 : 1;
        if (length + step > static_cast<size_t>(size - 1) || length + step > name.size()) break;
        length += step;
    }
    std::memcpy(faceName, name.data(), length);
    faceName[length] = '\0';
    return static_cast<int>(length);
}

DWORD GetGlyphOutlineA(HDC dc, UINT character, UINT format, GLYPHMETRICS* metrics, DWORD size,
                       LPVOID buffer, const MAT2* matrix) {
    std::lock_guard lock(Lock());
    CDeviceContext* context = DcOf(dc);
    if (context == nullptr || !context->font) {
        SetLastError(ERROR_INVALID_HANDLE);
        return GDI_ERROR;
    }
    // GDI refuses a missing matrix or metrics without setting an error.
    if (matrix == nullptr || metrics == nullptr) return GDI_ERROR;
    if ((format != GGO_METRICS && format != GGO_BITMAP) || !IsIdentity(*matrix)) {
        winapi::backend::WarnUnsupported(
            "GetGlyphOutlineA with a format other than GGO_METRICS and GGO_BITMAP or a "
            "transformation");
        SetLastError(ERROR_NOT_SUPPORTED);
        return GDI_ERROR;
    }
    CGlyph glyph;
    if (!RenderGlyph(*context->font->face, character, glyph)) return GDI_ERROR;
    if (format == GGO_METRICS) {
        *metrics = glyph.metrics;
        return 1;
    }
    const DWORD needed = glyph.blank ? 0 : static_cast<DWORD>(glyph.bits.size());
    if (buffer == nullptr || size == 0) {
        *metrics = glyph.metrics;
        return needed;
    }
    // A blank glyph has no bitmap to give; a buffer too small gets nothing. Either way
    // the metrics are left alone, as GDI leaves them.
    if (needed == 0 || size < needed) return GDI_ERROR;
    std::memcpy(buffer, glyph.bits.data(), needed);
    *metrics = glyph.metrics;
    return needed;
}

int SetBkMode(HDC dc, int mode) {
    std::lock_guard lock(Lock());
    CDeviceContext* context = DcOf(dc);
    if (context == nullptr || (mode != TRANSPARENT && mode != OPAQUE)) {
        SetLastError(context == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return 0;
    }
    const int previous = context->backgroundMode;
    context->backgroundMode = mode;
    return previous;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
    std::lock_guard lock(Lock());
    CDeviceContext* context = DcOf(dc);
    if (context == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return CLR_INVALID;
    }
    const COLORREF previous = context->textColor;
    context->textColor = color & 0x00FFFFFFu;
    return previous;
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
    std::lock_guard lock(Lock());
    CDeviceContext* context = DcOf(dc);
    if (context == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return CLR_INVALID;
    }
    const COLORREF previous = context->backgroundColor;
    context->backgroundColor = color & 0x00FFFFFFu;
    return previous;
}
