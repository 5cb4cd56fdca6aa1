#pragma once
// The engine functions the scripts call, registered by name in one fixed
// order. Their handlers belong to the subsystems that serve them: each
// subsystem installs its handlers at start-up with SetEngineFunction, before
// or after the Lua machine starts. A name whose handler is not installed yet
// raises a script error naming the function.
#include <cstddef>
#include <lua.hpp>
#include <span>
#include <string>
#include <string_view>

#include "shared/errors.h"

namespace vesk {

struct EngineFunctionEntry {
    const char* name;
    // For a second name of another entry's handler: that entry's name.
    const char* sameAs;
};

inline constexpr std::size_t kEngineFunctionCount = 122;

// Every name in registration order, aliases included.
std::span<const EngineFunctionEntry> EngineFunctionTable();

// Installs the handler behind a name of the table; an alias and the name it
// stands for share one handler. False for a name not in the table.
bool SetEngineFunction(std::string_view name, lua_CFunction handler);
// The installed handler, nullptr when none is.
lua_CFunction GetEngineFunction(std::string_view name);

// Registers all names of the table as globals of the state, in order.
void RegisterEngineFunctions(lua_State* L);

// A handler's argument as text (numbers as Lua writes them); "" when absent
// or of another kind.
std::string EngineArgText(lua_State* L, int index);
// A switch argument: true, a number other than 0, or the text "1" or "true".
bool EngineArgSwitch(lua_State* L, int index);

// Runs a handler's body; a failure escaping it is the fatal report `fault`.
template <class Body> int GuardedEngineFunction(const char* fault, lua_State* L, Body body) {
    try {
        return body(L);
    } catch (...) {
        ErrorReport(fault, "mhl");
        return 0;
    }
}

} // namespace vesk
