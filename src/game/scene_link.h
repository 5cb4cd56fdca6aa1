#pragma once
// What the game logic asks of the render units and the space scene. The game
// side sees a render unit only as an engine object; the render and world
// libraries install the real operations at start-up. Until then the stand-in
// answers: no radius, nothing killed, no rays; the dust mode, which the world
// keeps, reaches the world all the same.
#include <string>

#include "shared/engine_object.h"
#include "world/env.h"

namespace vesk {

class tOnCollision;

class IGameSceneLink {
public:
    virtual ~IGameSceneLink() = default;
    // The unit's cached bounding-sphere radius.
    virtual float BSphereRadius(TEngineObject* unit) = 0;
    // Marks the unit for discard.
    virtual void Kill(TEngineObject* unit) = 0;
    // Stores (or, with nullptr, clears) the unit's collision event.
    virtual void SetCollisionEvent(TEngineObject* unit, tOnCollision* event) = 0;
    // Switches a named ray group of the unit's rays controller on or off.
    virtual void SwitchRayGroup(TEngineObject* unit, const std::string& group, bool on) = 0;
    // The space dust's drawing mode.
    virtual void SetDustMode(int mode) = 0;
};

class StandInGameSceneLink : public IGameSceneLink {
public:
    float BSphereRadius(TEngineObject*) override { return 0.0f; }
    void Kill(TEngineObject*) override {}
    void SetCollisionEvent(TEngineObject*, tOnCollision*) override {}
    void SwitchRayGroup(TEngineObject*, const std::string&, bool) override {}
    // The dust belongs to the current planet system's environment.
    void SetDustMode(int mode) override { SetWorldDustMode(mode); }
};

// Installs the link (nullptr restores the stand-in); the caller keeps it alive.
void SetGameSceneLink(IGameSceneLink* link);
IGameSceneLink& GameSceneLink();

// The link over the render units (radius, kill, collision event, ray groups);
// the dust mode goes to the current planet system's environment.
void InstallRenderSceneLink();

} // namespace vesk
