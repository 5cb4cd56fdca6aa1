// The player: regimes of the player's ship against worked values, selection
// and the cursor, the actions and their texts, commands, the cockpit.
#include <gtest/gtest.h>

#include "ai_fixture.h"
#include "core/application.h"
#include "core/paths.h"
#include "game/cockpit.h"
#include "game/damage.h"
#include "game/params.h"
#include "game/player_regimes.h"
#include "physics/camera_game.h"
#include "platform/files.h"

namespace vesk::test {
namespace {

class PlayerTest : public AiTest {
protected:
    void SetUp() override {
        AiTest::SetUp();
        pship = Place("pship", {0, 0, 0});
        SetPlayerShip("pship");
        SetValue("obj.pship.param.shield", 200, 100);
        Run("engine_SetVar('obj.pship.param.shield.speed', '4') "
            "engine_SetVar('obj.pship.param.temperature.speed', '-2')");
        for (const auto& [k, v] : std::initializer_list<std::pair<const char*, const char*>>{
                 {"defenceRegimeRegenKoeff", "150"},
                 {"defenceRegimeOverheatCoeff", "50"},
                 {"defenceRegimeStartOverheat", "10"},
                 {"defenceRegimeDamageCoeff", "50"},
                 {"defenceRegimeWeaponOverheatCoeff", "80"}})
            Run(std::string("engine_SetVar('bal.") + k + "', '" + v + "')");
    }
    float Speed(const char* param) { return Value(std::string("obj.pship.param.") + param + ".speed"); }
    // A pooled energy hit of these amounts (not enabled on anyone).
    TDamageEffect* Hit(float damage, float shield, float armor, float heat = 0) {
        auto* hit =
            dynamic_cast<TDamageEffect*>(NewPooledObject(TDamageEffect::StaticClass(), "hit", nullptr));
        hit->SetAmount(DamageAmount::damage, damage);
        hit->SetAmount(DamageAmount::shieldDamage, shield);
        hit->SetAmount(DamageAmount::armorDamage, armor);
        hit->SetAmount(DamageAmount::temperatureSelf, heat);
        hits.push_back(hit);
        return hit;
    }
    void TearDown() override {
        for (TDamageEffect* h : hits) h->Delete();
        AiTest::TearDown();
    }
    TGameObject* pship = nullptr;
    std::vector<TDamageEffect*> hits;
};

TEST_F(PlayerTest, DefenceRegimeChangesSpeedsWhileOnAndKeepsTheStartHeat) {
    ASSERT_NE(Player->GetShipRegime(), nullptr); // a base regime is made
    IPlayerShipRegime* r = Player->SetShipRegime(TPlayerShipDefenceRegime::StaticClass());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->RegimeClass().name, std::string("TPlayerShipDefenceRegime"));
    // Shield speed 4 becomes 150 % of it; heat speed -2 gets 50 % of its size added.
    EXPECT_FLOAT_EQ(Speed("shield"), 6.0f);
    EXPECT_FLOAT_EQ(Speed("temperature"), -1.0f);
    EXPECT_FLOAT_EQ(Value("obj.pship.param.temperature"), 20.0f); // 10 % of 200
    // A second "onEnable" does not raise the speeds again.
    Run("engine_Execute('obj.pship.effects.pshipRegime.events.onEnable', '0', '" +
        pship->TEngineObject::GetHex() + "')");
    EXPECT_FLOAT_EQ(Speed("shield"), 6.0f);
    // Hits taken are halved; each shot fired cools by 20 % of its heat.
    TDamageEffect* hit = Hit(10, 20, 30);
    r->OnDamage(*hit);
    EXPECT_FLOAT_EQ(hit->Amount(DamageAmount::damage), 5.0f);
    EXPECT_FLOAT_EQ(hit->Amount(DamageAmount::shieldDamage), 10.0f);
    EXPECT_FLOAT_EQ(hit->Amount(DamageAmount::armorDamage), 15.0f);
    r->OnShot(*Hit(0, 0, 0, 10));
    EXPECT_FLOAT_EQ(Value("obj.pship.param.temperature"), 18.0f);
    Player->SetShipRegime(TPlayerShipBaseRegime::StaticClass());
    EXPECT_FLOAT_EQ(Speed("shield"), 4.0f);
    EXPECT_FLOAT_EQ(Speed("temperature"), -2.0f);
    EXPECT_FLOAT_EQ(Value("obj.pship.param.temperature"), 18.0f);
}

TEST_F(PlayerTest, HitsOnTheShipGoThroughItsRegime) {
    Player->GetShipRegime();
    Player->SetShipRegime(TPlayerShipDefenceRegime::StaticClass());
    SetValue("obj.pship.param.durability", 100, 100);
    SetValue("obj.pship.param.armor", 100, 0);
    SetValue("obj.pship.param.shield", 200, 0);
    TDamageEffect* hit = Hit(40, 0, 0);
    TGameEvent* damaged = pship->Event("onDamaged");
    damaged->SetEventData(hit);
    damaged->Fire();
    EXPECT_FLOAT_EQ(Value("obj.pship.param.durability"), 80.0f); // 40 halved
}

TEST_F(PlayerTest, AttackRegimeBoostsShotsFromTheShieldAndEndsWhenItIsEmpty) {
    Player->GetShipRegime();
    IPlayerShipRegime* r = Player->SetShipRegime(TPlayerShipAttackRegime::StaticClass());
    TDamageEffect* shot = Hit(10, 4, 6);
    r->OnShot(*shot);
    EXPECT_FLOAT_EQ(shot->Amount(DamageAmount::damage), 15.0f);
    EXPECT_FLOAT_EQ(shot->Amount(DamageAmount::shieldDamage), 6.0f);
    EXPECT_FLOAT_EQ(shot->Amount(DamageAmount::armorDamage), 9.0f);
    EXPECT_FLOAT_EQ(Value("obj.pship.param.shield"), 90.0f); // 2 x 5
    SetValue("obj.pship.param.shield", 200, 10);
    r->OnShot(*Hit(10, 0, 0)); // costs exactly the 10 left
    EXPECT_EQ(ShipRegimeOf(pship), nullptr);
    EXPECT_EQ(Player->SetShipRegime(TPlayerShipDefenceRegime::StaticClass()), nullptr); // none to replace
    EXPECT_EQ(Player->GetShipRegime()->RegimeClass().name, std::string("TPlayerShipBaseRegime"));
}

TEST_F(PlayerTest, WeaponOverheatOfAHundredAddsNoHeat) {
    Run("engine_SetVar('bal.defenceRegimeWeaponOverheatCoeff', '100')");
    Player->GetShipRegime();
    IPlayerShipRegime* r = Player->SetShipRegime(TPlayerShipDefenceRegime::StaticClass());
    const float before = Value("obj.pship.param.temperature");
    r->OnShot(*Hit(0, 0, 0, 50));
    EXPECT_FLOAT_EQ(Value("obj.pship.param.temperature"), before);
}

// The player's view shakes when the player's ship lights its afterburner, as
// the game's constants say; another ship's afterburner leaves it still.
TEST_F(PlayerTest, TheAfterburnerShakesThePlayersView) {
    InstallParamPhysicsLink();
    CoreServices services;
    InstallGameCamera(services, {});
    auto core = std::make_unique<TCore>(std::move(services));
    GameCamera()->Init();
    CameraClass& camera = *GameCamera()->Camera();
    Run("function SetPPParam() end");
    Place("other", {100, 0, 0});
    auto afterburner = [&](const char* ship) {
        camera.StopQuake();
        Run(std::string("engine_Execute('obj.") + ship + ".events.startForsage')");
        return camera.IsMode(kCamQuake);
    };
    EXPECT_FALSE(afterburner("pship")); // the constants start at 0: no shake
    Run("engine_SetVar('bal.forsageQuakeTime', '2') engine_SetVar('bal.forsageQuakeAmplitude', '3') "
        "engine_SetVar('bal.forsageQuakeFrequency', '5')");
    EXPECT_TRUE(afterburner("pship"));
    EXPECT_FLOAT_EQ(camera.QuakeAmplitude(), 3.0f);
    EXPECT_FALSE(afterburner("other"));
    EXPECT_TRUE(NoLuaErrors());
    GameCamera()->Free();
}

TEST_F(PlayerTest, SelectionRunsTheScriptsOnlyWhenItChanges) {
    TGameObject* enemy = Place("enemy", {100, 0, 0});
    ChunkRecorder chunks;
    Player->SelectTarget(enemy);
    Player->SelectTarget(enemy);
    Player->SelectTarget(nullptr);
    EXPECT_EQ(
        chunks.Joined(),
        "player.selected=\"obj.enemy\"\nupdateSelectedShip()\nplayer.selected=nil\nupdateSelectedShip()\n");
    EXPECT_EQ(Global("selectedCalls"), "2");
    // The scripts select through their mirror.
    Run("player.selected = 'obj.enemy' engine_UpdateSelectedShip()");
    EXPECT_EQ(Player->Selected(), enemy);
    Run("engine_SetCursorObj('" + enemy->TEngineObject::GetHex() + "')");
    EXPECT_EQ(Player->CursorTarget(), enemy);
    EXPECT_EQ(Eval("player.cursor"), "obj.enemy");
    Run("engine_SetCursorObj('0')");
    EXPECT_EQ(Player->CursorTarget(), nullptr);
    EXPECT_EQ(Eval("tostring(player.cursor)"), "nil");
}

TEST_F(PlayerTest, ActionsAndTheirTexts) {
    EXPECT_EQ(Eval("engine_Execute('player', 'getNewSaveId')"), "save_0");
    Run("engine_SetVar('playerSettings.numberSaves', '3')");
    EXPECT_EQ(Eval("engine_Execute('player', 'getNewSaveId')"), "save_3");
    struct Case {
        const char* lua;
        const char* fatal;
    } cases[] = {
        {"engine_Execute('player', 'dance')", "TPlayer.Execute error: action- \"dance\" не используется"},
        {"engine_Execute('player.cockpit', 'spin', '1')",
         "TGameCockpitComponent.Execute error: action- \"spin\" не используется"},
    };
    for (const Case& c : cases) {
        trap.reports.clear();
        try {
            Run(c.lua);
        } catch (const Halted&) {
        }
        EXPECT_EQ(FirstFatal(), Ru(c.fatal)) << c.lua;
    }
    trap.reports.clear();
    try {
        Player->sendCommand("retreat");
    } catch (const Halted&) {
    }
    EXPECT_EQ(FirstFatal(), Ru("TPlayer.sendCommand error: команда \"retreat\" не поддерживается"));
    trap.reports.clear();
    Run("engine_Execute('player.events.sayHelp')"); // no allies: nothing happens
    EXPECT_EQ(FirstFatal(), "");
}

TEST_F(PlayerTest, LoadedLocationsAreKeptOnceAndAMissingOneIsReported) {
    Player->AddLoadedLocation("belt");
    Player->AddLoadedLocation("belt");
    Player->AddLoadedLocation("dock");
    EXPECT_EQ(Player->FindChild("loadedLocations")->CountChildren(), 2);
    Player->RemoveLoadedLocation("belt");
    EXPECT_EQ(Player->FindChild("loadedLocations")->CountChildren(), 1);
    try {
        Player->RemoveLoadedLocation("belt");
    } catch (const Halted&) {
    }
    EXPECT_EQ(FirstFatal(),
              Ru("TPlayer.removeLoadedLocation error: попытка очистки незагруженной локации belt"));
}

TEST_F(PlayerTest, SelfControlHandsTheShipsPhysicsToThePlayerAndBack) {
    BaseAIUnitClass* ai = GiveAI(pship);
    Run("engine_SetVar('player.selfShipControl', '1')");
    EXPECT_TRUE(ai->IsPlayerControlled());
    Run("engine_SetVar('player.selfShipControl', '0')");
    EXPECT_FALSE(ai->IsPlayerControlled());
    // The engine knows the player's ship unit by its name.
    Run("engine_UpdatePlayerShip()");
    EXPECT_EQ(UnitOf(pship)->GetName(), "playership1");
}

TEST_F(PlayerTest, FastSaveEndsUseInBaseRegimeAndMirrorsTheShip) {
    Player->GetShipRegime();
    Player->SetShipRegime(TPlayerShipAttackRegime::StaticClass());
    Slot("obj.pship.slots", "s1", "gun_left");
    TGameItem* gun = Item("gun", "cannon", "gun");
    Put("obj.pship.slots.s1.item", "gun");
    SetValue("items.gun.charge", 1, 1);
    gun->FireEvent("onStartUse");
    ASSERT_EQ(gun->Used(), 1);
    Run("engine_Execute('player', 'fastSave')");
    EXPECT_EQ(gun->Used(), 0);
    EXPECT_EQ(ShipRegimeOf(pship)->RegimeClass().name, std::string("TPlayerShipBaseRegime"));
    EXPECT_EQ(Eval("playership.engineType"), "TGameObject");
    EXPECT_EQ(Eval("playership.param.shield.max"), "200");
}

// ---- the cockpit ---------------------------------------------------------------------------------

struct RecordingCockpitCamera : ICockpitCamera {
    std::vector<std::string> calls;
    void SetCockpitMode(TBaseRenderUnit* ship, TBaseRenderUnit* pos, TBaseRenderUnit* dir) override {
        calls.push_back("mode " + ship->GetName() + " " + (pos ? "pos" : "-") + " " + (dir ? "dir" : "-"));
    }
    void ResetCockpitMode() override { calls.push_back("reset"); }
    void RotateUp(float x) override { calls.push_back("up " + FloatToStrRaw(x)); }
    void RotateDown(float x) override { calls.push_back("down " + FloatToStrRaw(x)); }
    void RotateLeft(float x) override { calls.push_back("left " + FloatToStrRaw(x)); }
    void RotateRight(float x) override { calls.push_back("right " + FloatToStrRaw(x)); }
    void RotateReset() override { calls.push_back("center"); }
};

class Cockpit : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        SetCockpitCamera(&camera);
        world.helpers = {"cockpit_seat", "cam_pos", "cam_dir"};
    }
    void TearDown() override {
        SetCockpitCamera(nullptr);
        PlayerTest::TearDown();
    }
    // A cockpit item in the ship's seat; its unit carries the camera helpers.
    TGameItemCockpit* Seat() {
        Run("gunmodel.cockpit = { type = 'cockpit' }");
        Run("engine_AddVar('items', 'view', 'TGameItemCockpit') engine_SetVar('items.view.mesh', 'cockpit') "
            "engine_SetVar('items.view.class', '99')");
        auto* item = dynamic_cast<TGameItemCockpit*>(FindVarByPath("items.view"));
        TBaseRenderUnit* unit = world.NewUnit("view");
        for (const auto& h : world.helpers) unit->AddHelper(h, {});
        item->SetHex(unit);
        SetValue("items.view.charge", 1, 1);
        return item;
    }
    RecordingCockpitCamera camera;
};

TEST_F(Cockpit, UseSwitchesTheCameraOnceAndBack) {
    TGameItemCockpit* view = Seat();
    view->SetParentShip(pship);
    Run("engine_Execute('player', 'cockpitOn')"); // not in a slot: nothing to use
    EXPECT_TRUE(camera.calls.empty());
    view->FireEvent("onStartUse");
    view->FireEvent("onStartUse");
    EXPECT_EQ(camera.calls, (std::vector<std::string>{"mode pship pos dir"}));
    EXPECT_EQ(view->Used(), 1);
    view->FireEvent("onEndUse");
    view->FireEvent("onEndUse");
    EXPECT_EQ(camera.calls.back(), "reset");
    EXPECT_EQ(camera.calls.size(), 2u);
}

TEST_F(Cockpit, CockpitWithoutItsCameraHelperIsReported) {
    TGameItemCockpit* view = Seat();
    TBaseRenderUnit* bare = world.NewUnit("bare");
    bare->AddHelper("cam_pos", {});
    view->SetHex(bare);
    try {
        view->FireEvent("onStartUse");
    } catch (const Halted&) {
    }
    EXPECT_EQ(FirstFatal(),
              Ru("TGameItemCockpit.onStartUseFunc error: в кокпите _G->items->view-> не приписан один "
                 "из хелперов камеры (cam_dir)"));
}

TEST_F(Cockpit, ViewOffsetsStayWithinOneAndTurnTheView) {
    auto* cockpit = dynamic_cast<TGameCockpitComponent*>(Player->FindChild("cockpit"));
    cockpit->AddViewOffset(0.0f, 1.5f);
    EXPECT_FLOAT_EQ(cockpit->Horizontal(), 1.0f);
    cockpit->AddViewOffset(-0.25f, -0.5f);
    EXPECT_FLOAT_EQ(cockpit->Horizontal(), 0.5f);
    EXPECT_FLOAT_EQ(cockpit->Vertical(), -0.25f);
    Run("engine_Execute('player.cockpit', 'up', '0.75') engine_Execute('player.cockpit', 'center')");
    EXPECT_FLOAT_EQ(cockpit->Horizontal(), 0.0f);
    EXPECT_EQ(camera.calls,
              (std::vector<std::string>{"right 1", "right 0.5", "down 0.25", "up 0.75", "center"}));
}

} // namespace
} // namespace vesk::test

namespace vesk::test {
namespace {

TEST_F(PlayerTest, NewProfileStartsFromTheDefaultAndSavesTheMainGame) {
    const std::string old = ProfilesPath;
    ProfilesPath = dir / "profiles/";
    Run("saved = '' function saveGameAdv(id, a, b) saved = id end "
        "engine_AddVar('playerSettings.saves', 'save_9')");
    Run("engine_Execute('player', 'newProfile', 'ace')");
    EXPECT_EQ(Global("saved"), "main");
    EXPECT_TRUE(platform::FileExists(dir / "profiles/ace/settings.lua"));
    EXPECT_TRUE(platform::FolderExists(dir / "profiles/ace/save"));
    EXPECT_EQ(Eval("engine_GetVar('ini.curPlayerProfile')"), "ace");
    EXPECT_EQ(Eval("engine_GetTable('playerSettings.saves')"), "{}");
    Run("engine_Execute('player', 'loadProfile', 'nobody')");
    EXPECT_EQ(Eval("engine_GetVar('ini.curPlayerProfile')"), "default");
    Run("engine_SetVar('ini.curPlayerProfile', 'ace') engine_Execute('player', 'loadCurProfile') "
        "engine_Execute('player', 'delProfile', 'ace')");
    EXPECT_FALSE(platform::FolderExists(dir / "profiles/ace"));
    ProfilesPath = old;
}

} // namespace
} // namespace vesk::test
