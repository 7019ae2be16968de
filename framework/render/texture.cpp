// Textures, surfaces, their registries, the image loaders, sprites and the render-target
// capture. Every Raise has its own site number (863xx); Raise may return (an error is
// already being handled, or a caller's policy), so each site answers false and leaves
// the object empty or as it was.
#include "framework/render/texture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/package/package.h"
#include "framework/render/direct3d.h"
#include "framework/render/pixels.h"

namespace Site = NVireo::NError::NSite::NTexture;

namespace NVireo::NDirectX::N3D {

namespace {

using NVireo::NError::kSite;
using NVireo::NFile::NSTDIO::CBinary;
using NVireo::NString::BBasic;

constexpr uint32_t kLargestSide = 4096;

const char* FormatName(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_A8R8G8B8:
            return "D3DFMT_A8R8G8B8";
        case D3DFMT_X8R8G8B8:
            return "D3DFMT_X8R8G8B8";
        case D3DFMT_R5G6B5:
            return "D3DFMT_R5G6B5";
        case D3DFMT_X1R5G5B5:
            return "D3DFMT_X1R5G5B5";
        case D3DFMT_A1R5G5B5:
            return "D3DFMT_A1R5G5B5";
        case D3DFMT_A4R4G4B4:
            return "D3DFMT_A4R4G4B4";
        default:
            return nullptr;
    }
}

// A texture of one level in format, after the device said it takes that format with
// usage; an unsupported format is fatal with the usage and the format on two lines.
IDirect3DTexture8* CreateCheckedTexture(UINT width, UINT height, DWORD usage, D3DFORMAT format,
                                        D3DPOOL pool) {
    SE_MARK();
    const D3DFORMAT backBuffer = PresentParameters().BackBufferFormat;
    if (format == D3DFMT_A1R5G5B5 &&
        (backBuffer == D3DFMT_A8R8G8B8 || backBuffer == D3DFMT_X8R8G8B8)) {
        format = D3DFMT_A8R8G8B8;
    }
    IDirect3D8* d3d = Direct3D().Get();
    if (d3d == nullptr || !Device().Exists()) {
        Raise(kSite, Site::kNoDevice, "no device");
        return nullptr;
    }
    const HRESULT checked =
        d3d->CheckDeviceFormat(0, static_cast<D3DDEVTYPE>(Device().type), DisplayFormat(), usage,
                               D3DRTYPE_TEXTURE, format);
    if (FAILED(checked)) {
        BBasic<char> message;
        message.Format("%lu\n", static_cast<unsigned long>(usage));
        if (const char* name = FormatName(format)) {
            message.Concat3(name, "\n", nullptr);
        } else {
            message.AppendFormat("%u\n", static_cast<unsigned>(format));
        }
        Raise(kSite, Site::kFormat, message.c_str());
        return nullptr;
    }
    return Device().CreateTexture(width, height, usage, format, pool);
}

// Unlocks level 0 of a texture when the pixel loop ends by any path (a stop request
// leaves it by exception).
class CLockedLevel {
public:
    explicit CLockedLevel(IDirect3DTexture8* texture) : texture_(texture) {}
    ~CLockedLevel() {
        if (locked_) texture_->UnlockRect(0);
    }
    bool Lock(D3DLOCKED_RECT& rect, uint32_t site) {
        locked_ = !RaiseIfFailed(texture_->LockRect(0, &rect, nullptr, 0), site);
        return locked_;
    }
    bool Unlock(uint32_t site) {
        locked_ = false;
        return !RaiseIfFailed(texture_->UnlockRect(0), site);
    }

private:
    IDirect3DTexture8* texture_;
    bool locked_ = false;
};

// Clears every row of a locked level, so texels outside the image read as transparent
// black.
void ClearLevel(const D3DLOCKED_RECT& rect, uint32_t height, uint32_t rowBytes) {
    for (uint32_t y = 0; y < height; ++y) {
        std::memset(static_cast<uint8_t*>(rect.pBits) + static_cast<ptrdiff_t>(y) * rect.Pitch, 0,
                    rowBytes);
    }
}

}  // namespace

// --- registries -------------------------------------------------------------------------

CRegistry<NTexture::CBase>& TextureRegistry() {
    static CRegistry<NTexture::CBase> registry;
    return registry;
}

CRegistry<NTexture::CBase>& OffScreenRegistry() {
    static CRegistry<NTexture::CBase> registry;
    return registry;
}

CRegistry<NSurface::CBase>& SurfaceRegistry() {
    static CRegistry<NSurface::CBase> registry;
    return registry;
}

namespace {

template <typename T>
void ReleaseAll(CRegistry<T>& registry) {
    for (T* object : registry) {
        object->pendingReCreate = !object->IsNull();
        object->Release();
    }
}

template <typename T>
bool ReCreateAll(CRegistry<T>& registry) {
    // Re-creating may not change the registry, but copy the members first all the same.
    std::vector<T*> objects;
    for (T* object : registry) objects.push_back(object);
    for (T* object : objects) {
        if (!object->pendingReCreate) continue;
        object->pendingReCreate = false;
        if (!object->ReCreate()) return false;
    }
    return true;
}

}  // namespace

void ReleaseRegisteredResources() {
    SE_MARK();
    ReleaseAll(TextureRegistry());
    ReleaseAll(OffScreenRegistry());
    ReleaseAll(SurfaceRegistry());
}

bool ReCreateRegisteredResources() {
    SE_MARK();
    return ReCreateAll(OffScreenRegistry()) && ReCreateAll(TextureRegistry()) &&
           ReCreateAll(SurfaceRegistry());
}

// --- textures ---------------------------------------------------------------------------

namespace NTexture {

uint32_t PowerOfTwoSide(uint32_t side) {
    if (side > kLargestSide) return 0;
    uint32_t rounded = 1;
    while (rounded < side) rounded <<= 1;
    return side == 0 ? 0 : rounded;
}

CBasic::CBasic() {
    SE_MARK();
    TextureRegistry().Insert(this);
}

CBasic::~CBasic() {
    SE_MARK();
    TextureRegistry().Erase(this);
    Release();
}

bool CBasic::ReCreate() {
    SE_MARK();
    Raise(kSite, Site::kTextureReCreate, Describe().c_str());
    return false;
}

bool CBasic::Create(uint32_t width, uint32_t height, int32_t kind) {
    SE_MARK();
    Release();
    imageWidth = imageHeight = textureWidth = textureHeight = 0;
    const D3DFORMAT format = NImage::TextureFormat(kind, PresentParameters().BackBufferFormat);
    if (format == D3DFMT_UNKNOWN) {
        char message[32];
        std::snprintf(message, sizeof message, "kind=%d", static_cast<int>(kind));
        Raise(kSite, Site::kTextureKind, message);
        return false;
    }
    IDirect3DTexture8* texture = CreateCheckedTexture(width, height, 0, format, D3DPOOL_MANAGED);
    if (texture == nullptr) return false;
    Attach(texture);
    D3DSURFACE_DESC desc{};
    if (RaiseIfFailed(object->GetLevelDesc(0, &desc), Site::kTextureDesc)) {
        Release();
        return false;
    }
    imageWidth = width;
    imageHeight = height;
    textureWidth = desc.Width;
    textureHeight = desc.Height;
    return true;
}

bool CBasic::FillFromImages(const NImage::CBitmap& colour, const NImage::CBitmap* mask,
                            int32_t kind, const volatile uint8_t* stop) {
    SE_MARK();
    if (mask != nullptr && (mask->width < colour.width || mask->height < colour.height)) {
        char message[64];
        std::snprintf(message, sizeof message, "%u,%u:%u,%u\n", mask->width, mask->height,
                      colour.width, colour.height);
        Raise(kSite, Site::kMaskSize, message);
        return false;
    }
    if (!Create(colour.width, colour.height, kind)) return false;
    D3DSURFACE_DESC desc{};
    if (RaiseIfFailed(object->GetLevelDesc(0, &desc), Site::kImagesDesc)) return false;
    CLockedLevel level(object);
    D3DLOCKED_RECT rect{};
    if (!level.Lock(rect, Site::kImagesLock)) return false;
    ClearLevel(rect, desc.Height, desc.Width * NImage::BytesPerPixel(desc.Format));
    NImage::BuildPixels(kind, colour, mask, {rect.pBits, rect.Pitch, desc.Format}, stop);
    return level.Unlock(Site::kImagesUnlock);
}

bool CBasic::FillFromBmp(CBinary& colour, const char* colourName, CBinary* mask,
                         const char* maskName, int32_t kind, const volatile uint8_t* stop) {
    SE_MARK();
    const D3DCAPS8& caps = DeviceCaps();
    NImage::CBitmap colourImage, maskImage;
    if (!NImage::ReadBmp(colour, colourName, caps.MaxTextureWidth, caps.MaxTextureHeight,
                         colourImage)) {
        return false;
    }
    if (mask != nullptr &&
        !NImage::ReadBmp(*mask, maskName, caps.MaxTextureWidth, caps.MaxTextureHeight, maskImage)) {
        return false;
    }
    return FillFromImages(colourImage, mask ? &maskImage : nullptr, kind, stop);
}

bool CBasic::FillFromColorEntry(CBinary& entry, const char* entryName, int32_t kind,
                                const volatile uint8_t* stop) {
    SE_MARK();
    uint8_t size[8];
    if (!entry.ReadBytes(size, sizeof size, Site::kEntrySize)) return false;
    const uint32_t width =
        size[0] | size[1] << 8 | size[2] << 16 | static_cast<uint32_t>(size[3]) << 24;
    const uint32_t height =
        size[4] | size[5] << 8 | size[6] << 16 | static_cast<uint32_t>(size[7]) << 24;
    uint32_t sideX = PowerOfTwoSide(width);
    uint32_t sideY = PowerOfTwoSide(height);
    if (sideX == 0 || sideY == 0) {
        BBasic<char> message;
        message.Format("%u,%u\n", width, height);
        message.Concat3(entryName, "\n", nullptr);
        Raise(kSite, Site::kEntryTooLarge, message.c_str());
        return false;
    }
    const uint32_t aspect = DeviceCaps().MaxTextureAspectRatio;
    if (aspect < sideX || aspect < sideY) sideX = sideY = std::max(sideX, sideY);

    const uint64_t bytes = uint64_t{width} * height * 4;
    const uint64_t position = entry.Position();
    const uint64_t fileSize = entry.Size();
    if (position > fileSize || fileSize - position < bytes) {
        char message[64];
        std::snprintf(message, sizeof message, "%d(%u),T=%u", static_cast<int>(position),
                      static_cast<unsigned>(fileSize), static_cast<unsigned>(bytes));
        Raise(kSite, Site::kEntryShort, message);
        return false;
    }
    std::vector<uint8_t> pixels(bytes);
    if (!entry.ReadBytes(pixels.data(), pixels.size(), Site::kEntryPixels)) return false;

    if (!Create(sideX, sideY, kind)) return false;
    D3DSURFACE_DESC desc{};
    if (RaiseIfFailed(object->GetLevelDesc(0, &desc), Site::kEntryDesc)) return false;
    CLockedLevel level(object);
    D3DLOCKED_RECT rect{};
    if (!level.Lock(rect, Site::kEntryLock)) return false;
    ClearLevel(rect, desc.Height, desc.Width * NImage::BytesPerPixel(desc.Format));
    NImage::BuildColorPixels(kind, width, height, pixels.data(),
                             {rect.pBits, rect.Pitch, desc.Format}, stop);
    if (!level.Unlock(Site::kEntryUnlock)) return false;
    imageWidth = width;
    imageHeight = height;
    return true;
}

namespace NOffScreen {

CBasic::CBasic() {
    SE_MARK();
    OffScreenRegistry().Insert(this);
}

CBasic::~CBasic() {
    SE_MARK();
    OffScreenRegistry().Erase(this);
    Release();
}

bool CBasic::ReCreate() {
    SE_MARK();
    Raise(kSite, Site::kOffScreenReCreate, Describe().c_str());
    return false;
}

bool CBasic::Create(uint32_t newWidth, uint32_t newHeight, int32_t newKind, DWORD newUsage,
                    D3DPOOL newPool) {
    SE_MARK();
    Release();
    const D3DFORMAT format = NImage::TextureFormat(newKind, PresentParameters().BackBufferFormat);
    if (format == D3DFMT_UNKNOWN) {
        char message[32];
        std::snprintf(message, sizeof message, "kind=%d", static_cast<int>(newKind));
        Raise(kSite, Site::kOffScreenKind, message);
        return false;
    }
    kind = newKind;
    width = newWidth;
    height = newHeight;
    usage = newUsage;
    pool = newPool;
    IDirect3DTexture8* texture =
        CreateCheckedTexture(newWidth, newHeight, newUsage, format, newPool);
    if (texture == nullptr) return false;
    Attach(texture);
    return true;
}

bool CReCreateOnly::ReCreate() {
    SE_MARK();
    if (width == 0) return true;
    return Create(width, height, kind, usage, pool);
}

}  // namespace NOffScreen

}  // namespace NTexture

// --- surfaces ---------------------------------------------------------------------------

namespace NSurface {

CBasic::CBasic() {
    SE_MARK();
    SurfaceRegistry().Insert(this);
}

CBasic::~CBasic() {
    SE_MARK();
    SurfaceRegistry().Erase(this);
    Release();
}

bool CBasic::ReCreate() {
    SE_MARK();
    Raise(kSite, Site::kSurfaceReCreate, "");
    return false;
}

}  // namespace NSurface

// --- image descriptors and loading ------------------------------------------------------

const char* SourceTypeText(int32_t sourceType) {
    static const char* const kTexts[] = {"EMPTY", "SYSTEM", "SCENARIO", "BMP",
                                         "COLOR", "PNG",    "JPEG"};
    if (sourceType < 0 || sourceType >= static_cast<int32_t>(sizeof kTexts / sizeof kTexts[0])) {
        return nullptr;
    }
    return kTexts[sourceType];
}

BBasic<char> CImageDescriptor::Text() const {
    SE_MARK();
    BBasic<char> text;
    const char* source = SourceTypeText(sourceType);
    if (source == nullptr) {
        char message[32];
        std::snprintf(message, sizeof message, "source=%d", static_cast<int>(sourceType));
        Raise(kSite, Site::kDescriptorSource, message);
        return text;
    }
    text.Concat3(name.c_str(), "\n", mask.c_str());
    text.Concat3("\n", third.c_str(), "\n");
    text.AppendFormat("%d\n", static_cast<int>(kind));
    text.Concat3(source, "\n", nullptr);
    return text;
}

namespace {

// Opens a picture of the descriptor's source: a package entry, or a loose file (a missing
// one is fatal with its name).
bool OpenPicture(int32_t sourceType, const char* name, CBinary& file) {
    SE_MARK();
    if (sourceType == kSourceBmp) {
        if (file.TryOpen(name, "rb")) return true;
        Raise(kSite, Site::kOpenPicture, name);
        return false;
    }
    NVireo::NRender::CPackage& package = sourceType == kSourceScenario
                                             ? NVireo::NRender::ScenarioPackage()
                                             : NVireo::NRender::ProgramPackage();
    NVireo::NRender::CPackage::Entry entry;
    return package.OpenEntry(file, entry, name);
}

void AlphaOf(int32_t kind, const NImage::CBitmap& colour, const NImage::CBitmap* mask,
             std::vector<uint8_t>& alpha) {
    alpha.resize(size_t{colour.width} * colour.height);
    for (uint32_t y = 0; y < colour.height; ++y) {
        for (uint32_t x = 0; x < colour.width; ++x) {
            alpha[size_t{y} * colour.width + x] =
                static_cast<uint8_t>(NImage::ComposePixel(kind, colour.Pixel(x, y),
                                                          mask ? mask->Pixel(x, y) : nullptr) >>
                                     24);
        }
    }
}

}  // namespace

bool LoadImage(NTexture::CBasic& texture, const CImageDescriptor& d, std::vector<uint8_t>* alpha) {
    SE_MARK();
    if (alpha) alpha->clear();
    switch (d.sourceType) {
        case kSourceEmpty:
        case kSourcePng:
        case kSourceJpeg:
            return true;
        case kSourceSystem:
        case kSourceScenario:
        case kSourceBmp: {
            const D3DCAPS8& caps = DeviceCaps();
            CBinary colourFile;
            NImage::CBitmap colour, mask;
            if (!OpenPicture(d.sourceType, d.name.c_str(), colourFile) ||
                !NImage::ReadBmp(colourFile, d.name.c_str(), caps.MaxTextureWidth,
                                 caps.MaxTextureHeight, colour)) {
                return false;
            }
            colourFile.Close();
            const bool masked = d.mask.Length() != 0 && !d.mask.Equals(d.name);
            if (masked) {
                CBinary maskFile;
                if (!OpenPicture(d.sourceType, d.mask.c_str(), maskFile) ||
                    !NImage::ReadBmp(maskFile, d.mask.c_str(), caps.MaxTextureWidth,
                                     caps.MaxTextureHeight, mask)) {
                    return false;
                }
            }
            if (!texture.FillFromImages(colour, masked ? &mask : nullptr, d.kind)) return false;
            if (alpha) AlphaOf(d.kind, colour, masked ? &mask : nullptr, *alpha);
            return true;
        }
        case kSourceColor: {
            CBinary entry;
            if (!OpenPicture(kSourceSystem, d.name.c_str(), entry)) return false;
            if (!texture.FillFromColorEntry(entry, d.name.c_str(), d.kind)) return false;
            if (alpha) {
                // Read back what the texture holds; the entry is gone by now.
                alpha->assign(size_t{texture.imageWidth} * texture.imageHeight, 0);
                D3DLOCKED_RECT rect{};
                D3DSURFACE_DESC desc{};
                if (SUCCEEDED(texture.object->GetLevelDesc(0, &desc)) &&
                    SUCCEEDED(texture.object->LockRect(0, &rect, nullptr, D3DLOCK_READONLY))) {
                    const uint32_t bytes = NImage::BytesPerPixel(desc.Format);
                    for (uint32_t y = 0; y < texture.imageHeight; ++y) {
                        const uint8_t* row = static_cast<const uint8_t*>(rect.pBits) +
                                             static_cast<ptrdiff_t>(y) * rect.Pitch;
                        for (uint32_t x = 0; x < texture.imageWidth; ++x) {
                            uint32_t value = 0;
                            std::memcpy(&value, row + size_t{x} * bytes, bytes);
                            (*alpha)[size_t{y} * texture.imageWidth + x] =
                                static_cast<uint8_t>(NImage::UnpackPixel(desc.Format, value) >> 24);
                        }
                    }
                    texture.object->UnlockRect(0);
                }
            }
            return true;
        }
        default: {
            char message[32];
            std::snprintf(message, sizeof message, "source=%d", static_cast<int>(d.sourceType));
            Raise(kSite, Site::kImageSource, message);
            return false;
        }
    }
}

// --- sprites ----------------------------------------------------------------------------

void TexturedQuad(float left, float top, float right, float bottom, float uMax, float vMax,
                  CQuadVertex (&out)[4]) {
    out[0] = {right, top, 0.0f, 1.0f, uMax, 0.0f};
    out[1] = {right, bottom, 0.0f, 1.0f, uMax, vMax};
    out[2] = {left, top, 0.0f, 1.0f, 0.0f, 0.0f};
    out[3] = {left, bottom, 0.0f, 1.0f, 0.0f, vMax};
}

void SpriteQuad(float x, float y, float scaleX, float scaleY, uint32_t imageWidth,
                uint32_t imageHeight, uint32_t textureWidth, uint32_t textureHeight,
                CQuadVertex (&out)[4]) {
    const float uMax =
        textureWidth ? static_cast<float>(imageWidth) / static_cast<float>(textureWidth) : 0.0f;
    const float vMax =
        textureHeight ? static_cast<float>(imageHeight) / static_cast<float>(textureHeight) : 0.0f;
    const float left = x - 0.5f;
    const float top = y - 0.5f;
    const float right = left + std::trunc(static_cast<float>(imageWidth) * scaleX);
    const float bottom = top + std::trunc(static_cast<float>(imageHeight) * scaleY);
    TexturedQuad(left, top, right, bottom, uMax, vMax, out);
}

namespace NSprite {

void CBasic::Draw(float x, float y, float scaleX, float scaleY) {
    SE_MARK();
    if (IsNull()) return;
    CQuadVertex quad[4];
    SpriteQuad(x, y, scaleX, scaleY, imageWidth, imageHeight, textureWidth, textureHeight, quad);
    CDevice& device = Device();
    device.SetTexture(object);
    device.SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
    device.DrawUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(CQuadVertex));
    device.SetTexture(nullptr);
}

void CBasic::DrawCentered(float x, float y, float scaleX, float scaleY) {
    SE_MARK();
    Draw(x - static_cast<float>(imageWidth) * scaleX * 0.5f,
         y - static_cast<float>(imageHeight) * scaleY * 0.5f, scaleX, scaleY);
}

}  // namespace NSprite

// --- capture ----------------------------------------------------------------------------

bool CaptureRenderTarget(const char* path) {
    SE_MARK();
    NVireo::CCOM::CObject<IDirect3DSurface8> target(Device().GetRenderTarget());
    if (target.IsNull()) return false;
    D3DSURFACE_DESC desc{};
    if (RaiseIfFailed(target->GetDesc(&desc), Site::kCaptureTargetDesc)) return false;
    NSurface::CBasic image;
    IDirect3DSurface8* created = nullptr;
    if (RaiseIfFailed(Device().object->CreateImageSurface(
                          desc.Width, desc.Height, PresentParameters().BackBufferFormat, &created),
                      Site::kCaptureCreateImage)) {
        return false;
    }
    image.Attach(created);
    if (RaiseIfFailed(Device().object->CopyRects(target.Get(), nullptr, 0, image.Get(), nullptr),
                      Site::kCaptureCopy)) {
        return false;
    }
    D3DSURFACE_DESC imageDesc{};
    if (RaiseIfFailed(image->GetDesc(&imageDesc), Site::kCaptureImageDesc)) return false;
    const uint32_t bytes = NImage::BytesPerPixel(imageDesc.Format);
    if (bytes == 0) return false;
    D3DLOCKED_RECT rect{};
    if (RaiseIfFailed(image->LockRect(&rect, nullptr, D3DLOCK_READONLY), Site::kCaptureLock))
        return false;
    std::vector<uint32_t> pixels(size_t{imageDesc.Width} * imageDesc.Height);
    for (uint32_t y = 0; y < imageDesc.Height; ++y) {
        const uint8_t* row =
            static_cast<const uint8_t*>(rect.pBits) + static_cast<ptrdiff_t>(y) * rect.Pitch;
        for (uint32_t x = 0; x < imageDesc.Width; ++x) {
            uint32_t value = 0;
            std::memcpy(&value, row + size_t{x} * bytes, bytes);
            pixels[size_t{y} * imageDesc.Width + x] = NImage::UnpackPixel(imageDesc.Format, value);
        }
    }
    image->UnlockRect();
    return NImage::WriteBmp(path, imageDesc.Width, imageDesc.Height, pixels.data());
}

}  // namespace NVireo::NDirectX::N3D
