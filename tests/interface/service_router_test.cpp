// engine_Serv as the scripts call it: its fault reports, its results, and
// each service reaching what it drives (the player's ship, the timers, the
// desktop, the cursor, the throttle, the game's time factor).
#include <gtest/gtest.h>

#include <filesystem>

#include "hud_fixture.h"
#include "interface/joy_actions.h"
#include "interface/simple_node.h"
#include "physics/player_physic.h"
#include "shared/helpers.h"

namespace vesk::test {
namespace {

class ServiceRouterTest : public HudTest {
protected:
    void SetUp() override {
        HudTest::SetUp();
        BuildHud();
    }
    // The fatal report a call ends the program with.
    std::string FaultOf(const std::string& args) {
        trap.reports.clear();
        EXPECT_THROW(Run("engine_Serv(" + args + ")"), Halted) << args;
        return FirstFatal();
    }
};

TEST_F(ServiceRouterTest, UnknownWordsEndTheProgramWithTheCallInTheReport) {
    struct Case {
        const char* args;
        const char* report;
    };
    const Case cases[] = {
        {R"("FOO", "BAR", 1, 2)",
         R"(engine_Serv fault - incorrect service: FOO; Service: FOO, Command: BAR, ParamCount= 4; Params: "1";"2";)"},
        {R"("ship", "speed", "fast")",
         R"(engine_Serv fault - incorrect parameter (FAST); Service: SHIP, Command: SPEED, ParamCount= 3; Params: "fast";)"},
        {R"("SHIP", "FORCING", "x")",
         R"(engine_Serv fault - incorrect parameter; Service: SHIP, Command: FORCING, ParamCount= 3; Params: "x";)"},
        {R"("SHIP", "MODE", "x")",
         R"(engine_Serv fault - incorrect param (X); Service: SHIP, Command: MODE, ParamCount= 3; Params: "x";)"},
        {R"("SHIP", "DIVE")",
         "engine_Serv fault - incorrect command (DIVE); Service: SHIP, Command: DIVE, ParamCount= 2"},
        {R"("PHYSICS", "SHIP", "fly")",
         R"(engine_Serv fault - incorrect method (FLY); Service: PHYSICS, Command: SHIP, ParamCount= 3; Params: "fly";)"},
        {R"("CAMERA", "ROTATE", "maybe")",
         R"(engine_Serv fault - incorrect subcommand (MAYBE); Service: CAMERA, Command: ROTATE, ParamCount= 3; Params: "maybe";)"},
        {R"("DESKTOP", "MODE", "IMWHAT")",
         R"(engine_Serv fault - incorrect interface mode (IMWHAT); Service: DESKTOP, Command: MODE, ParamCount= 3; Params: "IMWHAT";)"},
        {R"("DESKTOP", "PRINTTREE", "x")",
         R"(engine_Serv fault - incorrect WriteTree Flag (X); Service: DESKTOP, Command: PRINTTREE, ParamCount= 3; Params: "x";)"},
        {R"("DESKTOP", "SETCOLOR", "red", "FF0000")",
         R"(engine_Serv fault - incorrect color index (red); Service: DESKTOP, Command: SETCOLOR, ParamCount= 4; Params: "red";"FF0000";)"},
        {R"("HELPER", "ADD", "boss", 1)",
         R"(engine_Serv fault - incorrect helper type (BOSS); Service: HELPER, Command: ADD, ParamCount= 4; Params: "boss";"1";)"},
        {R"("DIRECTIVE", "ISNEW")",
         "engine_Serv fault - incorrect command (ISNEW); Service: DIRECTIVE, Command: ISNEW, ParamCount= 2"},
        // A number parameter that is no number fails in the conversion.
        {R"("TIMER", "SET", "soon")",
         R"(engine_Serv fault - critical error; Service: TIMER, Command: SET, ParamCount= 3; Params: "soon";)"},
        {R"("GUNS", "SELECT", "")",
         R"(engine_Serv fault - critical error; Service: GUNS, Command: SELECT, ParamCount= 3; Params: "";)"},
    };
    for (const Case& c : cases) EXPECT_EQ(FaultOf(c.args), c.report);
    // Operations report in their own words.
    FaultOf(R"("SHIP", "SPEED", "SET", 101)");
    EXPECT_TRUE(
        trap.HasReport("TShipController.SetSpeed fault: invalid speed value - 101. Valid range is [0..100]"));
    FaultOf(R"("TARGET", "SETID", "nobody")");
    EXPECT_TRUE(trap.HasReport("TAHLayer.Select fault: control not found - \"nobody\""));
}

TEST_F(ServiceRouterTest, ResultsComeBackAsTexts) {
    EXPECT_EQ(Serv(R"("DIRECTIVE", "ISEXIST")"), "0");
    Run("n_ = select('#', engine_Serv('TARGET', 'GETID'))");
    EXPECT_EQ(Global("n_"), "1"); // one empty text when nothing is selected
    EXPECT_EQ(Serv(R"("TARGET", "GETID")"), "");
    Run("n_ = select('#', engine_Serv('DEBUG', 'SHOW'))");
    EXPECT_EQ(Global("n_"), "0");

    // The game timer counts up; 1.5 s after 90 it tells 91. The countdown shows and stops.
    EXPECT_EQ(Serv(R"("TIMER", "SET", 90)"), "");
    Tick(100, 15);
    EXPECT_EQ(Serv(R"("TIMER", "GET")"), "91");
    EXPECT_TRUE(desk->GameTimer()->Visible());
    Serv(R"("MISSIONTIMER", "SET", "2")");
    Tick(100, 5);
    EXPECT_EQ(Serv(R"("MISSIONTIMER", "GET")"), "1");
    Serv(R"("MISSIONTIMER", "STOP")");
    EXPECT_EQ(Serv(R"("MISSIONTIMER", "GET")"), "0");
    EXPECT_FALSE(desk->CountdownTimer()->Visible());
}

TEST_F(ServiceRouterTest, GameServiceStepsTheTimeFactorByFour) {
    struct Case {
        float before;
        const char* command;
        float after;
    };
    const Case cases[] = {{1, "SPEEDUP", 5},   {5, "SPEEDUP", 9},   {1, "SPEEDDOWN", 1},
                          {5, "SPEEDDOWN", 1}, {9, "SPEEDDOWN", 5}, {4.5f, "SPEEDDOWN", 4.5f}};
    for (const Case& c : cases) {
        TimeFactor = c.before;
        Serv(std::string("'GAME', '") + c.command + "'");
        EXPECT_FLOAT_EQ(TimeFactor, c.after) << c.before << " " << c.command;
    }
    TimeFactor = 1.0f;
    Serv(R"("GAME", "TIMEWARPON")");
    EXPECT_TRUE(desk->TimeWarp());
    Serv(R"("GAME", "TIMEWARPOFF")");
    EXPECT_FALSE(desk->TimeWarp());
}

TEST_F(ServiceRouterTest, DesktopCursorAndDebugServicesReachTheDesktop) {
    Serv(R"("DESKTOP", "MODE", "imspace")");
    EXPECT_EQ(desk->Mode(), TDeskTop::kModeSpace);
    Serv(R"("DESKTOP", "MODE", "IMHIDEINTERFACE")");
    EXPECT_EQ(desk->Mode(), TDeskTop::kModeHideInterface);
    // A six-digit colour is opaque; eight digits keep their alpha.
    Serv(R"("DESKTOP", "SETCOLOR", 3, "00FF00")");
    EXPECT_EQ(SysColorTable->GetColor(3), 0xFF00FF00u);
    Serv(R"("DESKTOP", "SETCOLOR", "4", "80112233")");
    EXPECT_EQ(SysColorTable->GetColor(4), 0x80112233u);
    // The tree dump goes to a file named after the filter.
    Serv(R"("DESKTOP", "PRINTTREE", "tick")");
    EXPECT_EQ(InterfaceTools->DumpWriteFlag(), 6);
    bool dumped = false;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        dumped = dumped || e.path().filename().string().rfind("DesktopTree_TICK_", 0) == 0;
    EXPECT_TRUE(dumped);

    Serv(R"("CURSOR", "SETPOS", 100, "x")");
    EXPECT_EQ(desk->CursorPosition(), (TIPoint{100, 0}));
    Serv(R"("CURSOR", "CHANGE", "aim")");
    EXPECT_EQ(desk->Cursor().CurrentIndex(), 1);
    Serv(R"("CURSOR", "HIDE")");
    EXPECT_FALSE(Find("CursorLayer")->AsSens()->Visible());
    Serv(R"("CURSOR", "SHOW")");
    EXPECT_TRUE(Find("CursorLayer")->AsSens()->Visible());

    Serv(R"("CAMERA", "ROTATE", "on")");
    EXPECT_TRUE(desk->CameraRotationMode());
    Serv(R"("CAMERA", "MODDINGROTATE", "OFF")");
    EXPECT_FALSE(desk->CameraRotationMode());
    Serv(R"("DEBUG", "SHOWSOUNDDATA")");
    EXPECT_TRUE(desk->SoundDataFlag());
    Serv(R"("DEBUG", "HIDESOUNDDATA")");
    EXPECT_FALSE(desk->SoundDataFlag());

    lamps->TurnOnType(3);
    lamps->Execute("TURNONALL");
    Serv(R"("INTERFACE", "RESETINDICATORS")");
    EXPECT_FALSE(lamps->AllOn());
    EXPECT_FALSE(lamps->Lamp(3)->Visible());
}

// The cursor and its sequencer hold their nodes by id: scripts may delete
// them (the looks, the whole layers) and go on calling the services.
TEST_F(ServiceRouterTest, CursorServicesOutliveTheNodesScriptsDelete) {
    Run("engine_Desktop('insert', 'SequencerLayer', 'desktop') "
        "for i = 1, 7 do engine_Desktop('insert', 'Sequencer_' .. i, 'SequencerLayer') end");
    Serv(R"("CURSOR", "INIT")");
    ASSERT_EQ(desk->Cursor().CurrentLook(), Find("arrow"));

    // The shown look goes; the one that takes its place is chosen by name.
    Run("engine_Desktop('delete', 'arrow')");
    TEODestroyManager->Flush();
    Serv(R"("CURSOR", "SETPOS", 100, 120)");
    EXPECT_EQ(desk->CursorPosition(), (TIPoint{100, 120}));
    Serv(R"("CURSOR", "CHANGE", "aim")");
    Serv(R"("CURSOR", "SETPOS", 200, 220)");
    auto* aim = Find("aim")->AsRect();
    EXPECT_EQ(desk->Cursor().CurrentLook(), aim);
    EXPECT_TRUE(aim->Visible());
    EXPECT_EQ(aim->Left(), 200);
    EXPECT_EQ(aim->Top(), 220);

    // Without any layer the services change nothing and fail nothing.
    Run("engine_Desktop('delete', 'CursorLayer') engine_Desktop('delete', 'SequencerLayer')");
    TEODestroyManager->Flush();
    trap.reports.clear();
    for (const char* call : {R"("CURSOR", "SETPOS", 5, 6)", R"("CURSOR", "HIDE")", R"("CURSOR", "SHOW")",
                             R"("SEQUENCER", "SHOW")", R"("SEQUENCER", "HIDE")"})
        Serv(call);
    EXPECT_EQ(desk->Cursor().CurrentLook(), nullptr);
    EXPECT_EQ(desk->Sequencer().Layer(), nullptr);
    EXPECT_EQ(desk->CursorPosition(), (TIPoint{5, 6}));
    EXPECT_TRUE(trap.reports.empty());
}

TEST_F(ServiceRouterTest, DebugServiceWearsTheShipDown) {
    for (const char* layer : {"armor", "shield", "durability"}) {
        SetValue(std::string("obj.pship.param.") + layer, 200, 150);
        Run(std::string("engine_SetVar('obj.pship.param.") + layer + ".speed', '3')");
    }
    Serv(R"("DEBUG", "DECARMOR")");
    Serv(R"("DEBUG", "DECSHIELD")");
    Serv(R"("DEBUG", "DECSHIELD")");
    EXPECT_FLOAT_EQ(Value("obj.pship.param.armor"), 130);
    EXPECT_FLOAT_EQ(Value("obj.pship.param.armor.speed"), 0);
    EXPECT_FLOAT_EQ(Value("obj.pship.param.shield"), 110);
    EXPECT_FLOAT_EQ(Value("obj.pship.param.durability"), 150);
    EXPECT_FLOAT_EQ(Value("obj.pship.param.durability.speed"), 3);
}

TEST_F(ServiceRouterTest, ShipServiceSetsSpeedRegimeAndAfterburner) {
    // Words in lower case work: the service, the command and the word after SPEED are upper-cased.
    Serv(R"("ship", "speed", "set", "50")");
    EXPECT_FLOAT_EQ(shipAI->GetPhysicParams()->speedLimit, 50.0f); // of a top speed of 100
    Serv(R"("SHIP", "SPEED", "max")");
    EXPECT_EQ(ShipController->Mode(), TShipController::kMaximum);
    EXPECT_FLOAT_EQ(shipAI->GetPhysicParams()->speedLimit, 100.0f);

    // The regime cycles attack, defence, base; the words set it.
    const char* const turns[] = {"TPlayerShipAttackRegime", "TPlayerShipDefenceRegime",
                                 "TPlayerShipBaseRegime", "TPlayerShipAttackRegime"};
    for (const char* expected : turns) {
        Serv(R"("SHIP", "MODE", "TURN")");
        EXPECT_EQ(HudShipRegime(), expected);
    }
    Serv(R"("SHIP", "MODE", "defend")");
    EXPECT_EQ(HudShipRegime(), "TPlayerShipDefenceRegime");
    Serv(R"("SHIP", "MODE", "NORMAL")");
    EXPECT_EQ(HudShipRegime(), "TPlayerShipBaseRegime");

    Run("engine_SetVar('obj.pship.events.startForsage', 'forsage = \"on\"') "
        "engine_SetVar('obj.pship.events.endForsage', 'forsage = \"off\"')");
    Serv(R"("SHIP", "FORCING", "ON")");
    EXPECT_EQ(Global("forsage"), "on");
    Serv(R"("SHIP", "FORCING", "off")");
    EXPECT_EQ(Global("forsage"), "off");
}

TEST_F(ServiceRouterTest, PhysicsServiceAndJoystickActionsSteerThePlayersShip) {
    Run("engine_SetVar('player.selfShipControl', '1')");
    ASSERT_TRUE(shipAI->IsPlayerControlled());
    TPlayerCollisionPhysicComponent& pc = *shipAI->PlayerComponent();
    shipAI->SetVelocity({100, 0, 0});
    Serv(R"("PHYSICS", "SHIP", "strafeleft")");
    shipAI->Tick(100);
    EXPECT_GT(pc.GetStrafe(), 0.0f);
    Serv(R"("PHYSICS", "COCKPITCAMERA", "STRAFESTOP")");
    for (int i = 0; i < 20; ++i) shipAI->Tick(100);
    EXPECT_NEAR(pc.GetStrafe(), 0.0f, 1e-3f);

    // Rolling without a factor rolls with factor 0 (the roll component's own rate).
    Serv(R"("PHYSICS", "SHIP", "ROTATELEFT")");
    Serv(R"("PHYSICS", "SHIP", "STOPROTATE")");
    EXPECT_TRUE(trap.reports.empty());

    // A joystick axis bound to strafing goes through engine_Serv to the same ship.
    RunJoyAction(-500, 0, "strafe", 1036, false, 16, 1, [](int, bool) {});
    for (int i = 0; i < 3; ++i) shipAI->Tick(100);
    EXPECT_LT(pc.GetStrafe(), 0.0f);
    RunJoyAction(0, 0, "velocity", 1038, false, 16, 1, [](int, bool) {});
    const float before = shipAI->GetPhysicParams()->speedLimit;
    RunJoyAction(0, 120, "velocity", 1038, false, 16, 1, [](int, bool) {}); // two steps of 50 up
    EXPECT_FLOAT_EQ(shipAI->GetPhysicParams()->speedLimit, std::min(100.0f, before + 2 * 5.0f));
}

TEST_F(ServiceRouterTest, MouseAndTargetServicesSetTheThrottle) {
    Serv(R"("MOUSE", "SETSENSPARAM", "2.5")");
    Serv(R"("MOUSE", "SETTIMEPARAM", "30.6")");
    EXPECT_FLOAT_EQ(ShipController->Sensitivity(), 2.5f);
    EXPECT_EQ(ShipController->Interval(), 31);
    Serv(R"("TARGET", "MATCHTIME", "2500")");
    EXPECT_EQ(ShipController->MatchTime(), 2500);
    // Matching needs a selected object.
    Serv(R"("TARGET", "MATCHSPEED")");
    EXPECT_FALSE(ShipController->Matching());
}

} // namespace
} // namespace vesk::test
