// Guns, projectiles, launchers and range effects on the game side, over plain
// units placed by hand: the reports that end the game on bad content, what a
// rocket and a mine decide, which objects a range effect counts and which
// projectiles a magnet pulls down. The flights themselves are the world
// tests' (tests/world/combat_test.cpp).
#include <gtest/gtest.h>

#include "ai_fixture.h"
#include "game/damage.h"
#include "game/fx_objects.h"
#include "game/game_text.h"
#include "game/gun_effects.h"
#include "game/launchers.h"
#include "game/projectiles.h"
#include "game/range_effects.h"

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
            ".effects.gun.shots.shot' engine_SetVar(s .. '.mainFx', 'shot') engine_SetVar(s .. '.startFx', 'flash') "
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
    const std::string fire = "engine_Execute('obj.shooter.events.onShipBeginShot', engine_GetHex('obj.shooter'), "
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
         "engine_AddVar(s .. '.effects', 'a', 'TDamageEnergy') engine_AddVar(s .. '.effects', 'b', 'TDamageKinetic')",
         false,
         [&] {
             return Ru("TGameObjectShotEffect.onCreatedFunc error: в пульке ") + GetDebugPath(FindVarByPath(shot)) +
                    Ru(" обнаружено два эффекта повреждения ...нахрена такое надо ?! такое делать НЕЛЬЗЯ!");
         }},
        {"no projectile class", "engine_SetVar(s .. '.bulletType', 'TGameObject')", true,
         [&] {
             return "TGameObjectShotEffect.createBullet error: " + GetDebugPath(FindVarByPath(shot)) +
                    Ru(" элемент класса TGameObject не может использоваться, как пуля");
         }},
        {"two shots",
         "local t = 'items.g.effects.gun.shots.second' engine_AddVar('items.g.effects.gun.shots', 'second', "
         "'TGameObjectShotEffect') engine_SetVar(t .. '.mainFx', 'shot') engine_SetVar(t .. '.startFx', 'flash') "
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
        EXPECT_EQ(FatalOf([&] { p->OnCollision()->Fire(); }), "QueryInterface(IID_IBRUCollisionInfo, fCi): nil");
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
              Ru("TGameObjectRocket.onCollisionFunc error: в таблице \"destroyFx\" ракеты ") + GetDebugPath(r) +
                  Ru(" найден обьект класса TGameObjectStringParam , это ОШИБКА .Этот класс не может "
                     "обрабатываться как ФХ!!! "));
    // A launch description names effects the table has.
    Item("pod", "pod", "gun");
    Run("engine_AddVar('items.pod.effects', 'l', 'TGameObjectLauncherEffect') "
        "engine_AddVar('items.pod.effects.l.shots', 'drop', 'TGameObjectLaunchEffect') "
        "engine_SetVar('items.pod.effects.l.shots.drop.startFx', 'flash') "
        "engine_SetVar('items.pod.effects.l.shots.drop.endFx', 'nothere')");
    EXPECT_EQ(FatalOf([&] { Frame(); }),
              "kws2i: _str=\"\": TGameObjectLaunchEffect.onCreatedFunc error: (" +
                  GetDebugPath(FindVarByPath("items.pod.effects.l.shots.drop")) +
                  Ru(") визуального эффекта nothere не существует"));
}

} // namespace
} // namespace vesk::test
