// The Direct3D 8 device in a real SDL window (SDL's dummy video driver): frames are
// handed to the window's renderer, and a renderer reset from SDL makes the device lost
// until Reset. A window of scale 2 shows each pixel as a 2 x 2 block.
#include <SDL.h>

#include <cstdlib>
#include <vector>

#include "backend/sdl/sdl_bridge.h"
#include "winapi/d3d8/d3d8_support.h"

using namespace d3d8test;

class D3d8PresenterTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        ASSERT_TRUE(winapi::backend::StartSdlSubsystem(SDL_INIT_VIDEO));
        window_ = SDL_CreateWindow("d3d8 test", 0, 0, 320, 240, SDL_WINDOW_HIDDEN);
        ASSERT_NE(window_, nullptr) << SDL_GetError();
        winapi::backend::RegisterSdlWindow(handle_, window_);
        d3d_ = Direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(d3d_, nullptr);
    }
    void TearDown() override {
        if (device_ != nullptr) {
            EXPECT_EQ(device_->Release(), 0u);
        }
        if (d3d_ != nullptr) d3d_->Release();
        winapi::backend::UnregisterSdlWindow(handle_);
        if (window_ != nullptr) SDL_DestroyWindow(window_);
    }

    HWND handle_ = reinterpret_cast<HWND>(uintptr_t(0xd3d8));
    SDL_Window* window_ = nullptr;
    IDirect3D8* d3d_ = nullptr;
    IDirect3DDevice8* device_ = nullptr;
};

// A zero back-buffer size takes the window's client size; the frame reaches the window.
TEST_F(D3d8PresenterTest, PresentsIntoTheWindowAndRecoversFromARendererReset) {
    D3DPRESENT_PARAMETERS p = Windowed(0, 0);
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, handle_,
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device_),
              D3D_OK);
    EXPECT_EQ(p.BackBufferWidth, 320u);
    EXPECT_EQ(p.BackBufferHeight, 240u);
    EXPECT_TRUE(SeHasPresenter(device_));
    EXPECT_NE(SDL_GetRenderer(window_), nullptr);

    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0080FFu, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    UINT w = 0, h = 0;
    const std::vector<DWORD> shown = SePresentedFrame(device_, &w, &h);
    ASSERT_EQ(shown.size(), size_t(320 * 240));
    EXPECT_EQ(shown[160 * 320 + 100], 0xFF0080FFu);
    EXPECT_EQ(device_->Present(nullptr, nullptr, reinterpret_cast<HWND>(uintptr_t(1)), nullptr),
              D3DERR_INVALIDCALL)
        << "another window";

    SDL_Event reset{};
    reset.type = SDL_RENDER_DEVICE_RESET;
    winapi::backend::CallEventHandlers(reset);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    D3DPRESENT_PARAMETERS again = Windowed(640, 480);
    ASSERT_EQ(device_->Reset(&again), D3D_OK);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    SePresentedFrame(device_, &w, &h);
    EXPECT_EQ(w, 640u) << "the new back buffer, stretched over the window";
}

// A window of scale 2 (a high-density screen): the device sees half the SDL window's
// size, and each pixel of a frame reaches the window as a sharp 2 x 2 block.
TEST_F(D3d8PresenterTest, AScaledWindowShowsEachPixelAsABlock) {
    winapi::backend::SetSdlWindowScale(window_, 2);
    D3DPRESENT_PARAMETERS p = Windowed(0, 0);
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, handle_,
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device_),
              D3D_OK);
    EXPECT_EQ(p.BackBufferWidth, 160u);
    EXPECT_EQ(p.BackBufferHeight, 120u);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0), D3D_OK);
    const D3DRECT dot{10, 20, 11, 21};
    ASSERT_EQ(device_->Clear(1, &dot, D3DCLEAR_TARGET, 0xFFFF0000u, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    std::vector<Uint32> shown(320 * 240);
    ASSERT_EQ(SDL_RenderReadPixels(SDL_GetRenderer(window_), nullptr, SDL_PIXELFORMAT_RGB888,
                                   shown.data(), 320 * 4),
              0)
        << SDL_GetError();
    const auto at = [&](int x, int y) { return shown[size_t(y) * 320 + x] & 0xFFFFFFu; };
    for (int y = 38; y < 44; ++y) {
        for (int x = 18; x < 24; ++x) {
            const bool dotted = x >= 20 && x < 22 && y >= 40 && y < 42;
            EXPECT_EQ(at(x, y), dotted ? 0xFF0000u : 0x0000FFu) << x << "," << y;
        }
    }
    EXPECT_EQ(at(319, 239), 0x0000FFu) << "the frame covers the whole window";
}
