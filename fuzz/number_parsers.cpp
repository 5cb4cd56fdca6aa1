// Script text to numbers: the reporting conversions and the quiet one.
#include "shared/errors.h"
#include "shared/helpers.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {
struct Halt {};
volatile double g_sink;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = [] {
        vesk::GetErrorHooks().halt = [] { throw Halt{}; };
        return true;
    }();
    (void)ready;
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        g_sink = vesk::kws2f(text, "fuzz");
    } catch (const Halt&) {
    }
    try {
        g_sink = vesk::kws2i(text, "fuzz");
    } catch (const Halt&) {
    }
    g_sink = vesk::StrToExtDef(text, -1.0);
    // Whatever converts must print and read back through the quiet parser.
    double v = 0;
    if (vesk::TryParseFloatVal(text, v)) {
        double back = 0;
        if (!vesk::TryParseFloatVal(vesk::FloatToStrRaw(v), back)) __builtin_trap();
        g_sink = back + static_cast<double>(vesk::FloatToStrFixedN(v, static_cast<int>(size % 20)).size());
    }
    vesk::PendingErrorTexts.clear();
    return 0;
}
