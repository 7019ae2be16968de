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

// The first triangle, wound clockwise as CRasterizer::Triangle winds it, with its edges.
struct Frame {
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

Plane MakePlane(const Frame& f, const Wide a[3], int64_t x0, int64_t y0) {
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

    // The addressed indices of n pixels of a row (row: rows below the first).
    void Fill(int64_t area, int64_t row, int n, int32_t* out) const {
        if (none || plane.stepX == 0) {
            Wide n0 = 0;
            if (!none) n0 = plane.base + plane.stepY * row;
            const int32_t index =
                int32_t(AddressIndex(ExactTexelIndex(n0, k, area, size), size, mode));
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
    // The pixel shader's constants as its reads see them before any def: clamped.
    float constants[kPixelShaderConstants][4] = {};
};

// The buffers of one row.
struct Row {
    uint32_t* target = nullptr;
    uint16_t* depth = nullptr;
    int count = 0;
    const uint32_t* texels[kStages] = {};  // null: the stage samples no texture
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
        const U32x8 texel = row.texels[i] != nullptr ? Load(row.texels[i] + at) : diffuse;
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

// --- the pixel shader, eight pixels at a time --------------------------------------------

struct Reals {
    F32x8 c[4];  // r, g, b, a
};

SE_VECTOR F32x8 Splat(float x) { return F32x8{} + x; }
// shader.cpp's Clamp, also for NaN.
SE_VECTOR F32x8 Clamp(F32x8 v, float low, float high) {
    const F32x8 lo = Splat(low), hi = Splat(high);
    return v < lo ? lo : (v > hi ? hi : v);
}
// 0xAARRGGBB pixels as 0..1 reals (raster.cpp's toReals).
SE_VECTOR Reals ToReals(U32x8 argb) {
    Reals out;
    for (int k = 0; k < 3; ++k) {
        const U32x8 channel = (argb >> (16 - 8 * k)) & 255u;
        out.c[k] = __builtin_convertvector(__builtin_bit_cast(I32x8, channel), F32x8) / 255.0f;
    }
    const U32x8 alpha = argb >> 24;
    out.c[3] = __builtin_convertvector(__builtin_bit_cast(I32x8, alpha), F32x8) / 255.0f;
    return out;
}
// A 0..1 real as a channel (raster.cpp's lround(c x 255), c never below 0 here).
SE_VECTOR U32x8 Channel(F32x8 c) {
    const F64x8 scaled = __builtin_convertvector(c, F64x8) * 255.0 + 0.5;
    return __builtin_bit_cast(U32x8, __builtin_convertvector(scaled, I32x8));
}

// shader.cpp's RunPixelShader without texcoord and texkill.
SE_VECTOR U32x8 Shader(const Pass& pass, const Row& row, int at) {
    const PixelProgram& program = *pass.s->shader;
    const Reals diffuse = ToReals(Diffuse(row, at));
    const Reals specular = ToReals(Specular(row, at));
    Reals temp[2] = {}, texture[kPixelShaderTextures] = {};
    float defined[kPixelShaderConstants][4];
    bool isDefined[kPixelShaderConstants] = {};

    auto read = [&](const ShaderSource& source) __attribute__((always_inline)) {
        Reals v;
        const Reals* reg = nullptr;
        Reals constant;
        switch (source.type) {
            case 0:
                reg = &temp[source.index];
                break;
            case 1:
                reg = source.index == 0 ? &diffuse : &specular;
                break;
            case 2: {
                const float* values =
                    isDefined[source.index] ? defined[source.index] : pass.constants[source.index];
                for (int k = 0; k < 4; ++k) {
                    constant.c[k] = Clamp(Splat(values[k]), -1.0f, 1.0f);
                }
                reg = &constant;
                break;
            }
            default:
                reg = &texture[source.index];
                break;
        }
        for (int k = 0; k < 4; ++k) {
            F32x8 x = reg->c[source.alphaReplicate ? 3 : k];
            switch (source.modifier) {
                case 1:
                    x = -x;
                    break;
                case 2:
                    x = x - 0.5f;
                    break;
                case 3:
                    x = 0.5f - x;
                    break;
                case 4:
                    x = 2.0f * x - 1.0f;
                    break;
                case 5:
                    x = 1.0f - 2.0f * x;
                    break;
                case 6:
                    x = 1.0f - x;
                    break;
                default:
                    break;
            }
            v.c[k] = x;
        }
        return v;
    };

    struct Pending {
        Reals* target;
        uint8_t mask;
        Reals value;
    };
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
            const uint32_t* texels = row.texels[first.destIndex];
            texture[first.destIndex] = texels != nullptr ? ToReals(Load(texels + at)) : Reals{};
            if (texels == nullptr) texture[first.destIndex].c[3] = Splat(1.0f);  // opaque black
            ++i;
            continue;
        }
        Pending pending[2];
        int count = 0;
        do {
            const ShaderInstruction& op = code[i];
            const int sources =
                op.opcode == D3DSIO_MOV ? 1
                : (op.opcode == D3DSIO_MAD || op.opcode == D3DSIO_LRP || op.opcode == D3DSIO_CND)
                    ? 3
                    : 2;
            const Reals a = read(op.sources[0]);
            const Reals b = sources > 1 ? read(op.sources[1]) : Reals{};
            const Reals c = sources > 2 ? read(op.sources[2]) : Reals{};
            const F32x8 dot = a.c[0] * b.c[0] + a.c[1] * b.c[1] + a.c[2] * b.c[2];
            Reals r;
            for (int k = 0; k < 4; ++k) {
                F32x8 x;
                switch (op.opcode) {
                    case D3DSIO_MOV:
                        x = a.c[k];
                        break;
                    case D3DSIO_ADD:
                        x = a.c[k] + b.c[k];
                        break;
                    case D3DSIO_SUB:
                        x = a.c[k] - b.c[k];
                        break;
                    case D3DSIO_MUL:
                        x = a.c[k] * b.c[k];
                        break;
                    case D3DSIO_MAD:
                        x = a.c[k] * b.c[k] + c.c[k];
                        break;
                    case D3DSIO_LRP:
                        x = a.c[k] * b.c[k] + (1.0f - a.c[k]) * c.c[k];
                        break;
                    case D3DSIO_DP3:
                        x = dot;
                        break;
                    case D3DSIO_CND:
                        x = a.c[k] > 0.5f ? b.c[k] : c.c[k];
                        break;
                    default:
                        x = F32x8{};
                        break;
                }
                if (op.shift == 1) x *= 2.0f;
                if (op.shift == 2) x *= 4.0f;
                if (op.shift == -1) x *= 0.5f;
                r.c[k] = op.saturate ? Clamp(x, 0.0f, 1.0f) : Clamp(x, -1.0f, 1.0f);
            }
            Pending& p = pending[count++];
            p.target = op.destType == 0 ? &temp[op.destIndex] : &texture[op.destIndex];
            p.mask = op.writeMask;
            p.value = r;
            ++i;
        } while (i < code.size() && code[i].coissue && count < 2);
        for (int n = 0; n < count; ++n) {
            for (int k = 0; k < 4; ++k) {
                if (pending[n].mask & (1u << k)) pending[n].target->c[k] = pending[n].value.c[k];
            }
        }
    }
    U32x8 out = Channel(Clamp(temp[0].c[3], 0.0f, 1.0f)) << 24;
    for (int k = 0; k < 3; ++k) out |= Channel(Clamp(temp[0].c[k], 0.0f, 1.0f)) << (16 - 8 * k);
    return out;
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

// Colours, tests, blend and store of up to eight pixels from at.
SE_VECTOR void Pixels8(const Pass& pass, const Row& row, int at) {
    const PipelineState& s = *pass.s;
    const int n = row.count - at < 8 ? row.count - at : 8;
    U32x8 current = Splat(pass.color);
    I32x8 draw = I32x8{} - 1;
    if (!pass.constant) {
        current = s.shader != nullptr ? Shader(pass, row, at) : Stages(pass, row, at);
        if (pass.alphaTest) draw &= Compare(s.alphaFunc, current >> 24, Splat(s.alphaRef & 0xFFu));
    }
    if (pass.depth) {
        U16x8 cells = {};
        std::memcpy(&cells, row.depth + at, size_t(n) * 2);
        const U32x8 stored = __builtin_convertvector(cells, U32x8);
        draw &= Compare(s.zFunc, U32x8{}, stored);  // the pixel's depth is 0
    }
    U32x8 stored = {};
    std::memcpy(&stored, row.target + at, size_t(n) * 4);
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
    out = Select(draw, out, stored);
    std::memcpy(row.target + at, &out, size_t(n) * 4);
    if (pass.depth && s.zWrite) {
        for (int i = 0; i < n; ++i) {
            if (draw[i]) row.depth[at + i] = 0;
        }
    }
}

SE_VECTOR void ShadeRow(const Pass& pass, const Row& row) {
    for (int at = 0; at < row.count; at += 8) Pixels8(pass, row, at);
}

void ShadeRowSse2(const Pass& pass, const Row& row) { ShadeRow(pass, row); }

__attribute__((target("avx2"))) void ShadeRowAvx2(const Pass& pass, const Row& row) {
    ShadeRow(pass, row);
}

// --- setting the rectangle up and its rows ---------------------------------------------------

// The texels of a stage at n pixels' addressed indices (-1: the border colour).
void Gather(const StageState& stage, const int32_t* columns, const int32_t* rows, int n,
            uint32_t* out) {
    const Image& image = *stage.texture;
    const uint32_t border = stage.borderColor;
    if (image.format == D3DFMT_A8R8G8B8 || image.format == D3DFMT_X8R8G8B8) {
        const uint32_t opaque = image.format == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0;
        for (int k = 0; k < n; ++k) {
            if (columns[k] < 0 || rows[k] < 0) {
                out[k] = border;
                continue;
            }
            uint32_t texel;
            std::memcpy(&texel, image.Row(UINT(rows[k])) + size_t(columns[k]) * 4, 4);
            out[k] = texel | opaque;
        }
        return;
    }
    const UINT bytes = BytesPerPixel(image.format);
    for (int k = 0; k < n; ++k) {
        out[k] =
            columns[k] < 0 || rows[k] < 0
                ? border
                : ReadPixel(image.format, image.Row(UINT(rows[k])) + size_t(columns[k]) * bytes);
    }
}

// Scratch rows, kept between rectangles: n pixels (rounded up to whole groups of eight)
// for the two vertex colours and each stage's texels and column indices, and one row of
// row indices.
struct Scratch {
    std::vector<uint32_t> colours;
    std::vector<int32_t> indices;
    int stride = 0;

    void Size(int n) {
        stride = (n + 7) & ~7;
        colours.resize(size_t(stride) * (kStages + 2));
        indices.resize(size_t(stride) * (kStages + 1));
    }
    uint32_t* Colours(int which) { return &colours[size_t(which) * size_t(stride)]; }
    uint32_t* Texels(int stage) { return Colours(stage + 2); }
    int32_t* Columns(int stage) { return &indices[size_t(stage) * size_t(stride)]; }
    int32_t* Rows() { return Columns(kStages); }
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
Frame MakeFrame(const Vertex* const v[3], const int64_t x[3], const int64_t y[3]) {
    Frame f;
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
    const Frame f = MakeFrame(first, X, Y), g = MakeFrame(second, X + 3, Y + 3);
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
    Affine triangles[2];
    bool affinesMade = false;
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
        // Each triangle's own path must be exact too, or it would round differently.
        if (!affinesMade) {
            triangles[0] = MakeAffine(f.v, f.area);
            triangles[1] = MakeAffine(g.v, g.area);
            affinesMade = true;
        }
        if (!triangles[0].exactSet[set] || !triangles[1].exactSet[set]) return false;
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
    if (s.shader != nullptr) {
        for (int i = 0; i < kPixelShaderConstants; ++i) {
            for (int k = 0; k < 4; ++k) pass.constants[i][k] = s.shaderConstants[i][k];
        }
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
        for (int i = 0; i < kStages && !pass.constant; ++i) {
            if (!sampled[i]) continue;
            const Texture& texture = textures[i];
            int32_t* columns = scratch.Columns(i);
            if (at == 0 || texture.columnsPerRow) texture.axes[0].Fill(f.area, at, n, columns);
            texture.axes[1].Fill(f.area, at, n, scratch.Rows());
            Gather(*texture.stage, columns, scratch.Rows(), n, scratch.Texels(i));
            row.texels[i] = scratch.Texels(i);
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
