#pragma once
// The central error report, the fast log and the error-log report files.
#include <functional>
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

// Flags: "m" releases the display and queues the text for the error-log
// report; "h" then shuts the program down and halts; exactly "w" only queues.
// Every call writes the text to "errlog.txt".
void ErrorReport(const std::string& text, const std::string& flags);

void FastLogAdd(const std::string& text);
void FastLogAddInt(int value);
void FastLogAddError(const std::string& text);
void FastLogAddLuaTime(const std::string& text);
void FastLogAddMem(const std::string& text);
// Empties "log.txt", "errlog.txt" and "luatlog.txt" in the log folder.
void FastLogClearFiles();

// Queues a non-empty text; with write, writes the report file and clears the queue.
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
};
ErrorHooks& GetErrorHooks();

// Facts the error-log report collects from higher layers; each may be empty.
struct ErrorLogSources {
    std::function<std::string()> applicationTitle;
    std::function<std::string()> version;
    std::function<std::vector<std::string>()> commandLine;
    // Lua stack lines, already formatted; absent when Lua was freed.
    std::function<bool(std::vector<std::string>& lines)> luaDebug;
    std::function<std::string()> videoCard;
    std::function<std::string()> resolution;
};
ErrorLogSources& GetErrorLogSources();

} // namespace vesk
