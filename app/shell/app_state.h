// The application's state flags (one process-wide record of bytes, zero at start).
// Whether this is the first run (no settings file) lives in the settings: Appli::Settings().
#pragma once

#include <cstdint>

namespace Main {

struct CState {
    uint8_t quitting = 0;         // shutdown began: no frames, window messages ignored
    uint8_t active = 0;           // the window is active: frames run
    uint8_t ready = 0;            // Direct3D and the first scene are up
    uint8_t showFps = 0;          // the frame-rate line is drawn (F5 with M and B)
    uint8_t runWhenInactive = 0;  // frames run also while the window is inactive
};

// The record. Its first use also tells the keyboard's press detection to answer only
// while `active` is set.
CState& State();

}  // namespace Main
