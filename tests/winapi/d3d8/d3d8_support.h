// What the Direct3D 8 tests share: a headless 640 x 480 device (its window handle has
// no SDL window, so nothing is shown), vertex builders and pixel probes.
#pragma once

#include <d3d8.h>
#include <d3d8_seams.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace d3d8test {

// A window handle with no window behind it: the device draws but has no presenter.
inline HWND HeadlessWindow() { return reinterpret_cast<HWND>(uintptr_t(0x5e)); }

inline D3DPRESENT_PARAMETERS Windowed(UINT width = 640, UINT height = 480) {
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = width;
    p.BackBufferHeight = height;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.Windowed = TRUE;
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    return p;
}

struct TlVertex {  // D3DFVF_XYZRHW | D3DFVF_TEX1
    float x, y, z, rhw, u, v;
};
struct FlatVertex {  // D3DFVF_XYZRHW
    float x, y, z, rhw;
};
struct ColorVertex {  // D3DFVF_XYZRHW | D3DFVF_DIFFUSE
    float x, y, z, rhw;
    DWORD color;
};

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        d3d_ = Direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(d3d_, nullptr);
        D3DPRESENT_PARAMETERS p = Windowed();
        ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, HeadlessWindow(),
                                     D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device_),
                  D3D_OK);
        // No depth test unless a test asks for it; the program draws that way too.
        device_->SetRenderState(D3DRS_ZENABLE, FALSE);
        device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        ASSERT_EQ(
            device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0),
            D3D_OK);
        ASSERT_EQ(device_->BeginScene(), D3D_OK);
    }
    void TearDown() override {
        if (device_ != nullptr) {
            device_->EndScene();
            EXPECT_EQ(device_->Release(), 0u);
        }
        if (d3d_ != nullptr) {
            EXPECT_EQ(d3d_->Release(), 0u);
        }
    }

    DWORD Pixel(int x, int y) {
        UINT w = 0, h = 0;
        const std::vector<DWORD> pixels = SeReadRenderTarget(device_, &w, &h);
        return pixels.at(size_t(y) * w + size_t(x));
    }

    // A managed texture filled from 0xAARRGGBB values, rows top first.
    IDirect3DTexture8* MakeTexture(UINT w, UINT h, const std::vector<DWORD>& argb,
                                   D3DFORMAT format = D3DFMT_A8R8G8B8) {
        IDirect3DTexture8* texture = nullptr;
        EXPECT_EQ(device_->CreateTexture(w, h, 1, 0, format, D3DPOOL_MANAGED, &texture), D3D_OK);
        D3DLOCKED_RECT locked;
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < h; ++y) {
            std::memcpy(static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch,
                        &argb[y * w], w * 4);
        }
        EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
        return texture;
    }

    // A screen-aligned textured quad from (left, top) to (right, bottom) as a strip,
    // in the order sprites use: right-top, right-bottom, left-top, left-bottom.
    HRESULT DrawSprite(float left, float top, float right, float bottom, float umax = 1,
                       float vmax = 1) {
        const TlVertex quad[4] = {{right, top, 0, 1, umax, 0},
                                  {right, bottom, 0, 1, umax, vmax},
                                  {left, top, 0, 1, 0, 0},
                                  {left, bottom, 0, 1, 0, vmax}};
        device_->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_TEX1);
        return device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TlVertex));
    }

    // A flat rectangle as a fan of two triangles.
    HRESULT DrawRect(float left, float top, float right, float bottom) {
        const FlatVertex fan[4] = {
            {left, top, 0, 1}, {right, top, 0, 1}, {right, bottom, 0, 1}, {left, bottom, 0, 1}};
        device_->SetVertexShader(D3DFVF_XYZRHW);
        return device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, fan, sizeof(FlatVertex));
    }

    void Stage(DWORD colorOp, DWORD colorArg1, DWORD alphaOp, DWORD alphaArg1,
               DWORD colorArg2 = D3DTA_CURRENT, DWORD alphaArg2 = D3DTA_CURRENT) {
        device_->SetTextureStageState(0, D3DTSS_COLOROP, colorOp);
        device_->SetTextureStageState(0, D3DTSS_COLORARG1, colorArg1);
        device_->SetTextureStageState(0, D3DTSS_COLORARG2, colorArg2);
        device_->SetTextureStageState(0, D3DTSS_ALPHAOP, alphaOp);
        device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, alphaArg1);
        device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, alphaArg2);
    }

    void Blend(bool on, DWORD src = D3DBLEND_ONE, DWORD dest = D3DBLEND_ZERO) {
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, on ? TRUE : FALSE);
        device_->SetRenderState(D3DRS_SRCBLEND, src);
        device_->SetRenderState(D3DRS_DESTBLEND, dest);
    }

    IDirect3D8* d3d_ = nullptr;
    IDirect3DDevice8* device_ = nullptr;
};

}  // namespace d3d8test
