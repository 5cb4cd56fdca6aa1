#include "physics/ph_services.h"

#include "physics/ph_scene.h"
#include "physics/ph_script.h"

namespace vesk {

namespace {

// The space scene with its ships moving in the tick's physics slices: the
// scene that was installed (or the stand-in) does the rest.
class PhysicsSpaceScene : public ISpaceScene {
public:
    explicit PhysicsSpaceScene(std::unique_ptr<ISpaceScene> scene)
        : scene_(scene ? std::move(scene) : std::make_unique<StandInSpaceScene>()) {}
    void TickPhys(float dt) override {
        scene_->TickPhys(dt);
        if (PhysicsScene) PhysicsScene->TickPhys(dt);
    }
    void UpdatePlanetSystem() override { scene_->UpdatePlanetSystem(); }
    void UpdatePlayerShipSteering() override { scene_->UpdatePlayerShipSteering(); }
    void DestroyPlanetSystem() override { scene_->DestroyPlanetSystem(); }
    void FreeFXTemplates() override { scene_->FreeFXTemplates(); }
    void Free() override {
        scene_->Free();
        FreePhysicsScene();
    }

private:
    std::unique_ptr<ISpaceScene> scene_;
};

} // namespace

void InstallPhysicsServices(CoreServices& services) {
    CreatePhysicsScene();
    InstallPhysicsScriptFunctions();
    services.scene = std::make_unique<PhysicsSpaceScene>(std::move(services.scene));
}

} // namespace vesk
