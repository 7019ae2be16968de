// Device-context holders: what they hold is given back exactly once, and a failure is
// reported instead of passing unnoticed.
#include <gtest/gtest.h>
#include <windows.h>

#include "framework/window/device_context.h"
#include "support/test_support.h"
#include "support/user32_support.h"

namespace {

using namespace user32_test;
using NVireo::NDeviceContext::CCompatriot;
using NVireo::NDeviceContext::CObject;
using NVireo::NDeviceContext::CWindow;

using DeviceContexts = WindowTest;

TEST_F(DeviceContexts, HoldersGiveBackWhatTheyHoldOnce) {
    HWND window = Make();
    HDC given;
    {
        CWindow dc(window);
        ASSERT_NE(dc.dc, nullptr);
        given = dc.dc;
        dc.Acquire(window);  // a second acquire releases the first DC
        EXPECT_EQ(ReleaseDC(window, given), 0) << "already released";
        given = dc.dc;
    }
    EXPECT_EQ(ReleaseDC(window, given), 0) << "released with the holder";

    HFONT font;
    {
        CCompatriot memory;
        ASSERT_NE(memory.dc, nullptr);
        LOGFONTA request{};
        request.lfHeight = 16;
        request.lfCharSet = SHIFTJIS_CHARSET;
        request.lfPitchAndFamily = FF_MODERN;
        font = CreateFontIndirectA(&request);
        ASSERT_NE(font, nullptr);
        CObject holder(font);
        EXPECT_NE(SelectObject(memory.dc, font), nullptr);
    }
    EXPECT_FALSE(DeleteObject(font)) << "deleted with the holder";
}

TEST_F(DeviceContexts, FailuresAreReported) {
    {
        RaisePolicy policy;  // Raise throws
        EXPECT_THROW(CWindow dc(nullptr), NVireo::NError::CObject);
    }
    RaisePolicy policy;
    CObject stale;
    stale.handle = reinterpret_cast<HGDIOBJ>(0x7);
    EXPECT_THROW(stale.Release(), NVireo::NError::CObject);
    EXPECT_EQ(stale.handle, nullptr) << "not released twice";
}

}  // namespace
