#pragma once
// The physics' part of the application's services: the scene's physics
// objects, stepped by the tick's physics slices, and the physics functions of
// the scripts. Until the space scene exists, the physics stands in for it.
#include "core/services.h"

namespace vesk {

// Makes the scene's physics objects, installs the scripts' physics functions
// and has the installed space scene (or the stand-in) step them in its
// physics slices.
void InstallPhysicsServices(CoreServices& services);

} // namespace vesk
