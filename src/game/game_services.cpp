#include "game/game_services.h"

#include "core/lua_functions.h"
#include "shared/errors.h"

#include <lua.hpp>

namespace vesk {

namespace {

// engine_PrintFastLog(text): one line of the fast log.
int EnginePrintFastLog(lua_State* L) {
    const char* text = lua_tostring(L, 1);
    FastLogAdd(text ? text : "");
    return 0;
}

} // namespace

void InstallGameServices(CoreServices& services) {
    SetEngineFunction("engine_PrintFastLog", EnginePrintFastLog);
    // The game-object tree is not part of the game library yet: the core's
    // stand-in serves the lists until it is.
    (void)services;
}

} // namespace vesk
