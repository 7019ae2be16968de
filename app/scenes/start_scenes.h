// The start scenes: one-frame scenes that prepare the program and hand over. The program
// boots through Tester::CMain (configures the program) -> Test::CStart -> Main::CStart
// (prepares the clip, opens the workspace or loads the file named on the command line).
#pragma once

#include "app/shell/scene.h"

namespace Scene::Tester {

class CMain : public IFadeInBlackt {
public:
    void DrawScene() override;
    // Creates Test::CStart, then sets the program up for the run: frames also while
    // inactive, 25 frames per second, the watched keys, text colours, GUI palette and
    // camera, and a fresh frame measurement.
    void Update() override;
};

}  // namespace Scene::Tester

namespace Scene::Test {

class CStart : public IFadeInBlackt {
public:
    void DrawScene() override;
    void Update() override;  // GoToMainStart
};

}  // namespace Scene::Test

namespace Scene::Main {

class CStart : public CInterface {
public:
    void Draw() override;  // clears the back buffer and the depth buffer
    void Update() override;
};

}  // namespace Scene::Main

namespace Scene::Opening {

class CStart : public CInterface {
public:
    void Draw() override {}
    void Update() override;  // GoToTitleStart
};

}  // namespace Scene::Opening
