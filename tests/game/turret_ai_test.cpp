// Turret AI: which ship a turret aims at, when it keeps it, and the shot
// fired when the world reports the turret on target.
#include <gtest/gtest.h>

#include <set>

#include "ai_fixture.h"
#include "game/game_ini_table.h"
#include "game/turret_ai.h"

namespace vesk::test {
namespace {

// Angle limits reduced to a set of units the turret can see; aiming is
// immediate when the test says so.
struct FakeAim : ITurretAim {
    std::set<TBaseRenderUnit*> visible;
    TBaseRenderUnit* aimedAt = nullptr;
    std::function<void()> onAimed;
    bool IsTurretTarget(TEngineObject*, TBaseRenderUnit* target) override {
        return visible.count(target) != 0;
    }
    void SetTurretTarget(TEngineObject*, TBaseRenderUnit* target, std::function<void()> aimed) override {
        aimedAt = target;
        onAimed = std::move(aimed);
    }
};

class TurretAi : public AiTest {
protected:
    void SetUp() override {
        AiTest::SetUp();
        SetTurretAim(&aim);
        Factions();
        GameIniTable->SetInt("turretsEnabled", 1);
        ship = Place("carrier", {0, 0, 0}, kSOClassShip, "pirates");
        Slot("obj.carrier.slots", "top", "turret_top", "turret");
        turret = Item("flak", "flak", "turret");
        Run("engine_SetVar('items.flak.range', '1000') "
            "engine_AddVar('items.flak.effects', 'gun', 'TGameObjectTurretEffect') "
            "engine_SetVar('items.flak.effects.gun.onShot', 'shots = (shots or 0) + 1') "
            "engine_SetVar('items.flak.onStartUse', 'starts = (starts or 0) + 1')");
        SetValue("items.flak.charge", 10, 10);
        SetValue("items.flak.reloading", 1, 1);
        Run("engine_SetVar('items.flak.charge.speed', '-1')");
        Put("obj.carrier.slots.top.item", "flak");
        // The charge changes by its speed per shot only.
        dynamic_cast<TGameObjectParam*>(turret->FindChild("charge"))->OnTick()->Deactivate();
        SetValue("items.flak.charge", 10, 10);
        effect = dynamic_cast<TGameObjectTurretEffect*>(FindVarByPath("items.flak.effects.gun"));
        ASSERT_NE(effect, nullptr);
        model = effect->Ai();
        // The turret unit turns with the item; place it on the carrier.
        Move(turret, {0, 0, 0});
    }
    void TearDown() override {
        SetTurretAim(nullptr);
        AiTest::TearDown();
    }
    TGameObject* Hostile(const std::string& name, float x) {
        TGameObject* o = Place(name, {x, 0, 0}, kSOClassShip, "player");
        aim.visible.insert(UnitOf(o));
        return o;
    }
    FakeAim aim;
    TGameObject* ship = nullptr;
    TGameItem* turret = nullptr;
    TGameObjectTurretEffect* effect = nullptr;
    TGameObjectTurretAIModel* model = nullptr;
};

TEST_F(TurretAi, PicksTheNearestAimableHostileAndKeepsItAtMaximumRange) {
    EXPECT_FLOAT_EQ(effect->MaxRange(), 1000.0f); // the item's range
    GameIniTable->SetInt("turretsEnabled", 0);    // no choice while the ships arrive
    TGameObject* far = Hostile("far", 1000);
    TGameObject* near = Hostile("near", 600);
    Place("friend", {100, 0, 0}, kSOClassShip, "smugglers");
    aim.visible.insert(UnitOf(FindVarByPath("obj.friend")));
    GameIniTable->SetInt("turretsEnabled", 1);
    Frame(); // the model's tick
    EXPECT_EQ(model->BestEnemy(), near);
    EXPECT_EQ(aim.aimedAt, UnitOf(near));
    // "near" leaves the limits: the next tick drops it for the nearest other one.
    aim.visible.erase(UnitOf(near));
    Frame();
    EXPECT_EQ(model->BestEnemy(), far); // exactly at the maximum range
    EXPECT_EQ(model->PrevBestEnemy(), far);
    Frame();
    EXPECT_EQ(model->BestEnemy(), far); // and kept there
    Move(far, {1001, 0, 0});
    Frame();
    EXPECT_EQ(model->BestEnemy(), nullptr);
}

TEST_F(TurretAi, OnTargetItShootsOnceWithTheItemInUse) {
    TGameObject* enemy = Hostile("enemy", 500);
    Frame();
    ASSERT_TRUE(aim.onAimed);
    aim.onAimed();
    EXPECT_EQ(Global("shots"), "1");
    EXPECT_EQ(Global("starts"), "1");
    EXPECT_EQ(turret->Used(), 0);            // its use ended after the shot
    EXPECT_EQ(effect->CurTarget(), nullptr); // the target was set for the shot only
    EXPECT_FLOAT_EQ(Value("items.flak.charge"), 9.0f);
    // The reload has not finished: the next on-target call fires nothing.
    aim.onAimed();
    EXPECT_EQ(Global("shots"), "1");
    (void)enemy;
}

TEST_F(TurretAi, ASwitchedOffTurretNeitherAimsNorShoots) {
    Hostile("enemy", 500);
    turret->FireEvent("onDisable"); // status 0
    Frame();
    EXPECT_EQ(aim.aimedAt, nullptr);
    EXPECT_EQ(model->BestEnemy(), nullptr);
    // With target selection off in the settings it keeps what it has.
    turret->FireEvent("onEnable");
    Frame();
    ASSERT_NE(model->BestEnemy(), nullptr);
    GameIniTable->SetInt("turretsEnabled", 0);
    Hostile("closer", 100);
    Frame();
    EXPECT_EQ(model->BestEnemy(), FindVarByPath("obj.enemy"));
}

} // namespace
} // namespace vesk::test
