// The device logs: what the renderer writes into a report folder (caps.log, Adapter.log,
// PresentParameters.log) for the error handlers, and the texts they hold, which the
// messages of fatal device errors also carry. Main thread only.
#pragma once

#include <d3d8.h>

#include "framework/containers/nstring.h"

namespace NVireo::NDirectX::N3D {

// The logs, each overwriting its file.
void WriteAdapterLog(const char* path);
void WritePresentParametersLog(const char* path);  // an old file is removed first
void WriteCapsLog(const char* path);
// Into folder (joined with its own separator): "caps.log" and "PresentParameters.log"
// when the device exists, "Adapter.log" when the Direct3D object exists.
void WriteDirect3DLogs(const char* folder);

// The texts of the logs.
void PresentParametersText(const D3DPRESENT_PARAMETERS& p, NVireo::NString::BBasic<char>& out);
void AdapterText(const D3DADAPTER_IDENTIFIER8& id, NVireo::NString::BBasic<char>& out);
void CapsText(const D3DCAPS8& caps, NVireo::NString::BBasic<char>& out);
void ViewportText(const D3DVIEWPORT8& viewport, NVireo::NString::BBasic<char>& out);

}  // namespace NVireo::NDirectX::N3D
