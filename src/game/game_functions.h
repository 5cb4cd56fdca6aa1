#pragma once
// The game side's own engine functions: including script files and folders,
// managing saved-game folders, script errors and Lua text, the tick count and
// the effect library reload; and "gameSystem", the object behind the
// scripts' system actions.
#include <lua.hpp>
#include <string>

#include "game/game_object.h"
#include "shared/errors.h"

namespace vesk {

// "gameSystem": engine_Execute("gameSystem", action, ...) with the actions
// "setDustMode" (mode), "errLogAdd" (text) and "getCurDateTime" (answers
// "DD.MM.YYYY HH:MM:SS").
class TGameSystem : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameSystem)
public:
    int Execute(lua_State* L) override;
};

// Each handler of these functions runs in a guard: a failure inside it is
// reported with the function's name and "fault".
template <class Body> int Guarded(const char* name, lua_State* L, Body body) {
    try {
        return body(L);
    } catch (...) {
        ErrorReport(std::string(name) + " fault", "mhl");
        return 0;
    }
}

// Whether a script-given saved-game name may name a folder under "save/":
// not empty, no "..", no separator, drive or absolute form, no control
// character.
enum class SaveNameCheck { ok, dots, invalid };
SaveNameCheck CheckSaveName(const std::string& name);

// The answer of a call that can be refused: true when it was done.
int PushDone(lua_State* L, bool done);

int engine_Include(lua_State* L);
int engine_IncludeDir(lua_State* L);
int engine_IncludeTree(lua_State* L);
int engine_CopySaveDir(lua_State* L);
int engine_DeleteSaveDir(lua_State* L);
int engine_Error(lua_State* L);
int engine_DoString(lua_State* L);
int engine_GetTickCount(lua_State* L);
int engine_ReloadFx(lua_State* L);

// Registers the classes of the game logic built on the tree (effects, scene
// objects, task queues, constants, "gameSystem").
void RegisterGameLogicClasses();
// Installs the handlers above in the engine-function table.
void RegisterGameLogicFunctions();
// Start-up: "gameSystem" and "bal" under the root, after "ini".
void CreateGameLogicRoots(TBaseGameObject* root);

} // namespace vesk
