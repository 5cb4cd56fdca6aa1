// The game's scene over the real space scene: the game-object tree with the
// game logic's classes, the scene's classes and world link, the planet system
// and its locations built from small models, and the demo's own scene
// functions (Scripts/demo/scene.lua) as the Lua side of the loading.
#pragma once
#include "game/events.h"
#include "game/game_functions.h"
#include "game/game_ini_table.h"
#include "game/game_object.h"
#include "game/mesh_tables.h"
#include "game/obj_managers.h"
#include "game/params.h"
#include "game/physics_link.h"
#include "game/scene.h"
#include "game/scene_link.h"
#include "game/scene_world_link.h"
#include "game/statistics.h"
#include "game/tree_functions.h"
#include "game/triggers.h"
#include "game/world_link.h"
#include "physics/ph_script.h"
#include "render/render_script.h"
#include "shared/helpers.h"
#include "world/space_fixture.h"

#include <filesystem>

namespace vesk::test {

class GameSceneTest : public SpaceTest {
protected:
    void SetUp() override {
        SpaceTest::SetUp();
        RegisterGameTreeClasses();
        RegisterGameTreeFunctions();
        RegisterGameLogicClasses();
        RegisterGameLogicFunctions();
        RegisterSceneClasses();
        RegisterTriggerClasses();
        ObjManagersManager = std::make_unique<TObjManagersManager>();
        CreateStatistics();
        CreateGameRoot();
        CreateGameLogicRoots(GlobalObjects);
        CreateGameGlobalLists();
        CreateGameMeshTable(GlobalObjects);
        CreateGameScene(GlobalObjects);
        InstallSceneWorldLink();
        InstallRenderSceneLink();
        InstallRenderScriptFunctions();
        InstallPhysicsScriptFunctions();
        InstallPhysicsLink();
        LoadNebula();
        // The scene's Lua side as the demo has it, with a mesh loader and no demo log.
        Lua("demo = { OnInit = function() end, OnTick = function() end, trace = function() end }");
        const std::string content =
            (std::filesystem::path(VESK_TEST_DATA_DIR).parent_path().parent_path() / "content").string();
        LuaMachine->RunString("dofile(" + LuaQuote(content + "/Scripts/demo/scene.lua") + ")");
        Lua(R"(
function setHook() end
function emptyHook() end
function saveData() end
function updateMeshToEngine(name)
  local m = mesh[name]
  if m == nil then return end
  engine_AddVar("mesh", name, "TGameMesh")
  engine_SetVar("mesh." .. name .. ".path", m.path)
end
calls = {}
local function record(name)
  local f = _G[name]
  _G[name] = function(a, b, c)
    local t = type(a) == "table" and (a.id or "") or tostring(a or "")
    table.insert(calls, name .. " " .. t)
    return f(a, b, c)
  end
end
for _, n in ipairs({ "updateLocSpheres", "updateGlobalHelpers", "addTrigger", "createGlobalObj", "CreateObj",
                     "loadLocationFiles", "updateLocalHelpers", "addPlayerShip" }) do record(n) end
)");
        // A rock model for the objects the helpers name.
        ModelFile rock("rock");
        rock.AddObject("base", Ellipsoid({0, 0, 0}, {10, 10, 10}, 8, 4, "rock"));
        rock.AddSphere("bs_rock", {0, 0, 0}, 10);
        Lua("mesh.rock = { path = '" + Model("rock", rock) +
            "' } mesh.wreck = mesh.rock mesh.vesk_hawk = mesh.rock");
    }
    void TearDown() override {
        if (GlobalObjects) GlobalObjects->Delete();
        if (DeletedObjects) {
            DeletedObjects->Tick(0.0f);
            DeletedObjects->Free();
        }
        SetGameWorldLink(nullptr);
        SetGameSceneLink(nullptr);
        Env.reset();
        if (Statistics) Statistics->Delete();
        TEODestroyManager->Flush();
        ObjManagersManager.reset();
        SpaceTest::TearDown();
    }

    // One frame of the game's lists and the engine.
    void GameFrame(float dt = 16.0f) {
        for (tTickedObjects* list : {CreatedObjects, Created2Objects, TickedObjects})
            if (list) list->Tick(dt);
        if (PackedObjects) PackedObjects->Tick(dt);
        if (DeletedObjects) DeletedObjects->Tick(dt);
        Step(dt);
    }
    // The subsystem "sys" of the default system with the given locations
    // (name, loaded); the player when asked for.
    void Subsystem(const std::vector<std::pair<std::string, int>>& locations, bool player = true) {
        if (player) {
            Lua("engine_AddVar('', 'player', 'TBaseGameObjectList')");
            Lua("engine_AddVar('player', 'selfShipControl', 'TGameObjectIntParam')");
            Lua("engine_AddVar('player', 'subsystem', 'TGameObjectStringParam')");
            Lua("engine_AddVar('player', 'loadedLocations', 'TBaseGameObjectList')");
        }
        Lua("engine_AddVar('scene', 'sys', 'TGameSubsystem')");
        Lua("engine_SetVar('scene.sys.mesh', '" + DefaultSystem() + "')");
        for (const auto& [name, loaded] : locations) {
            const std::string p = "scene.sys.locations." + name;
            Lua("engine_AddVar('scene.sys.locations', '" + name + "', 'TGameLocation')");
            Lua("engine_SetVar('" + p + ".mesh', '" + PlaceModel(name) + "')");
            Lua("engine_SetVar('" + p + ".loaded', '" + std::to_string(loaded) + "')");
        }
    }
    // A location "near" or "far" of the default system: its start, a trigger,
    // an anchor and the rocks of its group (the near one's are a "wreck" group).
    std::string PlaceModel(const std::string& name) {
        ModelFile m(name);
        m.AddHelper("mission:start", {0, 0, 0});
        m.AddHelper("trigger:" + name + "gate", {100, 0, 0});
        m.AddHelper("anchor:" + name + "dock", {0, 100, 0});
        if (name == "near") {
            m.AddHelper("mesh:wreck1", {200, 0, 0});
            m.AddHelper("mesh:wreck2", {300, 0, 0});
        } else {
            m.AddHelper("mesh:rock", {0, 0, 200});
        }
        m.AddSphere("bs_" + name, {0, 0, 0}, 400);
        return Model(name, m);
    }
    TGameLocation* Location(const std::string& name) {
        return dynamic_cast<TGameLocation*>(FindVarByPath("scene.sys.locations." + name));
    }
    std::vector<std::string> Calls() {
        std::vector<std::string> out;
        for (int i = 1; !Eval("calls[" + std::to_string(i) + "]").empty(); ++i)
            out.push_back(Eval("calls[" + std::to_string(i) + "]"));
        Lua("calls = {}");
        return out;
    }
    // Names of the world objects that are not deleted.
    std::vector<std::string> WorldObjects() {
        std::vector<std::string> out;
        TBaseGameObject* list = FindVarByPath("obj");
        int32_t cursor;
        TBaseGameObject* c;
        list->First(cursor);
        while (list->Next(cursor, c))
            if (c && !c->IsDeleted()) out.push_back(c->GetName());
        return out;
    }
};

} // namespace vesk::test
