// The title: its start scene, and the title scene itself. The title's menu is added by
// its own piece of work; until then the title is a black screen that fades in.
#pragma once

#include "app/scene.h"

namespace Scene::Title {

class CStart : public CInterface {
public:
    void Draw() override;    // clears the back buffer
    void Update() override;  // GoToTitle
};

class CMain : public IFadeInBlackt {
public:
    void DrawScene() override;
    void Update() override {}
};

}  // namespace Scene::Title
