// The Direct3D 8 object and device: adapter queries, device creation with the program's
// fall-backs, resources and locking, the screenshot copy, and lost devices with Reset.
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "winapi/d3d8/d3d8_support.h"

using namespace d3d8test;

TEST(D3d8Adapter, ReportsOneAdapterWithThirtyTwoBitModes) {
    EXPECT_EQ(Direct3DCreate8(D3D_SDK_VERSION - 1), nullptr);
    IDirect3D8* d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    EXPECT_EQ(d3d->GetAdapterCount(), 1u);

    const UINT count = d3d->GetAdapterModeCount(D3DADAPTER_DEFAULT);
    ASSERT_GT(count, 0u);
    bool fits = false;
    D3DDISPLAYMODE previous{};
    for (UINT i = 0; i < count; ++i) {
        D3DDISPLAYMODE mode;
        ASSERT_EQ(d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, i, &mode), D3D_OK);
        EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
        EXPECT_TRUE(i == 0 || mode.Width > previous.Width ||
                    (mode.Width == previous.Width && mode.Height >= previous.Height));
        fits = fits || (mode.Width >= 640 && mode.Height >= 480);
        previous = mode;
    }
    EXPECT_TRUE(fits) << "a 640 x 480 back buffer fits one mode";
    D3DDISPLAYMODE mode;
    EXPECT_EQ(d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, count, &mode), D3DERR_INVALIDCALL);
    ASSERT_EQ(d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);

    D3DADAPTER_IDENTIFIER8 id;
    ASSERT_EQ(d3d->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, &id), D3D_OK);
    EXPECT_STREQ(id.Driver, "se-retimer-cpu");
    EXPECT_NE(std::strstr(id.Description, "CPU rasterizer"), nullptr);
    EXPECT_EQ(id.WHQLLevel, 0u);

    D3DCAPS8 caps;
    ASSERT_EQ(d3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_EQ(caps.MaxTextureWidth, 4096u);
    EXPECT_EQ(caps.MaxTextureHeight, 4096u);
    EXPECT_EQ(caps.MaxTextureAspectRatio, 4096u);
    EXPECT_EQ(caps.PixelShaderVersion, D3DPS_VERSION(1, 1));
    EXPECT_EQ(caps.TextureCaps & D3DPTEXTURECAPS_POW2, 0u);
    EXPECT_NE(caps.SrcBlendCaps & D3DPBLENDCAPS_SRCALPHA, 0u);
    EXPECT_EQ(d3d->Release(), 0u);
}

// The answers the device set-up and the effect check rely on.
TEST(D3d8Adapter, FormatChecks) {
    IDirect3D8* d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    struct Case {
        DWORD usage;
        D3DRESOURCETYPE type;
        D3DFORMAT format;
        HRESULT expected;
    };
    const Case cases[] = {
        {D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D16, D3D_OK},
        {D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D24S8, D3DERR_NOTAVAILABLE},
        {0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8, D3D_OK},
        {0, D3DRTYPE_TEXTURE, D3DFMT_A1R5G5B5, D3D_OK},
        {0, D3DRTYPE_TEXTURE, D3DFMT_A8L8, D3D_OK},
        {0, D3DRTYPE_TEXTURE, D3DFMT_P8, D3DERR_NOTAVAILABLE},
        {D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_X8R8G8B8, D3D_OK},
        {D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8, D3D_OK},
        {D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_R5G6B5, D3DERR_NOTAVAILABLE},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(d3d->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8,
                                         c.usage, c.type, c.format),
                  c.expected)
            << "format " << c.format << " usage " << c.usage;
    }
    EXPECT_EQ(d3d->CheckDepthStencilMatch(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8,
                                          D3DFMT_X8R8G8B8, D3DFMT_D16),
              D3D_OK);
    EXPECT_EQ(d3d->CheckDeviceType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8,
                                   D3DFMT_R5G6B5, TRUE),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d->Release(), 0u);
}

// The program tries hardware, then mixed, then software vertex processing on each device
// type: only software vertex processing on the HAL device is available.
TEST(D3d8Adapter, CreationFallsBackToSoftwareVertexProcessing) {
    IDirect3D8* d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    struct Case {
        D3DDEVTYPE type;
        DWORD flags;
        BOOL windowed;
        HRESULT expected;
    };
    const Case cases[] = {
        {D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING, TRUE, D3DERR_INVALIDCALL},
        {D3DDEVTYPE_HAL, D3DCREATE_MIXED_VERTEXPROCESSING, TRUE, D3DERR_INVALIDCALL},
        {D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING, TRUE, D3DERR_NOTAVAILABLE},
        {D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING, FALSE, D3DERR_INVALIDCALL},
        {D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING, TRUE, D3D_OK},
    };
    for (const Case& c : cases) {
        D3DPRESENT_PARAMETERS p = Windowed();
        p.Windowed = c.windowed;
        IDirect3DDevice8* device = nullptr;
        EXPECT_EQ(
            d3d->CreateDevice(D3DADAPTER_DEFAULT, c.type, HeadlessWindow(), c.flags, &p, &device),
            c.expected);
        EXPECT_EQ(device != nullptr, c.expected == D3D_OK);
        if (device != nullptr) {
            D3DCAPS8 caps;
            ASSERT_EQ(device->GetDeviceCaps(&caps), D3D_OK);
            EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_HAL);
            EXPECT_FALSE(SeHasPresenter(device)) << "no SDL window behind the handle";
            EXPECT_EQ(device->Release(), 0u);
        }
    }
    EXPECT_EQ(d3d->Release(), 0u);
}

class D3d8DeviceTest : public DeviceTest {};

// What is written through a lock is what a sprite draws, in each texture format the
// program uses; 16-bit formats keep the top bits of each channel.
TEST_F(D3d8DeviceTest, LockedPixelsAreDrawn) {
    struct Case {
        D3DFORMAT format;
        uint32_t stored;  // one pixel in the format
        DWORD drawn;      // what a plain textured draw shows over black
    };
    const Case cases[] = {
        {D3DFMT_A8R8G8B8, 0xFF123456u, 0xFF123456u}, {D3DFMT_X8R8G8B8, 0x00ABCDEFu, 0xFFABCDEFu},
        {D3DFMT_R5G6B5, 0xF81Fu, 0xFFFF00FFu},       {D3DFMT_A1R5G5B5, 0x83E0u, 0xFF00FF00u},
        {D3DFMT_A1R5G5B5, 0x03E0u, 0xFF000000u},  // alpha bit clear: blended away
        {D3DFMT_A4R4G4B4, 0xF0F0u, 0xFF00FF00u},     {D3DFMT_A8L8, 0xFF80u, 0xFF808080u},
    };
    Stage(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
    Blend(true, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "format " << c.format);
        IDirect3DTexture8* texture = nullptr;
        ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, c.format, D3DPOOL_MANAGED, &texture), D3D_OK);
        D3DSURFACE_DESC desc;
        ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
        EXPECT_EQ(desc.Format, c.format);
        EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
        D3DLOCKED_RECT locked;
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        const size_t bytes = c.format == D3DFMT_A8R8G8B8 || c.format == D3DFMT_X8R8G8B8 ? 4 : 2;
        EXPECT_EQ(size_t(locked.Pitch), 4 * bytes);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 4; ++x) {
                std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + x * bytes,
                            &c.stored, bytes);
            }
        }
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL) << "locked twice";
        ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
        device_->SetTexture(0, texture);
        ASSERT_EQ(DrawSprite(9.5f, 9.5f, 49.5f, 49.5f), D3D_OK);
        EXPECT_EQ(Pixel(30, 30), c.drawn);
        device_->SetTexture(0, nullptr);
        EXPECT_EQ(texture->Release(), 0u);
    }
}

// Which resources lock, as on Windows, and what a locked texture refuses.
TEST_F(D3d8DeviceTest, LockingRules) {
    IDirect3DTexture8* target = nullptr;
    ASSERT_EQ(device_->CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8,
                                     D3DPOOL_DEFAULT, &target),
              D3D_OK);
    IDirect3DTexture8* plain = nullptr;
    ASSERT_EQ(device_->CreateTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &plain),
              D3D_OK);
    IDirect3DTexture8* managed = nullptr;
    ASSERT_EQ(device_->CreateTexture(64, 32, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &managed),
              D3D_OK);
    EXPECT_EQ(managed->GetLevelCount(), 7u) << "a full chain down to 1 x 1";

    D3DLOCKED_RECT locked;
    EXPECT_EQ(target->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(plain->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    IDirect3DSurface8* backBuffer = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    EXPECT_EQ(backBuffer->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL)
        << "not created lockable";
    backBuffer->Release();

    const RECT inside = {8, 4, 16, 12}, outside = {60, 0, 65, 4};
    ASSERT_EQ(managed->LockRect(0, &locked, &inside, 0), D3D_OK);
    EXPECT_EQ(managed->LockRect(0, &locked, &inside, 0), D3DERR_INVALIDCALL);
    device_->SetTexture(0, managed);
    EXPECT_EQ(DrawSprite(0, 0, 10, 10), D3DERR_INVALIDCALL) << "drawing with a locked texture";
    ASSERT_EQ(managed->UnlockRect(0), D3D_OK);
    EXPECT_EQ(managed->UnlockRect(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(managed->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL);
    device_->SetTexture(0, nullptr);

    // Creation refuses what the device cannot make.
    IDirect3DTexture8* refused = nullptr;
    EXPECT_EQ(device_->CreateTexture(4097, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &refused),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                     D3DPOOL_MANAGED, &refused),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateTexture(8, 8, 5, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &refused),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(refused, nullptr);

    target->Release();
    plain->Release();
    managed->Release();
}

// The screenshot path: the render target copied into an image surface of the back
// buffer's format holds the drawn pixels; copies check formats and bounds.
TEST_F(D3d8DeviceTest, RenderTargetCopiesIntoAnImageSurface) {
    const D3DRECT left = {0, 0, 320, 480};
    ASSERT_EQ(device_->Clear(1, &left, D3DCLEAR_TARGET, 0xFF336699u, 1.0f, 0), D3D_OK);
    IDirect3DSurface8* target = nullptr;
    ASSERT_EQ(device_->GetRenderTarget(&target), D3D_OK);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(target->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 640u);
    EXPECT_EQ(desc.Height, 480u);
    IDirect3DSurface8* image = nullptr;
    ASSERT_EQ(device_->CreateImageSurface(desc.Width, desc.Height, desc.Format, &image), D3D_OK);
    ASSERT_EQ(device_->CopyRects(target, nullptr, 0, image, nullptr), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(image->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    auto at = [&](int x, int y) {
        DWORD v;
        std::memcpy(&v, static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4, 4);
        return v & 0xFFFFFFu;
    };
    EXPECT_EQ(at(10, 470), 0x336699u);
    EXPECT_EQ(at(630, 10), 0x000000u);
    EXPECT_EQ(device_->CopyRects(target, nullptr, 0, image, nullptr), D3DERR_INVALIDCALL)
        << "locked";
    ASSERT_EQ(image->UnlockRect(), D3D_OK);

    // Rectangles go to their points; a copy that would leave the destination is refused.
    const RECT part = {300, 0, 340, 10};
    const POINT to = {0, 100}, beyond = {620, 0};
    ASSERT_EQ(device_->CopyRects(target, &part, 1, image, &to), D3D_OK);
    ASSERT_EQ(image->LockRect(&locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(at(19, 105), 0x336699u);
    EXPECT_EQ(at(20, 105), 0x000000u);
    ASSERT_EQ(image->UnlockRect(), D3D_OK);
    EXPECT_EQ(device_->CopyRects(target, &part, 1, image, &beyond), D3DERR_INVALIDCALL);

    IDirect3DSurface8* other = nullptr;
    ASSERT_EQ(device_->CreateImageSurface(640, 480, D3DFMT_R5G6B5, &other), D3D_OK);
    EXPECT_EQ(device_->CopyRects(target, nullptr, 0, other, nullptr), D3DERR_INVALIDCALL)
        << "formats differ";
    other->Release();
    image->Release();
    target->Release();
}

// A frame whose drawing is the last frame's again (the same clears and draws with the same
// vertices, states and texture contents, from a clear of the whole back buffer) is not
// drawn again, and shows nothing new; otherwise the frame is drawn as it comes, and only
// its rows that changed are shown. Whatever reads or writes the pixels in between sees
// them as drawn so far.
TEST_F(D3d8DeviceTest, AFrameThatRepeatsTheLastIsNotDrawnAgain) {
    const std::vector<DWORD> red(16, 0xFFFF0000u), green(16, 0xFF00FF00u);
    IDirect3DTexture8* texture = MakeTexture(4, 4, red);
    device_->SetTexture(0, texture);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);  // the fixture's
    auto put = [&](const std::vector<DWORD>& texels) {
        D3DLOCKED_RECT locked;
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (int y = 0; y < 4; ++y)
            std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch,
                        &texels[size_t(y) * 4], 16);
        texture->UnlockRect(0);
    };
    // The program's kind of frame: a clear of everything, then sprites in rows 10 to 19.
    auto frame = [&](bool second) {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0);
        DrawSprite(10, 10, 20, 20);
        if (second) DrawSprite(30, 10, 40, 20);
    };
    auto shown = [&](int x, int y) {
        UINT w = 0;
        return SePresentedFrame(device_, &w, nullptr).at(size_t(y) * w + size_t(x));
    };
    struct Step {
        const char* what;
        std::function<void()> between;  // done before the frame
        bool drawn;
        UINT rows;
        DWORD left, right;  // the two sprites shown
    };
    const Step steps[] = {
        {"the first frame", [] {}, true, 10, 0xFFFF0000u, 0xFF000000u},
        {"the same again", [] {}, false, 0, 0xFFFF0000u, 0xFF000000u},
        {"and again", [] {}, false, 0, 0xFFFF0000u, 0xFF000000u},
        {"a texture changed", [&] { put(green); }, true, 10, 0xFF00FF00u, 0xFF000000u},
        {"the same again", [] {}, false, 0, 0xFF00FF00u, 0xFF000000u},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.between();
        frame(false);
        ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        EXPECT_EQ(SeFrameDrawn(device_), step.drawn ? TRUE : FALSE);
        EXPECT_EQ(SeRowsShown(device_), step.rows);
        EXPECT_EQ(shown(15, 15), step.left);
        EXPECT_EQ(shown(35, 15), step.right);
    }

    // A read of the back buffer in a frame that repeats the last one sees the drawing so
    // far; a texture rewritten after such a draw leaves that draw with the texels it had.
    frame(true);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    frame(false);
    EXPECT_EQ(Pixel(15, 15), 0xFF00FF00u);
    EXPECT_EQ(Pixel(35, 15), 0xFF000000u) << "the second sprite is not drawn yet";
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    frame(false);
    put(red);
    DrawSprite(30, 10, 40, 20);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_TRUE(SeFrameDrawn(device_));
    EXPECT_EQ(shown(15, 15), 0xFF00FF00u);
    EXPECT_EQ(shown(35, 15), 0xFFFF0000u);

    // The back buffer written by a copy between frames: the same frame is drawn again.
    frame(true);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    IDirect3DSurface8* back = nullptr;
    IDirect3DSurface8* white = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    ASSERT_EQ(device_->CreateImageSurface(640, 480, D3DFMT_X8R8G8B8, &white), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(white->LockRect(&locked, nullptr, 0), D3D_OK);
    std::memset(locked.pBits, 0xFF, size_t(locked.Pitch) * 480);
    white->UnlockRect();
    ASSERT_EQ(device_->CopyRects(white, nullptr, 0, back, nullptr), D3D_OK);
    frame(true);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_TRUE(SeFrameDrawn(device_));
    EXPECT_EQ(shown(15, 15), 0xFFFF0000u);
    EXPECT_EQ(shown(300, 300), 0xFF000000u);
    white->Release();
    back->Release();

    // A frame that does not begin with a clear builds on the last one: drawn every time.
    Stage(D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTOP_SELECTARG1, D3DTA_TFACTOR);
    device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF101010u);
    Blend(true, D3DBLEND_ONE, D3DBLEND_ONE);
    device_->SetTexture(0, nullptr);
    for (DWORD expected : {0xFF101010u, 0xFF202020u, 0xFF303030u}) {
        DrawRect(100, 100, 110, 110);
        ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        EXPECT_TRUE(SeFrameDrawn(device_));
        EXPECT_EQ(shown(105, 105), expected);
    }
    texture->Release();
}

// A frame that differs from the last in a few commands is drawn again only around them,
// and every pixel is still what drawing the whole frame gives. Random frames of the
// program's kind (a clear of everything, then blended, depth-tested rectangles, triangles,
// lines and points), each changing the last: commands moved, recoloured, replaced,
// inserted or dropped, or none. Each frame is also drawn whole into a render target of its
// own, where drawing is never put off, and the two are compared.
TEST_F(D3d8DeviceTest, AFrameThatDiffersGivesThePixelsOfTheWholeFrame) {
    std::mt19937 random(21);
    auto uniform = [&](float low, float high) {
        return std::uniform_real_distribution<float>(low, high)(random);
    };
    struct Shape {
        D3DPRIMITIVETYPE type;
        UINT count;
        std::vector<ColorVertex> v;
        bool blend, depth;
    };
    auto colour = [&] { return DWORD(random()) | 0x20000000u; };
    auto make = [&]() {
        const float x = uniform(-30, 650), y = uniform(-30, 490), w = uniform(1, 160),
                    h = uniform(1, 120), z = uniform(0, 1);
        const DWORD c = colour();
        const bool blend = random() % 2 == 0, depth = random() % 2 == 0;
        switch (random() % 4) {
            case 0:  // a rectangle, as the program draws panels
                return Shape{D3DPT_TRIANGLEFAN,
                             2,
                             {{x, y, z, 1, c},
                              {x + w, y, z, 1, c},
                              {x + w, y + h, z, 1, c},
                              {x, y + h, z, 1, colour()}},
                             blend,
                             depth};
            case 1:
                return Shape{D3DPT_TRIANGLELIST,
                             1,
                             {{x, y, z, 1, c},
                              {x + w, y + h / 2, z, 1, colour()},
                              {x + w / 3, y + h, uniform(0, 1), 1, c}},
                             blend,
                             depth};
            case 2:
                return Shape{
                    D3DPT_LINELIST, 1, {{x, y, z, 1, c}, {x + w, y + h, z, 1, c}}, blend, depth};
            default:
                return Shape{
                    D3DPT_POINTLIST, 2, {{x, y, z, 1, c}, {x + w, y, z, 1, c}}, blend, depth};
        }
    };
    IDirect3DSurface8 *back = nullptr, *depth = nullptr, *whole = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    ASSERT_EQ(device_->GetDepthStencilSurface(&depth), D3D_OK);
    ASSERT_EQ(
        device_->CreateRenderTarget(640, 480, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, TRUE, &whole),
        D3D_OK);
    Stage(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE);
    device_->SetTexture(0, nullptr);
    device_->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    device_->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    std::vector<Shape> shapes(12);
    for (Shape& shape : shapes) shape = make();
    auto draw = [&](IDirect3DSurface8* target) {
        device_->SetRenderTarget(target, depth);
        device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF203040u, 1.0f, 0);
        for (const Shape& shape : shapes) {
            device_->SetRenderState(D3DRS_ZENABLE, shape.depth);
            Blend(shape.blend, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
            device_->DrawPrimitiveUP(shape.type, shape.count, shape.v.data(), sizeof(ColorVertex));
        }
    };
    for (int frame = 0; frame < 80; ++frame) {
        for (int change = random() % 4; change > 0; --change) {
            const size_t at = random() % shapes.size();
            switch (random() % 5) {
                case 0: {
                    const float dx = uniform(-40, 40), dy = uniform(-40, 40);
                    for (ColorVertex& v : shapes[at].v) {
                        v.x += dx;
                        v.y += dy;
                    }
                    break;
                }
                case 1:
                    shapes[at].v.front().color ^= 0x00FFFFFFu;
                    break;
                case 2:
                    shapes[at] = make();
                    break;
                case 3:
                    shapes.insert(shapes.begin() + long(at), make());
                    break;
                default:
                    if (shapes.size() > 4) shapes.erase(shapes.begin() + long(at));
                    break;
            }
        }
        draw(whole);
        draw(back);
        ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        UINT w = 0, h = 0;
        const std::vector<DWORD> drawn = SeReadRenderTarget(device_, &w, &h);
        device_->SetRenderTarget(whole, depth);
        const std::vector<DWORD> expected = SeReadRenderTarget(device_, &w, &h);
        size_t differ = 0;
        for (size_t i = 0; i < drawn.size(); ++i) differ += (drawn[i] | 0xFF000000u) != expected[i];
        ASSERT_EQ(differ, 0u) << "pixels of frame " << frame;
    }
    device_->SetRenderTarget(back, depth);
    whole->Release();
    depth->Release();
    back->Release();
}

// A lost device: Present reports it, TestCooperativeLevel says lost until it can be reset,
// drawing goes on without effect, and Reset waits for the default pool to be released.
// Re-created textures then draw the same pixels as before.
TEST_F(D3d8DeviceTest, LostDeviceResetsAndTexturesComeBack) {
    const std::vector<DWORD> image = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
    auto drawOnce = [&]() {
        IDirect3DTexture8* texture = MakeTexture(2, 2, image);
        Stage(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
        device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device_->SetTexture(0, texture);
        EXPECT_EQ(DrawSprite(-0.5f, -0.5f, 1.5f, 1.5f), D3D_OK);
        device_->SetTexture(0, nullptr);
        texture->Release();
        return std::vector<DWORD>{Pixel(0, 0), Pixel(1, 0), Pixel(0, 1), Pixel(1, 1)};
    };
    const std::vector<DWORD> before = drawOnce();
    EXPECT_EQ(before, image);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    IDirect3DTexture8* target = nullptr;
    ASSERT_EQ(device_->CreateTexture(32, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8,
                                     D3DPOOL_DEFAULT, &target),
              D3D_OK);
    ASSERT_TRUE(SeForceDeviceLoss(device_, 2));
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
    D3DPRESENT_PARAMETERS p = Windowed();
    EXPECT_EQ(device_->Reset(&p), D3DERR_DEVICELOST) << "not resettable yet";
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);

    // Drawing while lost answers success and changes nothing.
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF445566u, 1.0f, 0), D3D_OK);
    EXPECT_EQ(Pixel(300, 300), 0xFF000000u);
    ASSERT_EQ(device_->EndScene(), D3D_OK);

    EXPECT_EQ(device_->Reset(&p), D3DERR_INVALIDCALL) << "a default-pool texture is still held";
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    target->Release();
    IDirect3DSurface8* backBuffer = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    EXPECT_EQ(device_->Reset(&p), D3DERR_INVALIDCALL) << "the back buffer is still held";
    backBuffer->Release();
    ASSERT_EQ(device_->Reset(&p), D3D_OK);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);

    // Every state is back at its default after Reset.
    DWORD value = 0;
    ASSERT_EQ(device_->GetRenderState(D3DRS_CULLMODE, &value), D3D_OK);
    EXPECT_EQ(value, DWORD(D3DCULL_CCW));
    ASSERT_EQ(device_->GetTextureStageState(0, D3DTSS_COLOROP, &value), D3D_OK);
    EXPECT_EQ(value, DWORD(D3DTOP_MODULATE));

    device_->SetRenderState(D3DRS_ZENABLE, FALSE);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(drawOnce(), before);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    UINT w = 0, h = 0;
    const std::vector<DWORD> shown = SePresentedFrame(device_, &w, &h);
    ASSERT_EQ(shown.size(), size_t(640 * 480));
    EXPECT_EQ(shown[1], image[1]);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
}

// Scene brackets, vertex formats and pixel shaders answer defined failures.
TEST_F(D3d8DeviceTest, RefusesWhatItDoesNotDraw) {
    EXPECT_EQ(device_->BeginScene(), D3DERR_INVALIDCALL) << "already in a scene";
    EXPECT_EQ(device_->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_NORMAL), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DOTPRODUCT3),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetRenderState(D3DRS_FOGENABLE, TRUE), D3DERR_INVALIDCALL);
    const DWORD token[2] = {D3DPS_VERSION(1, 0), 0x0000FFFFu};
    DWORD handle = 0;
    EXPECT_EQ(device_->CreatePixelShader(token, &handle), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetPixelShader(0), D3D_OK);
    const float constant[4] = {1, 1, 1, 1};
    EXPECT_EQ(device_->SetPixelShaderConstant(0, constant, 1), D3D_OK);
    EXPECT_EQ(device_->SetPixelShaderConstant(8, constant, 1), D3DERR_INVALIDCALL);
    const FlatVertex v[3] = {};
    device_->SetVertexShader(D3DFVF_XYZRHW);
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, 8), D3DERR_INVALIDCALL)
        << "stride too short";
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(FlatVertex)),
              D3DERR_INVALIDCALL)
        << "outside a scene";
    EXPECT_EQ(device_->EndScene(), D3DERR_INVALIDCALL);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
}
