#include "physics/ph_services.h"

#include "physics/ph_scene.h"
#include "physics/ph_script.h"

namespace vesk {

namespace {

// The space scene as far as the physics goes: its ships move in the tick's
// physics slices. A scene installed before (the world's effects) keeps its
// own part of the work.
class PhysicsSpaceScene : public ISpaceScene {
public:
    explicit PhysicsSpaceScene(std::unique_ptr<ISpaceScene> inner)
        : inner_(inner ? std::move(inner) : std::make_unique<StandInSpaceScene>()) {}
    void TickPhys(float dt) override {
        if (PhysicsScene) PhysicsScene->TickPhys(dt);
        inner_->TickPhys(dt);
    }
    void UpdatePlanetSystem() override { inner_->UpdatePlanetSystem(); }
    void UpdatePlayerShipSteering() override { inner_->UpdatePlayerShipSteering(); }
    void DestroyPlanetSystem() override { inner_->DestroyPlanetSystem(); }
    void FreeFXTemplates() override { inner_->FreeFXTemplates(); }
    void Free() override {
        FreePhysicsScene();
        inner_->Free();
    }

private:
    std::unique_ptr<ISpaceScene> inner_;
};

} // namespace

void InstallPhysicsServices(CoreServices& services) {
    CreatePhysicsScene();
    InstallPhysicsScriptFunctions();
    services.scene = std::make_unique<PhysicsSpaceScene>(std::move(services.scene));
}

} // namespace vesk
