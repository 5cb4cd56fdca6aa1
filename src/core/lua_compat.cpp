#include "core/lua_compat.h"

#include <cstdio>
#include <string>

#include "platform/files.h"

namespace vesk {

int LuaStatusTo50(int status) {
    switch (status) {
    case 0:
        return 0;
    case LUA_ERRRUN:
        return kLua50ErrRun;
    case LUA_ERRFILE:
        return kLua50ErrFile;
    case LUA_ERRSYNTAX:
        return kLua50ErrSyntax;
    case LUA_ERRMEM:
        return kLua50ErrMem;
    case LUA_ERRERR:
        return kLua50ErrErr;
    default:
        return status;
    }
}

namespace {

void OpenThrough(lua_State* L, lua_CFunction opener, const char* name) {
    lua_pushcfunction(L, opener);
    lua_pushstring(L, name);
    lua_call(L, 1, 0);
}

// The parts of 5.0 that 5.1 dropped or changed, written in Lua so they stay
// readable. Sizes set with table.setn on tables without an `n` field live in
// a weak-keyed side table, as 5.0 kept them.
constexpr const char* kCompatChunk = R"lua(
local sizes = setmetatable({}, {__mode = "k"})
local getn51 = table.getn
table.getn = function(t)
  local n = rawget(t, "n")
  if type(n) == "number" then return n end
  local s = sizes[t]
  if s then return s end
  return getn51(t)
end
table.setn = function(t, n)
  if type(rawget(t, "n")) == "number" then rawset(t, "n", n) else sizes[t] = n end
end
local gc51 = collectgarbage
collectgarbage = function(opt, ...)
  if opt == nil or type(opt) == "number" then return gc51("collect") end
  return gc51(opt, ...)
end
if package then loadlib = package.loadlib end
)lua";

void ReportFailure(lua_State* L, int status, std::string* failure) {
    if (status == 0) return;
    const char* msg = lua_tostring(L, -1);
    std::string text = msg ? msg : "(error object is not a string)";
    if (failure) *failure = text;
    lua_pop(L, 1);
    lua_getglobal(L, "_ALERT");
    if (lua_isfunction(L, -1)) {
        lua_pushlstring(L, text.data(), text.size());
        if (lua_pcall(L, 1, 0, 0) != 0) lua_pop(L, 1);
    } else {
        lua_pop(L, 1);
        std::fprintf(stderr, "%s\n", text.c_str());
    }
}

// Scripts name files the way content written on Windows does ("\\", any
// letter case). Every library function that takes a file name goes through
// the engine's path layer: the wrapper rewrites its string arguments at the
// given positions and calls the original, kept as the closure's upvalue.
int PathArgsWrapper(lua_State* L) {
    const int mask = static_cast<int>(lua_tointeger(L, lua_upvalueindex(2)));
    const int n = lua_gettop(L);
    for (int i = 1; i <= n && i <= 8; ++i) {
        if ((mask & (1 << i)) && lua_type(L, i) == LUA_TSTRING) {
            std::string native = platform::NativePath(lua_tostring(L, i));
            lua_pushstring(L, native.c_str());
            lua_replace(L, i);
        }
    }
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, n, LUA_MULTRET);
    return lua_gettop(L);
}

// Wraps table[name] (the globals when table is null) with PathArgsWrapper.
void WrapPathFunction(lua_State* L, const char* table, const char* name, int argMask) {
    if (table) {
        lua_getglobal(L, table);
        if (!lua_istable(L, -1)) {
            lua_pop(L, 1);
            return;
        }
    } else {
        lua_pushvalue(L, LUA_GLOBALSINDEX);
    }
    lua_getfield(L, -1, name);
    if (!lua_isfunction(L, -1)) {
        lua_pop(L, 2);
        return;
    }
    lua_pushinteger(L, argMask);
    lua_pushcclosure(L, PathArgsWrapper, 2);
    lua_setfield(L, -2, name);
    lua_pop(L, 1);
}

void InstallScriptPaths(lua_State* L) {
    constexpr int kFirst = 1 << 1, kSecond = 1 << 2;
    WrapPathFunction(L, "io", "open", kFirst);
    WrapPathFunction(L, "io", "lines", kFirst);
    WrapPathFunction(L, "io", "input", kFirst);
    WrapPathFunction(L, "io", "output", kFirst);
    WrapPathFunction(L, "os", "remove", kFirst);
    WrapPathFunction(L, "os", "rename", kFirst | kSecond);
    WrapPathFunction(L, nullptr, "dofile", kFirst);
    WrapPathFunction(L, nullptr, "loadfile", kFirst);
}

} // namespace

void LuaOpenBase(lua_State* L) {
    OpenThrough(L, luaopen_base, "");
}
void LuaOpenIo(lua_State* L) {
    OpenThrough(L, luaopen_io, LUA_IOLIBNAME);
    OpenThrough(L, luaopen_os, LUA_OSLIBNAME);
}
void LuaOpenString(lua_State* L) {
    OpenThrough(L, luaopen_string, LUA_STRLIBNAME);
}
void LuaOpenDebug(lua_State* L) {
    OpenThrough(L, luaopen_debug, LUA_DBLIBNAME);
}
void LuaOpenTable(lua_State* L) {
    OpenThrough(L, luaopen_table, LUA_TABLIBNAME);
}
void LuaOpenMath(lua_State* L) {
    OpenThrough(L, luaopen_math, LUA_MATHLIBNAME);
}

void InstallLua50Compat(lua_State* L) {
    // `loadlib` comes from 5.1's package library.
    OpenThrough(L, luaopen_package, LUA_LOADLIBNAME);
    if (luaL_loadbuffer(L, kCompatChunk, std::char_traits<char>::length(kCompatChunk), "=compat") != 0 ||
        lua_pcall(L, 0, 0, 0) != 0) {
        std::fprintf(stderr, "Lua compatibility layer: %s\n", lua_tostring(L, -1));
        lua_pop(L, 1);
    }
    InstallScriptPaths(L);
}

int LuaRunLoaded50(lua_State* L, int status, int top, std::string* failure, std::span<const double> args) {
    if (status == 0) {
        for (double v : args) lua_pushnumber(L, v);
        status = lua_pcall(L, static_cast<int>(args.size()), LUA_MULTRET, 0);
    }
    ReportFailure(L, status, failure);
    lua_settop(L, top);
    return LuaStatusTo50(status);
}

int LuaDoBuffer50(lua_State* L, std::string_view chunk, const char* chunkName) {
    const int top = lua_gettop(L);
    return LuaRunLoaded50(L, luaL_loadbuffer(L, chunk.data(), chunk.size(), chunkName), top);
}

std::string LuaDoStringName(std::string_view chunk) {
    return std::string(chunk.substr(0, 60));
}

int LuaDoString50(lua_State* L, std::string_view chunk) {
    return LuaDoBuffer50(L, chunk, LuaDoStringName(chunk).c_str());
}

int LuaLoadFile(lua_State* L, const char* fileName) {
    std::string data;
    if (!platform::ReadFile(fileName, data)) {
        lua_pushfstring(L, "cannot open %s", fileName);
        return LUA_ERRFILE;
    }
    // A first line starting with "#" is skipped, as the stand-alone loader does;
    // its line end stays so line numbers keep matching.
    std::string_view text(data);
    if (!text.empty() && text[0] == '#') {
        auto eol = text.find('\n');
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol);
    }
    std::string name = std::string("@") + fileName;
    return luaL_loadbuffer(L, text.data(), text.size(), name.c_str());
}

int LuaDoFile50(lua_State* L, const char* fileName, std::string* failure) {
    const int top = lua_gettop(L);
    return LuaRunLoaded50(L, LuaLoadFile(L, fileName), top, failure);
}

} // namespace vesk
