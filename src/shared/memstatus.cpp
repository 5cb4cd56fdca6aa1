#include "shared/memstatus.h"

#include "platform/system.h"
#include "shared/errors.h"

#include <charconv>

namespace vesk {

std::string GetMemStatusStr() {
    platform::MemoryStatus m = platform::GetMemoryStatus();
    return "dwAvailPhys: " + std::to_string(m.availPhysKb) +
           " kb, dwAvailPageFile: " + std::to_string(m.availPageFileKb) + " kb";
}

void GetAvailMemKb(int64_t& physKb, int64_t& pageFileKb) {
    platform::MemoryStatus m = platform::GetMemoryStatus();
    physKb = static_cast<int64_t>(m.availPhysKb);
    pageFileKb = static_cast<int64_t>(m.availPageFileKb);
}

void LogMemUsage(int64_t markPhysKb, int64_t markPageFileKb, const std::string& name, LogWriter* writer) {
    if (!writer && !MemLogWritten()) return; // the line would go nowhere
    int64_t physKb = 0, pageFileKb = 0;
    GetAvailMemKb(physKb, pageFileKb);
    std::string line = name + "\tphys_mem\t" + std::to_string(markPhysKb - physKb) + "\tkb\tswap\t" +
                       std::to_string(markPageFileKb - pageFileKb) + "\tkb";
    if (writer)
        writer->Add(line);
    else
        FastLogAddMem(line);
}

MemUsageMark TakeMemUsageMark() {
    MemUsageMark mark;
    if (!MemLogWritten()) return mark;
    mark.taken = true;
    GetAvailMemKb(mark.physKb, mark.pageFileKb);
    return mark;
}

void LogMemUsageSince(const MemUsageMark& mark, const std::string& name) {
    if (mark.taken && MemLogWritten()) LogMemUsage(mark.physKb, mark.pageFileKb, name, nullptr);
}

void LogTiming(const std::string& name, LogWriter* writer, int64_t startCounter) {
    int64_t freq = platform::PerfFrequency();
    float sec = freq > 0 ? static_cast<float>(static_cast<double>(platform::PerfCounter() - startCounter) /
                                              static_cast<double>(freq))
                         : 0.0f;
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, sec);
    std::string line = name + "_sec\t" + std::string(buf, res.ptr);
    if (writer)
        writer->Add(line);
    else
        FastLogAdd(line);
}

} // namespace vesk
