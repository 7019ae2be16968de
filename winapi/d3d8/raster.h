// The device's rasterizer: pre-transformed triangles, lines and points drawn on the
// processor into a 32-bit colour image, with an optional 16-bit depth image, through
// the fixed-function texture stages, alpha test, depth test and alpha blending.
//
// Rules: pixel centres lie on integer coordinates; a triangle covers a pixel whose
// centre is inside it, or on a top or left edge (positions are snapped to 1/256 pixel,
// so two triangles sharing an edge never both draw, nor both miss, a pixel on it).
// Lines follow the diamond-exit rule: a line from one pixel centre to another draws the
// first pixel and, unless the last-pixel state is on, not the last one. Texture
// coordinates are sampled at pixel centres with point sampling (texel floor(u x width)),
// and interpolated with perspective correction from each vertex's rhw; over a triangle
// whose vertices share one rhw, texel indices and colours are worked out exactly
// (exact.h). A pixel shader, when one is set, takes the place of the texture stages'
// operations.
//
// Two triangles that tile a screen-aligned rectangle are drawn in one pass, row by row
// (span.cpp), when the rectangle's values are affine over it and the state is one that
// pass handles; it gives the same pixels as drawing the two triangles.
#pragma once

#include <d3d8.h>

#include <cstdint>

#include "d3d8/exact.h"
#include "d3d8/objects.h"
#include "d3d8/shader.h"

namespace winapi::d3d8 {

constexpr int kStages = 8;
constexpr int kMaxTexCoords = 8;

// Positions farther than this from the origin (in pixels) are not drawn.
constexpr double kCoordinateLimit = 4194304.0;

struct Vertex {
    float x = 0, y = 0, z = 0, rhw = 1;
    uint32_t diffuse = 0xFFFFFFFFu;
    uint32_t specular = 0;
    float uv[kMaxTexCoords][2] = {};
};

struct StageState {
    DWORD colorOp = D3DTOP_DISABLE, colorArg1 = D3DTA_TEXTURE, colorArg2 = D3DTA_CURRENT;
    DWORD alphaOp = D3DTOP_DISABLE, alphaArg1 = D3DTA_TEXTURE, alphaArg2 = D3DTA_CURRENT;
    DWORD texCoordIndex = 0;
    DWORD addressU = D3DTADDRESS_WRAP, addressV = D3DTADDRESS_WRAP;
    uint32_t borderColor = 0;
    const Image* texture = nullptr;  // level 0 of the bound texture, or none
};

struct PipelineState {
    Image* target = nullptr;  // A8R8G8B8 or X8R8G8B8
    Image* depth = nullptr;   // D16, or none
    // Pixels outside [left, right) x [top, bottom) are never touched (the viewport
    // within the target).
    LONG left = 0, top = 0, right = 0, bottom = 0;
    bool zEnable = false, zWrite = false;
    DWORD zFunc = D3DCMP_LESSEQUAL;
    bool alphaTest = false;
    DWORD alphaRef = 0, alphaFunc = D3DCMP_ALWAYS;
    bool blend = false;
    DWORD srcBlend = D3DBLEND_ONE, destBlend = D3DBLEND_ZERO, blendOp = D3DBLENDOP_ADD;
    DWORD colorWriteMask = 0xF;
    DWORD cull = D3DCULL_CCW;
    bool flatShade = false;
    bool lastPixel = true;
    uint32_t textureFactor = 0xFFFFFFFFu;
    StageState stages[kStages];
    int texCoordCount = 0;  // coordinate sets each vertex carries
    // The pixel shader in place of the stages' operations (the stages still give the
    // textures, their coordinate sets and addressing), with its constants.
    const PixelProgram* shader = nullptr;
    const float (*shaderConstants)[4] = nullptr;
};

class CRasterizer {
public:
    explicit CRasterizer(const PipelineState& state) : s_(state) {}

    // reversed: the winding counts the other way (odd triangles of a strip). flat: the
    // vertex whose colours flat shading uses.
    void Triangle(const Vertex& a, const Vertex& b, const Vertex& c, bool reversed,
                  const Vertex& flat);
    void Line(const Vertex& a, const Vertex& b);
    void Point(const Vertex& a);
    // Two triangles (as Triangle takes them) that together tile a screen-aligned
    // rectangle, drawn in one pass (span.cpp); false, with nothing drawn, when they do not
    // or when the pass cannot give the pixels the two triangles would.
    bool Rectangle(const Vertex* const first[3], bool firstReversed, const Vertex& firstFlat,
                   const Vertex* const second[3], bool secondReversed, const Vertex& secondFlat);

    // Draws every triangle one by one (a test's way to compare the rectangle pass with
    // the triangles it stands for); process-wide.
    static void ForceTriangles(bool force);
    // Runs the rectangle pass on SSE2 even where AVX2 is there; process-wide.
    static void ForceSse2(bool force);
    // How many rectangles the pass has taken.
    static UINT RectanglesInOnePass();

private:
    // An affine triangle's exact setup: its doubled area (positive) and each coordinate
    // set's axes on their scales (exact.h).
    struct Affine {
        int64_t area = 0;
        ScaledAxis axes[kMaxTexCoords][2];
        bool exactSet[kMaxTexCoords] = {};  // the set's texel indices are exact
    };
    // How a pixel's values come from the three vertices: perspective-correct weights w
    // (summing to one) and, over an affine triangle, its exact setup and the pixel's edge
    // values e (summing to the doubled area), from which texels and colours are taken.
    struct Weights {
        double w[3];
        const int64_t* e = nullptr;
        const Affine* affine = nullptr;
    };
    // Whether drawing a triangle of v reads the barycentric weights or the depth: for
    // interpolated colours, texture coordinates, a pixel shader or the depth test.
    bool UsesWeights(const Vertex* const v[3]) const;
    // The same without the depth test: whether pixels can differ in colour.
    bool Varies(const Vertex* const v[3]) const;
    // The exact setup of a triangle of v (wound clockwise) with this doubled area.
    Affine MakeAffine(const Vertex* const v[3], int64_t area) const;
    // Depth test, colour (known, or from the weights), blend and depth write of one pixel.
    void Shade(LONG x, LONG y, const Vertex* const v[3], const Weights& w, double z,
               const Vertex& flat, const uint32_t* known = nullptr);
    // The texture coordinates of stage's coordinate set at the weights w (0, 0 when the
    // vertices carry no such set).
    void StageCoordinates(const StageState& stage, const Vertex* const v[3], const Weights& w,
                          double& u, double& t) const;
    // The texel stage samples at the weights.
    uint32_t Sample(const StageState& stage, const Vertex* const v[3], const Weights& w) const;
    // The colour the stages or the pixel shader give a pixel (0xAARRGGBB), after the
    // alpha test; false when the pixel is discarded.
    bool PixelColor(const Vertex* const v[3], const Weights& w, const Vertex& flat,
                    uint32_t& color) const;
    // Blends color into the target at (x, y) and stores it through the write mask.
    void Store(LONG x, LONG y, uint32_t color);
    // The colour a pixel shader gives; false when it discards the pixel.
    bool ShadeProgram(const Vertex* const v[3], const Weights& w, uint32_t diffuse,
                      uint32_t specular, uint32_t& out) const;

    const PipelineState& s_;
};

// Whether a vertex lies within kCoordinateLimit of the origin (others are not drawn).
bool Drawable(const Vertex& v);
// A coordinate on the 1/256-pixel grid.
int64_t Snap(float coordinate);
// A vertex's rhw, or 1 where it is not a positive number.
double Rhw(const Vertex& v);

// The texel index along one axis for an addressing mode, from the index before
// addressing (floor(size x coordinate)); -1 means the border colour.
inline int64_t AddressIndex(int64_t i, UINT size, DWORD mode) {
    const int64_t n = int64_t(size);
    switch (mode) {
        case D3DTADDRESS_WRAP:
            return ((i % n) + n) % n;
        case D3DTADDRESS_MIRROR: {
            const int64_t m = ((i % (2 * n)) + 2 * n) % (2 * n);
            return m < n ? m : 2 * n - 1 - m;
        }
        case D3DTADDRESS_BORDER:
            return (i < 0 || i >= n) ? -1 : i;
        default:
            return i < 0 ? 0 : (i >= n ? n - 1 : i);  // clamp
    }
}

// Fills [left, right) x [top, bottom) of a 32-bit colour image with 0xAARRGGBB (an
// X8R8G8B8 image stores 0xFF in the unused byte).
void FillColor(Image& image, LONG left, LONG top, LONG right, LONG bottom, uint32_t argb);
// Fills the same kind of rectangle of a D16 image with depth z (0..1, clamped).
void FillDepth(Image& image, LONG left, LONG top, LONG right, LONG bottom, float z);

}  // namespace winapi::d3d8
