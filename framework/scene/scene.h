// Scenes: every screen of a program is a scene, exactly one is current, and a scene
// switches by constructing its successor, which deletes the current one. The main loop
// calls the current scene's Update once per frame and its Draw once per drawn frame.
#pragma once

#include <cstdint>

namespace NVireo::NGame::NScene {

class CInterface {
public:
    // Deletes the current scene (the caller touches nothing of it afterwards) and
    // becomes the current scene.
    CInterface();
    virtual ~CInterface();
    CInterface(const CInterface&) = delete;
    CInterface& operator=(const CInterface&) = delete;

    virtual void DrawScene() {}
    // Before the frame, while a graphic effect is on.
    virtual void DrawEffect() {}
    virtual void Draw() = 0;
    virtual void Update() = 0;
    virtual void Notify(int32_t) {}
};

// The current scene; null before the first one and after EndScenes.
CInterface* Current();

}  // namespace NVireo::NGame::NScene
