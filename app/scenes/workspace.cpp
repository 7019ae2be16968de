// The workspace scene.
#include "app/scenes/workspace.h"

#include "framework/error/trace.h"

namespace Scene::Main {

void CWorkSpace::DrawScene() {
    SE_MARK();
    ClearBackBuffer();
}

}  // namespace Scene::Main
