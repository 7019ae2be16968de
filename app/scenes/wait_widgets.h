// The widgets of the wait screens: the duration change's progress text and its "中止"
// button, and the help-line texts every wait screen sets.
#pragma once

#include <cstdint>
#include <string>

#include "app/gui/button.h"
#include "app/gui/label.h"
#include "app/scenes/wait.h"

namespace Scene::Main {

// The help line's title and bar texts.
void SetWaitTitle(const char* text);
void SetWaitBar(const char* text);

// The duration change's progress line: drawn each frame in the default text colours
// through a chip set, so the changing digits render each glyph only once.
class CProgressText {
public:
    static constexpr int32_t kFontHeight = 16;

    CProgressText();
    void Draw(int32_t x, int32_t y, const std::string& text);

    CLabelProgressOuter label;
};

}  // namespace Scene::Main

namespace Scene::Main::Button::Break {

// The "中止" box button at (120, 360) to (189, 391) with the help "強制的に中止します";
// it has no shortcut key.
class CObject : public ::Button::Box::CPlate<CNexter> {
public:
    CObject();

    // Once per frame while the change runs. A click (the dispatcher's release, or this
    // poll) goes to CNexter, which switches to the workspace: nothing touches the button
    // after that.
    void Step();
};

}  // namespace Scene::Main::Button::Break
