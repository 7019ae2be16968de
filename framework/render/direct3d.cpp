// The Direct3D object, the device and the frame. Every Raise has its own site number
// (861xx); Raise may return (an error is already being handled, or a caller's policy),
// so each site answers false and leaves the state it has consistent.
#include "framework/render/direct3d.h"

#include <hostpath.h>
#include <io.h>

#include <cmath>
#include <cstdio>

#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/platform/file.h"
#include "framework/platform/home.h"
#include "framework/render/device_logs.h"
#include "framework/render/presets.h"
#include "framework/render/texture.h"

namespace Site = NVireo::NError::NSite::NDirect3D;

namespace NVireo::NDirectX::N3D {

namespace {

using NVireo::NError::kSite;
using NVireo::NString::BBasic;

// The SDK version the program was written against.
constexpr UINT kSdkVersion = 220;
constexpr UINT kDefaultAdapter = 0;
constexpr uint32_t kMaxResetAttempts = 100;
constexpr D3DCOLOR kOpaqueBlack = 0xFF000000u;

bool (*pixelShaderProbe)() = nullptr;

// A wrapped call without a device is a programming error: reported, and the call is not
// made.
bool NoDevice(const CDevice& device, uint32_t site) {
    if (device.Exists()) return false;
    Raise(kSite, site, "no device");
    return true;
}

// Clears the presenting guard when the frame ends by any path.
struct CPresentingScope {
    CPresentingScope() { RendererState().presenting = true; }
    ~CPresentingScope() { RendererState().presenting = false; }
};

// The desktop's bits per pixel: those of the default adapter's current display mode.
// 0 when it cannot be read or its format is outside the table (reported).
uint32_t DesktopBits() {
    SE_MARK();
    IDirect3D8* d3d = Direct3D().Get();
    D3DDISPLAYMODE mode{};
    if (d3d == nullptr ||
        RaiseIfFailed(d3d->GetAdapterDisplayMode(kDefaultAdapter, &mode), Site::kDesktopMode))
        return 0;
    const uint32_t bits = FormatBits(mode.Format);
    if (bits == 0) {
        char message[32];
        std::snprintf(message, sizeof message, "format=%u", static_cast<unsigned>(mode.Format));
        Raise(kSite, Site::kDesktopFormat, message);
    }
    return bits;
}

// Windowed, discarding, with the format of the first display mode of the desktop's depth
// that holds the back buffer. No such mode is fatal, with the parameters in the message.
bool ChooseBackBufferFormat(D3DPRESENT_PARAMETERS& p, uint32_t desktopBits) {
    SE_MARK();
    IDirect3D8* d3d = Direct3D().Get();
    p.Windowed = TRUE;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    const UINT count = d3d->GetAdapterModeCount(kDefaultAdapter);
    for (UINT i = 0; i < count; ++i) {
        D3DDISPLAYMODE mode{};
        if (RaiseIfFailed(d3d->EnumAdapterModes(kDefaultAdapter, i, &mode), Site::kEnumModes))
            return false;
        if (FormatBits(mode.Format) == desktopBits && mode.Width >= p.BackBufferWidth &&
            mode.Height >= p.BackBufferHeight) {
            p.BackBufferFormat = mode.Format;
            return true;
        }
    }
    BBasic<char> message;
    PresentParametersText(p, message);
    message.AppendFormat("\n%u\n", desktopBits);
    Raise(kSite, Site::kNoBackBufferMode, message.c_str());
    return false;
}

// Whether the adapter answers "yes" (true), "no" (D3DERR_NOTAVAILABLE: false) or fails
// (reported, false).
bool Supported(HRESULT result, uint32_t site) {
    if (result == D3DERR_NOTAVAILABLE) return false;
    return !RaiseIfFailed(result, site);
}

}  // namespace

uint32_t FormatBits(D3DFORMAT format) {
    switch (static_cast<uint32_t>(format)) {
        case 20:
            return 24;
        case 21:
        case 22:
        case 62:
        case 63:
        case 64:
        case 65:
        case 71:
        case 75:
        case 77:
        case 79:
        case 102:
            return 32;
        case 23:
        case 24:
        case 25:
        case 29:
        case 30:
        case 40:
        case 51:
        case 60:
        case 61:
        case 70:
        case 73:
        case 80:
        case 101:
            return 16;
        case 27:
        case 28:
        case 41:
        case 50:
        case 52:
            return 8;
        default:
            return 0;
    }
}

// --- the Direct3D object --------------------------------------------------------------

CDirect3D& Direct3D() {
    static CDirect3D direct3D;
    return direct3D;
}

bool CDirect3D::Create() {
    SE_MARK();
    object.Release();
    object.Attach(Direct3DCreate8(kSdkVersion));
    if (object.IsNull()) {
        Raise(kSite, Site::kCreateDirect3D, nullptr);
        return false;
    }
    return true;
}

// --- process-wide records -------------------------------------------------------------

D3DPRESENT_PARAMETERS& PresentParameters() {
    static D3DPRESENT_PARAMETERS parameters = [] {
        D3DPRESENT_PARAMETERS p{};
        p.BackBufferCount = 1;
        return p;
    }();
    return parameters;
}

D3DCAPS8& DeviceCaps() {
    static D3DCAPS8 caps{};
    return caps;
}

namespace {
D3DFORMAT displayFormat = D3DFMT_UNKNOWN;
}

D3DFORMAT DisplayFormat() { return displayFormat; }

CRendererState& RendererState() {
    static CRendererState state;
    return state;
}

void SetPixelShaderProbe(bool (*probe)()) { pixelShaderProbe = probe; }

// --- the device -----------------------------------------------------------------------

CDevice& Device() {
    static CDevice device;
    return device;
}

void CDevice::Release() {
    SE_MARK();
    object.Release();
    type = 0;
    behavior = 0;
}

bool CDevice::CreateWindowed(HWND window) {
    SE_MARK();
    IDirect3D8* d3d = Direct3D().Get();
    if (d3d == nullptr) {
        Raise(kSite, Site::kNoDirect3D, nullptr);
        return false;
    }
    const uint32_t desktopBits = DesktopBits();
    if (desktopBits == 0) return false;
    D3DPRESENT_PARAMETERS p = PresentParameters();
    if (!ChooseBackBufferFormat(p, desktopBits)) return false;
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D16;

    Release();
    D3DDISPLAYMODE mode{};
    if (RaiseIfFailed(d3d->GetAdapterDisplayMode(kDefaultAdapter, &mode), Site::kCreateMode))
        return false;
    // The desktop's own format; the mode list above only checked that it can hold us.
    p.BackBufferFormat = mode.Format;

    static const D3DDEVTYPE kTypes[] = {D3DDEVTYPE_HAL, D3DDEVTYPE_REF, D3DDEVTYPE_SW};
    static const DWORD kBehaviors[] = {D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                       D3DCREATE_MIXED_VERTEXPROCESSING,
                                       D3DCREATE_SOFTWARE_VERTEXPROCESSING};
    for (D3DDEVTYPE t : kTypes) {
        for (DWORD b : kBehaviors) {
            D3DPRESENT_PARAMETERS attempt = p;
            IDirect3DDevice8* created = nullptr;
            if (SUCCEEDED(d3d->CreateDevice(kDefaultAdapter, t, window, b, &attempt, &created)) &&
                created != nullptr) {
                object.Attach(created);
                type = static_cast<uint32_t>(t);
                behavior = b;
                break;
            }
        }
        if (Exists()) break;
    }
    if (!Exists()) return false;
    PresentParameters() = p;

    if (RaiseIfFailed(d3d->GetAdapterDisplayMode(kDefaultAdapter, &mode), Site::kDisplayMode))
        return false;
    displayFormat = mode.Format;
    if (RaiseIfFailed(object->GetDeviceCaps(&DeviceCaps()), Site::kCreateCaps)) return false;
    const D3DDEVTYPE deviceType = static_cast<D3DDEVTYPE>(type);
    if (!Supported(d3d->CheckDeviceFormat(kDefaultAdapter, deviceType, mode.Format,
                                          D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D16),
                   Site::kDepthFormat) ||
        !Supported(d3d->CheckDepthStencilMatch(kDefaultAdapter, deviceType, mode.Format,
                                               p.BackBufferFormat, D3DFMT_D16),
                   Site::kDepthMatch)) {
        Release();
        return false;
    }
    depthFormat = D3DFMT_D16;
    return true;
}

bool CDevice::BeginScene() {
    return !NoDevice(*this, Site::kNoDevice) &&
           !RaiseIfFailed(object->BeginScene(), Site::kBeginScene);
}
bool CDevice::EndScene() {
    return !NoDevice(*this, Site::kNoDevice) && !RaiseIfFailed(object->EndScene(), Site::kEndScene);
}

bool CDevice::Clear(DWORD flags, float z) {
    if (NoDevice(*this, Site::kNoDevice)) return false;
    return !RaiseIfFailed(object->Clear(0, nullptr, flags, kOpaqueBlack, z, 0), Site::kClear);
}

bool CDevice::ClearAll() {
    DWORD flags = D3DCLEAR_TARGET;
    switch (static_cast<uint32_t>(PresentParameters().AutoDepthStencilFormat)) {
        case 70:
        case 71:
        case 73:
        case 75:
        case 77:
        case 79:
        case 80:
            flags |= D3DCLEAR_ZBUFFER;
            break;
        default:
            break;
    }
    return Clear(flags, 1.0f);
}

bool CDevice::SetFVF(DWORD fvf) {
    return !NoDevice(*this, Site::kNoDevice) &&
           !RaiseIfFailed(object->SetVertexShader(fvf), Site::kSetFVF);
}

bool CDevice::DrawUP(D3DPRIMITIVETYPE primitive, UINT count, const void* vertices, UINT stride) {
    if (NoDevice(*this, Site::kNoDevice)) return false;
    return !RaiseIfFailed(object->DrawPrimitiveUP(primitive, count, vertices, stride),
                          Site::kDrawUP);
}

bool CDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    return !NoDevice(*this, Site::kNoDevice) &&
           !RaiseIfFailed(object->SetRenderState(state, value), Site::kSetRenderState);
}

bool CDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE stateType, DWORD value) {
    if (NoDevice(*this, Site::kNoDevice)) return false;
    return !RaiseIfFailed(object->SetTextureStageState(stage, stateType, value),
                          Site::kSetTextureStageState);
}

bool CDevice::SetTexture(IDirect3DBaseTexture8* texture) {
    return !NoDevice(*this, Site::kNoDevice) &&
           !RaiseIfFailed(object->SetTexture(0, texture), Site::kSetTexture);
}

IDirect3DTexture8* CDevice::CreateTexture(UINT width, UINT height, DWORD usage, D3DFORMAT format,
                                          D3DPOOL pool) {
    SE_MARK();
    IDirect3DTexture8* texture = nullptr;
    if (NoDevice(*this, Site::kNoDevice)) return nullptr;
    if (RaiseIfFailed(object->CreateTexture(width, height, 1, usage, format, pool, &texture),
                      Site::kCreateTexture)) {
        return nullptr;
    }
    return texture;
}

IDirect3DSurface8* CDevice::GetRenderTarget() {
    SE_MARK();
    IDirect3DSurface8* target = nullptr;
    if (NoDevice(*this, Site::kNoDevice)) return nullptr;
    if (RaiseIfFailed(object->GetRenderTarget(&target), Site::kGetRenderTarget)) return nullptr;
    return target;
}

bool CDevice::SetViewport(DWORD width, DWORD height, float minZ, float maxZ) {
    const D3DPRESENT_PARAMETERS& p = PresentParameters();
    D3DVIEWPORT8 viewport{};
    viewport.X = 0;
    viewport.Y = 0;
    viewport.Width = width < p.BackBufferWidth ? width : p.BackBufferWidth;
    viewport.Height = height < p.BackBufferHeight ? height : p.BackBufferHeight;
    viewport.MinZ = minZ;
    viewport.MaxZ = maxZ;
    return !NoDevice(*this, Site::kNoDevice) &&
           !RaiseIfFailed(object->SetViewport(&viewport), Site::kSetViewport);
}

HRESULT CDevice::Reset(const D3DPRESENT_PARAMETERS& parameters) {
    SE_MARK();
    PresentParameters() = parameters;
    if (!Exists()) return D3DERR_INVALIDCALL;
    return object->Reset(&PresentParameters());
}

bool CDevice::TestCooperativeLevel() {
    SE_MARK();
    if (!Exists()) return false;
    const HRESULT result = object->TestCooperativeLevel();
    if (result == D3DERR_DEVICELOST) return false;
    if (result == D3DERR_DEVICENOTRESET) return ResetAndRestore();
    if (SUCCEEDED(result)) {
        RendererState().lostCount = 0;
        return true;
    }
    Raise(kSite, Site::kCooperativeLevel, "");
    return false;
}

// --- start-up and shutdown ------------------------------------------------------------

bool RaiseIfFailed(HRESULT result, uint32_t site) {
    if (SUCCEEDED(result)) return false;
    char message[32];
    std::snprintf(message, sizeof message, "error code=0x%x", static_cast<unsigned>(result));
    Raise(kSite, site, message);
    return true;
}

bool StartRenderer(HWND window) {
    SE_MARK();
    if (!Direct3D().Create()) return false;
    CRendererState& state = RendererState();
    if (!(state.brightness >= -0.5f && state.brightness <= 0.5f)) state.brightness = 0.0f;
    if (!Device().CreateWindowed(window)) {
        Raise(kSite, Site::kStartDevice, "");
        return false;
    }
    if (RaiseIfFailed(Device().object->GetDeviceCaps(&DeviceCaps()), Site::kStartCaps))
        return false;
    if (!Device().SetRenderState(D3DRS_LASTPIXEL, FALSE)) return false;
    state.cameraMatrices.assign(5, D3DMATRIX{});
    ApplyDefaultStates();
    return true;
}

void StopRenderer() {
    SE_MARK();
    RendererState().cameraMatrices.clear();
    Device().Release();
    Direct3D().Release();
}

// --- default states -------------------------------------------------------------------

void ApplyDefaultStates() {
    SE_MARK();
    CDevice& device = Device();
    for (DWORD stage = 0; stage < 8; ++stage) {
        device.SetTextureStageState(stage, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
        device.SetTextureStageState(stage, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
    }
    device.SetRenderState(D3DRS_LIGHTING, FALSE);
    device.SetViewport(PresentParameters().BackBufferWidth, PresentParameters().BackBufferHeight,
                       0.0f, 1.0f);
    device.SetRenderState(D3DRS_LASTPIXEL, FALSE);
    RendererState().pixelShaders = pixelShaderProbe != nullptr && pixelShaderProbe();
}

// --- the frame ------------------------------------------------------------------------

D3DCOLOR BrightnessColor(float brightness) {
    if (brightness < 0.0f) return static_cast<D3DCOLOR>(std::trunc(-brightness * 255.0f)) << 24;
    if (brightness > 0.0f) {
        return static_cast<D3DCOLOR>(std::trunc(brightness * 255.0f)) << 24 | 0x00FFFFFFu;
    }
    return 0;
}

void RenderFrame(const CFrameSteps& steps) {
    SE_MARK();
    CRendererState& state = RendererState();
    CDevice& device = Device();
    if (state.presenting || !device.Exists()) return;
    CPresentingScope presenting;

    if (steps.graphicEffect && steps.drawEffect) steps.drawEffect();
    if (!device.BeginScene()) return;
    ApplyDefaultStates();
    if (steps.drawScene) steps.drawScene();
    device.SetRenderState(D3DRS_ZENABLE, FALSE);
    device.SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    if (steps.showFps) {
        device.SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        SetTextureFactor(0xFFFFFFFFu);
        PresetTinted();
        if (steps.drawFpsLine) steps.drawFpsLine();
    }
    if (state.brightness != 0.0f) {
        PresetFlatAlpha(BrightnessColor(state.brightness));
        DrawFlatRect(0.0f, 0.0f, static_cast<float>(PresentParameters().BackBufferWidth),
                     static_cast<float>(PresentParameters().BackBufferHeight));
    }
    if (!device.EndScene()) return;
    if (state.waitForVerticalBlank) {
        D3DRASTER_STATUS raster{};
        while (SUCCEEDED(device.object->GetRasterStatus(&raster)) && !raster.InVBlank) Sleep(1);
    }
    if (device.object->Present(nullptr, nullptr, nullptr, nullptr) == D3DERR_DEVICELOST) {
        state.lostCount = 1;
    }
}

// --- lost device ----------------------------------------------------------------------

bool ResetAndRestore() {
    SE_MARK();
    CDevice& device = Device();
    CRendererState& state = RendererState();
    ReleaseRegisteredResources();
    Sleep(100);

    D3DPRESENT_PARAMETERS p = PresentParameters();
    if (p.Windowed) {
        const uint32_t bits = DesktopBits();
        if (bits == 0) return false;
        if (bits != FormatBits(p.BackBufferFormat) && !ChooseBackBufferFormat(p, bits))
            return false;
    }
    const HRESULT result = device.Reset(p);
    if (SUCCEEDED(result)) {
        D3DDISPLAYMODE mode{};
        if (SUCCEEDED(Direct3D().Get()->GetAdapterDisplayMode(kDefaultAdapter, &mode))) {
            displayFormat = mode.Format;
        }
        if (!ReCreateRegisteredResources()) {
            Raise(kSite, Site::kReCreateResources, "");
            return false;
        }
        state.lostCount = 0;
        return true;
    }
    if (result == D3DERR_DEVICELOST || result == D3DERR_INVALIDCALL) {
        if (++state.lostCount > kMaxResetAttempts) {
            char message[32];
            std::snprintf(message, sizeof message, "lost=%u", state.lostCount);
            Raise(kSite, Site::kStillLost, message);
        }
        return false;
    }
    const char* name = nullptr;
    if (result == E_OUTOFMEMORY) name = "E_OUTOFMEMORY";
    if (result == D3DERR_OUTOFVIDEOMEMORY) name = "D3DERR_OUTOFVIDEOMEMORY";
    if (result == D3DERR_DRIVERINTERNALERROR) name = "D3DERR_DRIVERINTERNALERROR";
    if (name == nullptr) {
        Raise(kSite, Site::kResetFailed, "");
        return false;
    }
    BBasic<char> message(name);
    message.AppendFormat(":%u,%u\n", 0u, 0u);
    PresentParametersText(PresentParameters(), message);
    message.AppendChar('\n');
    Raise(kSite, Site::kResetOutOfResources, message.c_str());
    return false;
}

// --- screenshots ----------------------------------------------------------------------

namespace {

// One line on standard error with what F7 did and the file's full path: the user sees
// where the picture went, or that it could not be written.
void SayScreenshot(const char* outcome, const BBasic<char>& name) {
    const std::string path = name.c_str()[0] == '/' ? std::string(name.c_str())
                                                    : NVireo::NFile::HomeFolder() + name.c_str();
    std::fprintf(stderr, "%s: %s\n", outcome, ProgramToHostPath(path).c_str());
}

}  // namespace

BBasic<char> SaveScreenshot(const char* folder) {
    SE_MARK();
    BBasic<char> name;
    if (!Device().Exists()) return name;
    NVireo::NFile::EnterHomeFolder();
    NVireo::NFile::MakeFolders(folder);  // one that cannot be made: nothing is written
    const std::string prefix = NVireo::NError::ReportPath(folder, "");
    for (unsigned i = 0; i < 10000; ++i) {
        name.Format("%s%4u.bmp", prefix.c_str(), i);
        if (_access(name.c_str(), 0) != 0) {
            const bool saved = CaptureRenderTarget(name.c_str());
            SayScreenshot(saved ? "Screenshot saved" : "Screenshot could not be written", name);
            return saved ? name : BBasic<char>();
        }
    }
    SayScreenshot("Screenshot could not be written, every name up to this one is taken", name);
    return BBasic<char>();
}

}  // namespace NVireo::NDirectX::N3D
