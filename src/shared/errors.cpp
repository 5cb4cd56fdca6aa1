#include "shared/errors.h"

#include "platform/files.h"
#include "platform/system.h"
#include "platform/text.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#define VESK_HAVE_TSC 1
#endif

namespace vesk {

bool LogEnabled = false;
std::vector<std::string> PendingErrorTexts;
std::unique_ptr<FastLogFlushManClass> FastLogFlushMan;

namespace {

std::string g_logFolder = "logs/def";
bool g_memLogEnabled = false;

constexpr const char* kUnknownError = "Warning Error Is Unknown. This should never happen....";
constexpr const char* kNoInfo = "Error Obtaining Information";
constexpr size_t kVideoCardMaxChars = 513; // the setup record's adapter text field

ErrorHooks& Hooks() {
    static ErrorHooks hooks;
    return hooks;
}

// Lines on their way to the log files. Opening, appending and closing a file
// per line costs tens of microseconds, so while buffering is on the lines
// collect here and go out together: when they grow large, when the oldest has
// waited a quarter of a second, before a fatal report ends the program, when
// the log folder changes and at shut-down (the destructor runs at exit).
class LogBuffers {
public:
    static constexpr size_t kFlushBytes = 64 * 1024;
    static constexpr std::chrono::milliseconds kFlushAge{250};

    ~LogBuffers() { Flush(); }

    void SetBuffered(bool on) {
        std::lock_guard lock(mutex_);
        if (!on) FlushLocked();
        buffered_ = on;
    }

    void Add(const char* fileName, const std::string& line) {
        std::lock_guard lock(mutex_);
        if (!buffered_) {
            Append(fileName, line + "\n");
            return;
        }
        if (pendingBytes_ == 0) oldest_ = Clock::now();
        std::string& text = PendingFor(fileName).text;
        text += line;
        text += '\n';
        pendingBytes_ += line.size() + 1;
        if (pendingBytes_ >= kFlushBytes || Clock::now() - oldest_ >= kFlushAge) FlushLocked();
    }

    void Flush() {
        std::lock_guard lock(mutex_);
        FlushLocked();
    }

    void FlushIfDue() {
        std::lock_guard lock(mutex_);
        if (pendingBytes_ > 0 && Clock::now() - oldest_ >= kFlushAge) FlushLocked();
    }

    // Lines not yet written to the named files are dropped (the files are being emptied).
    void Discard(std::initializer_list<const char*> names) {
        std::lock_guard lock(mutex_);
        for (const char* name : names) {
            std::string& text = PendingFor(name).text;
            pendingBytes_ -= text.size();
            text.clear();
        }
    }

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        std::string fileName;
        std::string text;
    };

    Pending& PendingFor(const char* fileName) {
        for (Pending& p : files_)
            if (p.fileName == fileName) return p;
        return files_.emplace_back(Pending{fileName, {}});
    }

    void FlushLocked() {
        for (Pending& p : files_) {
            if (p.text.empty()) continue;
            Append(p.fileName.c_str(), p.text);
            p.text.clear();
        }
        pendingBytes_ = 0;
    }

    // Appends to <log folder>/<file name>, the folder made on demand. A file
    // that cannot be written is said once on stderr: without the log there
    // is no other place left to say it.
    void Append(const char* fileName, const std::string& text) {
        const std::string path = g_logFolder + "/" + fileName;
        platform::CreateFolders(g_logFolder);
        if (!platform::AppendFile(path, text) && told_.insert(path).second)
            std::fprintf(stderr, "vesk: cannot write the log file %s; its lines are lost\n",
                         platform::NativePath(path).c_str());
    }

    std::mutex mutex_;
    bool buffered_ = false;
    std::vector<Pending> files_; // one per log file name: a handful
    size_t pendingBytes_ = 0;
    Clock::time_point oldest_;
    std::set<std::string> told_;
};

LogBuffers& Buffers() {
    static LogBuffers buffers;
    return buffers;
}

// The common fast-log write: one line for the named file.
void FastLogWrite(const char* fileName, const std::string& text) {
    if (!LogEnabled) return;
    if (g_logFolder.empty() || fileName[0] == '\0') {
        platform::ShowMessageBox(text, "Unable To Add To Log");
        return;
    }
    Buffers().Add(fileName, text);
}

// One report on stderr, as the terminal shows text: UTF-8, each of the
// report's line breaks (CR, LF or both) a line of its own.
void SayOnTerminal(const std::string& text) {
    std::string lines;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lines += "\n    ";
        } else {
            lines += text[i];
        }
    }
    std::fprintf(stderr, "vesk: %s\n", platform::Cp1251ToUtf8(lines).c_str());
    std::fflush(stderr);
}

// "%-22s : %s"
std::string ValueLine(const std::string& label, const std::string& value) {
    std::string line = label;
    if (line.size() < 22) line.append(22 - line.size(), ' ');
    return line + " : " + value + "\n";
}

std::string SectionHead(const std::string& title) {
    return title + "\n" + std::string(title.size(), '-') + "\n";
}

unsigned TscMeasureOnce(unsigned pauseMs) {
#ifdef VESK_HAVE_TSC
    using Steady = std::chrono::steady_clock;
    platform::SleepMs(10); // start on a fresh time slice
    auto t0 = Steady::now();
    uint64_t c0 = __rdtsc();
    platform::SleepMs(pauseMs);
    uint64_t c1 = __rdtsc();
    auto t1 = Steady::now();
    double us = std::chrono::duration<double, std::micro>(t1 - t0).count();
    if (us <= 0.0) return 0;
    return static_cast<unsigned>(std::lround(static_cast<double>(c1 - c0) / us));
#else
    (void)pauseMs;
    return 0;
#endif
}

} // namespace

void SetLogFolder(std::string folder) {
    // Lines already written belong to the folder they were written for.
    Buffers().Flush();
    g_logFolder = std::move(folder);
}
const std::string& LogFolder() {
    return g_logFolder;
}
void SetMemLogEnabled(bool enabled) {
    g_memLogEnabled = enabled;
}
bool MemLogEnabled() {
    return g_memLogEnabled;
}
bool MemLogWritten() {
    return LogEnabled && g_memLogEnabled;
}

ErrorHooks& GetErrorHooks() {
    return Hooks();
}

ErrorLogSources& GetErrorLogSources() {
    static ErrorLogSources sources;
    return sources;
}

// ---- fast log ---------------------------------------------------------------

void FastLogAdd(const std::string& text) {
    if (!LogEnabled) return;
    FastLogWrite(kLogFileName, platform::TimeOfDayText() + ": " + text);
}

void FastLogAddInt(int value) {
    FastLogAdd(std::to_string(value));
}

void FastLogAddError(const std::string& text) {
    FastLogWrite(kErrLogFileName, platform::TimeOfDayText() + ": " + text);
}

void FastLogAddLuaTime(const std::string& text) {
    FastLogWrite(kLuaTimeLogFileName, platform::TimeOfDayText() + ": " + text);
}

void FastLogAddMem(const std::string& text) {
    if (!MemLogWritten()) return;
    FastLogWrite(kMemLogFileName, text);
}

void SetFastLogBuffered(bool buffered) {
    Buffers().SetBuffered(buffered);
}

void FastLogFlush() {
    Buffers().Flush();
}

void FastLogFlushIfDue() {
    Buffers().FlushIfDue();
}

void FastLogClearFiles() {
    Buffers().Discard({kLogFileName, kErrLogFileName, kLuaTimeLogFileName});
    for (const char* name : {kLogFileName, kErrLogFileName, kLuaTimeLogFileName}) {
        std::string path = g_logFolder + "/" + name;
        if (platform::FileExists(path)) platform::WriteFile(path, "");
    }
}

// ---- log writers ------------------------------------------------------------

class LogWriter::Busy {
public:
    explicit Busy(std::atomic<bool>& flag) : flag_(flag) {
        while (flag_.exchange(true, std::memory_order_acquire)) platform::YieldThread();
    }
    ~Busy() { flag_.store(false, std::memory_order_release); }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    std::atomic<bool>& flag_;
};

void LogWriter::Add(const std::string& line) {
    if (!LogEnabled) return;
    Busy busy(busy_);
    pending_.push_back(line);
}

void LogWriter::WriteOut() {
    if (!LogEnabled) return;
    Busy busy(busy_);
    std::string out;
    for (const auto& line : pending_) out += line + "\n";
    platform::CreateFolders(g_logFolder);
    platform::WriteFile(g_logFolder + "/" + fileName_, out);
}

size_t LogWriter::PendingCount() {
    Busy busy(busy_);
    return pending_.size();
}

void FastLogFlushManClass::FlushAndFree(std::unique_ptr<FastLogFlushManClass>& manager) {
    if (!manager) return;
    for (const auto& writer : manager->writers_)
        if (writer) writer->WriteOut();
    manager.reset();
}

// ---- the central report -----------------------------------------------------

namespace {
thread_local ReportSink* t_deferral = nullptr;
}

ScopedReportDeferral::ScopedReportDeferral(ReportSink sink) : sink_(std::move(sink)), previous_(t_deferral) {
    t_deferral = &sink_;
}

ScopedReportDeferral::~ScopedReportDeferral() {
    t_deferral = previous_;
}

void ErrorReport(const std::string& text, const std::string& flags) {
    if (t_deferral && *t_deferral) {
        (*t_deferral)(text, flags);
        return;
    }
    ErrorHooks& h = Hooks();
    if (h.onReport) h.onReport(text, flags);
    FastLogAddError(text);
    const bool fatal = flags.find('h') != std::string::npos;
    if (fatal) {
        // The game is about to end: the general log and whoever started the
        // program hear why, not only the reader of the error log.
        FastLogAdd(text);
        if (h.terminal)
            h.terminal(text);
        else
            SayOnTerminal(text);
        // The shut-down that follows may itself fail or hang: what led here
        // is written out first.
        FastLogFlush();
    }
    if (flags.find('m') != std::string::npos) {
        // Without "h" the frame goes on, so the display stays.
        if (fatal && h.releaseDisplay) h.releaseDisplay();
        ErrorLogReport(text, false);
    }
    if (fatal) {
        if (h.shutdown) h.shutdown();
        if (h.halt) {
            h.halt();
            return; // only a test's halt comes back
        }
        FastLogFlush();
        std::fflush(nullptr);
        std::_Exit(1);
    }
    if (flags == "w") ErrorLogReport(text, false);
}

std::string NamingFile(const std::string& text, const std::string& fileName) {
    if (fileName.empty() || text.find(fileName) != std::string::npos) return text;
    return text + " (file: " + fileName + ")";
}

std::string DXErrorText(platform::Result result) {
    return platform::ResultName(result) + "\n(" + platform::ResultDescription(result) + ")";
}

void ReportDXError(const std::string& text, platform::Result result, const std::string& flags) {
    ErrorReport(text + "\r" + DXErrorText(result), flags);
}

void CheckDXResult(platform::Result result, const std::string& text, const std::string& flags) {
    if (result != 0) ReportDXError(text, result, flags);
}

void CheckDXResultToErrorLog(platform::Result result, const std::string& text) {
    if (result != 0) ErrorLogReport(text + "\r" + DXErrorText(result), false);
}

// ---- error-log reports ------------------------------------------------------

bool ErrorLogHasPending() {
    return !PendingErrorTexts.empty();
}

std::string NextErrorLogFileName() {
    std::string folder = platform::ExeFolder() + "/Logs/ErrorLogs/";
    platform::LocalDateTime d = platform::Now();
    char date[16];
    std::snprintf(date, sizeof date, "%02d_%02d_%02d", d.year % 100, d.month, d.day);
    for (int n = 0;; ++n) {
        char num[16];
        std::snprintf(num, sizeof num, "%04d", n); // 10000 and above unpadded
        std::string name = folder + date + "_VESKErrorLog_" + num + ".txt";
        if (!platform::FileExists(name)) return name;
    }
}

std::vector<std::string> FormatLuaStackLevel(const LuaStackLevel& level) {
    std::vector<std::string> values;
    auto text = [&](const char* field, const std::string& v) {
        if (!v.empty()) values.push_back(std::string(field) + ": " + v + " ");
    };
    text("Source", level.source);
    text("What", level.what);
    text("Name", level.name);
    text("NameWhat", level.nameWhat);
    values.push_back("LineDefined: " + std::to_string(level.lineDefined) + " ");
    values.push_back("CurrentLine: " + std::to_string(level.currentLine) + " ");
    std::vector<std::string> lines;
    for (size_t i = 0; i < values.size(); ++i) {
        std::string line = ValueLine(i == 0 ? "Debug " + std::to_string(level.level) : "", values[i]);
        line.pop_back(); // the report adds the line end
        lines.push_back(std::move(line));
    }
    return lines;
}

unsigned RatedCpuSpeed(const std::string& vendor, const std::string& name, unsigned mhz) {
    if (platform::LowerCaseCp1251(vendor) != "authenticamd" || name.empty()) return mhz;
    // The digits of the last word, read from the end back to the first space.
    size_t start = name.find_last_of(' ');
    start = start == std::string::npos ? 0 : start + 1;
    uint64_t number = 0;
    for (size_t i = start; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') continue;
        number = number * 10 + static_cast<unsigned>(name[i] - '0');
        if (number > 0xFFFFFFFFu) return mhz; // not a speed
    }
    return number >= mhz ? static_cast<unsigned>(number) : mhz;
}

unsigned MeasureCpuSpeedMhz() {
    constexpr unsigned kPauseMs = 50;
    return std::max(TscMeasureOnce(kPauseMs), TscMeasureOnce(kPauseMs));
}

ErrorLogFacts CollectErrorLogFacts() {
    ErrorLogSources& src = GetErrorLogSources();
    ErrorLogFacts f;
    if (src.applicationTitle) f.application = src.applicationTitle();
    if (src.version) f.version = src.version();
    f.errorTexts = PendingErrorTexts;
    if (src.commandLine) f.params = src.commandLine();
    f.luaAlive = src.luaDebug && src.luaDebug(f.luaLines);

    platform::OsInfo os = platform::GetOsInfo();
    f.product = os.kernelName + " " + os.release;
    f.majorVersion = os.major;
    f.minorVersion = os.minor;
    f.buildNumber = os.build;

    f.totalPhysKb = platform::GetMemoryStatus().totalPhysKb;
    platform::CpuInfo cpu = platform::GetCpuInfo();
    f.cpuOk = cpu.ok;
    f.cpuName = cpu.name;
    f.cpuVendor = cpu.vendor;
    f.cpuMhz = cpu.mhz;
    f.measuredMhz = src.measuredCpuMhz ? src.measuredCpuMhz() : MeasureCpuSpeedMhz();

    if (src.videoCard) f.videoCard = src.videoCard();
    if (f.videoCard.size() > kVideoCardMaxChars) f.videoCard.resize(kVideoCardMaxChars);
    if (src.resolution) f.resolution = src.resolution();
    return f;
}

std::string FormatErrorLogReport(const ErrorLogFacts& f) {
    std::string out = SectionHead("General Info");
    out += ValueLine("Application", f.application);
    out += ValueLine("Version", f.version);
    out += "\n";
    if (f.errorTexts.empty()) out += ValueLine("ErrorText", kUnknownError);
    for (const auto& t : f.errorTexts) out += ValueLine("ErrorText", t);
    out += "\n";
    std::string params;
    for (const auto& p : f.params) params += (params.empty() ? "" : " ") + platform::UpperCaseCp1251(p);
    out += ValueLine("Params", params);
    out += ValueLine("ParamCount", std::to_string(f.params.size()));
    out += "\n";

    out += SectionHead("LUA Debug");
    if (!f.luaAlive)
        out += SectionHead("LUA was Freed");
    else
        for (const auto& line : f.luaLines) out += line + "\n";
    out += "\n";

    out += SectionHead("Windows Info");
    out += ValueLine("Product", f.product);
    out += ValueLine("Win32MajorVersion", std::to_string(f.majorVersion));
    out += ValueLine("Win32MinorVersion", std::to_string(f.minorVersion));
    out += ValueLine("BuildNumber", std::to_string(f.buildNumber));
    out += ValueLine("ServicePack", f.servicePack);
    out += ValueLine("ServicePackMajor", std::to_string(f.servicePackMajor));
    out += ValueLine("ServicePackMinor", std::to_string(f.servicePackMinor));
    out += "\n";

    out += SectionHead("Hardware Info");
    auto physMb = static_cast<uint64_t>(std::llround(static_cast<double>(f.totalPhysKb) / 1024.0)) + 1;
    out += ValueLine("Physical Memory", std::to_string(physMb) + "MB");
    if (f.cpuOk) {
        out += ValueLine("CPU Name", f.cpuName);
        out += ValueLine("CPU Clock", std::to_string(f.cpuMhz) + "Mhz");
        unsigned rated = RatedCpuSpeed(f.cpuVendor, f.cpuName, f.cpuMhz);
        if (rated != f.cpuMhz) out += ValueLine("CPU Speed", std::to_string(rated) + "Mhz");
    } else {
        out += ValueLine("CPU Name", kNoInfo);
        out += ValueLine("CPU Clock", kNoInfo);
        out += ValueLine("CPU Speed", kNoInfo);
    }
    out += ValueLine("\"Actual\" CPU Speed", std::to_string(f.measuredMhz) + "Mhz");
    out += ValueLine("VideoCard", f.videoCard);
    out += ValueLine("Resolution", f.resolution);
    out += "\n";
    return out;
}

void ErrorLogReport(const std::string& text, bool write) {
    if (!text.empty()) PendingErrorTexts.push_back(text);
    if (!write) return;
    std::string report = FormatErrorLogReport(CollectErrorLogFacts());
    platform::CreateFolders(platform::ExeFolder() + "/Logs/ErrorLogs");
    std::string name = NextErrorLogFileName();
    if (!platform::WriteFile(name, report)) {
        // Keep the texts for the next attempt (the shut-down writes again).
        FastLogAddError("ErrorLogReport: unable to write " + name);
        std::fprintf(stderr, "vesk: cannot write the error report %s\n", platform::NativePath(name).c_str());
        return;
    }
    PendingErrorTexts.clear();
    platform::OpenDocument(name);
}

} // namespace vesk
