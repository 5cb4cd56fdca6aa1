#include "world/world_services.h"

#include "core/services.h"
#include "render/fx_templates.h"
#include "world/fx_base.h"
#include "world/fx_library.h"

#include <memory>

namespace vesk {

namespace {

// The scene as far as this build has it: the effect templates and their record pools.
class WorldScene : public StandInSpaceScene {
public:
    void FreeFXTemplates() override {
        vesk::FreeFXTemplates();
        FreeFXRecordPools();
    }
};

} // namespace

void InstallWorldServices(CoreServices& services) {
    RegisterEffectUnitClasses();
    services.scene = std::make_unique<WorldScene>();
}

} // namespace vesk
