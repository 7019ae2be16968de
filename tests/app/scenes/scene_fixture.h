// The setting of the tests that run the workspace and the wait screens in-process: Raise
// throws, a temporary folder, the built package, the headless device, and an empty clip
// state before and after each test. Scenes still open at the end are ended. Also the
// clip state's snapshot that tests compare before and after.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/scenes/undo.h"
#include "app/shell/scene.h"
#include "framework/platform/home.h"
#include "framework/render/direct3d.h"
#include "sound/clip.h"
#include "support/headless_device.h"
#include "support/test_support.h"

namespace scene_test {

// An empty clip state: no format, no samples, no metadata, not loaded, no duration, no
// paths and no step back or forward.
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

inline std::vector<uint8_t> ClipBytes(const CSoundClip& clip) {
    return std::vector<uint8_t>(clip.data.data, clip.data.data + clip.data.length);
}

// What the workspace shows of the clip state, to compare before and after a job or a
// command that must leave it alone.
struct Snapshot {
    bool loaded;
    uint32_t durationMs;
    std::string filePath;
    CSoundFormat format;
    std::vector<uint8_t> data;
    CMetaChunks chunks;

    static Snapshot Take() {
        const CClipState& s = SharedClipState();
        return {s.loaded,        s.currentDurationMs, s.currentFilePath,
                s.clip.Format(), ClipBytes(s.clip),   s.clip.chunks};
    }
    bool operator==(const Snapshot& other) const {
        return loaded == other.loaded && durationMs == other.durationMs &&
               filePath == other.filePath &&
               std::memcmp(&format, &other.format, sizeof format) == 0 && data == other.data &&
               chunks == other.chunks;
    }
    void ExpectCurrent() const {
        const Snapshot now = Take();
        EXPECT_EQ(now.loaded, loaded);
        EXPECT_EQ(now.durationMs, durationMs);
        EXPECT_EQ(now.filePath, filePath);
        EXPECT_EQ(std::memcmp(&now.format, &format, sizeof format), 0);
        EXPECT_EQ(now.data, data);
        EXPECT_TRUE(now.chunks == chunks);
    }
};

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
