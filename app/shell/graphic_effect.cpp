// The camera and the graphic effect as the program shell uses them.
#include "app/shell/graphic_effect.h"

#include "framework/error/trace.h"
#include "framework/render/direct3d.h"
#include "framework/render/effects.h"

namespace Camera {

namespace {

// Made at start-up and deleted at shutdown; a plain pointer, so nothing runs at exit.
CSphere* camera = nullptr;

}  // namespace

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

CSphere* Current() { return camera; }

}  // namespace Camera

namespace Main {

namespace N3D = NVireo::NDirectX::N3D;

bool EffectsOn() {
    SE_MARK();
    const N3D::CEffectState* state = N3D::EffectState();
    return state != nullptr && state->AnyFlag();
}

void BuildEffectTargets() {
    SE_MARK();
    N3D::CEffectState& state = N3D::CreateEffectState();
    if (!state.AnyFlag() || !N3D::CanUseEffect()) return;
    state.Build(N3D::PresentParameters().BackBufferWidth,
                N3D::PresentParameters().BackBufferHeight);
}

void ReleaseEffectTargets() {
    SE_MARK();
    N3D::DeleteEffectState();
}

}  // namespace Main
