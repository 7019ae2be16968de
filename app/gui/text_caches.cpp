// The program's text caches and the frame-rate line.
#include "app/gui/text_caches.h"

#include <memory>

#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"

namespace Site = NVireo::NError::NSite::NTextCaches;

namespace Main {

namespace {

using NVireo::NDirectX::N3D::NText::JapaneseFont;
using NVireo::NDirectX::N3D::NText::NSet::CBasic;

// The font heights of the three sets, in ETextCache order.
constexpr LONG kCacheHeights[kTextCacheCount] = {16, 12, 14};

std::unique_ptr<CBasic>* Caches() {
    static std::unique_ptr<CBasic> caches[kTextCacheCount];
    return caches;
}

}  // namespace

void CreateTextCaches() {
    SE_MARK();
    std::unique_ptr<CBasic>* caches = Caches();
    for (int i = 0; i < kTextCacheCount; ++i) {
        if (caches[i]) continue;
        caches[i] = std::make_unique<CBasic>();
        caches[i]->SetFont(JapaneseFont(kCacheHeights[i]));
    }
}

void ReleaseTextCaches() {
    SE_MARK();
    std::unique_ptr<CBasic>* caches = Caches();
    for (int i = 0; i < kTextCacheCount; ++i) {
        if (!caches[i]) continue;
        caches[i]->ClearAll();
        caches[i].reset();
    }
}

CBasic* TextCache(ETextCache which) {
    if (which < 0 || which >= kTextCacheCount) return nullptr;
    return Caches()[which].get();
}

void DrawFpsLine(const char* text, HFONT font) {
    SE_MARK();
    if (text == nullptr) return;
    if (!TextCache(kFpsTextCache)) CreateTextCaches();
    CBasic* set = TextCache(kFpsTextCache);
    if (set == nullptr) return;
    LOGFONTA logical = JapaneseFont(kCacheHeights[kFpsTextCache]);
    if (font != nullptr && GetObjectA(font, sizeof logical, &logical) != sizeof logical) {
        RecordSystemError();
        Raise(NVireo::NError::kSite, Site::kGetObject, "GetObjectA");
        return;
    }
    set->SetFontIfChanged(logical);
    set->DrawText(0.0f, 0.0f, 1.0f, text);
}

}  // namespace Main
