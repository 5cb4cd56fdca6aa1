// Game objects: made by class name with their children, the creation road
// into the world, the tick (overheat, damage effects) in fixed steps and the
// fatal texts of their effect lists.
#include "game/effect_links.h"
#include "game/game_ini_table.h"
#include "ships_fixture.h"

namespace vesk::test {
namespace {

using GameObjects = ShipsTest;

TEST_F(GameObjects, MadeByClassNameWithTheirChildrenInOrder) {
    Run("engine_AddVar('obj', 's', 'TGameObject')");
    auto* s = dynamic_cast<TGameObject*>(FindVarByPath("obj.s"));
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(
        "{[[svitch]],[[hex]],[[selectable]],[[SOClass]],[[radius]],[[events]],[[effects]],[[spawner]],[[ph]],"
        "[[location]],[[coolingCount]],[[repairedCount]],[[isDestroyed]],[[overheat]],[[isForsage]],"
        "[[max_name]],[[location_hex]],[[parent_ship_name]],[[helper_name]],[[position]],[[spacemodel]],"
        "[[mainClass]],[[param]],[[indestructable]],[[dialog]],[[name]],[[mesh]],[[tasks]],[[fraction]],"
        "[[cargo]],[[slots]],[[ai]],[[ai_model]],[[rocketTarget]],[[targeted]],[[targetedRocket]],"
        "[[targetedRocketList]],[[targetedMines]],[[priority]],[[damageFx]],[[collisionFx]],[[parent]],"
        "[[icon]],[[enginesAlwaysGlow]],[[finalBoom]],[[isTargeted]],[[size]],}",
        Eval("engine_GetTable('obj.s')"));
    EXPECT_EQ(
        "{[[onCreated]],[[onDestroyed]],[[onCollision]],[[onDeleted]],[[onTick]],[[onTemperatureBurst]],"
        "[[onTemperatureNormal]],[[onDamage]],[[onDamaged]],[[onShipBeginShot]],[[onShipEndShot]],"
        "[[startForsage]],[[endForsage]],[[onShipDropAntirocket]],}",
        Eval("engine_GetTable('obj.s.events')"));
    EXPECT_EQ("TGameMeshLink", FindVarByPath("obj.s.mesh")->ClassName());
    EXPECT_EQ("TSmartList", FindVarByPath("obj.s.targeted")->ClassName());
    EXPECT_EQ("TGameTargetedObjectLink", FindVarByPath("obj.s.isTargeted")->ClassName());
    // The events directly under the object belong to it.
    EXPECT_EQ(s, s->Event("finalBoom")->GetEventObj());
    EXPECT_EQ(s, s->IsTargeted()->GetEventObj());
    EXPECT_EQ(1, Statistics->SpaceObj()->Value());
    Run("engine_DelVar('obj.s')");
    EXPECT_EQ(0, Statistics->SpaceObj()->Value());
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(GameObjects, CreationRoadBuildsTheUnitInTheWorldAndStartsAShip) {
    TGameObject* ship = Ship("ship", "frigate");
    Run("engine_AddVar('obj', 'crate', 'TGameObject') engine_SetVar('obj.crate.SOClass', '5') "
        "engine_SetVar('obj.crate.spacemodel', 'box')");
    Run("engine_AddVar('obj', 'moon', 'TGameObject') engine_SetVar('obj.moon.SOClass', '10') "
        "engine_SetVar('obj.moon.spacemodel', 'moon')");
    Run("engine_AddVar('obj', 'idea', 'TGameObject')");
    Frame();
    EXPECT_EQ((std::vector<std::string>{"AddObjAdv obj.ship", "PreloadMesh ship self frigate",
                                        "AddObjAdv obj.crate", "AddEnvObjAdv obj.moon"}),
              world.calls);
    EXPECT_EQ(4, loadingBars);
    // The ship's unit is its collision source; it ticks and can be targeted.
    ASSERT_NE(nullptr, ship->GetHex());
    EXPECT_NE(std::find(link.calls.begin(), link.calls.end(),
                        "collision " + ship->GetHex()->GetHex() + " onCollision"),
              link.calls.end());
    EXPECT_TRUE(ship->OnTick()->IsActive());
    EXPECT_TRUE(ship->IsTargeted()->IsActive());
    auto* crate = dynamic_cast<TGameObject*>(FindVarByPath("obj.crate"));
    EXPECT_FALSE(crate->OnTick()->IsActive());
    EXPECT_FALSE(crate->IsTargeted()->IsActive());

    // Without the world nothing is built, and the game goes on.
    SetGameWorldLink(nullptr);
    TGameObject* lone = Ship("lone");
    Frame();
    EXPECT_EQ(nullptr, lone->GetHex());
    EXPECT_TRUE(lone->OnTick()->IsActive());
    EXPECT_EQ("", FirstFatal());
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(GameObjects, TickOverheatsAtTheLimitAndCoolsBelowItInFixedSteps) {
    Run("engine_SetVar('bal.maxOverheatValue', '100')");
    Ship("s");
    Frame();
    Run("ended = 0 engine_SetVar('obj.s.events.onShipEndShot', 'ended = ended + 1') "
        "engine_SetVar('obj.s.events.endForsage', 'forsageEnded = (forsageEnded or 0) + 1')");
    // Exactly at the limit counts as overheated.
    SetValue("obj.s.param.temperature", 200, 100);
    Frame(1000.0f);
    EXPECT_EQ("1", Eval("engine_GetVar('obj.s.overheat')"));
    EXPECT_EQ("1", Global("ended"));
    // Cooling 10 a second: 110 -> 100 (still hot) -> 90 (normal again).
    SetValue("obj.s.param.temperature", 200, 110);
    Run("engine_SetVar('obj.s.param.temperature.speed', '-10')");
    Frame(1000.0f);
    EXPECT_EQ("1", Eval("engine_GetVar('obj.s.overheat')"));
    Frame(1000.0f);
    EXPECT_EQ("0", Eval("engine_GetVar('obj.s.overheat')"));
    EXPECT_EQ("1", Global("ended"));
    EXPECT_EQ("", Global("forsageEnded"));
    // A temperature at its maximum ends the forsage on every tick.
    Run("engine_SetVar('obj.s.param.temperature.speed', '0')");
    SetValue("obj.s.param.temperature", 200, 200);
    Frame();
    Frame();
    EXPECT_EQ("2", Global("forsageEnded"));
    EXPECT_TRUE(NoLuaErrors());
}

// A damage-effect link as the effect side provides it.
class FakeDamageFx : public TBaseGameObjectList, public IGameDamageFxLink {
public:
    std::string ClassName() const override { return "FakeDamageFx"; }
    float threshold = 30.0f;
    bool shown = false;
    TBaseGameObject* on = nullptr;
    void ShowFx(TBaseGameObject* object) override {
        shown = true;
        on = object;
    }
    void HideFx() override { shown = false; }
    bool IsFxShown() const override { return shown; }
    float ThresholdPercent() const override { return threshold; }
    std::string WatchedParam() const override { return "durability"; }
};

TEST_F(GameObjects, DamageEffectsShowAtOrBelowTheirThreshold) {
    TGameObject* s = Ship("s");
    Frame();
    auto* fx = NewGameObject<FakeDamageFx>("smoke", FindVarByPath("obj.s.damageFx"));
    Frame();
    EXPECT_FALSE(fx->shown);
    SetValue("obj.s.param.durability", 100, 30);
    Frame();
    EXPECT_TRUE(fx->shown);
    EXPECT_EQ(s, fx->on);
    EXPECT_EQ(1, s->ActiveDamageFxCount());
    // Repaired above the threshold: the effect goes.
    SetValue("obj.s.param.durability", 100, 31);
    Frame();
    EXPECT_FALSE(fx->shown);
    EXPECT_EQ(0, s->ActiveDamageFxCount());
    // A save never keeps an effect shown.
    SetValue("obj.s.param.durability", 100, 20);
    Frame();
    EXPECT_TRUE(fx->shown);
    s->saveData(dir / "s.lua");
    EXPECT_FALSE(fx->shown);
    EXPECT_EQ(0, s->ActiveDamageFxCount());
    // With poor effects nothing shows.
    GameIniTable->SetInt("poorfx", 1);
    Frame();
    EXPECT_FALSE(fx->shown);
    GameIniTable->SetInt("poorfx", 0);
    Frame();
    EXPECT_TRUE(fx->shown);
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(GameObjects, EffectListsHoldOnlyEffectLinks) {
    TGameObject* s = Ship("s");
    Frame();
    NewGameObject<TGameObjectStringParam>("junk", FindVarByPath("obj.s.damageFx"));
    EXPECT_THROW(Frame(), Halted);
    EXPECT_EQ(
        Ru("TGameObject.onTickFunc error: в таблице \"damageFx\" корабля ->s->obj->_G найден обьект типа "
           "TGameObjectStringParam, это ОШИБКА .Этот класс не может обрабатываться как ФХ!!!"),
        FirstFatal());
    trap.reports.clear();
    NewGameObject<TGameObjectIntParam>("junk", FindVarByPath("obj.s.collisionFx"));
    EXPECT_THROW(s->OnCollision()->Fire(), Halted);
    EXPECT_EQ(
        Ru("TGameObject.onCollisionFunc error: в таблице \"collisionFx\" корабля ->s->obj->_G найден обьект "
           "типа TGameObjectIntParam, это ОШИБКА .Этот класс не может обрабатываться как ФХ!!!"),
        FirstFatal());
}

// The collision effects show on the object at every collision.
TEST_F(GameObjects, CollisionEffectsShowAtEveryCollision) {
    TGameObject* s = Ship("s");
    Frame();
    auto* sparks = NewGameObject<FakeDamageFx>("sparks", FindVarByPath("obj.s.collisionFx"));
    s->OnCollision()->Fire();
    EXPECT_TRUE(sparks->shown);
    EXPECT_EQ(s, sparks->on);
    sparks->HideFx();
    s->OnCollision()->Fire();
    EXPECT_TRUE(sparks->shown);
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(GameObjects, DamageDealtIsHandedToTheAiModel) {
    Ship("s");
    Ship("other");
    Frame();
    Run("engine_AddVar('obj.s.ai', 'onDamage', 'TGameEvent') "
        "engine_SetVar('obj.s.ai.onDamage', 'aiObj = tmp[1] aiData = tmp[2]')");
    Run("engine_Execute('obj.s.events.onDamage', engine_GetHex('obj.other'), engine_GetHex('obj.s.param'))");
    EXPECT_EQ(Eval("engine_GetHex('obj.other')"), Global("aiObj"));
    EXPECT_EQ(Eval("engine_GetHex('obj.s.param')"), Global("aiData"));
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(GameObjects, APooledObjectStopsTickingWhenDeleted) {
    Run("engine_AddCashedVar('obj', 'p', 'TGameObject') engine_SetVar('obj.p.SOClass', '2')");
    Run("ticks = 0 engine_SetVar('obj.p.events.onTick', 'ticks = ticks + 1')");
    Frame();
    Frame();
    const std::string ticked = Global("ticks");
    EXPECT_NE("0", ticked);
    auto* p = dynamic_cast<TGameObject*>(FindVarByPath("obj.p"));
    EXPECT_TRUE(p->IsTargeted()->IsActive());
    Run("engine_DelVar('obj.p')");
    Frame();
    Frame();
    EXPECT_EQ(ticked, Global("ticks"));
    EXPECT_FALSE(p->IsTargeted()->IsActive());
    EXPECT_EQ(0, Statistics->SpaceObj()->Value());
    EXPECT_TRUE(NoLuaErrors());
}

} // namespace
} // namespace vesk::test
