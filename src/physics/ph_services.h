#pragma once
// The physics' part of the application's services: the scene's physics
// objects, stepped by the tick's physics slices, and the physics functions of
// the scripts. Until the space scene exists, the physics stands in for it.
#include "core/services.h"

namespace vesk {

// Makes the scene's physics objects, installs the scripts' physics functions
// and, when no space scene is installed, fills the scene slot with one that
// steps them.
void InstallPhysicsServices(CoreServices& services);

} // namespace vesk
