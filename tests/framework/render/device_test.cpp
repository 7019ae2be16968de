// The device as the program drives it, headless (a window handle without an SDL window,
// so nothing is shown): creation and its records, the drawing presets and blend codes on
// large quads, sprites drawn 1:1, colour entries, the brightness overlay, a device lost
// and reset, screenshots and the logs.
#include <d3d8_seams.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/gui/sprites.h"
#include "framework/error/error.h"
#include "framework/package/package.h"
#include "framework/platform/home.h"
#include "framework/render/bitmap.h"
#include "framework/render/bmp_bytes.h"
#include "framework/render/device_logs.h"
#include "framework/render/direct3d.h"
#include "framework/render/presets.h"
#include "framework/render/texture.h"
#include "support/headless_device.h"
#include "support/test_support.h"
#include "tools/packer/pack.h"

namespace {

using namespace NVireo::NDirectX::N3D;

// Any handle that names no SDL window: the device draws without a presenter.

std::string Message() { return NVireo::NError::Record().message; }

// The difference of two colours, the largest over red, green and blue.
using headless::ColorDistance;

class RenderDevice : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(headless::StartDevice()) << Message(); }
    void TearDown() override { StopRenderer(); }

    // The render target as 0xAARRGGBB, top row first.
    std::vector<DWORD> Target() {
        UINT w = 0, h = 0;
        std::vector<DWORD> pixels = SeReadRenderTarget(Device().Get(), &w, &h);
        EXPECT_EQ(w, kBackBufferWidth);
        EXPECT_EQ(h, kBackBufferHeight);
        return pixels;
    }
    static DWORD At(const std::vector<DWORD>& pixels, uint32_t x, uint32_t y) {
        return pixels.at(size_t{y} * kBackBufferWidth + x) & 0xFFFFFFu;
    }

    // The whole target in one colour, no blending; the depth buffer cleared.
    static void Fill(D3DCOLOR color) {
        Device().ClearAll();
        PresetFlat(color, 'n');
        DrawFlatRect(0, 0, kBackBufferWidth, kBackBufferHeight);
    }

    RaisePolicy policy_;
};

TEST_F(RenderDevice, IsCreatedWindowedWithTheDesktopFormatAndA16BitDepthBuffer) {
    const D3DPRESENT_PARAMETERS& p = PresentParameters();
    EXPECT_EQ(p.BackBufferWidth, 640u);
    EXPECT_EQ(p.BackBufferHeight, 480u);
    EXPECT_EQ(p.BackBufferFormat, DisplayFormat());
    EXPECT_EQ(FormatBits(p.BackBufferFormat), 32u);
    EXPECT_EQ(p.BackBufferCount, 1u);
    EXPECT_EQ(p.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_EQ(p.Windowed, TRUE);
    EXPECT_EQ(p.EnableAutoDepthStencil, TRUE);
    EXPECT_EQ(p.AutoDepthStencilFormat, D3DFMT_D16);
    EXPECT_EQ(Device().depthFormat, D3DFMT_D16);
    // This adapter takes only software vertex processing: the fall-backs reach it.
    EXPECT_EQ(Device().type, uint32_t{kHardware});
    EXPECT_EQ(Device().behavior, DWORD{D3DCREATE_SOFTWARE_VERTEXPROCESSING});
    EXPECT_EQ(DeviceCaps().DeviceType, D3DDEVTYPE_HAL);
    EXPECT_GE(DeviceCaps().MaxTextureWidth, 640u);
    EXPECT_EQ(RendererState().cameraMatrices.size() * sizeof(D3DMATRIX), 320u);
}

TEST_F(RenderDevice, FormatBitsFollowTheTable) {
    const uint32_t cases[][2] = {{20, 24},  {21, 32}, {22, 32}, {102, 32}, {23, 16}, {80, 16},
                                 {101, 16}, {27, 8},  {52, 8},  {26, 0},   {0, 0},   {100, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(FormatBits(static_cast<D3DFORMAT>(c[0])), c[1]) << c[0];
    }
}

TEST_F(RenderDevice, FlatPresetsAndBlendCodesOnABigQuad) {
    const D3DCOLOR background = 0xFF204080u;
    struct Case {
        const char* what;
        std::function<void()> preset;
        uint32_t expected;  // 0xRRGGBB at the centre
    };
    const Case cases[] = {
        {"no blending ignores alpha", [] { PresetFlat(0x10C0A060u, 'n'); }, 0xC0A060},
        {"any other letter blends nothing", [] { PresetFlat(0x10C0A060u, 'x'); }, 0xC0A060},
        {"a adds", [] { PresetFlat(0x00102030u, 'a'); }, 0x3060B0},
        {"a saturates", [] { PresetFlat(0x00F0F0F0u, 'a'); }, 0xFFFFFF},
        // The flat preset leaves the alpha stage alone: the alpha preset sets it first.
        {"b mixes by source alpha",
         [] {
             PresetFlatAlpha(0x80FFFFFFu);
             PresetFlat(0x80FFFFFFu, 'b');
         },
         0x8FA0C0},
        {"m multiplies", [] { PresetFlat(0xFF808080u, 'm'); }, 0x102040},
        {"s darkens by source alpha",
         [] {
             PresetFlatAlpha(0x80FFFFFFu);
             PresetFlat(0x80FFFFFFu, 's');
         },
         0x102040},
        {"flat additive", [] { PresetFlatAdditive(0x00010203u); }, 0x214283},
        {"flat alpha", [] { PresetFlatAlpha(0x00FFFFFFu); }, 0x204080},
        {"flat alpha opaque", [] { PresetFlatAlpha(0xFF000000u); }, 0x000000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Device().BeginScene());
        ApplyDefaultStates();
        Fill(background);
        c.preset();
        DrawFlatRect(100, 100, 540, 380);
        ASSERT_TRUE(Device().EndScene());
        const std::vector<DWORD> target = Target();
        EXPECT_LE(ColorDistance(At(target, 320, 240), c.expected), 1)
            << std::hex << At(target, 320, 240) << " " << c.expected;
        EXPECT_EQ(At(target, 20, 20), background & 0xFFFFFFu);  // outside the quad
    }
}

// A folder with pictures, packed, and opened as the program package.
class RenderImages : public RenderDevice {
protected:
    void SetUp() override {
        RenderDevice::SetUp();
        std::filesystem::create_directories(folder_ / "src/pic");
    }

    // A 24-bit BMP below src/ (for the package) and as a loose file.
    void PutBmp(const std::string& name, const BmpLayout& layout) {
        folder_.WriteHostFile("src/" + name, BmpBytes(layout));
        folder_.WriteHostFile(std::filesystem::path(name).filename().string(), BmpBytes(layout));
    }
    void PutColorEntry(const std::string& name, uint32_t width, uint32_t height,
                       const std::function<uint32_t(uint32_t, uint32_t)>& argb) {
        std::string bytes;
        PutLe(bytes, width, 4);
        PutLe(bytes, height, 4);
        for (uint32_t stored = 0; stored < height; ++stored) {
            for (uint32_t x = 0; x < width; ++x) PutLe(bytes, argb(x, height - 1 - stored), 4);
        }
        folder_.WriteHostFile("src/" + name, bytes);
    }
    void Pack() {
        std::string reason;
        ASSERT_TRUE(PackFolder(folder_ / "package", folder_ / "src", 3, reason)) << reason;
        NVireo::NRender::ProgramPackage().OpenFrom(folder_.ProgramPath("package").c_str());
    }
    static CImageDescriptor Descriptor(const std::string& name, const std::string& mask,
                                       int32_t kind, int32_t source) {
        CImageDescriptor d;
        d.name = NVireo::NString::BBasic<char>(name.c_str());
        d.mask = NVireo::NString::BBasic<char>(mask.c_str());
        d.kind = kind;
        d.sourceType = source;
        return d;
    }

    TempFolder folder_;
};

uint32_t Pattern(uint32_t x, uint32_t y) {
    return (x * 37 + 11) << 16 | (y * 53 + 7) << 8 | ((x + y) * 19 & 0xFF);
}

TEST_F(RenderImages, SpritesDrawnOneToOneReproduceTheirImage) {
    BmpLayout layout;
    layout.width = 7;  // padded rows, and a texture side that is not a power of two
    layout.height = 5;
    layout.color = Pattern;
    PutBmp("pic/pattern.bmp", layout);
    Pack();

    Sprite::CBasic fromPackage;
    ASSERT_TRUE(fromPackage.Load(Descriptor("pic/pattern.bmp", "", 0, kSourceSystem))) << Message();
    Sprite::CBasic looseFile;
    ASSERT_TRUE(looseFile.Load(Descriptor(folder_.ProgramPath("pattern.bmp"), "", 0, kSourceBmp)))
        << Message();
    EXPECT_EQ(fromPackage.imageWidth, 7u);
    EXPECT_EQ(fromPackage.imageHeight, 5u);

    ASSERT_TRUE(Device().BeginScene());
    ApplyDefaultStates();
    Fill(0xFF000000u);
    PresetTextured();
    fromPackage.Draw(10, 20);
    looseFile.DrawCentered(300.5f, 202.5f);  // top-left corner (297, 200)
    ASSERT_TRUE(Device().EndScene());
    const std::vector<DWORD> target = Target();
    for (uint32_t y = 0; y < 5; ++y) {
        for (uint32_t x = 0; x < 7; ++x) {
            ASSERT_EQ(At(target, 10 + x, 20 + y), Pattern(x, y)) << x << "," << y;
            ASSERT_EQ(At(target, 297 + x, 200 + y), Pattern(x, y)) << x << "," << y;
        }
    }
    // Nothing beyond the image's right and bottom edges.
    EXPECT_EQ(At(target, 17, 20), 0u);
    EXPECT_EQ(At(target, 10, 25), 0u);
}

TEST_F(RenderImages, TexturedAndTintedPresetsUseTheMaskAndTheFactor) {
    BmpLayout colour;
    colour.width = 64;
    colour.height = 64;
    colour.color = [](uint32_t, uint32_t) { return 0xFF8000u; };
    PutBmp("pic/orange.bmp", colour);
    BmpLayout half = colour;
    half.color = [](uint32_t, uint32_t) { return 0x808080u; };  // alpha 128
    PutBmp("pic/half.bmp", half);
    Pack();
    Sprite::CBasic sprite;
    ASSERT_TRUE(sprite.Load(Descriptor("pic/orange.bmp", "pic/half.bmp", 2, kSourceSystem)))
        << Message();

    const D3DCOLOR background = 0xFF0000FFu;
    struct Case {
        const char* what;
        std::function<void()> preset;
        uint32_t expected;
    };
    const Case cases[] = {
        {"textured", [] { PresetTextured(); }, 0x80407F},
        {"tinted: the factor's colour, the texture's alpha",
         [] {
             SetTextureFactor(0x0000FF00u);
             PresetTinted();
         },
         0x00807F},
        {"tinted modulated: alpha 128 x 128",
         [] {
             SetTextureFactor(0x8000FF00u);
             PresetTintedModulated();
         },
         0x0040BF},
        {"additive tint: texture x factor, added",
         [] {
             SetTextureFactor(0xFF808080u);
             PresetAdditiveTint();
         },
         0x8040FF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Device().BeginScene());
        ApplyDefaultStates();
        Fill(background);
        c.preset();
        sprite.Draw(100, 100, 4.0f, 4.0f);  // 256 x 256
        ASSERT_TRUE(Device().EndScene());
        const std::vector<DWORD> target = Target();
        EXPECT_LE(ColorDistance(At(target, 228, 228), c.expected), 2)
            << std::hex << At(target, 228, 228) << " " << c.expected;
    }
}

TEST_F(RenderImages, CutOutChipsAreTransparentOnlyWhereTheMaskIsPureBlack) {
    BmpLayout colour;
    colour.width = 3;
    colour.height = 1;
    colour.color = [](uint32_t, uint32_t) { return 0x00FF00u; };
    BmpLayout mask = colour;
    const uint32_t maskPixels[3] = {0x000000, 0x000001, 0xFFFFFF};  // blue 1 is not black
    mask.color = [&](uint32_t x, uint32_t) { return maskPixels[x]; };
    folder_.WriteHostFile("green.bmp", BmpBytes(colour));
    folder_.WriteHostFile("shape.bmp", BmpBytes(mask));
    Sprite::CChip chip;
    ASSERT_TRUE(chip.Load(Descriptor(folder_.ProgramPath("green.bmp"),
                                     folder_.ProgramPath("shape.bmp"), 1, kSourceBmp)))
        << Message();
    EXPECT_FALSE(chip.IsOpaqueAt(0, 0));
    EXPECT_TRUE(chip.IsOpaqueAt(1, 0));
    EXPECT_TRUE(chip.IsOpaqueAt(2, 0));
    EXPECT_FALSE(chip.IsOpaqueAt(3, 0));
    EXPECT_FALSE(chip.IsOpaqueAt(-1, 0));

    ASSERT_TRUE(Device().BeginScene());
    ApplyDefaultStates();
    Fill(0xFFFF0000u);
    PresetTextured();
    chip.Draw(50, 50);
    ASSERT_TRUE(Device().EndScene());
    const std::vector<DWORD> target = Target();
    EXPECT_EQ(At(target, 50, 50), 0xFF0000u);
    EXPECT_EQ(At(target, 51, 50), 0x00FF00u);
    EXPECT_EQ(At(target, 52, 50), 0x00FF00u);
}

TEST_F(RenderImages, ColorEntriesGetPowerOfTwoTextures) {
    PutColorEntry("pic/bar.col", 100, 30,
                  [](uint32_t x, uint32_t y) { return 0xFF000000u | x << 8 | y; });
    Pack();
    struct Case {
        uint32_t aspect;
        uint32_t width, height;
    };
    // A device whose largest aspect ratio is below either side gets a square texture.
    const Case cases[] = {{4096, 128, 32}, {128, 128, 32}, {127, 128, 128}, {8, 128, 128}};
    const DWORD aspect = DeviceCaps().MaxTextureAspectRatio;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.aspect);
        DeviceCaps().MaxTextureAspectRatio = c.aspect;
        Sprite::CBasic bar;
        ASSERT_TRUE(bar.Load(Descriptor("pic/bar.col", "", 0, kSourceColor))) << Message();
        EXPECT_EQ(bar.imageWidth, 100u);
        EXPECT_EQ(bar.imageHeight, 30u);
        EXPECT_EQ(bar.textureWidth, c.width);
        EXPECT_EQ(bar.textureHeight, c.height);

        ASSERT_TRUE(Device().BeginScene());
        ApplyDefaultStates();
        Fill(0xFF000000u);
        PresetTextured();
        bar.Draw(0, 0);
        ASSERT_TRUE(Device().EndScene());
        const std::vector<DWORD> target = Target();
        EXPECT_EQ(At(target, 0, 0), 0x000000u);
        EXPECT_EQ(At(target, 99, 29), 0x00631Du);
        EXPECT_EQ(At(target, 42, 7), 0x002A07u);
        EXPECT_EQ(At(target, 100, 0), 0u);
    }
    DeviceCaps().MaxTextureAspectRatio = aspect;
}

TEST_F(RenderImages, ImageProblemsAreReportedWithTheirMessages) {
    BmpLayout colour;
    colour.width = 4;
    colour.height = 4;
    PutBmp("pic/four.bmp", colour);
    BmpLayout small = colour;
    small.width = 2;
    PutBmp("pic/small.bmp", small);
    Pack();
    struct Case {
        const char* what;
        CImageDescriptor descriptor;
        std::string message;
    };
    const std::string missing = folder_.ProgramPath("missing.bmp");
    const Case cases[] = {
        {"missing loose file", Descriptor(missing, "", 0, kSourceBmp), missing},
        {"mask smaller than the image",
         Descriptor("pic/four.bmp", "pic/small.bmp", 1, kSourceSystem), "2,4:4,4\n"},
        {"entry of the never-opened package", Descriptor("pic/four.bmp", "", 0, kSourceScenario),
         "pic/four.bmp\npic/four.bmp\nnon initialized"},
        {"unknown source type", Descriptor("pic/four.bmp", "", 0, 7), "source=7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NVireo::NError::Clear();
        Sprite::CBasic sprite;
        EXPECT_THROW(sprite.Load(c.descriptor), NVireo::NError::CObject);
        EXPECT_EQ(Message().substr(0, c.message.size()), c.message);
    }
    NVireo::NError::Clear();
    // The sources without pixels load nothing and succeed.
    for (int32_t source : {kSourceEmpty, kSourcePng, kSourceJpeg}) {
        Sprite::CBasic sprite;
        EXPECT_TRUE(sprite.Load(Descriptor("pic/four.bmp", "", 0, source)));
        EXPECT_TRUE(sprite.IsNull());
    }
}

TEST(RenderImageDescriptor, TextNamesEveryFieldOnItsOwnLine) {
    RaisePolicy policy;
    CImageDescriptor d;
    d.name = NVireo::NString::BBasic<char>("pd/title.bmp");
    d.mask = NVireo::NString::BBasic<char>("pd/title_m.bmp");
    d.kind = 2;
    const char* const texts[] = {"EMPTY", "SYSTEM", "SCENARIO", "BMP", "COLOR", "PNG", "JPEG"};
    for (int32_t source = 0; source < 7; ++source) {
        d.sourceType = source;
        EXPECT_EQ(std::string(d.Text().c_str()),
                  std::string("pd/title.bmp\npd/title_m.bmp\n\n2\n") + texts[source] + "\n");
    }
    d.sourceType = -1;
    EXPECT_THROW(d.Text(), NVireo::NError::CObject);
}

TEST_F(RenderImages, BrightnessDrawsABlackOrWhiteOverlayAtHalfAlpha) {
    struct Case {
        float brightness;
        D3DCOLOR scene;
        uint32_t expected;
    };
    // Alpha trunc(0.5 x 255) = 127 over the scene.
    const Case cases[] = {
        {-0.5f, 0xFFFFFFFFu, 0x808080},
        {0.5f, 0xFF000000u, 0x7F7F7F},
        {0.0f, 0xFF336699u, 0x336699},
        {-0.25f, 0xFFFFFFFFu, 0xC0C0C0},  // alpha 63
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.brightness);
        RendererState().brightness = c.brightness;
        CFrameSteps steps;
        steps.drawScene = [&] { Fill(c.scene); };
        RenderFrame(steps);
        UINT w = 0, h = 0;
        const std::vector<DWORD> frame = SePresentedFrame(Device().Get(), &w, &h);
        ASSERT_EQ(frame.size(), size_t{640} * 480);
        EXPECT_LE(ColorDistance(At(frame, 320, 240), c.expected), 1)
            << std::hex << At(frame, 320, 240);
        EXPECT_LE(ColorDistance(At(frame, 0, 0), c.expected), 1);
        EXPECT_LE(ColorDistance(At(frame, 639, 479), c.expected), 1);
    }
    EXPECT_EQ(BrightnessColor(-0.5f), 0x7F000000u);
    EXPECT_EQ(BrightnessColor(0.5f), 0x7FFFFFFFu);
    EXPECT_EQ(BrightnessColor(0.0f), 0u);
    RendererState().brightness = 0.0f;
}

TEST_F(RenderImages, TheFrameSequenceRunsItsStepsOnceAndIgnoresReentry) {
    std::vector<std::string> order;
    CFrameSteps steps;
    steps.drawEffect = [&] { order.push_back("effect"); };
    steps.drawScene = [&] {
        order.push_back("scene");
        RenderFrame(steps);  // as a message handler during the frame would
    };
    steps.drawFpsLine = [&] { order.push_back("fps"); };
    RenderFrame(steps);
    EXPECT_EQ(order, (std::vector<std::string>{"scene"}));
    steps.graphicEffect = true;
    steps.showFps = true;
    order.clear();
    RenderFrame(steps);
    EXPECT_EQ(order, (std::vector<std::string>{"effect", "scene", "fps"}));
    EXPECT_FALSE(RendererState().presenting);
}

TEST_F(RenderImages, ALostDeviceIsResetAndItsTexturesComeBack) {
    BmpLayout layout;
    layout.width = 16;
    layout.height = 8;
    layout.color = Pattern;
    PutBmp("pic/pattern.bmp", layout);
    Pack();
    Sprite::CBasic sprite;
    ASSERT_TRUE(sprite.Load(Descriptor("pic/pattern.bmp", "", 0, kSourceSystem))) << Message();
    NTexture::NOffScreen::CReCreateOnly target;
    ASSERT_TRUE(target.Create(64, 32, 0));
    NTexture::NOffScreen::CReCreateOnly neverMade;

    CFrameSteps steps;
    steps.drawScene = [&] {
        Fill(0xFF000000u);
        PresetTextured();
        sprite.Draw(200, 100, 2.0f, 3.0f);
    };
    RenderFrame(steps);
    UINT w = 0, h = 0;
    const std::vector<DWORD> before = SePresentedFrame(Device().Get(), &w, &h);
    EXPECT_EQ(At(before, 200, 100), Pattern(0, 0));

    ASSERT_TRUE(SeForceDeviceLoss(Device().Get(), 1));
    RenderFrame(steps);
    EXPECT_EQ(RendererState().lostCount, 1u);
    EXPECT_FALSE(Device().TestCooperativeLevel());              // lost, not yet resettable
    EXPECT_TRUE(Device().TestCooperativeLevel()) << Message();  // reset and restored
    EXPECT_EQ(RendererState().lostCount, 0u);
    EXPECT_FALSE(sprite.IsNull());
    EXPECT_FALSE(target.IsNull());
    EXPECT_EQ(target.width, 64u);
    EXPECT_TRUE(neverMade.IsNull());

    RenderFrame(steps);
    const std::vector<DWORD> after = SePresentedFrame(Device().Get(), &w, &h);
    EXPECT_TRUE(before == after);
}

TEST_F(RenderImages, ATextureThatCannotRebuildItselfMakesTheResetFatal) {
    NTexture::CBasic plain;
    ASSERT_TRUE(plain.Create(8, 8, 0));
    ASSERT_TRUE(SeForceDeviceLoss(Device().Get(), 0));
    EXPECT_THROW(Device().TestCooperativeLevel(), NVireo::NError::CObject);
}

TEST_F(RenderImages, ResetsThatKeepFailingBecomeFatalAfterTheHundredth) {
    ASSERT_TRUE(SeForceDeviceLoss(Device().Get(), 0));
    // A reference to the render target that nobody gives back: every reset is refused.
    NVireo::CCOM::CObject<IDirect3DSurface8> held(Device().GetRenderTarget());
    RendererState().lostCount = 99;
    EXPECT_FALSE(Device().TestCooperativeLevel());
    EXPECT_EQ(RendererState().lostCount, 100u);
    EXPECT_THROW(Device().TestCooperativeLevel(), NVireo::NError::CObject);
    EXPECT_EQ(Message(), "lost=101");
    NVireo::NError::Clear();
    held.Release();
    EXPECT_TRUE(Device().TestCooperativeLevel()) << Message();
}

TEST_F(RenderImages, ScreenshotsTakeTheFirstFreeNumberAndHoldTheFrame) {
    const std::string home = NVireo::NFile::HomeFolder();
    NVireo::NFile::SetHomeFolder(folder_.Program().c_str());
    CFrameSteps steps;
    steps.drawScene = [&] {
        Fill(0xFF102030u);
        PresetFlat(0xFFC08040u, 'n');
        DrawFlatRect(10, 20, 30, 40);
    };
    RenderFrame(steps);
    EXPECT_STREQ(SaveScreenshot("ss/").c_str(), "ss/   0.bmp");
    EXPECT_STREQ(SaveScreenshot("ss/").c_str(), "ss/   1.bmp");
    std::filesystem::remove(folder_ / "ss/   0.bmp");
    EXPECT_STREQ(SaveScreenshot("ss/").c_str(), "ss/   0.bmp");  // a gap is filled first
    // An absolute folder whose parents are missing too (a fresh pictures folder); a
    // folder that cannot be made writes nothing.
    const std::string pictures = folder_.ProgramPath("Pictures/se-retimer/");
    EXPECT_EQ(std::string(SaveScreenshot(pictures.c_str()).c_str()), pictures + "   0.bmp");
    EXPECT_TRUE(std::filesystem::exists(folder_ / "Pictures/se-retimer/   0.bmp"));
    folder_.WriteHostFile("in-the-way", "a file");
    EXPECT_STREQ(SaveScreenshot(folder_.ProgramPath("in-the-way/ss/").c_str()).c_str(), "");
    NVireo::NFile::SetHomeFolder(home.c_str());
    NVireo::NFile::EnterHomeFolder();

    NVireo::NFile::NSTDIO::CBinary file;
    file.Open(folder_.ProgramPath("ss/   1.bmp").c_str(), "rb");
    NImage::CBitmap shot;
    ASSERT_TRUE(NImage::ReadBmp(file, "shot", 4096, 4096, shot)) << Message();
    ASSERT_EQ(shot.width, 640u);
    ASSERT_EQ(shot.height, 480u);
    const std::vector<DWORD> target = Target();
    for (uint32_t y = 0; y < 480; y += 7) {
        for (uint32_t x = 0; x < 640; x += 3) {
            const uint8_t* p = shot.Pixel(x, y);
            ASSERT_EQ(uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0], At(target, x, y))
                << x << "," << y;
        }
    }
    EXPECT_EQ(shot.Pixel(20, 30)[0], 0x40);
    EXPECT_EQ(shot.Pixel(5, 5)[0], 0x30);
}

TEST_F(RenderImages, TheLogsDescribeTheDeviceTheAdapterAndTheParameters) {
    const std::string folder = folder_.Program() + "/";
    WriteDirect3DLogs(folder.c_str());
    const std::string parameters = folder_.ReadHostFile("PresentParameters.log");
    auto field = [](const std::string& name, const std::string& value) {
        return name + std::string(32 - name.size(), ' ') + "=" + value + "\n";
    };
    const std::string size = field("BackBufferWidth", "640") + field("BackBufferHeight", "480");
    EXPECT_EQ(parameters.substr(0, size.size()), size);
    EXPECT_NE(parameters.find(field("AutoDepthStencilFormat", "80")), std::string::npos)
        << parameters;
    EXPECT_NE(parameters.find(field("FullScreen_PresentationInterval", "0")), std::string::npos);
    const std::string adapter = folder_.ReadHostFile("Adapter.log");
    EXPECT_NE(adapter.find("ModeCount="), std::string::npos) << adapter;
    EXPECT_NE(adapter.find("   0\tWidth="), std::string::npos) << adapter;
    const std::string caps = folder_.ReadHostFile("caps.log");
    const std::string deviceLine =
        "DeviceType" + std::string(60 - 10 - 14, ' ') + "D3DDEVTYPE_HAL\n";
    EXPECT_EQ(caps.substr(0, deviceLine.size()), deviceLine);
    EXPECT_NE(caps.find("\nPresentationIntervals{\n"), std::string::npos);
    EXPECT_NE(caps.find("\tD3DPBLENDCAPS_SRCALPHA" + std::string(59 - 22 - 1, ' ') + "1\n"),
              std::string::npos)
        << caps;

    // Without a device only the adapter log is written.
    std::filesystem::remove(folder_ / "caps.log");
    Device().Release();
    WriteDirect3DLogs(folder.c_str());
    EXPECT_FALSE(std::filesystem::exists(folder_ / "caps.log"));
}

TEST(RenderLogs, AdapterTextAlignsValuesAtColumn36) {
    D3DADAPTER_IDENTIFIER8 id{};
    std::strcpy(id.Driver, "driver");
    std::strcpy(id.Description, "the adapter");
    id.DriverVersion.HighPart = (6 << 16) | 14;
    id.DriverVersion.LowPart = (10 << 16) | 1234;
    id.VendorId = 0x10DE;
    id.WHQLLevel = 2000u << 16 | 10u << 8 | 15u;
    NVireo::NString::BBasic<char> text;
    AdapterText(id, text);
    const std::string s = text.c_str();
    auto line = [](const std::string& name, const std::string& value) {
        return name + std::string(36 - name.size() - value.size(), ' ') + value + "\n";
    };
    EXPECT_EQ(s.substr(0, 19), "driver\nthe adapter\n");
    EXPECT_NE(s.find(line("Product", "6") + line("Version", "14") + line("SubVersion", "10") +
                     line("Build", "1234") + line("VendorId", "10de")),
              std::string::npos)
        << s;
    EXPECT_NE(s.find("}\n\n" + line("year", "2000") + line("month", "10") + line("day", "15")),
              std::string::npos)
        << s;

    for (DWORD level : {0u, 1u}) {
        id.WHQLLevel = level;
        text = NVireo::NString::BBasic<char>();
        AdapterText(id, text);
        const std::string t = text.c_str();
        const std::string tail = "}\n\n" + line("WHQLLevel", std::to_string(level));
        ASSERT_GE(t.size(), tail.size());
        EXPECT_EQ(t.substr(t.size() - tail.size()), tail) << t;
    }
}

}  // namespace
