// The fields every button and check box shares, on top of the widget base. What a
// button does with them (press, release, shortcut, description, drawing) lives with the
// button family in app/gui/button.h, which needs the application's sound effects,
// pulse and window state.
#pragma once

#include <cstdint>

#include "framework/containers/list.h"
#include "framework/containers/nstring.h"
#include "framework/gui/widget.h"

namespace NVireo::NGUI::NButton {

// A plain button's states; a check box uses 0 for off and 1 for on.
enum EState : uint32_t { kIdle = 0, kPressed = 1 };

class CBase : public CInterface {
public:
    uint32_t state = kIdle;
    int32_t x = 0;  // top-left corner
    int32_t y = 0;
    int32_t id = -1;           // handed to the owner on a click
    uint16_t shortcutKey = 0;  // virtual-key code; 0: none
    uint8_t clickSound = 1;    // presses play the click effect
    uint8_t locked = 0;        // ignores presses and its key; caption drawn red
    uint8_t inactive = 0;      // goes down and sounds, but shows no description and does nothing
    hoard::list::basic<NVireo::NString::BBasic<char>> description;  // hover lines, in order
    uint32_t pressedByKey = 0;  // 1 while held down through the shortcut key
};

}  // namespace NVireo::NGUI::NButton
