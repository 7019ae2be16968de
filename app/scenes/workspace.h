// The workspace: the main screen. Its panel, waveform and commands are added by the
// workspace's own piece of work; until then it is an empty black screen.
#pragma once

#include "app/scene.h"

namespace Scene::Main {

class CWorkSpace : public IFadeInBlackt {
public:
    void DrawScene() override;
    void Update() override {}
};

}  // namespace Scene::Main
