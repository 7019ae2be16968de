// The title's scenes.
#include "app/scenes/title.h"

#include "framework/error/trace.h"
#include "framework/render/direct3d.h"

namespace Scene::Title {

void CStart::Draw() {
    SE_MARK();
    NVireo::NDirectX::N3D::Device().Clear(D3DCLEAR_TARGET, 1.0f);
}

void CStart::Update() {
    SE_MARK();
    GoToTitle();
}

void CMain::DrawScene() {
    SE_MARK();
    ClearBackBuffer();
}

}  // namespace Scene::Title
