#pragma once
// The physics functions the scripts call: distances between objects and
// helpers, movement orders to computer-controlled ships, physics parameters,
// whether a gun points at a target, and a ship's parameters as text.
#include "platform/math_types.h"

#include <functional>
#include <string>

namespace vesk {

class BaseAIUnitClass;
class CMTreeClass;
class TBaseRenderUnit;

// What the functions need of the layers above; each missing link answers
// "none" (no object, no planet system, no scene model).
struct PhysicsScriptLinks {
    // The AI unit held by the game object at that id (path) of the object tree.
    std::function<BaseAIUnitClass*(const std::string& objectId)> objectAI;
    // The current planet system.
    std::function<TBaseRenderUnit*()> planetSystem;
    // The model tree of the scene, whose universal helpers the scripts name.
    std::function<CMTreeClass*()> sceneModel;
    // Whether the unit is a live ship of the scene (the physics scene's ships without it).
    std::function<bool(TBaseRenderUnit*)> isLiveShip;
    // The game setting that sends "goToPoint" of the ship "playership1" to
    // the player's controls (1 in the game's settings).
    std::function<bool()> playerSteersByPoint;
};
PhysicsScriptLinks& GetPhysicsScriptLinks();

// The result of the last engine_PhGunGetting (1 or 0).
extern int PhGunGettingHit;

// Installs the seven functions' handlers with the Lua host.
void InstallPhysicsScriptFunctions();

} // namespace vesk
