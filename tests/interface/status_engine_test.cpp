// The status panels in flight: the shield, armour and hull readouts and
// their lamps, the hit flash, the critical-damage state, the gauges and the
// radial blur, the warnings, the regime lamps and the target panel.
#include <gtest/gtest.h>

#include "game/game_objects.h"
#include "hud_fixture.h"
#include "interface/status_engine.h"
#include "interface/video_node.h"
#include "shared/math.h"

namespace vesk::test {
namespace {

class StatusEngineTest : public HudTest {
protected:
    void SetUp() override {
        HudTest::SetUp();
        BuildHud();
        for (const char* n :
             {"Deflection", "bar_Energy", "panel_Energy", "MaxEnergy", "P_PowerValue", "Overheat",
              "bar_Speed", "point_Speed", "MaxSpeed", "MinSpeed", "P_SpeedValue", "MachSpeedIcon",
              "ForsageTransporant", "point_MaxSpeed", "cur_MaxSpeed", "itCriticalDamageValue"})
            Node(desk, n, "TMegaButton", 0, 0, 100, 100);
        Node<TMovingNode>(desk, "RocketLockAnimPointer", "TMovingNode");
        TMegaButton* params = Node(desk, "ParametersPanel");
        for (const char* n :
             {"p_back_icon", "sp_icon", "ap_icon", "dp_icon", "sp_label", "ap_label", "dp_label"})
            Node(params, n);
        for (const char* n : {"sp_bar", "ap_bar", "dp_bar"})
            Node<TActiveHelperBar>(params, n, "TActiveHelperBar");
        TMegaButton* target = Node(desk, "TargetPanel");
        Node<TViewportNode>(target, "TargetViewport", "TViewportNode");
        for (const char* n :
             {"EnemyShipInfo", "TargetAnimationPanel", "ShipName", "SpeedValue", "RangeValue", "KillMessage"})
            Node(target, n);
        for (const char* n : {"TargetDurabilityBar", "TargetArmorBar", "TargetShieldBar"})
            Node<TAHObjParamBar>(target, n, "TAHObjParamBar");
        status().Bind();
        ASSERT_TRUE(trap.reports.empty()) << trap.reports[0].text;
    }
    TStatusEngine& status() { return desk->Status(); }
    void Layers(float shield, float shieldMax, float armor, float armorMax, float hull, float hullMax) {
        SetValue("obj.pship.param.shield", shieldMax, shield);
        SetValue("obj.pship.param.armor", armorMax, armor);
        SetValue("obj.pship.param.durability", hullMax, hull);
    }
    bool LampOn(int type) { return lamps->Lamp(type)->Visible(); }
    std::string Text(const char* name) { return dynamic_cast<TMegaButton*>(Find(name))->Text(); }
    float Opacity(const char* name) { return dynamic_cast<TMegaButton*>(Find(name))->OwnOpacity(); }
    float Fill(const char* name) { return dynamic_cast<TActiveHelperBar*>(Find(name))->Value(); }
};

TEST_F(StatusEngineTest, ShieldAndArmourLampsFollowTheLayers) {
    // A ship without shields shows the dismount lamp and an empty bar, never the low lamps.
    Layers(0, 0, 100, 100, 100, 100);
    status().Tick(16);
    EXPECT_TRUE(LampOn(3));
    EXPECT_FALSE(LampOn(1));
    EXPECT_FALSE(LampOn(2));
    EXPECT_FLOAT_EQ(Fill("sp_bar"), 0.0f);

    // Falling from 0.15 to 0.05: the drop lamp once and the low lamp; back at 0.2 the low lamp goes.
    Layers(15, 100, 100, 100, 100, 100);
    status().Tick(16);
    EXPECT_FALSE(LampOn(3));
    EXPECT_FALSE(LampOn(1));
    Layers(5, 100, 100, 100, 100, 100);
    status().Tick(16);
    EXPECT_TRUE(LampOn(1));
    EXPECT_TRUE(LampOn(2));
    lamps->TurnOffType(1);
    status().Tick(16); // still low: no second drop
    EXPECT_FALSE(LampOn(1));
    Layers(20, 100, 100, 100, 100, 100);
    status().Tick(16);
    EXPECT_FALSE(LampOn(2));
    EXPECT_FLOAT_EQ(Fill("sp_bar"), 0.2f);

    // Armour at 0: its drop and low lamps; without armour, its dismount lamp.
    Layers(20, 100, 0, 100, 100, 100);
    status().Tick(16);
    EXPECT_TRUE(LampOn(4));
    EXPECT_TRUE(LampOn(5));
    Layers(20, 100, 0, 0, 100, 100);
    status().Tick(16);
    EXPECT_TRUE(LampOn(6));
    EXPECT_FALSE(LampOn(5));
    EXPECT_EQ(Text("sp_label"), "20");
    EXPECT_EQ(Text("dp_label"), "100");
}

TEST_F(StatusEngineTest, HitsFlashTheIconsAndTheBackPlateFor50Ms) {
    Layers(100, 100, 100, 100, 100, 100);
    status().Tick(16);
    EXPECT_FLOAT_EQ(Opacity("p_back_icon"), 0.7f);
    EXPECT_FLOAT_EQ(Opacity("sp_icon"), 0.8f); // 0.05 + 0.75
    EXPECT_FLOAT_EQ(Opacity("ap_icon"), 1.0f); // 0.05 + 0.95
    Layers(100, 100, 60, 100, 100, 100);
    status().Tick(16);
    EXPECT_FLOAT_EQ(Opacity("ap_icon"), 1.0f);
    EXPECT_FLOAT_EQ(Opacity("p_back_icon"), 1.0f);
    status().Tick(30);
    EXPECT_FLOAT_EQ(Opacity("p_back_icon"), 1.0f); // 30 ms of 50 gone
    status().Tick(20);
    EXPECT_FLOAT_EQ(Opacity("p_back_icon"), 0.7f);
    status().Tick(16);
    EXPECT_FLOAT_EQ(Opacity("ap_icon"), 0.62f); // 0.05 + 0.95 * 0.6 once the flash is over
}

TEST_F(StatusEngineTest, ConditionCriticalDamageAndWarnings) {
    struct Case {
        float shield, shieldMax, armor, armorMax, hull, hullMax;
        const char* condition;
        bool critical; // hull below 30
        bool lamp23;   // the outermost layer below half
    };
    const Case cases[] = {
        {50, 100, 50, 100, 100, 100, "67%", false, false},
        {200, 100, 100, 100, 100, 100, "100%", false, false}, // above its maxima counts as whole
        {0, 0, 40, 100, 29.9f, 100, "35%", true, true},       // no shield: the armour decides
        {60, 100, 10, 100, 30, 100, "33%", false, false},     // a shield at 60 of 100 decides
        {0, 0, 0, 0, 40, 100, "40%", false, true},
    };
    for (const Case& c : cases) {
        Layers(c.shield, c.shieldMax, c.armor, c.armorMax, c.hull, c.hullMax);
        status().Tick(16);
        EXPECT_EQ(Text("itCriticalDamageValue"), c.condition) << c.condition;
        EXPECT_EQ(status().CriticalDamage(), c.critical) << c.condition;
        EXPECT_EQ(LampOn(23), c.lamp23) << c.condition;
    }
    EXPECT_NE(Global("sounds").find("critical;"), std::string::npos);

    // Two incoming rockets: the nearest, in thousands with two decimals.
    Layers(100, 100, 100, 100, 100, 100);
    TGameObject* r1 = Place("rocket1", {3000, 0, 0});
    TGameObject* r2 = Place("rocket2", {0, 1200, 0});
    auto* list = dynamic_cast<TSmartList*>(ship->FindChild("targetedRocketList"));
    list->Add(r1);
    list->Add(r2);
    Run("engine_SetVar('obj.pship.targetedRocket', '2') engine_SetVar('obj.pship.targetedMines', '1') "
        "engine_SetVar('obj.pship.repairedCount', '1')");
    Run("sounds = ''");
    status().Tick(16);
    EXPECT_EQ(Global("rocketKm"), "1.20");
    EXPECT_TRUE(LampOn(20));
    EXPECT_TRUE(LampOn(22));
    EXPECT_TRUE(LampOn(24));
    EXPECT_FALSE(LampOn(25));
    EXPECT_EQ(Global("sounds"), "missile_in;mines;");
    Run("engine_SetVar('obj.pship.targetedRocket', '0') engine_SetVar('obj.pship.targetedMines', '0')");
    status().Tick(16);
    EXPECT_FALSE(LampOn(20));
    EXPECT_FALSE(LampOn(22));
}

TEST_F(StatusEngineTest, GaugesSpeedAndRadialBlur) {
    Run("engine_SetVar('player.selfShipControl', '1')");
    SetValue("obj.pship.param.power", 200, 50);
    Find("bar_Energy")->AsRect()->SetHeight(120);
    Find("bar_Energy")->AsRect()->SetWidth(180);
    Find("bar_Speed")->AsRect()->SetHeight(150);
    status().Tick(16);
    // At rest the blur passes 0.
    EXPECT_EQ(Global("blur"), "0");
    EXPECT_EQ(Text("P_SpeedValue"), "0");
    EXPECT_EQ(Text("MaxSpeed"), "100");
    // The energy readout rides the curved gauge at a quarter: top 90, left 80 * 0.5625 + 180 - 155.
    EXPECT_EQ(Text("P_PowerValue"), "50");
    EXPECT_EQ(Text("MaxEnergy"), "200");
    EXPECT_EQ(Find("P_PowerValue")->AsRect()->Top(), 90);
    EXPECT_EQ(Find("P_PowerValue")->AsRect()->Left(), 70);

    // Above the top speed the blur passes 5.
    shipAI->SetVelocity({250, 0, 0});
    status().Tick(16);
    EXPECT_EQ(Global("blur"), "5");
    EXPECT_EQ(Text("P_SpeedValue"), "250");
    // The set speed's pointer: half speed puts it half way down the gauge.
    Serv("'SHIP', 'SPEED', 'SET', 50");
    status().Tick(16);
    EXPECT_EQ(Find("point_Speed")->AsRect()->Top(), 75);
    // It is a share of the top speed, not of 100: a faster ship's half speed is
    // half way down too, and its full speed at the top of the gauge.
    shipAI->GetPhysicParams()->maxVelocity = 420;
    Serv("'SHIP', 'SPEED', 'SET', 50");
    status().Tick(16);
    EXPECT_EQ(Find("point_Speed")->AsRect()->Top(), 75);
    Serv("'SHIP', 'SPEED', 'SET', 100");
    status().Tick(16);
    EXPECT_EQ(Find("point_Speed")->AsRect()->Top(), 0);
    Run("engine_SetVar('obj.pship.isForsage', '1') engine_SetVar('obj.pship.overheat', '1')");
    status().Tick(16);
    EXPECT_TRUE(Find("ForsageTransporant")->AsSens()->Visible());
    EXPECT_TRUE(Find("Overheat")->AsSens()->Visible());
}

// The blur's power changes with the speed every frame; the chunk that hands it
// to the script does not: the same compiled function runs every frame (once
// kept), the power its number argument.
TEST_F(StatusEngineTest, RadialBlurPowerIsTheArgumentOfOneChunk) {
    Run("blurChunks = 0 local last "
        "function SetPPParam(e, p, v) "
        "  local chunk = debug.getinfo(2, 'f').func "
        "  if chunk ~= last then blurChunks = blurChunks + 1 last = chunk end "
        "  blur = e .. ' ' .. p .. ' ' .. type(v) .. ' ' .. tostring(v) end");
    for (float warm : {10.0f, 20.0f}) {
        shipAI->SetVelocity({warm, 0, 0});
        status().Tick(16);
    }
    Run("blurChunks = 0");
    const struct {
        float speed;
        const char* blur;
    } cases[] = {{0, "0"}, {40, "2"}, {33, "1.6500000953674"}, {90, "4.5"}, {250, "5"}};
    for (const auto& c : cases) {
        shipAI->SetVelocity({c.speed, 0, 0});
        status().Tick(16);
        EXPECT_EQ(Global("blur"), std::string("radian_blur radian_blur_power number ") + c.blur) << c.speed;
    }
    EXPECT_EQ(Global("blurChunks"), "0");
}

TEST_F(StatusEngineTest, RegimeLampsFollowThePlayersRegime) {
    struct Case {
        const char* word;
        bool defend, attack;
    };
    for (const Case& c :
         {Case{"ATTACK", false, true}, Case{"DEFEND", true, false}, Case{"NORMAL", false, false}}) {
        Serv(std::string("'SHIP', 'MODE', '") + c.word + "'");
        status().Tick(16);
        EXPECT_EQ(LampOn(11), c.defend) << c.word;
        EXPECT_EQ(LampOn(12), c.attack) << c.word;
    }
}

TEST_F(StatusEngineTest, TargetPanelShowsTheSelectedShip) {
    // A ship selected before its physics is built shows no speed, and the game goes on.
    Place("fresh", {800, 0, 0});
    Run("engine_SetVar('player.selected', 'fresh')");
    status().Tick(16);
    EXPECT_EQ(Text("SpeedValue"), "0");
    EXPECT_EQ(Text("RangeValue"), "800");
    EXPECT_TRUE(trap.reports.empty());
    Run("engine_SetVar('player.selected', '')");

    TGameObject* t = Place("raider", {1000, 0, 0});
    Run("engine_SetVar('obj.raider.name', 'Raider One')");
    SetValue("obj.raider.param.shield", 100, 25);
    BaseAIUnitClass* ai = GiveAI(t);
    ai->SetVelocity({0, 30, 0});
    status().Tick(16);
    EXPECT_FALSE(Find("EnemyShipInfo")->AsSens()->Visible());
    EXPECT_TRUE(Find("TargetAnimationPanel")->AsSens()->Visible());

    Run("engine_SetVar('player.selected', 'raider')");
    Find("KillMessage")->AsSens()->SetVisible(true);
    status().Tick(16);
    EXPECT_TRUE(Find("EnemyShipInfo")->AsSens()->Visible());
    EXPECT_FALSE(Find("TargetAnimationPanel")->AsSens()->Visible());
    EXPECT_FALSE(Find("TargetAnimationPanel")->AsSens()->Ticked());
    EXPECT_FALSE(Find("KillMessage")->AsSens()->Visible()); // a new target
    EXPECT_EQ(Text("ShipName"), "Raider One");
    EXPECT_EQ(Text("SpeedValue"), "30");
    EXPECT_EQ(Text("RangeValue"), "1000");
    EXPECT_FLOAT_EQ(dynamic_cast<TAHObjParamBar*>(Find("TargetShieldBar"))->Value(), 0.25f);
    auto* view = dynamic_cast<TViewportNode*>(Find("TargetViewport"));
    EXPECT_TRUE(view->ShipView());
    EXPECT_TRUE(view->Visible());
    EXPECT_EQ(view->Content(), "frigate");
    // The lead mark sits over a moving target within reach on the screen.
    EXPECT_TRUE(Find("Deflection")->AsSens()->Visible());
    EXPECT_NEAR(Find("Deflection")->AsRect()->Left() + 50, 511, 2);
    Move(t, {6000, 0, 0});
    status().Tick(16);
    EXPECT_FALSE(Find("Deflection")->AsSens()->Visible());
    Move(t, {-1000, 0, 0}); // behind: off the screen
    status().Tick(16);
    EXPECT_FALSE(Find("Deflection")->AsSens()->Visible());

    // Pause stops the panel's ticks; the end of the pause lets them run again.
    desk->SetProperty("PAUSE", "1");
    EXPECT_FALSE(Find("TargetAnimationPanel")->AsSens()->Ticked());
    desk->SetProperty("PAUSE", "0");
    EXPECT_TRUE(Find("TargetAnimationPanel")->AsSens()->Ticked());

    status().ShowKillMessage(t);
    EXPECT_TRUE(Find("KillMessage")->AsSens()->Visible());
    Run("engine_SetVar('player.selected', '')");
    status().Tick(16);
    EXPECT_FALSE(Find("EnemyShipInfo")->AsSens()->Visible());
    EXPECT_FALSE(view->Visible());
}

TEST_F(StatusEngineTest, TheLeadMarkShowsOnlyWhileTheWeaponPointsNearTheTarget) {
    TGameObject* t = Place("raider", {1000, 0, 0});
    GiveAI(t)->SetVelocity({0, 30, 0});
    Run("engine_SetVar('player.selected', 'raider')");
    // The target stays in the middle of the screen; the ship carrying the
    // guns turns away from it (degrees off its nose -> the mark shown).
    const struct {
        float degrees;
        bool shown;
    } cases[] = {{0, true}, {40, true}, {49, true}, {51, false}, {90, false}, {180, false}, {-45, true}};
    TBaseRenderUnit* unit = UnitOf(ship);
    for (const auto& c : cases) {
        unit->SetLocalMatrix(MatrixRotationZ(c.degrees * 3.14159265f / 180.0f));
        unit->UpdateMatrices(nullptr);
        status().Tick(16);
        EXPECT_EQ(Find("Deflection")->AsSens()->Visible(), c.shown) << c.degrees;
    }
}

TEST_F(StatusEngineTest, ATargetDestroyedWhileSelectedSaysSoOnItsPanel) {
    Place("raider", {1000, 0, 0});
    Run("engine_SetVar('player.selected', 'raider')");
    status().Tick(16);
    EXPECT_FALSE(Find("KillMessage")->AsSens()->Visible());
    ShipController->MatchSpeed();
    ASSERT_TRUE(ShipController->Matching());
    Run("engine_SetVar('obj.raider.isDestroyed', '1')");
    status().Tick(16);
    EXPECT_TRUE(Find("KillMessage")->AsSens()->Visible());
    EXPECT_FALSE(ShipController->Matching()); // the kill ends the speed matching
    // Said once: matching asked for again is not stopped by the message that stands.
    ShipController->MatchSpeed();
    status().Tick(16);
    EXPECT_TRUE(ShipController->Matching());
    EXPECT_TRUE(Find("KillMessage")->AsSens()->Visible());
    // The next target starts without it.
    Place("other", {900, 0, 0});
    Run("engine_SetVar('player.selected', 'other')");
    status().Tick(16);
    EXPECT_FALSE(Find("KillMessage")->AsSens()->Visible());
}

} // namespace
} // namespace vesk::test
