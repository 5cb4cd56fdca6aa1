#include "physics/ph_services.h"

#include "physics/ph_scene.h"
#include "physics/ph_script.h"

namespace vesk {

namespace {

// The space scene as far as the physics goes: its ships move in the tick's
// physics slices.
class PhysicsSpaceScene : public StandInSpaceScene {
public:
    void TickPhys(float dt) override {
        if (PhysicsScene) PhysicsScene->TickPhys(dt);
    }
    void Free() override { FreePhysicsScene(); }
};

} // namespace

void InstallPhysicsServices(CoreServices& services) {
    CreatePhysicsScene();
    InstallPhysicsScriptFunctions();
    if (!services.scene) services.scene = std::make_unique<PhysicsSpaceScene>();
}

} // namespace vesk
