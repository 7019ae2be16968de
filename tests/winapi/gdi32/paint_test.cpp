// gdi32 painting on a window DC: the start-up placeholder (a white client area and one
// line of text at (100, 100)) lands in the window surface, read back under SDL's dummy
// video driver.
#include <SDL.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "backend/gdi_bridge.h"
#include "backend/sdl/sdl_bridge.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// An SDL window under the dummy driver, registered under a made-up window handle (the
// painting code only needs the registry; user32 fills it for real windows).
class CPaintWindow {
public:
    CPaintWindow() {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        started_ = winapi::backend::StartSdlSubsystem(SDL_INIT_VIDEO);
        if (!started_) return;
        window_ = SDL_CreateWindow("gdi32 test", 0, 0, kWidth, kHeight, SDL_WINDOW_HIDDEN);
        if (window_ == nullptr) return;
        handle_ = reinterpret_cast<HWND>(&window_);
        winapi::backend::RegisterSdlWindow(handle_, window_);
        dc_ = winapi::backend::OpenWindowDc(handle_);
    }
    ~CPaintWindow() {
        if (dc_) {
            EXPECT_TRUE(winapi::backend::CloseWindowDc(handle_, dc_));
        }
        if (window_) {
            winapi::backend::UnregisterSdlWindow(handle_);
            SDL_DestroyWindow(window_);
        }
    }
    CPaintWindow(const CPaintWindow&) = delete;
    CPaintWindow& operator=(const CPaintWindow&) = delete;

    bool Ready() const { return dc_ != nullptr; }
    HDC dc() const { return dc_; }
    HWND handle() const { return handle_; }

    // The surface's pixel at (x, y) as 0xRRGGBB.
    uint32_t Pixel(int x, int y) const {
        SDL_Surface* surface = SDL_GetWindowSurface(window_);
        EXPECT_EQ(surface->format->BytesPerPixel, 4);
        uint32_t value;
        std::memcpy(&value,
                    static_cast<const uint8_t*>(surface->pixels) + y * surface->pitch + x * 4, 4);
        Uint8 r, g, b;
        SDL_GetRGB(value, surface->format, &r, &g, &b);
        return uint32_t(r) << 16 | uint32_t(g) << 8 | b;
    }

private:
    bool started_ = false;
    SDL_Window* window_ = nullptr;
    HWND handle_ = nullptr;
    HDC dc_ = nullptr;
};

struct CCount {
    int white = 0, black = 0, grey = 0, other = 0;
};

CCount CountIn(const CPaintWindow& window, const RECT& box) {
    CCount count;
    for (int y = box.top; y < box.bottom; ++y) {
        for (int x = box.left; x < box.right; ++x) {
            const uint32_t pixel = window.Pixel(x, y);
            if (pixel == 0xFFFFFF) {
                ++count.white;
            } else if (pixel == 0x000000) {
                ++count.black;
            } else if (pixel == 0xC0C0C0) {
                ++count.grey;
            } else {
                ++count.other;
            }
        }
    }
    return count;
}

// The box a line of text occupies when drawn at (x, y) with the DC's font.
RECT TextBox(HDC dc, int x, int y, const char* text) {
    TEXTMETRICA metrics{};
    EXPECT_TRUE(GetTextMetricsA(dc, &metrics));
    const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    LONG width = 0;
    for (const char* p = text; *p; ++p) {
        GLYPHMETRICS glyph{};
        EXPECT_NE(GetGlyphOutlineA(dc, static_cast<unsigned char>(*p), GGO_METRICS, &glyph, 0,
                                   nullptr, &identity),
                  GDI_ERROR);
        width += glyph.gmCellIncX;
    }
    return RECT{x, y, x + width, y + metrics.tmHeight};
}

TEST(Gdi32Paint, PlaceholderIsWhiteWithDarkTextAtItsPlace) {
    CPaintWindow window;
    ASSERT_TRUE(window.Ready()) << SDL_GetError();
    const RECT client{0, 0, kWidth, kHeight};
    ASSERT_NE(FillRect(window.dc(), &client, GetStockObject(WHITE_BRUSH)), 0);
    EXPECT_EQ(SetBkMode(window.dc(), TRANSPARENT), OPAQUE);
    const char* text = "Loading 100000";
    ASSERT_TRUE(TextOutA(window.dc(), 100, 100, text, static_cast<int>(std::strlen(text))));

    const RECT box = TextBox(window.dc(), 100, 100, text);
    const CCount inside = CountIn(window, box);
    EXPECT_GT(inside.black, 100) << "the text is drawn";
    EXPECT_GT(inside.white, inside.black) << "with a transparent background";
    EXPECT_EQ(inside.other, 0) << "1-bit glyphs: ink or paper";
    // Nothing outside the text's box changed.
    const CCount above = CountIn(window, RECT{0, 0, kWidth, box.top});
    const CCount left = CountIn(window, RECT{0, box.top, box.left, box.bottom});
    const CCount right = CountIn(window, RECT{box.right, box.top, kWidth, box.bottom});
    const CCount below = CountIn(window, RECT{0, box.bottom, kWidth, kHeight});
    EXPECT_EQ(above.white, kWidth * box.top);
    EXPECT_EQ(left.white, box.left * (box.bottom - box.top));
    EXPECT_EQ(right.white, (kWidth - box.right) * (box.bottom - box.top));
    EXPECT_EQ(below.white, kWidth * (kHeight - box.bottom));
}

TEST(Gdi32Paint, OpaqueTextPaintsItsCellsTransparentTextDoesNot) {
    CPaintWindow window;
    ASSERT_TRUE(window.Ready()) << SDL_GetError();
    const RECT client{0, 0, kWidth, kHeight};
    ASSERT_NE(FillRect(window.dc(), &client, GetStockObject(LTGRAY_BRUSH)), 0);
    // Double-byte text: "再生" (0x8DC4 0x90B6).
    const char text[] = "\x8D\xC4\x90\xB6";
    SetBkMode(window.dc(), TRANSPARENT);
    ASSERT_TRUE(TextOutA(window.dc(), 10, 10, text, 4));
    const CCount transparent = CountIn(window, RECT{10, 10, 80, 40});
    EXPECT_GT(transparent.black, 20);
    EXPECT_EQ(transparent.white, 0);

    SetBkMode(window.dc(), OPAQUE);
    SetTextColor(window.dc(), RGB(0, 0, 0));
    ASSERT_TRUE(TextOutA(window.dc(), 10, 200, text, 4));
    TEXTMETRICA metrics{};
    ASSERT_TRUE(GetTextMetricsA(window.dc(), &metrics));
    const CCount opaque =
        CountIn(window, RECT{10, 200, 10 + 4 * metrics.tmAveCharWidth, 200 + metrics.tmHeight});
    EXPECT_GT(opaque.white, 0);
    EXPECT_EQ(opaque.grey, 0) << "two full-width cells are painted white";
    EXPECT_EQ(window.Pixel(10 + 4 * metrics.tmAveCharWidth, 200), 0xC0C0C0u);
}

TEST(Gdi32Paint, WindowDcsBelongToTheirWindow) {
    CPaintWindow window;
    ASSERT_TRUE(window.Ready()) << SDL_GetError();
    HWND other = reinterpret_cast<HWND>(&window);
    EXPECT_FALSE(winapi::backend::CloseWindowDc(other, window.dc()));
    EXPECT_FALSE(DeleteDC(window.dc())) << "a window DC is released, not deleted";
    HDC memory = CreateCompatibleDC(nullptr);
    EXPECT_FALSE(winapi::backend::CloseWindowDc(window.handle(), memory));
    // A memory DC has no bitmap to draw on: drawing succeeds and changes nothing.
    const RECT all{0, 0, kWidth, kHeight};
    EXPECT_NE(FillRect(memory, &all, GetStockObject(BLACK_BRUSH)), 0);
    EXPECT_TRUE(DeleteDC(memory));
    // A DC whose window is gone cannot paint.
    HDC orphan = winapi::backend::OpenWindowDc(other);
    EXPECT_EQ(FillRect(orphan, &all, GetStockObject(BLACK_BRUSH)), 0);
    EXPECT_TRUE(winapi::backend::CloseWindowDc(other, orphan));
}

}  // namespace
