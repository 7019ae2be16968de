// Test seams of the Direct3D 8 device (d3d8_seams.h).
#include <d3d8_seams.h>

#include "d3d8/device.h"

namespace {

winapi::d3d8::CDevice* Ours(IDirect3DDevice8* device) {
    return dynamic_cast<winapi::d3d8::CDevice*>(device);
}

}  // namespace

BOOL SeForceDeviceLoss(IDirect3DDevice8* device, UINT pollsWhileLost) {
    winapi::d3d8::CDevice* ours = Ours(device);
    if (ours == nullptr) return FALSE;
    ours->ForceLoss(pollsWhileLost);
    return TRUE;
}

std::vector<DWORD> SeReadRenderTarget(IDirect3DDevice8* device, UINT* width, UINT* height) {
    winapi::d3d8::CDevice* ours = Ours(device);
    if (ours == nullptr) return {};
    return ours->ReadRenderTarget(width, height);
}

std::vector<DWORD> SePresentedFrame(IDirect3DDevice8* device, UINT* width, UINT* height) {
    winapi::d3d8::CDevice* ours = Ours(device);
    if (ours == nullptr) return {};
    return ours->PresentedFrame(width, height);
}

BOOL SeHasPresenter(IDirect3DDevice8* device) {
    winapi::d3d8::CDevice* ours = Ours(device);
    return ours != nullptr && ours->HasPresenter() ? TRUE : FALSE;
}

UINT SeDefaultPoolCount(IDirect3DDevice8* device) {
    winapi::d3d8::CDevice* ours = Ours(device);
    return ours != nullptr ? ours->DefaultPoolCount() : 0;
}

UINT SePixelShaderCount(IDirect3DDevice8* device) {
    winapi::d3d8::CDevice* ours = Ours(device);
    return ours != nullptr ? ours->PixelShaderCount() : 0;
}

BOOL SeWithoutPixelShaders(IDirect3DDevice8* device, BOOL without) {
    winapi::d3d8::CDevice* ours = Ours(device);
    if (ours == nullptr) return FALSE;
    ours->WithoutPixelShaders(without != FALSE);
    return TRUE;
}

void SeTrianglesOneByOne(BOOL force) { winapi::d3d8::CRasterizer::ForceTriangles(force != FALSE); }

void SeRectanglesWithSse2(BOOL force) { winapi::d3d8::CRasterizer::ForceSse2(force != FALSE); }

UINT SeRectanglesInOnePass() { return winapi::d3d8::CRasterizer::RectanglesInOnePass(); }

BOOL SeFrameDrawn(IDirect3DDevice8* device) {
    winapi::d3d8::CDevice* ours = Ours(device);
    return ours != nullptr && ours->FrameDrawn() ? TRUE : FALSE;
}

UINT SeRowsShown(IDirect3DDevice8* device) {
    winapi::d3d8::CDevice* ours = Ours(device);
    return ours != nullptr ? ours->RowsShown() : 0;
}
