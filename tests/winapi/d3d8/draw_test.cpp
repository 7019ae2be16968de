// The Direct3D 8 device's drawing: the drawing presets, blending, sampling, coverage
// rules, lines, clears and the depth and alpha tests. Large quads in pure colours are
// probed at their centres; coverage tests count pixels with additive blending.
#include <d3dx8.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "winapi/d3d8/d3d8_support.h"

using namespace d3d8test;

namespace {

// Channels may differ by one from the real-number result (rounding of each term).
::testing::AssertionResult Near(DWORD actual, DWORD expected) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = int((actual >> shift) & 255), e = int((expected >> shift) & 255);
        if (std::abs(a - e) > 1) {
            return ::testing::AssertionFailure() << std::hex << "pixel 0x" << (actual & 0xFFFFFFu)
                                                 << ", expected about 0x" << expected;
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

class D3d8DrawTest : public DeviceTest {};

// The texture-stage presets and blend codes the renderer draws with, over a background of
// 0x204060: a texel 0x80C08040 and a texture factor 0xC0FF8000.
TEST_F(D3d8DrawTest, PresetsAndBlendCodes) {
    struct Case {
        const char* name;
        bool textured;
        DWORD colorOp, colorArg1, colorArg2, alphaOp, alphaArg1, alphaArg2;
        DWORD src, dest;
        DWORD expected;
    };
    const DWORD kKeep = 0;  // alpha operation left as the previous preset set it
    const Case cases[] = {
        {"textured, normal alpha", true, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT,
         D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA,
         0x706050},
        {"tinted, alpha from texture", true, D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT,
         D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA,
         0x906030},
        {"tinted, alpha modulated", true, D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT,
         D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_TFACTOR, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA,
         0x74583C},
        {"textured, additive tint (a)", true, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_TFACTOR, kKeep,
         0, 0, D3DBLEND_ONE, D3DBLEND_ONE, 0xE08060},
        {"flat, multiply (m)", false, D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT, kKeep, 0, 0,
         D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, 0x202000},
        {"flat, darken by source alpha (s)", false, D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT,
         D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT, D3DBLEND_ZERO, D3DBLEND_INVSRCALPHA,
         0x081018},
        {"flat, additive (a)", false, D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT,
         D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT, D3DBLEND_ONE, D3DBLEND_ONE, 0xFFC060},
        {"flat, normal alpha (b)", false, D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT,
         D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_CURRENT, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA,
         0xC87018},
    };
    IDirect3DTexture8* texture = MakeTexture(4, 4, std::vector<DWORD>(16, 0x80C08040u));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF204060u, 1.0f, 0), D3D_OK);
        ASSERT_EQ(device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0xC0FF8000u), D3D_OK);
        device_->SetTextureStageState(0, D3DTSS_COLOROP, c.colorOp);
        device_->SetTextureStageState(0, D3DTSS_COLORARG1, c.colorArg1);
        device_->SetTextureStageState(0, D3DTSS_COLORARG2, c.colorArg2);
        if (c.alphaOp != kKeep) {
            device_->SetTextureStageState(0, D3DTSS_ALPHAOP, c.alphaOp);
            device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, c.alphaArg1);
            device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, c.alphaArg2);
        }
        Blend(true, c.src, c.dest);
        device_->SetTexture(0, c.textured ? texture : nullptr);
        ASSERT_EQ(
            c.textured ? DrawSprite(99.5f, 99.5f, 299.5f, 199.5f) : DrawRect(100, 100, 300, 200),
            D3D_OK);
        EXPECT_TRUE(Near(Pixel(200, 150), c.expected));
        EXPECT_EQ(Pixel(50, 50) & 0xFFFFFF, 0x204060u) << "outside the quad";
    }
    device_->SetTexture(0, nullptr);
    texture->Release();
}

// Blending off writes the stage result as it is; the X byte of the back buffer reads 0xFF.
TEST_F(D3d8DrawTest, OpaqueDrawReplacesThePixel) {
    Stage(D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTOP_SELECTARG1, D3DTA_TFACTOR);
    device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0x1234567Fu);
    ASSERT_EQ(DrawRect(0, 0, 640, 480), D3D_OK);
    EXPECT_EQ(Pixel(320, 240), 0xFF34567Fu);
}

// A sprite quad placed half a pixel up and left of (x, y) copies its image texel for
// texel, also when the image fills only part of a larger texture, and a scale of two
// repeats each texel on two by two pixels.
TEST_F(D3d8DrawTest, SpriteQuadsSampleTexelCentres) {
    std::vector<DWORD> image(8 * 4);
    for (size_t i = 0; i < image.size(); ++i) image[i] = 0xFF000000u | DWORD(i * 0x070503u + 0x10);
    IDirect3DTexture8* texture = MakeTexture(8, 4, image);
    Stage(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
    device_->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    device_->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
    device_->SetTexture(0, texture);

    struct Case {
        int x, y, w, h, scale;
    };
    for (const Case c : {Case{100, 50, 8, 4, 1}, Case{7, 300, 5, 3, 1}, Case{400, 10, 8, 4, 2}}) {
        SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h << " scale " << c.scale);
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
        const float left = float(c.x) - 0.5f, top = float(c.y) - 0.5f;
        ASSERT_EQ(DrawSprite(left, top, left + float(c.w * c.scale), top + float(c.h * c.scale),
                             float(c.w) / 8, float(c.h) / 4),
                  D3D_OK);
        UINT width = 0;
        const std::vector<DWORD> drawn = SeReadRenderTarget(device_, &width, nullptr);
        for (int y = -1; y <= c.h * c.scale; ++y) {
            for (int x = -1; x <= c.w * c.scale; ++x) {
                const bool inside = x >= 0 && y >= 0 && x < c.w * c.scale && y < c.h * c.scale;
                const DWORD expected =
                    inside ? image[size_t(y / c.scale) * 8 + size_t(x / c.scale)] : 0xFF000000u;
                ASSERT_EQ(drawn[size_t(c.y + y) * width + size_t(c.x + x)], expected)
                    << "at " << x << "," << y;
            }
        }
    }
    device_->SetTexture(0, nullptr);
    texture->Release();
}

// Addressing beyond 0..1: clamp repeats the edge texel, wrap repeats the texture.
TEST_F(D3d8DrawTest, AddressingModes) {
    IDirect3DTexture8* texture = MakeTexture(2, 1, {0xFFFF0000u, 0xFF0000FFu});
    Stage(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
    device_->SetTexture(0, texture);
    // u runs 0..2 over 8 pixels: texels 0 0 1 1 | beyond 1: clamp 1 1 1 1, wrap 0 0 1 1.
    const std::pair<DWORD, std::vector<DWORD>> cases[] = {
        {D3DTADDRESS_CLAMP,
         {0xFFFF0000u, 0xFFFF0000u, 0xFF0000FFu, 0xFF0000FFu, 0xFF0000FFu, 0xFF0000FFu, 0xFF0000FFu,
          0xFF0000FFu}},
        {D3DTADDRESS_WRAP,
         {0xFFFF0000u, 0xFFFF0000u, 0xFF0000FFu, 0xFF0000FFu, 0xFFFF0000u, 0xFFFF0000u, 0xFF0000FFu,
          0xFF0000FFu}},
    };
    for (const auto& [mode, expected] : cases) {
        device_->SetTextureStageState(0, D3DTSS_ADDRESSU, mode);
        ASSERT_EQ(DrawSprite(-0.5f, -0.5f, 7.5f, 0.5f, 2.0f, 1.0f), D3D_OK);
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(Pixel(x, 0), expected[size_t(x)]) << "mode " << mode << " x " << x;
    }
    device_->SetTexture(0, nullptr);
    texture->Release();
}

// The pixels a shape covers, drawn additively in 0x40 steps onto black: a pixel drawn
// twice reads 0x80.
class D3d8CoverageTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        Stage(D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTOP_SELECTARG1, D3DTA_TFACTOR);
        device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF404040u);
        Blend(true, D3DBLEND_ONE, D3DBLEND_ONE);
        device_->SetVertexShader(D3DFVF_XYZRHW);
    }
    // Covered pixels; fails the test when one was drawn more than once.
    std::set<std::pair<int, int>> Covered() {
        UINT w = 0, h = 0;
        const std::vector<DWORD> pixels = SeReadRenderTarget(device_, &w, &h);
        std::set<std::pair<int, int>> covered;
        for (UINT y = 0; y < h; ++y) {
            for (UINT x = 0; x < w; ++x) {
                const DWORD p = pixels[y * w + x] & 0xFF;
                if (p == 0x40) covered.insert({int(x), int(y)});
                if (p != 0 && p != 0x40) {
                    ADD_FAILURE() << "pixel " << x << "," << y << " drawn twice";
                }
            }
        }
        return covered;
    }
    void Erase() { device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0); }
};

// A square with corners on pixel centres, cut along its diagonal, as a list, a strip and a
// fan: its left and top edges are drawn, its right and bottom edges are not, and the
// diagonal through pixel centres is drawn exactly once.
TEST_F(D3d8CoverageTest, SharedDiagonalIsDrawnOnce) {
    const FlatVertex a{10, 20, 0, 1}, b{30, 20, 0, 1}, c{30, 40, 0, 1}, d{10, 40, 0, 1};
    struct Case {
        const char* name;
        D3DPRIMITIVETYPE type;
        std::vector<FlatVertex> vertices;
    };
    const Case cases[] = {
        {"list", D3DPT_TRIANGLELIST, {a, b, c, a, c, d}},
        {"strip", D3DPT_TRIANGLESTRIP, {b, c, a, d}},
        {"fan", D3DPT_TRIANGLEFAN, {a, b, c, d}},
        {"list, other diagonal", D3DPT_TRIANGLELIST, {a, b, d, b, c, d}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Erase();
        ASSERT_EQ(device_->DrawPrimitiveUP(k.type, 2, k.vertices.data(), sizeof(FlatVertex)),
                  D3D_OK);
        const auto covered = Covered();
        EXPECT_EQ(covered.size(), 400u);
        EXPECT_TRUE(covered.count({10, 20}) && covered.count({29, 39}));
        EXPECT_FALSE(covered.count({30, 20}) || covered.count({10, 40}));
    }
}

// Any convex quadrilateral covers the same pixels whichever diagonal splits it, with
// corners anywhere between pixel centres.
TEST_F(D3d8CoverageTest, CoverageDoesNotDependOnTheSplit) {
    srand(7);
    for (int round = 0; round < 20; ++round) {
        auto jitter = [] { return float(rand() % 1000) / 1000.0f * 7.0f; };
        const FlatVertex a{50 + jitter(), 50 + jitter(), 0, 1},
            b{150 + jitter(), 45 + jitter(), 0, 1}, c{155 + jitter(), 140 + jitter(), 0, 1},
            d{45 + jitter(), 150 + jitter(), 0, 1};
        const FlatVertex one[6] = {a, b, c, a, c, d};
        const FlatVertex other[6] = {a, b, d, b, c, d};
        Erase();
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, one, sizeof(FlatVertex)), D3D_OK);
        const auto first = Covered();
        Erase();
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, other, sizeof(FlatVertex)),
                  D3D_OK);
        EXPECT_EQ(first, Covered()) << "round " << round;
        EXPECT_GT(first.size(), 9000u);
    }
}

// Lines run from pixel centre to pixel centre; the last pixel only with D3DRS_LASTPIXEL.
// A strip joins without drawing a joint twice when the last pixel is off.
TEST_F(D3d8CoverageTest, LinesFollowTheLastPixelRule) {
    struct Case {
        const char* name;
        D3DPRIMITIVETYPE type;
        std::vector<FlatVertex> vertices;
        BOOL lastPixel;
        size_t count;
        std::pair<int, int> first, end;
    };
    const Case cases[] = {
        {"horizontal", D3DPT_LINELIST, {{10, 5, 0, 1}, {20, 5, 0, 1}}, FALSE, 10, {10, 5}, {20, 5}},
        {"horizontal with last",
         D3DPT_LINELIST,
         {{10, 5, 0, 1}, {20, 5, 0, 1}},
         TRUE,
         11,
         {10, 5},
         {21, 5}},
        {"leftwards", D3DPT_LINELIST, {{20, 5, 0, 1}, {10, 5, 0, 1}}, FALSE, 10, {20, 5}, {10, 5}},
        {"vertical",
         D3DPT_LINELIST,
         {{3, 100, 0, 1}, {3, 130, 0, 1}},
         FALSE,
         30,
         {3, 100},
         {3, 130}},
        {"diagonal", D3DPT_LINELIST, {{0, 0, 0, 1}, {10, 10, 0, 1}}, FALSE, 10, {9, 9}, {10, 10}},
        {"strip",
         D3DPT_LINESTRIP,
         {{10, 10, 0, 1}, {40, 10, 0, 1}, {40, 30, 0, 1}},
         FALSE,
         50,
         {40, 10},
         {40, 30}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Erase();
        device_->SetRenderState(D3DRS_LASTPIXEL, k.lastPixel);
        const UINT primitives =
            k.type == D3DPT_LINESTRIP ? UINT(k.vertices.size() - 1) : UINT(k.vertices.size() / 2);
        ASSERT_EQ(
            device_->DrawPrimitiveUP(k.type, primitives, k.vertices.data(), sizeof(FlatVertex)),
            D3D_OK);
        const auto covered = Covered();
        EXPECT_EQ(covered.size(), k.count);
        EXPECT_TRUE(covered.count(k.first));
        EXPECT_FALSE(covered.count(k.end));
    }
}

// With counter-clockwise culling (the default) a triangle wound counter-clockwise on the
// screen is not drawn; the odd triangles of a strip count the other way round.
TEST_F(D3d8CoverageTest, CullingFollowsTheWinding) {
    const FlatVertex clockwise[3] = {{0, 0, 0, 1}, {100, 0, 0, 1}, {0, 100, 0, 1}};
    const FlatVertex counter[3] = {{0, 0, 0, 1}, {0, 100, 0, 1}, {100, 0, 0, 1}};
    const std::tuple<DWORD, const FlatVertex*, bool> cases[] = {
        {D3DCULL_CCW, clockwise, true}, {D3DCULL_CCW, counter, false},
        {D3DCULL_CW, clockwise, false}, {D3DCULL_CW, counter, true},
        {D3DCULL_NONE, counter, true},
    };
    for (const auto& [mode, triangle, drawn] : cases) {
        Erase();
        device_->SetRenderState(D3DRS_CULLMODE, mode);
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(FlatVertex)),
                  D3D_OK);
        EXPECT_EQ(!Covered().empty(), drawn) << "cull mode " << mode;
    }
    // The sprite strip order draws both halves under the default culling.
    Erase();
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    const FlatVertex strip[4] = {{20, 0, 0, 1}, {20, 10, 0, 1}, {0, 0, 0, 1}, {0, 10, 0, 1}};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, sizeof(FlatVertex)), D3D_OK);
    EXPECT_EQ(Covered().size(), 200u);
}

// Clear fills the viewport, or the given rectangles within it.
TEST_F(D3d8DrawTest, ClearStaysInsideTheViewportAndRectangles) {
    const D3DRECT rects[2] = {{10, 10, 20, 20}, {600, 400, 700, 500}};
    ASSERT_EQ(device_->Clear(2, rects, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0), D3D_OK);
    EXPECT_EQ(Pixel(15, 15), 0xFF00FF00u);
    EXPECT_EQ(Pixel(20, 20), 0xFF000000u);
    EXPECT_EQ(Pixel(639, 479), 0xFF00FF00u);  // the second rectangle, cut at the edge

    const D3DVIEWPORT8 viewport = {100, 100, 50, 50, 0.0f, 1.0f};
    ASSERT_EQ(device_->SetViewport(&viewport), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000u, 1.0f, 0), D3D_OK);
    EXPECT_EQ(Pixel(125, 125), 0xFFFF0000u);
    EXPECT_EQ(Pixel(99, 125), 0xFF000000u);
    EXPECT_EQ(Pixel(150, 125), 0xFF000000u);
    // Drawing is cut at the viewport as well.
    Stage(D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTOP_SELECTARG1, D3DTA_TFACTOR);
    device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF0000FFu);
    ASSERT_EQ(DrawRect(0, 0, 640, 480), D3D_OK);
    EXPECT_EQ(Pixel(149, 149), 0xFF0000FFu);
    EXPECT_EQ(Pixel(150, 149), 0xFF000000u);

    const D3DVIEWPORT8 tooLarge = {600, 0, 50, 50, 0.0f, 1.0f};
    EXPECT_EQ(device_->SetViewport(&tooLarge), D3DERR_INVALIDCALL);
}

// Alpha test against D3DRS_ALPHAREF, and the depth test with and without depth writes.
TEST_F(D3d8DrawTest, AlphaAndDepthTests) {
    Stage(D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTOP_SELECTARG1, D3DTA_TFACTOR);
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device_->SetRenderState(D3DRS_ALPHAREF, 0x80);
    device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0x7FFF0000u);
    ASSERT_EQ(DrawRect(0, 0, 100, 100), D3D_OK);
    EXPECT_EQ(Pixel(50, 50), 0xFF000000u) << "alpha 0x7F fails";
    device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0x80FF0000u);
    ASSERT_EQ(DrawRect(0, 0, 100, 100), D3D_OK);
    EXPECT_EQ(Pixel(50, 50), 0xFFFF0000u) << "alpha 0x80 passes";
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);

    device_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device_->SetVertexShader(D3DFVF_XYZRHW);
    auto rectAt = [&](float z, DWORD color) {
        device_->SetRenderState(D3DRS_TEXTUREFACTOR, color);
        const FlatVertex fan[4] = {
            {200, 0, z, 1}, {300, 0, z, 1}, {300, 100, z, 1}, {200, 100, z, 1}};
        return device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, fan, sizeof(FlatVertex));
    };
    ASSERT_EQ(rectAt(0.5f, 0xFFFF0000u), D3D_OK);
    ASSERT_EQ(rectAt(0.7f, 0xFF00FF00u), D3D_OK);
    EXPECT_EQ(Pixel(250, 50), 0xFFFF0000u) << "farther is hidden";
    device_->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    ASSERT_EQ(rectAt(0.3f, 0xFF0000FFu), D3D_OK);
    EXPECT_EQ(Pixel(250, 50), 0xFF0000FFu) << "nearer is drawn";
    ASSERT_EQ(rectAt(0.4f, 0xFF00FF00u), D3D_OK);
    EXPECT_EQ(Pixel(250, 50), 0xFF00FF00u) << "the write was off: 0.5 is still stored";
}

// Vertex colours are interpolated across a triangle (Gouraud) or taken from the first
// vertex (flat); with no texture bound the texture argument reads the diffuse colour.
TEST_F(D3d8DrawTest, VertexColoursAreInterpolated) {
    Stage(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE);
    device_->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    const ColorVertex fan[4] = {{-0.5f, -0.5f, 0, 1, 0xFF000000u},
                                {255.5f, -0.5f, 0, 1, 0xFFFF0000u},
                                {255.5f, 9.5f, 0, 1, 0xFFFF0000u},
                                {-0.5f, 9.5f, 0, 1, 0xFF000000u}};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, fan, sizeof(ColorVertex)), D3D_OK);
    EXPECT_TRUE(Near(Pixel(0, 5), 0x000000));
    EXPECT_TRUE(Near(Pixel(128, 5), 0x800000));
    EXPECT_TRUE(Near(Pixel(255, 5), 0xFE0000));

    device_->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, fan, sizeof(ColorVertex)), D3D_OK);
    EXPECT_EQ(Pixel(200, 1), 0xFFFF0000u) << "first triangle: its first vertex is the fan's second";

    Stage(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
    device_->SetTexture(0, nullptr);
    device_->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, fan, sizeof(ColorVertex)), D3D_OK);
    EXPECT_TRUE(Near(Pixel(128, 5), 0x800000));
}

// Two triangles that tile a screen-aligned rectangle are drawn in one pass, row by row.
// That pass gives every pixel, and every depth, that the two triangles drawn one by one
// give, on SSE2 and on AVX2, for random rectangles (clipped, culled, as lists, strips and
// fans), textures of every format and addressing mode, constant, linearly varying and
// other colours and texture coordinates, stage operations and arguments, pixel shaders,
// alpha and depth tests, blends and write masks, into targets with and without alpha.
// Most cases are ones the pass takes; the others must be left to the triangles.
TEST_F(D3d8DrawTest, RectanglesInOnePassGiveThePixelsOfTheirTriangles) {
    std::mt19937 random(17);
    auto uniform = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    auto chance = [&](int percent) { return uniform(0, 99) < percent; };
    auto anyColour = [&] { return DWORD(random()); };

    // Targets of an odd size with and without alpha, sharing the 640 x 480 depth buffer.
    constexpr int kWidth = 61, kHeight = 37;
    IDirect3DSurface8* depth = nullptr;
    ASSERT_EQ(device_->GetDepthStencilSurface(&depth), D3D_OK);
    IDirect3DTexture8* targets[2] = {};
    IDirect3DSurface8* surfaces[2] = {};
    const D3DFORMAT targetFormats[2] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8};
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(device_->CreateTexture(kWidth, kHeight, 1, D3DUSAGE_RENDERTARGET,
                                         targetFormats[i], D3DPOOL_DEFAULT, &targets[i]),
                  D3D_OK);
        targets[i]->GetSurfaceLevel(0, &surfaces[i]);
    }
    // Textures of every kind of format, with random texels.
    const D3DFORMAT formats[] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5,
                                 D3DFMT_A4R4G4B4, D3DFMT_A8L8,     D3DFMT_L8};
    std::vector<IDirect3DTexture8*> textures;
    for (int i = 0; i < 8; ++i) {
        const UINT w = UINT(uniform(1, 24)), h = UINT(uniform(1, 24));
        IDirect3DTexture8* texture = nullptr;
        ASSERT_EQ(device_->CreateTexture(w, h, 1, 0, formats[i % 6], D3DPOOL_MANAGED, &texture),
                  D3D_OK);
        D3DLOCKED_RECT locked;
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < h; ++y) {
            uint8_t* row = static_cast<uint8_t*>(locked.pBits) + size_t(y) * size_t(locked.Pitch);
            for (int x = 0; x < locked.Pitch; ++x) row[x] = uint8_t(random());
        }
        texture->UnlockRect(0);
        textures.push_back(texture);
    }
    // Shaders: the effect's two and one with every kind of operation and modifier.
    const char* const programs[] = {
        "ps.1.1\ntex t0\ntex t1\ntex t2\nmul r0, t1, t0\nmul r1, t2, 1-t0\nadd r0, r0, r1\n",
        "ps.1.0\ntex t0\ntex t1\ntex t2\nmul r0,t0,c0\nmul r1,t1,c1\nadd r0,r0,r1\nmul "
        "r1,t2,c1\nadd r0,r0,r1\n",
        "ps.1.1\ndef c2, 0.25, 0.5, 0.75, 1\ntex t0\ntex t1\nmad r0, t0, c0, t1_bias\n"
        "lrp r1.rgb, c1.a, t0, v0\n+mov r1.a, -t1_bx2\ndp3_x2 r1.rgb, r1, c2\nmad r1.rgb, c0, "
        "c1_bias, r1\n"
        "cnd_sat r0, r0.a, r1, 1-v1\nsub_d2 r0.rgb, r0, t0\n+add_x4 r0.a, r0, c1\n",
    };
    DWORD shaders[3] = {};
    for (int i = 0; i < 3; ++i) {
        LPD3DXBUFFER code = nullptr;
        ASSERT_EQ(D3DXAssembleShader(programs[i], UINT(std::strlen(programs[i])), 0, nullptr, &code,
                                     nullptr),
                  D3D_OK)
            << programs[i];
        ASSERT_EQ(device_->CreatePixelShader(static_cast<const DWORD*>(code->GetBufferPointer()),
                                             &shaders[i]),
                  D3D_OK);
        code->Release();
    }

    struct Vertex {  // D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2
        float x, y, z, rhw;
        DWORD diffuse, specular;
        float uv[2][2];
    };
    constexpr DWORD kFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2;
    constexpr int kCases = 500;
    UINT taken = 0;
    for (int round = 0; round < kCases; ++round) {
        // A coordinate as sprites place them, on a whole pixel, or anywhere on the grid.
        auto coordinate = [&](int low, int high) {
            const int whole = uniform(low, high);
            switch (uniform(0, 3)) {
                case 0:
                    return float(whole) - 0.5f;
                case 1:
                    return float(whole);
                case 2:
                    return float(whole) + float(uniform(0, 255)) / 256.0f;
                default:
                    return float(whole) + float(uniform(0, 9999)) / 10000.0f;
            }
        };
        float left = coordinate(-8, 60), right = coordinate(-8, 70);
        float top = coordinate(-8, 35), bottom = coordinate(-8, 45);
        if (left > right) std::swap(left, right);
        if (top > bottom) std::swap(top, bottom);
        // Corner c: bit 0 right, bit 1 bottom. Values affine over the rectangle: the fourth
        // corner's is the sum of its neighbours' less the opposite one's.
        Vertex corners[4] = {};
        for (int c = 0; c < 4; ++c) {
            corners[c].x = (c & 1) ? right : left;
            corners[c].y = (c & 2) ? bottom : top;
        }
        auto affineColours = [&](DWORD Vertex::*member) {
            const int kind = uniform(0, 19);  // constant, affine, or (now and then) neither
            DWORD value[4] = {};
            for (int shift = 0; shift < 32; shift += 8) {
                const int c0 = uniform(0, 255);
                int across = 0, down = 0;
                if (kind >= 8) {
                    across = uniform(-c0, 255 - c0);
                    down =
                        uniform(std::max(-c0, -c0 - across), std::min(255 - c0, 255 - c0 - across));
                }
                const int c[4] = {c0, c0 + across, c0 + down, c0 + across + down};
                for (int corner = 0; corner < 4; ++corner)
                    value[corner] |= DWORD(c[corner]) << shift;
            }
            if (kind == 19) value[3] = anyColour();
            for (int c = 0; c < 4; ++c) corners[c].*member = value[c];
        };
        affineColours(&Vertex::diffuse);
        affineColours(&Vertex::specular);
        for (int set = 0; set < 2; ++set) {
            for (int axis = 0; axis < 2; ++axis) {
                // Texel for pixel, a nice fraction, any float, along or across the axis.
                float start = 0, along = 1, across = 0;
                switch (uniform(0, 3)) {
                    case 0:
                        along = float(uniform(1, 4)) / float(uniform(1, 8));
                        break;
                    case 1:
                        start = float(uniform(-8, 8)) / 8.0f;
                        along = float(uniform(-16, 16)) / 4.0f;
                        break;
                    case 2:
                        start = float(uniform(-1000, 1000)) / 997.0f;
                        along = float(uniform(-3000, 3000)) / 991.0f;
                        across = float(uniform(-1000, 1000)) / 983.0f;
                        break;
                    default:
                        across = along;
                        along = 0;
                        break;
                }
                for (int c = 0; c < 4; ++c) {
                    const float a = (axis == 0) ? float(c & 1) : float((c >> 1) & 1);
                    const float b = (axis == 0) ? float((c >> 1) & 1) : float(c & 1);
                    corners[c].uv[set][axis] = start + along * a + across * b;
                }
            }
        }
        const float rhw = chance(80) ? 1.0f : 0.5f;
        const float z = chance(85) ? 0.0f : 0.25f;
        for (Vertex& v : corners) {
            v.rhw = chance(5) ? 0.75f : rhw;  // now and then, perspective
            v.z = z;
        }
        // The two triangles: along one diagonal or the other, as a list, a strip or a fan.
        const bool otherDiagonal = chance(50);
        const int a = otherDiagonal ? 1 : 0, b = 3 - a;  // the diagonal
        const int c = otherDiagonal ? 0 : 1, d = 3 - c;  // the other corners
        D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
        std::vector<Vertex> vertices;
        switch (uniform(0, 2)) {
            case 0: {
                int first[3] = {a, c, b}, second[3] = {a, b, d};
                std::rotate(first, first + uniform(0, 2), first + 3);
                std::rotate(second, second + uniform(0, 2), second + 3);
                if (chance(20)) std::swap(first[0], first[1]);
                if (chance(20)) std::swap(second[0], second[1]);
                for (int i : first) vertices.push_back(corners[i]);
                for (int i : second) vertices.push_back(corners[i]);
                if (chance(5)) vertices[3].diffuse ^= 0x00FF0000u;  // not one plane
                break;
            }
            case 1:
                type = D3DPT_TRIANGLESTRIP;
                for (int i : {c, a, b, d}) vertices.push_back(corners[i]);
                if (chance(50)) std::reverse(vertices.begin(), vertices.end());
                break;
            default:
                type = D3DPT_TRIANGLEFAN;
                for (int i : {a, c, b, d}) vertices.push_back(corners[i]);
                if (chance(50)) std::swap(vertices[1], vertices[3]);
                break;
        }

        // The state, set the same way before each run.
        bool shaded = chance(35);
        const DWORD shader = shaders[uniform(0, 2)];
        float constants[8][4];
        for (auto& constant : constants) {
            for (float& value : constant) value = float(uniform(-1500, 1500)) / 1000.0f;
        }
        IDirect3DTexture8* bound[3];
        DWORD stageStates[3][8];
        for (int stage = 0; stage < 3; ++stage) {
            bound[stage] = chance(85) ? textures[size_t(uniform(0, 7))] : nullptr;
            auto argument = [&] {
                return DWORD(uniform(0, 4)) | (chance(15) ? D3DTA_COMPLEMENT : 0) |
                       (chance(15) ? D3DTA_ALPHAREPLICATE : 0);
            };
            stageStates[stage][0] = DWORD(uniform(2, 16));  // colour operation
            stageStates[stage][1] = argument();
            stageStates[stage][2] = argument();
            stageStates[stage][3] = DWORD(uniform(1, 16));  // alpha operation (1: off)
            stageStates[stage][4] = argument();
            stageStates[stage][5] = argument();
            stageStates[stage][6] = DWORD(uniform(0, 5) == 0 ? 2 : uniform(0, 1));  // set
            stageStates[stage][7] = DWORD(uniform(1, 4));                           // addressing
        }
        int stages = uniform(1, 3);
        const DWORD border = anyColour(), factor = anyColour();
        bool blend = chance(70);
        DWORD src = DWORD(uniform(1, 13)), dest = DWORD(uniform(1, 13));
        DWORD blendOp = DWORD(uniform(1, 5));
        const DWORD writeMask = chance(70) ? 15 : DWORD(uniform(0, 15));
        const bool alphaTest = chance(30);
        const DWORD alphaFunc = DWORD(uniform(1, 8)), alphaRef = DWORD(uniform(0, 255));
        bool zEnable = chance(40);
        const bool zWrite = chance(50);
        const DWORD zFunc = DWORD(uniform(1, 8));
        const bool flat = chance(15);
        const DWORD cull = DWORD(uniform(1, 3));
        const int target = uniform(0, 1);
        const bool narrow = chance(20);
        const D3DVIEWPORT8 viewport = {
            DWORD(uniform(0, 20)), DWORD(uniform(0, 10)), 30, 20, 0.0f, 1.0f};
        D3DRECT blocks[6];
        DWORD blockColours[6];
        for (int i = 0; i < 6; ++i) {
            const LONG x = uniform(0, kWidth - 1), y = uniform(0, kHeight - 1);
            blocks[i] = {x, y, x + uniform(1, 30), y + uniform(1, 20)};
            blockColours[i] = anyColour();
        }
        // A quarter of the cases draw as the program's fades and panels do: one stage without
        // a texture that selects the diffuse colour (often one colour) or the texture
        // factor, blended with the factors they use.
        if (chance(25)) {
            bound[0] = nullptr;
            for (Vertex& v : vertices) {
                v.specular = vertices[0].specular;
                if (chance(50)) v.diffuse = vertices[0].diffuse;
            }
            static constexpr DWORD kFactors[][2] = {
                {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA}, {D3DBLEND_ONE, D3DBLEND_ONE},
                {D3DBLEND_ONE, D3DBLEND_INVSRCALPHA},      {D3DBLEND_ZERO, D3DBLEND_SRCCOLOR},
                {D3DBLEND_BOTHINVSRCALPHA, D3DBLEND_ONE},  {D3DBLEND_DESTCOLOR, D3DBLEND_ZERO}};
            const DWORD(&pair)[2] = kFactors[uniform(0, 5)];
            const DWORD from = chance(50) ? D3DTA_DIFFUSE : D3DTA_TFACTOR;
            shaded = false;
            stages = 1;
            DWORD* st = stageStates[0];
            st[0] = st[3] = D3DTOP_SELECTARG1;
            st[1] = st[4] = from;
            blend = true;
            blendOp = D3DBLENDOP_ADD;
            src = pair[0];
            dest = pair[1];
            zEnable = chance(25);
        }

        auto run = [&](BOOL oneByOne, BOOL sse2) {
            SeTrianglesOneByOne(oneByOne);
            SeRectanglesWithSse2(sse2);
            device_->SetRenderTarget(surfaces[target], depth);
            // A background of blocks of colour, some at depth 0.
            device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, blockColours[5], 1.0f,
                           0);
            for (int i = 0; i < 5; ++i) {
                device_->Clear(1, &blocks[i], D3DCLEAR_TARGET | (i & 1 ? D3DCLEAR_ZBUFFER : 0),
                               blockColours[i], 0.0f, 0);
            }
            if (narrow) device_->SetViewport(&viewport);
            device_->SetPixelShader(shaded ? shader : 0);
            device_->SetPixelShaderConstant(0, constants, 8);
            for (DWORD stage = 0; stage < 3; ++stage) {
                const DWORD* st = stageStates[stage];
                device_->SetTexture(stage, bound[stage]);
                device_->SetTextureStageState(stage, D3DTSS_COLOROP,
                                              int(stage) < stages ? st[0] : DWORD(D3DTOP_DISABLE));
                device_->SetTextureStageState(stage, D3DTSS_COLORARG1, st[1]);
                device_->SetTextureStageState(stage, D3DTSS_COLORARG2, st[2]);
                device_->SetTextureStageState(stage, D3DTSS_ALPHAOP, st[3]);
                device_->SetTextureStageState(stage, D3DTSS_ALPHAARG1, st[4]);
                device_->SetTextureStageState(stage, D3DTSS_ALPHAARG2, st[5]);
                device_->SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, st[6]);
                device_->SetTextureStageState(stage, D3DTSS_ADDRESSU, st[7]);
                device_->SetTextureStageState(stage, D3DTSS_ADDRESSV, 5 - st[7]);
                device_->SetTextureStageState(stage, D3DTSS_BORDERCOLOR, border);
            }
            device_->SetRenderState(D3DRS_TEXTUREFACTOR, factor);
            device_->SetRenderState(D3DRS_ALPHABLENDENABLE, blend);
            device_->SetRenderState(D3DRS_SRCBLEND, src);
            device_->SetRenderState(D3DRS_DESTBLEND, dest);
            device_->SetRenderState(D3DRS_BLENDOP, blendOp);
            device_->SetRenderState(D3DRS_COLORWRITEENABLE, writeMask);
            device_->SetRenderState(D3DRS_ALPHATESTENABLE, alphaTest);
            device_->SetRenderState(D3DRS_ALPHAFUNC, alphaFunc);
            device_->SetRenderState(D3DRS_ALPHAREF, alphaRef);
            device_->SetRenderState(D3DRS_ZENABLE, zEnable);
            device_->SetRenderState(D3DRS_ZWRITEENABLE, zWrite);
            device_->SetRenderState(D3DRS_ZFUNC, zFunc);
            device_->SetRenderState(D3DRS_SHADEMODE, flat ? D3DSHADE_FLAT : D3DSHADE_GOURAUD);
            device_->SetRenderState(D3DRS_CULLMODE, cull);
            device_->SetVertexShader(kFvf);
            const UINT before = SeRectanglesInOnePass();
            EXPECT_EQ(device_->DrawPrimitiveUP(type, 2, vertices.data(), sizeof(Vertex)), D3D_OK);
            taken += SeRectanglesInOnePass() - before;
            std::vector<DWORD> pixels = SeReadRenderTarget(device_, nullptr, nullptr);
            // The depths: where they are 0 a probe at depth 0 passes the equal test.
            device_->SetPixelShader(0);
            Stage(D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTOP_SELECTARG1, D3DTA_TFACTOR);
            device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF123456u);
            device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
            device_->SetRenderState(D3DRS_COLORWRITEENABLE, 15);
            device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
            device_->SetRenderState(D3DRS_ZENABLE, TRUE);
            device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_EQUAL);
            device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
            const D3DVIEWPORT8 whole = {0, 0, kWidth, kHeight, 0.0f, 1.0f};
            device_->SetViewport(&whole);
            EXPECT_EQ(DrawRect(0, 0, kWidth, kHeight), D3D_OK);
            const std::vector<DWORD> depths = SeReadRenderTarget(device_, nullptr, nullptr);
            pixels.insert(pixels.end(), depths.begin(), depths.end());
            return pixels;
        };
        const std::vector<DWORD> triangles = run(TRUE, FALSE);
        const std::pair<const char*, std::vector<DWORD>> passes[] = {{"default", run(FALSE, FALSE)},
                                                                     {"SSE2", run(FALSE, TRUE)}};
        for (const auto& [name, pixels] : passes) {
            ASSERT_EQ(pixels.size(), triangles.size());
            for (size_t i = 0; i < pixels.size(); ++i) {
                const size_t at = i % (kWidth * kHeight);
                ASSERT_EQ(pixels[i], triangles[i])
                    << std::hex << name << " pass, round " << std::dec << round << ", "
                    << (i < at + 1 ? "colour" : "depth probe") << " at " << at % kWidth << ","
                    << at / kWidth << ", primitive " << type << ", shader " << shaded;
            }
        }
    }
    SeTrianglesOneByOne(FALSE);
    SeRectanglesWithSse2(FALSE);
    EXPECT_GT(taken, UINT(kCases)) << "cases the pass took, of " << 2 * kCases;

    device_->SetPixelShader(0);
    for (DWORD stage = 0; stage < 3; ++stage) device_->SetTexture(stage, nullptr);
    IDirect3DSurface8* back = nullptr;
    device_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back);
    device_->SetRenderTarget(back, depth);
    back->Release();
    depth->Release();
    for (int i = 0; i < 2; ++i) {
        surfaces[i]->Release();
        targets[i]->Release();
    }
    for (IDirect3DTexture8* texture : textures) texture->Release();
    for (DWORD shader : shaders) device_->DeletePixelShader(shader);
}
