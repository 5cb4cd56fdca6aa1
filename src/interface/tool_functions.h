#pragma once
// The interface's engine functions, installed into the Lua host's table.
#include <string>

#include "platform/system.h"

namespace vesk {

void InstallToolFunctions();
// Hour, minute, second and millisecond, each with a "0" before a single digit.
std::string TimeDigits(const platform::LocalDateTime& time);

} // namespace vesk
