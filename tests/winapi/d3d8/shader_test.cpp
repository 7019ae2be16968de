// Pixel shaders on the Direct3D 8 device: shaders assembled from text drawing into a
// render-target texture (pixel probes), the arithmetic and its modifiers, the token
// streams the device refuses, and shader handles across Set, Delete and Reset.
#include <d3dx8.h>

#include <string>

#include "winapi/d3d8/d3d8_support.h"

using namespace d3d8test;

namespace {

class D3d8ShaderTest : public DeviceTest {
protected:
    void TearDown() override {
        for (IDirect3DTexture8* texture : owned_) texture->Release();
        DeviceTest::TearDown();
    }

    DWORD Shader(const std::string& text) {
        LPD3DXBUFFER code = nullptr;
        EXPECT_EQ(D3DXAssembleShader(text.data(), UINT(text.size()), 0, nullptr, &code, nullptr),
                  D3D_OK)
            << text;
        if (code == nullptr) return 0;
        DWORD handle = 0;
        EXPECT_EQ(device_->CreatePixelShader(static_cast<const DWORD*>(code->GetBufferPointer()),
                                             &handle),
                  D3D_OK);
        code->Release();
        return handle;
    }

    // A w x h render-target texture, made the render target.
    IDirect3DTexture8* Target(UINT w, UINT h) {
        IDirect3DTexture8* texture = nullptr;
        EXPECT_EQ(device_->CreateTexture(w, h, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                         D3DPOOL_DEFAULT, &texture),
                  D3D_OK);
        IDirect3DSurface8* surface = nullptr;
        EXPECT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
        EXPECT_EQ(device_->SetRenderTarget(surface, nullptr), D3D_OK);
        surface->Release();
        owned_.push_back(texture);
        return texture;
    }

    IDirect3DTexture8* Texture(UINT w, UINT h, const std::vector<DWORD>& argb) {
        IDirect3DTexture8* texture = MakeTexture(w, h, argb);
        owned_.push_back(texture);
        return texture;
    }

    std::vector<IDirect3DTexture8*> owned_;
};

TEST_F(D3d8ShaderTest, TheCrossFadeShaderDrawsIntoARenderTargetTexture) {
    Target(64, 32);
    UINT w = 0, h = 0;
    SeReadRenderTarget(device_, &w, &h);
    EXPECT_EQ(w, 64u);
    EXPECT_EQ(h, 32u);
    // t0 steers: white on the left half, a quarter grey on the right.
    device_->SetTexture(0, Texture(2, 1, {0xFFFFFFFFu, 0xFF404040u}));
    device_->SetTexture(1, Texture(1, 1, {0xFFFF0000u}));
    device_->SetTexture(2, Texture(1, 1, {0xFF0000FFu}));
    for (DWORD stage = 1; stage < 3; ++stage)
        device_->SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, 0);
    const DWORD crossFade = Shader(
        "ps.1.1\ntex t0\ntex t1\ntex "
        "t2\nmul\tr0\t,t1\t,t0\t\t\nmul\tr1\t,t2\t,1-t0\t\nadd\tr0\t,r0\t,r1\n");
    ASSERT_NE(crossFade, 0u);
    ASSERT_EQ(device_->SetPixelShader(crossFade), D3D_OK);
    ASSERT_EQ(DrawSprite(0, 0, 64, 32), D3D_OK);
    EXPECT_EQ(Pixel(10, 16), 0xFFFF0000u) << "all of t1";
    EXPECT_EQ(Pixel(50, 16), 0xFF4000BFu) << "a quarter of t1, three quarters of t2";

    // The fixed-function path again once the shader is unset: the texture as it is.
    ASSERT_EQ(device_->SetPixelShader(0), D3D_OK);
    Stage(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
    ASSERT_EQ(DrawSprite(0, 0, 64, 32), D3D_OK);
    EXPECT_EQ(Pixel(50, 16), 0xFF404040u);
}

TEST_F(D3d8ShaderTest, TheWeightedSumTakesItsWeightsFromTheConstants) {
    Target(16, 16);
    device_->SetTexture(0, Texture(1, 1, {0xFFFFFFFFu}));
    device_->SetTexture(1, Texture(1, 1, {0xFFFF0000u}));
    device_->SetTexture(2, Texture(1, 1, {0xFF00FF00u}));
    const DWORD sum = Shader(
        "ps.1.0\ntex t0\ntex t1\ntex t2\nmul r0,t0,c0\nmul r1,t1,c1\nadd r0,r0,r1\nmul "
        "r1,t2,c1\nadd r0,r0,r1\n");
    ASSERT_EQ(device_->SetPixelShader(sum), D3D_OK);
    const float weights[2][4] = {{0.5f, 0.5f, 0.5f, 0.5f}, {0.25f, 0.25f, 0.25f, 0.25f}};
    ASSERT_EQ(device_->SetPixelShaderConstant(0, weights, 2), D3D_OK);
    ASSERT_EQ(DrawSprite(0, 0, 16, 16), D3D_OK);
    // Red and green: 0.5 + 0.25; blue 0.5; alpha 0.5 + 0.25 + 0.25.
    EXPECT_EQ(Pixel(8, 8), 0xFFBFBF80u);

    // A constant beyond 1 counts as 1.
    const float strong[4] = {4.0f, 4.0f, 4.0f, 4.0f};
    ASSERT_EQ(device_->SetPixelShaderConstant(1, strong, 1), D3D_OK);
    ASSERT_EQ(DrawSprite(0, 0, 16, 16), D3D_OK);
    EXPECT_EQ(Pixel(8, 8), 0xFFFFFF80u);
}

TEST_F(D3d8ShaderTest, ArithmeticModifiersAndPairsGiveTheirResults) {
    Target(16, 16);
    struct Case {
        const char* body;
        DWORD expected;  // 0xAARRGGBB
    };
    const std::string defs =
        "ps.1.1\ndef c0, 0.25, 0.5, 0.75, 1\ndef c1, 0, 0, 0, 0.5\ndef c2, 0.2, 0.2, 0.2, 0.2\n";
    const Case cases[] = {
        {"mov r0, c0", 0xFF4080BFu},
        {"mov r0, 1-c0", 0x00BF8040u},
        {"add r0, c0, c0", 0xFF80FFFFu},              // clamped at 1
        {"sub r0, c1, c0", 0x00000000u},              // clamped at 0 on output
        {"mov_x2 r0, c0_bias", 0xFF000080u},          // (-0.5, 0, 0.5, 1)
        {"mov_d2 r0, c0", 0x80204060u},               // halves, rounded
        {"mov r0, -c0_bx2", 0x00800000u},             // 1 - 2x: (0.5, 0, -0.5, -1)
        {"dp3 r0, c0, c0", 0xDFDFDFDFu},              // 0.875 everywhere
        {"mov r0, c0\ndp3 r0, r0, r0", 0xDFDFDFDFu},  // reading what it writes
        {"mad r0, c0, c0, c0", 0xFF50BFFFu},          // (0.3125, 0.75, 1.3125, 2)
        {"lrp r0, c1.a, c0, c2", 0x99395979u},        // halfway between c0 and c2
        {"mov r0, c0.a", 0xFFFFFFFFu},
        {"mov r0.rgb, c0\n+mov r0.a, c1", 0x804080BFu},
        {"mov r0, c2\ncnd r0, r0.a, c0, c1", 0x80000000u},  // r0.a 0.2 is not above 0.5
        {"mov r0, c0\ncnd r0, r0.a, c2, c1", 0x33333333u},
        // A pair reads before either writes: the colour takes c0's alpha, not c1's.
        {"mov r0, c0\nmov r0.a, c1\n+mov r0.rgb, r0.a", 0x80FFFFFFu},
    };
    for (const Case& c : cases) {
        const DWORD shader = Shader(defs + c.body);
        ASSERT_NE(shader, 0u) << c.body;
        ASSERT_EQ(device_->SetPixelShader(shader), D3D_OK);
        ASSERT_EQ(DrawRect(0, 0, 16, 16), D3D_OK);
        EXPECT_EQ(Pixel(8, 8), c.expected) << c.body;
        EXPECT_EQ(device_->DeletePixelShader(shader), D3D_OK);
    }
}

TEST_F(D3d8ShaderTest, ColoursTexKillAndBlendingAfterTheShader) {
    Target(16, 16);
    device_->SetPixelShader(Shader("ps.1.1\nmov r0, v0"));
    const ColorVertex fan[4] = {{0, 0, 0, 1, 0x80FF4020u},
                                {16, 0, 0, 1, 0x80FF4020u},
                                {16, 16, 0, 1, 0x80FF4020u},
                                {0, 16, 0, 1, 0x80FF4020u}};
    device_->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, fan, sizeof(ColorVertex)), D3D_OK);
    EXPECT_EQ(Pixel(8, 8), 0x80FF4020u);

    // The shader's colour is blended like any other: half of 0xFF4020 over black.
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    Blend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, fan, sizeof(ColorVertex)), D3D_OK);
    EXPECT_EQ(Pixel(8, 8) & 0xFFFFFFu, 0x802010u);
    Blend(false);

    // texkill drops the pixels whose coordinates are negative: the left half here.
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    device_->SetPixelShader(Shader("ps.1.1\ntexkill t0\nmov r0, c0"));
    const float white[4] = {1, 1, 1, 1};
    device_->SetPixelShaderConstant(0, white, 1);
    ASSERT_EQ(DrawSprite(0, 0, 16, 16, 1, 1), D3D_OK);  // u from 0 to 1: nothing dropped
    EXPECT_EQ(Pixel(2, 8), 0xFFFFFFFFu);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
    const TlVertex quad[4] = {
        {16, 0, 0, 1, 1, 0}, {16, 16, 0, 1, 1, 1}, {0, 0, 0, 1, -1, 0}, {0, 16, 0, 1, -1, 1}};
    device_->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_TEX1);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TlVertex)), D3D_OK);
    EXPECT_EQ(Pixel(2, 8), 0xFF000000u);
    EXPECT_EQ(Pixel(13, 8), 0xFFFFFFFFu);
}

TEST_F(D3d8ShaderTest, RefusesStreamsItDoesNotRun) {
    const DWORD end = D3DPS_END();
    const DWORD r0 = 0x800F0000u, c0 = 0xA0E40000u;
    struct Case {
        const char* name;
        std::vector<DWORD> tokens;
    };
    const Case cases[] = {
        {"no r0 written", {D3DPS_VERSION(1, 0), end}},
        {"version 2.0", {D3DPS_VERSION(2, 0), D3DSIO_MOV, r0, c0, end}},
        {"version 1.4", {D3DPS_VERSION(1, 4), D3DSIO_MOV, r0, c0, end}},
        {"a vertex shader", {D3DVS_VERSION(1, 1), D3DSIO_MOV, r0, c0, end}},
        {"an unknown opcode", {D3DPS_VERSION(1, 1), 200, r0, c0, end}},
        {"texbem",
         {D3DPS_VERSION(1, 1), D3DSIO_TEX, 0xB00F0000u, 67, 0xB00F0001u, 0xB0E40000u, D3DSIO_MOV,
          r0, c0, end}},
        {"a parameter without bit 31", {D3DPS_VERSION(1, 1), D3DSIO_MOV, 0x000F0000u, c0, end}},
        {"c8", {D3DPS_VERSION(1, 1), D3DSIO_MOV, r0, 0xA0E40008u, end}},
        {"writing a constant", {D3DPS_VERSION(1, 1), D3DSIO_MOV, 0xA00F0000u, c0, end}},
        {"a .rg write mask", {D3DPS_VERSION(1, 1), D3DSIO_MOV, 0x80030000u, c0, end}},
        {"a .g swizzle", {D3DPS_VERSION(1, 1), D3DSIO_MOV, r0, 0xA0550000u, end}},
        {"a x2 source", {D3DPS_VERSION(1, 1), D3DSIO_MOV, r0, 0xA7E40000u, end}},
        {"a first instruction co-issued",
         {D3DPS_VERSION(1, 1), D3DSIO_MOV | D3DSI_COISSUE, r0, c0, end}},
        {"stray opcode bits", {D3DPS_VERSION(1, 1), D3DSIO_MOV | 0x01000000u, r0, c0, end}},
    };
    for (const Case& c : cases) {
        DWORD handle = 77;
        EXPECT_EQ(device_->CreatePixelShader(c.tokens.data(), &handle), D3DERR_INVALIDCALL)
            << c.name;
    }
    DWORD handle = 0;
    EXPECT_EQ(device_->CreatePixelShader(nullptr, &handle), D3DERR_INVALIDCALL);
    // A comment is skipped whatever it holds.
    const std::vector<DWORD> commented = {D3DPS_VERSION(1, 1),
                                          (2u << 16) | D3DSIO_COMMENT,
                                          0xDEADBEEFu,
                                          0xFFFFu,
                                          D3DSIO_MOV,
                                          r0,
                                          c0,
                                          end};
    EXPECT_EQ(device_->CreatePixelShader(commented.data(), &handle), D3D_OK);
    EXPECT_EQ(SePixelShaderCount(device_), 1u);
}

TEST_F(D3d8ShaderTest, HandlesLiveUntilDeletedAndOutliveReset) {
    const DWORD a = Shader("ps.1.0\nmov r0,c0"), b = Shader("ps.1.1\nmov r0,v0");
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, a);
    EXPECT_EQ(SePixelShaderCount(device_), 2u);
    EXPECT_EQ(device_->SetPixelShader(b + 100), D3DERR_INVALIDCALL);
    ASSERT_EQ(device_->SetPixelShader(a), D3D_OK);
    DWORD current = 0;
    ASSERT_EQ(device_->GetPixelShader(&current), D3D_OK);
    EXPECT_EQ(current, a);
    // Deleting the current shader returns the device to the fixed-function pipeline.
    EXPECT_EQ(device_->DeletePixelShader(a), D3D_OK);
    EXPECT_EQ(device_->DeletePixelShader(a), D3DERR_INVALIDCALL);
    device_->GetPixelShader(&current);
    EXPECT_EQ(current, 0u);
    EXPECT_EQ(device_->SetPixelShader(a), D3DERR_INVALIDCALL);

    // Reset unsets the shader and clears the constants, but the shader stays.
    ASSERT_EQ(device_->SetPixelShader(b), D3D_OK);
    device_->EndScene();
    D3DPRESENT_PARAMETERS p = Windowed();
    ASSERT_EQ(device_->Reset(&p), D3D_OK);
    device_->GetPixelShader(&current);
    EXPECT_EQ(current, 0u);
    EXPECT_EQ(SePixelShaderCount(device_), 1u);
    EXPECT_EQ(device_->SetPixelShader(b), D3D_OK);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);

    // A device without pixel shaders refuses to make one and says so in its caps.
    ASSERT_TRUE(SeWithoutPixelShaders(device_, TRUE));
    DWORD handle = 0;
    const DWORD probe[] = {D3DPS_VERSION(1, 0), D3DSIO_MOV, 0x800F0000u, 0xA0E40000u, D3DPS_END()};
    EXPECT_EQ(device_->CreatePixelShader(probe, &handle), D3DERR_INVALIDCALL);
    D3DCAPS8 caps;
    device_->GetDeviceCaps(&caps);
    EXPECT_EQ(caps.PixelShaderVersion, 0u);
    ASSERT_TRUE(SeWithoutPixelShaders(device_, FALSE));
    EXPECT_EQ(device_->CreatePixelShader(probe, &handle), D3D_OK);
    device_->GetDeviceCaps(&caps);
    EXPECT_EQ(caps.PixelShaderVersion, D3DPS_VERSION(1, 1));
}

TEST_F(D3d8ShaderTest, RenderTargetTexturesLiveInTheDefaultPoolAndBlockReset) {
    const UINT before = SeDefaultPoolCount(device_);
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device_->CreateTexture(32, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8,
                                     D3DPOOL_DEFAULT, &texture),
              D3D_OK);
    EXPECT_EQ(SeDefaultPoolCount(device_), before + 1);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL)
        << "render targets do not lock";
    device_->EndScene();
    D3DPRESENT_PARAMETERS p = Windowed();
    EXPECT_EQ(device_->Reset(&p), D3DERR_INVALIDCALL) << "still held";
    EXPECT_EQ(texture->Release(), 0u);
    EXPECT_EQ(SeDefaultPoolCount(device_), before);
    EXPECT_EQ(device_->Reset(&p), D3D_OK);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
}

}  // namespace
