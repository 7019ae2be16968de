// What the label, description-box and help-line drawing tests share: a headless
// 640 x 480 device, one frame drawn on black and read back, colour probes, and a clock the
// tests move by hand.
#pragma once

#include <d3d8_seams.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

#include "app/gui/description_box.h"
#include "app/shell/frame_timer.h"
#include "framework/error/error.h"
#include "framework/render/direct3d.h"
#include "support/headless_device.h"
#include "support/test_support.h"

namespace gui_render {

namespace N3D = NVireo::NDirectX::N3D;

// The clock the help line's stopwatch reads, in milliseconds.
inline uint32_t& FakeNow() {
    static uint32_t now = 0;
    return now;
}

// A colour drawn with alpha over black: each channel times alpha / 255.
inline uint32_t OverBlack(uint32_t argb) {
    const uint32_t alpha = argb >> 24;
    uint32_t rgb = 0;
    for (int shift : {0, 8, 16}) rgb |= (((argb >> shift) & 0xFF) * alpha / 255) << shift;
    return rgb;
}

using headless::ColorDistance;

class Frame : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(headless::StartDevice()) << NVireo::NError::Record().message;
        FakeNow() = 0;
        ::Main::FrameTimer().time.now = [] { return FakeNow(); };
        Help::Normal::ClearAll();
    }
    void TearDown() override {
        Help::Normal::ClearAll();
        // The boxes outlive the device: their characters are made again on the next one.
        for (Help::Normal::CInterface* box :
             {&Help::Normal::SharedBox(), &Help::Normal::SecondBox()}) {
            box->mode = 0;
            dynamic_cast<Help::Normal::CBasic&>(*box).set.ClearAll();
        }
        ::Main::FrameTimer().time.now = ::Main::ProcessClock;
        N3D::StopRenderer();
    }

    // One frame on black with draw's drawing; the target is kept for At.
    void Draw(const std::function<void()>& draw) {
        ASSERT_TRUE(N3D::Device().BeginScene());
        N3D::ApplyDefaultStates();
        N3D::Device().ClearAll();
        draw();
        ASSERT_TRUE(N3D::Device().EndScene());
        UINT w = 0, h = 0;
        target_ = SeReadRenderTarget(N3D::Device().Get(), &w, &h);
        ASSERT_EQ(w, N3D::kBackBufferWidth);
        ASSERT_EQ(h, N3D::kBackBufferHeight);
    }
    // 0xRRGGBB at (x, y) of the last frame.
    uint32_t At(int32_t x, int32_t y) const {
        return target_.at(static_cast<size_t>(y) * N3D::kBackBufferWidth + static_cast<size_t>(x)) &
               0xFFFFFFu;
    }
    // Whether any pixel of the rectangle (right and bottom exclusive) is near colour.
    bool AnyNear(int32_t left, int32_t top, int32_t right, int32_t bottom, uint32_t color) const {
        for (int32_t y = top; y < bottom; ++y)
            for (int32_t x = left; x < right; ++x)
                if (ColorDistance(At(x, y), color) <= 2) return true;
        return false;
    }
    // Rows of the rectangle holding a pixel near colour: the first and one past the last
    // ({0, 0} when none does).
    std::pair<int32_t, int32_t> RowsNear(int32_t left, int32_t top, int32_t right, int32_t bottom,
                                         uint32_t color) const {
        int32_t first = -1, last = -1;
        for (int32_t y = top; y < bottom; ++y)
            for (int32_t x = left; x < right; ++x)
                if (ColorDistance(At(x, y), color) <= 2) {
                    if (first < 0) first = y;
                    last = y;
                }
        return first < 0 ? std::pair<int32_t, int32_t>{0, 0}
                         : std::pair<int32_t, int32_t>{first, last + 1};
    }

    RaisePolicy policy_;
    std::vector<DWORD> target_;
};

}  // namespace gui_render
