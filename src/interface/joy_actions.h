#pragma once
// Joystick axis actions: scripts bind the six axes' direction codes
// ("JOYSTICK_AXIS_LX_INC" ...) to an action with Lua_SetJoyAction; each
// joystick poll turns axis movement into ship service commands or into
// presses of the axis code on the desktop.
#include <cstdint>
#include <functional>
#include <lua.hpp>
#include <string>

#include "platform/input.h"

namespace vesk {

inline constexpr int kJoyAxisFirstCode = 1036;
// The action tables cover codes 1036 .. 1056; the twelve axis codes are used.
inline constexpr int kJoyActionCount = 21;

// The action text of a code; empty outside the table.
const std::string& JoyActionText(int code);
// The invert flag of a code; false outside the table.
bool JoyActionInvert(int code);
// Binds the axis direction named; an unknown name changes nothing.
void SetJoyAction(const std::string& axisName, const std::string& action, bool invert);
// Every action text empty, every invert flag clear.
void ClearJoyActions();

// The handler runs one action: (current value, previous value, action text,
// code, invert flag, time value).
using JoyActionHandler = std::function<void(int32_t current, int32_t previous, const std::string& action,
                                            int code, bool invert, float time)>;

// Runs the bound actions of each axis, X to rotation Z, before the current
// state becomes the previous one.
void ApplyJoyActions(const platform::JoystickState& current, const platform::JoystickState& previous,
                     const JoyActionHandler& handler, float time);

// The standard handler: "rotate", "strafe" and "velocity" run engine_Serv
// texts for the player ship through the Lua host; any other text presses and
// releases the code through press(code, down) once per 100 units of movement.
// rotationFactor is the settings value that scales "rotate".
void RunJoyAction(int32_t current, int32_t previous, const std::string& action, int code, bool invert,
                  float time, float rotationFactor, const std::function<void(int code, bool down)>& press);

// Lua_SetJoyAction(axis name, action, flag): the engine function.
int LuaSetJoyAction(lua_State* L);

} // namespace vesk
