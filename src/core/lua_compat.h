#pragma once
// The scripts are written for Lua 5.0; the host runs Lua 5.1. This layer
// restores what 5.0 scripts and the host code rely on: the 5.0 library set,
// the table size rules (`table.getn` honouring `n`, `table.setn`),
// `collectgarbage(number)`, the global `loadlib`, the one-call string and
// file runners, and 5.0's numbering of load and call results.
#include <lua.hpp>
#include <span>
#include <string>
#include <string_view>

namespace vesk {

// 5.0's status numbers, which the error texts carry.
inline constexpr int kLua50ErrRun = 1;
inline constexpr int kLua50ErrFile = 2;
inline constexpr int kLua50ErrSyntax = 3;
inline constexpr int kLua50ErrMem = 4;
inline constexpr int kLua50ErrErr = 5;

// A 5.1 status (0, LUA_ERRRUN, LUA_ERRSYNTAX, LUA_ERRMEM, LUA_ERRERR, LUA_ERRFILE) as 5.0 numbered it.
int LuaStatusTo50(int status);

// Opens one standard library through a protected call (5.1's openers need
// a calling environment). 5.0's io opener also made `os`, so `io` opens both.
void LuaOpenBase(lua_State* L);
void LuaOpenIo(lua_State* L);
void LuaOpenString(lua_State* L);
void LuaOpenDebug(lua_State* L);
void LuaOpenTable(lua_State* L);
void LuaOpenMath(lua_State* L);

// Installs the 5.0 behaviour of table.getn/setn, collectgarbage and loadlib,
// and routes the file names that io, os, dofile and loadfile take through the
// engine's path layer. Needs the libraries opened.
void InstallLua50Compat(lua_State* L);

// 5.0's lua_dobuffer/lua_dostring/lua_dofile: load and run; a failure is
// passed to the global `_ALERT` when the scripts define one, else written to
// stderr. The stack is left as it was. Returns the 5.0 status.
int LuaDoBuffer50(lua_State* L, std::string_view chunk, const char* chunkName);
int LuaDoString50(lua_State* L, std::string_view chunk);
// The run-and-report half of LuaDoBuffer50 for a chunk already loaded: runs the
// function on top when `status` is 0 (with `args` as the chunk's `...`),
// reports a failure as above (its message also into `failure` when given) and
// returns the stack to `top`.
int LuaRunLoaded50(lua_State* L, int status, int top, std::string* failure = nullptr,
                   std::span<const double> args = {});
// The name LuaDoString50 gives a chunk: its first 60 characters.
std::string LuaDoStringName(std::string_view chunk);
int LuaDoFile50(lua_State* L, const char* fileName, std::string* failure = nullptr);

// luaL_loadfile through the engine's path layer ("\\", any letter case).
// Returns the 5.1 status; on failure the message is on the stack.
int LuaLoadFile(lua_State* L, const char* fileName);

} // namespace vesk
