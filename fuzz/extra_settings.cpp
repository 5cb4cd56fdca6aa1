// Feeds arbitrary text to the extra settings file reader.
#include "core/extra_settings.h"
#include "shared/errors.h"

#include <cstdint>
#include <string_view>

namespace {
volatile unsigned g_sink;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vesk::ApplyExtraSettings(std::string_view(reinterpret_cast<const char*>(data), size));
    g_sink = vesk::PfxAcceptModes + (vesk::LogEnabled ? 1u : 0u);
    vesk::LogEnabled = false; // keeps the fuzzer from writing log files
    return 0;
}
