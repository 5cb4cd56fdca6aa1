// The scripts' traces into the logs, the scene texts of the settings and the
// first start of the game.
#include "game/log_functions.h"

#include "core/game_ini_params.h"
#include "core/lua_functions.h"
#include "core/var_list.h"
#include "platform/files.h"
#include "shared/errors.h"

#include <string>

namespace vesk {

namespace {

// engine_PrintLog(text): a line of the error log ("errlog.txt").
int EnginePrintLog(lua_State* L) {
    return GuardedEngineFunction("engine_PrintLog fault", L, [](lua_State* L) {
        ErrorReport(EngineArgText(L, 1), "");
        return 0;
    });
}

// engine_PrintPhysis(text): a physics trace in the fast log.
int EnginePrintPhysis(lua_State* L) {
    return GuardedEngineFunction("engine_PrintPhysis fault", L, [](lua_State* L) {
        FastLogAdd("Physics: " + EngineArgText(L, 1));
        return 0;
    });
}

// engine_GetSPTS(): the "sp" settings "spts" and "spts2", two texts.
int EngineGetSPTS(lua_State* L) {
    return GuardedEngineFunction("engine_GetSPTS fault", L, [](lua_State* L) {
        for (const char* name : {"spts", "spts2"}) {
            const std::string v =
                SpVars && SpVars->Exists(name) ? SpVars->Get(name).AsString() : std::string();
            lua_pushlstring(L, v.data(), v.size());
        }
        return 2;
    });
}

// FirstTimeInit(): true while the game has never saved its settings table in
// its folder, so the scripts can greet a new player.
int FirstTimeInit(lua_State* L) {
    return GuardedEngineFunction("FirstTimeInit fault", L, [](lua_State* L) {
        lua_pushboolean(L, !platform::FileExists(std::string(kGameIniFileName)));
        return 1;
    });
}

} // namespace

void InstallLogFunctions() {
    SetEngineFunction("engine_PrintLog", EnginePrintLog);
    SetEngineFunction("engine_PrintPhysis", EnginePrintPhysis);
    SetEngineFunction("engine_GetSPTS", EngineGetSPTS);
    SetEngineFunction("FirstTimeInit", FirstTimeInit);
}

} // namespace vesk
