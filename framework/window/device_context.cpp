// Device-context holders.
#include "framework/window/device_context.h"

#include <exception>

#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"

namespace Site = NVireo::NError::NSite::NDeviceContext;

namespace NVireo::NDeviceContext {
namespace {

// A failed release while an exception unwinds is left alone: a second exception would
// end the process before the first one is reported.
void ReportFailure(uint32_t line, const char* message) {
    if (std::uncaught_exceptions() > 0) return;
    RecordSystemError();
    Raise(NError::kSite, line, message);
}

}  // namespace

void CWindow::Acquire(HWND target) {
    SE_MARK();
    Release();
    dc = GetDC(target);
    if (dc == nullptr) {
        ReportFailure(Site::kGetDC, "GetDC");
        return;
    }
    window = target;
}

void CWindow::Release() {
    SE_MARK();
    if (dc == nullptr) return;
    HDC held = dc;
    dc = nullptr;
    if (ReleaseDC(window, held) != 1) ReportFailure(Site::kReleaseDC, "ReleaseDC");
    window = nullptr;
}

CCompatriot::CCompatriot(HDC reference) {
    SE_MARK();
    dc = CreateCompatibleDC(reference);
    if (dc == nullptr) ReportFailure(Site::kCreateCompatibleDC, "CreateCompatibleDC");
}

CCompatriot::~CCompatriot() {
    if (dc != nullptr) DeleteDC(dc);
}

void CObject::Reset(HGDIOBJ object) {
    SE_MARK();
    Release();
    handle = object;
}

void CObject::Release() {
    SE_MARK();
    if (handle == nullptr) return;
    HGDIOBJ held = handle;
    handle = nullptr;
    if (!DeleteObject(held)) ReportFailure(Site::kDeleteObject, "DeleteObject");
}

}  // namespace NVireo::NDeviceContext
