#include "world/world_services.h"

#include "core/services.h"
#include "physics/ph_scene.h"
#include "render/fx_templates.h"
#include "world/fx_base.h"
#include "world/fx_library.h"

#include <memory>

namespace vesk {

namespace {

// The scene as far as this build has it: the effect templates and their record
// pools, and the ships moving in the physics slices.
class WorldScene : public StandInSpaceScene {
public:
    void TickPhys(float dt) override {
        if (PhysicsScene) PhysicsScene->TickPhys(dt);
    }
    void Free() override { FreePhysicsScene(); }
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
