// The interface pictures: the check-box pair and the title logo, drawn from shapes with
// 4 x 4 samples per pixel and written as 24-bit BMP files with their masks; and the
// program's icon, the logo's letters and waveform on a plate, as RGBA PNG files.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/render/asset_names.h"
#include "tools/assets/assets.h"
#include "tools/assets/exact_math.h"

namespace NAssets {
namespace {

namespace NPicture = NVireo::NRender::NPicture;

struct Rgb {
    double r, g, b;  // 0..1
};

Rgb Mix(const Rgb& a, const Rgb& b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb Hex(uint32_t rgb) {
    return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0};
}

uint8_t Channel(double v) { return static_cast<uint8_t>(std::clamp(v, 0.0, 1.0) * 255 + 0.5); }

// A picture as 8-bit channels, top row first, and its mask (one grey level per pixel).
struct CImage {
    int width, height;
    std::vector<uint8_t> rgb;  // r, g, b per pixel
    std::vector<uint8_t> mask;

    CImage(int w, int h) : width(w), height(h), rgb(size_t(w) * h * 3), mask(size_t(w) * h) {}
    void Set(int x, int y, const Rgb& c) {
        uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
        p[0] = Channel(c.r);
        p[1] = Channel(c.g);
        p[2] = Channel(c.b);
    }
};

void Put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A 24-bit BMP: the 14-byte file header, the 40-byte info header, no palette, then the
// rows bottom-up as blue, green, red, each padded to a multiple of four bytes.
// grey: the mask (its level in all three channels) instead of the colours.
std::vector<uint8_t> BmpBytes(const CImage& image, bool grey) {
    const uint32_t stride = (static_cast<uint32_t>(image.width) * 3 + 3) & ~3u;
    const uint32_t imageBytes = stride * static_cast<uint32_t>(image.height);
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Put(out, 54 + imageBytes, 4);
    Put(out, 0, 4);   // reserved
    Put(out, 54, 4);  // pixel data offset
    Put(out, 40, 4);  // info header size
    Put(out, static_cast<uint32_t>(image.width), 4);
    Put(out, static_cast<uint32_t>(image.height), 4);  // positive: bottom-up
    Put(out, 1, 2);                                    // planes
    Put(out, 24, 2);                                   // bits per pixel
    Put(out, 0, 4);                                    // no compression
    Put(out, imageBytes, 4);
    Put(out, 2835, 4);  // 72 dots per inch, in dots per metre
    Put(out, 2835, 4);
    Put(out, 0, 4);  // colours used
    Put(out, 0, 4);  // important colours
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const size_t i = size_t(y) * image.width + x;
            if (grey) {
                out.insert(out.end(), 3, image.mask[i]);
            } else {
                out.push_back(image.rgb[i * 3 + 2]);
                out.push_back(image.rgb[i * 3 + 1]);
                out.push_back(image.rgb[i * 3]);
            }
        }
        out.insert(out.end(), stride - static_cast<uint32_t>(image.width) * 3, 0);
    }
    return out;
}

struct Vec {
    double x, y;
};

// Signed distance from p to a rounded square (negative inside).
double RoundedSquare(Vec p, Vec centre, double half, double radius) {
    const double qx = std::fabs(p.x - centre.x) - half + radius;
    const double qy = std::fabs(p.y - centre.y) - half + radius;
    const double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - radius;
}

// Distance from p to the segment from a to b.
double Segment(Vec p, Vec a, Vec b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double t =
        std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    const double ex = p.x - a.x - t * dx, ey = p.y - a.y - t * dy;
    return std::sqrt(ex * ex + ey * ey);
}

constexpr int kSamples = 4;  // per pixel and direction

// The sample points of pixel (x, y), which covers [x, x + 1) x [y, y + 1).
template <class F>
void ForEachSample(int x, int y, F f) {
    for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
            f(Vec{x + (sx + 0.5) / kSamples, y + (sy + 0.5) / kSamples});
        }
    }
}

// ---- Check box --------------------------------------------------------------------

constexpr int kCheckSize = 32;
constexpr Vec kBoxCentre = {16, 16};
constexpr double kBoxHalf = 13, kBoxRadius = 6, kRim = 1.6;
constexpr double kMarkHalfWidth = 1.8;

// The part of a pixel the box must cover to belong to it; fainter edge pixels are left
// out, so a cut-out texture and the hit test see the same outline as a translucent one.
constexpr int kMinSamples = kSamples * kSamples / 4;

double CheckMark(Vec p) {
    const Vec a = {9.5, 16.5}, b = {14, 21}, c = {22.5, 11};
    return std::min(Segment(p, a, b), Segment(p, b, c));
}

// The box's colour at p, or false outside it. The rim is lit from above like the GUI's
// raised edges; the off face is dark, the on face amber with a cream check mark.
bool CheckBoxAt(Vec p, bool on, Rgb& colour) {
    const double edge = RoundedSquare(p, kBoxCentre, kBoxHalf, kBoxRadius);
    if (edge > 0) return false;
    const double down = (p.y - (kBoxCentre.y - kBoxHalf)) / (2 * kBoxHalf);
    if (edge > -kRim) {
        colour = Mix(Hex(0xFFFAE6), Hex(0x9C968A), down);
        return true;
    }
    colour = on ? Mix(Hex(0xF6B04C), Hex(0xC0661A), down) : Mix(Hex(0x5A554E), Hex(0x2E2B27), down);
    // A soft inner shadow under the top rim (the rim moved down a little) makes the face
    // look sunk into the box.
    if (RoundedSquare({p.x, p.y - 1.5}, kBoxCentre, kBoxHalf, kBoxRadius) > -kRim) {
        colour = Mix(colour, Hex(0x000000), 0.3);
    }
    if (on) {
        if (CheckMark(p) < kMarkHalfWidth) {
            colour = Hex(0xFFFCF0);
        } else if (CheckMark({p.x - 0.8, p.y - 1.0}) < kMarkHalfWidth) {
            colour = Hex(0x7A3E0C);
        }
    }
    return true;
}

CImage CheckBox(bool on) {
    CImage image(kCheckSize, kCheckSize);
    for (int y = 0; y < kCheckSize; ++y) {
        for (int x = 0; x < kCheckSize; ++x) {
            int covered = 0;
            Rgb sum = {0, 0, 0};
            ForEachSample(x, y, [&](Vec p) {
                Rgb c;
                if (!CheckBoxAt(p, on, c)) return;
                ++covered;
                sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
            });
            if (covered < kMinSamples) continue;  // black and transparent
            image.Set(x, y, {sum.r / covered, sum.g / covered, sum.b / covered});
            image.mask[size_t(y) * kCheckSize + x] = static_cast<uint8_t>(
                (covered * 255 + kSamples * kSamples / 2) / (kSamples * kSamples));
        }
    }
    return image;
}

// ---- Title logo -------------------------------------------------------------------

constexpr int kLogoWidth = 256, kLogoHeight = 64;
constexpr int kCell = 4;  // pixels per font dot
constexpr int kGlyphRows = 7;
constexpr double kTextTop = 8;
constexpr double kTextBottom = kTextTop + kGlyphRows * kCell;
constexpr double kSlant = 0.2;  // italic: x shift per pixel of height
constexpr double kWaveMiddle = 51, kWaveHeight = 9, kWaveHalfWidth = 0.75;
constexpr double kWaveCycles = 15;

struct Glyph {
    char c;
    const char* rows[kGlyphRows];  // '#' = dot; every row as wide as the glyph
};

const Glyph kFont[] = {
    {'S', {".###.", "#...#", "#....", ".###.", "....#", "#...#", ".###."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'e', {".....", ".....", ".###.", "#...#", "#####", "#....", ".###."}},
    {'t', {".#..", ".#..", "####", ".#..", ".#..", ".#..", "..##"}},
    {'i', {".#.", "...", "##.", ".#.", ".#.", ".#.", "###"}},
    {'m', {".....", ".....", "##.#.", "#.#.#", "#.#.#", "#.#.#", "#.#.#"}},
    {'r', {".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."}},
    {' ', {"..", "..", "..", "..", "..", "..", ".."}},
};

// The product name as rows of dots, one dot column between glyphs.
std::vector<std::string> TextDots(const char* text) {
    std::vector<std::string> rows(kGlyphRows);
    for (const char* c = text; *c; ++c) {
        for (const Glyph& g : kFont) {
            if (g.c != *c) continue;
            for (int r = 0; r < kGlyphRows; ++r) rows[r] += std::string(g.rows[r]) + ".";
        }
    }
    for (std::string& row : rows) row.pop_back();
    return rows;
}

// The loudness of the waveform under the name at u (0 to 1 along it): a burst with a
// quick rise and a long decay.
double Envelope(double u) { return u < 0.06 ? u / 0.06 : Exp(-(u - 0.06) * 3.5); }

double Wave(double u) {
    return kWaveMiddle - kWaveHeight * Envelope(u) * Sine(2 * kPi * kWaveCycles * u);
}

// Whether p lies within halfWidth of the curve y = wave(u), u running from left to right
// (the distance measured across the curve, from its slope).
template <class F>
bool OnWave(Vec p, double left, double right, double halfWidth, F wave) {
    if (p.x < left || p.x > right) return false;
    const double u = (p.x - left) / (right - left);
    const double du = 0.002;
    const double slope = (wave(u + du) - wave(u - du)) / (2 * du * (right - left));
    return std::fabs(p.y - wave(u)) / std::sqrt(1 + slope * slope) < halfWidth;
}

// Whether p (with the slant undone) lies on a dot of the text's rows, which start at
// (left, top) in cells of cell units.
bool OnDot(Vec p, const std::vector<std::string>& dots, double left, double top, double cell) {
    const double bottom = top + kGlyphRows * cell;
    const double ux = p.x - left - kSlant * (bottom - p.y);
    const double uy = p.y - top;
    if (ux < 0 || uy < 0) return false;
    const size_t col = static_cast<size_t>(ux / cell), row = static_cast<size_t>(uy / cell);
    return row < dots.size() && col < dots[row].size() && dots[row][col] == '#';
}

// Box blur of one channel, radius r, along x then y; the edges count as black.
std::vector<double> Blur(const std::vector<double>& in, int w, int h, int r) {
    std::vector<double> across(in.size()), out(in.size());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double sum = 0;
            for (int k = std::max(0, x - r); k <= std::min(w - 1, x + r); ++k)
                sum += in[size_t(y) * w + k];
            across[size_t(y) * w + x] = sum / (2 * r + 1);
        }
    }
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double sum = 0;
            for (int k = std::max(0, y - r); k <= std::min(h - 1, y + r); ++k)
                sum += across[size_t(k) * w + x];
            out[size_t(y) * w + x] = sum / (2 * r + 1);
        }
    }
    return out;
}

CImage Logo() {
    const std::vector<std::string> dots = TextDots("SE Retimer");
    const int columns = static_cast<int>(dots[0].size());
    const double textWidth = columns * kCell + kSlant * (kTextBottom - kTextTop);
    const double left = std::floor((kLogoWidth - textWidth) / 2);
    const double waveLeft = left, waveRight = left + textWidth;

    const size_t pixels = size_t(kLogoWidth) * kLogoHeight;
    std::vector<double> text(pixels), wave(pixels);
    for (int y = 0; y < kLogoHeight; ++y) {
        for (int x = 0; x < kLogoWidth; ++x) {
            int inText = 0, onWave = 0;
            ForEachSample(x, y, [&](Vec p) {
                inText += OnDot(p, dots, left, kTextTop, kCell);
                onWave += OnWave(p, waveLeft, waveRight, kWaveHalfWidth, Wave);
            });
            text[size_t(y) * kLogoWidth + x] = double(inText) / (kSamples * kSamples);
            wave[size_t(y) * kLogoWidth + x] = double(onWave) / (kSamples * kSamples);
        }
    }
    const std::vector<double> glow =
        Blur(Blur(text, kLogoWidth, kLogoHeight, 2), kLogoWidth, kLogoHeight, 2);

    CImage image(kLogoWidth, kLogoHeight);
    const Rgb glowColour = Hex(0xFF8C26), waveColour = Hex(0x5CD8CC);
    for (int y = 0; y < kLogoHeight; ++y) {
        const Rgb textColour =
            Mix(Hex(0xFFF6DA), Hex(0xFF9E38), (y + 0.5 - kTextTop) / (kTextBottom - kTextTop));
        for (int x = 0; x < kLogoWidth; ++x) {
            const size_t i = size_t(y) * kLogoWidth + x;
            const double g = 0.6 * glow[i] * (1 - text[i]);
            Rgb c = {textColour.r * text[i] + glowColour.r * g,
                     textColour.g * text[i] + glowColour.g * g,
                     textColour.b * text[i] + glowColour.b * g};
            c = Mix(c, waveColour, wave[i]);
            image.Set(x, y, c);
            const uint8_t* p = &image.rgb[i * 3];
            image.mask[i] = std::max({p[0], p[1], p[2]});
        }
    }
    return image;
}

// ---- Program icon -----------------------------------------------------------------

// The icon is drawn on a square of 64 units whatever its size in pixels: a dark rounded
// plate with a lit rim, the logo's "SE" in its colours and glow, and its waveform below.
constexpr double kIconUnits = 64;
constexpr Vec kPlateCentre = {32, 32};
constexpr double kPlateHalf = 30, kPlateRadius = 12, kPlateRim = 1.5;
constexpr double kIconCell = 4, kIconTextTop = 9;
constexpr double kIconWaveMiddle = 51, kIconWaveHeight = 7, kIconWaveCycles = 6;
constexpr int kIconSizes[] = {16, 32, 48, 64, 128, 256};

double IconWave(double u) {
    return kIconWaveMiddle - kIconWaveHeight * Envelope(u) * Sine(2 * kPi * kIconWaveCycles * u);
}

// The icon's RGBA pixels at size x size (straight alpha: the plate's coverage).
std::vector<uint8_t> IconPixels(int size) {
    const double unit = kIconUnits / size;  // units per pixel
    const std::vector<std::string> dots = TextDots("SE");
    const double textWidth =
        static_cast<double>(dots[0].size()) * kIconCell + kSlant * kGlyphRows * kIconCell;
    const double left = (kIconUnits - textWidth) / 2;
    const double textBottom = kIconTextTop + kGlyphRows * kIconCell;
    // At least a pixel across, so the small sizes keep their rim and waveform.
    const double rim = std::max(kPlateRim, 0.9 * unit);
    const double waveHalfWidth = std::max(1.2, 0.6 * unit);

    const size_t pixels = size_t(size) * size;
    std::vector<double> plate(pixels), lit(pixels), text(pixels), wave(pixels);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            int inPlate = 0, onRim = 0, inText = 0, onWave = 0;
            ForEachSample(x, y, [&](Vec pixel) {
                const Vec p = {pixel.x * unit, pixel.y * unit};
                const double edge = RoundedSquare(p, kPlateCentre, kPlateHalf, kPlateRadius);
                if (edge > 0) return;
                ++inPlate;
                onRim += edge > -rim;
                inText += OnDot(p, dots, left, kIconTextTop, kIconCell);
                onWave += OnWave(p, left, left + textWidth, waveHalfWidth, IconWave);
            });
            const size_t i = size_t(y) * size + x;
            plate[i] = double(inPlate) / (kSamples * kSamples);
            if (inPlate == 0) continue;
            lit[i] = double(onRim) / inPlate;
            text[i] = double(inText) / inPlate;
            wave[i] = double(onWave) / inPlate;
        }
    }
    const int radius = std::max(1, size / 32);
    const std::vector<double> glow = Blur(Blur(text, size, size, radius), size, size, radius);

    std::vector<uint8_t> rgba(pixels * 4);
    const Rgb glowColour = Hex(0xFF8C26), waveColour = Hex(0x5CD8CC);
    for (int y = 0; y < size; ++y) {
        const double down = (y + 0.5) / size;
        const double textDown = ((y + 0.5) * unit - kIconTextTop) / (textBottom - kIconTextTop);
        const Rgb face = Mix(Hex(0x38332D), Hex(0x16130F), down);
        const Rgb edge = Mix(Hex(0x9A9182), Hex(0x4A443B), down);
        const Rgb textColour = Mix(Hex(0xFFF6DA), Hex(0xFF9E38), textDown);
        for (int x = 0; x < size; ++x) {
            const size_t i = size_t(y) * size + x;
            if (plate[i] == 0) continue;  // transparent black
            Rgb c = Mix(face, edge, lit[i]);
            const double g = 0.6 * glow[i] * (1 - text[i]);
            c = {c.r + glowColour.r * g, c.g + glowColour.g * g, c.b + glowColour.b * g};
            c = Mix(Mix(c, textColour, text[i]), waveColour, wave[i]);
            uint8_t* p = &rgba[i * 4];
            p[0] = Channel(c.r);
            p[1] = Channel(c.g);
            p[2] = Channel(c.b);
            p[3] = Channel(plate[i]);
        }
    }
    return rgba;
}

void AddPair(std::vector<CFile>& files, const char* name, const char* maskName,
             const CImage& image) {
    files.push_back({name, BmpBytes(image, false)});
    files.push_back({maskName, BmpBytes(image, true)});
}

}  // namespace

std::vector<CFile> MakePictures() {
    std::vector<CFile> files;
    AddPair(files, NPicture::kCheckBoxOn, NPicture::kCheckBoxOnMask, CheckBox(true));
    AddPair(files, NPicture::kCheckBoxOff, NPicture::kCheckBoxOffMask, CheckBox(false));
    AddPair(files, NPicture::kTitleLogo, NPicture::kTitleLogoMask, Logo());
    return files;
}

std::vector<CFile> MakeIcons() {
    std::vector<CFile> files;
    for (int size : kIconSizes) {
        const std::string edge = std::to_string(size);
        files.push_back({"hicolor/" + edge + "x" + edge + "/apps/se-retimer.png",
                         PngBytes(size, size, IconPixels(size))});
    }
    return files;
}

}  // namespace NAssets
