// Direct3D 8: Direct3DCreate8 and IDirect3D8, the one adapter (the processor).
// Supports: adapter 0 and the device type D3DDEVTYPE_HAL with software vertex
// processing (vertices come pre-transformed); a 32-bit desktop; windowed devices.
// Does not support: the reference and software device types (D3DERR_NOTAVAILABLE),
// hardware or mixed vertex processing, full-screen modes, multisampling.
//
// Capabilities as reported: textures up to 4096 x 4096 of any size (no power-of-two or
// square rule, aspect ratio up to 4096), point sampling, wrap/mirror/clamp/border
// addressing, eight texture stages with the operations DISABLE to BLENDCURRENTALPHA,
// every blend factor and operation, depth and alpha tests with every comparison, pixel
// shaders 1.1 (values -1..1), no vertex shaders (version 0.0), no stencil, no fog.
#include <SDL.h>
#include <d3d8.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "backend/com_object.h"
#include "d3d8/adapter.h"
#include "d3d8/device.h"
#include "d3d8/pixels.h"

namespace winapi::d3d8 {

namespace {

// Used without SDL video: common desktop sizes at 60 Hz.
constexpr UINT kFixedModes[][2] = {{640, 480},   {800, 600},  {1024, 768}, {1280, 720},
                                   {1280, 1024}, {1600, 900}, {1920, 1080}};

bool VideoRunning() { return SDL_WasInit(SDL_INIT_VIDEO) != 0; }

}  // namespace

std::vector<D3DDISPLAYMODE> AdapterModes() {
    std::vector<D3DDISPLAYMODE> modes;
    if (VideoRunning()) {
        const int count = SDL_GetNumDisplayModes(0);
        for (int i = 0; i < count; ++i) {
            SDL_DisplayMode mode;
            if (SDL_GetDisplayMode(0, i, &mode) == 0 && mode.w > 0 && mode.h > 0) {
                modes.push_back({UINT(mode.w), UINT(mode.h), UINT(std::max(mode.refresh_rate, 0)),
                                 D3DFMT_X8R8G8B8});
            }
        }
        const D3DDISPLAYMODE desktop = DesktopMode();
        modes.push_back(desktop);
    }
    if (modes.empty()) {
        for (const auto& size : kFixedModes)
            modes.push_back({size[0], size[1], 60, D3DFMT_X8R8G8B8});
    }
    auto key = [](const D3DDISPLAYMODE& m) {
        return std::make_tuple(m.Width, m.Height, m.RefreshRate);
    };
    std::sort(modes.begin(), modes.end(),
              [&](const auto& a, const auto& b) { return key(a) < key(b); });
    modes.erase(std::unique(modes.begin(), modes.end(),
                            [&](const auto& a, const auto& b) { return key(a) == key(b); }),
                modes.end());
    return modes;
}

D3DDISPLAYMODE DesktopMode() {
    SDL_DisplayMode mode;
    if (VideoRunning() && SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0) {
        return {UINT(mode.w), UINT(mode.h), UINT(std::max(mode.refresh_rate, 0)), D3DFMT_X8R8G8B8};
    }
    return {1024, 768, 60, D3DFMT_X8R8G8B8};
}

HRESULT CheckWindowedFormats(D3DDEVTYPE type, D3DFORMAT displayFormat, D3DFORMAT backBufferFormat) {
    if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
    if (displayFormat != D3DFMT_X8R8G8B8 || !IsRenderTargetFormat(backBufferFormat)) {
        return D3DERR_NOTAVAILABLE;
    }
    return D3D_OK;
}

D3DCAPS8 DeviceCaps() {
    D3DCAPS8 c;
    std::memset(&c, 0, sizeof c);
    c.DeviceType = D3DDEVTYPE_HAL;
    c.AdapterOrdinal = D3DADAPTER_DEFAULT;
    c.Caps = D3DCAPS_READ_SCANLINE;
    c.Caps2 = D3DCAPS2_CANRENDERWINDOWED | D3DCAPS2_DYNAMICTEXTURES;
    c.PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE;
    c.DevCaps = D3DDEVCAPS_EXECUTESYSTEMMEMORY | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY |
                D3DDEVCAPS_TEXTURESYSTEMMEMORY | D3DDEVCAPS_DRAWPRIMTLVERTEX |
                D3DDEVCAPS_CANRENDERAFTERFLIP | D3DDEVCAPS_DRAWPRIMITIVES2 |
                D3DDEVCAPS_DRAWPRIMITIVES2EX;
    c.PrimitiveMiscCaps = D3DPMISCCAPS_MASKZ | D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW |
                          D3DPMISCCAPS_CULLCCW | D3DPMISCCAPS_COLORWRITEENABLE |
                          D3DPMISCCAPS_CLIPTLVERTS | D3DPMISCCAPS_BLENDOP;
    c.RasterCaps = D3DPRASTERCAPS_ZTEST;
    const DWORD allCompares = 0xFF;
    c.ZCmpCaps = allCompares;
    c.AlphaCmpCaps = allCompares;
    const DWORD allBlends = 0x1FFF;
    c.SrcBlendCaps = allBlends;
    c.DestBlendCaps = allBlends;
    c.ShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_ALPHAGOURAUDBLEND;
    c.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA;
    c.TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MAGFPOINT;
    c.TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR |
                           D3DPTADDRESSCAPS_CLAMP | D3DPTADDRESSCAPS_BORDER |
                           D3DPTADDRESSCAPS_INDEPENDENTUV;
    c.LineCaps = D3DLINECAPS_TEXTURE | D3DLINECAPS_ZTEST | D3DLINECAPS_BLEND | D3DLINECAPS_ALPHACMP;
    c.MaxTextureWidth = 4096;
    c.MaxTextureHeight = 4096;
    c.MaxTextureRepeat = 8192;
    c.MaxTextureAspectRatio = 4096;
    c.MaxAnisotropy = 1;
    c.MaxVertexW = 1e10f;
    c.GuardBandLeft = float(-kCoordinateLimit);
    c.GuardBandTop = float(-kCoordinateLimit);
    c.GuardBandRight = float(kCoordinateLimit);
    c.GuardBandBottom = float(kCoordinateLimit);
    c.FVFCaps = kMaxTexCoords;
    c.TextureOpCaps = D3DTEXOPCAPS_DISABLE | D3DTEXOPCAPS_SELECTARG1 | D3DTEXOPCAPS_SELECTARG2 |
                      D3DTEXOPCAPS_MODULATE | D3DTEXOPCAPS_MODULATE2X | D3DTEXOPCAPS_MODULATE4X |
                      D3DTEXOPCAPS_ADD | D3DTEXOPCAPS_ADDSIGNED | D3DTEXOPCAPS_ADDSIGNED2X |
                      D3DTEXOPCAPS_SUBTRACT | D3DTEXOPCAPS_ADDSMOOTH |
                      D3DTEXOPCAPS_BLENDDIFFUSEALPHA | D3DTEXOPCAPS_BLENDTEXTUREALPHA |
                      D3DTEXOPCAPS_BLENDFACTORALPHA | D3DTEXOPCAPS_BLENDTEXTUREALPHAPM |
                      D3DTEXOPCAPS_BLENDCURRENTALPHA;
    c.MaxTextureBlendStages = kStages;
    c.MaxSimultaneousTextures = kStages;
    c.MaxPointSize = 1.0f;
    c.MaxPrimitiveCount = 0xFFFFF;
    c.MaxVertexIndex = 0xFFFFF;
    c.MaxStreams = 1;
    c.MaxStreamStride = 256;
    c.PixelShaderVersion = D3DPS_VERSION(1, 1);
    c.MaxPixelShaderValue = 1.0f;
    return c;
}

namespace {

class CDirect3D final : public winapi::backend::CSingleInterface<IDirect3D8> {
public:
    UINT GetAdapterCount() override { return 1; }

    HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER8* id) override {
        if (adapter != D3DADAPTER_DEFAULT || id == nullptr ||
            (flags & ~D3DENUM_NO_WHQL_LEVEL) != 0) {
            return D3DERR_INVALIDCALL;
        }
        std::memset(id, 0, sizeof *id);
        std::snprintf(id->Driver, sizeof id->Driver, "%s", "se-retimer-cpu");
        std::snprintf(
            id->Description, sizeof id->Description, "%s",
            "SE Retimer CPU rasterizer (Direct3D 8 drawn on the processor, shown through SDL2)");
        id->DriverVersion.HighPart = LONG((1u << 16) | 0u);  // product 1, version 0
        id->DriverVersion.LowPart = (0u << 16) | 1u;         // sub-version 0, build 1
        // A fixed identifier for this driver and adapter: {5E2E71E3-C0DE-4D38-8C50-0000000000D3}.
        id->DeviceIdentifier = {0x5e2e71e3, 0xc0de, 0x4d38, {0x8c, 0x50, 0, 0, 0, 0, 0, 0xd3}};
        id->WHQLLevel = 0;  // not certified
        return D3D_OK;
    }

    UINT GetAdapterModeCount(UINT adapter) override {
        return adapter == D3DADAPTER_DEFAULT ? UINT(AdapterModes().size()) : 0;
    }

    HRESULT EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* displayMode) override {
        if (adapter != D3DADAPTER_DEFAULT || displayMode == nullptr) return D3DERR_INVALIDCALL;
        const std::vector<D3DDISPLAYMODE> modes = AdapterModes();
        if (mode >= modes.size()) return D3DERR_INVALIDCALL;
        *displayMode = modes[mode];
        return D3D_OK;
    }

    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode) override {
        if (adapter != D3DADAPTER_DEFAULT || displayMode == nullptr) return D3DERR_INVALIDCALL;
        *displayMode = DesktopMode();
        return D3D_OK;
    }

    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT displayFormat,
                            D3DFORMAT backBufferFormat, BOOL windowed) override {
        if (adapter != D3DADAPTER_DEFAULT) return D3DERR_INVALIDCALL;
        if (!windowed) return D3DERR_NOTAVAILABLE;
        return CheckWindowedFormats(type, displayFormat, backBufferFormat);
    }

    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                              D3DRESOURCETYPE resourceType, D3DFORMAT format) override {
        if (adapter != D3DADAPTER_DEFAULT) return D3DERR_INVALIDCALL;
        if (type != D3DDEVTYPE_HAL || adapterFormat != D3DFMT_X8R8G8B8) return D3DERR_NOTAVAILABLE;
        const bool renderTarget = (usage & D3DUSAGE_RENDERTARGET) != 0;
        const bool depth = (usage & D3DUSAGE_DEPTHSTENCIL) != 0;
        if ((usage & ~(D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL | D3DUSAGE_DYNAMIC)) != 0 ||
            (renderTarget && depth)) {
            return D3DERR_NOTAVAILABLE;
        }
        bool ok = false;
        if (resourceType == D3DRTYPE_TEXTURE) {
            ok = !depth && (renderTarget ? IsRenderTargetFormat(format) : IsTextureFormat(format));
        } else if (resourceType == D3DRTYPE_SURFACE) {
            ok = depth ? IsDepthFormat(format)
                       : (renderTarget ? IsRenderTargetFormat(format) : IsTextureFormat(format));
        }
        return ok ? D3D_OK : D3DERR_NOTAVAILABLE;
    }

    HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT format,
                                       BOOL windowed, D3DMULTISAMPLE_TYPE multiSample) override {
        (void)format;
        (void)windowed;
        if (adapter != D3DADAPTER_DEFAULT) return D3DERR_INVALIDCALL;
        return type == D3DDEVTYPE_HAL && multiSample == D3DMULTISAMPLE_NONE ? D3D_OK
                                                                            : D3DERR_NOTAVAILABLE;
    }

    HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                   D3DFORMAT renderTargetFormat, D3DFORMAT depthFormat) override {
        if (adapter != D3DADAPTER_DEFAULT) return D3DERR_INVALIDCALL;
        const bool ok = type == D3DDEVTYPE_HAL && adapterFormat == D3DFMT_X8R8G8B8 &&
                        IsRenderTargetFormat(renderTargetFormat) && IsDepthFormat(depthFormat);
        return ok ? D3D_OK : D3DERR_NOTAVAILABLE;
    }

    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8* caps) override {
        if (adapter != D3DADAPTER_DEFAULT || caps == nullptr) return D3DERR_INVALIDCALL;
        if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
        *caps = DeviceCaps();
        return D3D_OK;
    }

    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice8** device) override {
        if (adapter != D3DADAPTER_DEFAULT) return D3DERR_INVALIDCALL;
        return CDevice::Create(this, type, focusWindow, behaviorFlags, parameters, device);
    }

private:
    ~CDirect3D() override = default;
    bool Answers(REFIID riid) const override { return riid == IID_IDirect3D8; }
};

}  // namespace

}  // namespace winapi::d3d8

IDirect3D8* Direct3DCreate8(UINT sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION) return nullptr;
    return new winapi::d3d8::CDirect3D();
}
