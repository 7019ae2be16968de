// ole32: the COM library calls.
// Stands in for: CoInitialize, CoUninitialize, CoCreateInstance.
// Supports: apartment initialisation counted per thread (nothing else depends on the
// apartment: the objects the layer makes are free-threaded); creating CLSID_FilterGraph
// in-process (the dshow service).
// Does not support: any other class (REGDB_E_CLASSNOTREG), aggregation
// (CLASS_E_NOAGGREGATION), out-of-process servers (REGDB_E_CLASSNOTREG, said once on stderr).
#include <dshow.h>
#include <objbase.h>

#include "backend/com_classes.h"
#include "backend/syserror.h"

namespace {
thread_local int initialised = 0;  // CoInitialize calls not yet undone on this thread
}

HRESULT CoInitialize(LPVOID reserved) {
    if (reserved != nullptr) return E_INVALIDARG;
    return initialised++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (initialised > 0) --initialised;
}

HRESULT CoCreateInstance(REFCLSID classId, LPUNKNOWN outer, DWORD context, REFIID riid,
                         LPVOID* object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (initialised == 0) return CO_E_NOTINITIALIZED;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    if (classId != CLSID_FilterGraph) return REGDB_E_CLASSNOTREG;
    if (!(context & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER))) {
        winapi::backend::WarnUnsupported("CoCreateInstance outside the process");
        return REGDB_E_CLASSNOTREG;
    }
    return winapi::backend::CreateFilterGraph(riid, object);
}
