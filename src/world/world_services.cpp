#include "world/world_services.h"

#include "core/services.h"
#include "world/env.h"
#include "world/fx_library.h"

namespace vesk {

void InstallWorldServices(CoreServices& services) {
    RegisterEffectUnitClasses();
    // The current planet system with its physics slices and the effect library's release.
    InstallSpaceScene(services);
}

} // namespace vesk
