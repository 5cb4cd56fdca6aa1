#include "platform/result_codes.h"

#include <cstdio>

namespace vesk::platform {

// The table of names and descriptions is filled in with the error-log report.
std::string ResultName(Result r) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(r));
    return buf;
}

std::string ResultDescription(Result) { return "Unknown result"; }

} // namespace vesk::platform
