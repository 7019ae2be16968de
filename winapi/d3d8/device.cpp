// Direct3D 8 device: IDirect3DDevice8 over the processor rasterizer (raster.h), with
// its frames shown through SDL2 (presenter.h).
// Supports: one windowed device per window; a 32-bit back buffer (X8R8G8B8 or
// A8R8G8B8) with an optional D16 depth buffer; pre-transformed vertices (D3DFVF_XYZRHW
// with D3DFVF_DIFFUSE, D3DFVF_SPECULAR and up to eight 2-D texture coordinate sets) from
// the caller's memory in point, line and triangle lists, strips and fans; the
// fixed-function texture stages (DISABLE to BLENDCURRENTALPHA; arguments DIFFUSE,
// CURRENT, TEXTURE, TFACTOR, SPECULAR with COMPLEMENT and ALPHAREPLICATE); point
// sampling with wrap, mirror, clamp and border addressing; alpha test; depth test;
// blending with every factor and operation; colour write masks; culling; flat and
// Gouraud shading; Clear; CopyRects; render targets and render-target textures in the
// default pool; ps.1.0 and ps.1.1 pixel shaders (shader.h), which outlive Reset; lost
// devices and Reset.
// Does not support (a defined failure, said once on standard error): full-screen
// devices, untransformed vertices and lighting, vertex shaders, fog, specular addition,
// stencil, wire-frame and point fill, line patterns, depth bias, texture wrapping states,
// filtering other than point sampling, mip-mapped sampling, texture transforms,
// multisampling.
#include "d3d8/device.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <set>

#include "backend/syserror.h"
#include "d3d8/adapter.h"
#include "d3d8/pixels.h"

namespace winapi::d3d8 {

namespace {

using winapi::backend::WarnUnsupported;

constexpr UINT kMaxTextureSize = 4096;
constexpr UINT kMaxPrimitives = 0xFFFFF;

std::mutex liveLock;
// Never destroyed: a device held by a static of the program may be released while the
// process exits, after function-local statics made later are gone.
std::set<CDevice*>& LiveDevices() {
    static auto* devices = new std::set<CDevice*>;
    return *devices;
}

DWORD FloatBits(float value) {
    DWORD bits;
    std::memcpy(&bits, &value, 4);
    return bits;
}

// Vertex layout of a supported flexible vertex format; size 0 when unsupported.
struct Layout {
    UINT size = 0;
    int diffuse = -1, specular = -1, tex = -1;
    int texCount = 0;
};

Layout LayoutOf(DWORD fvf) {
    Layout layout;
    const DWORD known = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEXCOUNT_MASK;
    if ((fvf & D3DFVF_POSITION_MASK) != D3DFVF_XYZRHW || (fvf & ~known) != 0) return layout;
    const int texCount = int((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    if (texCount > kMaxTexCoords) return layout;
    UINT offset = 16;
    if (fvf & D3DFVF_DIFFUSE) {
        layout.diffuse = int(offset);
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        layout.specular = int(offset);
        offset += 4;
    }
    layout.tex = int(offset);
    layout.texCount = texCount;
    layout.size = offset + UINT(texCount) * 8;
    return layout;
}

Vertex Decode(const uint8_t* p, const Layout& layout) {
    Vertex v;
    std::memcpy(&v.x, p, 4);
    std::memcpy(&v.y, p + 4, 4);
    std::memcpy(&v.z, p + 8, 4);
    std::memcpy(&v.rhw, p + 12, 4);
    if (layout.diffuse >= 0) std::memcpy(&v.diffuse, p + layout.diffuse, 4);
    if (layout.specular >= 0) std::memcpy(&v.specular, p + layout.specular, 4);
    for (int i = 0; i < layout.texCount; ++i) std::memcpy(v.uv[i], p + layout.tex + 8 * i, 8);
    return v;
}

UINT VertexCount(D3DPRIMITIVETYPE type, UINT primitives) {
    switch (type) {
        case D3DPT_POINTLIST:
            return primitives;
        case D3DPT_LINELIST:
            return primitives * 2;
        case D3DPT_LINESTRIP:
            return primitives + 1;
        case D3DPT_TRIANGLELIST:
            return primitives * 3;
        case D3DPT_TRIANGLESTRIP:
        case D3DPT_TRIANGLEFAN:
            return primitives + 2;
        default:
            return 0;
    }
}

D3DMATRIX Identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

// Checks the presentation parameters of a windowed device and fills in what Windows
// fills in (a zero size becomes the window's client size).
HRESULT CheckParameters(D3DPRESENT_PARAMETERS& p, HWND window) {
    if (!p.Windowed) {
        WarnUnsupported("Direct3D full-screen devices");
        return D3DERR_INVALIDCALL;
    }
    if (p.BackBufferCount > 1 || p.MultiSampleType != D3DMULTISAMPLE_NONE ||
        p.SwapEffect < D3DSWAPEFFECT_DISCARD || p.SwapEffect > D3DSWAPEFFECT_COPY_VSYNC ||
        (p.Flags & ~D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0) {
        return D3DERR_INVALIDCALL;
    }
    if (!IsRenderTargetFormat(p.BackBufferFormat)) return D3DERR_INVALIDCALL;
    if (p.EnableAutoDepthStencil && !IsDepthFormat(p.AutoDepthStencilFormat)) {
        WarnUnsupported("Direct3D depth buffers other than D3DFMT_D16");
        return D3DERR_INVALIDCALL;
    }
    if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0) {
        int w = 0, h = 0;
        if (!WindowClientSize(window, &w, &h) || w <= 0 || h <= 0) return D3DERR_INVALIDCALL;
        if (p.BackBufferWidth == 0) p.BackBufferWidth = UINT(w);
        if (p.BackBufferHeight == 0) p.BackBufferHeight = UINT(h);
    }
    if (p.BackBufferWidth > kMaxTextureSize * 4 || p.BackBufferHeight > kMaxTextureSize * 4) {
        return D3DERR_INVALIDCALL;
    }
    if (p.BackBufferCount == 0) p.BackBufferCount = 1;
    return D3D_OK;
}

bool Supported(HRESULT& result, bool condition, const char* what) {
    if (!condition) {
        WarnUnsupported(what);
        result = D3DERR_INVALIDCALL;
    }
    return condition;
}

}  // namespace

// --- creation and lifetime ---------------------------------------------------------------

HRESULT CDevice::Create(IDirect3D8* direct3d, D3DDEVTYPE type, HWND focusWindow,
                        DWORD behaviorFlags, D3DPRESENT_PARAMETERS* parameters,
                        IDirect3DDevice8** device) {
    if (device == nullptr || parameters == nullptr) return D3DERR_INVALIDCALL;
    *device = nullptr;
    if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
    // Vertices are processed on the processor: only software vertex processing exists.
    const DWORD processing =
        behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                         D3DCREATE_MIXED_VERTEXPROCESSING);
    if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING ||
        (behaviorFlags & D3DCREATE_PUREDEVICE) != 0) {
        return D3DERR_INVALIDCALL;
    }
    if (behaviorFlags & ~(processing | D3DCREATE_FPU_PRESERVE)) {
        WarnUnsupported("Direct3D behaviour flags other than vertex processing and FPU_PRESERVE");
        return D3DERR_INVALIDCALL;
    }
    HWND window = parameters->hDeviceWindow ? parameters->hDeviceWindow : focusWindow;
    if (window == nullptr) return D3DERR_INVALIDCALL;
    D3DPRESENT_PARAMETERS checked = *parameters;
    HRESULT result = CheckParameters(checked, window);
    if (FAILED(result)) return result;
    result = CheckWindowedFormats(type, DesktopMode().Format, checked.BackBufferFormat);
    if (FAILED(result)) return result;

    CDevice* made = new CDevice(direct3d, type, focusWindow, behaviorFlags);
    made->parameters_ = checked;
    made->window_ = window;
    made->BuildSurfaces();
    made->ApplyDefaultStates();
    made->presenter_ =
        CPresenter::ForWindow(window, checked.BackBufferWidth, checked.BackBufferHeight);
    *parameters = checked;
    *device = made;
    return D3D_OK;
}

CDevice::CDevice(IDirect3D8* direct3d, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags)
    : direct3d_(direct3d) {
    direct3d_->AddRef();
    creation_.AdapterOrdinal = D3DADAPTER_DEFAULT;
    creation_.DeviceType = type;
    creation_.hFocusWindow = focusWindow;
    creation_.BehaviorFlags = behaviorFlags;
    std::lock_guard<std::mutex> hold(liveLock);
    LiveDevices().insert(this);
    WatchRendererResets(&CDevice::OnRendererReset);
}

CDevice::~CDevice() {
    {
        std::lock_guard<std::mutex> hold(liveLock);
        LiveDevices().erase(this);
    }
    ForgetFrames();
    DropSurfacesAndBindings();
    presenter_.reset();
    direct3d_->Release();
}

void CDevice::OnRendererReset() {
    std::lock_guard<std::mutex> hold(liveLock);
    for (CDevice* device : LiveDevices()) {
        if (device->presenter_ && device->loss_ == ELoss::None) device->ForceLoss(0);
    }
}

HRESULT CDevice::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3DDevice8) {
        *object = static_cast<IDirect3DDevice8*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CDevice::AddRef() { return ++references_; }

ULONG CDevice::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

void CDevice::BuildSurfaces() {
    const D3DPRESENT_PARAMETERS& p = parameters_;
    const bool lockable = (p.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0;
    backBuffer_ = new CSurface(
        CSurface::EKind::BackBuffer,
        std::make_shared<Image>(p.BackBufferWidth, p.BackBufferHeight, p.BackBufferFormat),
        D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, lockable, nullptr);
    backBuffer_->AdoptByDevice();
    backBufferStamp_ = backBuffer_->Pixels().stamp;
    if (p.EnableAutoDepthStencil) {
        autoDepth_ = new CSurface(CSurface::EKind::DepthStencil,
                                  std::make_shared<Image>(p.BackBufferWidth, p.BackBufferHeight,
                                                          p.AutoDepthStencilFormat),
                                  D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT, false, nullptr);
        autoDepth_->AdoptByDevice();
        FillDepth(autoDepth_->Pixels(), 0, 0, LONG(p.BackBufferWidth), LONG(p.BackBufferHeight),
                  1.0f);
    }
    BindRenderTarget(backBuffer_, autoDepth_);
}

void CDevice::DropSurfacesAndBindings() {
    for (CTexture*& texture : textures_) {
        if (texture != nullptr) texture->ReleaseDeviceReference();
        texture = nullptr;
    }
    BindRenderTarget(nullptr, nullptr);
    if (backBuffer_ != nullptr) backBuffer_->ReleaseDeviceReference();
    if (autoDepth_ != nullptr) autoDepth_->ReleaseDeviceReference();
    backBuffer_ = nullptr;
    autoDepth_ = nullptr;
}

void CDevice::BindRenderTarget(CSurface* target, CSurface* depth) {
    if (target != nullptr) target->AddDeviceRef();
    if (depth != nullptr) depth->AddDeviceRef();
    if (renderTarget_ != nullptr) renderTarget_->ReleaseDeviceRef();
    if (depthStencil_ != nullptr) depthStencil_->ReleaseDeviceRef();
    renderTarget_ = target;
    depthStencil_ = depth;
    if (renderTarget_ != nullptr) FullViewport();
}

void CDevice::FullViewport() {
    viewport_ = {0, 0, renderTarget_->Pixels().width, renderTarget_->Pixels().height, 0.0f, 1.0f};
}

void CDevice::ApplyDefaultStates() {
    std::fill(std::begin(renderStates_), std::end(renderStates_), 0);
    DWORD* rs = renderStates_;
    rs[D3DRS_ZENABLE] = parameters_.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRS_ZWRITEENABLE] = TRUE;
    rs[D3DRS_LASTPIXEL] = TRUE;
    rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_FOGEND] = FloatBits(1.0f);
    rs[D3DRS_FOGDENSITY] = FloatBits(1.0f);
    rs[D3DRS_STENCILFAIL] = rs[D3DRS_STENCILZFAIL] = rs[D3DRS_STENCILPASS] = 1;  // KEEP
    rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_STENCILMASK] = rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFFu;
    rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
    rs[D3DRS_CLIPPING] = TRUE;
    rs[D3DRS_LIGHTING] = TRUE;
    rs[D3DRS_COLORVERTEX] = TRUE;
    rs[D3DRS_LOCALVIEWER] = TRUE;
    rs[D3DRS_DIFFUSEMATERIALSOURCE] = 1;   // colour 1
    rs[D3DRS_SPECULARMATERIALSOURCE] = 2;  // colour 2
    rs[D3DRS_SOFTWAREVERTEXPROCESSING] = TRUE;
    rs[D3DRS_POINTSIZE] = FloatBits(1.0f);
    rs[D3DRS_POINTSIZE_MIN] = FloatBits(1.0f);
    rs[D3DRS_POINTSCALE_A] = FloatBits(1.0f);
    rs[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
    rs[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFFu;
    rs[D3DRS_PATCHSEGMENTS] = FloatBits(1.0f);
    rs[D3DRS_POINTSIZE_MAX] = FloatBits(64.0f);
    rs[D3DRS_COLORWRITEENABLE] = 0xF;
    rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    rs[D3DRS_POSITIONORDER] = 3;  // cubic
    rs[D3DRS_NORMALORDER] = 1;    // linear

    for (int stage = 0; stage < kStages; ++stage) {
        DWORD* ts = stageStates_[stage];
        std::fill(ts, ts + kStageStates, 0);
        ts[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        ts[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        ts[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        ts[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        ts[D3DTSS_TEXCOORDINDEX] = DWORD(stage);
        ts[D3DTSS_ADDRESSU] = ts[D3DTSS_ADDRESSV] = ts[D3DTSS_ADDRESSW] = D3DTADDRESS_WRAP;
        ts[D3DTSS_MAGFILTER] = ts[D3DTSS_MINFILTER] = D3DTEXF_POINT;
        ts[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
        ts[D3DTSS_MAXANISOTROPY] = 1;
        ts[D3DTSS_COLORARG0] = ts[D3DTSS_ALPHAARG0] = ts[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    }
    fvf_ = 0;
    transforms_.clear();
    std::memset(pixelShaderConstants_, 0, sizeof pixelShaderConstants_);
    pixelShader_ = 0;
    inScene_ = false;
    if (renderTarget_ != nullptr) FullViewport();
}

// --- lost devices and Reset --------------------------------------------------------------

void CDevice::ForceLoss(UINT pollsWhileLost) {
    loss_ = ELoss::Lost;
    pollsWhileLost_ = pollsWhileLost;
}

bool CDevice::Resettable() const {
    return pollsWhileLost_ == 0 && !(presenter_ && presenter_->Minimised());
}

HRESULT CDevice::TestCooperativeLevel() {
    switch (loss_) {
        case ELoss::None:
            return D3D_OK;
        case ELoss::NotReset:
            return D3DERR_DEVICENOTRESET;
        case ELoss::Lost:
            if (!Resettable()) {
                if (pollsWhileLost_ > 0) --pollsWhileLost_;
                return D3DERR_DEVICELOST;
            }
            loss_ = ELoss::NotReset;
            return D3DERR_DEVICENOTRESET;
    }
    return D3D_OK;
}

HRESULT CDevice::Reset(D3DPRESENT_PARAMETERS* parameters) {
    if (parameters == nullptr) return D3DERR_INVALIDCALL;
    if (loss_ == ELoss::Lost && !Resettable()) return D3DERR_DEVICELOST;
    D3DPRESENT_PARAMETERS checked = *parameters;
    if (checked.hDeviceWindow != nullptr && checked.hDeviceWindow != window_) {
        WarnUnsupported("Direct3D Reset onto another window");
        loss_ = ELoss::NotReset;
        return D3DERR_INVALIDCALL;
    }
    HRESULT result = CheckParameters(checked, window_);
    if (SUCCEEDED(result)) {
        result = CheckWindowedFormats(creation_.DeviceType, DesktopMode().Format,
                                      checked.BackBufferFormat);
    }
    // As on Windows, every default-pool resource and every reference to the back
    // buffer or the depth buffer must have been given back first.
    bool held = (backBuffer_ && backBuffer_->HeldOutsideDevice()) ||
                (autoDepth_ && autoDepth_->HeldOutsideDevice());
    {
        std::lock_guard<std::mutex> hold(defaultPool_->lock);
        for (CResource* member : defaultPool_->members) held = held || member->HeldOutsideDevice();
    }
    if (FAILED(result) || held) {
        loss_ = ELoss::NotReset;
        return D3DERR_INVALIDCALL;
    }
    ForgetFrames();
    DropSurfacesAndBindings();
    parameters_ = checked;
    BuildSurfaces();
    ApplyDefaultStates();
    if (presenter_) presenter_->Rebuild(checked.BackBufferWidth, checked.BackBufferHeight);
    loss_ = ELoss::None;
    pollsWhileLost_ = 0;
    checked.hDeviceWindow = parameters->hDeviceWindow;
    *parameters = checked;
    return D3D_OK;
}

HRESULT CDevice::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                         const _RGNDATA* dirtyRegion) {
    HRESULT result = D3D_OK;
    if (!Supported(result,
                   sourceRect == nullptr && destRect == nullptr && dirtyRegion == nullptr &&
                       (destWindowOverride == nullptr || destWindowOverride == window_),
                   "Direct3D Present with rectangles, a region or another window")) {
        return result;
    }
    if (loss_ != ELoss::None) {
        ForgetFrames();
        return D3DERR_DEVICELOST;
    }
    // A frame that is the last one again is neither drawn nor shown again, unless the
    // window lost what it showed; otherwise only the rows that changed are shown.
    frameDrawn_ = FinishFrame();
    const std::vector<RowSpan> changed = frameDrawn_ ? TakeChangedRows() : std::vector<RowSpan>();
    rowsShown_ = 0;
    for (const RowSpan& rows : changed) rowsShown_ += rows.count;
    const Image& frame = backBuffer_->Pixels();
    if (presenter_ && (!changed.empty() || presenter_->NeedsWholeFrame()) &&
        !presenter_->Show(frame.bits.data(), int(frame.pitch), changed)) {
        // The renderer refused the frame: it is gone until the device is reset.
        ForceLoss(0);
        return D3DERR_DEVICELOST;
    }
    return D3D_OK;
}

// --- queries -----------------------------------------------------------------------------

UINT CDevice::GetAvailableTextureMem() { return 256u << 20; }

HRESULT CDevice::GetDirect3D(IDirect3D8** direct3d) {
    if (direct3d == nullptr) return D3DERR_INVALIDCALL;
    direct3d_->AddRef();
    *direct3d = direct3d_;
    return D3D_OK;
}

HRESULT CDevice::GetDeviceCaps(D3DCAPS8* caps) {
    if (caps == nullptr) return D3DERR_INVALIDCALL;
    *caps = DeviceCaps();
    caps->DeviceType = creation_.DeviceType;
    if (withoutPixelShaders_) {
        caps->PixelShaderVersion = 0;
        caps->MaxPixelShaderValue = 0.0f;
    }
    return D3D_OK;
}

HRESULT CDevice::GetDisplayMode(D3DDISPLAYMODE* mode) {
    if (mode == nullptr) return D3DERR_INVALIDCALL;
    *mode = DesktopMode();
    return D3D_OK;
}

HRESULT CDevice::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) {
    if (parameters == nullptr) return D3DERR_INVALIDCALL;
    *parameters = creation_;
    return D3D_OK;
}

HRESULT CDevice::GetBackBuffer(UINT backBuffer, D3DBACKBUFFER_TYPE type,
                               IDirect3DSurface8** surface) {
    if (surface == nullptr || backBuffer != 0 || type != D3DBACKBUFFER_TYPE_MONO) {
        return D3DERR_INVALIDCALL;
    }
    backBuffer_->AddRef();
    *surface = backBuffer_;
    return D3D_OK;
}

HRESULT CDevice::GetRasterStatus(D3DRASTER_STATUS* status) {
    if (status == nullptr) return D3DERR_INVALIDCALL;
    // The beam of a display of the desktop's refresh rate, as a clock would place it:
    // the visible lines, then a blank of a twentieth of them.
    const D3DDISPLAYMODE mode = DesktopMode();
    const double rate = mode.RefreshRate ? double(mode.RefreshRate) : 60.0;
    const UINT lines = mode.Height + mode.Height / 20;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    const double phase = seconds * rate - std::floor(seconds * rate);
    const UINT line = std::min(lines - 1, UINT(phase * lines));
    status->InVBlank = line >= mode.Height;
    status->ScanLine = status->InVBlank ? 0 : line;
    return D3D_OK;
}

// --- resources ---------------------------------------------------------------------------

HRESULT CDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                               D3DPOOL pool, IDirect3DTexture8** texture) {
    if (texture == nullptr) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (width == 0 || height == 0 || width > kMaxTextureSize || height > kMaxTextureSize ||
        (usage & ~(D3DUSAGE_RENDERTARGET | D3DUSAGE_DYNAMIC)) != 0 ||
        (pool != D3DPOOL_DEFAULT && pool != D3DPOOL_MANAGED && pool != D3DPOOL_SYSTEMMEM) ||
        !IsTextureFormat(format)) {
        return D3DERR_INVALIDCALL;
    }
    if ((usage & D3DUSAGE_RENDERTARGET) &&
        (pool != D3DPOOL_DEFAULT || !IsRenderTargetFormat(format) || (usage & D3DUSAGE_DYNAMIC))) {
        return D3DERR_INVALIDCALL;
    }
    if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
    const UINT chain = CTexture::FullChainLength(width, height);
    if (levels == 0) levels = chain;
    if (levels > chain) return D3DERR_INVALIDCALL;
    *texture = new CTexture(width, height, levels, usage, format, pool, defaultPool_);
    return D3D_OK;
}

HRESULT CDevice::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                                    D3DMULTISAMPLE_TYPE multiSample, BOOL lockable,
                                    IDirect3DSurface8** surface) {
    if (surface == nullptr) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (width == 0 || height == 0 || width > kMaxTextureSize || height > kMaxTextureSize ||
        !IsRenderTargetFormat(format) || multiSample != D3DMULTISAMPLE_NONE) {
        return D3DERR_INVALIDCALL;
    }
    *surface =
        new CSurface(CSurface::EKind::RenderTarget, std::make_shared<Image>(width, height, format),
                     D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, lockable != FALSE, defaultPool_);
    return D3D_OK;
}

HRESULT CDevice::CreateImageSurface(UINT width, UINT height, D3DFORMAT format,
                                    IDirect3DSurface8** surface) {
    if (surface == nullptr) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (width == 0 || height == 0 || width > kMaxTextureSize * 4 || height > kMaxTextureSize * 4 ||
        !IsTextureFormat(format)) {
        return D3DERR_INVALIDCALL;
    }
    *surface = new CSurface(CSurface::EKind::Image, std::make_shared<Image>(width, height, format),
                            0, D3DPOOL_SYSTEMMEM, true, nullptr);
    return D3D_OK;
}

HRESULT CDevice::CopyRects(IDirect3DSurface8* source, const RECT* sourceRects, UINT count,
                           IDirect3DSurface8* destination, const POINT* destPoints) {
    CSurface* from = dynamic_cast<CSurface*>(source);
    CSurface* to = dynamic_cast<CSurface*>(destination);
    if (from == nullptr || to == nullptr || from->Locked() || to->Locked() ||
        from->Kind() == CSurface::EKind::DepthStencil ||
        to->Kind() == CSurface::EKind::DepthStencil) {
        return D3DERR_INVALIDCALL;
    }
    Image& src = from->Pixels();
    Image& dst = to->Pixels();
    if (src.format != dst.format) return D3DERR_INVALIDCALL;
    src.Settle();
    const RECT whole = {0, 0, LONG(src.width), LONG(src.height)};
    if (sourceRects == nullptr) count = 1;
    const UINT bpp = BytesPerPixel(src.format);
    // Every rectangle is checked before any is copied.
    for (int pass = 0; pass < 2; ++pass) {
        for (UINT i = 0; i < count; ++i) {
            const RECT r = sourceRects ? sourceRects[i] : whole;
            const LONG dx = destPoints ? destPoints[i].x : (sourceRects ? r.left : 0);
            const LONG dy = destPoints ? destPoints[i].y : (sourceRects ? r.top : 0);
            if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom ||
                r.right > LONG(src.width) || r.bottom > LONG(src.height) || dx < 0 || dy < 0 ||
                int64_t(dx) + (r.right - r.left) > int64_t(dst.width) ||
                int64_t(dy) + (r.bottom - r.top) > int64_t(dst.height)) {
                return D3DERR_INVALIDCALL;
            }
            if (pass == 0) continue;
            if (i == 0) dst.Touch();
            const size_t rowBytes = size_t(r.right - r.left) * bpp;
            std::vector<uint8_t> rows(rowBytes * size_t(r.bottom - r.top));
            for (LONG y = r.top; y < r.bottom; ++y) {
                std::memcpy(rows.data() + size_t(y - r.top) * rowBytes,
                            src.Row(UINT(y)) + size_t(r.left) * bpp, rowBytes);
            }
            for (LONG y = 0; y < r.bottom - r.top; ++y) {
                std::memcpy(dst.Row(UINT(dy + y)) + size_t(dx) * bpp,
                            rows.data() + size_t(y) * rowBytes, rowBytes);
            }
        }
    }
    return D3D_OK;
}

HRESULT CDevice::SetRenderTarget(IDirect3DSurface8* renderTarget, IDirect3DSurface8* depthStencil) {
    CSurface* target = renderTarget ? dynamic_cast<CSurface*>(renderTarget) : renderTarget_;
    CSurface* depth = depthStencil ? dynamic_cast<CSurface*>(depthStencil) : nullptr;
    if (target == nullptr || (depthStencil != nullptr && depth == nullptr))
        return D3DERR_INVALIDCALL;
    if (!(target->Usage() & D3DUSAGE_RENDERTARGET) ||
        !IsRenderTargetFormat(target->Pixels().format)) {
        return D3DERR_INVALIDCALL;
    }
    if (depth != nullptr && (depth->Kind() != CSurface::EKind::DepthStencil ||
                             depth->Pixels().width < target->Pixels().width ||
                             depth->Pixels().height < target->Pixels().height)) {
        return D3DERR_INVALIDCALL;
    }
    BindRenderTarget(target, depth);
    return D3D_OK;
}

HRESULT CDevice::GetRenderTarget(IDirect3DSurface8** surface) {
    if (surface == nullptr) return D3DERR_INVALIDCALL;
    renderTarget_->AddRef();
    *surface = renderTarget_;
    return D3D_OK;
}

HRESULT CDevice::GetDepthStencilSurface(IDirect3DSurface8** surface) {
    if (surface == nullptr) return D3DERR_INVALIDCALL;
    *surface = depthStencil_;
    if (depthStencil_ == nullptr) return D3DERR_NOTFOUND;
    depthStencil_->AddRef();
    return D3D_OK;
}

// --- scenes and drawing ------------------------------------------------------------------

HRESULT CDevice::BeginScene() {
    if (inScene_) return D3DERR_INVALIDCALL;
    inScene_ = true;
    return D3D_OK;
}

HRESULT CDevice::EndScene() {
    if (!inScene_) return D3DERR_INVALIDCALL;
    inScene_ = false;
    return D3D_OK;
}

HRESULT CDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                       DWORD stencil) {
    (void)stencil;
    const DWORD known = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL;
    if ((count != 0 && rects == nullptr) || flags == 0 || (flags & ~known) != 0) {
        return D3DERR_INVALIDCALL;
    }
    // The depth formats have no stencil bits.
    if ((flags & D3DCLEAR_STENCIL) || ((flags & D3DCLEAR_ZBUFFER) && depthStencil_ == nullptr)) {
        return D3DERR_INVALIDCALL;
    }
    if (loss_ != ELoss::None) return D3D_OK;  // nothing is drawn while the device is lost
    Command clear;
    clear.clear = true;
    clear.target = renderTarget_->SharedPixels();
    if (flags & D3DCLEAR_ZBUFFER) clear.depth = depthStencil_->SharedPixels();
    clear.flags = flags;
    clear.color = color;
    clear.z = z;
    const Image& target = *clear.target;
    const LONG vl = LONG(viewport_.X), vt = LONG(viewport_.Y);
    const LONG vr = std::min(LONG(viewport_.X + viewport_.Width), LONG(target.width));
    const LONG vb = std::min(LONG(viewport_.Y + viewport_.Height), LONG(target.height));
    const DWORD n = count == 0 ? 1 : count;
    for (DWORD i = 0; i < n; ++i) {
        LONG l = vl, t = vt, r = vr, b = vb;
        if (count != 0) {
            l = std::max(l, rects[i].x1);
            t = std::max(t, rects[i].y1);
            r = std::min(r, rects[i].x2);
            b = std::min(b, rects[i].y2);
        }
        if (l < r && t < b) clear.rects.push_back({l, t, r, b});
    }
    if (!clear.rects.empty()) Submit(std::move(clear));
    return D3D_OK;
}

PipelineState CDevice::Pipeline() {
    PipelineState s;
    const DWORD* rs = renderStates_;
    s.target = &renderTarget_->Pixels();
    s.depth = depthStencil_ ? &depthStencil_->Pixels() : nullptr;
    s.left = LONG(viewport_.X);
    s.top = LONG(viewport_.Y);
    s.right = std::min(LONG(viewport_.X + viewport_.Width), LONG(s.target->width));
    s.bottom = std::min(LONG(viewport_.Y + viewport_.Height), LONG(s.target->height));
    s.zEnable = rs[D3DRS_ZENABLE] != D3DZB_FALSE && s.depth != nullptr;
    s.zWrite = rs[D3DRS_ZWRITEENABLE] != FALSE;
    s.zFunc = rs[D3DRS_ZFUNC];
    s.alphaTest = rs[D3DRS_ALPHATESTENABLE] != FALSE;
    s.alphaRef = rs[D3DRS_ALPHAREF];
    s.alphaFunc = rs[D3DRS_ALPHAFUNC];
    s.blend = rs[D3DRS_ALPHABLENDENABLE] != FALSE;
    s.srcBlend = rs[D3DRS_SRCBLEND];
    s.destBlend = rs[D3DRS_DESTBLEND];
    s.blendOp = rs[D3DRS_BLENDOP];
    s.colorWriteMask = rs[D3DRS_COLORWRITEENABLE];
    s.cull = rs[D3DRS_CULLMODE];
    s.flatShade = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
    s.lastPixel = rs[D3DRS_LASTPIXEL] != FALSE;
    s.textureFactor = rs[D3DRS_TEXTUREFACTOR];
    for (int i = 0; i < kStages; ++i) {
        const DWORD* ts = stageStates_[i];
        StageState& stage = s.stages[i];
        stage.colorOp = ts[D3DTSS_COLOROP];
        stage.colorArg1 = ts[D3DTSS_COLORARG1];
        stage.colorArg2 = ts[D3DTSS_COLORARG2];
        stage.alphaOp = ts[D3DTSS_ALPHAOP];
        stage.alphaArg1 = ts[D3DTSS_ALPHAARG1];
        stage.alphaArg2 = ts[D3DTSS_ALPHAARG2];
        stage.texCoordIndex = ts[D3DTSS_TEXCOORDINDEX];
        stage.addressU = ts[D3DTSS_ADDRESSU];
        stage.addressV = ts[D3DTSS_ADDRESSV];
        stage.borderColor = ts[D3DTSS_BORDERCOLOR];
        stage.texture = textures_[i] ? &textures_[i]->Level(0)->Pixels() : nullptr;
    }
    s.texCoordCount = LayoutOf(fvf_).texCount;
    if (pixelShader_ != 0) {
        s.shader = pixelShaders_.at(pixelShader_).get();
        s.shaderConstants = pixelShaderConstants_;
    }
    return s;
}

HRESULT CDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices,
                                 UINT stride) {
    const Layout layout = LayoutOf(fvf_);
    const UINT count = VertexCount(type, primitiveCount);
    if (!inScene_ || vertices == nullptr || layout.size == 0 || stride < layout.size ||
        (count == 0 && primitiveCount != 0) || primitiveCount > kMaxPrimitives) {
        return D3DERR_INVALIDCALL;
    }
    for (CTexture* texture : textures_) {
        if (texture != nullptr && texture->AnyLevelLocked()) return D3DERR_INVALIDCALL;
    }
    if (loss_ != ELoss::None || primitiveCount == 0) return D3D_OK;

    Command draw;
    draw.type = type;
    draw.primitives = primitiveCount;
    const uint8_t* bytes = static_cast<const uint8_t*>(vertices);
    draw.vertices.resize(count);
    for (UINT i = 0; i < count; ++i) draw.vertices[i] = Decode(bytes + size_t(i) * stride, layout);
    draw.state = Pipeline();
    PipelineState& state = draw.state;
    draw.target = renderTarget_->SharedPixels();
    if (depthStencil_ != nullptr) draw.depth = depthStencil_->SharedPixels();
    for (int i = 0; i < kStages; ++i) {
        if (textures_[i] != nullptr) {
            draw.textures[i] = textures_[i]->Level(0)->SharedPixels();
            draw.textureStamps[i] = draw.textures[i]->stamp;
        }
        state.stages[i].texture = nullptr;
    }
    if (state.shader != nullptr) {
        draw.shader = pixelShaders_.at(pixelShader_);
        std::memcpy(draw.constants, pixelShaderConstants_, sizeof draw.constants);
    }
    state.target = nullptr;
    state.depth = nullptr;
    state.shader = nullptr;
    state.shaderConstants = nullptr;
    Submit(std::move(draw));
    return D3D_OK;
}

// --- frames ------------------------------------------------------------------------------

namespace {

bool SameState(const PipelineState& a, const PipelineState& b) {
    if (a.left != b.left || a.top != b.top || a.right != b.right || a.bottom != b.bottom ||
        a.zEnable != b.zEnable || a.zWrite != b.zWrite || a.zFunc != b.zFunc ||
        a.alphaTest != b.alphaTest || a.alphaRef != b.alphaRef || a.alphaFunc != b.alphaFunc ||
        a.blend != b.blend || a.srcBlend != b.srcBlend || a.destBlend != b.destBlend ||
        a.blendOp != b.blendOp || a.colorWriteMask != b.colorWriteMask || a.cull != b.cull ||
        a.flatShade != b.flatShade || a.lastPixel != b.lastPixel ||
        a.textureFactor != b.textureFactor || a.texCoordCount != b.texCoordCount) {
        return false;
    }
    for (int i = 0; i < kStages; ++i) {
        const StageState &x = a.stages[i], &y = b.stages[i];
        if (x.colorOp != y.colorOp || x.colorArg1 != y.colorArg1 || x.colorArg2 != y.colorArg2 ||
            x.alphaOp != y.alphaOp || x.alphaArg1 != y.alphaArg1 || x.alphaArg2 != y.alphaArg2 ||
            x.texCoordIndex != y.texCoordIndex || x.addressU != y.addressU ||
            x.addressV != y.addressV || x.borderColor != y.borderColor) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool CDevice::Command::Same(const Command& other) const {
    if (clear != other.clear || target != other.target || depth != other.depth) return false;
    if (clear) {
        return flags == other.flags && color == other.color &&
               std::memcmp(&z, &other.z, sizeof z) == 0 && rects.size() == other.rects.size() &&
               std::memcmp(rects.data(), other.rects.data(), rects.size() * sizeof(D3DRECT)) == 0;
    }
    if (type != other.type || primitives != other.primitives ||
        vertices.size() != other.vertices.size() || shader != other.shader ||
        std::memcmp(vertices.data(), other.vertices.data(), vertices.size() * sizeof(Vertex)) !=
            0 ||
        std::memcmp(textureStamps, other.textureStamps, sizeof textureStamps) != 0 ||
        !SameState(state, other.state)) {
        return false;
    }
    return shader == nullptr || std::memcmp(constants, other.constants, sizeof constants) == 0;
}

bool CDevice::Command::UsesDepth() const {
    return depth != nullptr && (clear ? (flags & D3DCLEAR_ZBUFFER) != 0 : state.zEnable);
}

namespace {

bool Empty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

RECT Union(const RECT& a, const RECT& b) {
    if (Empty(a)) return b;
    if (Empty(b)) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

RECT Intersection(const RECT& a, const RECT& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

// The pixels a command can touch: its clear rectangles, or the box around its vertices
// widened by a pixel on every side (whatever the rounding of points, lines and pixel
// centres), within the viewport.
RECT Bounds(const std::vector<D3DRECT>& rects, const std::vector<Vertex>& vertices,
            const PipelineState& state, bool clear) {
    RECT box{};
    if (clear) {
        for (const D3DRECT& r : rects) box = Union(box, {r.x1, r.y1, r.x2, r.y2});
        return box;
    }
    const RECT viewport{state.left, state.top, state.right, state.bottom};
    if (vertices.empty()) return box;
    double left = vertices[0].x, top = vertices[0].y, right = left, bottom = top;
    for (const Vertex& v : vertices) {
        if (!std::isfinite(v.x) || !std::isfinite(v.y)) return viewport;
        left = std::min(left, double(v.x));
        right = std::max(right, double(v.x));
        top = std::min(top, double(v.y));
        bottom = std::max(bottom, double(v.y));
    }
    auto within = [](double value, LONG low, LONG high) {
        return LONG(std::clamp(value, double(low), double(high)));
    };
    return {within(std::floor(left) - 1, viewport.left, viewport.right),
            within(std::floor(top) - 1, viewport.top, viewport.bottom),
            within(std::ceil(right) + 2, viewport.left, viewport.right),
            within(std::ceil(bottom) + 2, viewport.top, viewport.bottom)};
}

}  // namespace

void CDevice::Submit(Command&& command) {
    if (command.target.get() != &backBuffer_->Pixels()) {
        Execute(command);
        return;
    }
    command.bounds = Bounds(command.rects, command.vertices, command.state, command.clear);
    const size_t at = frame_.size();
    command.same = puttingOff_ && at < last_.size() && command.Same(last_[at]);
    frame_.push_back(std::move(command));
    if (!puttingOff_) {
        Execute(frame_.back());
        return;
    }
    const Command& putOff = frame_.back();
    auto mark = [&](Image* image) {
        if (image != nullptr && image->putOff == nullptr) {
            image->putOff = this;
            markedPutOff_.push_back(image);
        }
    };
    mark(putOff.target.get());
    if (putOff.UsesDepth()) mark(putOff.depth.get());
    for (const std::shared_ptr<Image>& texture : putOff.textures) mark(texture.get());
}

void CDevice::StopPuttingOff() {
    puttingOff_ = false;
    for (Image* image : markedPutOff_) image->putOff = nullptr;
    markedPutOff_.clear();
}

void CDevice::DoPutOff() {
    if (!puttingOff_) return;
    StopPuttingOff();
    for (Command& command : frame_) Execute(command);
}

void CDevice::Execute(Command& command, const RECT* clip) {
    Image& target = *command.target;
    const bool backBuffer = &target == &backBuffer_->Pixels();
    if (backBuffer && target.stamp != backBufferStamp_) backBufferWritten_ = true;
    target.Touch();
    if (command.UsesDepth()) command.depth->Touch();
    if (backBuffer) backBufferStamp_ = target.stamp;
    if (command.clear) {
        for (const D3DRECT& rect : command.rects) {
            RECT r{rect.x1, rect.y1, rect.x2, rect.y2};
            if (clip != nullptr) r = Intersection(r, *clip);
            if (Empty(r)) continue;
            if (command.flags & D3DCLEAR_TARGET)
                FillColor(target, r.left, r.top, r.right, r.bottom, command.color);
            if (command.flags & D3DCLEAR_ZBUFFER) {
                FillDepth(*command.depth, r.left, r.top, r.right, r.bottom, command.z);
            }
        }
        return;
    }
    PipelineState state = command.state;
    if (clip != nullptr) {
        state.left = std::max(state.left, clip->left);
        state.top = std::max(state.top, clip->top);
        state.right = std::min(state.right, clip->right);
        state.bottom = std::min(state.bottom, clip->bottom);
    }
    state.target = &target;
    state.depth = command.depth.get();
    for (int i = 0; i < kStages; ++i) state.stages[i].texture = command.textures[i].get();
    state.shader = command.shader.get();
    state.shaderConstants = command.constants;
    CRasterizer raster(state);
    const std::vector<Vertex>& v = command.vertices;
    const UINT count = UINT(v.size());
    switch (command.type) {
        case D3DPT_POINTLIST:
            for (UINT i = 0; i < count; ++i) raster.Point(v[i]);
            break;
        case D3DPT_LINELIST:
            for (UINT i = 0; i + 1 < count; i += 2) raster.Line(v[i], v[i + 1]);
            break;
        case D3DPT_LINESTRIP:
            for (UINT i = 0; i + 1 < count; ++i) raster.Line(v[i], v[i + 1]);
            break;
        default:
            DrawTriangles(raster, command.type, command.primitives, v);
            break;
    }
}

void CDevice::ForgetFrames() {
    StopPuttingOff();
    frame_.clear();
    last_.clear();
}

bool CDevice::ClearsWholeBackBuffer() const {
    if (frame_.empty()) return false;
    const Command& first = frame_.front();
    const Image& back = backBuffer_->Pixels();
    if (!first.clear || !(first.flags & D3DCLEAR_TARGET) || first.rects.size() != 1) return false;
    const D3DRECT& r = first.rects.front();
    if (r.x1 != 0 || r.y1 != 0 || r.x2 != LONG(back.width) || r.y2 != LONG(back.height))
        return false;
    // Depth is read only where this clear set it, all over the back buffer.
    for (const Command& command : frame_) {
        if (!command.UsesDepth()) continue;
        if (!(first.flags & D3DCLEAR_ZBUFFER) || command.depth != first.depth) return false;
    }
    return true;
}

RECT CDevice::Damage() const {
    RECT damage{};
    for (size_t i = 0; i < std::max(frame_.size(), last_.size()); ++i) {
        if (i < frame_.size() && i < last_.size() && frame_[i].same) continue;
        if (i < frame_.size()) damage = Union(damage, frame_[i].bounds);
        if (i < last_.size()) damage = Union(damage, last_[i].bounds);
    }
    return damage;
}

bool CDevice::FinishFrame() {
    const Image& back = backBuffer_->Pixels();
    if (back.stamp != backBufferStamp_) backBufferWritten_ = true;
    bool again = false;
    if (puttingOff_ && !backBufferWritten_) {
        // The back buffer holds the last frame: only what differs is drawn again.
        StopPuttingOff();
        RECT damage = Damage();
        again = Empty(damage);
        for (Command& command : frame_) {
            if (!again && !Empty(Intersection(command.bounds, damage))) Execute(command, &damage);
        }
    } else {
        DoPutOff();
    }
    // The next frame can be this one again when this one drew the whole back buffer from
    // a clear, and nothing else wrote it.
    const bool whole = ClearsWholeBackBuffer() && !backBufferWritten_;
    std::swap(last_, frame_);  // the next frame reuses the room of the one before
    frame_.clear();
    puttingOff_ = whole;
    backBufferWritten_ = false;
    return !again;
}

std::vector<RowSpan> CDevice::TakeChangedRows() {
    const Image& frame = backBuffer_->Pixels();
    const size_t rowBytes = size_t(frame.width) * 4;
    const bool resized = presentedWidth_ != frame.width || presentedHeight_ != frame.height ||
                         presented_.size() != size_t(frame.width) * frame.height;
    presentedWidth_ = frame.width;
    presentedHeight_ = frame.height;
    presented_.resize(size_t(frame.width) * frame.height);
    std::vector<RowSpan> changed;
    for (UINT y = 0; y < frame.height; ++y) {
        DWORD* shown = presented_.data() + size_t(y) * frame.width;
        if (!resized && std::memcmp(shown, frame.Row(y), rowBytes) == 0) continue;
        std::memcpy(shown, frame.Row(y), rowBytes);
        if (!changed.empty() && changed.back().first + changed.back().count == y) {
            ++changed.back().count;
        } else {
            changed.push_back({y, 1});
        }
    }
    return changed;
}

void CDevice::DrawTriangles(CRasterizer& raster, D3DPRIMITIVETYPE type, UINT count,
                            const std::vector<Vertex>& v) {
    // Triangle i: its vertices, whether it winds the other way round (every second
    // triangle of a strip) and the vertex flat shading takes its colours from.
    struct Triangle {
        const Vertex* corners[3];
        bool reversed;
        const Vertex* flat;
    };
    auto triangle = [&](UINT i) -> Triangle {
        switch (type) {
            case D3DPT_TRIANGLELIST:
                return {{&v[3 * i], &v[3 * i + 1], &v[3 * i + 2]}, false, &v[3 * i]};
            case D3DPT_TRIANGLESTRIP:
                return {{&v[i], &v[i + 1], &v[i + 2]}, (i & 1) != 0, &v[i]};
            default:
                return {{&v[0], &v[i + 1], &v[i + 2]}, false, &v[i + 1]};
        }
    };
    // Two triangles in a row that tile a rectangle are drawn as one.
    for (UINT i = 0; i < count;) {
        const Triangle a = triangle(i);
        if (i + 1 < count) {
            const Triangle b = triangle(i + 1);
            if (raster.Rectangle(a.corners, a.reversed, *a.flat, b.corners, b.reversed, *b.flat)) {
                i += 2;
                continue;
            }
        }
        raster.Triangle(*a.corners[0], *a.corners[1], *a.corners[2], a.reversed, *a.flat);
        ++i;
    }
}

// --- states ------------------------------------------------------------------------------

HRESULT CDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    const DWORD index = DWORD(state);
    const bool known = index == D3DTS_VIEW || index == D3DTS_PROJECTION ||
                       (index >= D3DTS_TEXTURE0 && index <= D3DTS_TEXTURE7) ||
                       (index >= 256 && index < 512);
    if (matrix == nullptr || !known) return D3DERR_INVALIDCALL;
    transforms_[index] = *matrix;  // kept for GetTransform; pre-transformed vertices ignore it
    return D3D_OK;
}

HRESULT CDevice::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (matrix == nullptr) return D3DERR_INVALIDCALL;
    const auto found = transforms_.find(DWORD(state));
    *matrix = found == transforms_.end() ? Identity() : found->second;
    return D3D_OK;
}

HRESULT CDevice::SetViewport(const D3DVIEWPORT8* viewport) {
    if (viewport == nullptr) return D3DERR_INVALIDCALL;
    const Image& target = renderTarget_->Pixels();
    if (viewport->Width == 0 || viewport->Height == 0 ||
        uint64_t(viewport->X) + viewport->Width > target.width ||
        uint64_t(viewport->Y) + viewport->Height > target.height) {
        return D3DERR_INVALIDCALL;
    }
    viewport_ = *viewport;
    return D3D_OK;
}

HRESULT CDevice::GetViewport(D3DVIEWPORT8* viewport) {
    if (viewport == nullptr) return D3DERR_INVALIDCALL;
    *viewport = viewport_;
    return D3D_OK;
}

HRESULT CDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    const DWORD index = DWORD(state);
    if (index >= DWORD(kRenderStates)) return D3DERR_INVALIDCALL;
    HRESULT result = D3D_OK;
    auto inRange = [&](DWORD low, DWORD high) {
        if (value < low || value > high) result = D3DERR_INVALIDCALL;
        return SUCCEEDED(result);
    };
    switch (state) {
        case D3DRS_ZENABLE:
            if (inRange(D3DZB_FALSE, D3DZB_USEW))
                Supported(result, value != D3DZB_USEW, "Direct3D w-buffers");
            break;
        case D3DRS_FILLMODE:
            if (inRange(D3DFILL_POINT, D3DFILL_SOLID)) {
                Supported(result, value == D3DFILL_SOLID, "Direct3D point and wire-frame fill");
            }
            break;
        case D3DRS_SHADEMODE:
            if (inRange(D3DSHADE_FLAT, D3DSHADE_PHONG))
                Supported(result, value != D3DSHADE_PHONG, "Direct3D Phong shading");
            break;
        case D3DRS_SRCBLEND:
        case D3DRS_DESTBLEND:
            inRange(D3DBLEND_ZERO, D3DBLEND_BOTHINVSRCALPHA);
            break;
        case D3DRS_BLENDOP:
            inRange(D3DBLENDOP_ADD, D3DBLENDOP_MAX);
            break;
        case D3DRS_ZFUNC:
        case D3DRS_ALPHAFUNC:
            inRange(D3DCMP_NEVER, D3DCMP_ALWAYS);
            break;
        case D3DRS_CULLMODE:
            inRange(D3DCULL_NONE, D3DCULL_CCW);
            break;
        case D3DRS_LINEPATTERN:
            Supported(result, value == 0, "Direct3D line patterns");
            break;
        case D3DRS_FOGENABLE:
            Supported(result, value == FALSE, "Direct3D fog");
            break;
        case D3DRS_SPECULARENABLE:
            Supported(result, value == FALSE, "Direct3D specular addition");
            break;
        case D3DRS_STENCILENABLE:
            Supported(result, value == FALSE, "Direct3D stencil");
            break;
        case D3DRS_EDGEANTIALIAS:
            Supported(result, value == FALSE, "Direct3D edge antialiasing");
            break;
        case D3DRS_ZBIAS:
            Supported(result, value == 0, "Direct3D depth bias");
            break;
        case D3DRS_WRAP0:
        case D3DRS_WRAP1:
        case D3DRS_WRAP2:
        case D3DRS_WRAP3:
        case D3DRS_WRAP4:
        case D3DRS_WRAP5:
        case D3DRS_WRAP6:
        case D3DRS_WRAP7:
            Supported(result, value == 0, "Direct3D texture wrapping states");
            break;
        case D3DRS_POINTSIZE:
            Supported(result, value == FloatBits(1.0f), "Direct3D points larger than one pixel");
            break;
        case D3DRS_POINTSPRITEENABLE:
        case D3DRS_POINTSCALEENABLE:
            Supported(result, value == FALSE, "Direct3D point sprites and point scaling");
            break;
        default:
            break;
    }
    if (SUCCEEDED(result)) renderStates_[index] = value;
    return result;
}

HRESULT CDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (value == nullptr || DWORD(state) >= DWORD(kRenderStates)) return D3DERR_INVALIDCALL;
    *value = renderStates_[state];
    return D3D_OK;
}

HRESULT CDevice::GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) {
    if (texture == nullptr || stage >= DWORD(kStages)) return D3DERR_INVALIDCALL;
    *texture = textures_[stage];
    if (*texture != nullptr) (*texture)->AddRef();
    return D3D_OK;
}

HRESULT CDevice::SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) {
    if (stage >= DWORD(kStages)) return D3DERR_INVALIDCALL;
    CTexture* bound = nullptr;
    if (texture != nullptr) {
        bound = dynamic_cast<CTexture*>(texture);
        // System-memory textures are for copying, not for drawing.
        if (bound == nullptr || bound->Pool() == D3DPOOL_SYSTEMMEM) return D3DERR_INVALIDCALL;
        bound->AddDeviceReference();
    }
    if (textures_[stage] != nullptr) textures_[stage]->ReleaseDeviceReference();
    textures_[stage] = bound;
    return D3D_OK;
}

HRESULT CDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
    if (value == nullptr || stage >= DWORD(kStages) || DWORD(type) >= DWORD(kStageStates)) {
        return D3DERR_INVALIDCALL;
    }
    *value = stageStates_[stage][type];
    return D3D_OK;
}

HRESULT CDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    if (stage >= DWORD(kStages) || DWORD(type) == 0 || DWORD(type) >= DWORD(kStageStates)) {
        return D3DERR_INVALIDCALL;
    }
    HRESULT result = D3D_OK;
    auto argument = [&]() {
        const DWORD selector = value & D3DTA_SELECTMASK;
        if ((value & ~(D3DTA_SELECTMASK | D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE)) != 0 ||
            selector > D3DTA_TEMP) {
            result = D3DERR_INVALIDCALL;
            return;
        }
        Supported(result, selector != D3DTA_TEMP, "Direct3D texture-stage temporary register");
    };
    switch (type) {
        case D3DTSS_COLOROP:
        case D3DTSS_ALPHAOP:
            if (value < D3DTOP_DISABLE || value > D3DTOP_LERP) {
                result = D3DERR_INVALIDCALL;
            } else {
                Supported(result, value <= D3DTOP_BLENDCURRENTALPHA,
                          "Direct3D texture operations beyond BLENDCURRENTALPHA");
            }
            break;
        case D3DTSS_COLORARG1:
        case D3DTSS_COLORARG2:
        case D3DTSS_ALPHAARG1:
        case D3DTSS_ALPHAARG2:
        case D3DTSS_COLORARG0:
        case D3DTSS_ALPHAARG0:
            argument();
            break;
        case D3DTSS_RESULTARG:
            Supported(result, value == D3DTA_CURRENT,
                      "Direct3D texture-stage results other than CURRENT");
            break;
        case D3DTSS_TEXCOORDINDEX:
            if (Supported(result, (value >> 16) == 0, "Direct3D generated texture coordinates")) {
                if (value >= DWORD(kMaxTexCoords)) result = D3DERR_INVALIDCALL;
            }
            break;
        case D3DTSS_ADDRESSU:
        case D3DTSS_ADDRESSV:
        case D3DTSS_ADDRESSW:
            if (value < D3DTADDRESS_WRAP || value > D3DTADDRESS_MIRRORONCE) {
                result = D3DERR_INVALIDCALL;
            } else {
                Supported(result, value != D3DTADDRESS_MIRRORONCE,
                          "Direct3D MIRRORONCE addressing");
            }
            break;
        case D3DTSS_MAGFILTER:
        case D3DTSS_MINFILTER:
            Supported(result, value == D3DTEXF_POINT,
                      "Direct3D texture filters other than point sampling");
            break;
        case D3DTSS_MIPFILTER:
            Supported(result, value == D3DTEXF_NONE, "Direct3D mip-mapped sampling");
            break;
        case D3DTSS_TEXTURETRANSFORMFLAGS:
            Supported(result, value == 0, "Direct3D texture transforms");
            break;
        default:
            break;
    }
    if (SUCCEEDED(result)) stageStates_[stage][type] = value;
    return result;
}

HRESULT CDevice::SetVertexShader(DWORD handle) {
    HRESULT result = D3D_OK;
    if (!Supported(result, LayoutOf(handle).size != 0,
                   "Direct3D vertex formats other than D3DFVF_XYZRHW with colours and 2-D "
                   "texture coordinates (and vertex shaders)")) {
        return result;
    }
    fvf_ = handle;
    return D3D_OK;
}

HRESULT CDevice::GetVertexShader(DWORD* handle) {
    if (handle == nullptr) return D3DERR_INVALIDCALL;
    *handle = fvf_;
    return D3D_OK;
}

HRESULT CDevice::CreatePixelShader(const DWORD* function, DWORD* handle) {
    if (function == nullptr || handle == nullptr || withoutPixelShaders_) return D3DERR_INVALIDCALL;
    std::shared_ptr<const PixelProgram> program = DecodePixelShader(function);
    if (!program) return D3DERR_INVALIDCALL;
    *handle = nextPixelShader_++;
    pixelShaders_[*handle] = std::move(program);
    return D3D_OK;
}

HRESULT CDevice::SetPixelShader(DWORD handle) {
    // 0 is the fixed-function pipeline.
    if (handle != 0 && pixelShaders_.find(handle) == pixelShaders_.end()) return D3DERR_INVALIDCALL;
    pixelShader_ = handle;
    return D3D_OK;
}

HRESULT CDevice::GetPixelShader(DWORD* handle) {
    if (handle == nullptr) return D3DERR_INVALIDCALL;
    *handle = pixelShader_;
    return D3D_OK;
}

HRESULT CDevice::DeletePixelShader(DWORD handle) {
    const auto found = pixelShaders_.find(handle);
    if (found == pixelShaders_.end()) return D3DERR_INVALIDCALL;
    pixelShaders_.erase(found);
    if (pixelShader_ == handle) pixelShader_ = 0;
    return D3D_OK;
}

HRESULT CDevice::SetPixelShaderConstant(DWORD firstRegister, const void* data, DWORD count) {
    const DWORD registers = DWORD(kPixelShaderConstants);
    if (data == nullptr || firstRegister > registers || count > registers - firstRegister) {
        return D3DERR_INVALIDCALL;
    }
    std::memcpy(pixelShaderConstants_[firstRegister], data, size_t(count) * 4 * sizeof(float));
    return D3D_OK;
}

// --- test seams --------------------------------------------------------------------------

std::vector<DWORD> CDevice::ReadRenderTarget(UINT* width, UINT* height) {
    Image& image = renderTarget_->Pixels();
    image.Settle();
    std::vector<DWORD> pixels(size_t(image.width) * image.height);
    for (UINT y = 0; y < image.height; ++y) {
        for (UINT x = 0; x < image.width; ++x) {
            pixels[size_t(y) * image.width + x] =
                ReadPixel(image.format, image.Row(y) + size_t(x) * 4);
        }
    }
    if (width) *width = image.width;
    if (height) *height = image.height;
    return pixels;
}

UINT CDevice::DefaultPoolCount() const {
    std::lock_guard<std::mutex> hold(defaultPool_->lock);
    return UINT(defaultPool_->members.size());
}

std::vector<DWORD> CDevice::PresentedFrame(UINT* width, UINT* height) const {
    if (width) *width = presentedWidth_;
    if (height) *height = presentedHeight_;
    std::vector<DWORD> frame = presented_;
    for (DWORD& pixel : frame) pixel |= 0xFF000000u;
    return frame;
}

}  // namespace winapi::d3d8
