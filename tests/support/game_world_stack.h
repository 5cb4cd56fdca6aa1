#pragma once
// The game logic over a world that is up (engine root, effect library, model
// cache, Lua host): the game-object tree with its roots, lists and standard
// pools, the player, the physics scene and its script functions, and the
// links through which game objects get their ships, rockets and turrets in
// the world. For the tests and benchmarks that run combat as the program does.
#include "game/game_functions.h"
#include "game/game_ini_table.h"
#include "game/game_parts.h"
#include "game/mesh_tables.h"
#include "game/obj_managers.h"
#include "game/physics_link.h"
#include "game/player.h"
#include "game/profiles.h"
#include "game/scene_link.h"
#include "game/ships_link.h"
#include "game/statistics.h"
#include "game/tree_functions.h"
#include "game/turret_ai.h"
#include "game/world_link.h"
#include "physics/coll_detector.h"
#include "physics/obb_collision.h"
#include "physics/pf_objects.h"
#include "physics/ph_scene.h"
#include "physics/ph_script.h"
#include "render/render_script.h"
#include "world/ship_script.h"

#include <initializer_list>
#include <memory>

namespace vesk::test {

struct GameWorldStack {
    // frameMs: how far ahead the collision sweeps look (the frame's time).
    static void Start(float frameMs) {
        RegisterGameTreeClasses();
        RegisterGameTreeFunctions();
        RegisterGameLogicClasses();
        RegisterGameLogicFunctions();
        RegisterGamePartsClasses();
        RegisterProfileClasses();
        CreateStatistics();
        ObjManagersManager = std::make_unique<TObjManagersManager>();
        CreateGameRoot();
        CreateGameGlobalLists();
        CreateGameLogicRoots(GlobalObjects);
        CreateGameMeshTable(GlobalObjects);
        CreateGamePartsLists(GlobalObjects);
        CreatePlayerSettings(GlobalObjects);
        CreatePlayer(GlobalObjects);
        ObjManagersManager->createStandartManagers();
        CreatePhysicsScene();
        InstallPhysicsScriptFunctions();
        InstallPhysicsLink();
        InstallShipsLink();
        InstallRenderSceneLink();
        InstallRenderScriptFunctions();
        InstallShipScriptFunctions();
        CollDetectorClass::SetFrameTimeSource([frameMs] { return frameMs; });
    }
    // Before the world goes.
    static void Stop() {
        if (GlobalObjects) GlobalObjects->Delete();
        if (DeletedObjects) {
            DeletedObjects->Tick(0.0f);
            DeletedObjects->Free();
        }
        TEODestroyManager->Flush();
        ReleaseStandartManagers();
        TEODestroyManager->Flush();
        ObjManagersManager.reset();
        if (Statistics) Statistics->Delete();
        FreePhysicsScene();
        SetSceneShipsProvider({});
        SetShipCollisionListHook(nullptr);
        SetGameWorldLink(nullptr);
        SetGameSceneLink(nullptr);
        SetTurretAim(nullptr);
        CollDetectorClass::SetFrameTimeSource(nullptr);
    }
    // The game's part of a tick: the lists that fire events, the physics
    // slice, then the lists that pack and free.
    static void Tick(float dt) {
        for (TBaseGameObjectList* list : {static_cast<TBaseGameObjectList*>(CreatedObjects),
                                          static_cast<TBaseGameObjectList*>(Created2Objects),
                                          static_cast<TBaseGameObjectList*>(TickedObjects)})
            if (list) list->Tick(dt);
        if (PhysicsScene) PhysicsScene->TickPhys(dt);
        for (TBaseGameObjectList* list : {static_cast<TBaseGameObjectList*>(PackedObjects),
                                          static_cast<TBaseGameObjectList*>(DeletedObjects)})
            if (list) list->Tick(dt);
    }
};

} // namespace vesk::test
