// The setting of the tests that run the workspace and the wait screens in-process: Raise
// throws, a temporary folder, the built package, the headless device, and an empty clip
// state before and after each test. Scenes still open at the end are ended.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/scenes/undo.h"
#include "app/shell/scene.h"
#include "framework/platform/home.h"
#include "framework/render/direct3d.h"
#include "sound/clip.h"
#include "support/headless_device.h"
#include "support/test_support.h"

namespace scene_test {

// An empty clip state with no step back or forward.
inline void ResetClipState() {
    CClipState& s = SharedClipState();
    s.clip.Format() = CSoundFormat{};
    s.clip.data.Clear();
    s.clip.chunks.clear();
    s.loaded = false;
    s.currentDurationMs = s.requestedDurationMs = 0;
    s.jobPath.clear();
    s.currentFilePath.clear();
    Scene::Main::Undo::Forget();
}

class HeadlessSceneTest : public ::testing::Test {
protected:
    RaisePolicy throwing;
    TempFolder folder;
    std::string previousHome = NVireo::NFile::HomeFolder();

    void SetUp() override {
        // Widgets take their texts and pictures from the built package beside the test
        // program.
        headless::OpenProgramPackage(previousHome);
        ASSERT_TRUE(headless::StartDevice());
        ResetClipState();
    }
    void TearDown() override {
        Scene::EndScenes();
        ResetClipState();
        NVireo::NDirectX::N3D::StopRenderer();
    }
};

}  // namespace scene_test
