#pragma once
// What the space scene, its ships and effects give the application: the
// effect library's release at shut-down, installed by the program at start-up.
namespace vesk {

struct CoreServices;

// Installs the scene service (the current planet system is not part of this build:
// its operations stay the core's stand-ins).
void InstallWorldServices(CoreServices& services);

} // namespace vesk
