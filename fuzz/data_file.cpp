// Files read back as data: any text through the data environment. Whatever
// the text does, the host must come out as it went in.
#include <cstddef>
#include <cstdint>
#include <string>

#include <lua.hpp>

#include "game/data_files.h"

namespace {

volatile size_t g_sink;

bool StringsHaveTheirMethods(lua_State* L) {
    lua_pushliteral(L, "");
    bool ok = lua_getmetatable(L, -1) != 0;
    if (ok) {
        lua_getfield(L, -1, "__index");
        ok = lua_istable(L, -1);
        lua_pop(L, 2);
    }
    lua_pop(L, 1);
    return ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static lua_State* L = [] {
        lua_State* s = luaL_newstate();
        luaL_openlibs(s);
        return s;
    }();
    const int top = lua_gettop(L);
    std::string why;
    const bool ran = vesk::RunDataText(L, std::string_view(reinterpret_cast<const char*>(data), size), "fuzz",
                                       {"exec_table", "other"}, &why);
    if (lua_gettop(L) != top || lua_gethook(L) != nullptr || !StringsHaveTheirMethods(L)) __builtin_trap();
    // Only plain data reaches the globals.
    lua_getglobal(L, "exec_table");
    const int type = lua_type(L, -1);
    lua_pop(L, 1);
    if (type == LUA_TFUNCTION || type == LUA_TUSERDATA || type == LUA_TTHREAD) __builtin_trap();
    g_sink = g_sink + (ran ? 1 : why.size());
    lua_gc(L, LUA_GCCOLLECT, 0);
    return 0;
}
