#include "game/game_lua.h"

#include "core/lua_functions.h"

#include <lua.hpp>

#include "core/lua_machine.h"

namespace vesk {

namespace {
std::function<void(const std::string&)>& Observer() {
    static std::function<void(const std::string&)> observer;
    return observer;
}
bool HostReady() {
    return LuaMachine && LuaMachine->IsOpen();
}
} // namespace

void SetGameLuaObserver(std::function<void(const std::string& chunk)> observer) {
    Observer() = std::move(observer);
}

void GameRunLua(const std::string& chunk) {
    if (Observer()) Observer()(chunk);
    if (HostReady()) LuaMachine->RunString(chunk);
}

bool GameLuaIsTable(const std::string& expression) {
    if (!HostReady()) return false;
    lua_State* L = LuaMachine->State();
    const int top = lua_gettop(L);
    const std::string chunk = "return " + expression;
    const bool table = luaL_loadbuffer(L, chunk.data(), chunk.size(), "=table test") == 0 &&
                       lua_pcall(L, 0, 1, 0) == 0 && lua_type(L, -1) == LUA_TTABLE;
    lua_settop(L, top);
    return table;
}

std::string LuaArgText(lua_State* L, int index) {
    return EngineArgText(L, index);
}

bool GameReadLua(const std::string& expression, std::string& text) {
    text.clear();
    if (!HostReady()) return false;
    // Cleared first: a statement that fails must not leave an older value behind.
    LuaMachine->RunString("a=nil");
    LuaMachine->RunString("a=" + expression);
    lua_State* L = LuaMachine->State();
    lua_getglobal(L, "a");
    bool present = !lua_isnil(L, -1);
    if (lua_isstring(L, -1)) {
        size_t len = 0;
        const char* s = lua_tolstring(L, -1, &len);
        text.assign(s, len);
    } else if (lua_isboolean(L, -1)) {
        text = lua_toboolean(L, -1) ? "1" : "0";
    }
    lua_pop(L, 1);
    return present;
}

} // namespace vesk
