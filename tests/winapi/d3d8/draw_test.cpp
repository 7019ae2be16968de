// The Direct3D 8 device's drawing: the drawing presets, blending, sampling, coverage
// rules, lines, clears and the depth and alpha tests. Large quads in pure colours are
// probed at their centres; coverage tests count pixels with additive blending.
#include <algorithm>
#include <cstdlib>
#include <set>
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
