// Triggers on helpers and at ships, and the space-object patterns scripts
// spawn objects from.
#include "game/game_objects.h"
#include "render/helpers.h"
#include "scene_fixture.h"

namespace vesk::test {
namespace {

class TriggersTest : public GameSceneTest {
protected:
    void SetUp() override {
        GameSceneTest::SetUp();
        Subsystem({{"near", 1}});
        Lua("engine_Execute('scene.sys.load')");
    }
    TBaseRenderUnit* UnitOf(const std::string& path) {
        auto* o = dynamic_cast<TBaseGameSceneObject*>(FindVarByPath(path));
        return o ? dynamic_cast<TBaseRenderUnit*>(o->GetHex()) : nullptr;
    }
};

TEST_F(TriggersTest, AFixedTriggerStandsOnItsHelperAndLeavesItWhenDeleted) {
    GameFrame();
    GameFrame(); // the location's onLoad made the system's trigger again
    TBaseRenderUnit* gate = UnitOf("obj.neargate");
    ASSERT_NE(gate, nullptr);
    auto* helper = dynamic_cast<UniHelperClass*>(gate);
    ASSERT_NE(helper, nullptr);
    EXPECT_EQ(helper->GetHelperName(), "trigger:neargate");
    // The system's own trigger stands on the system's helper.
    auto* scene = dynamic_cast<UniHelperClass*>(UnitOf("obj.Scene"));
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->GetHelperName(), "model:player");
    EXPECT_EQ(scene->Parent()->Parent(), Psys());

    const int32_t id = gate->GetId();
    Lua("engine_DelVar('obj.neargate')");
    GameFrame();
    GameFrame();
    EXPECT_EQ(FindEngineObjectById(id), gate);
    EXPECT_FALSE(gate->HasFlag(BRU_KILLED));
}

TEST_F(TriggersTest, ATriggerWithoutAHelperHasNoUnitAndABadHelperIdIsReported) {
    Lua("addTrigger({id = 'lost', max_name = 'trigger:nowhere', location = 'near'})");
    GameFrame();
    EXPECT_EQ(UnitOf("obj.lost"), nullptr);
    GameFrame();
    Lua("local found = getHelperHex "
        "getHelperHex = function(n, l) if n == 'trigger:bad' then return 'oops' end return found(n, l) end");
    Lua("addTrigger({id = 'bad', max_name = 'trigger:bad', location = 'near'})");
    EXPECT_THROW(GameFrame(), Halted);
    bool named = false;
    for (const Report& r : trapAll.reports)
        named |= r.text.find("TGameTrigger.onCreatedFunc error: obj.bad") != std::string::npos;
    EXPECT_TRUE(named);
}

TEST_F(TriggersTest, APooledTriggerComesBackWithoutItsHelperOrShip) {
    auto* fixed = NewGameObject<TGameTrigger>("", nullptr);
    fixed->CreateEmpty();
    fixed->MaxName()->setValue("trigger:old");
    fixed->ReInit("again", FindVarByPath("obj"));
    EXPECT_EQ(fixed->MaxName()->GetValue(), "");
    auto* dynamic = NewGameObject<TGameDinamicTrigger>("", nullptr);
    dynamic->CreateEmpty();
    dynamic->ParentShip()->setValue(Psys());
    dynamic->ReInit("again2", FindVarByPath("obj"));
    EXPECT_EQ(dynamic->ParentShip()->GetValue(), nullptr);
}

TEST_F(TriggersTest, ADynamicTriggerStandsWhereItsShipIs) {
    GameFrame();
    Lua("engine_AddVar('obj', 'tracker', 'TGameDinamicTrigger')");
    auto* trigger = dynamic_cast<TGameDinamicTrigger*>(FindVarByPath("obj.tracker"));
    trigger->ParentShip()->setValue(FindVarByPath("obj.wreck2"));
    GameFrame();
    TBaseRenderUnit* unit = UnitOf("obj.tracker");
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->GetName(), "tracker");
    EXPECT_EQ(unit->Parent(), engine);
    Vec3 at, ship;
    unit->GetPosition(at);
    UnitOf("obj.wreck2")->GetPosition(ship);
    EXPECT_FLOAT_EQ(at.x, ship.x);
    // Without a ship it has no unit.
    Lua("engine_AddVar('obj', 'idle', 'TGameDinamicTrigger')");
    GameFrame();
    EXPECT_EQ(UnitOf("obj.idle"), nullptr);
}

TEST_F(TriggersTest, PatternsInheritWhatTheyLackAndKeepTheirMeshOnTheirModel) {
    Lua("engine_AddVar('spaceobj', 'base', 'TGameSpaceObjectPattern')");
    Lua("engine_SetVar('spaceobj.base.spacemodel', 'rock')");
    Lua("engine_AddVar('spaceobj.base', 'selectable', 'TGameObjectIntParam')");
    Lua("engine_SetVar('spaceobj.base.selectable', '1')");
    Lua("engine_AddVar('spaceobj.base', 'SOClass', 'TGameObjectIntParam')");
    Lua("engine_SetVar('spaceobj.base.SOClass', '5')");
    Lua("engine_AddVar('spaceobj', 'derived', 'TGameSpaceObjectPattern')");
    Lua("engine_SetVar('spaceobj.derived.parent', 'base')");
    Lua("engine_SetVar('spaceobj.derived.spacemodel', 'wreck')");
    Lua("engine_AddVar('spaceobj.derived', 'SOClass', 'TGameObjectIntParam')");
    Lua("engine_SetVar('spaceobj.derived.SOClass', '2')");
    GameFrame();
    // "default" copies nothing; the mesh follows the space model.
    EXPECT_EQ(Eval("engine_IsVar('spaceobj.base.parent')"), "1");
    EXPECT_EQ(Eval("engine_GetVar('spaceobj.base.mesh')"), "rock");
    // The derived pattern takes what it lacks and keeps its own values.
    EXPECT_EQ(Eval("engine_GetVar('spaceobj.derived.selectable')"), "1");
    EXPECT_EQ(Eval("engine_GetVar('spaceobj.derived.SOClass')"), "2");
    EXPECT_EQ(Eval("engine_GetVar('spaceobj.derived.spacemodel')"), "wreck");
    EXPECT_EQ(Eval("engine_GetVar('spaceobj.derived.parent')"), "base");
    EXPECT_EQ(Eval("engine_GetVar('spaceobj.derived.mesh')"), "wreck");
    // A mesh that already names the model is left as it is.
    auto* mesh = dynamic_cast<TGameMeshLink*>(FindVarByPath("spaceobj.base.mesh"));
    TBaseGameObject* linked = mesh->GetLinked();
    dynamic_cast<TGameSpaceObjectPattern*>(FindVarByPath("spaceobj.base"))->onCreatedSOFunc();
    EXPECT_EQ(mesh->GetLinked(), linked);
}

TEST_F(TriggersTest, ATriggerSpawnsAnObjectFromAPatternAtItsHelper) {
    Lua("engine_AddVar('spaceobj', 'beacon', 'TGameSpaceObjectPattern')");
    Lua("engine_SetVar('spaceobj.beacon.spacemodel', 'rock')");
    // What the gate trigger does when it is placed: a beacon where it stands.
    Lua(R"(triggerActions.neargate = function(path)
      engine_SpawnVar('spaceobj.beacon', 'obj', 'beacon1')
      engine_SetVar('obj.beacon1.max_name', engine_GetVar(path .. '.max_name'))
      engine_SetVar('obj.beacon1.location', engine_GetVar(path .. '.location'))
    end)");
    GameFrame(); // the trigger is placed and spawns
    auto* beacon = dynamic_cast<TGameObject*>(FindVarByPath("obj.beacon1"));
    ASSERT_NE(beacon, nullptr);
    EXPECT_EQ(Eval("engine_GetVar('obj.beacon1.spacemodel')"), "rock");
    EXPECT_EQ(beacon->FindChild("onCreatedSO"), nullptr);
    GameFrame(); // the beacon is made in the world
    TBaseRenderUnit* unit = UnitOf("obj.beacon1");
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(
        Eval("engine_GetHelperRange('" + unit->GetHex() + "', '" + UnitOf("obj.neargate")->GetHex() + "')"),
        "0");
    // Spawning from something that is no pattern is reported.
    EXPECT_THROW(Lua("engine_SpawnVar('obj.wreck1', 'obj', 'copy')"), Halted);
    EXPECT_TRUE(trapAll.HasReport("engine_SpawnVar error: AV"));
}

} // namespace
} // namespace vesk::test
