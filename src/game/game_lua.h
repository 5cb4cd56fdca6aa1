#pragma once
// How the game-object tree talks to the Lua host: each generated statement
// runs as its own chunk, and values are read back through the global `a`.
#include <functional>
#include <string>

struct lua_State;

namespace vesk {

// Runs one generated chunk in the Lua host (nothing when the host is closed).
void GameRunLua(const std::string& chunk);
// Reads the value of a Lua expression as text; false when it is nil (or the
// host is closed), so a caller can tell an absent key from an empty text.
bool GameReadLua(const std::string& expression, std::string& text);

// True when the Lua expression's value is a table; an expression that fails
// (indexing a missing table) is no table, and nothing is reported.
bool GameLuaIsTable(const std::string& expression);

// The Lua argument at a position as text; empty when absent or not text.
std::string LuaArgText(lua_State* L, int index);

// Sees every chunk the tree runs, before it runs (tests compare the text of
// saves with it). An empty function removes the observer.
void SetGameLuaObserver(std::function<void(const std::string& chunk)> observer);

} // namespace vesk
