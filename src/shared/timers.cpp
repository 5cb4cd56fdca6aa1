#include "shared/timers.h"

#include "platform/system.h"

#include <cmath>

namespace vesk {

TTimerSystem TimerSystem;

int64_t PerfCounterFrequency() {
    return platform::PerfFrequency();
}
double PerfFactorSec() {
    return 1.0 / static_cast<double>(platform::PerfFrequency());
}
double PerfFactorMs() {
    return 1000.0 / static_cast<double>(platform::PerfFrequency());
}
double PerfFactorUs() {
    return 1000000.0 / static_cast<double>(platform::PerfFrequency());
}

void GetPerfCounter(int64_t& out) {
    out = platform::PerfCounter();
}
int64_t GetPerfCounter() {
    return platform::PerfCounter();
}

float PerfElapsedSec(int64_t start) {
    return static_cast<float>(static_cast<double>(platform::PerfCounter() - start) * PerfFactorSec());
}
float PerfElapsedMs(int64_t start) {
    return static_cast<float>(static_cast<double>(platform::PerfCounter() - start) * PerfFactorMs());
}
float PerfElapsedUs(int64_t start) {
    return static_cast<float>(static_cast<double>(platform::PerfCounter() - start) * PerfFactorUs());
}

void TTimerSystem::Create() {
    Frequency = platform::PerfFrequency();
    LastCounter = platform::PerfCounter();
    TotalTime = DeltaTime = WindowTime = 0;
    FrameCount = 0;
    for (int32_t& h : History) h = 0;
}

void TTimerSystem::Tick() {
    int64_t now = platform::PerfCounter();
    DeltaTime = Frequency > 0 ? static_cast<double>(now - LastCounter) / static_cast<double>(Frequency) : 0.0;
    TotalTime += DeltaTime;
    LastCounter = now;
    ++FrameCount;
    WindowTime += DeltaTime;
    while (WindowTime > kWindowSec) {
        WindowTime -= kWindowSec;
        for (int i = kWindows - 1; i > 0; --i) History[i] = History[i - 1];
        History[0] = FrameCount;
        FrameCount = 0;
    }
}

int TTimerSystem::GetFPS() const {
    int filled = 1;
    for (int i = 1; i < kWindows; ++i)
        if (History[i] != 0) ++filled;
    double sum = 0;
    for (int32_t h : History) sum += h;
    // Round half to even, as the runtime's Round does.
    return static_cast<int>(std::nearbyint(sum / (filled / 10.0)));
}

} // namespace vesk
