#pragma once
// Host services below the engine: clock, sleeping, message boxes, starting
// programs, and facts about the machine for reports. Each service that tests
// need to control is behind a replaceable hook.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vesk::platform {

// ---- high-resolution counter ------------------------------------------------
class IClock {
public:
    virtual ~IClock() = default;
    virtual int64_t Counter() = 0;   // ticks
    virtual int64_t Frequency() = 0; // ticks per second
    // True when only the game's frames move the clock (fixed-step runs): what
    // would otherwise keep pace with the wall clock on a thread of its own
    // (sound playback, the capture's timer) then keeps pace with the frames,
    // so that two runs of the same frames do the same.
    virtual bool FollowsFrames() const { return false; }
};

// The clock the engine reads; nullptr restores the real monotonic clock.
void SetClock(IClock* clock);
IClock& Clock();
int64_t PerfCounter();
int64_t PerfFrequency();

// A clock that moves only when told to (tests, fixed-step runs). 1 tick = 1 us.
// Other threads (the sound worker, the capture's timer) read it while the
// main thread moves it.
class ManualClock : public IClock {
public:
    int64_t Counter() override { return ticks_.load(std::memory_order_relaxed); }
    int64_t Frequency() override { return 1000000; }
    void AdvanceMs(double ms) { ticks_ += static_cast<int64_t>(ms * 1000.0 + 0.5); }
    void AdvanceTicks(int64_t t) { ticks_ += t; }

private:
    std::atomic<int64_t> ticks_{1000000};
};

// The clock of a fixed-step run: moved by the frames alone.
class FrameClock : public ManualClock {
public:
    bool FollowsFrames() const override { return true; }
};

// True when the installed clock moves with the game's frames only.
bool ClockFollowsFrames();

// The real monotonic clock, whatever clock the engine reads: for telling how
// long work really took. nullptr restores it where a test replaced it.
void SetWallClock(IClock* clock);
IClock& WallClock();

// Installs a clock for the lifetime of the guard.
class ScopedClock {
public:
    explicit ScopedClock(IClock& c) { SetClock(&c); }
    ~ScopedClock() { SetClock(nullptr); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
};

// ---- threads ------------------------------------------------------------------
void YieldThread();
void SleepMs(unsigned ms);

// ---- message box ----------------------------------------------------------
// Default: the text and caption to stderr. The window layer and tests replace it.
using MessageBoxHandler = std::function<void(const std::string& text, const std::string& caption)>;
void SetMessageBoxHandler(MessageBoxHandler handler);
void ShowMessageBox(const std::string& text, const std::string& caption);

// ---- other programs -------------------------------------------------------
// Starts a program without waiting for it; true when it was started.
using StartProgramHandler =
    std::function<bool(const std::string& path, const std::vector<std::string>& args)>;
void SetStartProgramHandler(StartProgramHandler handler);
bool StartProgram(const std::string& path, const std::vector<std::string>& args = {});
// Opens a document in the user's viewer where one exists; false otherwise.
bool OpenDocument(const std::string& path);

// ---- facts for reports ----------------------------------------------------
struct MemoryStatus {
    uint64_t totalPhysKb = 0;
    uint64_t availPhysKb = 0;
    uint64_t totalPageFileKb = 0; // swap
    uint64_t availPageFileKb = 0;
};
MemoryStatus GetMemoryStatus();

struct CpuInfo {
    bool ok = false;
    std::string name;   // "model name"
    std::string vendor; // "vendor_id"
    unsigned mhz = 0;
};
CpuInfo GetCpuInfo();

struct OsInfo {
    std::string kernelName; // uname sysname, e.g. "Linux"
    std::string release;    // uname release
    std::string version;    // uname version
    std::string machine;
    int major = 0, minor = 0, build = 0; // parsed from the release
};
OsInfo GetOsInfo();

struct LocalDateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};
LocalDateTime Now();
// "HH:MM:SS", the fixed form the logs use.
std::string TimeOfDayText();

} // namespace vesk::platform
