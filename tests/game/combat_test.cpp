// Guns, projectiles, launchers and range effects on the game side, over plain
// units placed by hand: the reports that end the game on bad content, what a
// rocket and a mine decide, which objects a range effect counts and which
// projectiles a magnet pulls down. The flights themselves are the world
// tests' (tests/world/combat_test.cpp).
#include <gtest/gtest.h>

#include "ai_fixture.h"
#include "game/bullets.h"
#include "game/damage.h"
#include "game/fx_objects.h"
#include "game/gun_effects.h"
#include "game/launchers.h"
#include "game/mines.h"
#include "game/player_regimes.h"
#include "game/projectiles.h"
#include "game/range_effects.h"
#include "shared/helpers.h"

namespace vesk::test {
namespace {

class Combat : public AiTest {
protected:
    void SetUp() override {
        AiTest::SetUp();
        Factions();
        // Effect templates as the library leaves them in the "fx" table.
        Run("fx = { shot = { hex = 901 }, flash = { hex = 902 }, boom = { hex = 903 } } "
            "phCalls = '' function engine_PhCommand(...) "
            "  for i = 1, table.getn(arg) do phCalls = phCalls .. tostring(arg[i]) .. ' ' end "
            "  phCalls = phCalls .. ';' end");
        Run("engine_SetVar('bal.maxOverheatValue', '150')");
    }
    // A gun item in a slot of the ship with a shot of the class; `shot` (Lua)
    // sets the shot's values with `s` its path.
    TGameItem* Gun(const std::string& ship, const std::string& name, const std::string& shot) {
        Slot("obj." + ship + ".slots", name, "gun_left");
        TGameItem* item = Item(name, name, "gun");
        const std::string i = "items." + name;
        SetValue(i + ".charge", 10, 10);
        SetValue(i + ".reloading", 1, 1);
        Run("engine_AddVar('" + i + ".effects', 'gun', 'TGameObjectGunEffect') engine_AddVar('" + i +
            ".effects.gun.shots', 'shot', 'TGameObjectShotEffect') local s = '" + i +
            ".effects.gun.shots.shot' engine_SetVar(s .. '.mainFx', 'shot') engine_SetVar(s .. '.startFx', "
            "'flash') "
            "engine_SetVar(s .. '.endFx', 'boom') engine_SetVar(s .. '.bulletType', 'TGameObjectBullet') " +
            shot);
        Put("obj." + ship + ".slots." + name + ".item", name);
        return item;
    }
    // A rocket made by the scripts under "obj", aimed at the target.
    TGameObjectRocket* Rocket(const std::string& name, const std::string& cls = "TGameObjectRocket",
                              const std::string& setup = "") {
        Run("engine_AddVar('obj', '" + name + "', '" + cls + "') local r = 'obj." + name + "' " + setup);
        return dynamic_cast<TGameObjectRocket*>(FindVarByPath("obj." + name));
    }
    static void Aim(TGameObjectRocket* r, TEngineObject* target) { r->SetCurTarget(target); }
    // Runs a step that ends on a fatal report; the text the program would end on.
    template <class F> std::string FatalOf(F step) {
        const size_t from = trap.reports.size();
        try {
            step();
        } catch (const Halted&) {
        } catch (const std::exception&) {
        }
        for (size_t i = from; i < trap.reports.size(); ++i)
            if (trap.reports[i].flags.find('h') != std::string::npos) return trap.reports[i].text;
        return {};
    }
    std::string PhCalls() {
        std::string calls = Global("phCalls");
        Run("phCalls = ''");
        return calls;
    }
};

// ---- the reports that end the game --------------------------------------------------------------

TEST_F(Combat, BadShotsEndTheGameWithTheirTexts) {
    Place("shooter", {0, 0, 0}, 2, "pirates");
    Place("victim", {500, 0, 0}, 2, "player");
    const std::string shot = "items.g.effects.gun.shots.shot";
    const std::string fire =
        "engine_Execute('obj.shooter.events.onShipBeginShot', engine_GetHex('obj.shooter'), "
        "engine_GetHex('obj.victim'))";
    struct Case {
        const char* what;
        std::string setup; // the shot's values (Lua, `s` its path)
        bool shoot;        // the report comes when the gun fires, not when the shot is made
        std::function<std::string()> expected;
    } cases[] = {
        {"unknown effect", "engine_SetVar(s .. '.startFx', 'nothere')", false,
         [&] {
             return "kws2i: _str=\"\": TGameObjectShotEffect.onCreatedFunc error: (" +
                    GetDebugPath(FindVarByPath(shot)) + Ru(") визуального эффекта nothere не существует");
         }},
        {"unknown optional effect", "engine_SetVar(s .. '.defectFx', 'gone')", false,
         [&] {
             return "kws2i: _str=\"\": TGameObjectShotEffect.onCreatedFunc error: (" +
                    GetDebugPath(FindVarByPath(shot)) + Ru(") визуального эффекта gone не существует");
         }},
        {"two damage effects",
         "engine_AddVar(s .. '.effects', 'a', 'TDamageEnergy') engine_AddVar(s .. '.effects', 'b', "
         "'TDamageKinetic')",
         false,
         [&] {
             return Ru("TGameObjectShotEffect.onCreatedFunc error: в пульке ") +
                    GetDebugPath(FindVarByPath(shot)) +
                    Ru(" обнаружено два эффекта повреждения ...нахрена такое надо ?! такое делать НЕЛЬЗЯ!");
         }},
        {"no projectile class", "engine_SetVar(s .. '.bulletType', 'TGameObject')", true,
         [&] {
             return "TGameObjectShotEffect.createBullet error: " + GetDebugPath(FindVarByPath(shot)) +
                    Ru(" элемент класса TGameObject не может использоваться, как пуля");
         }},
        {"two shots",
         "local t = 'items.g.effects.gun.shots.second' engine_AddVar('items.g.effects.gun.shots', 'second', "
         "'TGameObjectShotEffect') engine_SetVar(t .. '.mainFx', 'shot') engine_SetVar(t .. '.startFx', "
         "'flash') "
         "engine_SetVar(t .. '.endFx', 'boom') engine_SetVar(t .. '.bulletType', 'TGameObjectBullet')",
         true,
         [&] {
             return "TGameObjectGunEffect.onShotFunc error: items.g" +
                    Ru(" - прописывать больше одной пульки за выстрел НЕЛЬЗЯ!(для справки ,в этой пушке "
                       "прописано 2 пулек за выстрел)");
         }},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        trap.reports.clear();
        const std::string fatal = FatalOf([&] {
            Gun("shooter", "g", c.setup); // its frame makes the shot
            if (c.shoot) Run(fire), Frame();
        });
        EXPECT_EQ(fatal, c.expected());
        Run("engine_Execute('obj.shooter.events.onShipEndShot', engine_GetHex('obj.shooter')) "
            "engine_DelVar('obj.shooter.slots.g') engine_DelVar('items.g')");
        Frame();
    }
}

TEST_F(Combat, BadProjectilesAndLaunchesEndTheGameWithTheirTexts) {
    TGameObject* big = Place("big", {0, 0, 0}, 13, "player");
    UnitOf(big)->SetBox({-150, -150, -150}, {150, 150, 150});
    UnitOf(big)->InvalidateBSphere();
    Run("engine_SetVar('obj.big.radius', '150')");
    Place("shooter", {500, 0, 0}, 2, "pirates");
    // A bullet without its main effect.
    Run("engine_AddVar('obj', 'b1', 'TGameObjectBullet')");
    EXPECT_EQ(FatalOf([&] { Frame(), Frame(); }),
              "TGameObjectBullet.onCreatedFunc error:" + GetDebugPath(FindVarByPath("obj.b1")) +
                  " mainFxLink.value=0");
    Run("engine_DelVar('obj.b1')");
    // A hull hit on a big object needs to know where: a bullet or rocket that
    // cannot tell ends the game.
    for (const char* cls : {"TGameObjectBullet", "TGameObjectRocket"}) {
        SCOPED_TRACE(cls);
        const std::string name = std::string("p") + cls;
        Run("engine_AddVar('obj', '" + name + "', '" + cls + "') engine_SetVar('obj." + name +
            ".defectFxLink', '903') engine_SetVar('obj." + name + ".spawner', engine_GetHex('obj.shooter'))");
        auto* p = dynamic_cast<TBaseGameSceneObject*>(FindVarByPath("obj." + name));
        p->OnCreated()->Deactivate();
        p->OnCollision()->SetEventData(big);
        EXPECT_EQ(FatalOf([&] { p->OnCollision()->Fire(); }),
                  "QueryInterface(IID_IBRUCollisionInfo, fCi): nil");
        p->Delete();
    }
    // A rocket's explosions are destruction-effect links only.
    Run("engine_AddVar('mesh', 'general_missile', 'TGameMesh') "
        "engine_AddVar('mesh.general_missile.destroyFx', 'odd', 'TGameObjectStringParam')");
    TGameObjectRocket* r = Rocket("r1", "TGameObjectRocket", "engine_SetVar(r .. '.lifetime', '100')");
    Frame();
    r->OnCollision()->SetEventData(FindVarByPath("obj.shooter"));
    Run("engine_SetVar('obj.r1.spawner', '0')");
    EXPECT_EQ(FatalOf([&] { r->OnCollision()->Fire(); }),
              Ru("TGameObjectRocket.onCollisionFunc error: в таблице \"destroyFx\" ракеты ") +
                  GetDebugPath(r) +
                  Ru(" найден обьект класса TGameObjectStringParam , это ОШИБКА .Этот класс не может "
                     "обрабатываться как ФХ!!! "));
    // A launch description names effects the table has.
    Item("pod", "pod", "gun");
    Run("engine_AddVar('items.pod.effects', 'l', 'TGameObjectLauncherEffect') "
        "engine_AddVar('items.pod.effects.l.shots', 'drop', 'TGameObjectLaunchEffect') "
        "engine_SetVar('items.pod.effects.l.shots.drop.startFx', 'flash') "
        "engine_SetVar('items.pod.effects.l.shots.drop.endFx', 'nothere')");
    EXPECT_EQ(FatalOf([&] { Frame(); }), "kws2i: _str=\"\": TGameObjectLaunchEffect.onCreatedFunc error: (" +
                                             GetDebugPath(FindVarByPath("items.pod.effects.l.shots.drop")) +
                                             Ru(") визуального эффекта nothere не существует"));
}

// ---- rockets -------------------------------------------------------------------------------------------

TEST_F(Combat, ARocketTakesItsModelChasesItsTargetAndIsDestroyedOnce) {
    TGameObject* pship = Place("pship", {0, 0, 0}, 2, "player");
    SetPlayerShip("pship");
    TGameObject* raider = Place("raider", {500, 0, 0}, 2, "pirates");
    Fly("raider");
    Run("engine_SetVar('obj.raider.ai.onRocketLock', 'locks = (locks or 0) + 1')");
    // Aimed at the player's ship a rocket flies as its model for the player.
    TGameObjectRocket* atPlayer =
        Rocket("r1", "TGameObjectRocket",
               "engine_SetVar(r .. '.spacemodel2player', 'pm') "
               "engine_SetVar(r .. '.spacemodel', 'm') engine_SetVar(r .. '.lifetime', '9')");
    Aim(atPlayer, pship);
    TGameObjectRocket* atRaider =
        Rocket("r2", "TGameObjectRocket",
               "engine_SetVar(r .. '.spacemodel2player', 'pm') "
               "engine_SetVar(r .. '.spacemodel', 'm') engine_SetVar(r .. '.lifetime', '9')");
    Aim(atRaider, raider);
    TGameObjectRocket* plain = Rocket("r3", "TGameObjectRocket", "engine_SetVar(r .. '.lifetime', '9')");
    for (const char* m : {"pm", "m", "general_missile"})
        Run(std::string("engine_AddVar('mesh', '") + m + "', 'TGameMesh')");
    world.calls.clear();
    PhCalls();
    Frame();
    EXPECT_EQ(world.calls, (std::vector<std::string>{"AddRocketAdv obj.r1 pm", "AddRocketAdv obj.r2 m",
                                                     "AddRocketAdv obj.r3 general_missile"}));
    EXPECT_EQ(SOClassOf(atRaider), kSOClassRocket);
    // It steers at what it chases and marks it; the chased ship's AI hears of it.
    EXPECT_EQ(PhCalls(), "obj.r1 approachToObj  pship 0 0 1 ;obj.r2 approachToObj  raider 0 0 1 ;");
    EXPECT_EQ(raider->IntValue("targetedRocket"), 1);
    EXPECT_TRUE(dynamic_cast<TSmartList*>(raider->FindChild("targetedRocketList"))->Contains(atRaider));
    EXPECT_EQ(Global("locks"), "1");
    EXPECT_EQ(pship->IntValue("targetedRocket"), 1);
    EXPECT_EQ(Statistics->Rocket()->Value(), 3);
    // Destroyed twice, it does its steps once and goes on the next tick.
    atRaider->OnDestroyed()->Fire();
    atRaider->OnDestroyed()->Fire();
    EXPECT_EQ(atRaider->IsDestroyed(), 1);
    EXPECT_EQ(raider->IntValue("targetedRocket"), 0);
    EXPECT_FALSE(dynamic_cast<TSmartList*>(raider->FindChild("targetedRocketList"))->Contains(atRaider));
    EXPECT_EQ(atRaider->Effects()->CountChildren(), 1); // one "deffect" timer
    EXPECT_FALSE(atRaider->OnTickEvent()->IsActive());
    Frame();
    Frame();
    EXPECT_EQ(FindVarByPath("obj.r2"), nullptr); // gone (and freed)
    EXPECT_EQ(Statistics->Rocket()->Value(), 2);
    (void)plain;
}

TEST_F(Combat, ARocketWithNoLifetimeGoesAtOnceAndOneWithoutSplashHarmsNothing) {
    TGameObject* raider = Place("raider", {0, 0, 0}, 2, "pirates");
    TGameObjectRocket* spent = Rocket("spent");
    Frame(); // created, and its first tick: the lifetime of 0 is over
    EXPECT_EQ(spent->IsDestroyed(), 1);
    Frame();
    EXPECT_EQ(FindVarByPath("obj.spent"), nullptr);
    // The hits of a rocket go off on the rocket itself: without splash nothing else is struck.
    TGameObjectRocket* dud =
        Rocket("dud", "TGameObjectRocket",
               "engine_SetVar(r .. '.lifetime', '9') engine_AddVar(r .. '.effects', 'hit', "
               "'TDamageRocket') engine_SetVar(r .. '.effects.hit.shieldDamage', '50')");
    Frame();
    Move(dud, {0, 0, 0});
    dud->OnCollision()->SetEventData(raider);
    dud->OnCollision()->Fire();
    EXPECT_FLOAT_EQ(AiParamCur(raider, "shield"), 100.0f);
    EXPECT_EQ(dud->IsDestroyed(), 1);
}

// ---- mines -----------------------------------------------------------------------------------------------

TEST_F(Combat, AMineTakesItsFactionFromTheShipThatDropsIt) {
    Place("layer", {0, 0, 0}, 2, "pirates");
    Item("dropper", "dropper", "gun");
    struct Case {
        const char* name;
        const char* spawner; // path, or "" for none
        const char* own;     // its own faction, or ""
        const char* want;
    } cases[] = {
        {"fromShip", "obj.layer", "", "pirates"},
        {"fromItem", "items.dropper", "smugglers", "smugglers"}, // not a ship: keeps its own
        {"loose", "", "", "player"},                             // nothing: a player mine
        {"looseOwn", "", "smugglers", "smugglers"},
    };
    for (const Case& c : cases) {
        std::string setup = "engine_SetVar(r .. '.lifetime', '9')";
        if (*c.spawner)
            setup += std::string(" engine_SetVar(r .. '.spawner', engine_GetHex('") + c.spawner + "'))";
        if (*c.own) setup += std::string(" engine_SetVar(r .. '.fraction', '") + c.own + "')";
        Rocket(c.name, "TGameObjectMine", setup);
    }
    Frame();
    for (const Case& c : cases)
        EXPECT_EQ(Eval(std::string("engine_GetVar('obj.") + c.name + ".fraction')"), c.want) << c.name;
}

TEST_F(Combat, AMineArmsThenChasesAHostileShipWithinItsRadiusAndGoesBackWhenItEscapes) {
    Run("engine_AddVar('fractions', 'neutrals') engine_SetVar('fractions.player.attitudes.neutrals', '50')");
    // At the edge of its reach: a ship it is neutral to (not hostile), and a pirate.
    TGameObject* neutral = Place("neutral", {0, 100, 0}, 2, "neutrals");
    TGameObject* pirate = Place("pirate", {100, 0, 0}, 2, "pirates");
    auto* mine = dynamic_cast<TGameObjectMine*>(
        Rocket("mine", "TGameObjectMine",
               "engine_SetVar(r .. '.lifetime', '99') engine_SetVar(r .. '.fraction', 'player') "
               "engine_SetVar(r .. '.activateRadius', '100') engine_SetVar(r .. '.activateTime', '0.1')"));
    PhCalls();
    Frame(); // created: inert until its timer ends
    Move(mine, {0, 0, 0});
    const std::string unit = UnitOf(mine)->GetHex();
    EXPECT_EQ(link.calls.back(), "collision " + unit + " nil");
    EXPECT_FALSE(mine->OnTickEvent()->IsActive());
    Frame(); // 0.1 s is four ticks of the timer
    EXPECT_EQ(mine->StandingHelper(), nullptr);
    EXPECT_EQ(mine->EnemyFound(), 0);
    EXPECT_EQ(pirate->IntValue("targetedMines"), 0);
    for (int i = 0; i < 4 && !mine->StandingHelper(); ++i) Frame();
    // Armed: its post where it is, its collision on, and the pirate chased.
    ASSERT_NE(mine->StandingHelper(), nullptr);
    EXPECT_NE(std::find(link.calls.begin(), link.calls.end(), "collision " + unit + " onCollision"),
              link.calls.end());
    EXPECT_EQ(mine->EnemyFound(), 1);
    EXPECT_EQ(mine->GetCurTarget(), pirate);
    EXPECT_EQ(pirate->IntValue("targetedMines"), 1);
    EXPECT_EQ(neutral->IntValue("targetedMines"), 0);
    EXPECT_EQ(PhCalls(), "obj.mine stop  0 ;obj.mine approachToObj  pirate 0 0 1 ;");
    // The pirate escapes beyond the radius: back to the post.
    TBaseRenderUnit* post = world.NewUnit("post");
    mine->StandingHelper()->SetHex(post);
    Move(pirate, {101, 0, 0});
    Frame();
    EXPECT_EQ(mine->EnemyFound(), 0);
    EXPECT_EQ(mine->GetCurTarget(), nullptr);
    EXPECT_EQ(pirate->IntValue("targetedMines"), 0);
    EXPECT_EQ(PhCalls(), "obj.mine stop  0 ;obj.mine goToHelperHex  " + post->GetHex() + " ;");
}

// ---- range effects and the magnet -------------------------------------------------------------------------

TEST_F(Combat, AUniversalRangeEffectFiresTheEventOfWhatItCounts) {
    Place("a", {0, 0, 0}, 2);
    Place("b", {0, 0, 0}, 2);
    Place("c", {0, 0, 0}, 2);
    struct Case {
        const char* what;
        float b, c;        // distances from a; every reach is 10
        const char* fired; // the event, with the counts it saw (in, out)
    } cases[] = {
        {"one in", 20, 19, "one 1 1"}, // spheres that just touch are not in range
        {"all in", 19, 5, "all 2 0"},
        {"none in", 25, 30, "none 0 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Move(FindVarByPath("obj.b"), {c.b, 0, 0});
        Move(FindVarByPath("obj.c"), {0, c.c, 0});
        Run("fired = '' engine_AddVar('obj.a.effects', 'watch', 'TGameUniversalRangeEffect') local w = "
            "'obj.a.effects.watch' for i, o in ipairs({ {'objs1', 'a'}, {'objs2', 'b'}, {'objs2', 'c'} }) do "
            "  local l = w .. '.' .. o[1] .. '.' .. o[2] engine_AddVar(w .. '.' .. o[1], o[2]) "
            "  engine_SetVar(l .. '.obj', o[2]) engine_SetVar(l .. '.radius', '10') end "
            "local counts = ' .. \" \" .. engine_GetVar(\"obj.a.effects.watch.inRadiusAll\") .. \" \" .. "
            "engine_GetVar(\"obj.a.effects.watch.outRadiusAll\")' "
            "engine_SetVar(w .. '.events.onAllInRange', 'fired = \"all\"' .. counts) "
            "engine_SetVar(w .. '.events.onOneInRange', 'fired = \"one\"' .. counts) "
            "engine_SetVar(w .. '.events.onNoneInRange', 'fired = \"none\"' .. counts) "
            "engine_Execute(w .. '.events.onEnable', engine_GetHex(w), engine_GetHex('obj.a'))");
        auto* watch = dynamic_cast<TGameUniversalRangeEffect*>(FindVarByPath("obj.a.effects.watch"));
        ASSERT_NE(watch, nullptr);
        Frame();
        EXPECT_EQ(Global("fired"), c.fired);
        EXPECT_EQ(FindVarByPath("obj.a.effects.watch"), nullptr); // it has done its work and gone
        Frame();
    }
    // An event without code is not fired and the effect stays; an empty second
    // group counts as none in range.
    Run("fired = '' engine_AddVar('obj.a.effects', 'idle', 'TGameUniversalRangeEffect') "
        "engine_Execute('obj.a.effects.idle.events.onEnable', engine_GetHex('obj.a.effects.idle'), "
        "engine_GetHex('obj.a'))");
    auto* idle = dynamic_cast<TGameUniversalRangeEffect*>(FindVarByPath("obj.a.effects.idle"));
    Frame();
    EXPECT_EQ(FindVarByPath("obj.a.effects.idle"), idle);
    EXPECT_EQ(idle->OutRadiusAll(), 0);
    Run("engine_SetVar('obj.a.effects.idle.events.onNoneInRange', 'fired = \"none\"')");
    Frame();
    EXPECT_EQ(Global("fired"), "none");
    EXPECT_EQ(FindVarByPath("obj.a.effects.idle"), nullptr);
}

TEST_F(Combat, ARangeEffectDropsTheLinksOfObjectsThatAreGone) {
    Place("a", {0, 0, 0}, 2);
    Place("b", {5, 0, 0}, 2);
    Run("engine_AddVar('obj.a.effects', 'watch', 'TGameRangeEffect') local w = 'obj.a.effects.watch' "
        "engine_AddVar(w .. '.objs1', 'a') engine_SetVar(w .. '.objs1.a.obj', 'a') "
        "engine_AddVar(w .. '.objs2', 'b') engine_SetVar(w .. '.objs2.b.obj', 'b')");
    auto* watch = dynamic_cast<TGameRangeEffect*>(FindVarByPath("obj.a.effects.watch"));
    watch->Count();
    EXPECT_EQ(watch->InRadiusAll(), 0); // no reach of their own and no bounding radius: 5 apart, not in
    EXPECT_EQ(watch->OutRadiusAll(), 1);
    Run("engine_DelVar('obj.b')");
    watch->Count();
    EXPECT_EQ(watch->Objs2()->CountChildren(), 0);
    EXPECT_EQ(watch->OutRadiusAll(), 0);
}

TEST_F(Combat, AMagnetBringsDownTheRocketsAndMinesWithinItsRadiusOnly) {
    TGameObject* carrier = Place("carrier", {0, 0, 0}, 2);
    Place("ship", {5, 0, 0}, 2);
    TGameObjectRocket* nearRocket =
        Rocket("nearRocket", "TGameObjectRocket", "engine_SetVar(r .. '.lifetime', '9')");
    TGameObjectRocket* nearMine =
        Rocket("nearMine", "TGameObjectMine", "engine_SetVar(r .. '.lifetime', '9')");
    TGameObjectRocket* farRocket =
        Rocket("farRocket", "TGameObjectRocket", "engine_SetVar(r .. '.lifetime', '9')");
    Frame();
    Move(nearRocket, {10, 0, 0});
    Move(nearMine, {0, 20, 0});
    Move(farRocket, {0, 0, 21});
    Run("engine_SetVar('obj.nearMine.events.onDestroyed', 'downs = (downs or 0) + 1') "
        "engine_AddVar('obj.carrier.effects', 'field', 'TMagnitEffect') "
        "engine_SetVar('obj.carrier.effects.field.splash', '20') "
        "engine_Execute('obj.carrier.effects.field.events.onEnable', "
        "engine_GetHex('obj.carrier.effects.field'), "
        "engine_GetHex('obj.carrier'))");
    Frame();
    EXPECT_EQ(nearRocket->IsDestroyed(), 1);
    EXPECT_EQ(nearMine->IsDestroyed(), 1);
    // Brought down once: the next tick (before it goes) does not destroy it again.
    Frame();
    EXPECT_EQ(Global("downs"), "1");
    EXPECT_EQ(farRocket->IsDestroyed(), 0);
    EXPECT_FALSE(carrier->IsDeleted());
    EXPECT_EQ(carrier->IntValue("isDestroyed"), 0);
}

// ---- launchers, bullets, pools
// ---------------------------------------------------------------------------------

TEST_F(Combat, ALauncherReleasesFreshObjectsOnlyWhileItsItemIsInUse) {
    TGameObject* layer = Place("layer", {0, 0, 0}, 2, "pirates");
    Slot("obj.layer.slots", "pod", "gun_left");
    Item("pod", "pod", "gun");
    SetValue("items.pod.charge", 5, 5);
    SetValue("items.pod.reloading", 1, 1);
    Run("engine_AddVar('items.pod.effects', 'l', 'TGameObjectLauncherEffect') local l = "
        "'items.pod.effects.l.shots.drop' engine_AddVar('items.pod.effects.l.shots', 'drop', "
        "'TGameObjectLaunchEffect') engine_SetVar(l .. '.startFx', 'flash') engine_SetVar(l .. '.endFx', "
        "'boom') "
        "engine_SetVar(l .. '.lifetime', '9') engine_AddVar(l, 'bulletType', 'TGameObjectStringParam') "
        "engine_SetVar(l .. '.bulletType', 'TGameObjectRocket') engine_AddVar(l .. '.effects', 'hit', "
        "'TDamageRocket') engine_SetVar(l .. '.effects.hit.shieldDamage', '10') "
        "engine_SetVar(l .. '.effects.hit.temperatureSelf', '12')");
    Put("obj.layer.slots.pod.item", "pod");
    auto* launcher = dynamic_cast<TGameObjectLauncherEffect*>(FindVarByPath("items.pod.effects.l"));
    ASSERT_NE(launcher, nullptr);
    // Enabled but not in use: nothing leaves.
    launcher->OnEnable()->Fire();
    Frame();
    const int before = RocketsList()->CountChildren();
    EXPECT_EQ(Statistics->Rocket()->Value(), 0);
    // In use: one launch, then the item's use ends.
    Run("engine_Execute('obj.layer.events.onShipBeginShot', engine_GetHex('obj.layer'), '0')");
    Frame();
    EXPECT_EQ(RocketsList()->CountChildren(), before + 1);
    EXPECT_EQ(dynamic_cast<TGameItem*>(FindVarByPath("items.pod"))->Used(), 0);
    TGameObjectRocket* released = nullptr;
    ForEachChildOf(RocketsList(), [&](TBaseGameObject* c) {
        if (auto* r = dynamic_cast<TGameObjectRocket*>(c)) released = r;
    });
    ASSERT_NE(released, nullptr);
    EXPECT_EQ(released->GetName(), "bullet_" + released->TEngineObject::GetHex());
    EXPECT_EQ(released->GetPoolEntry(), nullptr); // made fresh
    EXPECT_EQ(released->Spawner()->GetValue(), layer);
    EXPECT_FLOAT_EQ(AiParamCur(layer, "temperature"), 12.0f);
    EXPECT_FLOAT_EQ(Value("items.pod.charge"), 5.0f);
    EXPECT_EQ(Eval("engine_GetVar('" + GetLuaPath(released) + ".startFxLink')"), "902");
}

TEST_F(Combat, ABulletNeverHitsItsShooterAndHarmsOnlyShips) {
    TGameObject* shooter = Place("shooter", {0, 0, 0}, 2, "pirates");
    TGameObject* rock = Place("rock", {50, 0, 0}, 13);
    auto make = [&](const std::string& name) {
        Run("engine_AddVar('obj', '" + name + "', 'TGameObjectBullet') local b = 'obj." + name +
            "' engine_SetVar(b .. '.spawner', engine_GetHex('obj.shooter')) "
            "engine_AddVar(b .. '.effects', 'hit', 'TDamageEnergy') engine_SetVar(b .. "
            "'.effects.hit.damage', '10')");
        auto* b = dynamic_cast<TGameObjectBullet*>(FindVarByPath("obj." + name));
        b->OnCreated()->Deactivate();
        return b;
    };
    TGameObjectBullet* own = make("own");
    own->OnCollision()->SetEventData(shooter);
    own->OnCollision()->Fire();
    EXPECT_FALSE(own->IsDeleted());
    EXPECT_EQ(own->Effects()->CountChildren(), 1);
    EXPECT_FLOAT_EQ(AiParamCur(shooter, "durability"), 100.0f);
    TGameObjectBullet* stray = make("stray");
    stray->OnCollision()->SetEventData(rock);
    stray->OnCollision()->Fire();
    EXPECT_TRUE(stray->IsDeleted());
    EXPECT_FLOAT_EQ(AiParamCur(rock, "durability"), 100.0f);
    EXPECT_EQ(rock->Effects()->CountChildren(), 0);
}

TEST_F(Combat, ThePlayersAttackRegimeBoostsItsHeavyShotsAndTheShieldPaysForIt) {
    Place("pship", {0, 0, 0}, 2, "player");
    SetPlayerShip("pship");
    Place("raider", {500, 0, 0}, 2, "pirates");
    SetValue("obj.pship.param.damagefactor", 100, 100);
    Gun("pship", "light",
        "engine_AddVar(s .. '.effects', 'hit', 'TDamageEffect') "
        "engine_SetVar(s .. '.effects.hit.damage', '10')");
    Gun("pship", "heavy",
        "engine_AddVar(s .. '.effects', 'hit', 'TDamageEffect') "
        "engine_SetVar(s .. '.effects.hit.damage', '10')");
    Run("engine_SetVar('items.heavy.weaponType', '2')");
    Run("engine_AddVar('obj.pship.effects', 'pshipRegime', 'TPlayerShipAttackRegime') "
        "engine_Execute('obj.pship.effects.pshipRegime.events.onEnable', "
        "engine_GetHex('obj.pship.effects.pshipRegime'), engine_GetHex('obj.pship'))");
    ASSERT_NE(ShipRegimeOf(FindVarByPath("obj.pship")), nullptr);
    Run("engine_Execute('obj.pship.events.onShipBeginShot', engine_GetHex('obj.pship'), "
        "engine_GetHex('obj.raider'))");
    Frame();
    // Half the heavy shot's damage again, paid twice over by the shield; the light shot is as it was.
    EXPECT_FLOAT_EQ(AiParamCur(FindVarByPath("obj.pship"), "shield"), 90.0f);
    EXPECT_EQ(Eval("engine_GetVar('player.statistics.primaryShotCounter')"), "1");
    EXPECT_EQ(Eval("engine_GetVar('player.statistics.secondaryShotCounter')"), "1");
}

TEST_F(Combat, ABulletWithNothingToFlyToGoesAndIsCountedOnce) {
    Place("shooter", {0, 0, 0}, 2, "pirates");
    const int before = Statistics->Bullet()->Value();
    // Made by name it is a live bullet too; its aim point never got a place in space.
    Run("engine_AddVar('obj', 'lost', 'TGameObjectBullet') engine_SetVar('obj.lost.mainFxLink', '901') "
        "engine_SetVar('obj.lost.spawner', engine_GetHex('obj.shooter'))");
    auto* lost = dynamic_cast<TGameObjectBullet*>(FindVarByPath("obj.lost"));
    EXPECT_EQ(Statistics->Bullet()->Value(), before + 1);
    Frame();
    EXPECT_EQ(FindVarByPath("obj.lost"), nullptr);
    (void)lost;
    EXPECT_EQ(Statistics->Bullet()->Value(), before);
    EXPECT_TRUE(FirstFatal().empty()) << FirstFatal();
}

TEST_F(Combat, TheStandardPoolsHoldBulletsAndRocketsAndGrowWhenFull) {
    ObjManagersManager->createStandartManagers();
    TDynamicObjManager* bullets = ObjManagersManager->GetManager(TGameObjectBullet::StaticClass(), 1);
    TDynamicObjManager* rockets = ObjManagersManager->GetManager(TGameObjectRocket::StaticClass(), 1);
    EXPECT_EQ(bullets->GetPool()->GetCapacity(), 100);
    EXPECT_EQ(rockets->GetPool()->GetCapacity(), 50);
    for (int i = 0; i < 101; ++i) NewPooledObject(TGameObjectBullet::StaticClass(), "bullet_", nullptr);
    EXPECT_EQ(bullets->GetPool()->GetCapacity(), 600);
    EXPECT_EQ(Statistics->Bullet()->Value(), 101);
    EXPECT_TRUE(FirstFatal().empty()) << FirstFatal();
}

} // namespace
} // namespace vesk::test
