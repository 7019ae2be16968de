// The key stream that scrambles entry names in a package directory. The reader and the
// packer both use this generator, so a package written by one reads with the other.
#pragma once

#include <cstdint>

namespace NVireo::NRender {

// A multiplicative congruential generator modulo 2^32 with multiplier 69069. The state
// starts at the name's 4-byte seed with its lowest bit set (an odd state keeps the
// longest period, 2^30); each step multiplies the state and yields its top byte, the
// bits that change most between steps.
class CPackageKey {
public:
    static constexpr uint32_t kMultiplier = 69069u;

    explicit CPackageKey(uint32_t seed) : state_(seed | 1u) {}

    uint8_t Next() {
        state_ *= kMultiplier;
        return static_cast<uint8_t>(state_ >> 24);
    }

private:
    uint32_t state_;
};

}  // namespace NVireo::NRender
