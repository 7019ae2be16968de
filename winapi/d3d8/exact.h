// Exact interpolation over affine triangles: those whose three vertices share one rhw,
// which is every triangle the program draws. A pixel's barycentric weights are then its
// three edge values over the triangle's doubled area, all integers on the 1/256-pixel
// grid, so a texture coordinate or a colour at a pixel centre is a rational number that
// can be worked out without rounding: the texel index is floor(size x coordinate) and a
// colour channel is rounded half up. A pixel centre exactly on a texel boundary (a quad
// mapped texel for pixel from 0 to 1, at any size) therefore always samples the texel at
// or right of it, whichever triangle of the quad it lies in; and the rectangle filler
// (span.cpp), which steps the same rational values along its rows with integers, gives
// the same pixels as the triangle-by-triangle path.
//
// Texture coordinates are floats: each axis of a coordinate set is put on one binary
// scale (value = a x 2^k with integer a) when its values lie within 2^38 of each other in
// magnitude and everything fits in 128-bit arithmetic; otherwise, and for triangles with
// perspective (different rhw), the rasterizer interpolates in double precision.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace winapi::d3d8 {

using Wide = __int128;

// floor(n / d) for d > 0.
inline Wide FloorDiv(Wide n, Wide d) {
    const Wide q = n / d;
    return (n % d != 0 && n < 0) ? q - 1 : q;
}

// The number of bits of |x|.
inline int BitLength(Wide x) {
    unsigned __int128 u =
        x < 0 ? static_cast<unsigned __int128>(-x) : static_cast<unsigned __int128>(x);
    int bits = 0;
    while (u != 0) {
        u >>= 1;
        ++bits;
    }
    return bits;
}

// Texture sizes stay below 2^13 (the device's largest texture is 4096).
constexpr int kTextureSizeBits = 13;
// Indices beyond this are taken as this, as the double path clamps them.
constexpr int64_t kIndexLimit = 1000000000000;

// One axis of a coordinate set at up to six vertices, on one scale: value_i = a_i x 2^k.
struct ScaledAxis {
    int64_t a[6] = {};
    int k = 0;
    int64_t largest = 0;  // the largest |a_i|
    bool exact = false;   // false: a value is not finite, or they lie too far apart
};

inline ScaledAxis ScaleAxis(const float* values, int count) {
    ScaledAxis out;
    int64_t mantissa[6] = {};
    int exponent[6] = {};
    bool any = false;
    int lowest = 0, highest = 0;
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(values[i])) return out;
        if (values[i] == 0.0f) continue;
        int e = 0;
        const double fraction = std::frexp(double(values[i]), &e);
        mantissa[i] = int64_t(std::ldexp(fraction, 24));  // exact: 24 bits at most
        exponent[i] = e - 24;
        lowest = any ? std::min(lowest, exponent[i]) : exponent[i];
        highest = any ? std::max(highest, exponent[i]) : exponent[i];
        any = true;
    }
    if (any && highest - lowest > 38) return out;
    out.k = any ? lowest : 0;
    for (int i = 0; i < count; ++i) {
        if (mantissa[i] == 0) continue;
        out.a[i] = mantissa[i] * (int64_t(1) << (exponent[i] - out.k));
        out.largest = std::max(out.largest, out.a[i] < 0 ? -out.a[i] : out.a[i]);
    }
    out.exact = true;
    return out;
}

// Whether the texel indices of an axis fit in 128-bit arithmetic over a triangle of this
// doubled area, for any texture size and anywhere in the rectangle a triangle spans
// (edge values there stay within the area, so N = sum e_i a_i below stays within
// 3 x area x largest).
inline bool TexelIndexFits(int64_t area, const ScaledAxis& axis) {
    if (!axis.exact) return false;
    const int areaBits = BitLength(area);
    return areaBits + BitLength(axis.largest) + 2 + kTextureSizeBits + (axis.k > 0 ? axis.k : 0) <=
               124 &&
           areaBits + 1 + (axis.k < 0 ? -axis.k : 0) <= 124;
}

// The numerator and denominator of size x n x 2^k / area, with the denominator positive.
inline void TexelFraction(Wide n, int k, int64_t area, UINT size, Wide& numerator,
                          Wide& denominator) {
    numerator = Wide(size) * n;
    denominator = area;
    if (k >= 0) {
        numerator *= Wide(1) << k;
    } else {
        denominator *= Wide(1) << -k;
    }
}

inline int64_t ClampIndex(Wide index) {
    if (index > kIndexLimit) return kIndexLimit;
    if (index < -kIndexLimit) return -kIndexLimit;
    return int64_t(index);
}

// floor(size x value) for value = n x 2^k / area: the texel index before addressing.
inline int64_t ExactTexelIndex(Wide n, int k, int64_t area, UINT size) {
    Wide numerator, denominator;
    TexelFraction(n, k, area, size, numerator, denominator);
    return ClampIndex(FloorDiv(numerator, denominator));
}

// n / area rounded half up: a colour channel (n = sum e_i c_i).
inline int ExactChannel(Wide n, int64_t area) {
    return int(FloorDiv(2 * n + area, 2 * Wide(area)));
}

}  // namespace winapi::d3d8
