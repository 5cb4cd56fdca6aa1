// Effect objects and the timed effect: game objects that spawn effects at their
// objects' render units, through the game-object tree, the real effect library
// and the real render units.
#include "fx_fixture.h"
#include "game/fx_objects.h"
#include "game/game_functions.h"
#include "game/game_ini_table.h"
#include "game/game_object.h"
#include "game/game_text.h"
#include "game/obj_managers.h"
#include "game/params.h"
#include "game/scene_object.h"
#include "game/tree_functions.h"
#include "render/fake_model_tree.h"
#include "world/fx_burst.h"
#include "world/fx_portal.h"

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

class FxObjectsTest : public FxTest {
protected:
    void SetUp() override {
        FxTest::SetUp();
        RegisterGameTreeClasses();
        RegisterGameTreeFunctions();
        RegisterGameLogicClasses();
        RegisterGameLogicFunctions();
        ObjManagersManager = std::make_unique<TObjManagersManager>();
        CreateGameRoot();
        CreateGameGlobalLists();
        CreateGameLogicRoots(GlobalObjects);
        Lua("function setHook() end function emptyHook() end function saveData() end");
        LoadFx("spark = { id = 'spark', type = 'particle' }, boom = { id = 'boom', type = 'burst',"
               " numParticles = '3', vmin = '1', vmax = '2', MaxSize = '1', MinSize = '1', MaxLifeTime = '1',"
               " MinLifeTime = '1', particleID = 'spark', color = 'FFFFFFFF', friction = '0' }");
    }
    void TearDown() override {
        if (GlobalObjects) GlobalObjects->Delete();
        if (DeletedObjects) {
            DeletedObjects->Tick(0.0f);
            DeletedObjects->Free();
        }
        TEODestroyManager->Flush();
        ObjManagersManager.reset();
        FxTest::TearDown();
    }
    // The lists' ticks of one game frame.
    void GameFrame(float dt = 30.0f) {
        for (TBaseGameObjectList* list : std::initializer_list<TBaseGameObjectList*>{
                 CreatedObjects, Created2Objects, TickedObjects, PackedObjects, DeletedObjects})
            if (list) list->Tick(dt);
    }
    // A scene object standing for a render unit at (50, 0, 0) with a helper "nozzle".
    TBaseGameSceneObject* Ship() {
        // Game objects live in the global list "obj", where effect links find them.
        Lua("engine_AddVar('obj', 'ship', 'TBaseGameSceneObject')");
        auto* ship = dynamic_cast<TBaseGameSceneObject*>(FindVarByPath("obj.ship"));
        unit = Unit(env, "shipUnit");
        unit->SetPosition({50, 0, 0});
        unit->AddHelper("nozzle", {0, 3, 0});
        engine->UpdateMatrices(nullptr);
        ship->SetHex(unit);
        return ship;
    }
    RecUnit* unit = nullptr;
};

TEST_F(FxObjectsTest, AShownLinkSpawnsItsEffectAtTheObjectsHelper) {
    Ship();
    Lua("engine_AddVar('obj.ship', 'explosion', 'TGameObjectFxLink')"
        " engine_SetVar('obj.ship.explosion.fx', 'boom')"
        " engine_SetVar('obj.ship.explosion.objId', 'ship')"
        " engine_SetVar('obj.ship.explosion.helperId', 'nozzle')");
    auto* link = dynamic_cast<TGameObjectFxLink*>(FindVarByPath("obj.ship.explosion"));
    ASSERT_NE(link, nullptr);
    GameFrame(); // the creation event finds the template
    EXPECT_EQ(link->FxPointer()->GetValue(), Template("boom"));
    link->Show();
    TGameObjectFx* fx = link->EffectObject();
    ASSERT_NE(fx, nullptr);
    EXPECT_EQ(fx->GetName(), "fx_" + fx->TEngineObject::GetHex());
    EXPECT_EQ(fx->FxId()->GetValue(), "boom");
    EXPECT_EQ(fx->HexId()->GetValue(), unit);
    auto* burst = dynamic_cast<FXBurstClass*>(fx->GetHex());
    ASSERT_NE(burst, nullptr);
    EXPECT_EQ(burst->ChildCount(), 3);
    EXPECT_FLOAT_EQ(burst->GetWorldMatrix().m[3][1], 3.0f);
    // Shown again, the previous effect object goes first.
    link->Show();
    EXPECT_NE(link->EffectObject(), fx);
    EXPECT_TRUE(fx->IsDeleted());
    link->Hide();
    EXPECT_EQ(link->EffectObject(), nullptr);
}

TEST_F(FxObjectsTest, ALinkToAnEffectTheTableDoesNotHaveEndsTheGameWhenCreated) {
    Ship();
    Lua("engine_AddVar('obj.ship', 'smoke', 'TGameObjectDamageFxLink') engine_SetVar('obj.ship.smoke.fx', "
        "'none')");
    EXPECT_EQ(GetLuaString("engine_GetVar('obj.ship.smoke.param')", false), "armor");
    EXPECT_THROW(GameFrame(), Halted);
    EXPECT_TRUE(trapAll.HasReport("TGameObjectFxLink.onCreatedFunc error: (->smoke->ship->obj->_G)" +
                                  Ru(" визуального эффекта \"") + "none\"" + Ru(" не существует")));
}

// Template names go into Lua text quoted: a name holding quotes, a backslash
// and a closing long bracket is read and written back whole.
TEST_F(FxObjectsTest, ATemplateIsFoundWhateverItsName) {
    const std::string name = "spark \"blue\" \\ ]] end";
    LoadFx("[" + LuaQuote(name) + "] = { id = " + LuaQuote(name) + ", type = 'particle' }");
    ASSERT_NE(Template(name), nullptr);
    EXPECT_EQ(GetLuaString("fx[" + LuaQuote(name) + "].hex", false), Template(name)->GetHex());
    Ship();
    Lua("engine_AddVar('obj.ship', 'odd', 'TGameObjectFxLink') engine_SetVar('obj.ship.odd.fx', " +
        LuaQuote(name) + ")");
    auto* link = dynamic_cast<TGameObjectFxLink*>(FindVarByPath("obj.ship.odd"));
    ASSERT_NE(link, nullptr);
    GameFrame();
    EXPECT_EQ(link->FxPointer()->GetValue(), Template(name));
    EXPECT_EQ(trapAll.lastFatal, "");
}

TEST_F(FxObjectsTest, AnEffectObjectWithoutACarrierUnitSpawnsNothing) {
    Lua("engine_AddVar('obj', 'rock', 'TBaseGameSceneObject') engine_AddVar('', 'dust', 'TGameObjectFx')"
        " engine_SetVar('dust.fxId', 'boom') engine_SetVar('dust.objId', 'rock')");
    GameFrame();
    auto* fx = dynamic_cast<TGameObjectFx*>(FindVarByPath("dust"));
    ASSERT_NE(fx, nullptr);
    EXPECT_EQ(fx->FxLink()->GetValue(), Template("boom"));
    EXPECT_EQ(fx->GetHex(), nullptr);
    EXPECT_TRUE(trapAll.reports.empty());
    // With a unit it spawns when it is created.
    Ship();
    Lua("engine_AddVar('', 'flash', 'TGameObjectFx') engine_SetVar('flash.fxId', 'boom')"
        " engine_SetVar('flash.objId', 'ship')");
    GameFrame();
    EXPECT_NE(dynamic_cast<FXBurstClass*>(dynamic_cast<TGameObjectFx*>(FindVarByPath("flash"))->GetHex()),
              nullptr);
    // An effect object of an unknown effect is a fatal report.
    Lua("engine_AddVar('', 'bad', 'TGameObjectFx') engine_SetVar('bad.fxId', 'none')"
        " engine_SetVar('bad.objId', 'ship')");
    EXPECT_THROW(GameFrame(), Halted);
    EXPECT_TRUE(trapAll.HasReport("TGameObjectFx.CreateBru error:->bad->_G" + Ru(" визуального эффекта \"") +
                                  "none\"" + Ru("] не существует")));
}

TEST_F(FxObjectsTest, DestructionEffectsEndAfterTheirTime) {
    Ship();
    Lua("engine_AddVar('obj.ship', 'blast', 'TDestroyFxLink') engine_SetVar('obj.ship.blast.fx', 'boom')"
        " engine_SetVar('obj.ship.blast.objId', 'ship') engine_SetVar('obj.ship.blast.time', '0.1')");
    GameFrame();
    auto* link = dynamic_cast<TDestroyFxLink*>(FindVarByPath("obj.ship.blast"));
    link->Show();
    auto* fx = dynamic_cast<TGameObjectDestroyFx*>(link->EffectObject());
    ASSERT_NE(fx, nullptr);
    Lua("engine_SetVar('" + GetLuaPath(fx) + ".events.onEndTime', 'blastOver = 1')");
    const int32_t id = fx->GetId();
    for (int i = 0; i < 3; ++i) GameFrame(); // created and ticking: 90 ms
    EXPECT_EQ(link->EffectObject(), fx);
    GameFrame(); // 120 ms: it ends and is gone at the end of the frame
    EXPECT_EQ(FindEngineObjectById(id), nullptr);
    EXPECT_EQ(link->EffectObject(), nullptr);
    EXPECT_EQ(GetLuaString("blastOver", false), "1");
    // The debris link is never shown itself.
    Lua("engine_AddVar('obj.ship', 'debris', 'TDestroyFxAbandonedLink')");
    auto* debris = dynamic_cast<TDestroyFxAbandonedLink*>(FindVarByPath("obj.ship.debris"));
    EXPECT_THROW(debris->Show(), Halted);
    EXPECT_EQ(trapAll.lastFatal, "TDestroyFxAbandonedLink.startFx error: not use");
}

TEST_F(FxObjectsTest, GameObjectsShowTheirLinksThroughTheEffectLinkInterfaces) {
    TBaseGameSceneObject* ship = Ship();
    Lua("engine_AddVar('obj.ship', 'smoke', 'TGameObjectDamageFxLink') engine_SetVar('obj.ship.smoke.fx', "
        "'boom')"
        " engine_SetVar('obj.ship.smoke.procent', '30')");
    GameFrame();
    auto* damage = dynamic_cast<IGameDamageFxLink*>(FindVarByPath("obj.ship.smoke"));
    ASSERT_NE(damage, nullptr);
    EXPECT_FLOAT_EQ(damage->ThresholdPercent(), 30.0f);
    EXPECT_EQ(damage->WatchedParam(), "armor");
    EXPECT_FALSE(damage->IsFxShown());
    damage->ShowFx(ship);
    EXPECT_TRUE(damage->IsFxShown());
    EXPECT_NE(
        dynamic_cast<FXBurstClass*>(
            dynamic_cast<TGameObjectFxLink*>(FindVarByPath("obj.ship.smoke"))->EffectObject()->GetHex()),
        nullptr);
    damage->HideFx();
    EXPECT_FALSE(damage->IsFxShown());
    // Debris of a destroyed object lives out its lifetime.
    Lua("engine_AddVar('obj.ship', 'debris', 'TDestroyFxAbandonedLink') engine_SetVar('obj.ship.debris.fx', "
        "'boom')"
        " engine_SetVar('obj.ship.debris.time', '2')"
        " engine_SetVar('obj.ship.debris.lifetime', '0.05') engine_SetVar('obj.ship.debris.mesh', 'wreck')");
    auto* entry = dynamic_cast<IGameDestroyFxEntry*>(FindVarByPath("obj.ship.debris"));
    ASSERT_NE(entry, nullptr);
    EXPECT_FLOAT_EQ(entry->DestroyFxTime(), 2.0f);
    entry->SpawnDestroyFx(ship);
    // The debris is the destroyed object's own, in its effect list.
    TBaseGameObject* list = ship->Effects();
    TAbandonedDestroyFx* debris = nullptr;
    int32_t cursor;
    TBaseGameObject* child;
    list->First(cursor);
    while (list->Next(cursor, child))
        if (auto* d = dynamic_cast<TAbandonedDestroyFx*>(child)) debris = d;
    ASSERT_NE(debris, nullptr);
    EXPECT_EQ(debris->GetName().rfind("dFx_", 0), 0u);
    EXPECT_EQ(debris->Mesh()->GetValue(), "wreck");
    const int32_t id = debris->GetId();
    GameFrame(); // created: 30 ms
    GameFrame(); // 60 ms: over, and gone at the end of the frame
    EXPECT_EQ(FindEngineObjectById(id), nullptr);
}

// Scripts open a portal through an effect object at a scene object; the
// object shows it until the portal has played its closing and gone.
TEST_F(FxObjectsTest, AnEffectObjectShowsAPortalUntilItHasClosed) {
    FakeModelTrees models;
    FakeModelTree& gate = models.Add("gate.cm");
    gate.AddObject("frame");
    gate.AddTrack("frame", 13, 60);
    Lua("mesh = { gate = { path = '', name = 'gate' } }");
    LoadFx("gate = { id = 'gate', type = 'portal', mesh = 'gate' }");
    Ship();
    Lua("engine_AddVar('', 'door', 'TGameObjectFx') engine_SetVar('door.fxId', 'gate')"
        " engine_SetVar('door.objId', 'ship') engine_SetVar('door.helperId', 'nozzle')");
    GameFrame();
    auto* door = dynamic_cast<TGameObjectFx*>(FindVarByPath("door"));
    ASSERT_NE(door, nullptr);
    auto* portal = dynamic_cast<FXPortalClass*>(door->GetHex());
    ASSERT_NE(portal, nullptr);
    EXPECT_FLOAT_EQ(portal->GetWorldMatrix().m[3][0], 50.0f);
    EXPECT_FLOAT_EQ(portal->GetWorldMatrix().m[3][1], 3.0f);
    // Open, it stays; told to close, it plays its closing and goes.
    for (int i = 0; i < 30; ++i) Step();
    EXPECT_EQ(door->GetHex(), portal);
    portal->SetPortalStateFlag(PORTAL_CLOSE_REQUESTED);
    for (int i = 0; i < 30 && door->GetHex(); ++i) Step();
    EXPECT_EQ(door->GetHex(), nullptr);
    EXPECT_EQ(GetLuaString("engine_GetVar('door.hex')", false), "0");
    EXPECT_TRUE(trapAll.reports.empty());
    FreeFXTemplates();
    TEODestroyManager->Flush();
    models.Clear();
}

TEST_F(FxObjectsTest, ATimedEffectEndsItsTimeFiresAndDeletesItself) {
    Lua("engine_AddVar('', 'ship', 'TBaseGameObjectList') engine_AddVar('ship', 'call', 'TGameEvent')"
        " engine_SetVar('ship.call', 'called = (called or 0) + 1')");
    struct Case {
        const char* timeMax;
        int frames; // the creation frame is the first tick: 30 ms each
    };
    for (const Case& c : std::vector<Case>{{"0", 1}, {"0.1", 4}}) {
        SCOPED_TRACE(c.timeMax);
        Lua("called = nil ended = nil engine_AddVar('ship', 'timer', 'TGameTimeEffect')"
            " engine_SetVar('ship.timer.timeMax', '" +
            std::string(c.timeMax) +
            "')"
            " engine_SetVar('ship.timer.funcLink', engine_GetHex('ship.call'))"
            " engine_SetVar('ship.timer.events.onEndTime', 'ended = 1')");
        auto* timer = dynamic_cast<TGameTimeEffect*>(FindVarByPath("ship.timer"));
        ASSERT_NE(timer, nullptr);
        const int32_t id = timer->GetId();
        for (int i = 1; i < c.frames; ++i) {
            GameFrame();
            EXPECT_TRUE(timer->IsEnabled());
            EXPECT_FALSE(timer->IsDeleted());
        }
        GameFrame(); // it ends and is gone at the end of the frame
        EXPECT_EQ(FindEngineObjectById(id), nullptr);
        EXPECT_EQ(FindVarByPath("ship.timer"), nullptr);
        EXPECT_EQ(GetLuaString("ended", false), "1");
        EXPECT_EQ(GetLuaString("called", false), "1");
        GameFrame();
    }
}

} // namespace
} // namespace vesk::test
