// Direct3D 8: the entry point. The device itself is being built; until it lands,
// Direct3DCreate8 answers null (the documented failure) and says so once.
#include <d3d8.h>

#include "backend/syserror.h"

IDirect3D8* Direct3DCreate8(UINT sdkVersion) {
    (void)sdkVersion;
    winapi::backend::WarnUnsupported("Direct3DCreate8 (the device is not built yet)");
    return nullptr;
}
