// Frame pacing: the frame timer that sleeps each frame against the whole current second,
// the measured frame rate and its on-screen line, and the per-frame animation values
// (the pulse and the two phase accumulators).
//
// Each frame sleeps the rest of its slot (40 ms at 25 frames per second) measured
// against the start of the current second, so rounding never adds up; a frame that
// overruns its slot marks the frame late and the next one skips drawing. The clock is
// wall-clock milliseconds since start (the C library's clock() counts processor time,
// which does not pass while the program sleeps); tests give the timer their own clock
// and sleep.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace Main {

// Milliseconds of wall-clock time since the process clock was first read (the Windows
// runtime's clock(): 1000 ticks per second, running while the program sleeps).
uint32_t ProcessClock();

// The clock and the sleep the frame timer uses; tests put their own in.
struct CTimeSource {
    uint32_t (*now)() = ProcessClock;
    void (*sleep)(uint32_t milliseconds) = nullptr;  // null: the system's Sleep
};

class CFrameTimer {
public:
    uint32_t start = 0;    // clock at the end of the previous frame's measurement
    uint32_t carried = 0;  // correction after the clock wrapped
    int32_t frames = 0;    // frames in the current one-second window
    int32_t windowTime = 0;
    int32_t fps = 0;
    int32_t fpsRemainder = 0;
    int32_t slept = 0;
    int32_t lateFrames = 0;
    int32_t busyPerMille = 0;
    bool late = false;  // the last frame overran its slot: the next one is not drawn
    int32_t targetFps = 0;
    int32_t periodMs = 0;
    CTimeSource time;

    // Clears every counter and reads the clock into start.
    void Restart();
    // One frame's pacing: measures it, sleeps what is left of its slot (counted against
    // the frames of the current second, so short overruns are made up later in the
    // second), or marks it late; closes the window after 1000 ms.
    void Step();
    // " FPS   25.000: COS  0: fief 12.5%"
    std::string FpsText() const;

private:
    uint32_t Now() const;
};

CFrameTimer& FrameTimer();

// The frame timer's clock now (the process clock unless a test put its own in).
uint32_t ClockNow();

// Sets targetFps and periodMs (both 0 for 0), restarts the measurement and recreates the
// frame-rate line's font.
void SetFrameRate(int32_t fps);

// The frame-rate line's font (a 16-pixel Japanese monospace face); null before
// SetFrameRate or when the system has none.
HFONT FpsFont();

// The pulse the GUI glows with: a value in [0, 1] that moves by a fixed step each frame
// and turns at the ends. The step is 20 / targetFps x 0.1, fixed at the first frame.
struct CPulse {
    float value = 0.0f;
    float step = 0.0f;
    bool stepFixed = false;
    void Advance(int32_t targetFps);
};
CPulse& Pulse();

// The two phases of animated decorations: one moves by 1 / targetFps a frame, the other
// ten times slower; each returns to 0 once it passes 1 plus its step.
struct CPhases {
    double fast = 0.0;
    double slow = 0.0;
    void Advance(int32_t targetFps);
};
CPhases& Phases();

}  // namespace Main
