#include "platform/system.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <mutex>
#include <sched.h>
#include <spawn.h>
#include <sstream>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace vesk::platform {
namespace {

class SteadyClock : public IClock {
public:
    int64_t Counter() override {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    int64_t Frequency() override { return 1000000000; }
};

SteadyClock g_steady;
IClock* g_clock = &g_steady;
IClock* g_wallClock = &g_steady;

std::mutex g_hookMutex;
MessageBoxHandler g_messageBox;
StartProgramHandler g_startProgram;

bool SpawnDetached(const std::string& path, const std::vector<std::string>& args) {
    std::vector<std::string> argStore;
    argStore.push_back(path);
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStore) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return false;
    // Reap the child in the background so it never lingers as a zombie.
    std::thread([pid] {
        int status = 0;
        waitpid(pid, &status, 0);
    }).detach();
    return true;
}

uint64_t MeminfoKb(const std::string& text, const char* key) {
    auto pos = text.find(key);
    if (pos == std::string::npos) return 0;
    pos += std::char_traits<char>::length(key);
    return std::strtoull(text.c_str() + pos, nullptr, 10);
}

} // namespace

void SetClock(IClock* clock) {
    g_clock = clock ? clock : &g_steady;
}
IClock& Clock() {
    return *g_clock;
}
int64_t PerfCounter() {
    return g_clock->Counter();
}
int64_t PerfFrequency() {
    return g_clock->Frequency();
}
bool ClockFollowsFrames() {
    return g_clock->FollowsFrames();
}
void SetWallClock(IClock* clock) {
    g_wallClock = clock ? clock : &g_steady;
}
IClock& WallClock() {
    return *g_wallClock;
}

void YieldThread() {
    sched_yield();
}
void SleepMs(unsigned ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard lock(g_hookMutex);
    g_messageBox = std::move(handler);
}

void ShowMessageBox(const std::string& text, const std::string& caption) {
    MessageBoxHandler h;
    {
        std::lock_guard lock(g_hookMutex);
        h = g_messageBox;
    }
    if (h) {
        h(text, caption);
        return;
    }
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
}

void SetStartProgramHandler(StartProgramHandler handler) {
    std::lock_guard lock(g_hookMutex);
    g_startProgram = std::move(handler);
}

bool StartProgram(const std::string& path, const std::vector<std::string>& args) {
    StartProgramHandler h;
    {
        std::lock_guard lock(g_hookMutex);
        h = g_startProgram;
    }
    if (h) return h(path, args);
    return SpawnDetached(path, args);
}

bool OpenDocument(const std::string& path) {
    // Only where a desktop session exists; headless runs just leave the file.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) return false;
    if (access("/usr/bin/xdg-open", X_OK) != 0) return false;
    return StartProgram("/usr/bin/xdg-open", {path});
}

MemoryStatus GetMemoryStatus() {
    MemoryStatus m;
    std::ifstream in("/proc/meminfo");
    std::stringstream ss;
    ss << in.rdbuf();
    std::string text = ss.str();
    m.totalPhysKb = MeminfoKb(text, "MemTotal:");
    m.availPhysKb = MeminfoKb(text, "MemAvailable:");
    m.totalPageFileKb = MeminfoKb(text, "SwapTotal:");
    m.availPageFileKb = MeminfoKb(text, "SwapFree:");
    return m;
}

CpuInfo GetCpuInfo() {
    CpuInfo c;
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        auto colon = line.find(':');
        if (colon == std::string::npos) {
            if (c.ok) break; // first processor block only
            continue;
        }
        std::string key = line.substr(0, colon);
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
        std::string value = colon + 2 <= line.size() ? line.substr(colon + 2) : std::string();
        if (key == "model name")
            c.name = value, c.ok = true;
        else if (key == "vendor_id")
            c.vendor = value, c.ok = true;
        else if (key == "cpu MHz")
            c.mhz = static_cast<unsigned>(std::strtod(value.c_str(), nullptr) + 0.5);
    }
    return c;
}

OsInfo GetOsInfo() {
    OsInfo o;
    utsname u{};
    if (uname(&u) == 0) {
        o.kernelName = u.sysname;
        o.release = u.release;
        o.version = u.version;
        o.machine = u.machine;
        std::sscanf(u.release, "%d.%d.%d", &o.major, &o.minor, &o.build);
    }
    return o;
}

LocalDateTime Now() {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    LocalDateTime d;
    d.year = tm.tm_year + 1900;
    d.month = tm.tm_mon + 1;
    d.day = tm.tm_mday;
    d.hour = tm.tm_hour;
    d.minute = tm.tm_min;
    d.second = tm.tm_sec;
    d.millisecond = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    return d;
}

std::string TimeOfDayText() {
    LocalDateTime d = Now();
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", d.hour, d.minute, d.second);
    return buf;
}

} // namespace vesk::platform
