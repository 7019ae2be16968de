// The graphic effect and the camera on the headless device: the pixel-shader probe
// answering as the device supports, the effect's resources built and freed as the
// setting changes (also across a device reset), their sizes, the orbit camera's matrix
// block, and the hooks the program shell calls.
#include "framework/render/effects.h"

#include <d3d8_seams.h>
#include <d3dx8math.h>
#include <gtest/gtest.h>

#include <cmath>

#include "app/shell/graphic_effect.h"
#include "framework/render/camera.h"
#include "framework/render/direct3d.h"
#include "support/headless_device.h"
#include "support/test_support.h"

namespace {

using namespace NVireo::NDirectX::N3D;

class RenderEffects : public testing::Test {
protected:
    void SetUp() override {
        InstallPixelShaderProbe();
        ASSERT_TRUE(headless::StartDevice());
        baseTextures_ = SeDefaultPoolCount(Device().Get());
    }
    void TearDown() override {
        DeleteEffectState();
        StopRenderer();
        SetPixelShaderProbe(nullptr);
    }

    UINT Textures() const { return SeDefaultPoolCount(Device().Get()) - baseTextures_; }
    static UINT Shaders() { return SePixelShaderCount(Device().Get()); }

    RaisePolicy policy_;
    UINT baseTextures_ = 0;
};

// Seven levels of two targets and three screen targets.
constexpr UINT kEffectTextures = 7 * 2 + 3;

TEST_F(RenderEffects, TheProbeAnswersAsTheDeviceSupports) {
    EXPECT_TRUE(RendererState().pixelShaders) << "the default states ran the probe";
    EXPECT_EQ(ProbeReason(), 0u);
    EXPECT_EQ(Shaders(), 0u) << "the probe gives its shader back";
    DWORD current = 1;
    Device().Get()->GetPixelShader(&current);
    EXPECT_EQ(current, 0u);
    EXPECT_TRUE(CanUseEffect());

    ASSERT_TRUE(SeWithoutPixelShaders(Device().Get(), TRUE));
    ApplyDefaultStates();
    EXPECT_FALSE(RendererState().pixelShaders);
    EXPECT_EQ(ProbeReason(), static_cast<uint32_t>(kProbeCreate));
    EXPECT_FALSE(CanUseEffect());
    // Turning the effect on changes nothing but the flag.
    SetGraphicEffect(true);
    EXPECT_TRUE(GraphicEffectOn());
    EXPECT_FALSE(EffectState()->initialised);
    EXPECT_EQ(Textures(), 0u);
    EXPECT_EQ(Shaders(), 0u);
    SetGraphicEffect(false);

    // The device runs them again; without a probe installed the answer is no.
    ASSERT_TRUE(SeWithoutPixelShaders(Device().Get(), FALSE));
    ApplyDefaultStates();
    EXPECT_TRUE(RendererState().pixelShaders);
    SetPixelShaderProbe(nullptr);
    ApplyDefaultStates();
    EXPECT_FALSE(RendererState().pixelShaders);
    EXPECT_FALSE(CanUseEffect());
}

TEST_F(RenderEffects, LevelsHalveFromTheBackBufferDownToTenBySeven) {
    SetGraphicEffect(true);
    const CEffectState* state = EffectState();
    ASSERT_NE(state, nullptr);
    EXPECT_TRUE(state->initialised);
    const uint32_t sizes[7][2] = {{640, 480}, {320, 240}, {160, 120}, {80, 60},
                                  {40, 30},   {20, 15},   {10, 7}};
    for (int i = 0; i < CEffectState::kLevels; ++i) {
        for (const NTexture::NOffScreen::CReCreateOnly& target : state->levels[i].targets) {
            EXPECT_FALSE(target.IsNull()) << i;
            D3DSURFACE_DESC desc;
            ASSERT_EQ(target.Get()->GetLevelDesc(0, &desc), D3D_OK);
            EXPECT_EQ(desc.Width, sizes[i][0]) << i;
            EXPECT_EQ(desc.Height, sizes[i][1]) << i;
            EXPECT_EQ(desc.Usage, static_cast<DWORD>(D3DUSAGE_RENDERTARGET));
            EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
        }
        // The level's quad spans one pixel more each way; right-bottom is the second corner.
        EXPECT_EQ(state->levels[i].quad[1].x, static_cast<float>(sizes[i][0] + 1)) << i;
        EXPECT_EQ(state->levels[i].quad[1].y, static_cast<float>(sizes[i][1] + 1)) << i;
    }
    for (const NTexture::NOffScreen::CReCreateOnly& target : state->screenTargets) {
        EXPECT_EQ(target.width, 640u);
        EXPECT_EQ(target.height, 480u);
    }
    EXPECT_EQ(state->screenQuad[1].x, 640.0f);
    EXPECT_EQ(state->screenQuad[1].u, 1.0f);
    EXPECT_EQ(state->screenQuad[2].x, 0.0f);
    EXPECT_EQ(state->shiftedQuad[2].x, -1.0f);
    EXPECT_EQ(state->shiftedQuad[1].y, 479.0f);
    EXPECT_EQ(state->fullScreenRect[1].y, 480.0f);
    EXPECT_TRUE(state->shaders[0].Exists());
    EXPECT_TRUE(state->shaders[1].Exists());
    EXPECT_EQ(Textures(), kEffectTextures);
    EXPECT_EQ(Shaders(), 2u);
}

TEST_F(RenderEffects, TurningTheEffectOnAndOffMakesAndFreesTheSameResources) {
    for (int round = 0; round < 4; ++round) {
        SetGraphicEffect(true);
        EXPECT_EQ(Textures(), kEffectTextures) << round;
        EXPECT_EQ(Shaders(), 2u) << round;
        SetGraphicEffect(true);  // on again: rebuilt, not doubled
        EXPECT_EQ(Textures(), kEffectTextures) << round;
        EXPECT_EQ(Shaders(), 2u) << round;
        SetGraphicEffect(false);
        EXPECT_FALSE(GraphicEffectOn());
        EXPECT_FALSE(EffectState()->initialised);
        EXPECT_EQ(Textures(), 0u) << round;
        EXPECT_EQ(Shaders(), 0u) << round;
    }
    // A second effect flag keeps the resources while the setting is off.
    SetGraphicEffect(true);
    EffectState()->flags[1] = 1;
    SetGraphicEffect(false);
    EXPECT_EQ(Textures(), kEffectTextures);
    EffectState()->flags[1] = 0;
    SetGraphicEffect(false);
    EXPECT_EQ(Textures(), 0u);
    DeleteEffectState();
    EXPECT_EQ(EffectState(), nullptr);
}

TEST_F(RenderEffects, TheResourcesComeBackAfterADeviceReset) {
    SetGraphicEffect(true);
    const DWORD crossFade = EffectState()->shaders[1].handle;
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(SeForceDeviceLoss(Device().Get(), 0));
        EXPECT_TRUE(Device().TestCooperativeLevel()) << NVireo::NError::Record().message;
        EXPECT_EQ(Textures(), kEffectTextures) << round;
        EXPECT_EQ(Shaders(), 2u) << round;
        for (const CEffectLevel& level : EffectState()->levels) {
            EXPECT_FALSE(level.targets[0].IsNull());
            EXPECT_FALSE(level.targets[1].IsNull());
        }
        EXPECT_EQ(Device().Get()->SetPixelShader(crossFade), D3D_OK)
            << "the shaders outlive the reset";
        EXPECT_EQ(Device().Get()->SetPixelShader(0), D3D_OK);
    }
    SetGraphicEffect(false);
    EXPECT_EQ(Textures(), 0u);
    EXPECT_EQ(Shaders(), 0u);
    // Off across a reset: nothing comes back.
    ASSERT_TRUE(SeForceDeviceLoss(Device().Get(), 0));
    EXPECT_TRUE(Device().TestCooperativeLevel());
    EXPECT_EQ(Textures(), 0u);
}

// Row vector times matrix.
D3DVECTOR Apply(const D3DMATRIX& m, float x, float y, float z, float* wOut = nullptr) {
    const float v[4] = {x, y, z, 1.0f};
    float out[4];
    for (int c = 0; c < 4; ++c)
        out[c] = v[0] * m.m[0][c] + v[1] * m.m[1][c] + v[2] * m.m[2][c] + v[3] * m.m[3][c];
    if (wOut) *wOut = out[3];
    return {out[0], out[1], out[2]};
}

TEST_F(RenderEffects, TheOrbitCameraLooksAtItsTargetFromItsDistance) {
    SetCameraDefaults();
    CCameraSettings settings = CameraSettings();
    EXPECT_EQ(settings.distance, 5.0f);
    EXPECT_EQ(settings.pitch, 45.0f);
    settings.targetX = 1.0f;
    settings.targetY = 2.0f;
    settings.targetZ = 3.0f;
    settings.yaw = 30.0f;
    NCamera::NSphere::CBasic camera;
    camera.Apply(settings);
    camera.Update(settings);
    const std::vector<D3DMATRIX>& block = RendererState().cameraMatrices;
    ASSERT_EQ(block.size(), static_cast<size_t>(kCameraMatrixCount));
    EXPECT_EQ(block.size() * sizeof(D3DMATRIX), 320u);

    // The target lies straight ahead at the distance; the camera's place is the origin.
    const D3DVECTOR target = Apply(block[kCameraView], 1, 2, 3);
    EXPECT_NEAR(target.x, 0.0f, 1e-5);
    EXPECT_NEAR(target.y, 0.0f, 1e-5);
    EXPECT_NEAR(target.z, 5.0f, 1e-5);
    const D3DVECTOR forward = camera.Forward();
    const D3DVECTOR eye = {1 - 5 * forward.x, 2 - 5 * forward.y, 3 - 5 * forward.z};
    const D3DVECTOR atEye = Apply(block[kCameraView], eye.x, eye.y, eye.z);
    EXPECT_NEAR(atEye.x, 0.0f, 1e-4);
    EXPECT_NEAR(atEye.y, 0.0f, 1e-4);
    EXPECT_NEAR(atEye.z, 0.0f, 1e-4);
    EXPECT_GT(eye.y, 2.0f) << "a positive pitch looks down";
    // The up and right directions become the view's y and x axes; world undoes view.
    const D3DVECTOR up = camera.Up(), right = camera.Right();
    const D3DVECTOR upInView = Apply(block[kCameraRotation], up.x, up.y, up.z);
    const D3DVECTOR rightInView = Apply(block[kCameraRotation], right.x, right.y, right.z);
    EXPECT_NEAR(upInView.y, 1.0f, 1e-5);
    EXPECT_NEAR(rightInView.x, 1.0f, 1e-5);
    D3DXMATRIX roundTrip;
    D3DXMatrixMultiply(&roundTrip, static_cast<const D3DXMATRIX*>(&block[kCameraView]),
                       static_cast<const D3DXMATRIX*>(&block[kCameraWorld]));
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(roundTrip.m[r][c], r == c ? 1.0f : 0.0f, 1e-5);
    }

    // Both projections put the target at the centre and a point distance / 2 above it
    // (in the view) on the top edge.
    for (bool perspective : {true, false}) {
        camera.perspective = perspective;
        camera.Update(settings);
        float w = 0;
        const D3DVECTOR centre = Apply(block[kCameraViewProjection], 1, 2, 3, &w);
        EXPECT_NEAR(centre.x / w, 0.0f, 1e-5) << perspective;
        EXPECT_NEAR(centre.y / w, 0.0f, 1e-5) << perspective;
        const D3DVECTOR top = Apply(block[kCameraProjection], 0, 2.5f, 5, &w);
        EXPECT_NEAR(top.y / w, 1.0f, 1e-5) << perspective;
        const D3DVECTOR nearest = Apply(block[kCameraProjection], 0, 0, settings.nearPlane, &w);
        EXPECT_NEAR(nearest.z / w, 0.0f, 1e-5) << perspective;
    }

    // The pitch stays within its limits.
    camera.pitch = 100.0f;
    camera.Update(settings);
    EXPECT_EQ(camera.pitch, 80.0f);
    camera.pitch = -95.0f;
    camera.Update(settings);
    EXPECT_EQ(camera.pitch, -80.0f);
}

TEST_F(RenderEffects, TheShellMakesTheCameraAndTheEffect) {
    RendererState().cameraMatrices.clear();
    Camera::Create();
    ASSERT_NE(Camera::Current(), nullptr);
    EXPECT_EQ(RendererState().cameraMatrices.size(), static_cast<size_t>(kCameraMatrixCount));
    CameraSettings().distance = 9.0f;
    Camera::SetDefaults();
    EXPECT_EQ(Camera::Current()->distance, 5.0f);

    // Off at start-up: nothing is built.
    EXPECT_FALSE(Main::EffectsOn());
    Main::BuildEffectTargets();
    EXPECT_EQ(Textures(), 0u);
    SetGraphicEffect(true);
    EXPECT_TRUE(Main::EffectsOn());
    EXPECT_EQ(Textures(), kEffectTextures);
    Main::ReleaseEffectTargets();
    EXPECT_EQ(EffectState(), nullptr);
    EXPECT_EQ(Textures(), 0u);
    EXPECT_EQ(Shaders(), 0u);
    Camera::Delete();
    EXPECT_EQ(Camera::Current(), nullptr);
}

}  // namespace
