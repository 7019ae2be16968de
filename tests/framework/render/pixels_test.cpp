// Texture pixels: the alpha each kind takes from its mask, the packing into the 16-bit
// formats of a 16-bit desktop, the formats chosen per kind, and the stop request.
#include "framework/render/pixels.h"

#include <gtest/gtest.h>

#include <vector>

#include "framework/platform/thread.h"
#include "framework/render/texture.h"

namespace {

using namespace NVireo::NDirectX::N3D::NImage;

TEST(RenderPixels, KindsTakeTheirAlphaFromTheMask) {
    struct Case {
        int32_t kind;
        uint8_t mask[3];  // blue, green, red
        uint32_t alpha;
    };
    const Case cases[] = {
        {kOpaque, {0, 0, 0}, 255},
        {kCutOut, {0, 0, 0}, 0},  // only pure black is transparent
        {kCutOut, {0, 0, 1}, 255},
        {kCutOut, {1, 0, 0}, 255},
        {kTranslucent, {255, 255, 254}, 254},
        {kTranslucent, {0, 0, 2}, 0},  // (0 + 0 + 2) / 3 rounds down
        {kTranslucent, {10, 20, 31}, 20},
        {kTranslucent, {255, 255, 255}, 255},
    };
    const uint8_t colour[3] = {0x30, 0x20, 0x10};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << ":" << int(c.mask[0]) << "," << int(c.mask[1])
                                        << "," << int(c.mask[2]));
        EXPECT_EQ(ComposePixel(c.kind, colour, c.mask), c.alpha << 24 | 0x102030u);
    }
    // Without a mask every kind is opaque.
    for (int32_t kind : {kOpaque, kCutOut, kTranslucent}) {
        EXPECT_EQ(ComposePixel(kind, colour, nullptr), 0xFF102030u);
    }
}

TEST(RenderPixels, ColorEntriesKeepOrDropTheirOwnAlpha) {
    const uint8_t clear[4] = {1, 2, 3, 0};
    const uint8_t faint[4] = {1, 2, 3, 9};
    EXPECT_EQ(ColorEntryPixel(kOpaque, clear), 0xFF030201u);
    EXPECT_EQ(ColorEntryPixel(kCutOut, clear), 0x00030201u);
    EXPECT_EQ(ColorEntryPixel(kCutOut, faint), 0xFF030201u);
    EXPECT_EQ(ColorEntryPixel(kTranslucent, faint), 0x09030201u);
}

TEST(RenderPixels, FormatsFollowTheBackBufferDepth) {
    struct Case {
        D3DFORMAT backBuffer;
        D3DFORMAT opaque, cutOut, translucent;
    };
    const Case cases[] = {
        {D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8},
        {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8},
        {D3DFMT_R5G6B5, D3DFMT_R5G6B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4},
        {D3DFMT_X1R5G5B5, D3DFMT_R5G6B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TextureFormat(kOpaque, c.backBuffer), c.opaque);
        EXPECT_EQ(TextureFormat(kCutOut, c.backBuffer), c.cutOut);
        EXPECT_EQ(TextureFormat(kTranslucent, c.backBuffer), c.translucent);
    }
    EXPECT_EQ(TextureFormat(3, D3DFMT_X8R8G8B8), D3DFMT_UNKNOWN);
}

TEST(RenderPixels, SixteenBitFormatsKeepTheTopBits) {
    struct Case {
        D3DFORMAT format;
        uint32_t argb;
        uint32_t packed;
    };
    const Case cases[] = {
        {D3DFMT_R5G6B5, 0xFFFFFFFFu, 0xFFFF},
        {D3DFMT_R5G6B5, 0x00F80000u, 0xF800},    // red's top 5 bits
        {D3DFMT_R5G6B5, 0x0007FC07u, 0x07E0},    // green keeps 6 bits, red and blue lose 3
        {D3DFMT_A1R5G5B5, 0x01000000u, 0x8000},  // any alpha sets the bit
        {D3DFMT_A1R5G5B5, 0x00FFFFFFu, 0x7FFF},
        {D3DFMT_A4R4G4B4, 0xFE1F2F3Fu, 0xF123},
        {D3DFMT_A4R4G4B4, 0x0F0F0F0Fu, 0x0000},
        {D3DFMT_X8R8G8B8, 0x00123456u, 0xFF123456u},
        {D3DFMT_A8R8G8B8, 0x00123456u, 0x00123456u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.format << " " << std::hex << c.argb);
        EXPECT_EQ(PackPixel(c.format, c.argb), c.packed);
    }
    // Unpacking widens each field back to 8 bits: full fields stay full.
    EXPECT_EQ(UnpackPixel(D3DFMT_R5G6B5, 0xFFFF), 0xFFFFFFFFu);
    EXPECT_EQ(UnpackPixel(D3DFMT_A1R5G5B5, 0x7C00), 0x00FF0000u);
    EXPECT_EQ(UnpackPixel(D3DFMT_A4R4G4B4, 0x8421), 0x88442211u);
}

TEST(RenderPixels, BuildWritesTopRowFirstIntoThePitch) {
    CBitmap image;
    image.width = 2;
    image.height = 2;
    image.bgr = {1, 2, 3, 4,  5,  6,  // top row
                 7, 8, 9, 10, 11, 12};
    CBitmap mask = image;
    mask.bgr = {0, 0, 0, 0, 0, 9, 255, 255, 255, 3, 3, 3};
    std::vector<uint16_t> target(2 * 4, 0xABCD);  // a pitch of 4 pixels: two are spare
    BuildPixels(kCutOut, image, &mask, {target.data(), 8, D3DFMT_A1R5G5B5});
    EXPECT_EQ(target[0], PackPixel(D3DFMT_A1R5G5B5, 0x00030201u));
    EXPECT_EQ(target[1], PackPixel(D3DFMT_A1R5G5B5, 0xFF060504u));
    EXPECT_EQ(target[2], 0xABCD);
    EXPECT_EQ(target[4], PackPixel(D3DFMT_A1R5G5B5, 0xFF090807u));
    EXPECT_EQ(target[5], PackPixel(D3DFMT_A1R5G5B5, 0xFF0C0B0Au));
}

TEST(RenderPixels, AStopRequestEndsTheLoopWithTheStopException) {
    CBitmap image;
    image.width = 1;
    image.height = 1;
    image.bgr = {1, 2, 3};
    uint32_t target = 0;
    volatile uint8_t stop = 1;
    EXPECT_THROW(BuildPixels(kOpaque, image, nullptr, {&target, 4, D3DFMT_X8R8G8B8}, &stop),
                 NVireo::NWindows::NThread::CException);
    EXPECT_EQ(target, 0u);
    const uint8_t raw[4] = {1, 2, 3, 4};
    EXPECT_THROW(BuildColorPixels(kOpaque, 1, 1, raw, {&target, 4, D3DFMT_X8R8G8B8}, &stop),
                 NVireo::NWindows::NThread::CException);
    stop = 0;
    BuildPixels(kOpaque, image, nullptr, {&target, 4, D3DFMT_X8R8G8B8}, &stop);
    EXPECT_EQ(target, 0xFF030201u);
}

TEST(RenderPixels, ColorEntrySidesRoundUpToPowersOfTwo) {
    using NVireo::NDirectX::N3D::NTexture::PowerOfTwoSide;
    const uint32_t cases[][2] = {{0, 0},     {1, 1},       {2, 2},       {3, 4},   {30, 32},
                                 {100, 128}, {2049, 4096}, {4096, 4096}, {4097, 0}};
    for (const auto& c : cases) EXPECT_EQ(PowerOfTwoSide(c[0]), c[1]) << c[0];
}

}  // namespace
