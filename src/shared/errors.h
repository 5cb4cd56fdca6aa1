#pragma once
// The central error report, the fast log and the error-log report files.
#include "platform/result_codes.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vesk {

// Fast logging is on only while the extra setting "log_enable" says "true".
extern bool LogEnabled;
// Texts queued for the next error-log report.
extern std::vector<std::string> PendingErrorTexts;

// Log file names and the log folder ("logs/def" until start-up sets it).
inline constexpr const char* kLogFileName = "log.txt";
inline constexpr const char* kErrLogFileName = "errlog.txt";
inline constexpr const char* kLuaTimeLogFileName = "luatlog.txt";
inline constexpr const char* kMemLogFileName = "memlog.xls";
void SetLogFolder(std::string folder);
const std::string& LogFolder();
// The memory log has its own switch (a byte of the setup record).
void SetMemLogEnabled(bool enabled);
bool MemLogEnabled();
// True when a line for the memory log is written: logging on and the memory log switched on.
bool MemLogWritten();

// Flags: "m" queues the text for the error-log report; "mh" also releases the
// display, shuts the program down and halts; exactly "w" only queues.
// Every call writes the text to "errlog.txt".
void ErrorReport(const std::string& text, const std::string& flags);

// A worker thread must not release the display or shut the program down from
// under the main thread. While a deferral is alive on the calling thread,
// ErrorReport hands its text and flags to the sink and does nothing else; the
// owner replays them on the main thread with ErrorReport.
using ReportSink = std::function<void(const std::string& text, const std::string& flags)>;
class ScopedReportDeferral {
public:
    explicit ScopedReportDeferral(ReportSink sink);
    ~ScopedReportDeferral();
    ScopedReportDeferral(const ScopedReportDeferral&) = delete;
    ScopedReportDeferral& operator=(const ScopedReportDeferral&) = delete;

private:
    ReportSink sink_;
    ReportSink* previous_;
};

// A content reader's message that tells which file it is about: the text as
// it is when it names the file already, else with " (file: <name>)" added.
std::string NamingFile(const std::string& text, const std::string& fileName);

// Device and sound results: any non-zero result is reported with its name and
// description appended on the following lines.
void CheckDXResult(platform::Result result, const std::string& text, const std::string& flags);
void ReportDXError(const std::string& text, platform::Result result, const std::string& flags);
// Name + LF + "(" + description + ")".
std::string DXErrorText(platform::Result result);
// Like CheckDXResult, but the failure is only queued for the error-log report.
void CheckDXResultToErrorLog(platform::Result result, const std::string& text);

void FastLogAdd(const std::string& text);
void FastLogAddInt(int value);
void FastLogAddError(const std::string& text);
void FastLogAddLuaTime(const std::string& text);
void FastLogAddMem(const std::string& text);
// Buffered fast logs: lines collect in memory and are appended in batches
// (see FastLogFlush for when). Off by default, so that tools and tests read a
// line back as soon as it is added; the game turns it on at start-up. A log
// file that cannot be written is said once on stderr.
void SetFastLogBuffered(bool buffered);
// Writes every buffered line out now.
void FastLogFlush();
// Writes the buffered lines out when the oldest has waited long enough (the
// main loop calls it once a frame, so lines never wait long on a quiet log).
void FastLogFlushIfDue();
// Empties "log.txt", "errlog.txt" and "luatlog.txt" in the log folder.
void FastLogClearFiles();

// A buffered log file: lines collect in memory (from any thread) and WriteOut
// rewrites the whole file with all of them. Both do nothing while logging is off.
class LogWriter {
public:
    explicit LogWriter(std::string fileName) : fileName_(std::move(fileName)) {}
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    void Add(const std::string& line);
    // Rewrites <log folder>/<file name>; the pending lines are kept.
    void WriteOut();
    const std::string& FileName() const { return fileName_; }
    size_t PendingCount();

private:
    // The busy flag: a spin that yields the processor while another thread holds it.
    class Busy;
    std::string fileName_;
    std::vector<std::string> pending_;
    std::atomic<bool> busy_{false};
};

// The log writers to write out at shut-down.
class FastLogFlushManClass {
public:
    void Add(std::shared_ptr<LogWriter> writer) { writers_.push_back(std::move(writer)); }
    const std::vector<std::shared_ptr<LogWriter>>& Writers() const { return writers_; }
    // WriteOut of every writer, in the order added, then frees the manager.
    static void FlushAndFree(std::unique_ptr<FastLogFlushManClass>& manager);

private:
    std::vector<std::shared_ptr<LogWriter>> writers_;
};
// Made by the start-up, flushed and freed by the shut-down.
extern std::unique_ptr<FastLogFlushManClass> FastLogFlushMan;

// Queues a non-empty text; with write, writes the report file, clears the queue
// and opens the file in the user's viewer.
void ErrorLogReport(const std::string& text, bool write);
bool ErrorLogHasPending();
// The file name the next report would take ("<exe>/Logs/ErrorLogs/yy_mm_dd_VESKErrorLog_NNNN.txt").
std::string NextErrorLogFileName();

// What the central report does beyond logging is supplied by the layers above
// it; tests replace the halt to make fatal paths observable in-process.
struct ErrorHooks {
    std::function<void(const std::string& text, const std::string& flags)> onReport; // observer, first
    std::function<void()> releaseDisplay; // device release and window close
    std::function<void()> shutdown;       // the application's final shut-down
    std::function<void()> halt;           // default: ends the process with status 1
    // Where a fatal report is said besides the logs; default: stderr.
    std::function<void(const std::string& text)> terminal;
};
ErrorHooks& GetErrorHooks();

// One level of the Lua call stack, as the Lua host reads it.
struct LuaStackLevel {
    int level = 0;
    std::string source, what, name, nameWhat; // each written only when set
    int lineDefined = 0;
    int currentLine = 0;
};
// The report lines of one stack level: the first labelled "Debug <level>", the rest unlabelled.
std::vector<std::string> FormatLuaStackLevel(const LuaStackLevel& level);

// Facts the error-log report collects from higher layers; each may be empty.
struct ErrorLogSources {
    std::function<std::string()> applicationTitle;
    // The program version; the provider reads it from the program file while it is "Unknow".
    std::function<std::string()> version;
    std::function<std::vector<std::string>()> commandLine; // parameters, without the program
    // Lua stack lines, already formatted (FormatLuaStackLevel for levels 3, 2, 1, 0);
    // returns false when Lua was freed.
    std::function<bool(std::vector<std::string>& lines)> luaDebug;
    std::function<std::string()> videoCard;
    std::function<std::string()> resolution; // "<width>x<height>"
    // Replaces the time-stamp-counter measurement (tests, where the pause is unwanted).
    std::function<unsigned()> measuredCpuMhz;
};
ErrorLogSources& GetErrorLogSources();

// Everything one report shows, gathered before the file is written.
struct ErrorLogFacts {
    std::string application;
    std::string version;
    std::vector<std::string> errorTexts;
    std::vector<std::string> params;
    bool luaAlive = false;
    std::vector<std::string> luaLines;
    std::string product;
    int majorVersion = 0, minorVersion = 0, buildNumber = 0;
    std::string servicePack;
    int servicePackMajor = 0, servicePackMinor = 0;
    uint64_t totalPhysKb = 0;
    bool cpuOk = false; // false: the CPU lines read "Error Obtaining Information"
    std::string cpuName, cpuVendor;
    unsigned cpuMhz = 0;
    unsigned measuredMhz = 0;
    std::string videoCard;
    std::string resolution;
};
ErrorLogFacts CollectErrorLogFacts();
std::string FormatErrorLogReport(const ErrorLogFacts& facts);
// The processor's rated speed: the number ending an AMD model name when it is
// at least the clock, else the clock.
unsigned RatedCpuSpeed(const std::string& vendor, const std::string& name, unsigned mhz);
// The larger of two short time-stamp-counter measurements, in MHz (0 where there is no counter).
unsigned MeasureCpuSpeedMhz();

} // namespace vesk
