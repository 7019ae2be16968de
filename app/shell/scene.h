// The program's scenes: the base every scene of the program derives from, the scene
// that fades in from black, and the switches between the program's scenes.
#pragma once

#include <cstdint>

#include "framework/scene/scene.h"

namespace Scene {

class CInterface : public NVireo::NGame::NScene::CInterface {
public:
    // Takes every watched key's toggle as seen, so a held button or key, or a tap the
    // old scene did not ask about, is no new press.
    CInterface();
    // Empties the help line, the message cells and the hover state.
    ~CInterface() override;
};

// A scene that fades in from black over its first 200 ms of wall-clock time. The name
// keeps the design's spelling ("Blackt") on purpose, so it stays searchable.
class IFadeInBlackt : public CInterface {
public:
    IFadeInBlackt();
    void DrawScene() override = 0;
    void DrawEffect() override {}
    // The content, the overlay, then the black rectangle at the opacity left.
    void Draw() final;
    void Update() override = 0;
    // The process-wide help line and message cells.
    virtual void DrawOverlay();
    virtual void Reserved1() {}
    virtual void Reserved2() {}

    // The black rectangle's alpha at clock reading now (0 from 200 ms on).
    uint32_t FadeAlpha(uint32_t now) const;

    uint32_t startTick;
    uint32_t carried = 0;
    uint32_t durationMs = 200;
};

// Ends the program: deletes the current scene; the next frame finds none and closes
// the main window.
void EndScenes();

// The switches: each creates its successor (deleting the current scene) and restarts
// the frame timer, so the new scene's first frame never sleeps for the old one's time.
void GoToOpeningStart();
void GoToTitleStart();
void GoToTitle();
void GoToSetting();
void GoToMainStart();
void GoToWorkSpace();

// Clears the back buffer to opaque black (and the depth buffer when there is one).
void ClearBackBuffer();
// Draws the whole back buffer black at alpha (0 draws nothing).
void DrawBlackRectangle(uint32_t alpha);

}  // namespace Scene
