#pragma once
// engine_Serv: the one entry through which scripts (and the joystick's axis
// actions) drive the player's ship, the target selection, the HUD, the camera,
// the cursor, the desktop and the weapon panel. A call names a service and a
// command, then the command's parameters.
#include <string>
#include <vector>

namespace vesk {

// Runs one call with its arguments as texts (service, command, parameters)
// and gives the results; an unknown service, command or sub-parameter is a
// fatal report.
std::vector<std::string> RunService(const std::vector<std::string>& args);

// Installs engine_Serv in the scripts' table of engine functions.
void InstallServiceRouter();

} // namespace vesk
