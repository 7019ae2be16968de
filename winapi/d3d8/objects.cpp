// Direct3D 8 resources: surfaces and textures (see objects.h).
// Supports: textures with any number of levels in the formats of pixels.h, in the
// managed, default and system-memory pools; image surfaces; render targets; the back
// buffer and the depth buffer. Locking follows Windows: managed, system-memory and
// dynamic resources lock, render targets and depth buffers do not, the back buffer only
// when the device was created with D3DPRESENTFLAG_LOCKABLE_BACKBUFFER.
// Does not support: dirty rectangles (the whole texture is always current), private data.
#include "d3d8/objects.h"

#include "d3d8/pixels.h"

namespace winapi::d3d8 {

namespace {

constexpr DWORD kKnownLockFlags = D3DLOCK_READONLY | D3DLOCK_DISCARD | D3DLOCK_NOOVERWRITE |
                                  D3DLOCK_NOSYSLOCK | D3DLOCK_NO_DIRTY_UPDATE;

std::atomic<uint64_t> lastStamp{0};

}  // namespace

Image::Image(UINT w, UINT h, D3DFORMAT f) : width(w), height(h), format(f), stamp(++lastStamp) {
    pitch = w * BytesPerPixel(f);
    bits.assign(size_t(pitch) * h, 0);
}

void Image::Touch() {
    Settle();
    stamp = ++lastStamp;
}

CResource::CResource(std::shared_ptr<CDefaultPool> pool) : pool_(std::move(pool)) {
    if (pool_) {
        std::lock_guard<std::mutex> hold(pool_->lock);
        pool_->members.insert(this);
    }
}

CResource::~CResource() {
    if (pool_) {
        std::lock_guard<std::mutex> hold(pool_->lock);
        pool_->members.erase(this);
    }
}

ULONG CResource::ReleaseReference() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

// --- surfaces -------------------------------------------------------------------------

CSurface::CSurface(EKind kind, std::shared_ptr<Image> image, DWORD usage, D3DPOOL pool,
                   bool lockable, std::shared_ptr<CDefaultPool> defaultPool)
    : CResource(std::move(defaultPool)),
      kind_(kind),
      image_(std::move(image)),
      usage_(usage),
      pool_(pool),
      lockable_(lockable) {}

CSurface::CSurface(CTexture* container, std::shared_ptr<Image> image, DWORD usage, D3DPOOL pool,
                   bool lockable)
    : CResource(nullptr),
      kind_(EKind::TextureLevel),
      image_(std::move(image)),
      usage_(usage),
      pool_(pool),
      lockable_(lockable),
      container_(container) {}

HRESULT CSurface::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3DSurface8) {
        *object = static_cast<IDirect3DSurface8*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CSurface::AddRef() { return container_ ? container_->AddRef() : AddReference(); }

ULONG CSurface::Release() { return container_ ? container_->Release() : ReleaseReference(); }

void CSurface::AddDeviceRef() {
    if (container_) {
        container_->AddDeviceReference();
    } else {
        AddDeviceReference();
    }
}

void CSurface::ReleaseDeviceRef() {
    if (container_) {
        container_->ReleaseDeviceReference();
    } else {
        ReleaseDeviceReference();
    }
}

HRESULT CSurface::GetDesc(D3DSURFACE_DESC* desc) {
    if (desc == nullptr) return D3DERR_INVALIDCALL;
    desc->Format = image_->format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = usage_;
    desc->Pool = pool_;
    desc->Size = UINT(image_->bits.size());
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->Width = image_->width;
    desc->Height = image_->height;
    return D3D_OK;
}

HRESULT CSurface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    if (locked == nullptr || !lockable_ || locked_ || (flags & ~kKnownLockFlags) != 0) {
        return D3DERR_INVALIDCALL;
    }
    LONG left = 0, top = 0;
    if (rect != nullptr) {
        if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right ||
            rect->top >= rect->bottom || rect->right > LONG(image_->width) ||
            rect->bottom > LONG(image_->height)) {
            return D3DERR_INVALIDCALL;
        }
        left = rect->left;
        top = rect->top;
    }
    // The caller reads, and unless it promised not to writes, the pixels from here on.
    if (flags & D3DLOCK_READONLY) {
        image_->Settle();
    } else {
        image_->Touch();
    }
    locked->Pitch = int(image_->pitch);
    locked->pBits = image_->Row(UINT(top)) + size_t(left) * BytesPerPixel(image_->format);
    locked_ = true;
    return D3D_OK;
}

HRESULT CSurface::UnlockRect() {
    if (!locked_) return D3DERR_INVALIDCALL;
    locked_ = false;
    return D3D_OK;
}

// --- textures -------------------------------------------------------------------------

UINT CTexture::FullChainLength(UINT width, UINT height) {
    UINT levels = 1;
    while (width > 1 || height > 1) {
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
        ++levels;
    }
    return levels;
}

CTexture::CTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                   D3DPOOL pool, std::shared_ptr<CDefaultPool> defaultPool)
    : CResource(pool == D3DPOOL_DEFAULT ? std::move(defaultPool) : nullptr),
      usage_(usage),
      pool_(pool) {
    // Default-pool textures lock only when dynamic; render targets never.
    const bool lockable = (pool != D3DPOOL_DEFAULT || (usage & D3DUSAGE_DYNAMIC) != 0) &&
                          (usage & D3DUSAGE_RENDERTARGET) == 0;
    for (UINT i = 0; i < levels; ++i) {
        levels_.push_back(new CSurface(this, std::make_shared<Image>(width, height, format), usage,
                                       pool, lockable));
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
    }
}

CTexture::~CTexture() {
    for (CSurface* level : levels_) delete level;
}

HRESULT CTexture::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3DResource8 ||
        riid == IID_IDirect3DBaseTexture8 || riid == IID_IDirect3DTexture8) {
        *object = static_cast<IDirect3DTexture8*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT CTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    if (level >= levels_.size()) return D3DERR_INVALIDCALL;
    return levels_[level]->GetDesc(desc);
}

HRESULT CTexture::GetSurfaceLevel(UINT level, IDirect3DSurface8** surface) {
    if (surface == nullptr || level >= levels_.size()) return D3DERR_INVALIDCALL;
    *surface = levels_[level];
    AddRef();
    return D3D_OK;
}

HRESULT CTexture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    if (level >= levels_.size()) return D3DERR_INVALIDCALL;
    return levels_[level]->LockRect(locked, rect, flags);
}

HRESULT CTexture::UnlockRect(UINT level) {
    if (level >= levels_.size()) return D3DERR_INVALIDCALL;
    return levels_[level]->UnlockRect();
}

bool CTexture::AnyLevelLocked() const {
    for (const CSurface* level : levels_) {
        if (level->Locked()) return true;
    }
    return false;
}

}  // namespace winapi::d3d8
