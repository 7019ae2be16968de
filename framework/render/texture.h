// Textures, off-screen textures and surfaces of the device. Each object is registered
// while it exists, so a device reset can release every device resource first and ask
// each object to re-create itself afterwards. Also: the image descriptor that names
// where a texture's pixels come from, the loaders, sprites drawn as screen-aligned quads,
// and the capture of the render target for screenshots.
#pragma once

#include <d3d8.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "framework/containers/nstring.h"
#include "framework/containers/set.h"
#include "framework/platform/file.h"
#include "framework/render/bitmap.h"
#include "framework/render/com.h"

namespace NVireo::NDirectX::N3D {

// Orders registered objects by address (total order, unlike < on unrelated pointers).
template <typename T>
struct CAddressLess {
    bool operator()(T* a, T* b) const { return std::less<T*>()(a, b); }
};
template <typename T>
using CRegistry = hoard::set::basic<T*, CAddressLess<T>>;

namespace NTexture {

class CBase : public BObject<IDirect3DTexture8> {
public:
    CBase() = default;
    CBase(const CBase&) = delete;
    CBase& operator=(const CBase&) = delete;

    // Builds the device resource again after a device reset.
    virtual bool ReCreate() = 0;
    // Set while a reset is under way for an object that held a resource before it.
    bool pendingReCreate = false;
    // What the texture holds, for error messages; empty by default.
    virtual NVireo::NString::BBasic<char> Describe() const { return {}; }
    ~CBase() override = default;
};

// A texture with its image size and its texture's real size.
class CBasic : public CBase {
public:
    uint32_t imageWidth = 0;
    uint32_t imageHeight = 0;
    uint32_t textureWidth = 0;
    uint32_t textureHeight = 0;

    CBasic();
    ~CBasic() override;

    // A plain texture cannot rebuild its contents: fatal. Subclasses that can override it.
    bool ReCreate() override;

    // Creates a managed texture of kind (NImage::EKind) for an image of width x height,
    // after checking the device takes its format. Fatal on failure (false if the report
    // returns).
    bool Create(uint32_t width, uint32_t height, int32_t kind);
    // Creates a texture of width x height from a 24-bit BMP and its optional mask (null:
    // every pixel opaque). stop: see NImage::BuildPixels.
    bool FillFromBmp(NVireo::NFile::NSTDIO::CBinary& colour, const char* colourName,
                     NVireo::NFile::NSTDIO::CBinary* mask, const char* maskName, int32_t kind,
                     const volatile uint8_t* stop = nullptr);
    // The same from images already read.
    bool FillFromImages(const NImage::CBitmap& colour, const NImage::CBitmap* mask, int32_t kind,
                        const volatile uint8_t* stop = nullptr);
    // Creates the texture of a raw colour entry (width, height, then blue, green, red,
    // alpha pixels bottom row first), its sides rounded up to powers of two.
    bool FillFromColorEntry(NVireo::NFile::NSTDIO::CBinary& entry, const char* entryName,
                            int32_t kind, const volatile uint8_t* stop = nullptr);
};

namespace NOffScreen {

// A texture the device renders into, with the kind and size it was made with.
class CBasic : public CBase {
public:
    int32_t kind = -1;
    uint32_t width = 0;
    uint32_t height = 0;
    DWORD usage = D3DUSAGE_RENDERTARGET;
    D3DPOOL pool = D3DPOOL_DEFAULT;

    CBasic();
    ~CBasic() override;
    bool ReCreate() override;  // fatal: the contents cannot be rebuilt

    bool Create(uint32_t newWidth, uint32_t newHeight, int32_t newKind,
                DWORD newUsage = D3DUSAGE_RENDERTARGET, D3DPOOL newPool = D3DPOOL_DEFAULT);
};

// Comes back empty, of the remembered kind and size, after a reset.
class CReCreateOnly : public CBasic {
public:
    bool ReCreate() override;
};

}  // namespace NOffScreen

// The side a colour entry's texture gets: the next power of two (1 stays 1, 0 stays 0);
// 0 above 4096.
uint32_t PowerOfTwoSide(uint32_t side);

}  // namespace NTexture

namespace NSurface {

class CBase : public BObject<IDirect3DSurface8> {
public:
    CBase() = default;
    CBase(const CBase&) = delete;
    CBase& operator=(const CBase&) = delete;
    virtual bool ReCreate() = 0;
    bool pendingReCreate = false;  // see NTexture::CBase
    ~CBase() override = default;
};

// An image surface of the device.
class CBasic : public CBase {
public:
    CBasic();
    ~CBasic() override;
    bool ReCreate() override;  // fatal: the contents cannot be rebuilt
};

}  // namespace NSurface

// The three registries the device reset walks.
CRegistry<NTexture::CBase>& TextureRegistry();
CRegistry<NTexture::CBase>& OffScreenRegistry();
CRegistry<NSurface::CBase>& SurfaceRegistry();

// Before a reset: every registered object gives its device resource back (the objects
// stay registered).
void ReleaseRegisteredResources();
// After a reset: every object that held a resource re-creates it (off-screen textures,
// then textures, then surfaces). False when one could not.
bool ReCreateRegisteredResources();

// Where a texture's pixels come from.
enum ESourceType : int32_t {
    kSourceEmpty = 0,     // "EMPTY": nothing
    kSourceSystem = 1,    // "SYSTEM": BMP image and mask from the program package
    kSourceScenario = 2,  // "SCENARIO": BMP image and mask from the second package
    kSourceBmp = 3,       // "BMP": BMP image and mask as loose files
    kSourceColor = 4,     // "COLOR": a raw colour entry of the program package
    kSourcePng = 5,       // "PNG": nothing
    kSourceJpeg = 6,      // "JPEG": nothing
};
// The source type's text, or null for a value without one.
const char* SourceTypeText(int32_t sourceType);

struct CImageDescriptor {
    NVireo::NString::BBasic<char> name;  // the image
    NVireo::NString::BBasic<char> mask;  // the mask image; empty (or the image's name): none
    NVireo::NString::BBasic<char> third;
    int32_t kind = 0;  // NImage::EKind
    int32_t sourceType = kSourceEmpty;

    // Name, mask, third, kind in decimal and the source type's text, one a line. A source
    // type without text is fatal.
    NVireo::NString::BBasic<char> Text() const;
};

// Fills texture as descriptor says. alpha, when given, receives the texture's alpha per
// image pixel (top row first) for hit tests; it is left empty for sources without pixels.
// Missing loose files and image problems are fatal (false when the report returns).
bool LoadImage(NTexture::CBasic& texture, const CImageDescriptor& descriptor,
               std::vector<uint8_t>* alpha = nullptr);

namespace NSprite {

// A texture drawn as a screen-aligned quad in the current drawing preset.
class CBase : public NTexture::CBasic {};

class CBasic : public CBase {
public:
    // Top-left corner at (x, y), image scaled by (scaleX, scaleY).
    void Draw(float x, float y, float scaleX = 1.0f, float scaleY = 1.0f);
    // Centred on (x, y).
    void DrawCentered(float x, float y, float scaleX = 1.0f, float scaleY = 1.0f);
};

}  // namespace NSprite

// The four vertices of a sprite quad, a triangle strip: right-top, right-bottom,
// left-top, left-bottom; each x, y, z, rhw, u, v.
struct CQuadVertex {
    float x, y, z, rhw, u, v;
};
// A screen-aligned quad from (left, top) to (right, bottom) whose texture coordinates run
// from 0 to uMax and vMax, in strip order: right-top, right-bottom, left-top, left-bottom.
void TexturedQuad(float left, float top, float right, float bottom, float uMax, float vMax,
                  CQuadVertex (&out)[4]);
void SpriteQuad(float x, float y, float scaleX, float scaleY, uint32_t imageWidth,
                uint32_t imageHeight, uint32_t textureWidth, uint32_t textureHeight,
                CQuadVertex (&out)[4]);

// Copies the render target into an image surface and writes it as a 24-bit BMP file.
// False when there is no render target to read or the file cannot be written.
bool CaptureRenderTarget(const char* path);

}  // namespace NVireo::NDirectX::N3D
