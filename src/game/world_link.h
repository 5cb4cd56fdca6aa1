#pragma once
// What game objects and items ask of the space scene: their render units are
// built in the world (ships from their mesh descriptions, cannons, turrets
// and wings from the gun models) and slots hang on attach points the world
// reads from the owner's model. The world library installs the real link at
// start-up; until it does, every request is written to the fast log and
// answered with "nothing made", so the game goes on without the unit.
#include <functional>
#include <string>

#include "shared/engine_object.h"

namespace vesk {

class TBaseGameSceneObject;

class IGameWorldLink {
public:
    virtual ~IGameWorldLink() = default;
    // engine_AddObjAdv: builds the object's render unit (and physics unit) in the
    // world from its mesh link and gives it to the object (SetHex). False when
    // no unit was made.
    virtual bool AddObjAdv(TBaseGameSceneObject* obj) = 0;
    // engine_AddEnvObjAdv: the object (planet kind) joins the environment of
    // the current planet system; its planet becomes its render unit.
    virtual bool AddEnvObjAdv(TBaseGameSceneObject* obj) = 0;
    // Loads a unit made by class name ("CannonClass", "TurretClass",
    // "WingClass") from the mesh of that name. False when the unit is of
    // none of these classes.
    virtual bool LoadItemUnit(TEngineObject* unit, const std::string& mesh) = 0;
    // The attach point named on the carrier's model, through the carrier's
    // game operations; nullptr when the model has none of that name.
    virtual TEngineObject* FindSlotHelper(TEngineObject* carrier, const std::string& helper) = 0;
    // Readies the mesh for the interface viewports (kind "ship", object "self").
    virtual void PreloadMesh(const std::string& kind, const std::string& object, const std::string& mesh) = 0;
    // engine_AddRocketAdv: builds the body of a rocket (mine, container) from
    // its mesh link at the attach point of the barrel it leaves, pointed at its
    // target, with a physics unit that steers it, and gives it to the object
    // (SetHex, "ph"). False when nothing was made (a world that builds no
    // rockets makes none).
    virtual bool AddRocketAdv(TBaseGameSceneObject*) { return false; }
    // Builds a piece of debris: a body of the mesh of that name where the
    // wreck's unit stands (at the origin without one), drifting off; gives it
    // to the object (SetHex, "ph"). False when nothing was made.
    virtual bool AddDebrisAdv(TBaseGameSceneObject*, const std::string&, TEngineObject*) { return false; }
};

// The link in use: the installed one, else the stand-in that logs each
// request as missing.
IGameWorldLink& GameWorldLink();
// Installs the link (nullptr restores the stand-in); the caller keeps it alive.
void SetGameWorldLink(IGameWorldLink* link);
// True while no world link is installed.
bool GameWorldMissing();

// The interface's loading bar, refreshed while objects are created during a
// load; the interface installs it.
void SetLoadingBarRefresh(std::function<void()> refresh);
void RefreshLoadingBar();

} // namespace vesk
