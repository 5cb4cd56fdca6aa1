#pragma once
// What the space scene, its ships and effects give the application: the
// effect library's release at shut-down, the ships' classes and game
// operations, installed by the program at start-up.
namespace vesk {

struct CoreServices;

// Installs the effect classes and the scene service: the current planet system,
// the world's engine functions, the physics slices and the effect library's release.
void InstallWorldServices(CoreServices& services);

// The ship units the world built (the engine root's ship operations made
// them), in the order they were made: the ships the path finder, the
// collision search and the detector take as the scene.
void InstallWorldShipList();

} // namespace vesk
