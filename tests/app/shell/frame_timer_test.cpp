// Frame pacing with a clock the test moves, the frame-rate line, the pulse and phases.
#include "app/shell/frame_timer.h"

#include <vector>

#include "support/test_support.h"

namespace {

uint32_t fakeNow = 0;
std::vector<uint32_t> sleeps;

uint32_t FakeClock() { return fakeNow; }
// Sleeping moves the fake clock, as a real sleep would.
void FakeSleep(uint32_t milliseconds) {
    sleeps.push_back(milliseconds);
    fakeNow += milliseconds;
}

// A frame timer at fps on the fake clock, restarted at start.
Main::CFrameTimer TimerAt(int32_t fps, uint32_t start) {
    fakeNow = start;
    sleeps.clear();
    Main::CFrameTimer timer;
    timer.time.now = FakeClock;
    timer.time.sleep = FakeSleep;
    timer.targetFps = fps;
    timer.periodMs = 1000 / fps;
    timer.Restart();
    return timer;
}

// One frame whose work takes work milliseconds.
void RunFrame(Main::CFrameTimer& timer, uint32_t work) {
    fakeNow += work;
    timer.Step();
}

TEST(FrameTimer, SleepsWhatIsLeftOfEachSlot) {
    Main::CFrameTimer timer = TimerAt(25, 5000);
    RunFrame(timer, 10);
    RunFrame(timer, 30);
    EXPECT_EQ(sleeps, (std::vector<uint32_t>{30, 10}));
    EXPECT_FALSE(timer.late);
    EXPECT_EQ(timer.lateFrames, 0);
    EXPECT_EQ(timer.slept, 40);
}

TEST(FrameTimer, AnOverrunFrameIsLateAndTheSecondMakesItUp) {
    Main::CFrameTimer timer = TimerAt(25, 0);
    RunFrame(timer, 60);  // 60 ms in a 40 ms slot
    EXPECT_TRUE(timer.late);
    EXPECT_EQ(timer.lateFrames, 1);
    EXPECT_TRUE(sleeps.empty());
    // The next frame is short: it sleeps only what the second still owes (80 - 60 - 5).
    RunFrame(timer, 5);
    EXPECT_FALSE(timer.late);
    EXPECT_EQ(sleeps, (std::vector<uint32_t>{15}));
    EXPECT_EQ(timer.lateFrames, 1);
}

TEST(FrameTimer, ClosesTheSecondWithTheMeasuredRate) {
    Main::CFrameTimer timer = TimerAt(25, 100);
    // Each frame's sleep is measured with the next frame, so the second closes at the
    // 26th frame of 10 ms work: 10 + 25 x 40 = 1010 ms.
    int frames = 0;
    do {
        RunFrame(timer, 10);
        ++frames;
    } while (timer.frames != 0 && frames < 100);
    EXPECT_EQ(frames, 26);
    EXPECT_EQ(timer.fps, 25);                   // 26000 / 1010
    EXPECT_EQ(timer.fpsRemainder, 750);         // 26000 % 1010
    EXPECT_EQ(timer.busyPerMille, 1000 - 780);  // 26 sleeps of 30 ms
    EXPECT_EQ(timer.windowTime, 0);
    EXPECT_EQ(timer.slept, 0);
    EXPECT_EQ(timer.FpsText(), " FPS  25.750: COS  0: fief 22.0%");
}

TEST(FrameTimer, MeasuresAcrossTheClockWrapping) {
    Main::CFrameTimer timer = TimerAt(25, 0xFFFFFFF0u);  // 16 ms before the wrap
    RunFrame(timer, 30);                                 // the clock reads 14 now
    EXPECT_EQ(timer.windowTime, 30);
    EXPECT_EQ(sleeps, (std::vector<uint32_t>{10}));
}

TEST(FrameTimer, FrameRateLine) {
    struct Case {
        int32_t fps, remainder, late, busy;
        const char* text;
    };
    const Case cases[] = {
        {25, 0, 0, 250, " FPS  25.000: COS  0: fief 25.0%"},
        {24, 975, 3, 1000, " FPS  24.975: COS  3: fief 100.0%"},
        // A remainder of 1000 or more is carried into the whole part.
        {24, 1500, 0, 0, " FPS  25.500: COS  0: fief 0.0%"},
        // Negative counts show as 0.
        {40, 0, -2, -5, " FPS  40.000: COS  0: fief 0.0%"},
    };
    for (const Case& c : cases) {
        Main::CFrameTimer timer;
        timer.fps = c.fps;
        timer.fpsRemainder = c.remainder;
        timer.lateFrames = c.late;
        timer.busyPerMille = c.busy;
        EXPECT_EQ(timer.FpsText(), c.text);
    }
}

TEST(FrameTimer, FrameRateSetsThePeriodAndRestarts) {
    Main::CFrameTimer& timer = Main::FrameTimer();
    const Main::CFrameTimer saved = timer;
    timer.frames = 7;
    timer.late = true;
    Main::SetFrameRate(25);
    EXPECT_EQ(timer.targetFps, 25);
    EXPECT_EQ(timer.periodMs, 40);
    EXPECT_EQ(timer.frames, 0);
    EXPECT_FALSE(timer.late);
    Main::SetFrameRate(30);
    EXPECT_EQ(timer.periodMs, 33);
    Main::SetFrameRate(0);
    EXPECT_EQ(timer.targetFps, 0);
    EXPECT_EQ(timer.periodMs, 0);
    timer = saved;
}

TEST(Pulse, StepIsFixedAtTheFirstFrameAndTurnsAtTheEnds) {
    Main::CPulse pulse;
    pulse.Advance(40);  // the rate before the boot scene sets 25
    EXPECT_FLOAT_EQ(pulse.step, 0.05f);
    for (int i = 1; i < 20; ++i) pulse.Advance(25);  // 25 later does not change the step
    EXPECT_NEAR(pulse.value, 1.0f, 1e-4);
    EXPECT_FLOAT_EQ(pulse.step, -0.05f);  // turned at the top after 20 frames
    for (int i = 0; i < 20; ++i) pulse.Advance(25);
    EXPECT_NEAR(pulse.value, 0.0f, 1e-4);
    EXPECT_FLOAT_EQ(pulse.step, 0.05f);
}

TEST(Phases, ReturnToZeroOncePastOnePlusTheirStep) {
    Main::CPhases phases;
    int fastWraps = 0;
    for (int i = 0; i < 250; ++i) {
        const double before = phases.fast;
        phases.Advance(25);
        if (phases.fast < before) ++fastWraps;
        EXPECT_LE(phases.fast, 1.0 + 2.0 / 25);
        EXPECT_LE(phases.slow, 1.0 + 2.0 / 250);
    }
    EXPECT_EQ(fastWraps, 9);  // 27 frames a turn: 26 steps past 1 + 1/25, then back to 0
    Main::CPhases still;
    still.Advance(0);  // no frame rate: nothing moves
    EXPECT_EQ(still.fast, 0.0);
}

}  // namespace
