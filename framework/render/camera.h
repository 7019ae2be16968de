// The orbit camera: a target point seen from a distance along a pitch and a yaw, with its
// view and projection matrices in the renderer's matrix block. The matrices are computed
// but the device never receives them: every frame is drawn from pre-transformed vertices.
#pragma once

#include <d3d8.h>

#include <cstdint>

namespace NVireo::N3D::NCamera {

// A camera aimed at a target point.
class BTargetType {
public:
    float targetX = 0.0f, targetY = 0.0f, targetZ = 0.0f;
    virtual ~BTargetType() = default;
};

namespace NSphere {

// A camera on a sphere around its target: pitch and yaw in degrees, distance in world
// units. The directions are unit vectors in world space.
class CObject : public BTargetType {
public:
    float pitch = 0.0f;
    float yaw = 0.0f;
    float distance = 1.0f;

    // (cos pitch sin yaw, -sin pitch, cos pitch cos yaw): from the camera to the target.
    virtual D3DVECTOR Forward() const;
    // (sin pitch sin yaw, cos pitch, sin pitch cos yaw).
    virtual D3DVECTOR Up() const;
    // (cos yaw, 0, -sin yaw).
    virtual D3DVECTOR Right() const;
};

}  // namespace NSphere

}  // namespace NVireo::N3D::NCamera

namespace NVireo::NDirectX::N3D {

// The camera values the program starts from (set by the boot scene).
struct CCameraSettings {
    float nearPlane = 0.1f;
    float farPlane = 50.0f;
    float pitchMin = -80.0f;
    float pitchMax = 80.0f;
    float distance = 5.0f;
    float pitch = 45.0f;
    float yaw = 0.0f;
    float targetX = 0.0f, targetY = 0.0f, targetZ = 0.0f;
};
CCameraSettings& CameraSettings();
// Puts the defaults above back into CameraSettings().
void SetCameraDefaults();

// The matrix block: five 4 x 4 matrices (320 bytes) in the renderer state.
enum ECameraMatrix : uint32_t {
    kCameraView = 0,            // world to camera
    kCameraProjection = 1,      // camera to clip space
    kCameraViewProjection = 2,  // the two in one
    kCameraRotation = 3,        // the view's rotation alone (yaw, then pitch)
    kCameraWorld = 4,           // camera to world: the inverse of the view
    kCameraMatrixCount = 5,
};

namespace NCamera::NSphere {

// The orbit camera of the Direct3D renderer.
class CBasic : public NVireo::N3D::NCamera::NSphere::CObject {
public:
    bool perspective = true;  // false: an orthographic projection

    // Takes the target, angles and distance from settings.
    void Apply(const CCameraSettings& settings);
    // Keeps the pitch within the settings' limits, then fills the matrix block (made
    // here when the renderer has not made it): the view is translation(-target) x
    // rotationY(-yaw) x rotationX(-pitch) x translation(0, 0, distance); the projection
    // spans a view of distance units high at the target, for the back buffer's aspect,
    // from the near to the far plane.
    void Update(const CCameraSettings& settings);
};

}  // namespace NCamera::NSphere

}  // namespace NVireo::NDirectX::N3D
