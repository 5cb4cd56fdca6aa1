#pragma once
// The engine functions through which scripts create, find, read, write,
// re-parent, delete, save and load nodes of the game-object tree.
#include <lua.hpp>
#include <string>

namespace vesk {

class TBaseGameObject;

// A pattern that can spawn a copy of itself under a parent (engine_SpawnVar).
class IGameObjectSpawner {
public:
    virtual ~IGameObjectSpawner() = default;
    virtual void Spawn(const std::string& name, TBaseGameObject* parent) = 0;
};

// Registers the classes of the tree, its parameters, events and lists by name.
void RegisterGameTreeClasses();
// Installs the 17 handlers in the engine-function table (the Lua globals of
// the table reach them whenever the machine was started).
void RegisterGameTreeFunctions();

int engine_AddVar(lua_State* L);
int engine_AddCashedVar(lua_State* L);
int engine_DelVar(lua_State* L);
int engine_IsVar(lua_State* L);
int engine_SetVar(lua_State* L);
int engine_GetVar(lua_State* L);
int engine_GetHex(lua_State* L);
int engine_GetPath(lua_State* L);
int engine_GetId(lua_State* L);
int engine_Execute(lua_State* L);
int engine_SetParent(lua_State* L);
int engine_GetTable(lua_State* L);
int engine_SpawnVar(lua_State* L);
int engine_SaveToFile(lua_State* L);
int engine_LoadFromFile(lua_State* L);
int engine_UpdateToScript(lua_State* L);
int engine_UpdateToEngine(lua_State* L);

} // namespace vesk
