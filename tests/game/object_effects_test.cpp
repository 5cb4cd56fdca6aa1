// Object effects: their events, enabled state, initiator, and how a pooled
// effect is deleted and reused.
#include "game/object_effects.h"
#include "game/params.h"
#include "game_logic_fixture.h"

namespace vesk::test {
namespace {

using Effects = GameLogicTest;

TEST_F(Effects, ChildrenEventsAndEnabledState) {
    Run("engine_AddVar('', 'ship', 'TBaseGameObjectList') engine_AddVar('ship', 'fx', 'TGameObjectEffect')");
    auto* fx = dynamic_cast<TGameObjectEffect*>(FindVarByPath("ship.fx"));
    ASSERT_NE(nullptr, fx);
    EXPECT_EQ("{[[events]],[[initiator]],[[initiatorLink]],}", Eval("engine_GetTable('ship.fx')"));
    EXPECT_EQ("{[[onEnable]],[[onDisable]],[[onTick]],[[onCreated]],}",
              Eval("engine_GetTable('ship.fx.events')"));
    for (TGameEvent* e : {static_cast<TGameEvent*>(fx->OnCreated()), fx->OnEnable(), fx->OnDisable(),
                          static_cast<TGameEvent*>(fx->OnTick())})
        EXPECT_EQ(fx, e->GetEventObj()) << e->GetName();
    EXPECT_TRUE(fx->OnCreated()->IsActive());
    EXPECT_FALSE(fx->IsEnabled());

    // The target arrives as the event data of "onEnable"; Lua code runs after the handler.
    auto* target = NewGameObject<TBaseGameObjectList>("target", GlobalObjects);
    Run("engine_SetVar('ship.fx.events.onEnable', 'enabledOn = tmp[2]')");
    Run("engine_Execute('ship.fx.events.onEnable', engine_GetHex('ship.fx'), engine_GetHex('target'))");
    EXPECT_TRUE(fx->IsEnabled());
    EXPECT_EQ(target->GetHex(), Global("enabledOn"));
    Run("engine_Execute('ship.fx.events.onDisable')");
    EXPECT_FALSE(fx->IsEnabled());

    Run("engine_SetVar('ship.fx.initiator', 'turret') engine_SetVar('ship.fx.initiatorLink', "
        "engine_GetHex('target'))");
    EXPECT_EQ("turret", fx->Initiator()->GetValue());
    EXPECT_EQ(target, fx->InitiatorLink()->GetValue());
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(Effects, DeleteFiresOnDisableFirstEvenWhenNeverEnabled) {
    for (bool pooled : {false, true}) {
        SCOPED_TRACE(pooled ? "pooled" : "plain");
        Run("disabled = nil engine_AddVar('', 'ship', 'TBaseGameObjectList')");
        Run(std::string(pooled ? "engine_AddCashedVar" : "engine_AddVar") +
            "('ship', 'fx', 'TGameObjectEffect')");
        auto* fx = dynamic_cast<TGameObjectEffect*>(FindVarByPath("ship.fx"));
        ASSERT_NE(nullptr, fx);
        Run("engine_SetVar('ship.fx.events.onDisable', 'disabled = engine_GetPath(tmp[1])')");
        TonTick* tick = fx->OnTick();
        tick->Activate();
        EXPECT_FALSE(fx->IsEnabled());
        Run("engine_DelVar('ship.fx')");
        // Fired while the effect still stood at its place.
        EXPECT_EQ("ship.fx", Global("disabled"));
        EXPECT_FALSE(tick->IsActive());
        EXPECT_TRUE(fx->IsDeleted());
        EXPECT_EQ(nullptr, FindVarByPath("ship.fx"));
        // A pooled effect keeps its children for the next use; a plain one loses them.
        EXPECT_EQ(pooled ? 3 : 0, fx->CountChildren());
        // A second delete does not fire again.
        Run("disabled = nil");
        fx->Delete();
        EXPECT_EQ("", Global("disabled"));
        Run("engine_DelVar('ship')");
        Frame();
    }
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(Effects, PooledEffectComesBackDisabledWithoutInitiator) {
    Run("engine_AddVar('', 'ship', 'TBaseGameObjectList') engine_AddVar('', 'other', 'TBaseGameObjectList')");
    Run("engine_AddCashedVar('ship', 'fx', 'TGameObjectEffect')");
    auto* fx = dynamic_cast<TGameObjectEffect*>(FindVarByPath("ship.fx"));
    ASSERT_NE(nullptr, fx);
    Run("created = 0 engine_SetVar('ship.fx.events.onCreated', 'created = created + 1')");
    Frame();
    EXPECT_EQ("1", Global("created"));
    Run("engine_Execute('ship.fx.events.onEnable') engine_SetVar('ship.fx.initiator', 'x') "
        "engine_SetVar('ship.fx.initiatorLink', engine_GetHex('other'))");
    EXPECT_TRUE(fx->IsEnabled());
    Run("engine_DelVar('ship.fx')");
    Frame();
    EXPECT_EQ("1", Global("created")); // not fired while it waits for its pool

    Run("engine_AddCashedVar('other', 'fx2', 'TGameObjectEffect')");
    ASSERT_EQ(fx, FindVarByPath("other.fx2"));
    EXPECT_FALSE(fx->IsEnabled());
    EXPECT_EQ("", Eval("engine_GetVar('other.fx2.initiator')"));
    EXPECT_EQ("0", Eval("engine_GetVar('other.fx2.initiatorLink')"));
    EXPECT_EQ(fx, fx->OnEnable()->GetEventObj());
    // Revived, it is a new effect: "onCreated" fires once more.
    Frame();
    EXPECT_EQ("2", Global("created"));
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(Effects, ListStartsAndStopsTheTicksOfItsEffects) {
    Run("engine_AddVar('', 'effects', 'TGameObjectEffectList')");
    Run("engine_AddVar('effects', 'a', 'TGameObjectEffect') engine_AddVar('effects', 'b', "
        "'TGameObjectEffect')");
    Run("engine_AddVar('effects', 'note', 'TGameObjectStringParam')"); // not an effect: skipped
    auto* list = dynamic_cast<TGameObjectEffectList*>(FindVarByPath("effects"));
    auto* a = dynamic_cast<TGameObjectEffect*>(FindVarByPath("effects.a"));
    auto* b = dynamic_cast<TGameObjectEffect*>(FindVarByPath("effects.b"));
    ASSERT_TRUE(list && a && b);
    Run("ticks = 0 engine_SetVar('effects.a.events.onTick', 'ticks = ticks + 1')");
    list->ActivateTicks();
    EXPECT_TRUE(a->OnTick()->IsActive());
    EXPECT_TRUE(b->OnTick()->IsActive());
    Frame();
    Frame();
    EXPECT_EQ("2", Global("ticks"));
    list->DeactivateTicks();
    EXPECT_FALSE(a->OnTick()->IsActive());
    Frame();
    EXPECT_EQ("2", Global("ticks"));
    EXPECT_TRUE(NoLuaErrors());
}

// Pooled objects keep their children for reuse; when their pools go, the
// children go with them.
TEST_F(Effects, PoolsLetGoOfKeptChildrenToo) {
    ObjManagersManager = std::make_unique<TObjManagersManager>();
    Run("engine_AddVar('', 'ship', 'TBaseGameObjectList') engine_AddVar('ship', 'tasks', "
        "'TGameObjTaskManager')");
    const size_t before = LiveEngineObjectCount();
    for (const char* cls : {"TGameObjectEffect", "TBaseGameSceneObject"}) {
        Run(std::string("engine_AddCashedVar('ship', 'x', '") + cls + "') engine_DelVar('ship.x')");
        Frame();
    }
    Run("engine_AddCashedVar('ship.tasks', 't', 'TGameObjTask') engine_DelVar('ship.tasks.t')");
    Frame();
    // Back in their pools with their children: freed with the pools.
    ObjManagersManager = std::make_unique<TObjManagersManager>();
    TEODestroyManager->Flush();
    EXPECT_EQ(before, LiveEngineObjectCount());
    EXPECT_TRUE(NoLuaErrors());
}

} // namespace
} // namespace vesk::test
