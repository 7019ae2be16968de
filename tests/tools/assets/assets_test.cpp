// se-assets and what it made for data/: the committed files are exactly its output, and
// the program's own readers find them in the package under the names it asks for, in
// the formats and sizes the screens rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/package/package.h"
#include "framework/render/asset_names.h"
#include "sound/wavefile.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
namespace NPicture = NVireo::NRender::NPicture;
using NVireo::NRender::CPackage;

// The package the build packs from data/, opened as the program opens its own.
class PackagedAssets : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path built = fs::path(SE_PACK_PATH).parent_path() / "Data/package";
        package.OpenFrom(HostToProgramPath(built.string()).c_str());
    }
    std::vector<uint8_t> Entry(const char* name) {
        NVireo::NFile::NSTDIO::CBinary file;
        CPackage::Entry entry;
        std::vector<uint8_t> bytes;
        if (!package.OpenEntry(file, entry, name)) return bytes;
        bytes.resize(entry.size);
        file.ReadBytes(bytes.data(), bytes.size());
        return bytes;
    }
    RaisePolicy throwing;
    CPackage package;
};

TEST(AssetGenerator, RegeneratesTheCommittedFilesByteForByte) {
    TempFolder folder;
    const Result r = RunProgram(SE_ASSETS_PATH, Quote(folder / "out"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "");
    size_t count = 0;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(folder / "out")) {
        if (!e.is_regular_file()) continue;
        ++count;
        const std::string name = fs::relative(e.path(), folder / "out").string();
        const std::vector<uint8_t> committed = ReadFile(SE_SOURCE_DIR "/data/" + name);
        EXPECT_FALSE(committed.empty()) << name << " is not in data/";
        EXPECT_TRUE(committed == ReadFile(e.path().string()))
            << name << " differs: run se-assets data";
    }
    EXPECT_EQ(count, 11u);  // five sound effects, three pictures and their masks
}

// The icon at each size the theme's folders name: a PNG that ImageMagick reads without a
// word, square, transparent in its corners (the rounded plate) and opaque in its middle,
// with the logo's orange letters and cyan waveform on it; the same on every run.
TEST(AssetGenerator, IconsArePngsOfTheLogoAtEachSize) {
    TempFolder folder;
    Result r = RunProgram(SE_ASSETS_PATH, "--icons " + Quote(folder / "a"));
    ASSERT_EQ(r.status, 0) << r.out;
    ASSERT_EQ(RunProgram(SE_ASSETS_PATH, "--icons " + Quote(folder / "b")).status, 0);
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const std::string edge = std::to_string(size);
        const std::string name = "hicolor/" + edge + "x" + edge + "/apps/se-retimer.png";
        SCOPED_TRACE(name);
        const std::string path = folder / ("a/" + name);
        EXPECT_TRUE(ReadFile(path) == ReadFile(folder / ("b/" + name)));
        r = RunProgram("identify", "-format '%w %h %[channels]' " + Quote(path));
        EXPECT_EQ(r.out, edge + " " + edge + " srgba");  // and no warning about the file
        const std::string rgba = Capture("convert " + Quote(path) + " rgba:- 2>/dev/null");
        ASSERT_EQ(rgba.size(), size_t(size) * size * 4);
        const auto pixel = [&](int x, int y) {
            const size_t at = (size_t(y) * size + x) * 4;
            return std::vector<uint8_t>(rgba.begin() + at, rgba.begin() + at + 4);
        };
        for (int corner : {0, size - 1}) {
            EXPECT_EQ(pixel(corner, corner)[3], 0) << "corner " << corner;
        }
        EXPECT_EQ(pixel(size / 2, size / 2)[3], 255);
        int orange = 0, cyan = 0;
        for (int i = 0; i < size * size; ++i) {
            const auto* p = reinterpret_cast<const uint8_t*>(rgba.data()) + i * 4;
            orange += p[0] > 200 && p[1] > 100 && p[2] < 120;
            cyan += p[0] < 150 && p[1] > 150 && p[2] > 150;
        }
        EXPECT_GT(orange, size * size / 50);
        EXPECT_GT(cyan, size * size / 200);
    }
}

TEST(AssetGenerator, ExitStatusSaysWhatWentWrong) {
    TempFolder folder;
    folder.WriteHostFile("file", "in the way");
    const struct {
        std::string arguments;
        int status;
        const char* says;
    } cases[] = {
        {"", 2, "usage:"},
        {Quote(folder / "a") + " " + Quote(folder / "b"), 2, "usage:"},
        {"--help", 2, "usage:"},
        {"--icons", 2, "usage:"},
        {"--icons --icons", 2, "usage:"},
        {Quote(folder / "file"), 1, "se-assets: cannot write"},
        {"--icons " + Quote(folder / "file"), 1, "se-assets: cannot write"},
    };
    for (const auto& c : cases) {
        const Result r = RunProgram(SE_ASSETS_PATH, c.arguments);
        EXPECT_EQ(r.status, c.status) << c.arguments << "\n" << r.out;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << c.arguments << "\n" << r.out;
    }
}

// Every sound effect by the name the effect bank builds ("pd/se/" + id name + ".wav"):
// 16-bit mono PCM at 44100 Hz, its own length, peaking at -6 dBFS, silent at both ends.
TEST_F(PackagedAssets, SoundEffectsAreShortQuietAtTheEndsAndPeakAtMinusSixDecibels) {
    const struct {
        const char* name;
        uint32_t frames;
    } effects[] = {
        {"pd/se/OK.wav", 8820},   {"pd/se/SELECT.wav", 3528},    {"pd/se/CANCEL.wav", 7056},
        {"pd/se/BAD.wav", 11466}, {"pd/se/TRAINING.wav", 13230},
    };
    constexpr int kPeak = 16384;  // half of full scale
    constexpr size_t kEnds = 22;  // half a millisecond at each end
    for (const auto& e : effects) {
        SCOPED_TRACE(e.name);
        NVireo::NFile::NSTDIO::CBinary file;
        CPackage::Entry entry;
        ASSERT_TRUE(package.OpenEntry(file, entry, e.name));
        CWaveFile wave;
        CSoundClip clip;
        ASSERT_TRUE(Transfer(wave, file, EDirection::Input, clip)) << wave.rejection;
        EXPECT_EQ(clip.wFormatTag, 1);
        EXPECT_EQ(clip.nChannels, 1);
        EXPECT_EQ(clip.nSamplesPerSec, 44100u);
        EXPECT_EQ(clip.wBitsPerSample, 16);
        EXPECT_EQ(clip.nBlockAlign, 2);
        ASSERT_EQ(clip.data.length, e.frames * 2);
        const uint32_t ms = e.frames * 1000 / 44100;
        EXPECT_TRUE(ms >= 50 && ms <= 300) << ms;

        const auto* s = reinterpret_cast<const int16_t*>(clip.data.data);
        int peak = 0;
        for (uint32_t i = 0; i < e.frames; ++i) peak = std::max(peak, std::abs(int{s[i]}));
        EXPECT_LE(peak, kPeak);
        EXPECT_GE(peak, kPeak * 9 / 10);
        EXPECT_LE(std::abs(int{s[0]}), 16);
        EXPECT_LE(std::abs(int{s[e.frames - 1]}), 16);
        for (size_t i = 0; i < kEnds; ++i) {
            EXPECT_LE(std::abs(int{s[i]}), kPeak / 16) << "frame " << i;
            EXPECT_LE(std::abs(int{s[e.frames - 1 - i]}), kPeak / 16) << "frame from the end " << i;
        }
    }
}

// A 24-bit bottom-up BMP with the plain 54-byte headers, as pixels top row first.
struct Bmp {
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> rgb;  // 0xRRGGBB
};

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + i];
    return v;
}

Bmp ParseBmp(const std::vector<uint8_t>& b) {
    Bmp bmp;
    EXPECT_GE(b.size(), 54u);
    if (b.size() < 54) return bmp;
    EXPECT_EQ(Le(b, 0, 2), 0x4D42u);   // "BM"
    EXPECT_EQ(Le(b, 2, 4), b.size());  // file size
    EXPECT_EQ(Le(b, 10, 4), 54u);      // pixels straight after the headers
    EXPECT_EQ(Le(b, 14, 4), 40u);
    EXPECT_EQ(Le(b, 28, 2), 24u);  // bits per pixel
    EXPECT_EQ(Le(b, 30, 4), 0u);   // uncompressed
    bmp.width = Le(b, 18, 4);
    bmp.height = Le(b, 22, 4);  // positive: bottom-up
    const size_t stride = bmp.width * 3 + bmp.width % 4;
    EXPECT_EQ(b.size(), 54 + stride * bmp.height);
    if (b.size() != 54 + stride * bmp.height || bmp.height > 0x8000) return {};
    for (uint32_t y = 0; y < bmp.height; ++y) {
        const size_t row = 54 + (bmp.height - 1 - y) * stride;
        for (uint32_t x = 0; x < bmp.width; ++x) bmp.rgb.push_back(Le(b, row + x * 3, 3));
    }
    return bmp;
}

// Each picture with its mask: same size; the mask grey; the picture black wherever the
// mask is, so an additive draw adds nothing outside it. The check boxes are one shape
// with and without the mark; the logo's mask is its brightest channel.
TEST_F(PackagedAssets, PicturesAre24BitWithAMaskOfTheSameSize) {
    const struct {
        const char* image;
        const char* mask;
        uint32_t width, height;
    } pictures[] = {
        {NPicture::kCheckBoxOn, NPicture::kCheckBoxOnMask, 32, 32},
        {NPicture::kCheckBoxOff, NPicture::kCheckBoxOffMask, 32, 32},
        {NPicture::kTitleLogo, NPicture::kTitleLogoMask, 256, 64},
    };
    for (const auto& p : pictures) {
        SCOPED_TRACE(p.image);
        const Bmp image = ParseBmp(Entry(p.image)), mask = ParseBmp(Entry(p.mask));
        EXPECT_EQ(image.width, p.width);
        EXPECT_EQ(image.height, p.height);
        EXPECT_EQ(mask.width, p.width);
        EXPECT_EQ(mask.height, p.height);
        ASSERT_EQ(image.rgb.size(), mask.rgb.size());
        size_t opaque = 0;
        for (size_t i = 0; i < mask.rgb.size(); ++i) {
            const uint32_t m = mask.rgb[i] & 0xFF;
            ASSERT_EQ(mask.rgb[i], m * 0x010101u) << "mask pixel " << i << " is not grey";
            if (m == 0) {
                EXPECT_EQ(image.rgb[i], 0u) << "pixel " << i << " lies outside the mask";
            }
            opaque += m != 0;
        }
        EXPECT_GT(opaque, mask.rgb.size() / 10);
        EXPECT_LT(opaque, mask.rgb.size());
    }

    const Bmp on = ParseBmp(Entry(NPicture::kCheckBoxOn)),
              off = ParseBmp(Entry(NPicture::kCheckBoxOff));
    const Bmp onMask = ParseBmp(Entry(NPicture::kCheckBoxOnMask));
    EXPECT_TRUE(onMask.rgb == ParseBmp(Entry(NPicture::kCheckBoxOffMask)).rgb);
    EXPECT_FALSE(on.rgb == off.rgb);
    // A hit test at a corner of the square misses the rounded box; its middle hits.
    EXPECT_EQ(onMask.rgb[0], 0u);
    EXPECT_EQ(onMask.rgb[16 * 32 + 16], 0xFFFFFFu);

    const Bmp logo = ParseBmp(Entry(NPicture::kTitleLogo)),
              logoMask = ParseBmp(Entry(NPicture::kTitleLogoMask));
    for (size_t i = 0; i < logo.rgb.size(); ++i) {
        const uint32_t c = logo.rgb[i];
        ASSERT_EQ(logoMask.rgb[i] & 0xFF, std::max({c >> 16, (c >> 8) & 0xFF, c & 0xFF})) << i;
    }
}

}  // namespace
