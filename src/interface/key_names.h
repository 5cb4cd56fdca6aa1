#pragma once
// Names of the keys the interface binds: keyboard keys by their DirectInput
// scan codes, joystick buttons as 1000 + number and joystick axis directions
// as 1036 .. 1047.
#include <string>
#include <string_view>

namespace vesk {

// The scan code of a key name (upper case), -1 when the name is not a key.
int KeyCodeByName(std::string_view name);
// The name of a scan code, empty when it has none.
std::string KeyNameByCode(int code);
// The code of a joystick axis direction ("JOYSTICK_AXIS_LX_INC" ...), -1 when unknown.
int JoystickAxisCode(std::string_view name);
// The character a key types, shifted or not; 0 when it types none.
char KeyCharacter(int code, bool shifted);

} // namespace vesk
