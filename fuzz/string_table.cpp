// String-table files: any bytes, decoded and stored through the Lua host.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/lua_machine.h"
#include "core/string_tables.h"
#include "shared/errors.h"

namespace {
volatile int g_sink = 0;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = [] {
        vesk::GetErrorHooks().halt = [] {}; // fatal reports return here
        vesk::CreateLuaMachine();
        vesk::LuaMachine->RunString("strings = {}");
        return true;
    }();
    (void)ready;
    vesk::LuaDebugMode = (size & 1) != 0;
    vesk::ParseRefText(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.txt");
    lua_State* L = vesk::LuaMachine->State();
    g_sink = g_sink + lua_gettop(L);
    vesk::PendingErrorTexts.clear();
    // Free this input's values now, so the fuzzer's leak check sees balanced allocations.
    vesk::LuaMachine->RunString("strings = {}");
    lua_gc(L, LUA_GCCOLLECT, 0);
    return 0;
}
