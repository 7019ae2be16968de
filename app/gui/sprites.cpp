#include "app/gui/sprites.h"

namespace Sprite {

bool CChip::IsOpaqueAt(int32_t x, int32_t y) const {
    SE_MARK();
    if (x < 0 || y < 0 || static_cast<uint32_t>(x) >= imageWidth ||
        static_cast<uint32_t>(y) >= imageHeight) {
        return false;
    }
    const size_t at = static_cast<size_t>(y) * imageWidth + static_cast<size_t>(x);
    return at < alpha.size() && alpha[at] != 0;
}

bool CChip::LoadPixels() {
    SE_MARK();
    return NVireo::NDirectX::N3D::LoadImage(*this, descriptor, &alpha);
}

}  // namespace Sprite
