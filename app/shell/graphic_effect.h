// The camera and the graphic effect as the program shell uses them: the orbit camera
// made at start-up, its defaults from the boot scene, and the effect resources built at
// start-up while an effect flag is on and released at shutdown.
#pragma once

#include "framework/render/camera.h"

namespace Camera {

// The program's orbit camera.
class CSphere : public NVireo::NDirectX::N3D::NCamera::NSphere::CBasic {};

// The camera; null before start-up made it and after shutdown.
CSphere* Current();
// Makes the camera (replacing one there is) with the current camera settings.
void Create();
// The boot scene's defaults, applied to the camera when there is one.
void SetDefaults();
// Deletes the camera.
void Delete();

}  // namespace Camera

namespace Main {

// Whether a graphic-effect flag is on (the effect state exists and has one set).
bool EffectsOn();
// Start-up: the effect state for the back buffer, built while a flag is on and the
// device can run it.
void BuildEffectTargets();
// Shutdown: the effect state and its targets, whether built at start-up or switched on
// later (nothing to do when never built).
void ReleaseEffectTargets();

}  // namespace Main
