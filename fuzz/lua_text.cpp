// Any text written in its long-bracket or quoted Lua form reads back unchanged.
#include <cstddef>
#include <cstdint>
#include <string>

#include <lua.hpp>

#include "game/lua_text.h"

namespace {

volatile size_t g_sink;

std::string ReadBack(lua_State* L, const std::string& literal) {
    const std::string chunk = "return " + literal;
    std::string out;
    if (luaL_loadbuffer(L, chunk.data(), chunk.size(), "t") == 0 && lua_pcall(L, 0, 1, 0) == 0 &&
        lua_isstring(L, -1)) {
        size_t len = 0;
        const char* s = lua_tolstring(L, -1, &len);
        out.assign(s, len);
    } else {
        out = "\x01<error>";
    }
    lua_settop(L, 0);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static lua_State* L = luaL_newstate();
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string longForm = vesk::LuaLongString(text);
    const std::string quoted = vesk::LuaQuote(text);
    if (ReadBack(L, longForm) != text || ReadBack(L, quoted) != text) __builtin_trap();
    g_sink = longForm.size() + quoted.size();
    return 0;
}
