// The scripts' printing into the console, the status text of the desktop's
// overlay and the switch that hides the 3D scene.
#include "interface/print_functions.h"

#include "core/lua_functions.h"
#include "interface/console.h"
#include "interface/desktop.h"
#include "interface/interface_services.h"

#include <string>

namespace vesk {

namespace {

std::string StatusText;

// Every argument as Lua's tostring writes it, separated by blanks.
std::string JoinedArguments(lua_State* L, int first) {
    std::string line;
    for (int i = first; i <= lua_gettop(L); ++i) {
        lua_getglobal(L, "tostring");
        lua_pushvalue(L, i);
        lua_call(L, 1, 1);
        const char* s = lua_tostring(L, -1);
        if (i > first) line += ' ';
        line += s ? s : "";
        lua_pop(L, 1);
    }
    return line;
}

// engine_Print(...): one console line of the arguments.
int EnginePrint(lua_State* L) {
    return GuardedEngineFunction("engine_Print fault", L, [](lua_State* L) {
        if (Console) Console->AddLine(JoinedArguments(L, 1));
        return 0;
    });
}

// engine_PrintC(text, colour): one console line in a colour of the table
// (0..9, the text's own "#" pair); without a colour as engine_Print.
int EnginePrintC(lua_State* L) {
    return GuardedEngineFunction("engine_PrintC fault", L, [](lua_State* L) {
        std::string line = EngineArgText(L, 1);
        if (lua_gettop(L) >= 2 && lua_type(L, 2) == LUA_TNUMBER) {
            const int colour = static_cast<int>(lua_tonumber(L, 2));
            if (colour >= 0 && colour <= 9) line = "#" + std::to_string(colour) + line;
        }
        if (Console) Console->AddLine(line);
        return 0;
    });
}

// engine_SetStatus(text): the status text of the desktop's FPS overlay.
int EngineSetStatus(lua_State* L) {
    return GuardedEngineFunction("engine_SetStatus fault", L, [](lua_State* L) {
        const int n = lua_gettop(L);
        if (n != 1) {
            ErrorReport("engine_SetStatus fault - wrong param count: " + std::to_string(n), "mhl");
            return 0;
        }
        if (!lua_isstring(L, 1)) {
            ErrorReport("engine_SetStatus fault - wrong param value, check script.", "mhl");
            return 0;
        }
        StatusText = EngineArgText(L, 1);
        return 0;
    });
}

// engine_EnableRender(on): the 3D scene is drawn or hidden (the interface goes on).
int EngineEnableRender(lua_State* L) {
    return GuardedEngineFunction("engine_EnableRender fault", L, [](lua_State* L) {
        if (TDeskTop* desk = CurrentDesktop()) desk->SetHideScene(!EngineArgSwitch(L, 1));
        return 0;
    });
}

} // namespace

const std::string& InterfaceStatusText() {
    return StatusText;
}

void InstallPrintFunctions() {
    StatusText.clear();
    SetEngineFunction("engine_Print", EnginePrint);
    SetEngineFunction("engine_PrintC", EnginePrintC);
    SetEngineFunction("engine_SetStatus", EngineSetStatus);
    SetEngineFunction("engine_EnableRender", EngineEnableRender);
}

} // namespace vesk
