// What the scripts ask of ships in a fight, through the Lua host: a ship's
// speed, and whether an attack is still worth going on with.
#include <gtest/gtest.h>

#include "ai_fixture.h"
#include "game/damage.h"

namespace vesk::test {
namespace {

class ShipQueries : public AiTest {
protected:
    void SetUp() override {
        AiTest::SetUp();
        Factions();
        raider = Place("raider", {0, 0, 0}, kSOClassShip, "pirates");
        target = Place("target", {1500, 0, 0}, kSOClassShip, "player");
        model = Fly("raider");
        ASSERT_NE(model, nullptr);
    }
    TGameObject* raider = nullptr;
    TGameObject* target = nullptr;
    TGameObjectShipAIModel* model = nullptr;
};

TEST_F(ShipQueries, SpeedIsTheSteeringUnitsByPathOrHex) {
    GiveAI(raider)->SetVelocity({30, 40, 0});
    EXPECT_EQ(Eval("engine_GetObjSpeed('obj.raider')"), "50");
    EXPECT_EQ(Eval("engine_GetObjSpeed(engine_GetHex('obj.raider'))"), "50");
    EXPECT_EQ(Eval("engine_GetObjSpeed(engine_GetVar('obj.raider.hex'))"), "50"); // its render unit
    // A ship without a steering unit stands.
    EXPECT_EQ(Eval("engine_GetObjSpeed('obj.target')"), "0");
    EXPECT_TRUE(trap.reports.empty());
    EXPECT_EQ(Eval("engine_GetObjSpeed('obj.nobody')"), "0");
    EXPECT_TRUE(trap.HasReport("engine_GetObjSpeed: no object \"obj.nobody\""));
    EXPECT_EQ(FirstFatal(), "");
    try {
        Run("engine_GetObjSpeed()");
    } catch (const Halted&) {
    }
    EXPECT_EQ(FirstFatal(), "engine_GetObjSpeed: NumElements<1");
}

TEST_F(ShipQueries, AnAttackIsActualWhileBothFightWithinTheLeash) {
    TGameObject* base = Place("base", {0, 0, 0}, 13);
    auto actual = [&](const std::string& args) { return Eval("engine_AttackActuality(" + args + ")"); };
    // Named or the model's own target (curAttackTarget, then curEnemy).
    EXPECT_EQ(actual("'obj.raider', 'obj.target'"), "1");
    EXPECT_EQ(actual("'obj.raider'"), "0"); // no target yet
    Link(model, "curEnemy", target);
    EXPECT_EQ(actual("'obj.raider'"), "1");
    Link(model, "curAttackTarget", raider); // itself: never
    EXPECT_EQ(actual("'obj.raider'"), "0");
    Link(model, "curAttackTarget", target);
    EXPECT_EQ(actual("engine_GetHex('obj.raider')"), "1");
    // Not at its own faction or a friendly one; a neutral (no faction) stays a target.
    Place("wingman", {500, 0, 0}, kSOClassShip, "pirates");
    Place("smuggler", {500, 0, 0}, kSOClassShip, "smugglers");
    Place("drifter", {500, 0, 0}, kSOClassShip);
    EXPECT_EQ(actual("'obj.raider', 'obj.wingman'"), "0");
    EXPECT_EQ(actual("'obj.raider', 'obj.smuggler'"), "0");
    EXPECT_EQ(actual("'obj.raider', 'obj.drifter'"), "1");
    // The leash round the anchor: the target's centre within maxAnchorRange of it.
    Link(model, "curAnchor", base);
    struct Case {
        float leash, x;
        const char* actual;
    } cases[] = {{2000, 1500, "1"}, {2000, 2000, "1"}, {2000, 2001, "0"}, {0, 9000, "1"}};
    for (const Case& c : cases) {
        model->SetNumber("maxAnchorRange", c.leash);
        Move(target, {c.x, 0, 0});
        EXPECT_EQ(actual("'obj.raider'"), c.actual) << c.leash << " " << c.x;
    }
    // A destroyed side ends it.
    target->SetIntValue("isDestroyed", 1);
    EXPECT_EQ(actual("'obj.raider'"), "0");
    target->SetIntValue("isDestroyed", 0);
    raider->SetIntValue("isDestroyed", 1);
    EXPECT_EQ(actual("'obj.raider', 'obj.target'"), "0");
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(ShipQueries, AttackActualityFaults) {
    // A target gone from the tree: reported, the attack is over, the game goes on.
    EXPECT_EQ(Eval("engine_AttackActuality('obj.raider', 'obj.gone')"), "0");
    EXPECT_TRUE(trap.HasReport("engine_AttackActuality: no object \"obj.gone\""));
    EXPECT_EQ(Eval("engine_AttackActuality('obj.raider', '0')"), "0");
    EXPECT_EQ(FirstFatal(), "");
    try {
        Run("engine_AttackActuality()");
    } catch (const Halted&) {
    }
    EXPECT_EQ(FirstFatal(), "engine_AttackActuality: NumElements<1");
}

// The shield effects ask the game whether a struck ship's shield is up.
TEST_F(ShipQueries, AShipsShieldIsUpWhileItHasShieldLeft) {
    EXPECT_TRUE(ShipShieldIsUp(UnitOf(target))); // 100 of 100
    SetValue("obj.target.param.shield", 100.0f, 0.0f);
    EXPECT_FALSE(ShipShieldIsUp(UnitOf(target)));
    // A unit no game object owns (a ship of the models alone) has nothing that says it is down.
    EXPECT_TRUE(ShipShieldIsUp(world.NewUnit("loose")));
}

} // namespace
} // namespace vesk::test
