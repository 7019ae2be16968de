// The application's sprites: a texture that remembers where its pixels came from, so a
// device reset can load them again, and the image chip that also keeps its alpha for
// hit tests.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/containers/nstring.h"
#include "framework/error/error.h"
#include "framework/error/sites.h"
#include "framework/error/trace.h"
#include "framework/render/texture.h"

namespace Texture {

// A texture of base type T (a registered NTexture::CBasic) filled from an image
// descriptor.
template <typename T>
class CFrame : public T {
public:
    NVireo::NDirectX::N3D::CImageDescriptor descriptor;

    // Fills the texture as descriptor says and keeps the descriptor for re-creating.
    bool Load(const NVireo::NDirectX::N3D::CImageDescriptor& source) {
        SE_MARK();
        descriptor = source;
        return LoadPixels();
    }

    // After a device reset: the same pixels again; a reload that fails is fatal, with the
    // descriptor's text as the message.
    bool ReCreate() override {
        SE_MARK();
        if (LoadPixels()) return true;
        Raise(NVireo::NError::kSite, NVireo::NError::NSite::NSprites::kReload,
              descriptor.Text().c_str());
        return false;
    }

    NVireo::NString::BBasic<char> Describe() const override { return descriptor.Text(); }

protected:
    virtual bool LoadPixels() { return NVireo::NDirectX::N3D::LoadImage(*this, descriptor); }
};

}  // namespace Texture

namespace Sprite {

class CBasic : public Texture::CFrame<NVireo::NDirectX::N3D::NSprite::CBasic> {};

// A sprite that knows which of its pixels are see-through: the base of the image
// buttons, whose hover follows the picture's shape.
class CChip : public CBasic {
public:
    // The alpha of each image pixel, top row first; empty for a source without pixels.
    std::vector<uint8_t> alpha;

    // Whether the image pixel at (x, y) is not fully transparent; false outside the image.
    bool IsOpaqueAt(int32_t x, int32_t y) const;

protected:
    bool LoadPixels() override;
};

}  // namespace Sprite
