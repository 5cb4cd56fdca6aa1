// Combat through the world's real ships, guns and effects: shots leave the
// barrels as visual bullets, hit, and the hit's damage falls on the target as
// its kind computes; rockets chase moving ships and explode; mines arm, keep
// their post and chase; launchers release containers whose splash falls off
// with distance; turrets aim and fire.
#include "combat_fixture.h"
#include "game/ai_helpers.h"
#include "game/combat_world.h"
#include "game/turret_ai.h"
#include "world/fx_laser.h"

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

// One hit of each kind, fired by a real gun and carried by a real bullet: the
// target's values after it, worked out by hand from the kind's rule.
struct KindCase {
    const char* kind;
    const char* amounts;
    float shield, armor, hull; // the target before the hit
    float damageFactor, defenceFactor;
    float wantShield, wantArmor, wantHull, wantHeat, wantEngine;
};

TEST_F(CombatTest, EachDamageKindOfARealShotGivesItsWorkedValues) {
    const KindCase cases[] = {
        // Shield first; what it cannot take (30 - 20) goes into the hull with the damage.
        {"TDamageEnergy", "{ shieldDamage = 30, damage = 5, temperatureEnemy = 7 }", 20, 100, 100, 100, 100,
         0, 100, 85, 7, 100},
        // Armour first, the overflow into the hull; always heats.
        {"TDamageKinetic", "{ armorDamage = 25, damage = 5, temperatureEnemy = 3 }", 100, 20, 100, 100, 100,
         100, 0, 90, 3, 100},
        // The shield alone.
        {"TDamageEMP", "{ shieldDamage = 20, armorDamage = 20, damage = 50 }", 100, 100, 100, 100, 100, 80,
         100, 100, 0, 100},
        // Layered: a shield of 5 breaks and the armour takes its own amount in the same hit.
        {"TDamageEffect", "{ shieldDamage = 10, armorDamage = 10, damage = 10 }", 5, 100, 100, 100, 100, 0,
         90, 100, 0, 100},
        // Layered: an armour of 5 breaks and the hull takes its amount.
        {"TDamageRocket", "{ shieldDamage = 10, armorDamage = 10, damage = 10 }", 0, 5, 100, 100, 100, 0, 0,
         90, 0, 100},
        {"TDamageDark", "{ damage = 5 }", 0, 0, 100, 100, 100, 0, 0, 95, 0, 100},
        // Hull now; the damage over time follows (checked below).
        {"TDamageNano", "{ damage = 4, time = 1 }", 0, 0, 100, 100, 100, 0, 0, 96, 0, 100},
        // Engine power, given back after its time (checked below).
        {"TDamageGravity", "{ speedDamage = 30, time = 1 }", 100, 100, 100, 100, 100, 100, 100, 100, 0, 70},
        // Half the shooter's damage on half the target's defence: a quarter of each amount.
        {"TDamageEnergy", "{ shieldDamage = 40, damage = 8 }", 100, 100, 100, 50, 50, 90, 100, 98, 0, 100},
    };
    std::vector<TGameObject*> targets;
    for (size_t i = 0; i < std::size(cases); ++i) {
        const KindCase& c = cases[i];
        const std::string n = std::to_string(i);
        const std::string y = std::to_string(100 * static_cast<int>(i));
        Ship("s" + n, "0 " + y + " 0", "player");
        TGameObject* t = Ship("t" + n, "200 " + y + " 0", "pirates");
        Value("obj.t" + n + ".param.shield", 100, c.shield);
        Value("obj.t" + n + ".param.armor", 100, c.armor);
        Value("obj.t" + n + ".param.durability", 100, c.hull);
        Value("obj.s" + n + ".param.damagefactor", 100, c.damageFactor);
        Value("obj.t" + n + ".param.defencefactor", 100, c.defenceFactor);
        Gun("s" + n, "g" + n, "TGameObjectBullet", c.kind, c.amounts);
        targets.push_back(t);
    }
    GameFrame();
    for (size_t i = 0; i < std::size(cases); ++i) Shoot("s" + std::to_string(i), "t" + std::to_string(i));
    // One volley each: the guns stop once their bullets are on the way.
    ASSERT_GT(FramesUntil([&] { return LiveBullets() == static_cast<int>(std::size(cases)); }, 5), 0);
    for (size_t i = 0; i < std::size(cases); ++i) Cease("s" + std::to_string(i));
    ASSERT_GT(FramesUntil([&] { return LiveBullets() == 0; }, 20), 0);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const KindCase& c = cases[i];
        TGameObject* t = targets[i];
        SCOPED_TRACE(std::string(c.kind) + " " + c.amounts);
        EXPECT_FLOAT_EQ(Cur(t, "shield"), c.wantShield);
        EXPECT_FLOAT_EQ(Cur(t, "armor"), c.wantArmor);
        EXPECT_FLOAT_EQ(Cur(t, "durability"), c.wantHull);
        EXPECT_FLOAT_EQ(Cur(t, "temperature"), c.wantHeat);
        EXPECT_FLOAT_EQ(Cur(t, "p_engine"), c.wantEngine);
        EXPECT_FLOAT_EQ(t->Param("p_engine")->Max()->GetValue(), c.wantEngine);
    }
    // A second later the nano damage has eaten its 4 more and the engine power is back.
    Frames(40);
    EXPECT_NEAR(Cur(targets[6], "durability"), 92.0f, 0.15f);
    EXPECT_FLOAT_EQ(Cur(targets[7], "p_engine"), 100.0f);
    EXPECT_FLOAT_EQ(targets[7]->Param("p_engine")->Max()->GetValue(), 100.0f);
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

// The live copies of the effect template of that id anywhere under a unit.
int CopiesOf(TBaseRenderUnit* root, const std::string& id) {
    int n = 0;
    if (!root || !root->ChildsBRU()) return 0;
    for (TBaseRenderUnit* c : *root->ChildsBRU()) {
        if (!c || c->HasFlag(BRU_KILLED)) continue;
        if (c->GetName().rfind("_copy_of_" + id + "_", 0) == 0) ++n;
        n += CopiesOf(c, id);
    }
    return n;
}

// The effect units of a class under a unit (its direct children).
template <class T> int EffectsUnder(TBaseRenderUnit* unit) {
    int n = 0;
    if (unit && unit->ChildsBRU())
        for (TBaseRenderUnit* c : *unit->ChildsBRU())
            if (dynamic_cast<T*>(c) && !c->HasFlag(BRU_KILLED)) ++n;
    return n;
}

// The live effect units spawned from the template of that id anywhere under a unit.
int SpawnedFrom(TBaseRenderUnit* root, const std::string& id) {
    int n = 0;
    if (!root || !root->ChildsBRU()) return 0;
    for (TBaseRenderUnit* c : *root->ChildsBRU()) {
        if (!c || c->HasFlag(BRU_KILLED)) continue;
        if (c->GetTemplate() && c->GetTemplate()->GetName() == id) ++n;
        n += SpawnedFrom(c, id);
    }
    return n;
}

// The destruction effects of a wreck: the objects of that class in its own effect list.
template <class T> std::vector<T*> WreckEffects(TGameObject* wreck) {
    std::vector<T*> out;
    ForEachChildOf(wreck->Effects(), [&](TBaseGameObject* c) {
        if (auto* t = dynamic_cast<T*>(c); t && !t->IsDeleted()) out.push_back(t);
    });
    return out;
}

TEST_F(CombatTest, ThePlayersShotsHitsAndKillCountAndTheWreckShowsItsExplosion) {
    Lua("engine_AddVar('fractions', 'guards') engine_SetVar('fractions.guards.attitudes.player', '80')");
    Ship("pship", "0 0 0", "player");
    Set("player.ship", "pship");
    TGameObject* raider = Ship("raider", "200 0 0", "pirates");
    Set("obj.raider.name", "Raider");
    Value("obj.raider.param.shield", 100, 0);
    Value("obj.raider.param.armor", 100, 0);
    Value("obj.raider.param.durability", 100, 10);
    TGameObject* escort = Ship("escort", "-200 0 0", "guards");
    // The wreck's explosion: the hull's destruction effect.
    Lua("engine_AddVar('mesh.hull.destroyFx', 'boom', 'TDestroyFxLink')");
    Set("mesh.hull.destroyFx.boom.fx", "boom");
    Set("mesh.hull.destroyFx.boom.time", "1");
    Gun("pship", "laser", "TGameObjectBullet", "TDamageEffect",
        "{ shieldDamage = 5, armorDamage = 5, damage = 20 }");
    Set("obj.raider.events.onDestroyed", "wrecks = (wrecks or 0) + 1");
    GameFrame();
    Shoot("pship", "raider");
    ASSERT_GT(FramesUntil([&] { return LiveBullets() == 1; }, 5), 0);
    Cease("pship");
    ASSERT_GT(FramesUntil([&] { return LiveBullets() == 0; }, 20), 0);
    EXPECT_EQ(raider->IntValue("isDestroyed"), 1);
    EXPECT_EQ(GetLuaString("wrecks", false), "1");
    const auto booms = WreckEffects<TGameObjectDestroyFx>(raider);
    ASSERT_EQ(booms.size(), 1u);
    EXPECT_NE(dynamic_cast<FXBurstClass*>(booms[0]->GetHex()), nullptr);
    // A friend hit by mistake counts on the other side.
    Shoot("pship", "escort");
    ASSERT_GT(FramesUntil([&] { return LiveBullets() == 1; }, 5), 0);
    Cease("pship");
    ASSERT_GT(FramesUntil([&] { return LiveBullets() == 0; }, 20), 0);
    EXPECT_FLOAT_EQ(Cur(escort, "shield"), 95.0f);
    const std::pair<const char*, int32_t> counts[] = {
        {"primaryShotCounter", 2},        {"secondaryShotCounter", 0},       {"primaryDamageCounter", 2},
        {"primaryDamageEnemyCounter", 1}, {"primaryDamageFriendCounter", 1}, {"damageEnemyCounter", 1},
        {"damageFriendCounter", 1},       {"destroyedEnemyCounter", 1},      {"shotCounter", 0},
    };
    for (const auto& [counter, want] : counts) EXPECT_EQ(Stat(counter), want) << counter;
    EXPECT_EQ(GetLuaString("engine_GetVar('player.statistics.destroyedEnemyes.c_' .. "
                           "string.gsub(engine_GetTable('player.statistics.destroyedEnemyes'), '%D', '') .. "
                           "'.name')",
                           false),
              "Raider");
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

// The destruction effects belong to the mesh description every ship of the
// model shares; each destroyed ship still gets an explosion, debris and a
// final flash of its own (the big one for a hull of over 3000), and its end
// when the longest of them is over.
TEST_F(CombatTest, TwoShipsOfOneModelDestroyedTogetherEachShowTheirOwnExplosionAndDebris) {
    std::string flashes;
    for (const char* id : {"final_boom_small", "final_boom_big"})
        flashes += std::string(", ") + id + " = { id = '" + id +
                   "', type = 'burst', numParticles = '2', vmin = '1', vmax = '2', MaxSize = '1',"
                   " MinSize = '1', MaxLifeTime = '0.2', MinLifeTime = '0.2', particleID = 'spark',"
                   " color = 'FFFFFFFF', friction = '0', notattached = '1' }";
    LoadFx(kCombatFx + flashes);
    GameMesh("piece", "missile", "container");
    Set("mesh.piece.physic_params.ph_MaxVelocity", "50");
    Set("mesh.piece.physic_params.ph_AccelerateTime", "2");
    Lua("engine_AddVar('mesh.hull.destroyFx', 'boom', 'TDestroyFxLink')"
        " engine_SetVar('mesh.hull.destroyFx.boom.fx', 'boom') "
        "engine_SetVar('mesh.hull.destroyFx.boom.time', '0.2')"
        " engine_AddVar('mesh.hull.destroyFx', 'piece', 'TDestroyFxAbandonedLink')"
        " engine_SetVar('mesh.hull.destroyFx.piece.fx', 'boom') "
        "engine_SetVar('mesh.hull.destroyFx.piece.mesh', "
        "'piece') engine_SetVar('mesh.hull.destroyFx.piece.time', '0.5')"
        " engine_SetVar('mesh.hull.destroyFx.piece.lifetime', '0.5')");
    TGameObject* wrecks[] = {Ship("a", "0 0 0"), Ship("b", "0 300 0")};
    Value("obj.b.param.durability", 3010, 3010);
    for (const char* name : {"a", "b"})
        Set(std::string("obj.") + name + ".events.onDeleted",
            std::string("ended = (ended or '') .. '") + name + "'");
    GameFrame();
    for (TGameObject* w : wrecks) w->OnDestroyed()->Fire();

    // Each wreck shows its explosion (and its final flash) at once; the shared entry keeps none.
    std::vector<TEngineObject*> units;
    for (TGameObject* w : wrecks) {
        const auto booms = WreckEffects<TGameObjectDestroyFx>(w);
        ASSERT_EQ(booms.size(), 1u) << w->GetName();
        EXPECT_EQ(booms[0]->GetName().rfind("dFx_", 0), 0u);
        EXPECT_EQ(booms[0]->ObjId()->GetLinked(), w);
        units.push_back(booms[0]->GetHex());
        EXPECT_NE(dynamic_cast<FXBurstClass*>(units.back()), nullptr);
    }
    EXPECT_NE(units[0], units[1]);
    EXPECT_EQ(SpawnedFrom(engine, "boom"), 2);
    EXPECT_EQ(SpawnedFrom(engine, "final_boom_small"), 1);
    EXPECT_EQ(SpawnedFrom(engine, "final_boom_big"), 1);
    EXPECT_EQ(dynamic_cast<TDestroyFxLink*>(FindVarByPath("mesh.hull.destroyFx.boom"))->EffectObject(),
              nullptr);

    // The debris comes apart where each wreck stands, as a body of its own that drifts off.
    GameFrame();
    std::vector<Vec3> start;
    for (TGameObject* w : wrecks) {
        const auto pieces = WreckEffects<TAbandonedDestroyFx>(w);
        ASSERT_EQ(pieces.size(), 1u) << w->GetName();
        auto* body = dynamic_cast<TBaseRenderUnit*>(pieces[0]->GetHex());
        ASSERT_NE(body, nullptr) << w->GetName();
        Vec3 at, wreckAt;
        body->GetPosition(at);
        UnitOf(w)->GetPosition(wreckAt);
        EXPECT_LT(Vec3Length(Vec3Sub(at, wreckAt)), 5.0f);
        start.push_back(at);
    }
    Frames(5);
    for (size_t i = 0; i < 2; ++i) {
        Vec3 at;
        dynamic_cast<TBaseRenderUnit*>(WreckEffects<TAbandonedDestroyFx>(wrecks[i])[0]->GetHex())
            ->GetPosition(at);
        EXPECT_GT(Vec3Length(Vec3Sub(at, start[i])), 1.0f) << i;
    }
    // The explosions end after their time (0.2 s), the debris after its
    // lifetime (0.5 s); then each wreck's end fires.
    Frames(3);
    EXPECT_TRUE(WreckEffects<TGameObjectDestroyFx>(wrecks[0]).empty());
    EXPECT_EQ(SpawnedFrom(engine, "boom"), 0);
    EXPECT_EQ(GetLuaString("ended", false), "");
    Frames(10);
    EXPECT_TRUE(WreckEffects<TAbandonedDestroyFx>(wrecks[1]).empty());
    EXPECT_EQ(GetLuaString("ended", false), "ab");
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

// Debris of a mesh the content does not describe is a content slip: it is left
// out and the wreck's explosion and end go on.
TEST_F(CombatTest, DebrisTheContentCannotBuildIsLeftOut) {
    Lua("engine_AddVar('mesh.hull.destroyFx', 'boom', 'TDestroyFxLink')"
        " engine_SetVar('mesh.hull.destroyFx.boom.fx', 'boom') "
        "engine_SetVar('mesh.hull.destroyFx.boom.time', '0.1')"
        " engine_AddVar('mesh.hull.destroyFx', 'piece', 'TDestroyFxAbandonedLink')"
        " engine_SetVar('mesh.hull.destroyFx.piece.fx', 'boom') "
        "engine_SetVar('mesh.hull.destroyFx.piece.mesh', "
        "'nowhere') engine_SetVar('mesh.hull.destroyFx.piece.lifetime', '0.1')");
    TGameObject* wreck = Ship("a", "0 0 0");
    Set("obj.a.events.onDeleted", "ended = 1");
    GameFrame();
    wreck->OnDestroyed()->Fire();
    GameFrame();
    const auto pieces = WreckEffects<TAbandonedDestroyFx>(wreck);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0]->GetHex(), nullptr);
    Frames(6);
    EXPECT_TRUE(WreckEffects<TAbandonedDestroyFx>(wreck).empty());
    EXPECT_EQ(GetLuaString("ended", false), "1");
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

TEST_F(CombatTest, AShieldHitFlashesTheShieldAndABrokenShieldShowsTheHullHitOnBigShips) {
    // A station big enough (radius above 100) to show hull hits, and a fighter too small to.
    ModelFile big("station");
    big.AddObject("base", Box({-100, -60, -60}, {100, 60, 60}, "hull"));
    big.AddSphere("bs_all", {0, 0, 0}, 130);
    WriteModel("station", big);
    GameMesh("station", "station", "big");
    // Shield flashes and hull hits of the shots: the sparks.
    Set("mesh.station.shield", "spark");
    Set("mesh.hull.shield", "spark");
    struct Case {
        const char* target;
        const char* mesh;
        float shield; // percent of the maximum before the hit
        int flashes, hullHits;
    } cases[] = {
        {"up", "station", 50, 1, 0},
        {"edge", "station", 5, 0, 1}, // exactly 5 % counts as down
        {"small", "hull", 0, 0, 0},   // too small for a hull hit
    };
    int i = 0;
    for (const Case& c : cases) {
        const std::string y = std::to_string(400 * i++);
        Ship(std::string("gun_") + c.target, "0 " + y + " 0", "player");
        Ship(c.target, "400 " + y + " 0", "pirates");
        Set(std::string("obj.") + c.target + ".spacemodel", c.mesh);
        Value(std::string("obj.") + c.target + ".param.shield", 100, c.shield);
        Gun(std::string("gun_") + c.target, std::string("g_") + c.target, "TGameObjectBullet", "TDamageEMP",
            "{ shieldDamage = 1 }");
        Set(std::string("items.g_") + c.target + ".effects.gun.shots.shot.defectFx", "mark");
    }
    GameFrame();
    for (const Case& c : cases) Shoot(std::string("gun_") + c.target, c.target);
    ASSERT_GT(FramesUntil([&] { return LiveBullets() == 3; }, 5), 0);
    for (const Case& c : cases) Cease(std::string("gun_") + c.target);
    ASSERT_GT(FramesUntil([&] { return LiveBullets() == 0; }, 30), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        auto* unit = dynamic_cast<TBaseRenderUnit*>(
            dynamic_cast<TGameObject*>(FindVarByPath(std::string("obj.") + c.target))->GetHex());
        EXPECT_EQ(EffectsUnder<FXParticleClass>(unit), c.flashes);
    }
    EXPECT_EQ(CopiesOf(engine, "mark"), 1);
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

// A ray gun: its shots start a beam that runs from the gun's muzzle to the
// point the shot is aimed at, and fades out after its lifetime. (The beam used
// to end the game: it looked for the muzzle on the ship, and the aim point was
// not a unit a beam may end at.)
TEST_F(CombatTest, ARayGunsBeamRunsFromItsMuzzleToTheAimPointAndFades) {
    LoadFx(std::string(kCombatFx) + ", beam = { id = 'beam', type = 'laser', lifetime = '0.5' }");
    Ship("hawk", "0 0 0", "player");
    Ship("aimed", "400 0 0", "pirates");
    TGameItem* ray = Gun("hawk", "ray", "TGameObjectBullet", "TDamageEMP", "{ shieldDamage = 10 }", "gun01",
                         "engine_SetVar('items.ray.effects.gun.shots.shot.startFx', 'beam')");
    auto beam = [this]() -> FXLaserClass* {
        for (TBaseRenderUnit* u : *engine->ChildsBRU())
            if (auto* b = dynamic_cast<FXLaserClass*>(u); b && !b->HasFlag(BRU_KILLED)) return b;
        return nullptr;
    };
    GameFrame();
    Shoot("hawk", "aimed");
    ASSERT_GT(FramesUntil([&] { return beam() != nullptr; }, 5), 0) << trapAll.lastFatal;
    Cease("hawk");
    auto* gun = dynamic_cast<TBaseRenderUnit*>(ray->GetHex());
    ASSERT_NE(gun, nullptr);
    EXPECT_EQ(beam()->GetFromBRU(), gun);
    Vec3 muzzle{};
    gun->GetWHelper("weapon", muzzle);
    const Vec3 start = beam()->GetStartPoint(), end = beam()->GetEndPoint();
    EXPECT_NEAR(Vec3Length(Vec3Sub(start, muzzle)), 0.0f, 0.01f);
    // The target stands still: the aim point is where it is.
    EXPECT_NEAR(end.x, 400.0f, 0.5f);
    EXPECT_NEAR(end.y, 0.0f, 0.5f);
    ASSERT_GT(FramesUntil([&] { return beam() == nullptr; }, 30), 0);
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

TEST_F(CombatTest, BarrelDelaysAndShotDelaysPlaceTheBulletsInFixedSteps) {
    // A plain gun whose bullet leaves at once, and a two-barrel gun whose shot
    // waits 0.05 s and whose second barrel 0.075 s more.
    Ship("plain", "0 0 0", "player");
    Ship("twin", "0 100 0", "player");
    Ship("far", "3000 0 0", "pirates");
    Gun("plain", "p", "TGameObjectBullet", "TDamageEMP", "{ shieldDamage = 1 }");
    Gun("twin", "t", "TGameObjectBullet", "TDamageEMP", "{ shieldDamage = 1 }", "gun01",
        "engine_SetVar('items.t.weaponType', '1') engine_SetVar('obj.twin.slots.t.weaponType', '1')"
        " engine_AddVar('obj.twin.slots.t', 'helper2', 'TGameObjectStringParam')"
        " engine_SetVar('obj.twin.slots.t.helper2', 'rocket01')");
    Set("items.t.effects.gun.shots.shot.shotMinDelay", "0.05");
    Set("items.t.effects.gun.shots.shot.shotMaxDelay", "0.05");
    Set("items.t.effects.gun.twoBarrelDelay", "0.075");
    GameFrame();
    auto* twin = dynamic_cast<TGameItem*>(FindVarByPath("items.t"));
    ASSERT_NE(twin->GetHex2(), nullptr);
    Shoot("plain", "far");
    Shoot("twin", "far");
    std::vector<int> visuals; // the visual bullets alive after each 30 ms step
    const int templates = FXBulletCount;
    for (int i = 0; i < 6; ++i) {
        GameFrame();
        if (i == 0) {
            Cease("plain");
            Cease("twin");
        }
        visuals.push_back(FXBulletCount - templates);
    }
    // Step 1: the plain gun's bullet; step 2: the twin's first (0.05 s); step 5:
    // its second (0.125 s, past 0.12 and not past 0.15).
    EXPECT_EQ(visuals, (std::vector<int>{1, 2, 2, 2, 3, 3}));
    EXPECT_EQ(LiveBullets(), 3);
    // They miss (the target is out of their reach): when a visual bullet's
    // flight ends, its bullet goes back to the pool.
    Frames(70);
    EXPECT_EQ(FXBulletCount - templates, 0);
    EXPECT_EQ(LiveBullets(), 0);
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

TEST_F(CombatTest, ShotsHeatTheShipUntilItOverheatsAndOnlyItsKineticWeaponsFireOn) {
    TGameObject* ship = Ship("hot", "0 0 0", "player");
    Ship("far", "3000 0 0", "pirates");
    Gun("hot", "laser", "TGameObjectBullet", "TDamageEMP", "{ shieldDamage = 1, temperatureSelf = 20 }");
    Gun("hot", "cannon", "TGameObjectBullet", "TDamageKinetic", "{ armorDamage = 1 }", "rocket01");
    Set("items.laser.group", "energy");
    Set("items.cannon.group", "kinetic");
    Set("items.laser.effects.gun.onShot", "laserShots = (laserShots or 0) + 1");
    Set("items.cannon.effects.gun.onShot", "cannonShots = (cannonShots or 0) + 1");
    GameFrame();
    Shoot("hot", "far");
    // A shot every 0.1 s (four 30 ms steps): the eighth brings the heat to 160,
    // past the limit of 150, and the ship stops shooting.
    Frames(40);
    EXPECT_EQ(GetLuaString("laserShots", false), "8");
    EXPECT_EQ(GetLuaString("cannonShots", false), "8");
    EXPECT_FLOAT_EQ(Cur(ship, "temperature"), 160.0f);
    EXPECT_EQ(ship->IntValue("overheat"), 1);
    EXPECT_EQ(dynamic_cast<TGameItem*>(FindVarByPath("items.laser"))->Used(), 0);
    // Overheated, only the kinetic weapon starts again.
    Shoot("hot", "far");
    Frames(8);
    EXPECT_EQ(GetLuaString("laserShots", false), "8");
    EXPECT_EQ(GetLuaString("cannonShots", false), "10");
    // Cooled below the limit, the overheat clears on the next tick.
    Value("obj.hot.param.temperature", 200, 149);
    GameFrame();
    EXPECT_EQ(ship->IntValue("overheat"), 0);
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

TEST_F(CombatTest, ARocketChasesAMovingShipAndExplodesOnIt) {
    Ship("pship", "0 0 0", "player");
    Set("player.ship", "pship");
    TGameObject* raider = Ship("raider", "300 0 0", "pirates");
    // The rocket's explosion, and a second ship caught by its splash.
    Lua("engine_AddVar('mesh.general_missile.destroyFx', 'boom', 'TDestroyFxLink')");
    Set("mesh.general_missile.destroyFx.boom.fx", "boom");
    Gun("pship", "pod", "TGameObjectRocket", "TDamageRocket",
        "{ shieldDamage = 40, armorDamage = 40, damage = 40, splash = 30 }", "rocket01",
        "engine_SetVar('items.pod.weaponType', '2') engine_SetVar('obj.pship.slots.pod.weaponType', '2')");
    Set("items.pod.effects.gun.shots.shot.lifetime", "5");
    GameFrame();
    // The raider flies off sideways; the ship's rocket lock is on it.
    Lua("engine_PhCommand('obj.raider', 'goToPoint', '', '300', '2000', '0')");
    Set("obj.pship.rocketTarget", raider->TEngineObject::GetHex());
    Frames(5);
    const Vec3 before = UnitPosition(raider->GetHex());
    Shoot("pship", "raider");
    ASSERT_GT(FramesUntil([&] { return LiveRockets() == 1; }, 5), 0);
    Cease("pship");
    // While it flies it is marked on the raider.
    EXPECT_EQ(raider->IntValue("targetedRocket"), 1);
    const int flight = FramesUntil([&] { return LiveRockets() == 0; }, 150);
    ASSERT_GT(flight, 0);
    EXPECT_GT(Vec3Length(Vec3Sub(UnitPosition(raider->GetHex()), before)), 20.0f); // it did move
    EXPECT_EQ(raider->IntValue("targetedRocket"), 0);
    // Its splash struck the raider it touched in full: layered, the shield takes 40.
    EXPECT_FLOAT_EQ(Cur(raider, "shield"), 60.0f);
    EXPECT_EQ(Stat("secondaryShotCounter"), 1);
    EXPECT_EQ(Stat("secondaryDamageCounter"), 1);
    EXPECT_EQ(Stat("secondaryDamageEnemyCounter"), 1);
    EXPECT_GE(CopiesOf(engine, "boom"), 1);
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

TEST_F(CombatTest, ARocketWithoutALockFliesAtThePointItWasAimedAt) {
    Ship("gunboat", "0 0 0", "pirates");
    TGameObject* target = Ship("target", "250 0 0", "player");
    Gun("gunboat", "pod", "TGameObjectRocket", "TDamageRocket", "{ shieldDamage = 20, splash = 20 }",
        "rocket01");
    Set("items.pod.effects.gun.shots.shot.lifetime", "5");
    GameFrame();
    Shoot("gunboat", "target");
    ASSERT_GT(FramesUntil([&] { return LiveRockets() == 1; }, 5), 0);
    Cease("gunboat");
    TGameObjectRocket* rocket = nullptr;
    ForEachChildOf(RocketsList(), [&](TBaseGameObject* c) {
        if (auto* r = dynamic_cast<TGameObjectRocket*>(c)) rocket = r;
    });
    ASSERT_NE(rocket, nullptr);
    // Its start effect object shows the flash at the barrel while it flies.
    int starts = 0;
    ForEachChildOf(rocket, [&](TBaseGameObject* c) { starts += dynamic_cast<TGameObjectFx*>(c) != nullptr; });
    EXPECT_EQ(starts, 1);
    ASSERT_GT(FramesUntil([&] { return LiveRockets() == 0; }, 100), 0);
    EXPECT_FLOAT_EQ(Cur(target, "shield"), 80.0f);
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

// The mine, container or other object a launcher released last.
template <class T> T* Released() {
    T* found = nullptr;
    ForEachChildOf(RocketsList(), [&](TBaseGameObject* c) {
        if (auto* o = dynamic_cast<T*>(c)) found = o;
    });
    return found;
}

TEST_F(CombatTest, AMineArmsAfterItsDelayThenChasesAHostileShipAndGoesOffOnIt) {
    Ship("layer", "0 0 0", "player");
    TGameObject* prey = Ship("prey", "60 40 0", "pirates");
    Launcher("layer", "dropper", "TGameObjectMine", "TDamageRocket", "{ shieldDamage = 30, splash = 20 }",
             "engine_AddVar(l, 'activateRadius', 'TGameObjectSubParam') engine_SetVar(l .. "
             "'.activateRadius', '100')"
             " engine_AddVar(l, 'activateTime', 'TGameObjectSubParam') engine_SetVar(l .. '.activateTime', "
             "'0.3')");
    GameFrame();
    Shoot("layer", "prey");
    GameFrame();
    auto* mine = Released<TGameObjectMine>();
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(SOClassOf(mine), kSOClassMine);
    ASSERT_NE(mine->GetHex(), nullptr);
    EXPECT_EQ(AttitudeOf(mine, prey), 10.0f); // the layer's faction
    // Not armed yet: the hostile ship within its radius is left alone.
    Frames(8);
    EXPECT_EQ(mine->EnemyFound(), 0);
    EXPECT_FALSE(mine->OnTickEvent()->IsActive());
    EXPECT_FALSE(mine->OnCollision()->IsActive());
    EXPECT_EQ(prey->IntValue("targetedMines"), 0);
    // Armed (0.3 s): it takes its post and goes for the ship.
    ASSERT_GT(FramesUntil([&] { return mine->EnemyFound() == 1; }, 5), 0);
    ASSERT_NE(mine->StandingHelper(), nullptr);
    EXPECT_NE(mine->StandingHelper()->GetHex(), nullptr);
    EXPECT_EQ(mine->GetCurTarget(), prey);
    EXPECT_EQ(prey->IntValue("targetedMines"), 1);
    ASSERT_GT(FramesUntil([&] { return Cur(prey, "shield") < 100.0f; }, 100), 0);
    EXPECT_FLOAT_EQ(Cur(prey, "shield"), 70.0f);
    EXPECT_EQ(prey->IntValue("targetedMines"), 0);
    Frames(2);
    EXPECT_EQ(Released<TGameObjectMine>(), nullptr); // gone after the blast
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

TEST_F(CombatTest, AContainersSplashFallsOffWithDistance) {
    TGameObject* dropper = Ship("dropper", "0 0 0", "player");
    Set("obj.dropper.indestructable", "1");
    TGameItem* launcher = Launcher("dropper", "pod", "TGameObjectContainer", "TDamageRocket",
                                   "{ shieldDamage = 40, splash = 30 }");
    GameFrame();
    // Where the container will be: the launcher's muzzle.
    HelperClass* muzzle = nullptr;
    ASSERT_TRUE(dynamic_cast<TBaseRenderUnit*>(launcher->GetHex())->FindHelper("weapon", muzzle));
    const Vec3 at = MatrixGetTranslation(muzzle->GetWorldMatrix());
    // Surface distances from the container (radius 1.5) to the ships (radius 7).
    struct Case {
        const char* name;
        Vec3 offset;
        float want;
    } cases[] = {
        {"overlap", {0, 0, 5}, 60},      // overlapping: the full hit
        {"half", {23.5f, 0, 0}, 70},     // 15 of 30: three quarters
        {"edge", {0, 38.5f, 0}, 100},    // at the edge: nothing is left of it
        {"beyond", {0, -39.5f, 0}, 100}, // beyond: untouched
    };
    for (const Case& c : cases) {
        const Vec3 p = Vec3Add(at, c.offset);
        Ship(c.name, FloatToStrRaw(p.x) + " " + FloatToStrRaw(p.y) + " " + FloatToStrRaw(p.z), "pirates");
    }
    GameFrame();
    Shoot("dropper", "beyond");
    GameFrame();
    auto* container = Released<TGameObjectContainer>();
    ASSERT_NE(container, nullptr);
    EXPECT_EQ(SOClassOf(container), kSOClassContainer);
    EXPECT_NEAR(Vec3Length(Vec3Sub(UnitPosition(container->GetHex()), at)), 0.0f, 0.01f);
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(
            Cur(dynamic_cast<TGameObject*>(FindVarByPath(std::string("obj.") + c.name)), "shield"), c.want)
            << c.name;
    EXPECT_FLOAT_EQ(Cur(dropper, "shield"), 100.0f);
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

TEST_F(CombatTest, ATurretPicksTheHostileShipInRangeAimsAndShoots) {
    Ship("base", "0 0 0", "pirates");
    TGameObject* hostile = Ship("hostile", "40 300 60", "player");
    TGameObject* mate = Ship("mate", "0 -200 60", "pirates");
    Set("ini.turretsEnabled", "1");
    Gun("base", "flak", "TGameObjectBullet", "TDamageKinetic", "{ armorDamage = 10 }", "turret01",
        "engine_SetVar('items.flak.range', '1000')", "TGameObjectTurretEffect");
    GameFrame();
    auto* effect = dynamic_cast<TGameObjectTurretEffect*>(FindVarByPath("items.flak.effects.gun"));
    ASSERT_NE(effect, nullptr);
    ASSERT_NE(dynamic_cast<TurretClass*>(dynamic_cast<TGameItem*>(FindVarByPath("items.flak"))->GetHex()),
              nullptr);
    // It turns towards the hostile ship (not its friend) and fires once it is on it.
    ASSERT_GT(FramesUntil([&] { return Cur(hostile, "armor") < 100.0f; }, 150), 0);
    EXPECT_EQ(effect->Ai()->BestEnemy(), hostile);
    EXPECT_FLOAT_EQ(Cur(hostile, "armor"), 90.0f);
    EXPECT_FLOAT_EQ(Cur(mate, "armor"), 100.0f);
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

TEST_F(CombatTest, ATurretOnAShipFarFromTheOriginTurnsInPlaceAndHitsFromItsBarrel) {
    Ship("base", "6000 0 0", "pirates");
    TGameObject* hostile = Ship("hostile", "5300 700 0", "player");
    Set("ini.turretsEnabled", "1");
    TGameItem* flak = Gun("base", "flak", "TGameObjectBullet", "TDamageKinetic", "{ armorDamage = 10 }",
                          "turret01", "engine_SetVar('items.flak.range', '3000')", "TGameObjectTurretEffect");
    GameFrame();
    auto* turret = dynamic_cast<TurretClass*>(flak->GetHex());
    ASSERT_NE(turret, nullptr);
    Lua("engine_SetTurretParams(engine_GetVar('items.flak.hex'), 90, 60, 170, -170, 80, -80)");
    const Vec3 mount = MatrixGetTranslation(turret->GetWorldMatrix());
    // Turning about its own hinge, the turret stays on its mount; its bullets
    // leave the barrel there and meet the ship it turned to.
    ASSERT_GT(FramesUntil([&] { return Cur(hostile, "armor") < 100.0f; }, 120), 0);
    EXPECT_GT(std::fabs(turret->Yaw()), 1.0f);
    EXPECT_NEAR(Vec3Length(Vec3Sub(MatrixGetTranslation(turret->GetWorldMatrix()), mount)), 0.0f, 0.01f);
    EXPECT_FLOAT_EQ(Cur(hostile, "armor"), 90.0f);
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

TEST_F(CombatTest, AShotHitsAShipWhereItIsNotWhereItWasLastDrawn) {
    Ship("hawk", "0 0 0", "player");
    TGameObject* aimed = Ship("aimed", "400 0 0", "pirates");
    TGameObject* crossing = Ship("crossing", "200 100 0", "pirates");
    Gun("hawk", "laser", "TGameObjectBullet", "TDamageEMP", "{ shieldDamage = 10 }");
    GameFrame();
    Shoot("hawk", "aimed");
    ASSERT_GT(FramesUntil([&] { return LiveBullets() == 1; }, 5), 0);
    Cease("hawk");
    // Just before the bullet passes x = 200 the crossing ship jumps into its
    // path: moved this frame, it was last drawn out of the way.
    FXBulletClass* shot = nullptr;
    for (TBaseRenderUnit* u : *engine->ChildsBRU())
        if (auto* b = dynamic_cast<FXBulletClass*>(u); b && b->GetName().rfind("_copy_of_shot_", 0) == 0)
            shot = b;
    ASSERT_NE(shot, nullptr);
    ASSERT_NE(FramesUntil(
                  [&] {
                      Vec3 p;
                      shot->GetPosition(p);
                      return p.x >= 165.0f;
                  },
                  20),
              -1);
    auto* body = dynamic_cast<BaseAIUnitClass*>(crossing->Ph()->GetValue());
    ASSERT_NE(body, nullptr);
    body->SetPoseMatrix(MatrixTranslation(200, 0, 0));
    ASSERT_GT(FramesUntil([&] { return LiveBullets() == 0; }, 20), 0);
    EXPECT_FLOAT_EQ(Cur(crossing, "shield"), 90.0f);
    EXPECT_FLOAT_EQ(Cur(aimed, "shield"), 100.0f);
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

} // namespace
} // namespace vesk::test
