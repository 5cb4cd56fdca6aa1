#pragma once
// High-resolution timing on the engine's clock (platform::Clock, which tests
// replace with a ManualClock) and the frame-rate timer.
#include <cstdint>

namespace vesk {

// The counter's frequency and the factors that turn ticks into seconds,
// milliseconds and microseconds (read from the clock in use).
int64_t PerfCounterFrequency();
double PerfFactorSec();
double PerfFactorMs();
double PerfFactorUs();

void GetPerfCounter(int64_t& out);
int64_t GetPerfCounter();
// Time since a counter reading.
float PerfElapsedSec(int64_t start);
float PerfElapsedMs(int64_t start);
float PerfElapsedUs(int64_t start);

// Frame-rate timer: counts frames in 0.1 s windows and keeps the last ten.
class TTimerSystem {
public:
    static constexpr int kWindows = 10;
    static constexpr double kWindowSec = 0.1;

    TTimerSystem() { Create(); }
    // Reads the frequency and the counter, clears counters and history.
    void Create();
    // One frame.
    void Tick();
    // Frames per second over the filled windows.
    int GetFPS() const;

    int64_t Frequency = 0;
    int64_t LastCounter = 0;
    double TotalTime = 0;           // seconds since Create
    double DeltaTime = 0;           // seconds of the last step
    int32_t FrameCount = 0;         // frames in the current window
    int32_t History[kWindows] = {}; // frames per finished window, newest first
    double WindowTime = 0;
};

// The application's frame-rate timer, stepped every frame.
extern TTimerSystem TimerSystem;

} // namespace vesk
