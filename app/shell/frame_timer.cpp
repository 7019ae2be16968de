// Frame pacing and the per-frame animation values.
#include "app/shell/frame_timer.h"

#include <windows.h>

#include <chrono>
#include <cstdio>

#include "framework/error/error.h"
#include "framework/error/trace.h"

namespace Main {

uint32_t ProcessClock() {
    using namespace std::chrono;
    static const steady_clock::time_point origin = steady_clock::now();
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now() - origin).count());
}

uint32_t CFrameTimer::Now() const { return time.now ? time.now() : ProcessClock(); }

void CFrameTimer::Restart() {
    SE_MARK();
    carried = 0;
    frames = 0;
    windowTime = 0;
    slept = 0;
    lateFrames = 0;
    late = false;
    start = Now();
}

void CFrameTimer::Step() {
    SE_MARK();
    const uint32_t now = Now();
    if (now < start) {  // the clock wrapped: carry what was left before the wrap
        carried -= start;
        start = 0;
    }
    const uint32_t elapsed = carried - start + now;
    frames += 1;
    windowTime += static_cast<int32_t>(elapsed);
    const int32_t budget = periodMs * frames - windowTime;
    carried = 0;
    start = Now();
    if (budget >= 0) {
        if (time.sleep) {
            time.sleep(static_cast<uint32_t>(budget));
        } else {
            Sleep(static_cast<DWORD>(budget));
        }
        slept += budget;
        late = false;
    } else {
        lateFrames += 1;
        late = true;
    }
    if (windowTime >= 1000) {
        fps = frames * 1000 / windowTime;
        fpsRemainder = frames * 1000 % windowTime;
        busyPerMille = 1000 - slept;
        frames = 0;
        windowTime = 0;
        lateFrames = 0;
        slept = 0;
        start = Now();
    }
}

std::string CFrameTimer::FpsText() const {
    SE_MARK();
    int32_t whole = fps;
    int32_t fraction = fpsRemainder;
    if (fraction >= 1000) {
        whole += fraction / 1000;
        fraction %= 1000;
    }
    const int32_t lateShown = lateFrames < 0 ? 0 : lateFrames;
    const double busyShown = busyPerMille < 0 ? 0.0 : busyPerMille / 10.0;
    char text[128];
    std::snprintf(text, sizeof text, " FPS%4d.%03d: COS %2i: fief %.1f%%", whole, fraction,
                  lateShown, busyShown);
    return text;
}

CFrameTimer& FrameTimer() {
    static CFrameTimer timer;
    return timer;
}

uint32_t ClockNow() { return FrameTimer().time.now ? FrameTimer().time.now() : ProcessClock(); }

namespace {

HFONT& FpsFontHandle() {
    static HFONT font = nullptr;
    return font;
}

}  // namespace

void SetFrameRate(int32_t fps) {
    SE_MARK();
    CFrameTimer& timer = FrameTimer();
    timer.targetFps = fps > 0 ? fps : 0;
    timer.periodMs = fps > 0 ? 1000 / fps : 0;
    timer.Restart();
    LOGFONTA face{};
    face.lfHeight = 16;
    face.lfCharSet = SHIFTJIS_CHARSET;
    face.lfPitchAndFamily = FF_MODERN;
    HFONT& font = FpsFontHandle();
    if (font != nullptr) DeleteObject(font);
    font = CreateFontIndirectA(&face);
}

HFONT FpsFont() { return FpsFontHandle(); }

void CPulse::Advance(int32_t targetFps) {
    if (!stepFixed) {
        step = targetFps > 0 ? (20.0f / static_cast<float>(targetFps)) * 0.1f : 0.0f;
        stepFixed = true;
    }
    value += step;
    if (value <= 0.00001f || value >= 0.99999f) step = -step;
}

CPulse& Pulse() {
    static CPulse pulse;
    return pulse;
}

void CPhases::Advance(int32_t targetFps) {
    if (targetFps <= 0) return;
    const double fastStep = 1.0 / targetFps;
    const double slowStep = 1.0 / (10.0 * targetFps);
    fast += fastStep;
    if (fast > 1.0 + fastStep) fast = 0.0;
    slow += slowStep;
    if (slow > 1.0 + slowStep) slow = 0.0;
}

CPhases& Phases() {
    static CPhases phases;
    return phases;
}

}  // namespace Main
