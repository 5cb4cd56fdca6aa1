// The throttle of the player's ship: speed steps and modes, the set speed in
// per cent, speed matching and the mouse steering axes.
#include <gtest/gtest.h>

#include "hud_fixture.h"
#include "interface/status_engine.h"
#include "physics/player_physic.h"

namespace vesk::test {
namespace {

class ShipControllerTest : public HudTest {
protected:
    void SetUp() override {
        HudTest::SetUp();
        ShipController = std::make_unique<TShipController>();
        // The throttle shows its matching on the status panel's match mark.
        mark = Node(desk, "MachSpeedIcon");
        mark->SetVisible(false);
        desk->Status().Bind();
        ShipController->SetMatchMark(&desk->Status());
        trap.reports.clear();
        Run("engine_SetVar('player.selfShipControl', '1')");
    }
    TShipController& throttle() { return *ShipController; }
    float Limit() { return shipAI->GetPhysicParams()->speedLimit; }
    void Top(float v) { shipAI->GetPhysicParams()->maxVelocity = v; }
    TMegaButton* mark = nullptr;
};

TEST_F(ShipControllerTest, StepsAddTheStepToTheSpeedWithinItsLimits) {
    Top(200);
    TShipController::SetShipSpeedValue(1);
    std::vector<float> speeds;
    for (int i = 0; i < 5; ++i) {
        throttle().SpeedUp();
        speeds.push_back(Limit());
    }
    EXPECT_EQ(speeds, (std::vector<float>{11, 21, 31, 41, 51}));
    for (int i = 0; i < 30; ++i) throttle().SpeedUp();
    EXPECT_FLOAT_EQ(Limit(), 200); // no further than the top speed
    Run("engine_SetVar('player.playerShipMinSpeed', '25')");
    for (int i = 0; i < 30; ++i) throttle().SpeedDown();
    EXPECT_FLOAT_EQ(Limit(), 25); // nor below the lowest

    // In minimum mode a step changes only the set speed; NORM applies it.
    throttle().SpeedMin();
    EXPECT_EQ(throttle().Mode(), TShipController::kMinimum);
    EXPECT_FLOAT_EQ(Limit(), 10); // the step
    throttle().SpeedUp();
    EXPECT_FLOAT_EQ(Limit(), 10);
    EXPECT_FLOAT_EQ(throttle().DisplayedSpeed(), 35);
    throttle().SpeedNorm();
    EXPECT_FLOAT_EQ(Limit(), 35);
    throttle().SpeedMax();
    EXPECT_FLOAT_EQ(Limit(), 200);
    EXPECT_EQ(throttle().MatchPause(), throttle().MatchTime());

    // A speed in per cent leaves the mode as it is.
    Top(330);
    throttle().SetSpeed(50);
    EXPECT_FLOAT_EQ(Limit(), 165);
    EXPECT_EQ(throttle().Mode(), TShipController::kMaximum);
    EXPECT_THROW(throttle().SetSpeed(-1), Halted);
    EXPECT_EQ(trap.lastFatal,
              "TShipController.SetSpeed fault: invalid speed value - -1. Valid range is [0..100]");
}

TEST_F(ShipControllerTest, MatchingFollowsTheTargetsSpeedAfterItsPause) {
    // Without a selected object matching does not start.
    throttle().MatchSpeed();
    EXPECT_FALSE(throttle().Matching());
    EXPECT_FALSE(mark->Visible());

    TGameObject* t = Place("target", {500, 0, 0});
    GiveAI(t)->SetVelocity({40, 0, 0});
    Run("engine_SetVar('player.selected', 'target') engine_SetVar('player.playerShipMinSpeed', '5')");
    TShipController::SetShipSpeedValue(20);
    throttle().MatchSpeed();
    EXPECT_TRUE(throttle().Matching());
    EXPECT_TRUE(mark->Visible());
    // The own ship is slower: its speed value rises by t / 100 per step.
    throttle().MatchStep(100);
    EXPECT_FLOAT_EQ(Limit(), 21);
    EXPECT_FALSE(mark->Flashing());
    // A manual step pauses matching for the match time, the mark flashing meanwhile.
    throttle().SetMatchTime(150);
    throttle().SpeedUp();
    throttle().MatchStep(100);
    EXPECT_TRUE(mark->Flashing());
    const float stepped = Limit();
    throttle().MatchStep(100);
    EXPECT_FLOAT_EQ(Limit(), stepped);
    throttle().MatchStep(100);
    EXPECT_FLOAT_EQ(Limit(), stepped + 1);
    EXPECT_FALSE(mark->Flashing());
    // The manual step had turned matching off (the mark stays); toggled on, then off.
    EXPECT_FALSE(throttle().Matching());
    throttle().MatchSpeed();
    EXPECT_TRUE(throttle().Matching());
    throttle().MatchSpeed();
    EXPECT_FALSE(throttle().Matching());
    EXPECT_FALSE(mark->Visible());
}

TEST_F(ShipControllerTest, MouseAxesAverageOverTheIntervalAndSteerTheShip) {
    struct Case {
        int interval;
        int dx, dy;
        int ms;
        float h, v;
    };
    const Case cases[] = {
        {1, 0, 0, 16, 0, 0},           // no movement, no axes
        {1, 8, -4, 16, 0.75f, 0.375f}, // 8 * 1.5 / 16; up is positive
        {1, 100, 0, 16, 1, 0},         // kept within 1
        {40, 8, 0, 16, 0, 0},          // the interval not over: the axes stay
    };
    for (const Case& c : cases) {
        ShipController = std::make_unique<TShipController>();
        throttle().SetInterval(c.interval);
        throttle().MouseMoved(c.dx, c.dy);
        throttle().FrameTick(static_cast<float>(c.ms));
        EXPECT_FLOAT_EQ(throttle().AxisH(), c.h) << c.dx;
        EXPECT_FLOAT_EQ(throttle().AxisV(), c.v) << c.dy;
    }
    // The axes are the ship's steering while the player flies it himself.
    ShipController = std::make_unique<TShipController>();
    throttle().MouseMoved(8, -4);
    throttle().FrameTick(16);
    ASSERT_TRUE(throttle().Steer());
    float h = 0, v = 0;
    shipAI->PlayerComponent()->GetTurn(h, v);
    EXPECT_FLOAT_EQ(h, 0.75f);
    EXPECT_FLOAT_EQ(v, 0.375f);
    Run("engine_SetVar('player.selfShipControl', '0')");
    EXPECT_FALSE(throttle().Steer());
}

} // namespace
} // namespace vesk::test
