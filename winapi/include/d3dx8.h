// d3dx8.h: the D3DX 8 utility functions this program calls: the matrix helpers
// (d3dx8math.h) and the pixel-shader assembler with its result buffers (see
// winapi/d3dx8/ for what the assembler takes).
#pragma once

#include "d3d8.h"
#include "d3dx8math.h"
#include "unknwn.h"

// Result codes of the D3DX functions.
#define D3DXERR_INVALIDDATA MAKE_D3DHRESULT(2905)

DEFINE_GUID(IID_ID3DXBuffer, 0x932e6a7e, 0xc68e, 0x45dd, 0xa7, 0xbf, 0x53, 0xd1, 0x9c, 0x86, 0xdb,
            0x1f);

// A block of bytes the D3DX functions hand out (an assembled shader, error text).
struct ID3DXBuffer : IUnknown {
    virtual void* GetBufferPointer() = 0;
    virtual DWORD GetBufferSize() = 0;
};
typedef ID3DXBuffer* LPD3DXBUFFER;

// Assembles pixel-shader text ("ps.1.0" or "ps.1.1" and the instructions the device
// runs) into the token stream CreatePixelShader takes. flags must be 0. constants, when
// given, receives null: constants defined with "def" stay in the token stream. On
// failure the result is D3DXERR_INVALIDDATA for text that is not a valid shader and
// E_NOTIMPL for a valid instruction this assembler does not support; errors, when
// given, receives "(line): message" text, terminated by a zero byte.
HRESULT D3DXAssembleShader(const void* source, UINT sourceLength, DWORD flags,
                           LPD3DXBUFFER* constants, LPD3DXBUFFER* compiledShader,
                           LPD3DXBUFFER* errors);
