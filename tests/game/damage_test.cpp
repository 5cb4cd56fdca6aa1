// Damage of every kind against worked values, the defence factor, the events
// a hit fires, splash fall-off, timed damage in fixed steps and the pools.
#include <cmath>

#include "ships_fixture.h"

namespace vesk::test {
namespace {

// A class derived from the game object, not the game object itself.
class TestStation : public TGameObject {
    VESK_GAME_CLASS(TestStation)
};

class Damage : public ShipsTest {
protected:
    // A target ship with shield, armor and hull current values (maxima 100).
    TGameObject* Target(const std::string& name, float shield, float armor, float hull) {
        TGameObject* t = Ship(name);
        SetValue("obj." + name + ".param.shield", 100.0f, shield);
        SetValue("obj." + name + ".param.armor", 100.0f, armor);
        SetValue("obj." + name + ".param.durability", 100.0f, hull);
        Frame(); // created: a ship ticks and can be splashed
        return t;
    }
    // One hit of the kind on the target, enabled the way the projectiles do it.
    std::string Hit(const std::string& target, const std::string& kind, const std::string& amounts,
                    const std::string& shooter = "") {
        const std::string name = "hit" + std::to_string(++hits_);
        const std::string p = "obj." + target + ".effects." + name;
        Run("engine_AddCashedVar('obj." + target + ".effects', '" + name + "', '" + kind + "')");
        Run("for k, v in pairs({" + amounts + "}) do engine_SetVar('" + p + ".' .. k, tostring(v)) end");
        if (!shooter.empty())
            Run("engine_SetVar('" + p + ".initiatorLink', engine_GetHex('obj." + shooter + "'))");
        Run("engine_Execute('" + p + ".events.onEnable', engine_GetHex('" + p + "'), engine_GetHex('obj." +
            target + "'))");
        return p;
    }
    std::vector<float> Layers(const std::string& name) {
        const std::string p = "obj." + name + ".param.";
        return {Value(p + "shield"), Value(p + "armor"), Value(p + "durability"), Value(p + "temperature")};
    }

private:
    int hits_ = 0;
};

struct KindCase {
    const char* kind;
    float shield, armor, hull;
    const char* amounts;
    float expShield, expArmor, expHull, expTemperature;
};

TEST_F(Damage, EachKindAgainstWorkedValues) {
    const KindCase cases[] = {
        // Layered: a hit that takes the shield to 0 also hits the armor with its own amount.
        {"TDamageEffect", 5, 50, 100, "shieldDamage=10, armorDamage=7, damage=3, temperatureEnemy=4", 0, 43,
         100, 4},
        // … and one that takes the armor to 0 also hits the hull.
        {"TDamageEffect", 0, 5, 100, "armorDamage=10, damage=6", 0, 0, 94, 0},
        {"TDamageRocket", 50, 50, 100, "shieldDamage=10, armorDamage=7, damage=3", 40, 50, 100, 0},
        {"TDamageDark", 0, 0, 100, "shieldDamage=10, armorDamage=7, damage=5", 0, 0, 95, 0},
        // Energy: what the shield cannot take goes to the hull; heat only once the shield is down.
        {"TDamageEnergy", 3, 50, 100, "shieldDamage=5, damage=2, temperatureEnemy=7", 0, 50, 96, 7},
        {"TDamageEnergy", 50, 50, 100, "shieldDamage=5, damage=2, temperatureEnemy=7", 45, 50, 98, 0},
        // Kinetic: the same through the armor, heat always.
        {"TDamageKinetic", 50, 4, 100, "armorDamage=10, damage=1, temperatureEnemy=3", 50, 0, 93, 3},
        {"TDamageKinetic", 50, 40, 100, "armorDamage=10, damage=1", 50, 30, 99, 0},
        {"TDamageEMP", 30, 50, 100, "shieldDamage=50, armorDamage=9, damage=9", 0, 50, 100, 0},
        // Nano hits the hull through shield and armor at once.
        {"TDamageNano", 50, 50, 100, "damage=4, time=0", 50, 50, 96, 0},
    };
    int i = 0;
    for (const KindCase& c : cases) {
        const std::string name = "t" + std::to_string(i++);
        Target(name, c.shield, c.armor, c.hull);
        Hit(name, c.kind, c.amounts);
        EXPECT_EQ((std::vector<float>{c.expShield, c.expArmor, c.expHull, c.expTemperature}), Layers(name))
            << c.kind << " " << c.amounts;
    }
    EXPECT_TRUE(NoLuaErrors());
    EXPECT_EQ("", FirstFatal());
}

TEST_F(Damage, DefenceFactorScalesTheHitAndTheEventsReachTargetAndShooter) {
    Target("t", 50, 50, 100);
    Ship("shooter");
    Frame();
    SetValue("obj.t.param.defencefactor", 100, 50);
    Run("engine_SetVar('obj.t.events.onDamaged', 'damaged = (damaged or 0) + 1 hitBy = tmp[2]') "
        "engine_SetVar('obj.shooter.events.onDamage', 'dealt = (dealt or 0) + 1')");
    const std::string hit = Hit("t", "TDamageEnergy", "shieldDamage=10, damage=4", "shooter");
    EXPECT_EQ((std::vector<float>{45, 50, 98, 0}), Layers("t"));
    EXPECT_EQ("1", Global("damaged"));
    EXPECT_EQ("1", Global("dealt"));
    // The effect was handed over as the event's data and went back to its pool.
    EXPECT_EQ("0", Eval("engine_IsVar('" + hit + "')"));
    EXPECT_FALSE(Global("hitBy").empty());

    // A subclass of the game object is neither scaled nor told.
    RegisterGameClass(TestStation::StaticClass());
    Run("engine_AddVar('obj', 'station', 'TestStation')");
    SetValue("obj.station.param.shield", 100, 50);
    SetValue("obj.station.param.defencefactor", 100, 50);
    Run("engine_SetVar('obj.station.events.onDamaged', 'damaged = damaged + 1')");
    Run("engine_AddVar('obj.station.effects', 'h', 'TDamageEnergy') "
        "engine_SetVar('obj.station.effects.h.shieldDamage', "
        "'10') engine_Execute('obj.station.effects.h.events.onEnable', '0', engine_GetHex('obj.station'))");
    EXPECT_EQ(50.0f, Value("obj.station.param.shield"));
    EXPECT_EQ("1", Global("damaged"));
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(Damage, DestroyedOnceTheHullIsGoneAndIndestructableTakesNothing) {
    Target("t", 0, 0, 10);
    Run("engine_SetVar('obj.t.events.onDestroyed', 'destroyed = (destroyed or 0) + 1') "
        "engine_SetVar('obj.t.finalBoom', 'boom = 1')");
    Hit("t", "TDamageDark", "damage=4");
    EXPECT_EQ("0", Eval("engine_GetVar('obj.t.isDestroyed')"));
    Hit("t", "TDamageDark", "damage=40");
    EXPECT_EQ("1", Eval("engine_GetVar('obj.t.isDestroyed')"));
    Hit("t", "TDamageDark", "damage=4");
    EXPECT_EQ("1", Global("destroyed"));
    EXPECT_EQ("1", Global("boom"));

    Target("rock", 0, 0, 10);
    Run("engine_SetVar('obj.rock.indestructable', '1')");
    Hit("rock", "TDamageDark", "damage=40");
    EXPECT_EQ(10.0f, Value("obj.rock.param.durability"));
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(Damage, SplashFallsOffWithSurfaceDistanceForEachObjectOnItsOwn) {
    // The target at the origin; every unit a point unless given a radius.
    auto place = [this](const std::string& name, float x, float radius) {
        auto* unit = dynamic_cast<TBaseRenderUnit*>(
            dynamic_cast<TBaseGameSceneObject*>(FindVarByPath("obj." + name))->GetHex());
        unit->SetBox({-radius, 0, 0}, {radius, 0, 0});
        unit->SetWorldPosition({x, 0, 0});
    };
    for (const char* n : {"t", "overlap", "half", "halfWeak", "edge", "far", "cargo", "rock"})
        Target(n, 100, 0, 100);
    place("t", 0, 0);
    place("overlap", 5, 10); // surface distance -5: the full factor
    place("half", 50, 0);
    place("halfWeak", 50, 0);
    SetValue("obj.halfWeak.param.defencefactor", 100, 50);
    place("edge", 100, 0);
    place("far", 150, 0);
    place("cargo", 10, 0);
    Run("engine_SetVar('obj.cargo.SOClass', '5')"); // not a ship: never splashed
    place("rock", 10, 0);
    Run("engine_SetVar('obj.rock.indestructable', '1')");
    Run("engine_SetVar('obj.edge.events.onDamaged', 'edgeTold = 1')");

    Hit("t", "TDamageEffect", "shieldDamage=20, splash=100");
    EXPECT_EQ(80.0f, Value("obj.t.param.shield"));
    EXPECT_EQ(80.0f, Value("obj.overlap.param.shield"));
    EXPECT_EQ(85.0f, Value("obj.half.param.shield"));     // (1 - 0.25) x 20
    EXPECT_EQ(92.5f, Value("obj.halfWeak.param.shield")); // and its own defence factor of 50
    EXPECT_EQ(100.0f, Value("obj.edge.param.shield"));    // factor 0 at the edge, but told
    EXPECT_EQ("1", Global("edgeTold"));
    EXPECT_EQ(100.0f, Value("obj.far.param.shield"));
    EXPECT_EQ(100.0f, Value("obj.cargo.param.shield"));
    EXPECT_EQ(100.0f, Value("obj.rock.param.shield"));

    // A target without a unit has no place to spread the hit from.
    world.buildUnits = false;
    Target("ghost", 100, 0, 100);
    Hit("ghost", "TDamageEffect", "shieldDamage=20, splash=1000");
    EXPECT_EQ(80.0f, Value("obj.ghost.param.shield"));
    EXPECT_EQ(85.0f, Value("obj.half.param.shield"));

    // Without a splash radius only the target is hit.
    Hit("t", "TDamageEffect", "shieldDamage=20");
    EXPECT_EQ(60.0f, Value("obj.t.param.shield"));
    EXPECT_EQ(85.0f, Value("obj.half.param.shield"));
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(Damage, NanoDamageGoesOnForItsTimeInFixedSteps) {
    Target("t", 0, 0, 100);
    Hit("t", "TDamageNano", "damage=4, time=0.95");
    EXPECT_EQ(96.0f, Value("obj.t.param.durability"));
    for (int i = 0; i < 10; ++i) Frame(100.0f); // 0.4 a step
    EXPECT_NEAR(92.0f, Value("obj.t.param.durability"), 1e-3f);
    for (int i = 0; i < 5; ++i) Frame(100.0f); // the timed effect is gone
    EXPECT_NEAR(92.0f, Value("obj.t.param.durability"), 1e-3f);
    EXPECT_EQ(nullptr, FindVarByPath("obj.t.effects")->GetObjects()->Find("timingDmg"));
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(Damage, GravityTakesEnginePowerForItsTimeAndGivesBackWhatItTook) {
    Target("t", 0, 0, 100);
    Hit("t", "TDamageGravity", "speedDamage=30, time=0.45");
    EXPECT_EQ(70.0f, Value("obj.t.param.p_engine"));
    EXPECT_EQ(70.0f, Value("obj.t.param.p_engine.max"));
    for (int i = 0; i < 5; ++i) Frame(100.0f);
    EXPECT_EQ(100.0f, Value("obj.t.param.p_engine"));
    EXPECT_EQ(100.0f, Value("obj.t.param.p_engine.max"));

    // Less power than the loss: only what was there comes back.
    SetValue("obj.t.param.p_engine", 100, 10);
    Hit("t", "TDamageGravity", "speedDamage=30, time=0.45");
    EXPECT_EQ(0.0f, Value("obj.t.param.p_engine"));
    for (int i = 0; i < 5; ++i) Frame(100.0f);
    EXPECT_EQ(10.0f, Value("obj.t.param.p_engine"));
    EXPECT_EQ(100.0f, Value("obj.t.param.p_engine.max"));

    // One deleted before it was enabled gives nothing.
    NewGameObject<TTimingGravDamage>("g", FindVarByPath("obj.t.effects"))->Delete();
    EXPECT_EQ(10.0f, Value("obj.t.param.p_engine"));
    EXPECT_TRUE(NoLuaErrors());
}

TEST_F(Damage, HitsComeFromTheirPoolsAndStartAtZero) {
    ObjManagersManager->createStandartManagers();
    ASSERT_NE(nullptr, StandardManagers[4]);
    EXPECT_EQ(&TDamageEffect::StaticClass(), &StandardManagers[4]->GetClass());
    EXPECT_EQ(150, StandardManagers[4]->GetPool()->GetCapacity());
    Target("t", 0, 0, 100);
    Hit("t", "TDamageEffect", "damage=5, temperatureEnemy=5");
    Frame(); // back to the pool
    EXPECT_EQ(0, StandardManagers[4]->GetPool()->GetUsedCount());
    const std::string again = Hit("t", "TDamageEffect", "damage=1");
    EXPECT_EQ((std::vector<float>{0, 0, 94, 5}), Layers("t"));
    EXPECT_EQ("0", Eval("engine_IsVar('" + again + "')"));
}

TEST_F(Damage, AHitWithoutATargetEndsTheProgram) {
    Target("t", 0, 0, 100);
    Run("engine_AddCashedVar('obj.t.effects', 'stray', 'TDamageEffect')");
    auto* stray = dynamic_cast<TDamageEffect*>(FindVarByPath("obj.t.effects.stray"));
    ASSERT_NE(nullptr, stray);
    EXPECT_THROW(stray->OnTick()->Fire(), Halted);
    EXPECT_EQ("w4575yfgtyfr", FirstFatal());
}

} // namespace
} // namespace vesk::test
