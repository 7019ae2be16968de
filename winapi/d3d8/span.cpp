// The rectangle pass (see raster.h): two triangles that tile a screen-aligned rectangle,
// drawn row by row as one. Texel indices and interpolated colours step along each row as
// exact fractions (exact.h), so they are the ones the triangles give; the texture stages
// or the pixel shader, the alpha and depth tests, the blend and the write mask then run
// on eight pixels at a time in vector registers, with the same integer and
// single-precision operations in the same order as the pixel-by-pixel path. That vector
// code is compiled twice, for SSE2 and for AVX2; the AVX2 build runs where the processor
// has it.
// Handles: every texture-stage operation and argument, textures in any format with any
// addressing, constant or linearly varying diffuse and specular colours, pixel shaders
// that do not read texture coordinates (texcoord, texkill) and have finite constants,
// the alpha test, every blend, write masks, and the depth test and write when every
// vertex has z = 0 (the depth is then 0 everywhere).
// Leaves to the triangles: perspective (vertices with different rhw), colours or texture
// coordinates that are not affine over the rectangle or not exact (exact.h), other
// depths, shaders that read texture coordinates.
#include <algorithm>
#include <cstring>
#include <vector>

#include "d3d8/pixels.h"
#include "d3d8/raster.h"

// The vectors below are passed only between functions inlined into one another.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace winapi::d3d8 {

namespace {

bool forceTriangles = false;
bool forceSse2 = false;
UINT taken = 0;
const bool haveAvx2 = __builtin_cpu_supports("avx2");

// --- exact values along the rows -----------------------------------------------------

// A triangle wound clockwise as CRasterizer::Triangle winds it, with its edges.
struct Wound {
    const Vertex* v[3];
    int64_t x[3], y[3], dx[3], dy[3];
    int64_t area = 0;

    // sum a_i e_i at a point given in 1/256 pixels (e_i: edge i's value there).
    Wide Sum(const Wide a[3], int64_t px, int64_t py) const {
        Wide sum = 0;
        for (int i = 0; i < 3; ++i) {
            const int p = (i + 1) % 3;
            sum += a[i] * Wide(dx[i] * (py - y[p]) - dy[i] * (px - x[p]));
        }
        return sum;
    }
};

// sum a_i e_i over the rectangle's pixel centres: base at its first pixel, and what one
// pixel right and one row down add.
struct Plane {
    Wide base = 0, stepX = 0, stepY = 0;
};

Plane MakePlane(const Wound& f, const Wide a[3], int64_t x0, int64_t y0) {
    Plane plane;
    plane.base = f.Sum(a, x0 * 256, y0 * 256);
    for (int i = 0; i < 3; ++i) {
        plane.stepX -= a[i] * f.dy[i] * 256;
        plane.stepY += a[i] * f.dx[i] * 256;
    }
    return plane;
}

// floor((numerator + step x i) / denominator) for i = 0, 1, 2, ...
class CStepper {
public:
    CStepper(Wide numerator, Wide step, Wide denominator) : den_(denominator) {
        q_ = FloorDiv(numerator, den_);
        r_ = numerator - q_ * den_;
        stepQ_ = FloorDiv(step, den_);
        stepR_ = step - stepQ_ * den_;
    }
    Wide Next() {
        const Wide out = q_;
        q_ += stepQ_;
        r_ += stepR_;
        if (r_ >= den_) {
            r_ -= den_;
            ++q_;
        }
        return out;
    }

private:
    Wide den_, q_, r_, stepQ_, stepR_;
};

// One axis of a stage's texture coordinates over the rectangle.
struct Axis {
    Plane plane;  // of the coordinate's integers on its scale
    int k = 0;
    bool none = false;  // the vertices carry no such set: the index is 0
    UINT size = 1;
    DWORD mode = D3DTADDRESS_CLAMP;

    // Whether the index is the same all along a row.
    bool SameAlongRows() const { return none || plane.stepX == 0; }
    // Whether the index before addressing goes up by exactly one from pixel to pixel.
    bool UnitStep(int64_t area) const {
        if (none) return false;
        Wide step, denominator;
        TexelFraction(plane.stepX, k, area, size, step, denominator);
        return step == denominator;
    }
    // The addressed index at the first pixel of a row (row: rows below the first).
    int32_t First(int64_t area, int64_t row) const {
        const Wide n0 = none ? 0 : plane.base + plane.stepY * row;
        return int32_t(AddressIndex(ExactTexelIndex(n0, k, area, size), size, mode));
    }
    // The addressed indices of n pixels of a row.
    void Fill(int64_t area, int64_t row, int n, int32_t* out) const {
        if (SameAlongRows()) {
            const int32_t index = First(area, row);
            for (int i = 0; i < n; ++i) out[i] = index;
            return;
        }
        Wide numerator, denominator, step, unused;
        TexelFraction(plane.base + plane.stepY * row, k, area, size, numerator, denominator);
        TexelFraction(plane.stepX, k, area, size, step, unused);
        CStepper stepper(numerator, step, denominator);
        for (int i = 0; i < n; ++i)
            out[i] = int32_t(AddressIndex(ClampIndex(stepper.Next()), size, mode));
    }
};

// A stage's texture over the rectangle.
struct Texture {
    const StageState* stage = nullptr;
    Axis axes[2];
    bool columnsPerRow = true;  // false: the column indices are the same in every row
    bool unitColumns = false;   // a row's columns go up by one, unless addressing moved them
    int indicesOf = -1;         // an earlier stage whose indices these are too, or -1
};

// A vertex colour over the rectangle: constant, or each channel on a plane.
struct Colour {
    bool varying = false;
    uint32_t value = 0;
    Plane planes[4];  // a, r, g, b

    // The colours of n pixels of a varying colour's row.
    void Fill(int64_t area, int64_t row, int n, uint32_t* out) const {
        for (int i = 0; i < n; ++i) out[i] = 0;
        for (int c = 0; c < 4; ++c) {
            const Plane& p = planes[c];
            CStepper stepper(2 * (p.base + p.stepY * row) + area, 2 * p.stepX, 2 * Wide(area));
            const int shift = 24 - 8 * c;
            for (int i = 0; i < n; ++i) {
                const Wide v = stepper.Next();
                out[i] |= uint32_t(v < 0 ? 0 : (v > 255 ? 255 : v)) << shift;
            }
        }
    }
};

// --- what runs on eight pixels at a time ---------------------------------------------

typedef uint32_t U32x8 __attribute__((vector_size(32)));
typedef int32_t I32x8 __attribute__((vector_size(32)));
typedef uint8_t U8x32 __attribute__((vector_size(32)));
typedef uint16_t U16x32 __attribute__((vector_size(64)));
typedef int16_t I16x32 __attribute__((vector_size(64)));
typedef uint16_t U16x8 __attribute__((vector_size(16)));
typedef int16_t I16x8 __attribute__((vector_size(16)));
typedef float F32x8 __attribute__((vector_size(32)));
typedef double F64x8 __attribute__((vector_size(64)));

#define SE_VECTOR inline __attribute__((always_inline))

SE_VECTOR U32x8 Load(const uint32_t* p) {
    U32x8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
SE_VECTOR void Store(uint32_t* p, U32x8 v) { std::memcpy(p, &v, sizeof v); }
SE_VECTOR U32x8 Splat(uint32_t x) { return U32x8{} + x; }
SE_VECTOR U8x32 Bytes(U32x8 v) { return __builtin_bit_cast(U8x32, v); }
SE_VECTOR U32x8 Pixels(U8x32 v) { return __builtin_bit_cast(U32x8, v); }
SE_VECTOR U32x8 Select(I32x8 mask, U32x8 yes, U32x8 no) {
    const U32x8 m = __builtin_bit_cast(U32x8, mask);
    return (yes & m) | (no & ~m);
}

// a x b / 255 rounded, per channel (raster.cpp's Mul).
SE_VECTOR U32x8 Mul(U32x8 a, U32x8 b) {
    U16x32 t =
        __builtin_convertvector(Bytes(a), U16x32) * __builtin_convertvector(Bytes(b), U16x32) + 128;
    t = (t + (t >> 8)) >> 8;
    return Pixels(__builtin_convertvector(t, U8x32));
}
// min(a + b, 255) and max(a - b, 0), per channel.
SE_VECTOR U32x8 AddSat(U32x8 a, U32x8 b) {
    const U8x32 x = Bytes(a), sum = x + Bytes(b);
    return Pixels(sum | __builtin_bit_cast(U8x32, sum < x));
}
SE_VECTOR U32x8 SubSat(U32x8 a, U32x8 b) {
    const U8x32 x = Bytes(a), y = Bytes(b);
    return Pixels((x - y) & __builtin_bit_cast(U8x32, x >= y));
}
SE_VECTOR U32x8 MinBytes(U32x8 a, U32x8 b) {
    const U8x32 x = Bytes(a), y = Bytes(b);
    return Pixels(x < y ? x : y);
}
SE_VECTOR U32x8 MaxBytes(U32x8 a, U32x8 b) {
    const U8x32 x = Bytes(a), y = Bytes(b);
    return Pixels(x > y ? x : y);
}
// Each pixel's alpha in all four channels.
SE_VECTOR U32x8 AlphaOf(U32x8 v) {
    U32x8 a = v >> 24;
    a |= a << 8;
    return a | (a << 16);
}
// A signed per-channel sum clamped to 0..255.
SE_VECTOR U32x8 Clamped(I16x32 v) {
    const I16x32 zero = {}, top = I16x32{} + 255;
    v = v < zero ? zero : v;
    v = v > top ? top : v;
    return Pixels(__builtin_convertvector(v, U8x32));
}
SE_VECTOR I16x32 Wide16(U32x8 v) { return __builtin_convertvector(Bytes(v), I16x32); }

// raster.cpp's Compare on 32-bit lanes.
SE_VECTOR I32x8 Compare(DWORD func, U32x8 value, U32x8 reference) {
    const I32x8 v = __builtin_bit_cast(I32x8, value), r = __builtin_bit_cast(I32x8, reference);
    switch (func) {
        case D3DCMP_NEVER:
            return I32x8{};
        case D3DCMP_LESS:
            return v < r;
        case D3DCMP_EQUAL:
            return v == r;
        case D3DCMP_LESSEQUAL:
            return v <= r;
        case D3DCMP_GREATER:
            return v > r;
        case D3DCMP_NOTEQUAL:
            return v != r;
        case D3DCMP_GREATEREQUAL:
            return v >= r;
        default:
            return I32x8{} - 1;
    }
}

// What one rectangle runs per pixel, worked out once.
struct Pass {
    const PipelineState* s = nullptr;
    bool constant = false;  // every pixel has the colour below before the tests
    uint32_t color = 0;
    int stages = 0;  // fixed-function stages that run
    bool alphaTest = false;
    bool depth = false;  // depth test at z = 0 and, with zWrite, depth writes
    bool keepsAlpha = false;
    U32x8 writeMask;  // the channels written
};

// The buffers of one row.
struct Row {
    uint32_t* target = nullptr;
    uint16_t* depth = nullptr;
    int count = 0;
    const uint32_t* texels[kStages] = {};  // null: the stage samples no texture
    uint32_t opaque[kStages] = {};         // or'ed into each texel (X8R8G8B8: 0xFF000000)
    // The vertex colours of each pixel, or (null) the same for all.
    const uint32_t* diffuse = nullptr;
    const uint32_t* specular = nullptr;
    uint32_t diffuseValue = 0, specularValue = 0;
};

SE_VECTOR U32x8 Diffuse(const Row& row, int at) {
    return row.diffuse != nullptr ? Load(row.diffuse + at) : Splat(row.diffuseValue);
}
SE_VECTOR U32x8 Specular(const Row& row, int at) {
    return row.specular != nullptr ? Load(row.specular + at) : Splat(row.specularValue);
}

// One stage argument (raster.cpp's argument lambda).
SE_VECTOR U32x8 Argument(DWORD arg, U32x8 current, U32x8 texel, U32x8 factor, U32x8 specular,
                         U32x8 diffuse) {
    U32x8 c;
    switch (arg & D3DTA_SELECTMASK) {
        case D3DTA_CURRENT:
            c = current;
            break;
        case D3DTA_TEXTURE:
            c = texel;
            break;
        case D3DTA_TFACTOR:
            c = factor;
            break;
        case D3DTA_SPECULAR:
            c = specular;
            break;
        default:
            c = diffuse;
            break;
    }
    if (arg & D3DTA_COMPLEMENT) c = ~c;
    if (arg & D3DTA_ALPHAREPLICATE) c = AlphaOf(c);
    return c;
}

// One texture-stage operation on all channels (raster.cpp's Operate).
SE_VECTOR U32x8 Operate(DWORD op, U32x8 a1, U32x8 a2, U32x8 diffuse, U32x8 texel, U32x8 factor,
                        U32x8 current) {
    auto lerp = [&](U32x8 alpha) __attribute__((always_inline)) {
        return AddSat(Mul(a1, alpha), Mul(a2, ~alpha));
    };
    switch (op) {
        case D3DTOP_SELECTARG1:
            return a1;
        case D3DTOP_SELECTARG2:
            return a2;
        case D3DTOP_MODULATE:
            return Mul(a1, a2);
        case D3DTOP_MODULATE2X: {
            const U32x8 m = Mul(a1, a2);
            return AddSat(m, m);
        }
        case D3DTOP_MODULATE4X: {
            U32x8 m = Mul(a1, a2);
            m = AddSat(m, m);
            return AddSat(m, m);
        }
        case D3DTOP_ADD:
            return AddSat(a1, a2);
        case D3DTOP_ADDSIGNED:
            return Clamped(Wide16(a1) + Wide16(a2) - 128);
        case D3DTOP_ADDSIGNED2X:
            return Clamped((Wide16(a1) + Wide16(a2) - 128) * 2);
        case D3DTOP_SUBTRACT:
            return SubSat(a1, a2);
        case D3DTOP_ADDSMOOTH:
            return Clamped(Wide16(a1) + Wide16(a2) - Wide16(Mul(a1, a2)));
        case D3DTOP_BLENDDIFFUSEALPHA:
            return lerp(AlphaOf(diffuse));
        case D3DTOP_BLENDTEXTUREALPHA:
            return lerp(AlphaOf(texel));
        case D3DTOP_BLENDFACTORALPHA:
            return lerp(AlphaOf(factor));
        case D3DTOP_BLENDCURRENTALPHA:
            return lerp(AlphaOf(current));
        case D3DTOP_BLENDTEXTUREALPHAPM:
            return AddSat(a1, Mul(a2, ~AlphaOf(texel)));
        default:
            return a1;
    }
}

// The fixed-function stages (raster.cpp's PixelColor, before the alpha test).
SE_VECTOR U32x8 Stages(const Pass& pass, const Row& row, int at) {
    const PipelineState& s = *pass.s;
    const U32x8 diffuse = Diffuse(row, at), specular = Specular(row, at);
    const U32x8 factor = Splat(s.textureFactor);
    U32x8 current = diffuse;
    for (int i = 0; i < pass.stages; ++i) {
        const StageState& stage = s.stages[i];
        const U32x8 texel =
            row.texels[i] != nullptr ? Load(row.texels[i] + at) | row.opaque[i] : diffuse;
        auto argument = [&](DWORD arg) __attribute__((always_inline)) {
            return Argument(arg, current, texel, factor, specular, diffuse);
        };
        const U32x8 color = Operate(stage.colorOp, argument(stage.colorArg1),
                                    argument(stage.colorArg2), diffuse, texel, factor, current);
        const U32x8 alpha =
            stage.alphaOp == D3DTOP_DISABLE
                ? current
                : Operate(stage.alphaOp, argument(stage.alphaArg1), argument(stage.alphaArg2),
                          diffuse, texel, factor, current);
        current = (color & 0x00FFFFFFu) | (alpha & 0xFF000000u);
    }
    return current;
}

// --- the pixel shader --------------------------------------------

struct Reals {
    F32x8 c[4];  // r, g, b, a
};

SE_VECTOR F32x8 Splat(float x) { return F32x8{} + x; }
// shader.cpp's Clamp, also for NaN and signed zeros (as hi < v ? hi : v, then as
// lo > t ? lo : t, which are what the processor's min and max do).
SE_VECTOR F32x8 Clamp(F32x8 v, float low, float high) {
    const F32x8 lo = Splat(low), hi = Splat(high);
    const F32x8 t = hi < v ? hi : v;
    return lo > t ? lo : t;
}
// 0xAARRGGBB pixels as 0..1 reals (raster.cpp's toReals).
SE_VECTOR Reals ToReals(U32x8 argb) {
    Reals out;
    for (int k = 0; k < 4; ++k) {
        const int shift = k < 3 ? 16 - 8 * k : 24;  // r, g, b, a
        const I32x8 channel = __builtin_bit_cast(I32x8, (argb >> shift) & 255u);
        out.c[k] = __builtin_convertvector(channel, F32x8) / 255.0f;
    }
    return out;
}
// A 0..1 real as a channel (raster.cpp's lround(c x 255), c never below 0 here).
SE_VECTOR U32x8 Channel(F32x8 c) {
    const F64x8 scaled = __builtin_convertvector(c, F64x8) * 255.0 + 0.5;
    return __builtin_bit_cast(U32x8, __builtin_convertvector(scaled, I32x8));
}

// Pixel shaders run on blocks of up to eight groups of eight pixels, one instruction at a
// time, so that what is decided once per instruction is decided once per block.
constexpr int kGroups = 8;

// A register over a block.
struct Block {
    Reals g[kGroups];
};

// Each step below runs over all the block's groups, deciding what to do once.

// A source operand (shader.cpp's read): the register's channels, or the channel alpha
// replicates, with the source modifier; the register itself when it reads as it is,
// otherwise out.
SE_VECTOR const Block& Source(const ShaderSource& source, const Block& reg, int groups,
                              Block& out) {
    if (source.modifier == 0 && !source.alphaReplicate) return reg;
    const bool replicate = source.alphaReplicate;
    auto each = [&](auto f) __attribute__((always_inline)) {
        for (int g = 0; g < groups; ++g) {
            const Reals& in = reg.g[g];
            for (int k = 0; k < 4; ++k) out.g[g].c[k] = f(in.c[replicate ? 3 : k]);
        }
    };
    switch (source.modifier) {
        case 1:
            each([](F32x8 x) __attribute__((always_inline)) { return -x; });
            break;
        case 2:
            each([](F32x8 x) __attribute__((always_inline)) { return x - 0.5f; });
            break;
        case 3:
            each([](F32x8 x) __attribute__((always_inline)) { return 0.5f - x; });
            break;
        case 4:
            each([](F32x8 x) __attribute__((always_inline)) { return 2.0f * x - 1.0f; });
            break;
        case 5:
            each([](F32x8 x) __attribute__((always_inline)) { return 1.0f - 2.0f * x; });
            break;
        case 6:
            each([](F32x8 x) __attribute__((always_inline)) { return 1.0f - x; });
            break;
        default:
            each([](F32x8 x) __attribute__((always_inline)) { return x; });
            break;
    }
    return out;
}

// One arithmetic instruction's result (shader.cpp's arithmetic, with its shift and clamp).
SE_VECTOR void Arithmetic(const ShaderInstruction& op, const Block* const* in, int groups,
                          Block& r) {
    const Block &a = *in[0], &b = *in[1], &c = *in[2];
    const float scale = op.shift == 1 ? 2.0f : (op.shift == 2 ? 4.0f : 0.5f);
    const float low = op.saturate ? 0.0f : -1.0f;
    // Each channel of each group: the operation, the shift and the clamp.
    auto each = [&](auto f) __attribute__((always_inline)) {
        for (int g = 0; g < groups; ++g) {
            const Reals &x = a.g[g], &y = b.g[g], &z = c.g[g];
            Reals& out = r.g[g];
            for (int k = 0; k < 4; ++k) {
                F32x8 v = f(x, y, z, k);
                if (op.shift != 0) v *= scale;
                out.c[k] = Clamp(v, low, 1.0f);
            }
        }
    };
    using R = const Reals&;
    switch (op.opcode) {
        case D3DSIO_MOV:
            each([](R x, R, R, int k) __attribute__((always_inline)) { return x.c[k]; });
            break;
        case D3DSIO_ADD:
            each([](R x, R y, R, int k) __attribute__((always_inline)) { return x.c[k] + y.c[k]; });
            break;
        case D3DSIO_SUB:
            each([](R x, R y, R, int k) __attribute__((always_inline)) { return x.c[k] - y.c[k]; });
            break;
        case D3DSIO_MUL:
            each([](R x, R y, R, int k) __attribute__((always_inline)) { return x.c[k] * y.c[k]; });
            break;
        case D3DSIO_MAD:
            each([](R x, R y, R z, int k)
                     __attribute__((always_inline)) { return x.c[k] * y.c[k] + z.c[k]; });
            break;
        case D3DSIO_LRP:
            each([](R x, R y, R z, int k) __attribute__((always_inline)) {
                return x.c[k] * y.c[k] + (1.0f - x.c[k]) * z.c[k];
            });
            break;
        case D3DSIO_CND:
            each([](R x, R y, R z, int k)
                     __attribute__((always_inline)) { return x.c[k] > 0.5f ? y.c[k] : z.c[k]; });
            break;
        case D3DSIO_DP3:
            // Every channel is the dot product, worked out before any is written (r may be
            // one of the sources).
            for (int g = 0; g < groups; ++g) {
                const Reals &x = a.g[g], &y = b.g[g];
                F32x8 v = x.c[0] * y.c[0] + x.c[1] * y.c[1] + x.c[2] * y.c[2];
                if (op.shift != 0) v *= scale;
                for (F32x8& out : r.g[g].c) out = Clamp(v, low, 1.0f);
            }
            break;
        default:
            each([](R, R, R, int) __attribute__((always_inline)) { return F32x8{}; });
            break;
    }
}

// shader.cpp's RunPixelShader without texcoord and texkill, on the groups of the block
// from at: each group's colour.
SE_VECTOR void ShaderBlock(const Pass& pass, const Row& row, int at, int groups, U32x8* out) {
    const PixelProgram& program = *pass.s->shader;
    // Registers: r0, r1, t0-t3, v0, v1. A register is 0 until written; v0 and v1 are
    // worked out when first read.
    Block registers[8];
    bool ready[8] = {};
    // whole: the caller writes every channel of the register.
    auto reg = [&](uint8_t type, uint8_t index, bool whole = false) __attribute__((always_inline))
                   ->Block& {
        const int i = type == 0 ? index : (type == 1 ? 6 + index : 2 + index);
        if (!ready[i]) {
            ready[i] = true;
            for (int g = 0; g < groups && !whole; ++g) {
                registers[i].g[g] = type == 1 ? ToReals(index == 0 ? Diffuse(row, at + 8 * g)
                                                                   : Specular(row, at + 8 * g))
                                              : Reals{};
            }
        }
        return registers[i];
    };
    float defined[kPixelShaderConstants][4];
    bool isDefined[kPixelShaderConstants] = {};

    const std::vector<ShaderInstruction>& code = program.instructions;
    for (size_t i = 0; i < code.size();) {
        const ShaderInstruction& first = code[i];
        if (first.opcode == D3DSIO_DEF) {
            std::memcpy(defined[first.destIndex], first.value, sizeof first.value);
            isDefined[first.destIndex] = true;
            ++i;
            continue;
        }
        if (first.opcode == D3DSIO_TEX) {
            Block& t = reg(3, first.destIndex, true);
            const uint32_t* texels = row.texels[first.destIndex];
            for (int g = 0; g < groups; ++g) {
                t.g[g] = ToReals(texels != nullptr
                                     ? Load(texels + at + 8 * g) | row.opaque[first.destIndex]
                                     : Splat(0xFF000000u));
            }
            ++i;
            continue;
        }
        // An arithmetic instruction and the one co-issued with it read before either writes.
        const ShaderInstruction* ops[2] = {&first, nullptr};
        if (i + 1 < code.size() && code[i + 1].coissue) ops[1] = &code[i + 1];
        const int count = ops[1] != nullptr ? 2 : 1;
        Block results[2];
        for (int n = 0; n < count; ++n) {
            const ShaderInstruction& op = *ops[n];
            const int used =
                op.opcode == D3DSIO_MOV ? 1
                : (op.opcode == D3DSIO_MAD || op.opcode == D3DSIO_LRP || op.opcode == D3DSIO_CND)
                    ? 3
                    : 2;
            Block modified[3];
            const Block* in[3] = {&modified[0], &modified[1], &modified[2]};  // unused: unread
            for (int k = 0; k < used; ++k) {
                const ShaderSource& source = op.sources[k];
                if (source.type == 2) {
                    const float* values = isDefined[source.index]
                                              ? defined[source.index]
                                              : pass.s->shaderConstants[source.index];
                    for (int g = 0; g < groups; ++g) {
                        for (int c = 0; c < 4; ++c)
                            modified[k].g[g].c[c] = Clamp(Splat(values[c]), -1.0f, 1.0f);
                    }
                    // The constant as every group reads it, clamped, then as the source reads it.
                    in[k] = &Source(source, modified[k], groups, modified[k]);
                } else {
                    in[k] = &Source(source, reg(source.type, source.index), groups, modified[k]);
                }
            }
            // An instruction on its own that writes all of its register writes it at once
            // (each result reads only its own group and channel, or the group's before any
            // is written).
            if (count == 1 && op.writeMask == 0xF) {
                Arithmetic(op, in, groups, reg(op.destType == 0 ? 0 : 3, op.destIndex, true));
                break;
            }
            Arithmetic(op, in, groups, results[n]);
        }
        for (int n = 0; n < count && !(count == 1 && ops[0]->writeMask == 0xF); ++n) {
            Block& target =
                reg(ops[n]->destType == 0 ? 0 : 3, ops[n]->destIndex, ops[n]->writeMask == 0xF);
            for (int k = 0; k < 4; ++k) {
                if (!(ops[n]->writeMask & (1u << k))) continue;
                for (int g = 0; g < groups; ++g) target.g[g].c[k] = results[n].g[g].c[k];
            }
        }
        i += size_t(count);
    }
    const Block& r0 = reg(0, 0);
    for (int g = 0; g < groups; ++g) {
        U32x8 colour = Channel(Clamp(r0.g[g].c[3], 0.0f, 1.0f)) << 24;
        for (int k = 0; k < 3; ++k) {
            colour |= Channel(Clamp(r0.g[g].c[k], 0.0f, 1.0f)) << (16 - 8 * k);
        }
        out[g] = colour;
    }
}

// --- the tests, the blend and the store --------------------------------------------------

// One blend factor for all channels (raster.cpp's BlendFactor).
SE_VECTOR U32x8 Factor(DWORD factor, U32x8 src, U32x8 dst, bool forDest) {
    switch (factor) {
        case D3DBLEND_ZERO:
            return U32x8{};
        case D3DBLEND_ONE:
            return ~U32x8{};
        case D3DBLEND_SRCCOLOR:
            return src;
        case D3DBLEND_INVSRCCOLOR:
            return ~src;
        case D3DBLEND_SRCALPHA:
            return AlphaOf(src);
        case D3DBLEND_INVSRCALPHA:
            return ~AlphaOf(src);
        case D3DBLEND_DESTALPHA:
            return AlphaOf(dst);
        case D3DBLEND_INVDESTALPHA:
            return ~AlphaOf(dst);
        case D3DBLEND_DESTCOLOR:
            return dst;
        case D3DBLEND_INVDESTCOLOR:
            return ~dst;
        case D3DBLEND_SRCALPHASAT:
            return MinBytes(AlphaOf(src), ~AlphaOf(dst)) | 0xFF000000u;
        case D3DBLEND_BOTHSRCALPHA:
            return forDest ? ~AlphaOf(src) : AlphaOf(src);
        case D3DBLEND_BOTHINVSRCALPHA:
            return forDest ? AlphaOf(src) : ~AlphaOf(src);
        default:
            return U32x8{};
    }
}

// Colours (the shader's, when it ran), tests, blend and store of the eight pixels from
// at, whose target and depth cells are at target and depth.
SE_VECTOR void Pixels8(const Pass& pass, const Row& row, int at, const U32x8& shaded,
                       uint32_t* target, uint16_t* depth) {
    const PipelineState& s = *pass.s;
    U32x8 current = Splat(pass.color);
    I32x8 draw = I32x8{} - 1;
    if (!pass.constant) {
        current = s.shader != nullptr ? shaded : Stages(pass, row, at);
        if (pass.alphaTest) draw &= Compare(s.alphaFunc, current >> 24, Splat(s.alphaRef & 0xFFu));
    }
    U16x8 cells = {};
    if (pass.depth) {
        std::memcpy(&cells, depth, sizeof cells);
        draw &= Compare(s.zFunc, U32x8{}, __builtin_convertvector(cells, U32x8));  // depth 0
    }
    const U32x8 stored = Load(target);
    const U32x8 dst = pass.keepsAlpha ? stored : stored | 0xFF000000u;
    U32x8 out = current;
    if (s.blend) {
        const DWORD src = s.srcBlend;
        const DWORD dest =
            src == D3DBLEND_BOTHSRCALPHA || src == D3DBLEND_BOTHINVSRCALPHA ? src : s.destBlend;
        switch (s.blendOp) {
            case D3DBLENDOP_SUBTRACT:
                out = SubSat(Mul(current, Factor(src, current, dst, false)),
                             Mul(dst, Factor(dest, current, dst, true)));
                break;
            case D3DBLENDOP_REVSUBTRACT:
                out = SubSat(Mul(dst, Factor(dest, current, dst, true)),
                             Mul(current, Factor(src, current, dst, false)));
                break;
            case D3DBLENDOP_MIN:
                out = MinBytes(current, dst);
                break;
            case D3DBLENDOP_MAX:
                out = MaxBytes(current, dst);
                break;
            default:
                out = AddSat(Mul(current, Factor(src, current, dst, false)),
                             Mul(dst, Factor(dest, current, dst, true)));
                break;
        }
    }
    out = (out & pass.writeMask) | (dst & ~pass.writeMask);
    if (!pass.keepsAlpha) out |= 0xFF000000u;
    Store(target, Select(draw, out, stored));
    if (pass.depth && s.zWrite) {
        cells &= ~__builtin_bit_cast(U16x8, __builtin_convertvector(draw, I16x8));
        std::memcpy(depth, &cells, sizeof cells);
    }
}

// Whether a blend factor reads only the source (not the target).
SE_VECTOR bool FromSource(DWORD factor) {
    switch (factor) {
        case D3DBLEND_ZERO:
        case D3DBLEND_ONE:
        case D3DBLEND_SRCCOLOR:
        case D3DBLEND_INVSRCCOLOR:
        case D3DBLEND_SRCALPHA:
        case D3DBLEND_INVSRCALPHA:
        case D3DBLEND_BOTHSRCALPHA:
        case D3DBLEND_BOTHINVSRCALPHA:
            return true;
        default:
            return false;
    }
}

// A constant colour added to the target by factors that read only the source, without a
// depth test (the fades and flat panels): Pixels8's blend with the source's share and the
// target's factor worked out once for the row.
SE_VECTOR bool BlendConstantRow(const Pass& pass, const Row& row) {
    const PipelineState& s = *pass.s;
    const DWORD src = s.srcBlend;
    const DWORD dest =
        src == D3DBLEND_BOTHSRCALPHA || src == D3DBLEND_BOTHINVSRCALPHA ? src : s.destBlend;
    if (!pass.constant || pass.depth || !s.blend || s.blendOp == D3DBLENDOP_SUBTRACT ||
        s.blendOp == D3DBLENDOP_REVSUBTRACT || s.blendOp == D3DBLENDOP_MIN ||
        s.blendOp == D3DBLENDOP_MAX || !FromSource(src) || !FromSource(dest)) {
        return false;
    }
    const U32x8 current = Splat(pass.color);
    const U32x8 share = Mul(current, Factor(src, current, U32x8{}, false));
    const U32x8 keep = Factor(dest, current, U32x8{}, true);
    const U32x8 opaque = pass.keepsAlpha ? U32x8{} : Splat(0xFF000000u);
    auto blend = [&](uint32_t* target) {
        const U32x8 dst = Load(target) | opaque;
        const U32x8 out = AddSat(share, Mul(dst, keep));
        Store(target, ((out & pass.writeMask) | (dst & ~pass.writeMask)) | opaque);
    };
    int at = 0;
    for (; at + 8 <= row.count; at += 8) blend(row.target + at);
    if (at < row.count) {
        uint32_t tail[8] = {};
        const size_t bytes = size_t(row.count - at) * 4;
        std::memcpy(tail, row.target + at, bytes);
        blend(tail);
        std::memcpy(row.target + at, tail, bytes);
    }
    return true;
}

SE_VECTOR void ShadeRow(const Pass& pass, const Row& row) {
    if (BlendConstantRow(pass, row)) return;
    const bool shader = !pass.constant && pass.s->shader != nullptr;
    U32x8 shaded[kGroups] = {};
    for (int block = 0; block < row.count; block += 8 * kGroups) {
        const int left = (row.count - block + 7) / 8;
        const int groups = left < kGroups ? left : kGroups;
        if (shader) ShaderBlock(pass, row, block, groups, shaded);
        for (int g = 0; g < groups; ++g) {
            const int at = block + 8 * g;
            const int n = row.count - at < 8 ? row.count - at : 8;
            if (n == 8) {
                Pixels8(pass, row, at, shaded[g], row.target + at,
                        row.depth != nullptr ? row.depth + at : nullptr);
                continue;
            }
            // The last few pixels of the row go through eight of their own.
            uint32_t target[8] = {};
            uint16_t depth[8] = {};
            std::memcpy(target, row.target + at, size_t(n) * 4);
            if (row.depth != nullptr) std::memcpy(depth, row.depth + at, size_t(n) * 2);
            Pixels8(pass, row, at, shaded[g], target, depth);
            std::memcpy(row.target + at, target, size_t(n) * 4);
            if (row.depth != nullptr) std::memcpy(row.depth + at, depth, size_t(n) * 2);
        }
    }
}

void ShadeRowSse2(const Pass& pass, const Row& row) { ShadeRow(pass, row); }

__attribute__((target("avx2"))) void ShadeRowAvx2(const Pass& pass, const Row& row) {
    ShadeRow(pass, row);
}

// --- setting the rectangle up and its rows ---------------------------------------------------

// Whether the unused byte of an X8R8G8B8 texture's texels is left to Row::opaque: where
// no texel is the border colour, which keeps its own alpha.
bool OpaqueLater(const StageState& stage) {
    return stage.addressU != D3DTADDRESS_BORDER && stage.addressV != D3DTADDRESS_BORDER;
}

// The texels of a stage at n pixels' addressed indices (-1: the border colour), in out or,
// texel for pixel, where they are in the texture (which then holds whole groups of eight
// from there); the unused byte of X8R8G8B8 as stored when OpaqueLater. With rows null,
// every pixel reads row rowIndex; with unit set, columns before addressing go up by one.
const uint32_t* Gather(const StageState& stage, const int32_t* columns, bool unit,
                       const int32_t* rows, int32_t rowIndex, int n, uint32_t* out) {
    const Image& image = *stage.texture;
    const uint32_t border = stage.borderColor;
    const bool texels32 = image.format == D3DFMT_A8R8G8B8 || image.format == D3DFMT_X8R8G8B8;
    const uint32_t opaque =
        image.format == D3DFMT_X8R8G8B8 && !OpaqueLater(stage) ? 0xFF000000u : 0;
    auto row = [&](int k) { return rows != nullptr ? rows[k] : rowIndex; };
    if (texels32) {
        if (rows == nullptr) {
            if (rowIndex < 0) {
                for (int k = 0; k < n; ++k) out[k] = border;
                return out;
            }
            const uint8_t* line = image.Row(UINT(rowIndex));
            // Texel for pixel, none of them moved by the addressing (sprites drawn at their
            // size, passes over whole targets): read where they are, or copied where the
            // last group of eight would reach past the texture.
            if (unit && opaque == 0 && columns[0] >= 0 && columns[n - 1] - columns[0] == n - 1) {
                const uint8_t* first = line + size_t(columns[0]) * 4;
                const size_t groups = size_t(n + 7) / 8;
                if (first + groups * 32 <= image.bits.data() + image.bits.size()) {
                    return reinterpret_cast<const uint32_t*>(first);
                }
                std::memcpy(out, first, size_t(n) * 4);
                return out;
            }
        }
        for (int k = 0; k < n; ++k) {
            if (columns[k] < 0 || row(k) < 0) {
                out[k] = border;
                continue;
            }
            std::memcpy(&out[k], image.Row(UINT(row(k))) + size_t(columns[k]) * 4, 4);
            out[k] |= opaque;
        }
        return out;
    }
    const UINT bytes = BytesPerPixel(image.format);
    for (int k = 0; k < n; ++k) {
        out[k] =
            columns[k] < 0 || row(k) < 0
                ? border
                : ReadPixel(image.format, image.Row(UINT(row(k))) + size_t(columns[k]) * bytes);
    }
    return out;
}

// Scratch rows, kept between rectangles: n pixels (rounded up to whole groups of eight)
// for the two vertex colours and each stage's texels, column indices and row indices.
struct Scratch {
    std::vector<uint32_t> colours;
    std::vector<int32_t> indices;
    int stride = 0;

    void Size(int n) {
        stride = (n + 7) & ~7;
        colours.resize(size_t(stride) * (kStages + 2));
        indices.resize(size_t(stride) * 2 * kStages);
    }
    uint32_t* Colours(int which) { return &colours[size_t(which) * size_t(stride)]; }
    uint32_t* Texels(int stage) { return Colours(stage + 2); }
    int32_t* Columns(int stage) { return &indices[size_t(stage) * size_t(stride)]; }
    int32_t* Rows(int stage) { return Columns(kStages + stage); }
};

bool Finite(const float* values, int count) {
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(values[i])) return false;
    }
    return true;
}

// Whether the shader is one the pass runs: no texture coordinates read, finite constants.
bool PassRunsShader(const PixelProgram& program, const float (*constants)[4]) {
    for (const ShaderInstruction& instruction : program.instructions) {
        if (instruction.opcode == D3DSIO_TEXCOORD || instruction.opcode == D3DSIO_TEXKILL)
            return false;
        if (instruction.opcode == D3DSIO_DEF && !Finite(instruction.value, 4)) return false;
    }
    for (int i = 0; i < kPixelShaderConstants; ++i) {
        if (!Finite(constants[i], 4)) return false;
    }
    return true;
}

// The doubled area of a triangle of snapped points (positive: clockwise on the screen).
int64_t Area(const int64_t x[3], const int64_t y[3]) {
    return (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
}

// Whether two triangles of snapped points (x[0..2], x[3..5]) tile a screen-aligned
// rectangle, which is then [left, right) x [top, bottom): each has three of its corners
// and they share a diagonal.
bool Tile(const int64_t x[6], const int64_t y[6], int64_t& left, int64_t& right, int64_t& top,
          int64_t& bottom) {
    left = *std::min_element(x, x + 6);
    right = *std::max_element(x, x + 6);
    top = *std::min_element(y, y + 6);
    bottom = *std::max_element(y, y + 6);
    if (left == right || top == bottom) return false;
    int corners[2] = {0, 0};
    for (int i = 0; i < 6; ++i) {
        if ((x[i] != left && x[i] != right) || (y[i] != top && y[i] != bottom)) return false;
        corners[i / 3] |= 1 << ((x[i] == right ? 1 : 0) + (y[i] == bottom ? 2 : 0));
    }
    const int shared = corners[0] & corners[1];
    return __builtin_popcount(unsigned(corners[0])) == 3 &&
           __builtin_popcount(unsigned(corners[1])) == 3 && (corners[0] | corners[1]) == 15 &&
           (shared == 0b1001 || shared == 0b0110);
}

// A triangle of snapped points, wound clockwise as CRasterizer::Triangle winds it.
Wound MakeWound(const Vertex* const v[3], const int64_t x[3], const int64_t y[3]) {
    Wound f;
    const bool turn = Area(x, y) < 0;
    for (int i = 0; i < 3; ++i) {
        const int from = turn && i > 0 ? 3 - i : i;
        f.v[i] = v[from];
        f.x[i] = x[from];
        f.y[i] = y[from];
    }
    for (int i = 0; i < 3; ++i) {
        const int p = (i + 1) % 3, q = (i + 2) % 3;
        f.dx[i] = f.x[q] - f.x[p];
        f.dy[i] = f.y[q] - f.y[p];
    }
    f.area = Area(f.x, f.y);
    return f;
}

}  // namespace

void CRasterizer::ForceTriangles(bool force) { forceTriangles = force; }
void CRasterizer::ForceSse2(bool force) { forceSse2 = force; }
UINT CRasterizer::RectanglesInOnePass() { return taken; }

bool CRasterizer::Rectangle(const Vertex* const first[3], bool firstReversed,
                            const Vertex& firstFlat, const Vertex* const second[3],
                            bool secondReversed, const Vertex& secondFlat) {
    const PipelineState& s = s_;
    if (forceTriangles) return false;
    const Vertex* all[6] = {first[0], first[1], first[2], second[0], second[1], second[2]};
    int64_t X[6], Y[6];
    for (int i = 0; i < 6; ++i) {
        if (!Drawable(*all[i])) return false;
        X[i] = Snap(all[i]->x);
        Y[i] = Snap(all[i]->y);
    }
    int64_t left, right, top, bottom;
    if (!Tile(X, Y, left, right, top, bottom)) return false;
    // Culling, as for the triangles.
    bool culled[2];
    for (int t = 0; t < 2; ++t) {
        const int64_t area = Area(X + 3 * t, Y + 3 * t);
        const bool clockwise = (area > 0) != (t == 0 ? firstReversed : secondReversed);
        culled[t] = (s.cull == D3DCULL_CCW && !clockwise) || (s.cull == D3DCULL_CW && clockwise);
    }
    if (culled[0] && culled[1]) {
        ++taken;
        return true;
    }
    if (culled[0] || culled[1]) return false;
    // Affine over the rectangle; the depth only at 0.
    const double rhw = Rhw(*all[0]);
    for (const Vertex* v : all) {
        if (Rhw(*v) != rhw) return false;
    }
    const bool depth = s.zEnable && s.depth != nullptr;
    if (depth) {
        for (const Vertex* v : all) {
            if (v->z != 0.0f) return false;
        }
    }
    if (s.shader != nullptr && !PassRunsShader(*s.shader, s.shaderConstants)) return false;

    // The pixels: centres from the left and top edges up to, not on, the right and bottom.
    const int64_t x0 = std::max<int64_t>(s.left, (left + 255) >> 8);
    const int64_t x1 = std::min<int64_t>(s.right, ((right - 1) >> 8) + 1);
    const int64_t y0 = std::max<int64_t>(s.top, (top + 255) >> 8);
    const int64_t y1 = std::min<int64_t>(s.bottom, ((bottom - 1) >> 8) + 1);

    // Values are taken from the planes through the first triangle's; the second's own
    // triangle is needed for its exactness (below).
    const Wound f = MakeWound(first, X, Y), g = MakeWound(second, X + 3, Y + 3);
    const Vertex* ordered[6] = {f.v[0], f.v[1], f.v[2], g.v[0], g.v[1], g.v[2]};
    const int64_t ox[6] = {f.x[0], f.x[1], f.x[2], g.x[0], g.x[1], g.x[2]};
    const int64_t oy[6] = {f.y[0], f.y[1], f.y[2], g.y[0], g.y[1], g.y[2]};
    // Values b_j (j < 6, on one scale) lie on one plane when the first triangle's plane
    // through its three meets the other three: sum b_i e_i (P_j) = b_j x area.
    auto planeOf = [&](const Wide b[6], Plane& plane) {
        for (int j = 3; j < 6; ++j) {
            if (f.Sum(b, ox[j], oy[j]) != b[j] * f.area) return false;
        }
        plane = MakePlane(f, b, x0, y0);
        return true;
    };

    // Colours: constant, or each channel on a plane.
    Colour colours[2];  // diffuse, specular
    for (int which = 0; which < 2; ++which) {
        uint32_t Vertex::*member = which == 0 ? &Vertex::diffuse : &Vertex::specular;
        Colour& colour = colours[which];
        if (s.flatShade) {
            if (firstFlat.*member != secondFlat.*member) return false;
            colour.value = firstFlat.*member;
            continue;
        }
        colour.value = ordered[0]->*member;
        for (const Vertex* v : ordered)
            colour.varying = colour.varying || v->*member != colour.value;
        if (!colour.varying) continue;
        for (int c = 0; c < 4; ++c) {
            Wide b[6];
            for (int j = 0; j < 6; ++j) b[j] = (ordered[j]->*member >> (24 - 8 * c)) & 255u;
            if (!planeOf(b, colour.planes[c])) return false;
        }
    }

    // The stages that sample a texture.
    bool sampled[kStages] = {};
    int stages = 0;
    if (s.shader != nullptr) {
        for (int i = 0; i < kPixelShaderTextures; ++i) {
            sampled[i] =
                (s.shader->sampledStages & (1u << i)) != 0 && s.stages[i].texture != nullptr;
        }
    } else {
        while (stages < kStages && s.stages[stages].colorOp != D3DTOP_DISABLE) {
            sampled[stages] = s.stages[stages].texture != nullptr;
            ++stages;
        }
    }
    Texture textures[kStages];
    for (int i = 0; i < kStages; ++i) {
        if (!sampled[i]) continue;
        const StageState& stage = s.stages[i];
        Texture& texture = textures[i];
        texture.stage = &stage;
        const DWORD set = stage.texCoordIndex & 0xFFFFu;
        const UINT sizes[2] = {stage.texture->width, stage.texture->height};
        const DWORD modes[2] = {stage.addressU, stage.addressV};
        for (int axis = 0; axis < 2; ++axis) {
            Axis& a = texture.axes[axis];
            a.size = sizes[axis];
            a.mode = modes[axis];
            a.none = int(set) >= s.texCoordCount;
        }
        if (int(set) >= s.texCoordCount) {
            texture.columnsPerRow = false;
            continue;
        }
        // Exact over all six vertices is exact over each triangle's three (CRasterizer::
        // MakeAffine): three values lie no farther apart than six, on a scale no finer, and
        // both triangles have the same area.
        for (int axis = 0; axis < 2; ++axis) {
            float values[6];
            for (int j = 0; j < 6; ++j) values[j] = ordered[j]->uv[set][axis];
            const ScaledAxis scaled = ScaleAxis(values, 6);
            if (!TexelIndexFits(f.area, scaled)) return false;
            Wide b[6];
            for (int j = 0; j < 6; ++j) b[j] = scaled.a[j];
            Axis& a = texture.axes[axis];
            a.k = scaled.k;
            if (!planeOf(b, a.plane)) return false;
        }
        texture.columnsPerRow = texture.axes[0].plane.stepY != 0;
        texture.unitColumns = texture.axes[0].UnitStep(f.area);
    }
    // Stages that address textures of one size by one coordinate set alike share indices.
    for (int i = 0; i < kStages; ++i) {
        for (int j = 0; j < i && sampled[i]; ++j) {
            const StageState &a = s.stages[i], &b = s.stages[j];
            if (sampled[j] && textures[j].indicesOf < 0 &&
                (a.texCoordIndex & 0xFFFFu) == (b.texCoordIndex & 0xFFFFu) &&
                a.texture->width == b.texture->width && a.texture->height == b.texture->height &&
                a.addressU == b.addressU && a.addressV == b.addressV) {
                textures[i].indicesOf = j;
                break;
            }
        }
    }

    // What each pixel runs.
    ++taken;
    Pass pass;
    pass.s = &s;
    pass.stages = stages;
    pass.depth = depth;
    pass.keepsAlpha = s.target->format == D3DFMT_A8R8G8B8;
    pass.alphaTest = s.alphaTest;
    const DWORD mask = s.colorWriteMask;
    pass.writeMask = Splat((mask & D3DCOLORWRITEENABLE_RED ? 0x00FF0000u : 0u) |
                           (mask & D3DCOLORWRITEENABLE_GREEN ? 0x0000FF00u : 0u) |
                           (mask & D3DCOLORWRITEENABLE_BLUE ? 0x000000FFu : 0u) |
                           (mask & D3DCOLORWRITEENABLE_ALPHA ? 0xFF000000u : 0u));
    if (!UsesWeights(first) && !colours[0].varying && !colours[1].varying) {
        // Every pixel has the same colour, worked out once as the triangles do.
        pass.constant = true;
        const Weights unused = {{1, 0, 0}};
        if (!PixelColor(first, unused, firstFlat, pass.color)) return true;
    }
    if (x0 >= x1 || y0 >= y1) return true;

    // Row by row.
    const int n = int(x1 - x0);
    thread_local Scratch scratch;
    if (!pass.constant) scratch.Size(n);
    Row row;
    row.count = n;
    row.diffuseValue = colours[0].value;
    row.specularValue = colours[1].value;
    const bool sse2 = forceSse2 || !haveAvx2;
    for (int64_t y = y0; y < y1; ++y) {
        const int64_t at = y - y0;
        row.target = reinterpret_cast<uint32_t*>(s.target->Row(UINT(y))) + x0;
        row.depth = depth ? reinterpret_cast<uint16_t*>(s.depth->Row(UINT(y))) + x0 : nullptr;
        for (int which = 0; which < 2 && !pass.constant; ++which) {
            if (!colours[which].varying) continue;
            colours[which].Fill(f.area, at, n, scratch.Colours(which));
            (which == 0 ? row.diffuse : row.specular) = scratch.Colours(which);
        }
        int32_t rowIndices[kStages] = {};
        for (int i = 0; i < kStages && !pass.constant; ++i) {
            if (!sampled[i]) continue;
            const Texture& texture = textures[i];
            const int from = texture.indicesOf >= 0 ? texture.indicesOf : i;
            const bool rowsAlong = !texture.axes[1].SameAlongRows();
            if (texture.indicesOf < 0) {
                if (at == 0 || texture.columnsPerRow) {
                    texture.axes[0].Fill(f.area, at, n, scratch.Columns(i));
                }
                if (rowsAlong) {
                    texture.axes[1].Fill(f.area, at, n, scratch.Rows(i));
                } else {
                    rowIndices[i] = texture.axes[1].First(f.area, at);
                }
            }
            row.texels[i] = Gather(
                *texture.stage, scratch.Columns(from), textures[from].unitColumns,
                rowsAlong ? scratch.Rows(from) : nullptr, rowIndices[from], n, scratch.Texels(i));
            row.opaque[i] =
                texture.stage->texture->format == D3DFMT_X8R8G8B8 && OpaqueLater(*texture.stage)
                    ? 0xFF000000u
                    : 0;
        }
        if (sse2) {
            ShadeRowSse2(pass, row);
        } else {
            ShadeRowAvx2(pass, row);
        }
    }
    return true;
}

}  // namespace winapi::d3d8
