// The keyboard: the table of watched keys with press detection for shortcut keys, and
// the interface of the handler that takes WM_KEYDOWN (function keys).
//
// KeyPressed answers once per change of a key's toggle bit (it flips on every press, not
// on auto-repeat), also when the key is already up again: a tap shorter than a frame
// counts, a held key counts once. Only while the application says it is active. The
// buttons poll it once a frame.
#pragma once

#include <windows.h>

#include <cstdint>

namespace NVireo::NGame {

class IKeyBorder {
public:
    virtual void OnTitleKey() {}
    virtual void OnQuitKey() {}
    // flags: the message's lParam (bit 30 set for an auto-repeat). True when handled.
    virtual bool OnKeyDown(WPARAM virtualKey, LPARAM flags) = 0;
    virtual ~IKeyBorder() = default;
};

struct CKeyEntry {
    uint16_t key;      // virtual-key code
    uint8_t toggle;    // the low bit of GetKeyState last taken as seen
    bool changed;      // the toggle moved since: a press waits to be reported
    uint32_t presses;  // presses reported since the key was last seen up
};

// Adds a key to the table (its current toggle bit taken as seen); a key already present
// is left as it is.
void AddWatchedKey(int virtualKey);
// The table's entry of a key, or null.
CKeyEntry* WatchedKey(int virtualKey);
// The entry with the lowest key code (the left mouse button once the program's keys are
// in), or null while the table is empty.
CKeyEntry* LowestWatchedKey();
int32_t WatchedKeyCount();

// One press of a watched key: true once for each time the key's toggle state moved since
// the last question, whether the key is still down or was already released, so holding
// the key reports one press and a short tap one too. A key only marked changed (see
// MarkLowestKeyChanged) counts while it is down. False for a key that is not watched and
// while the window is not active.
bool KeyPressed(int virtualKey);

// Upkeep of the lowest entry: each frame (a toggle that moved marks it changed), at each
// new scene (the current toggle is taken as seen, so a held button is no new press) and
// at each activation change (marked changed).
void MarkLowestKeyIfToggled();
void ResetLowestKey();
void MarkLowestKeyChanged();
// Every watched key's current toggle taken as seen: at each new scene, so a tap of a key
// the old scene did not ask about is no press in the new one, and a held key is none
// either.
void ResetWatchedKeys();

// Whether the program's window is active; KeyPressed answers false while it is not.
// The application installs its own answer (its `active` flag); none installed: inactive.
using ActiveQuery = bool (*)();
void SetActiveQuery(ActiveQuery query);

}  // namespace NVireo::NGame
