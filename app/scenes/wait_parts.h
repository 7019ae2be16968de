// The widgets of the wait screens: the duration change's progress text and its "中止"
// button, and the help-line texts every wait screen sets.
#pragma once

#include <cstdint>
#include <string>

#include "app/scenes/wait.h"

namespace Scene::Main {

// The help line's title and bar texts.
void SetWaitTitle(const char* text);
void SetWaitBar(const char* text);

// The duration change's progress line: one text drawn each frame in the default text
// colours, through a chip set, so the changing digits render each glyph only once.
class CProgressText {
public:
    CProgressText();
    ~CProgressText();
    CProgressText(const CProgressText&) = delete;
    CProgressText& operator=(const CProgressText&) = delete;

    void Draw(int32_t x, int32_t y, const std::string& text);
};

}  // namespace Scene::Main

namespace Scene::Main::Button::Break {

// The "中止" box button at (120, 360) to (189, 391) with the help "強制的に中止します".
class CObject {
public:
    CObject();
    ~CObject();
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;

    // Once per frame while the change runs; a click switches to the workspace.
    void Step();
    void Draw();
};

}  // namespace Scene::Main::Button::Break
