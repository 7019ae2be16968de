// The camera and the graphic effect hooks (see effect_hooks.h).
#include "app/effect_hooks.h"

#include "app/later_parts.h"
#include "framework/error/trace.h"
#include "framework/render/direct3d.h"
#include "framework/render/effects.h"

namespace Camera {

namespace {

// Made at start-up and deleted at shutdown; a plain pointer, so nothing runs at exit.
CSphere* camera = nullptr;

void Create() {
    SE_MARK();
    delete camera;
    camera = new CSphere;
    camera->Apply(NVireo::NDirectX::N3D::CameraSettings());
    camera->Update(NVireo::NDirectX::N3D::CameraSettings());
}

void SetDefaults() {
    SE_MARK();
    NVireo::NDirectX::N3D::SetCameraDefaults();
    if (camera == nullptr) return;
    camera->Apply(NVireo::NDirectX::N3D::CameraSettings());
    camera->Update(NVireo::NDirectX::N3D::CameraSettings());
}

void Delete() {
    SE_MARK();
    delete camera;
    camera = nullptr;
}

}  // namespace

CSphere* Current() { return camera; }

}  // namespace Camera

namespace Main {

namespace {

namespace N3D = NVireo::NDirectX::N3D;

bool EffectsOn() {
    SE_MARK();
    const N3D::CEffectState* state = N3D::EffectState();
    return state != nullptr && state->AnyFlag();
}

// Start-up: the effect state for the back buffer, built while a flag is on and the
// device can run it.
void BuildTargets() {
    SE_MARK();
    N3D::CEffectState& state = N3D::CreateEffectState();
    if (!state.AnyFlag() || !N3D::CanUseEffect()) return;
    state.Build(N3D::PresentParameters().BackBufferWidth,
                N3D::PresentParameters().BackBufferHeight);
}

void ReleaseTargets() {
    SE_MARK();
    N3D::DeleteEffectState();
}

}  // namespace

void InstallEffectHooks() {
    SE_MARK();
    N3D::InstallPixelShaderProbe();
    CEffectHooks& hooks = EffectHooks();
    hooks.createCamera = Camera::Create;
    hooks.setCameraDefaults = Camera::SetDefaults;
    hooks.deleteCamera = Camera::Delete;
    hooks.effectsOn = EffectsOn;
    hooks.buildTargets = BuildTargets;
    hooks.releaseTargets = ReleaseTargets;
}

}  // namespace Main
