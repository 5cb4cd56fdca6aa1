#pragma once
// The current planet system: at most one at a time, owned by the one global
// TEnv. The world script functions, the scene's loading and the creation of
// game objects go through it; it also makes the render units (with their
// physics and AI units) of the game objects that enter the world and that the
// ship builder does not build. The physics steps them in its slices.
#include "core/services.h"

#include <functional>
#include <memory>
#include <string>

namespace vesk {

class TBaseRenderUnit;
class TEnvironmentClass;
class WEPlanetSystemClass;
class BaseAIUnitClass;
class IPhysicParamsSource;

// What the world asks of the game's objects, which live in a higher library:
// the game installs these at start-up. Without them nothing is deleted or found.
struct WorldObjectLinks {
    // Deletes every object of the world object list (a new planet system comes).
    std::function<void()> deleteWorldObjects;
};
WorldObjectLinks& GetWorldObjectLinks();

class TEnv {
public:
    TEnv() = default;
    ~TEnv();
    TEnv(const TEnv&) = delete;
    TEnv& operator=(const TEnv&) = delete;

    bool GetPlanetSystem(WEPlanetSystemClass*& out) const {
        out = psys_;
        return psys_ != nullptr;
    }
    WEPlanetSystemClass* PlanetSystem() const { return psys_; }
    // Destroys the current one and loads a new one from the model, under the engine root.
    bool CreatePlanetSystem(const std::string& modelName);
    // Frees the current planet system at once ("DBG DestroyPlanetSystem: <id>" in the log).
    void DestroyPlanetSystem();
    bool GetEnvironment(TEnvironmentClass*& out) const;
    // The sky part of the environment (the star field), nullptr without one.
    TBaseRenderUnit* GetSkyPart() const;
    void SetDustMode(int mode);

    // A game object's render unit from its model: named "<name><counter>", under
    // the engine root, with its physics record from params and its AI unit.
    // counter receives the counter value used; nullptr when the model makes no unit.
    TBaseRenderUnit* AddObject(const std::string& objectName, const std::string& modelFile,
                               IPhysicParamsSource& params, BaseAIUnitClass*& ai, int32_t& counter);
    int32_t ObjectCounter() const { return counter_; }

    // The planet system's matrices (the application's tick).
    void UpdatePlanetSystem();

private:
    WEPlanetSystemClass* psys_ = nullptr;
    int32_t counter_ = 0;
};

// The one TEnv; made by InstallSpaceScene, freed with the scene service.
extern std::unique_ptr<TEnv> Env;

// Installs the space scene service (planet system, physics slices, effect
// library release) and the links through which the render engine, the
// physics scripts and the game reach the current planet system.
void InstallSpaceScene(CoreServices& services);

// The dust mode asked for by the game ("gameSystem" setDustMode).
void SetWorldDustMode(int mode);
// The player's ship steering run each tick in flight (the HUD's speed
// controller installs it); nothing runs without one.
void SetPlayerShipSteering(std::function<void()> update);

} // namespace vesk
