#pragma once
// The interface's share of the engine functions: printing into the console,
// the overlay's status text and the switch of the 3D scene.
#include <string>

namespace vesk {

void InstallPrintFunctions();
// The text engine_SetStatus last gave ("System: <text>" in the FPS overlay).
const std::string& InterfaceStatusText();

} // namespace vesk
