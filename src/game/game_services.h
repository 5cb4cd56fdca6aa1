#pragma once
// The game's part of the application's services: what the game logic offers
// the core today, installed by the program at start-up.
#include "core/services.h"

namespace vesk {

// Fills the game's service slots and installs the game's engine functions.
void InstallGameServices(CoreServices& services);

} // namespace vesk
