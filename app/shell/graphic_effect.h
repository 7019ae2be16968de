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

}  // namespace Camera

namespace Main {

// Fills Main::EffectHooks() and installs the pixel-shader probe the default states run.
void InstallEffectHooks();

}  // namespace Main
