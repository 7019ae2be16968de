// The device's rasterizer (see raster.h for its rules).
#include "d3d8/raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "backend/syserror.h"
#include "d3d8/pixels.h"

namespace winapi::d3d8 {

namespace {

// A colour as four 0..255 channels.
struct Rgba {
    int a, r, g, b;
};

Rgba Unpack(uint32_t argb) {
    return {int(argb >> 24), int((argb >> 16) & 255), int((argb >> 8) & 255), int(argb & 255)};
}

uint32_t Pack(const Rgba& c) {
    return (uint32_t(c.a) << 24) | (uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | uint32_t(c.b);
}

int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// a x b / 255, rounded to nearest.
int Mul(int a, int b) {
    const int t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

bool Compare(DWORD func, uint32_t value, uint32_t reference) {
    switch (func) {
        case D3DCMP_NEVER:
            return false;
        case D3DCMP_LESS:
            return value < reference;
        case D3DCMP_EQUAL:
            return value == reference;
        case D3DCMP_LESSEQUAL:
            return value <= reference;
        case D3DCMP_GREATER:
            return value > reference;
        case D3DCMP_NOTEQUAL:
            return value != reference;
        case D3DCMP_GREATEREQUAL:
            return value >= reference;
        default:
            return true;
    }
}

uint16_t DepthValue(double z) {
    z = std::clamp(z, 0.0, 1.0);
    return uint16_t(std::lround(z * 65535.0));
}

// The texel index of a coordinate along one axis, before addressing.
int64_t Index(double coordinate, UINT size) {
    const double scaled =
        std::clamp(coordinate * double(size), double(-kIndexLimit), double(kIndexLimit));
    return int64_t(std::floor(scaled));
}

// The texel of stage's texture at indices before addressing (or the border colour).
uint32_t TexelAt(const StageState& stage, int64_t i, int64_t j) {
    const Image& t = *stage.texture;
    const int64_t x = AddressIndex(i, t.width, stage.addressU);
    const int64_t y = AddressIndex(j, t.height, stage.addressV);
    if (x < 0 || y < 0) return stage.borderColor;
    return ReadPixel(t.format, t.Row(UINT(y)) + size_t(x) * BytesPerPixel(t.format));
}

int BlendFactor(DWORD factor, int channel, const Rgba& src, const Rgba& dst, bool alpha,
                bool forDest) {
    auto pick = [&](const Rgba& c) {
        if (alpha) return c.a;
        return channel == 0 ? c.r : (channel == 1 ? c.g : c.b);
    };
    switch (factor) {
        case D3DBLEND_ZERO:
            return 0;
        case D3DBLEND_ONE:
            return 255;
        case D3DBLEND_SRCCOLOR:
            return pick(src);
        case D3DBLEND_INVSRCCOLOR:
            return 255 - pick(src);
        case D3DBLEND_SRCALPHA:
            return src.a;
        case D3DBLEND_INVSRCALPHA:
            return 255 - src.a;
        case D3DBLEND_DESTALPHA:
            return dst.a;
        case D3DBLEND_INVDESTALPHA:
            return 255 - dst.a;
        case D3DBLEND_DESTCOLOR:
            return pick(dst);
        case D3DBLEND_INVDESTCOLOR:
            return 255 - pick(dst);
        case D3DBLEND_SRCALPHASAT:
            return alpha ? 255 : std::min(src.a, 255 - dst.a);
        // The pair factors set both sides from the source blend alone.
        case D3DBLEND_BOTHSRCALPHA:
            return forDest ? 255 - src.a : src.a;
        case D3DBLEND_BOTHINVSRCALPHA:
            return forDest ? src.a : 255 - src.a;
        default:
            return 0;
    }
}

int BlendChannel(DWORD op, int s, int fs, int d, int fd) {
    switch (op) {
        case D3DBLENDOP_SUBTRACT:
            return Clamp255(Mul(s, fs) - Mul(d, fd));
        case D3DBLENDOP_REVSUBTRACT:
            return Clamp255(Mul(d, fd) - Mul(s, fs));
        case D3DBLENDOP_MIN:
            return std::min(s, d);
        case D3DBLENDOP_MAX:
            return std::max(s, d);
        default:
            return Clamp255(Mul(s, fs) + Mul(d, fd));
    }
}

// One channel of a texture-stage operation.
int Operate(DWORD op, int a1, int a2, const Rgba& diffuse, const Rgba& texture, const Rgba& factor,
            const Rgba& current) {
    auto lerp = [&](int alpha) { return Clamp255(Mul(a1, alpha) + Mul(a2, 255 - alpha)); };
    switch (op) {
        case D3DTOP_SELECTARG1:
            return a1;
        case D3DTOP_SELECTARG2:
            return a2;
        case D3DTOP_MODULATE:
            return Mul(a1, a2);
        case D3DTOP_MODULATE2X:
            return Clamp255(2 * Mul(a1, a2));
        case D3DTOP_MODULATE4X:
            return Clamp255(4 * Mul(a1, a2));
        case D3DTOP_ADD:
            return Clamp255(a1 + a2);
        case D3DTOP_ADDSIGNED:
            return Clamp255(a1 + a2 - 128);
        case D3DTOP_ADDSIGNED2X:
            return Clamp255(2 * (a1 + a2 - 128));
        case D3DTOP_SUBTRACT:
            return Clamp255(a1 - a2);
        case D3DTOP_ADDSMOOTH:
            return Clamp255(a1 + a2 - Mul(a1, a2));
        case D3DTOP_BLENDDIFFUSEALPHA:
            return lerp(diffuse.a);
        case D3DTOP_BLENDTEXTUREALPHA:
            return lerp(texture.a);
        case D3DTOP_BLENDFACTORALPHA:
            return lerp(factor.a);
        case D3DTOP_BLENDCURRENTALPHA:
            return lerp(current.a);
        case D3DTOP_BLENDTEXTUREALPHAPM:
            return Clamp255(a1 + Mul(a2, 255 - texture.a));
        default:
            return a1;
    }
}

// Whether the three vertices carry the same value of member.
bool SameForAll(const Vertex* const v[3], uint32_t Vertex::*member) {
    return v[0]->*member == v[1]->*member && v[1]->*member == v[2]->*member;
}

}  // namespace

void CRasterizer::Shade(LONG x, LONG y, const Vertex* const v[3], const Weights& w, double z,
                        const Vertex& flat, const uint32_t* known) {
    const PipelineState& s = s_;
    uint16_t* depthCell = nullptr;
    uint16_t depth = 0;
    if (s.zEnable && s.depth != nullptr) {
        depthCell = reinterpret_cast<uint16_t*>(s.depth->Row(UINT(y))) + x;
        depth = DepthValue(z);
        if (!Compare(s.zFunc, depth, *depthCell)) return;
    }
    uint32_t color;
    if (known != nullptr) {
        color = *known;
    } else if (!PixelColor(v, w, flat, color)) {
        return;
    }
    Store(x, y, color);
    if (depthCell != nullptr && s.zWrite) *depthCell = depth;
}

void CRasterizer::StageCoordinates(const StageState& stage, const Vertex* const v[3],
                                   const Weights& w, double& u, double& t) const {
    const DWORD set = stage.texCoordIndex & 0xFFFFu;
    u = 0;
    t = 0;
    if (int(set) >= s_.texCoordCount) return;
    for (int i = 0; i < 3; ++i) {
        u += w.w[i] * double(v[i]->uv[set][0]);
        t += w.w[i] * double(v[i]->uv[set][1]);
    }
}

uint32_t CRasterizer::Sample(const StageState& stage, const Vertex* const v[3],
                             const Weights& w) const {
    const DWORD set = stage.texCoordIndex & 0xFFFFu;
    const Image& image = *stage.texture;
    if (w.affine != nullptr && int(set) < s_.texCoordCount && w.affine->exactSet[set]) {
        auto index = [&](int axis, UINT size) {
            const ScaledAxis& scaled = w.affine->axes[set][axis];
            Wide n = 0;
            for (int i = 0; i < 3; ++i) n += Wide(w.e[i]) * scaled.a[i];
            return ExactTexelIndex(n, scaled.k, w.affine->area, size);
        };
        return TexelAt(stage, index(0, image.width), index(1, image.height));
    }
    double u, t;
    StageCoordinates(stage, v, w, u, t);
    return TexelAt(stage, Index(u, image.width), Index(t, image.height));
}

bool CRasterizer::PixelColor(const Vertex* const v[3], const Weights& w, const Vertex& flat,
                             uint32_t& color) const {
    const PipelineState& s = s_;
    // The diffuse and specular colours at this pixel. A colour all three vertices share
    // is the colour everywhere (the weights sum to one), so it is not interpolated.
    Rgba diffuse, specular;
    if (s.flatShade) {
        diffuse = Unpack(flat.diffuse);
        specular = Unpack(flat.specular);
    } else {
        auto interpolate = [&](uint32_t Vertex::*member) {
            if (SameForAll(v, member)) return Unpack(v[0]->*member);
            if (w.affine != nullptr) {
                Wide n[4] = {0, 0, 0, 0};
                for (int i = 0; i < 3; ++i) {
                    const Rgba c = Unpack(v[i]->*member);
                    n[0] += Wide(w.e[i]) * c.a;
                    n[1] += Wide(w.e[i]) * c.r;
                    n[2] += Wide(w.e[i]) * c.g;
                    n[3] += Wide(w.e[i]) * c.b;
                }
                const int64_t area = w.affine->area;
                return Rgba{Clamp255(ExactChannel(n[0], area)), Clamp255(ExactChannel(n[1], area)),
                            Clamp255(ExactChannel(n[2], area)), Clamp255(ExactChannel(n[3], area))};
            }
            double c[4] = {0, 0, 0, 0};
            for (int i = 0; i < 3; ++i) {
                const uint32_t value = v[i]->*member;
                c[0] += w.w[i] * double(value >> 24);
                c[1] += w.w[i] * double((value >> 16) & 255);
                c[2] += w.w[i] * double((value >> 8) & 255);
                c[3] += w.w[i] * double(value & 255);
            }
            return Rgba{Clamp255(int(std::lround(c[0]))), Clamp255(int(std::lround(c[1]))),
                        Clamp255(int(std::lround(c[2]))), Clamp255(int(std::lround(c[3])))};
        };
        diffuse = interpolate(&Vertex::diffuse);
        specular = interpolate(&Vertex::specular);
    }
    const Rgba factor = Unpack(s.textureFactor);

    Rgba current = diffuse;
    if (s.shader != nullptr) {
        uint32_t shaded = 0;
        if (!ShadeProgram(v, w, Pack(diffuse), Pack(specular), shaded)) return false;
        current = Unpack(shaded);
    }
    // The texture stages, until the first whose colour operation is off.
    for (int stageIndex = 0; stageIndex < kStages && s.shader == nullptr; ++stageIndex) {
        const StageState& stage = s.stages[stageIndex];
        if (stage.colorOp == D3DTOP_DISABLE) break;
        // A stage without a texture reads the diffuse colour.
        const Rgba texel = stage.texture != nullptr ? Unpack(Sample(stage, v, w)) : diffuse;
        auto argument = [&](DWORD arg) {
            Rgba c;
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
            if (arg & D3DTA_COMPLEMENT) c = {255 - c.a, 255 - c.r, 255 - c.g, 255 - c.b};
            if (arg & D3DTA_ALPHAREPLICATE) c = {c.a, c.a, c.a, c.a};
            return c;
        };
        const Rgba c1 = argument(stage.colorArg1), c2 = argument(stage.colorArg2);
        Rgba next;
        next.r = Operate(stage.colorOp, c1.r, c2.r, diffuse, texel, factor, current);
        next.g = Operate(stage.colorOp, c1.g, c2.g, diffuse, texel, factor, current);
        next.b = Operate(stage.colorOp, c1.b, c2.b, diffuse, texel, factor, current);
        if (stage.alphaOp == D3DTOP_DISABLE) {
            next.a = current.a;
        } else {
            const Rgba a1 = argument(stage.alphaArg1), a2 = argument(stage.alphaArg2);
            next.a = Operate(stage.alphaOp, a1.a, a2.a, diffuse, texel, factor, current);
        }
        current = next;
    }

    if (s.alphaTest && !Compare(s.alphaFunc, uint32_t(current.a), s.alphaRef & 0xFFu)) return false;
    color = Pack(current);
    return true;
}

void CRasterizer::Store(LONG x, LONG y, uint32_t color) {
    const PipelineState& s = s_;
    const Rgba current = Unpack(color);
    uint8_t* cell = s.target->Row(UINT(y)) + size_t(x) * 4;
    uint32_t stored;
    std::memcpy(&stored, cell, 4);
    const bool keepsAlpha = s.target->format == D3DFMT_A8R8G8B8;
    Rgba dst = Unpack(stored);
    if (!keepsAlpha) dst.a = 255;

    Rgba out = current;
    if (s.blend && s.blendOp == D3DBLENDOP_ADD && s.srcBlend == D3DBLEND_SRCALPHA &&
        s.destBlend == D3DBLEND_INVSRCALPHA) {
        // The usual alpha blend, the same sums as below without looking up each factor.
        const int fs = current.a, fd = 255 - current.a;
        out.r = Clamp255(Mul(current.r, fs) + Mul(dst.r, fd));
        out.g = Clamp255(Mul(current.g, fs) + Mul(dst.g, fd));
        out.b = Clamp255(Mul(current.b, fs) + Mul(dst.b, fd));
        out.a = Clamp255(Mul(current.a, fs) + Mul(dst.a, fd));
    } else if (s.blend) {
        const DWORD src = s.srcBlend, dest = s.destBlend;
        int fs[4], fd[4];
        for (int ch = 0; ch < 3; ++ch) {
            fs[ch] = BlendFactor(src, ch, current, dst, false, false);
            fd[ch] = BlendFactor(
                src == D3DBLEND_BOTHSRCALPHA || src == D3DBLEND_BOTHINVSRCALPHA ? src : dest, ch,
                current, dst, false, true);
        }
        fs[3] = BlendFactor(src, 3, current, dst, true, false);
        fd[3] = BlendFactor(
            src == D3DBLEND_BOTHSRCALPHA || src == D3DBLEND_BOTHINVSRCALPHA ? src : dest, 3,
            current, dst, true, true);
        out.r = BlendChannel(s.blendOp, current.r, fs[0], dst.r, fd[0]);
        out.g = BlendChannel(s.blendOp, current.g, fs[1], dst.g, fd[1]);
        out.b = BlendChannel(s.blendOp, current.b, fs[2], dst.b, fd[2]);
        out.a = BlendChannel(s.blendOp, current.a, fs[3], dst.a, fd[3]);
    }
    const DWORD mask = s.colorWriteMask;
    if (!(mask & D3DCOLORWRITEENABLE_RED)) out.r = dst.r;
    if (!(mask & D3DCOLORWRITEENABLE_GREEN)) out.g = dst.g;
    if (!(mask & D3DCOLORWRITEENABLE_BLUE)) out.b = dst.b;
    if (!(mask & D3DCOLORWRITEENABLE_ALPHA)) out.a = dst.a;
    if (!keepsAlpha) out.a = 255;
    const uint32_t packed = Pack(out);
    std::memcpy(cell, &packed, 4);
}

bool CRasterizer::ShadeProgram(const Vertex* const v[3], const Weights& w, uint32_t diffuse,
                               uint32_t specular, uint32_t& out) const {
    const PipelineState& s = s_;
    PixelInputs in;
    auto toReals = [](uint32_t argb, float c[4]) {
        const Rgba x = Unpack(argb);
        c[0] = float(x.r) / 255.0f;
        c[1] = float(x.g) / 255.0f;
        c[2] = float(x.b) / 255.0f;
        c[3] = float(x.a) / 255.0f;
    };
    toReals(diffuse, in.diffuse);
    toReals(specular, in.specular);
    in.constants = s.shaderConstants;
    for (int stageIndex = 0; stageIndex < kPixelShaderTextures; ++stageIndex) {
        const StageState& stage = s.stages[stageIndex];
        double u, t;
        StageCoordinates(stage, v, w, u, t);
        float* coordinates = in.coordinates[stageIndex];
        coordinates[0] = float(u);
        coordinates[1] = float(t);
        coordinates[2] = 0.0f;
        coordinates[3] = 1.0f;
        float* texel = in.texel[stageIndex];
        if ((s.shader->sampledStages & (1u << stageIndex)) != 0 && stage.texture != nullptr) {
            toReals(Sample(stage, v, w), texel);
        } else {
            // A stage without a texture samples opaque black.
            texel[0] = texel[1] = texel[2] = 0.0f;
            texel[3] = 1.0f;
        }
    }
    float result[4];
    if (!RunPixelShader(*s.shader, in, result)) return false;
    auto channel = [](float c) { return int(std::lround(double(c) * 255.0)); };
    out = Pack({channel(result[3]), channel(result[0]), channel(result[1]), channel(result[2])});
    return true;
}

bool Drawable(const Vertex& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::fabs(v.x) <= kCoordinateLimit &&
           std::fabs(v.y) <= kCoordinateLimit;
}

int64_t Snap(float coordinate) { return std::llround(double(coordinate) * 256.0); }

double Rhw(const Vertex& v) { return (std::isfinite(v.rhw) && v.rhw > 0) ? double(v.rhw) : 1.0; }

CRasterizer::Affine CRasterizer::MakeAffine(const Vertex* const v[3], int64_t area) const {
    Affine affine;
    affine.area = area;
    for (int set = 0; set < s_.texCoordCount; ++set) {
        bool exact = true;
        for (int axis = 0; axis < 2; ++axis) {
            const float values[3] = {v[0]->uv[set][axis], v[1]->uv[set][axis], v[2]->uv[set][axis]};
            affine.axes[set][axis] = ScaleAxis(values, 3);
            exact = exact && TexelIndexFits(area, affine.axes[set][axis]);
        }
        affine.exactSet[set] = exact;
    }
    return affine;
}

bool CRasterizer::UsesWeights(const Vertex* const v[3]) const {
    return (s_.zEnable && s_.depth != nullptr) || Varies(v);
}

bool CRasterizer::Varies(const Vertex* const v[3]) const {
    const PipelineState& s = s_;
    if (s.shader != nullptr) return true;
    if (!s.flatShade && (!SameForAll(v, &Vertex::diffuse) || !SameForAll(v, &Vertex::specular))) {
        return true;
    }
    for (const StageState& stage : s.stages) {
        if (stage.colorOp == D3DTOP_DISABLE) break;
        if (stage.texture != nullptr) return true;
    }
    return false;
}

void CRasterizer::Triangle(const Vertex& a, const Vertex& b, const Vertex& c, bool reversed,
                           const Vertex& flat) {
    if (!Drawable(a) || !Drawable(b) || !Drawable(c)) {
        winapi::backend::WarnUnsupported("Direct3D vertices beyond 4194304 pixels (not drawn)");
        return;
    }
    const Vertex* v[3] = {&a, &b, &c};
    int64_t X[3], Y[3];
    for (int i = 0; i < 3; ++i) {
        X[i] = Snap(v[i]->x);
        Y[i] = Snap(v[i]->y);
    }
    int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (Y[1] - Y[0]) * (X[2] - X[0]);
    if (area == 0) return;
    // With y pointing down, a positive area is a clockwise triangle on the screen.
    const bool clockwise = (area > 0) != reversed;
    if ((s_.cull == D3DCULL_CCW && !clockwise) || (s_.cull == D3DCULL_CW && clockwise)) return;
    if (area < 0) {
        std::swap(v[1], v[2]);
        std::swap(X[1], X[2]);
        std::swap(Y[1], Y[2]);
        area = -area;
    }

    // Pixel centres inside the bounding box and the clip rectangle.
    const int64_t minX = std::max<int64_t>(s_.left, (std::min({X[0], X[1], X[2]}) + 255) >> 8);
    const int64_t maxX = std::min<int64_t>(s_.right - 1, std::max({X[0], X[1], X[2]}) >> 8);
    const int64_t minY = std::max<int64_t>(s_.top, (std::min({Y[0], Y[1], Y[2]}) + 255) >> 8);
    const int64_t maxY = std::min<int64_t>(s_.bottom - 1, std::max({Y[0], Y[1], Y[2]}) >> 8);
    if (minX > maxX || minY > maxY) return;

    // Edge i runs from vertex i+1 to vertex i+2; it is zero on that edge and equals the
    // area at vertex i. A pixel on an edge belongs to the triangle when the edge is a top
    // edge (horizontal, interior below) or a left edge (going up, in this winding).
    int64_t dx[3], dy[3], bias[3];
    for (int i = 0; i < 3; ++i) {
        const int p = (i + 1) % 3, q = (i + 2) % 3;
        dx[i] = X[q] - X[p];
        dy[i] = Y[q] - Y[p];
        const bool topLeft = (dy[i] == 0 && dx[i] > 0) || dy[i] < 0;
        bias[i] = topLeft ? 0 : -1;
    }
    const double rhw[3] = {Rhw(*v[0]), Rhw(*v[1]), Rhw(*v[2])};
    const double inverseArea = 1.0 / double(area);
    // Without weights every pixel gets the same colour from the stages: it is worked out
    // once, and each pixel is only blended.
    const bool weighted = UsesWeights(v);
    uint32_t constantColor = 0;
    if (!weighted) {
        const Weights unused = {{1, 0, 0}};
        if (!PixelColor(v, unused, flat, constantColor)) return;  // alpha-tested away
    }
    // Over an affine triangle the weights come from the edge values alone (exact.h).
    const bool affine = rhw[0] == rhw[1] && rhw[1] == rhw[2];
    Affine setup;
    if (weighted && affine) setup = MakeAffine(v, area);
    for (int64_t py = minY; py <= maxY; ++py) {
        const int64_t Py = py * 256;
        for (int64_t px = minX; px <= maxX; ++px) {
            const int64_t Px = px * 256;
            int64_t e[3];
            bool inside = true;
            for (int i = 0; i < 3 && inside; ++i) {
                const int p = (i + 1) % 3;
                e[i] = dx[i] * (Py - Y[p]) - dy[i] * (Px - X[p]);
                inside = e[i] + bias[i] >= 0;
            }
            if (!inside) continue;
            if (!weighted) {
                Store(LONG(px), LONG(py), constantColor);
                continue;
            }
            Weights w;
            double screen[3], sum = 0;
            for (int i = 0; i < 3; ++i) {
                screen[i] = double(e[i]) * inverseArea;
                w.w[i] = screen[i] * rhw[i];
                sum += w.w[i];
            }
            for (double& weight : w.w) weight /= sum;
            if (affine) {
                w.e = e;
                w.affine = &setup;
            }
            const double z = screen[0] * v[0]->z + screen[1] * v[1]->z + screen[2] * v[2]->z;
            Shade(LONG(px), LONG(py), v, w, z, flat);
        }
    }
}

void CRasterizer::Line(const Vertex& a, const Vertex& b) {
    if (!Drawable(a) || !Drawable(b)) {
        winapi::backend::WarnUnsupported("Direct3D vertices beyond 4194304 pixels (not drawn)");
        return;
    }
    const double x0 = a.x, y0 = a.y, x1 = b.x, y1 = b.y;
    const double ddx = x1 - x0, ddy = y1 - y0;
    if (ddx == 0 && ddy == 0) return;
    const bool xMajor = std::fabs(ddx) >= std::fabs(ddy);
    // Along the major axis: p0 to p1; the minor coordinate follows.
    const double p0 = xMajor ? x0 : y0, p1 = xMajor ? x1 : y1;
    const double q0 = xMajor ? y0 : x0, dq = xMajor ? ddy : ddx, dp = p1 - p0;
    // Diamond exit: a pixel is drawn when the line leaves its diamond, so the first pixel
    // is the one the start lies in and the last the one before the end's.
    int64_t first, last;
    int step;
    if (dp > 0) {
        first = int64_t(std::floor(p0 + 0.5));
        last = int64_t(std::floor(p1 + 0.5)) - (s_.lastPixel ? 0 : 1);
        step = 1;
    } else {
        first = int64_t(std::ceil(p0 + 0.5)) - 1;
        last = int64_t(std::ceil(p1 + 0.5)) - (s_.lastPixel ? 1 : 0);
        step = -1;
    }
    const Vertex* v[3] = {&a, &b, &b};
    const double rhwA = Rhw(a), rhwB = Rhw(b);
    // When every pixel has the same colour it is worked out once.
    uint32_t constantColor = 0;
    const bool constant = !Varies(v);
    if (constant) {
        const Weights unused = {{1, 0, 0}};
        if (!PixelColor(v, unused, a, constantColor)) return;  // alpha-tested away
    }
    for (int64_t p = first; step > 0 ? p <= last : p >= last; p += step) {
        const double t = std::clamp((double(p) - p0) / dp, 0.0, 1.0);
        const int64_t q = int64_t(std::floor(q0 + t * dq + 0.5));
        const int64_t x = xMajor ? p : q, y = xMajor ? q : p;
        if (x < s_.left || x >= s_.right || y < s_.top || y >= s_.bottom) continue;
        Weights w = {{(1 - t) * rhwA, t * rhwB, 0}};
        const double sum = w.w[0] + w.w[1];
        w.w[0] /= sum;
        w.w[1] /= sum;
        const double z = (1 - t) * a.z + t * b.z;
        Shade(LONG(x), LONG(y), v, w, z, a, constant ? &constantColor : nullptr);
    }
}

void CRasterizer::Point(const Vertex& a) {
    if (!Drawable(a)) return;
    const int64_t x = int64_t(std::floor(double(a.x) + 0.5));
    const int64_t y = int64_t(std::floor(double(a.y) + 0.5));
    if (x < s_.left || x >= s_.right || y < s_.top || y >= s_.bottom) return;
    const Vertex* v[3] = {&a, &a, &a};
    const Weights w = {{1, 0, 0}};
    Shade(LONG(x), LONG(y), v, w, a.z, a);
}

void FillColor(Image& image, LONG left, LONG top, LONG right, LONG bottom, uint32_t argb) {
    if (image.format == D3DFMT_X8R8G8B8) argb |= 0xFF000000u;
    for (LONG y = top; y < bottom; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(image.Row(UINT(y)));
        std::fill(row + left, row + right, argb);
    }
}

void FillDepth(Image& image, LONG left, LONG top, LONG right, LONG bottom, float z) {
    const uint16_t value = DepthValue(z);
    for (LONG y = top; y < bottom; ++y) {
        uint16_t* row = reinterpret_cast<uint16_t*>(image.Row(UINT(y)));
        std::fill(row + left, row + right, value);
    }
}

}  // namespace winapi::d3d8
