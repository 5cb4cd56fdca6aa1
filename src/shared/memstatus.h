#pragma once
// Memory-status texts and timing lines for the start-up logs.
#include <cstdint>
#include <string>

namespace vesk {

class LogWriter;

// "dwAvailPhys: <n> kb, dwAvailPageFile: <n> kb"
std::string GetMemStatusStr();
// The mark taken before a start-up step.
void GetAvailMemKb(int64_t& physKb, int64_t& pageFileKb);
// "<name>\tphys_mem\t<used>\tkb\tswap\t<used>\tkb", used = mark - now, to the
// writer or, without one, to the memory log.
void LogMemUsage(int64_t markPhysKb, int64_t markPageFileKb, const std::string& name, LogWriter* writer);
// The mark for a memory-log line about one step. Free memory is read (two
// reads of the system's memory status) only while the memory log is written.
struct MemUsageMark {
    bool taken = false;
    int64_t physKb = 0, pageFileKb = 0;
};
MemUsageMark TakeMemUsageMark();
// The memory-log line for the step since the mark; nothing for a mark not taken.
void LogMemUsageSince(const MemUsageMark& mark, const std::string& name);
// "<name>_sec\t<seconds since start>", to the writer or, without one, to the general log.
void LogTiming(const std::string& name, LogWriter* writer, int64_t startCounter);

} // namespace vesk
