// Scene objects: the "hex" link to the render unit, their events and
// effects, the ray-group actions and how a pooled object is reset and reused.
#include "game/object_effects.h"
#include "game/params.h"
#include "game/scene_link.h"
#include "game/scene_object.h"
#include "game_logic_fixture.h"
#include "physics/ai_unit.h"
#include "render/component.h"
#include "render/render_object.h"
#include "render/render_unit.h"

namespace vesk::test {
namespace {

using SceneObjects = GameLogicTest;

TBaseGameSceneObject* SceneObj(const char* path) {
    return dynamic_cast<TBaseGameSceneObject*>(FindVarByPath(path));
}

TEST_F(SceneObjects, ChildrenInOrderAndRadiusFromTheUnit) {
    Run("engine_AddVar('', 'ship', 'TBaseGameSceneObject')");
    TBaseGameSceneObject* ship = SceneObj("ship");
    ASSERT_NE(nullptr, ship);
    EXPECT_EQ("{[[svitch]],[[hex]],[[selectable]],[[SOClass]],[[radius]],[[events]],[[effects]],[[spawner]],"
              "[[ph]],[[location]],}",
              Eval("engine_GetTable('ship')"));
    EXPECT_EQ("{[[onCreated]],[[onDestroyed]],[[onCollision]],}", Eval("engine_GetTable('ship.events')"));
    EXPECT_EQ("TGameObjectEffectList", ship->Effects()->ClassName());
    EXPECT_EQ(nullptr, ship->GetHex());

    FakeUnit* a = NewUnit();
    FakeUnit* b = NewUnit();
    link.radius = 42.5f;
    ship->SetHex(a);
    EXPECT_EQ(a, ship->GetHex());
    EXPECT_EQ("42.5", Eval("engine_GetVar('ship.radius')"));
    EXPECT_EQ(a->GetHex(), Eval("engine_GetVar('ship.hex')"));
    EXPECT_TRUE(a->IsSubscriber(ship));
    EXPECT_TRUE(ship->IsSubscriber(a));

    // A new unit takes the old one's place in both directions.
    link.radius = 7.0f;
    ship->SetHex(b);
    EXPECT_FALSE(a->IsSubscriber(ship));
    EXPECT_TRUE(b->IsSubscriber(ship));
    EXPECT_EQ("7", Eval("engine_GetVar('ship.radius')"));

    // Unlinking keeps the last radius.
    ship->SetHex(nullptr);
    EXPECT_EQ(nullptr, ship->GetHex());
    EXPECT_EQ("7", Eval("engine_GetVar('ship.radius')"));
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(SceneObjects, OnCreatedFiresOnceAndCollisionEventFollowsTheUnit) {
    Run("engine_AddVar('', 'ship', 'TBaseGameSceneObject')");
    TBaseGameSceneObject* ship = SceneObj("ship");
    FakeUnit* unit = NewUnit();
    ship->SetHex(unit);
    Run("created = 0 engine_SetVar('ship.events.onCreated', 'created = created + 1 who = tmp[1]')");
    Frame();
    Frame();
    EXPECT_EQ("1", Global("created"));
    EXPECT_EQ(unit, ship->GetHex());
    EXPECT_EQ(ship->GetId(), std::stoi(Global("who")));

    ship->OnCollision()->Activate();
    ship->OnCollision()->Deactivate();
    EXPECT_EQ(
        (std::vector<std::string>{"radius " + unit->GetHex(), "collision " + unit->GetHex() + " onCollision",
                                  "collision " + unit->GetHex() + " nil"}),
        link.calls);
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(SceneObjects, ExecuteSwitchesRayGroupsAndRejectsOtherActions) {
    Run("engine_AddVar('', 'ship', 'TBaseGameSceneObject')");
    TBaseGameSceneObject* ship = SceneObj("ship");
    // Without a unit there are no rays to switch.
    Run("engine_Execute('ship', 'onRayGroup', 'main')");
    EXPECT_TRUE(link.calls.empty());
    FakeUnit* unit = NewUnit();
    ship->SetHex(unit);
    link.calls.clear();
    Run("engine_Execute('ship', 'onRayGroup', 'main') engine_Execute('ship', 'offRayGroup', 'aux')");
    EXPECT_EQ((std::vector<std::string>{"rays on " + unit->GetHex() + " main",
                                        "rays off " + unit->GetHex() + " aux"}),
              link.calls);
    EXPECT_TRUE(trap.reports.empty());

    EXPECT_THROW(Run("engine_Execute('ship', 'fire', 'main')"), Halted);
    EXPECT_EQ("TBaseGameSceneObject.Execute error:(->ship->_G) action- \"fire\"" + Ru(" не используется"),
              FirstFatal());
}

TEST_F(SceneObjects, DeleteKillsTheUnitOnlyWhenThereIsOne) {
    Run("engine_AddVar('', 'a', 'TBaseGameSceneObject') engine_AddVar('', 'b', 'TBaseGameSceneObject')");
    TBaseGameSceneObject* a = SceneObj("a");
    TBaseGameSceneObject* b = SceneObj("b");
    FakeUnit* unit = NewUnit();
    a->SetHex(unit);
    a->OnCollision()->Activate();
    TonCreated* created = a->OnCreated();
    link.calls.clear();
    Run("engine_DelVar('a')");
    EXPECT_EQ((std::vector<std::string>{"collision " + unit->GetHex() + " nil", "kill " + unit->GetHex()}),
              link.calls);
    EXPECT_FALSE(created->IsActive());

    // The unit went first: nothing to kill.
    FakeUnit* gone = NewUnit();
    b->SetHex(gone);
    units.pop_back();
    gone->Free();
    EXPECT_EQ(nullptr, b->GetHex());
    link.calls.clear();
    Run("engine_DelVar('b')");
    EXPECT_TRUE(link.calls.empty());
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(SceneObjects, PooledObjectIsResetAndRevivedWithItsEventsOnItself) {
    Run("engine_AddVar('', 'space', 'TBaseGameObjectList') engine_AddVar('', 'owner', "
        "'TBaseGameObjectList')");
    Run("engine_AddCashedVar('space', 'rock', 'TBaseGameSceneObject')");
    TBaseGameSceneObject* rock = SceneObj("space.rock");
    ASSERT_NE(nullptr, rock);
    Run("created = 0 engine_SetVar('space.rock.events.onCreated', 'created = created + 1')");
    Frame();
    EXPECT_EQ("1", Global("created"));
    FakeUnit* unit = NewUnit();
    link.radius = 3.0f;
    rock->SetHex(unit);
    Run("engine_SetVar('space.rock.selectable', '1') engine_SetVar('space.rock.SOClass', '14')"
        "engine_SetVar('space.rock.spawner', engine_GetHex('owner')) engine_SetVar('space.rock.ph', "
        "engine_GetHex('owner'))"
        "engine_SetVar('space.rock.location', 'belt') engine_AddVar('space.rock.svitch', 'part', "
        "'TGameObjectIntParam')"
        "engine_AddVar('space.rock.effects', 'burn', 'TGameObjectEffect')"
        "engine_SetVar('space.rock.effects.burn.events.onDisable', 'burnOff = 1')");
    Run("engine_DelVar('space.rock')");
    EXPECT_EQ("1", Global("burnOff"));
    EXPECT_EQ(nullptr, rock->GetHex());
    EXPECT_EQ(0, rock->Selectable()->GetValue());
    EXPECT_EQ(0, rock->SOClass()->GetValue());
    EXPECT_EQ(0.0f, rock->Radius()->GetValue());
    EXPECT_EQ(nullptr, rock->Spawner()->GetValue());
    EXPECT_EQ(nullptr, rock->Ph()->GetValue());
    EXPECT_EQ("", rock->Location()->GetValue());
    EXPECT_EQ(0, rock->Svitch()->CountChildren());
    EXPECT_EQ(0, rock->Effects()->CountChildren());
    EXPECT_EQ(10, rock->CountChildren()); // its own children stay for the next use
    Frame();
    EXPECT_EQ("1", Global("created"));

    Run("engine_AddCashedVar('owner', 'rock2', 'TBaseGameSceneObject')");
    ASSERT_EQ(rock, SceneObj("owner.rock2"));
    for (TGameEvent* e : {static_cast<TGameEvent*>(rock->OnCreated()), rock->OnDestroyed(),
                          static_cast<TGameEvent*>(rock->OnCollision())})
        EXPECT_EQ(rock, e->GetEventObj()) << e->GetName();
    EXPECT_TRUE(rock->OnCreated()->IsActive());
    Frame();
    EXPECT_EQ("2", Global("created"));
    EXPECT_TRUE(NoLuaErrors());
}

// The link the game installs works on real render units: the radius comes
// from the unit's bounding sphere, the collision event is stored on the unit,
// ray groups switch the unit's rays and deleting the object kills the unit.
TEST_F(SceneObjects, RenderSceneLinkActsOnTheRenderUnit) {
    InstallRenderSceneLink();
    auto* unit = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
    auto* ray = TBaseRenderUnit::Create<TBaseRenderUnit>(unit);
    TRenderObject* ro = TEngineObject::New<TRenderObject>();
    ro->SetBox({-3, -4, 0}, {3, 4, 0});
    unit->AddRO(UnitViewOf(ro));
    RayOpsClass* rays = unit->GetGameOps()->GetRays();
    rays->AddGroup("main");
    rays->AddRay("main", ray);

    Run("engine_AddVar('', 'ship', 'TBaseGameSceneObject')");
    TBaseGameSceneObject* ship = SceneObj("ship");
    ship->SetHex(unit);
    EXPECT_EQ("5", Eval("engine_GetVar('ship.radius')"));
    ship->OnCollision()->Activate();
    EXPECT_EQ(unit->GetCollisionEvent(), static_cast<IEngineObject*>(ship->OnCollision()));
    Run("engine_Execute('ship', 'offRayGroup', 'main')");
    EXPECT_FALSE(ray->HasFlag(BRU_VISIBLE));
    Run("engine_Execute('ship', 'onRayGroup', 'MAIN')");
    EXPECT_TRUE(ray->HasFlag(BRU_VISIBLE));

    Run("engine_DelVar('ship')");
    EXPECT_TRUE(unit->HasFlag(BRU_KILLED));
    EXPECT_EQ(unit->GetCollisionEvent(), nullptr);
    EXPECT_TRUE(NoLuaErrors());
    SetGameSceneLink(&link);
    unit->DiscardBRU();
    unit->Free();
    ro->Free();
}

// Engine power reaches the AI steering unit of the object's render unit: an
// NPC flies at cur percent of its "ph_MaxVelocity", the player's own ship
// at cur percent of its steering unit's top speed.
TEST_F(SceneObjects, EnginePowerSetsTheSpeedOfTheShipsSteeringUnit) {
    InstallParamPhysicsLink();
    auto* unit = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
    TShipPhysicParams record;
    record.maxVelocity = 300.0f;
    BaseAIUnitClass* ai = BaseAIUnitClass::Init(unit, record);
    Run("engine_AddVar('', 'npc', 'TBaseGameSceneObject')");
    TBaseGameSceneObject* npc = SceneObj("npc");
    npc->SetHex(unit);
    NewGameObject<TGameObjectParams>("params", npc);
    NewGameObject<TBaseGameObjectList>("physic_params", npc);
    Run("engine_AddVar('npc.physic_params', 'ph_MaxVelocity', 'TGameObjectSubParam') "
        "engine_SetVar('npc.physic_params.ph_MaxVelocity', '200') "
        "engine_SetVar('npc.params.p_engine.max', '100') engine_SetVar('npc.params.p_engine', '50')");
    Frame();
    EXPECT_FLOAT_EQ(ai->GetMaxVelocity(), 100.0f);

    TBaseGameObject* player = GlobalObjects->FindChild("player");
    if (!player) player = NewGameObject<TBaseGameObjectList>("player", GlobalObjects);
    NewGameObject<TGameObjectFreeLink>("ship", player)->setValue(npc);
    Run("engine_SetVar('npc.params.p_engine', '80')");
    Frame();
    EXPECT_FLOAT_EQ(ai->GetMaxVelocity(), 240.0f);
    EXPECT_TRUE(NoLuaErrors());
    SetParamPhysicsLink(nullptr);
    unit->SetBPU(nullptr);
    ai->Free();
    unit->Free();
}

} // namespace
} // namespace vesk::test
