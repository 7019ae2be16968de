// The 24-bit BMP reader and the screenshot writer: row padding, bottom-up rows, the
// checks with their messages, and what the writer produces.
#include "framework/render/bitmap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/error/error.h"
#include "framework/render/bmp_bytes.h"
#include "support/test_support.h"

namespace {

using NVireo::NDirectX::N3D::NImage::CBitmap;
using NVireo::NDirectX::N3D::NImage::ReadBmp;
using NVireo::NDirectX::N3D::NImage::WriteBmp;
using NVireo::NFile::NSTDIO::CBinary;

std::string Message() { return NVireo::NError::Record().message; }

// Every pixel different: red = x, green = y, blue = a mix of both.
uint32_t Distinct(uint32_t x, uint32_t y) { return x << 16 | y << 8 | ((x * 7 + y * 13) & 0xFF); }

// Reads bytes as a BMP file named "pic.bmp" with maxima of 4096; the answer of ReadBmp,
// or false when the report threw.
bool Read(const TempFolder& folder, const std::string& bytes, CBitmap& image,
          uint32_t maxWidth = 4096, uint32_t maxHeight = 4096) {
    folder.WriteHostFile("pic.bmp", bytes);
    CBinary file;
    file.Open(folder.ProgramPath("pic.bmp").c_str(), "rb");
    try {
        return ReadBmp(file, "pic.bmp", maxWidth, maxHeight, image);
    } catch (const NVireo::NError::CObject&) {
        return false;
    }
}

TEST(RenderBitmapRead, RowsArePaddedToFourBytesAndStoredBottomUp) {
    TempFolder folder;
    RaisePolicy policy;
    // Padding per row: width 1 -> 1 byte, 2 -> 2, 3 -> 3, 4 -> none, 5 -> 1.
    for (uint32_t width : {1u, 2u, 3u, 4u, 5u}) {
        SCOPED_TRACE(width);
        BmpLayout layout;
        layout.width = width;
        layout.height = 3;
        layout.color = Distinct;
        const std::string bytes = BmpBytes(layout);
        ASSERT_EQ(bytes.size(), 54 + (width * 3 + width % 4) * 3);
        CBitmap image;
        ASSERT_TRUE(Read(folder, bytes, image)) << Message();
        ASSERT_EQ(image.width, width);
        ASSERT_EQ(image.height, 3u);
        for (uint32_t y = 0; y < 3; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                const uint8_t* p = image.Pixel(x, y);
                const uint32_t rgb = uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
                EXPECT_EQ(rgb, Distinct(x, y)) << x << "," << y;
            }
        }
    }
}

TEST(RenderBitmapRead, PixelsStartAtTheHeadersPixelOffset) {
    TempFolder folder;
    RaisePolicy policy;
    BmpLayout layout;
    layout.width = 2;
    layout.height = 2;
    layout.gap = 84;  // a larger info header, as newer writers produce
    layout.color = Distinct;
    CBitmap image;
    ASSERT_TRUE(Read(folder, BmpBytes(layout), image)) << Message();
    EXPECT_EQ(image.Pixel(1, 0)[2], 1);
    EXPECT_EQ(image.Pixel(0, 1)[1], 1);
}

TEST(RenderBitmapRead, RejectsWithTheMessageOfTheFirstFailingCheck) {
    TempFolder folder;
    struct Case {
        const char* what;
        BmpLayout layout;
        uint32_t maxWidth, maxHeight;
        std::string message;
    };
    BmpLayout eightBit;
    eightBit.bits = 8;
    BmpLayout thirtyTwoBit;
    thirtyTwoBit.bits = 32;
    BmpLayout wrongTag;
    wrongTag.tag = 0x4142;  // "BA"
    wrongTag.bits = 32;     // the tag is checked first
    BmpLayout wide;
    wide.width = 65;
    wide.height = 2;
    BmpLayout tall;
    tall.height = 9;
    BmpLayout short1;
    short1.width = 3;
    short1.height = 2;
    short1.sizeAdjust = -1;
    const std::string dump =
        "           bfType=19778\n"
        "           bfSize=77\n"
        "      bfReserved1=0\n"
        "      bfReserved2=0\n"
        "        bfOffBits=54\n"
        "   GetImageSize()=23\n"
        "GetRGBQuadCount()=0\n"
        "      GetQDSize()=23\n";
    const Case cases[] = {
        {"8-bit", eightBit, 4096, 4096, "8,24 pic.bmp\n"},
        {"32-bit", thirtyTwoBit, 4096, 4096, "32,24 pic.bmp\n"},
        {"tag", wrongTag, 4096, 4096, "16706\npic.bmp\n"},
        {"too wide", wide, 64, 64, "65,2:64,64\n"},
        {"too tall", tall, 8, 8, "1,9:8,8\n"},
        {"promises too few bytes", short1, 4096, 4096, "24,23\n" + dump},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RaisePolicy policy;
        CBitmap image;
        EXPECT_FALSE(Read(folder, BmpBytes(c.layout), image, c.maxWidth, c.maxHeight));
        EXPECT_EQ(Message(), c.message);
        EXPECT_EQ(image.width, 0u);
        EXPECT_TRUE(image.bgr.empty());
    }
}

TEST(RenderBitmapRead, AFileShorterThanItsHeaderSaysIsAShortRead) {
    TempFolder folder;
    RaisePolicy policy;
    BmpLayout layout;
    layout.width = 4;
    layout.height = 4;
    std::string bytes = BmpBytes(layout);
    bytes.resize(bytes.size() - 5);
    CBitmap image;
    EXPECT_FALSE(Read(folder, bytes, image));
    EXPECT_EQ(Message(), "54(97),T=48");

    NVireo::NError::Clear();
    EXPECT_FALSE(Read(folder, bytes.substr(0, 20), image));
    EXPECT_EQ(Message(), "0(20),T=54");
}

TEST(RenderBitmapWrite, WritesA24BitFileTheReaderTakesBack) {
    TempFolder folder;
    RaisePolicy policy;
    // Widths with and without padding.
    for (uint32_t width : {1u, 3u, 4u}) {
        SCOPED_TRACE(width);
        const uint32_t height = 2;
        std::vector<uint32_t> pixels;
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) pixels.push_back(0x7F000000u | Distinct(x, y));
        }
        const std::string path = folder.ProgramPath("shot.bmp");
        ASSERT_TRUE(WriteBmp(path.c_str(), width, height, pixels.data()));
        const std::string bytes = folder.ReadHostFile("shot.bmp");
        EXPECT_EQ(bytes.size(), 54 + (width * 3 + width % 4) * height);
        CBitmap image;
        ASSERT_TRUE(Read(folder, bytes, image)) << Message();
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                const uint8_t* p = image.Pixel(x, y);
                EXPECT_EQ(uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0], Distinct(x, y));
            }
        }
    }
}

TEST(RenderBitmapWrite, AnUnwritablePathAnswersFalseAndLeavesNoFile) {
    TempFolder folder;
    const uint32_t pixel = 0;
    EXPECT_FALSE(WriteBmp(folder.ProgramPath("missing/shot.bmp").c_str(), 1, 1, &pixel));
    EXPECT_TRUE(folder.Names().empty());
}

}  // namespace
