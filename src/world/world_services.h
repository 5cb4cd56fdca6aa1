#pragma once
// What the space scene, its ships and effects give the application: the
// effect library's release at shut-down, installed by the program at start-up.
namespace vesk {

struct CoreServices;

// Installs the effect classes and the scene service: the current planet system,
// the world's engine functions, the physics slices and the effect library's release.
void InstallWorldServices(CoreServices& services);

} // namespace vesk
