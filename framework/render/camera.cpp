// The orbit camera and its matrix block (see camera.h).
#include "framework/render/camera.h"

#include <d3dx8math.h>

#include <algorithm>
#include <cmath>

#include "framework/error/trace.h"
#include "framework/render/direct3d.h"

namespace NVireo::N3D::NCamera::NSphere {

namespace {

constexpr float kRadiansPerDegree = 3.14159265358979f / 180.0f;

}  // namespace

D3DVECTOR CObject::Forward() const {
    const float p = pitch * kRadiansPerDegree, y = yaw * kRadiansPerDegree;
    return {std::cos(p) * std::sin(y), -std::sin(p), std::cos(p) * std::cos(y)};
}

D3DVECTOR CObject::Up() const {
    const float p = pitch * kRadiansPerDegree, y = yaw * kRadiansPerDegree;
    return {std::sin(p) * std::sin(y), std::cos(p), std::sin(p) * std::cos(y)};
}

D3DVECTOR CObject::Right() const {
    const float y = yaw * kRadiansPerDegree;
    return {std::cos(y), 0.0f, -std::sin(y)};
}

}  // namespace NVireo::N3D::NCamera::NSphere

namespace NVireo::NDirectX::N3D {

CCameraSettings& CameraSettings() {
    static CCameraSettings settings;
    return settings;
}

void SetCameraDefaults() {
    SE_MARK();
    CameraSettings() = CCameraSettings{};
}

namespace NCamera::NSphere {

namespace {

constexpr float kRadiansPerDegree = 3.14159265358979f / 180.0f;

}  // namespace

void CBasic::Apply(const CCameraSettings& settings) {
    SE_MARK();
    targetX = settings.targetX;
    targetY = settings.targetY;
    targetZ = settings.targetZ;
    pitch = settings.pitch;
    yaw = settings.yaw;
    distance = settings.distance;
}

void CBasic::Update(const CCameraSettings& settings) {
    SE_MARK();
    pitch = std::clamp(pitch, settings.pitchMin, settings.pitchMax);
    const float p = pitch * kRadiansPerDegree, y = yaw * kRadiansPerDegree;

    D3DXMATRIX toTarget, turn, tilt, back, rotation, view;
    D3DXMatrixTranslation(&toTarget, -targetX, -targetY, -targetZ);
    D3DXMatrixRotationY(&turn, -y);
    D3DXMatrixRotationX(&tilt, -p);
    D3DXMatrixTranslation(&back, 0.0f, 0.0f, distance);
    D3DXMatrixMultiply(&rotation, &turn, &tilt);
    D3DXMatrixMultiply(&view, &toTarget, &rotation);
    D3DXMatrixMultiply(&view, &view, &back);

    // The camera's place and orientation in the world: the view undone step by step.
    D3DXMATRIX forth, untilt, unturn, fromTarget, world;
    D3DXMatrixTranslation(&forth, 0.0f, 0.0f, -distance);
    D3DXMatrixRotationX(&untilt, p);
    D3DXMatrixRotationY(&unturn, y);
    D3DXMatrixTranslation(&fromTarget, targetX, targetY, targetZ);
    D3DXMatrixMultiply(&world, &forth, &untilt);
    D3DXMatrixMultiply(&world, &world, &unturn);
    D3DXMatrixMultiply(&world, &world, &fromTarget);

    // The view shows distance units from top to bottom at the target, which is distance
    // away: half the field of view has the tangent (distance / 2) / distance.
    const D3DPRESENT_PARAMETERS& screen = PresentParameters();
    const float aspect = screen.BackBufferWidth != 0 && screen.BackBufferHeight != 0
                             ? static_cast<float>(screen.BackBufferWidth) /
                                   static_cast<float>(screen.BackBufferHeight)
                             : 4.0f / 3.0f;
    D3DXMATRIX projection;
    if (perspective) {
        const float fovy = 2.0f * std::atan(0.5f);
        D3DXMatrixPerspectiveFovLH(&projection, fovy, aspect, settings.nearPlane,
                                   settings.farPlane);
    } else {
        D3DXMatrixOrthoLH(&projection, distance * aspect, distance, settings.nearPlane,
                          settings.farPlane);
    }
    D3DXMATRIX viewProjection;
    D3DXMatrixMultiply(&viewProjection, &view, &projection);

    std::vector<D3DMATRIX>& block = RendererState().cameraMatrices;
    if (block.size() != kCameraMatrixCount) block.assign(kCameraMatrixCount, D3DMATRIX{});
    block[kCameraView] = view;
    block[kCameraProjection] = projection;
    block[kCameraViewProjection] = viewProjection;
    block[kCameraRotation] = rotation;
    block[kCameraWorld] = world;
}

}  // namespace NCamera::NSphere

}  // namespace NVireo::NDirectX::N3D
