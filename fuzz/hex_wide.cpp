// Hex-wide text: decoding any text, and the round trip of any wide text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/string_tables.h"
#include "shared/errors.h"

namespace {
volatile std::size_t g_sink = 0;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = [] {
        vesk::GetErrorHooks().halt = [] {}; // fatal reports return here
        return true;
    }();
    (void)ready;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::u16string decoded = vesk::HexStr2WideString(text);
    g_sink = g_sink + decoded.size() + vesk::IsHexWideStr(text) + vesk::IsHexDigits(text);

    std::u16string wide;
    for (std::size_t i = 0; i + 1 < size; i += 2) wide += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    const std::string hex = vesk::WideStr2HexString(wide);
    if (vesk::HexStr2WideString(hex) != wide) std::abort();
    vesk::PendingErrorTexts.clear();
    return 0;
}
