// The device's resources: pixel images, surfaces and textures, with COM reference
// counting. References the device itself holds (a bound texture, the current render
// target) are counted apart, so Reset can tell whether the program still holds one.
#pragma once

#include <d3d8.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

namespace winapi::d3d8 {

// Drawing the device has put off (see CDevice::Submit); it is done before anything else
// reads or writes the pixels it draws with or into.
class IPutOff {
public:
    virtual void DoPutOff() = 0;

protected:
    ~IPutOff() = default;
};

// Pixels of one surface: rows top first, pitch bytes apart.
struct Image {
    UINT width = 0;
    UINT height = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    UINT pitch = 0;
    std::vector<uint8_t> bits;
    // Which pixels these are: a number no other image and no other state of these pixels
    // has had, renewed by Touch.
    uint64_t stamp;
    IPutOff* putOff = nullptr;  // drawing put off that reads or writes these pixels

    Image(UINT w, UINT h, D3DFORMAT f);
    uint8_t* Row(UINT y) { return bits.data() + size_t(y) * pitch; }
    const uint8_t* Row(UINT y) const { return bits.data() + size_t(y) * pitch; }
    // Before the pixels are read other than by the drawing put off: that drawing is done.
    void Settle() {
        if (putOff != nullptr) putOff->DoPutOff();
    }
    // Before the pixels are written: the drawing put off is done, and the stamp renewed.
    void Touch();
};

class CResource;

// The default-pool resources of one device, which must all be released before Reset.
// Resources keep it alive, so a resource that outlives its device can still leave.
struct CDefaultPool {
    std::mutex lock;
    std::set<CResource*> members;
};

// Reference counting shared by surfaces and textures.
class CResource {
public:
    ULONG AddReference() { return ++references_; }
    ULONG ReleaseReference();
    // A reference the device holds (a binding); Reset drops these itself.
    void AddDeviceReference() {
        ++deviceReferences_;
        AddReference();
    }
    void ReleaseDeviceReference() {
        --deviceReferences_;
        ReleaseReference();
    }
    // Counts the creation reference as the device's (the back buffer, the depth buffer).
    void AdoptByDevice() { ++deviceReferences_; }
    // True while someone other than the device's bindings holds a reference.
    bool HeldOutsideDevice() const { return references_.load() > deviceReferences_.load(); }

protected:
    explicit CResource(std::shared_ptr<CDefaultPool> pool);
    virtual ~CResource();

private:
    std::atomic<ULONG> references_{1};
    std::atomic<ULONG> deviceReferences_{0};
    std::shared_ptr<CDefaultPool> pool_;  // null outside the default pool
};

class CTexture;

class CSurface final : public IDirect3DSurface8, public CResource {
public:
    enum class EKind { Image, RenderTarget, BackBuffer, DepthStencil, TextureLevel };

    // A surface of its own (reference counted by itself).
    CSurface(EKind kind, std::shared_ptr<Image> image, DWORD usage, D3DPOOL pool, bool lockable,
             std::shared_ptr<CDefaultPool> defaultPool);
    // One level of a texture: its references are the texture's.
    CSurface(CTexture* container, std::shared_ptr<Image> image, DWORD usage, D3DPOOL pool,
             bool lockable);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    EKind Kind() const { return kind_; }
    Image& Pixels() { return *image_; }
    const std::shared_ptr<Image>& SharedPixels() const { return image_; }
    DWORD Usage() const { return usage_; }
    bool Locked() const { return locked_; }
    CTexture* Container() const { return container_; }
    // Device references go to the texture for a texture's level.
    void AddDeviceRef();
    void ReleaseDeviceRef();

private:
    ~CSurface() override = default;
    friend class CTexture;

    EKind kind_;
    std::shared_ptr<Image> image_;
    DWORD usage_;
    D3DPOOL pool_;
    bool lockable_;
    bool locked_ = false;
    CTexture* container_ = nullptr;
};

class CTexture final : public IDirect3DTexture8, public CResource {
public:
    CTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
             std::shared_ptr<CDefaultPool> defaultPool);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override { return AddReference(); }
    ULONG Release() override { return ReleaseReference(); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return DWORD(levels_.size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface8** surface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    D3DPOOL Pool() const { return pool_; }
    DWORD Usage() const { return usage_; }
    CSurface* Level(UINT level) { return level < levels_.size() ? levels_[level] : nullptr; }
    bool AnyLevelLocked() const;

    // The number of levels of a full chain down to 1 x 1.
    static UINT FullChainLength(UINT width, UINT height);

private:
    ~CTexture() override;

    DWORD usage_;
    D3DPOOL pool_;
    std::vector<CSurface*> levels_;  // owned; destroyed with the texture
};

}  // namespace winapi::d3d8
