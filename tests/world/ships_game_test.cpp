// Game objects and items over the world's real ships: a game object gets
// its ship built from its mesh description with its steering unit, slots
// bind to the ship's attach points, items hang their cannons, turrets and
// wings there, a ship ticks its overheat and damage effects with its real
// unit, and the scripts' ship functions reach the ships.
#include "game/cockpit.h"
#include "game/fx_objects.h"
#include "game/game_functions.h"
#include "game/game_ini_table.h"
#include "game/game_lua.h"
#include "game/game_object.h"
#include "game/game_objects.h"
#include "game/items.h"
#include "game/mesh_tables.h"
#include "game/obj_managers.h"
#include "game/params.h"
#include "game/player.h"
#include "game/scene_link.h"
#include "game/scene_object.h"
#include "game/ships_link.h"
#include "game/slots.h"
#include "game/tree_functions.h"
#include "game/world_link.h"
#include "physics/ai_unit.h"
#include "physics/coll_detector.h"
#include "physics/obb_collision.h"
#include "physics/pf_objects.h"
#include "physics/ph_scene.h"
#include "render/render_script.h"
#include "shared/helpers.h"
#include "ship_fixture.h"
#include "world/ship_script.h"

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

class ShipsGameTest : public ShipWorldTest {
protected:
    void SetUp() override {
        ShipWorldTest::SetUp();
        RegisterGameTreeClasses();
        RegisterGameTreeFunctions();
        RegisterGameLogicClasses();
        RegisterGameLogicFunctions();
        ObjManagersManager = std::make_unique<TObjManagersManager>();
        CreateGameRoot();
        CreateGameGlobalLists();
        CreateGameLogicRoots(GlobalObjects);
        CreateGameMeshTable(GlobalObjects);
        Lua("function setHook() end function emptyHook() end function saveData() end"
            " function updateMeshToEngine() end");
        CreatePhysicsScene();
        InstallRenderSceneLink();
        InstallShipsLink();
        InstallRenderScriptFunctions();
        InstallShipScriptFunctions();
        DescribeGuns();
        WriteModel("fighter", FighterModel());
        WriteModel("wing", WingModel());
        GameMesh("fighter", "fighter", "{ {'nozzle01', 'test_jet'}, {'nozzle02', 'test_jet'} }");
        GameMesh("test_wing", "wing", "{ {'nozzle01', 'test_jet'} }");
        Lua("gunmodel.test_wing = { mesh = 'test_wing', type = 'wing' }");
    }
    void TearDown() override {
        if (GlobalObjects) GlobalObjects->Delete();
        if (DeletedObjects) {
            DeletedObjects->Tick(0.0f);
            DeletedObjects->Free();
        }
        TEODestroyManager->Flush();
        ObjManagersManager.reset();
        FreePhysicsScene();
        SetSceneShipsProvider({});
        SetShipCollisionListHook(nullptr);
        SetGameWorldLink(nullptr);
        SetGameSceneLink(nullptr);
        ShipWorldTest::TearDown();
    }
    // A description in the game's "mesh" table, nozzles as {helper, effect} pairs.
    void GameMesh(const std::string& name, const std::string& model, const std::string& nozzles) {
        const std::string p = "mesh." + name;
        Lua("engine_AddVar('mesh', '" + name +
            "', 'TGameMesh')"
            " engine_SetVar('" +
            p + ".path', " + LuaQuote(dir.path() + "/models") +
            ")"
            " engine_SetVar('" +
            p + ".name', '" + model +
            "')"
            " engine_SetVar('" +
            p +
            ".physic_params.ph_Type', 'small')"
            " for i, n in ipairs(" +
            nozzles +
            ") do"
            "   engine_AddVar('" +
            p +
            ".nozzles', tostring(i), 'TGameMeshNozzle')"
            "   engine_SetVar('" +
            p +
            ".nozzles.' .. i .. '.helper_name', n[1])"
            "   engine_SetVar('" +
            p +
            ".nozzles.' .. i .. '.fx_name', n[2])"
            " end");
    }
    void GameFrame(float dt = 30.0f) {
        for (TBaseGameObjectList* list : std::initializer_list<TBaseGameObjectList*>{
                 CreatedObjects, Created2Objects, TickedObjects, PackedObjects, DeletedObjects})
            if (list) list->Tick(dt);
    }
    // A ship object under "obj", built on the next frame.
    TGameObject* Ship(const std::string& name, const std::string& position = "0 0 0") {
        Lua("engine_AddVar('obj', '" + name + "', 'TGameObject')");
        const std::string p = "obj." + name;
        Lua("engine_SetVar('" + p + ".SOClass', '2') engine_SetVar('" + p + ".position', '" + position +
            "') engine_SetVar('" + p + ".spacemodel', 'fighter')");
        for (const char* v : {"shield", "armor", "durability", "power", "p_engine", "defencefactor"})
            Value(p + ".param." + v, 100, 100);
        Value(p + ".param.temperature", 200, 0);
        Value(p + ".param.capacity", 100, 0);
        return dynamic_cast<TGameObject*>(FindVarByPath(p));
    }
    void Value(const std::string& path, float max, float cur) {
        Lua("engine_SetVar('" + path + ".max', '" + FloatToStrRaw(max) + "') engine_SetVar('" + path +
            "', '" + FloatToStrRaw(cur) + "')");
    }
    void Slot(const std::string& ship, const std::string& slot, const std::string& helper,
              const std::string& kind) {
        const std::string p = "obj." + ship + ".slots." + slot;
        Lua("engine_AddVar('obj." + ship + ".slots', '" + slot + "') engine_SetVar('" + p + ".helper', '" +
            helper + "') engine_SetVar('" + p + ".class', '" + kind + "') engine_SetVar('" + p +
            ".itemType', '1')");
    }
    TGameItem* Item(const std::string& name, const std::string& mesh) {
        Lua("engine_AddVar('items', '" + name + "', 'TGameItem') engine_SetVar('items." + name + ".mesh', '" +
            mesh + "') engine_SetVar('items." + name + ".class', '1')");
        return dynamic_cast<TGameItem*>(FindVarByPath("items." + name));
    }
    // A Lua expression's value as text.
    std::string Eval(const std::string& expression) {
        Lua("r_ = tostring(" + expression + ")");
        return GetLuaString("r_", false);
    }
    static ShipClass* ShipOf(TGameObject* object) { return dynamic_cast<ShipClass*>(object->GetHex()); }
};

TEST_F(ShipsGameTest, AGameObjectGetsItsShipWithItsSteeringUnitAtItsPosition) {
    TGameObject* hawk = Ship("hawk", "100, 20, -5");
    GameFrame(); // onCreated: the world builds the ship
    ShipClass* ship = ShipOf(hawk);
    ASSERT_NE(ship, nullptr);
    EXPECT_EQ(ship->GetName(), "hawk");
    EXPECT_EQ(ship->Parent(), engine);
    EXPECT_EQ(ship->GetNozzles(false)->GetJetList().size(), 2u);
    // Its steering unit is the object's "ph" and moves it in the scene's physics.
    auto* ai = dynamic_cast<BaseAIUnitClass*>(hawk->Ph()->GetValue());
    ASSERT_NE(ai, nullptr);
    EXPECT_EQ(ai->GetRenderUnit(), ship);
    EXPECT_DOUBLE_EQ(ai->GetPositionD().x, 100.0);
    EXPECT_TRUE(PhysicsScene->FindShipBRU(ship));
    // The engine's ship list, which the physics takes as the scene's ships.
    EXPECT_TRUE(engine->FindShipBRU(ship));
    std::vector<TBaseRenderUnit*> scene;
    GetSceneShips(scene);
    EXPECT_EQ(scene, (std::vector<TBaseRenderUnit*>{ship}));
    // The scene-object link reaches the ship: radius, collision event.
    EXPECT_FLOAT_EQ(GameSceneLink().BSphereRadius(ship), ship->GetBSphereRadius());
    EXPECT_NE(ship->GetCollisionEvent(), nullptr);
    // Its engines glow at rest only when the object says so.
    EXPECT_EQ(ai->GetStateByte(), 0);
    TGameObject* tug = Ship("tug", "500 0 0");
    Lua("engine_SetVar('obj.tug.enginesAlwaysGlow', '1')");
    GameFrame();
    auto* tugAi = dynamic_cast<BaseAIUnitClass*>(tug->Ph()->GetValue());
    ASSERT_NE(tugAi, nullptr);
    EXPECT_EQ(tugAi->GetStateByte(), 1);
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

TEST_F(ShipsGameTest, ItemsHangTheirUnitsOnTheShipsAttachPoints) {
    Ship("hawk");
    Slot("hawk", "gun", "gun01", "gun");
    Slot("hawk", "turret", "turret01", "turret");
    Slot("hawk", "wing", "wing_l", "wing");
    TGameItem* gun = Item("laser", "test_gun");
    TGameItem* turret = Item("flak", "test_turret");
    TGameItem* wing = Item("fin", "test_wing");
    GameFrame();
    ShipClass* ship = ShipOf(dynamic_cast<TGameObject*>(FindVarByPath("obj.hawk")));
    ASSERT_NE(ship, nullptr);
    const size_t shipJets = ship->GetNozzles(false)->GetJetList().size();
    for (const char* s : {"gun", "turret", "wing"}) {
        const std::string item = std::string(s) == "gun"      ? "laser"
                                 : std::string(s) == "turret" ? "flak"
                                                              : "fin";
        Lua("engine_SetVar('obj.hawk.slots." + std::string(s) + ".item', '" + item + "')");
    }
    GameFrame();
    // Each slot is bound to the ship's attach point of its helper name.
    auto* gunSlot = dynamic_cast<TGameSlot*>(FindVarByPath("obj.hawk.slots.gun"));
    HelperClass* gunHelper = nullptr;
    ASSERT_TRUE(ship->FindHelper("gun01", gunHelper));
    EXPECT_EQ(gunSlot->HelperHex(), gunHelper);
    // The items' units: built from their gun models and hanging on those points.
    auto* cannon = dynamic_cast<CannonClass*>(gun->GetHex());
    ASSERT_NE(cannon, nullptr);
    EXPECT_EQ(cannon->Parent(), gunHelper);
    EXPECT_EQ(cannon->GetROList()->size(), 1u);
    TBaseRenderUnit* parentShip = nullptr;
    ASSERT_TRUE(cannon->GameOps()->GetParentShip(parentShip));
    EXPECT_EQ(parentShip, ship);
    auto* flak = dynamic_cast<TurretClass*>(turret->GetHex());
    ASSERT_NE(flak, nullptr);
    EXPECT_NE(flak->Barrel(), nullptr);
    EXPECT_TRUE(engine->FindShipBRU(flak));
    auto* fin = dynamic_cast<WingClass*>(wing->GetHex());
    ASSERT_NE(fin, nullptr);
    EXPECT_EQ(ship->GetNozzles(false)->GetJetList().size(), shipJets + 1);
    // Out of its slot the wing takes its nozzles back and hangs nowhere.
    Lua("engine_SetVar('obj.hawk.slots.wing.item', '')");
    GameFrame();
    EXPECT_EQ(fin->Parent(), nullptr);
    EXPECT_EQ(ship->GetNozzles(false)->GetJetList().size(), shipJets);
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

// What the cockpit asks of the camera, in order.
struct CockpitCameraCalls : ICockpitCamera {
    std::vector<std::string> calls;
    void SetCockpitMode(TBaseRenderUnit* ship, TBaseRenderUnit* pos, TBaseRenderUnit* dir) override {
        calls.push_back("mode " + ship->GetName() + " " + pos->GetName() + " " + dir->GetName());
    }
    void ResetCockpitMode() override { calls.push_back("reset"); }
    void RotateUp(float) override {}
    void RotateDown(float) override {}
    void RotateLeft(float) override {}
    void RotateRight(float) override {}
    void RotateReset() override {}
};

// The cockpit mounted in the player's ship: its model hangs on the seat's
// attach point, seen only from inside; the cockpit view hides the ship and
// shows the cockpit, and leaving it shows the ship again.
TEST_F(ShipsGameTest, ACockpitMountedInThePlayersShipTakesTheViewInsideAndBack) {
    ModelFile seat("seat");
    seat.AddObject("base", Box({-1, -1, -1}, {1, 1, 1}, "hull"));
    seat.AddHelper("cam_pos", {0, 0, 0.5f});
    seat.AddHelper("cam_dir", {10, 0, 0.5f});
    WriteModel("seat", seat);
    GameMesh("test_seat", "seat", "{}");
    Lua("gunmodel.test_seat = { mesh = 'test_seat', type = 'cockpit' }");
    CockpitCameraCalls camera;
    SetCockpitCamera(&camera);
    struct Restore {
        ~Restore() { SetCockpitCamera(nullptr); }
    } restore;
    CreatePlayer(GlobalObjects);
    TGameObject* hawk = Ship("hawk");
    Lua("function updatePlayerShip() end engine_SetVar('player.ship', 'hawk')"
        " engine_AddVar('obj.hawk.slots', 'seat') engine_SetVar('obj.hawk.slots.seat.helper', 'turret01')"
        " engine_SetVar('obj.hawk.slots.seat.class', 'cockpit') "
        "engine_SetVar('obj.hawk.slots.seat.itemType', '99')"
        " engine_AddVar('items', 'view', 'TGameItemCockpit') engine_SetVar('items.view.mesh', 'test_seat')"
        " engine_SetVar('items.view.class', '99')");
    Value("items.view.charge", 1, 1);
    GameFrame();
    Lua("engine_SetVar('obj.hawk.slots.seat.item', 'view')");
    GameFrame();
    ShipClass* ship = ShipOf(hawk);
    ASSERT_NE(ship, nullptr);
    auto* view = dynamic_cast<TGameItemCockpit*>(FindVarByPath("items.view"));
    auto* unit = dynamic_cast<TBaseRenderUnit*>(view->GetHex());
    ASSERT_NE(unit, nullptr);
    HelperClass* mount = nullptr;
    ASSERT_TRUE(ship->FindHelper("turret01", mount));
    EXPECT_EQ(unit->Parent(), mount);
    EXPECT_FALSE(unit->HasFlag(BRU_VISIBLE));
    EXPECT_TRUE(ship->HasFlag(BRU_VISIBLE));

    Lua("engine_Execute('player', 'cockpitOn')");
    EXPECT_EQ(Eval("engine_GetVar('player.isCockpitMode')"), "1");
    EXPECT_EQ(view->Used(), 1);
    ASSERT_EQ(camera.calls.size(), 1u);
    EXPECT_EQ(camera.calls[0].rfind("mode hawk ", 0), 0u) << camera.calls[0];
    EXPECT_FALSE(ship->HasFlag(BRU_VISIBLE));
    EXPECT_TRUE(unit->HasFlag(BRU_VISIBLE));
    Lua("engine_Execute('player', 'cockpitOff')");
    EXPECT_EQ(camera.calls.back(), "reset");
    EXPECT_TRUE(ship->HasFlag(BRU_VISIBLE));
    EXPECT_FALSE(unit->HasFlag(BRU_VISIBLE));
    EXPECT_EQ(view->Used(), 0);

    // A cockpit whose use cannot start (no charge) does not leave the view inside.
    Value("items.view.charge", 1, 0);
    Lua("engine_Execute('player', 'cockpitOn')");
    EXPECT_EQ(view->Used(), 0);
    EXPECT_EQ(camera.calls.back(), "reset");
    EXPECT_TRUE(ship->HasFlag(BRU_VISIBLE));
    EXPECT_FALSE(unit->HasFlag(BRU_VISIBLE));
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

TEST_F(ShipsGameTest, ASlotOnAnAttachPointTheModelLacksIsReported) {
    Ship("hawk");
    Slot("hawk", "gun", "gun99", "gun");
    // The slot binds when it is created, after its ship got its unit.
    EXPECT_EQ(FatalOf([this] { GameFrame(); }).rfind("TGameSlotOnCreated.defEventFunc error: ", 0), 0u);
}

TEST_F(ShipsGameTest, AShipTicksItsOverheatAndDamageEffectsWithItsUnitInFixedSteps) {
    Lua("engine_SetVar('bal.maxOverheatValue', '150')");
    TGameObject* hawk = Ship("hawk");
    Lua("engine_AddVar('obj.hawk.damageFx', 'smoke', 'TGameObjectDamageFxLink')"
        " engine_SetVar('obj.hawk.damageFx.smoke.fx', 'smoke')"
        " engine_SetVar('obj.hawk.damageFx.smoke.param', 'durability')"
        " engine_SetVar('obj.hawk.damageFx.smoke.procent', '30')"
        " engine_SetVar('obj.hawk.events.onTemperatureBurst', 'burst = (burst or 0) + 1')");
    GameFrame();
    ShipClass* ship = ShipOf(hawk);
    ASSERT_NE(ship, nullptr);
    auto* smoke = dynamic_cast<TGameObjectFxLink*>(FindVarByPath("obj.hawk.damageFx.smoke"));
    ASSERT_NE(smoke, nullptr);
    auto effectOnShip = [&] {
        TGameObjectFx* fx = smoke->EffectObject();
        return fx && fx->GetHex() && fx->HexId()->GetValue() == ship;
    };
    // Steps of 30 ms: at the maximum the ship is overheated, just below it cools.
    Lua("engine_SetVar('obj.hawk.param.temperature', '150')");
    GameFrame();
    EXPECT_EQ(hawk->IntValue("overheat"), 1);
    EXPECT_EQ(Eval("burst"), "1");
    Lua("engine_SetVar('obj.hawk.param.temperature', '149')");
    GameFrame();
    EXPECT_EQ(hawk->IntValue("overheat"), 0);
    // The hull at 30 % shows the smoke on the ship's unit; repaired above it, the smoke goes.
    Lua("engine_SetVar('obj.hawk.param.durability', '30')");
    GameFrame();
    EXPECT_TRUE(effectOnShip());
    Lua("engine_SetVar('obj.hawk.param.durability', '31')");
    GameFrame();
    EXPECT_EQ(smoke->EffectObject(), nullptr);
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

TEST_F(ShipsGameTest, TheScriptsShipFunctionsReachTheShips) {
    TGameObject* hawk = Ship("hawk");
    GameFrame();
    ShipClass* ship = ShipOf(hawk);
    ASSERT_NE(ship, nullptr);
    EXPECT_EQ(Eval("engine_RegistryModel('fighter')"), "1");
    EXPECT_EQ(Eval("engine_RegistryModel('nothing')"), "0");
    // The afterburner of the ship's steering unit.
    auto* ai = dynamic_cast<BaseAIUnitClass*>(hawk->Ph()->GetValue());
    ASSERT_NE(ai, nullptr);
    Lua("engine_onObjForsage('" + ship->GetHex() + "', 900)");
    EXPECT_TRUE(ai->IsForsage());
    // Built anew from another model: the same unit, the new model's parts.
    GameMesh("wingship", "wing", "{}");
    Lua("engine_ChangeObjMesh('hawk', 'wingship')");
    EXPECT_EQ(hawk->GetHex(), ship);
    std::string file;
    ASSERT_TRUE(ship->GameOps()->GetFileName(file));
    EXPECT_EQ(file, dir.path() + "/models/wing.cm");
    EXPECT_EQ(FatalOf([this] { Lua("engine_ChangeObjMesh('', 'wingship')"); }),
              "engine_ChangeObjMesh: strID= , meshName= wingship");
    EXPECT_EQ(FatalOf([this] { Lua("engine_ChangeObjMesh('nobody', 'wingship')"); }),
              "engine_ChangeObjMesh fault: no ship nobody to take wingship");
}

TEST_F(ShipsGameTest, AMeshWarmedInTheCacheGivesItsSpheresToTheShipsThatFollow) {
    BRUCacheMan = std::make_unique<BRUCacheManClass>();
    Lua("engine_AddMeshToCache('fighter', 'ShipClass')");
    auto* stored = dynamic_cast<TGameObjectFreeLink*>(FindVarByPath("mesh.fighter.BSContainer"));
    ASSERT_NE(stored, nullptr);
    EXPECT_NE(dynamic_cast<BSpheresContainerClass*>(stored->GetValue()), nullptr);
    // The warming ship itself is gone; the next ship copies the stored spheres.
    EXPECT_EQ(*GameOpsOf(engine)->ShipsOps()->GetBRUList(1), std::vector<TBaseRenderUnit*>{});
    TGameObject* hawk = Ship("hawk");
    GameFrame();
    ASSERT_NE(ShipOf(hawk), nullptr);
    EXPECT_EQ(GetSphereTree(ShipOf(hawk))->ChildSpheres().size(), 2u);
    BRUCacheMan.reset();
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

} // namespace
} // namespace vesk::test
