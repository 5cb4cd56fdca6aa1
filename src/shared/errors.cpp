#include "shared/errors.h"

#include "platform/files.h"
#include "platform/system.h"

#include <cstdio>
#include <cstdlib>

namespace vesk {

bool LogEnabled = false;
std::vector<std::string> PendingErrorTexts;

namespace {

std::string g_logFolder = "logs/def";
bool g_memLogEnabled = false;

ErrorHooks& Hooks() {
    static ErrorHooks hooks;
    return hooks;
}

// The common fast-log write: one line appended, the folder made on demand.
void FastLogWrite(const char* fileName, const std::string& text) {
    if (!LogEnabled) return;
    if (g_logFolder.empty() || fileName[0] == '\0') {
        platform::ShowMessageBox(text, "Unable To Add To Log");
        return;
    }
    platform::CreateFolders(g_logFolder);
    platform::AppendFile(g_logFolder + "/" + fileName, text + "\n");
}

} // namespace

void SetLogFolder(std::string folder) {
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

ErrorHooks& GetErrorHooks() {
    return Hooks();
}

ErrorLogSources& GetErrorLogSources() {
    static ErrorLogSources sources;
    return sources;
}

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
    if (!g_memLogEnabled) return;
    FastLogWrite(kMemLogFileName, text);
}

void FastLogClearFiles() {
    for (const char* name : {kLogFileName, kErrLogFileName, kLuaTimeLogFileName}) {
        std::string path = g_logFolder + "/" + name;
        if (platform::FileExists(path)) platform::WriteFile(path, "");
    }
}

void ErrorReport(const std::string& text, const std::string& flags) {
    ErrorHooks& h = Hooks();
    if (h.onReport) h.onReport(text, flags);
    FastLogAddError(text);
    if (flags.find('m') != std::string::npos) {
        if (h.releaseDisplay) h.releaseDisplay();
        ErrorLogReport(text, false);
    }
    if (flags.find('h') != std::string::npos) {
        if (h.shutdown) h.shutdown();
        if (h.halt) {
            h.halt();
            return; // only a test's halt comes back
        }
        std::fflush(nullptr);
        std::_Exit(1);
    }
    if (flags == "w") ErrorLogReport(text, false);
}

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
        std::snprintf(num, sizeof num, "%04d", n);
        std::string name = folder + date + "_VESKErrorLog_" + num + ".txt";
        if (!platform::FileExists(name)) return name;
    }
}

void ErrorLogReport(const std::string& text, bool write) {
    if (!text.empty()) PendingErrorTexts.push_back(text);
    if (!write) return;
    std::string name = NextErrorLogFileName();
    platform::CreateFolders(platform::ExeFolder() + "/Logs/ErrorLogs");
    std::string out = "General Info\n------------\n";
    for (const auto& t : PendingErrorTexts) out += "ErrorText : " + t + "\n";
    platform::WriteFile(name, out);
    PendingErrorTexts.clear();
}

} // namespace vesk
