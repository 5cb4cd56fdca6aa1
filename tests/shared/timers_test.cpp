#include "shared/timers.h"

#include "platform/system.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

TEST(PerfCounter, ElapsedTimeFollowsTheClock) {
    platform::ManualClock clock;
    platform::ScopedClock use(clock);
    int64_t start = 0;
    GetPerfCounter(start);
    clock.AdvanceMs(250);
    EXPECT_FLOAT_EQ(PerfElapsedSec(start), 0.25f);
    EXPECT_FLOAT_EQ(PerfElapsedMs(start), 250.0f);
    EXPECT_FLOAT_EQ(PerfElapsedUs(start), 250000.0f);
    EXPECT_EQ(PerfCounterFrequency(), 1000000);
}

TEST(TimerSystem, SteadySixtyFramesPerSecond) {
    platform::ManualClock clock;
    platform::ScopedClock use(clock);
    TTimerSystem t;
    // The first window alone is scaled to a second.
    int frames = 0;
    while (t.History[0] == 0) {
        clock.AdvanceTicks(16667);
        t.Tick();
        ++frames;
    }
    EXPECT_EQ(frames, 6);
    EXPECT_EQ(t.GetFPS(), 60);
    for (int i = 0; i < 600; ++i) {
        clock.AdvanceTicks(16667);
        t.Tick();
    }
    for (int h : t.History) EXPECT_GT(h, 0);
    EXPECT_EQ(t.GetFPS(), 60);
    EXPECT_NEAR(t.TotalTime, 606 * 0.016667, 1e-9);
    EXPECT_NEAR(t.DeltaTime, 0.016667, 1e-12);
}

TEST(TimerSystem, AveragesOverFilledWindowsOnly) {
    platform::ManualClock clock;
    platform::ScopedClock use(clock);
    TTimerSystem t;
    // 3 frames in the first window, then 5 in the second.
    for (int i = 0; i < 3; ++i) {
        clock.AdvanceMs(34);
        t.Tick();
    }
    EXPECT_EQ(t.History[0], 3);
    EXPECT_EQ(t.GetFPS(), 30);
    for (int i = 0; i < 5; ++i) {
        clock.AdvanceMs(20);
        t.Tick();
    }
    EXPECT_EQ(t.History[0], 5);
    EXPECT_EQ(t.History[1], 3);
    EXPECT_EQ(t.GetFPS(), 40);
    // A long stall closes several windows at once; empty ones do not count.
    clock.AdvanceMs(350);
    t.Tick();
    EXPECT_EQ(t.History[0], 0);
    EXPECT_EQ(t.History[2], 1);
    EXPECT_EQ(t.History[3], 5);
    t.Create();
    EXPECT_EQ(t.GetFPS(), 0);
    EXPECT_EQ(t.TotalTime, 0);
}

} // namespace
} // namespace vesk
