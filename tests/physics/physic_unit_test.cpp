// The physics unit: state registration, forces and integration, the stop and
// move orders, the afterburner, following and orientation.
#include "physics/physic_unit.h"
#include "shared/helpers.h"
#include "support/error_trap.h"

#include "physic_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vesk {
namespace {

using test::ErrorTrap;
using test::FakeOwner;
using test::Halted;
using test::Rig;

Vec3 Heading(const FakeOwner& o) {
    Vec3 x;
    MatrixGetAxes(o.matrix, &x, nullptr, nullptr);
    return x;
}

TEST(PhysicUnit, RegistersTheSeventeenStatesInOrder) {
    Rig rig(SC_BARGA);
    const auto& s = rig.unit->States();
    ASSERT_EQ(s.size(), 17u);
    EXPECT_EQ(s[0].name, "DOMOVETOPOINT");
    EXPECT_EQ(s[2].name, "D0STOP");
    EXPECT_EQ(s[2].mask, 0x4u);
    EXPECT_EQ(s[16].name, "VELOCITYACCELERATE");
    EXPECT_EQ(s[16].mask, 0x10000u);
    for (size_t i = 0; i < s.size(); ++i) EXPECT_EQ(s[i].mask, 1ull << i) << s[i].name;

    rig.unit->AddState(D0STOP | HORIZONTALALIGN);
    EXPECT_EQ(rig.unit->GetStatesString(), "D0STOP #R HORIZONTALALIGN #R ");
}

TEST(PhysicUnit, RegisteringATakenMaskReportsAndStillAppends) {
    ErrorTrap trap;
    Rig rig(SC_BARGA);
    EXPECT_THROW(rig.unit->RegisterState("AGAIN", 0x4), Halted);
    ASSERT_EQ(trap.reports.size(), 1u);
    EXPECT_EQ(trap.reports[0].flags, "mhl");
    EXPECT_EQ(trap.reports[0].text,
              "BasePhysicUnitClass.RegisterState: \xF2\xE0\xEA\xEE\xE9 \xF4\xEB\xE0\xE3 "
              "\xF3\xE6\xE5 \xE7\xE0\xF0\xE5\xE3\xE8\xF1\xF2\xF0\xE8\xF0\xEE\xE2\xE0\xED: 4");
    EXPECT_EQ(rig.unit->States().size(), 18u);
    rig.unit->AddState(D0STOP);
    EXPECT_EQ(rig.unit->GetStatesString(), "D0STOP #R AGAIN #R ");
}

// Hand-computed 30 ms steps: thrust = mass * limit / accelerate time (2 s).
TEST(PhysicUnit, IntegratesVelocityAndPositionPerStep) {
    const struct {
        const char* what;
        int32_t cls;
        float limit;
        uint64_t order;
        float v0;
        float speed[3];
        float x[3];
    } cases[] = {
        {"thrust 50 from rest", SC_BARGA, 100, DOMOVETOPOINT, 0, {1.5f, 3.0f, 4.5f}, {0.045f, 0.135f, 0.27f}},
        {"thrust follows the limit",
         SC_BARGA,
         2,
         DOMOVETOPOINT,
         0,
         {0.03f, 0.06f, 0.09f},
         {0.0009f, 0.0027f, 0.0054f}},
        {"clamped at the limit", SC_BARGA, 2, DOMOVETOPOINT, 10, {2, 2, 2}, {0.06f, 0.12f, 0.18f}},
        {"no order: coasting", SC_BARGA, 100, 0, 10, {10, 10, 10}, {0.3f, 0.6f, 0.9f}},
        {"missile coasting", SC_MISSILE, 100, 0, 10, {10, 10, 10}, {0.3f, 0.6f, 0.9f}},
        {"big units do not move themselves", SC_BIG, 100, DOMOVETOPOINT, 0, {0, 0, 0}, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig(c.cls);
        rig.record.speedLimit = c.limit;
        rig.owner.vel->SetVector({c.v0, 0, 0});
        rig.unit->GetMovePoint()->SetPosition({10000, 0, 0});
        rig.unit->AddState(c.order);
        for (int i = 0; i < 3; ++i) {
            rig.Step(30);
            EXPECT_NEAR(rig.unit->GetSpeed(), c.speed[i], 1e-4f) << "step " << i;
            EXPECT_NEAR(rig.owner.pos.x, c.x[i], 1e-4) << "step " << i;
            EXPECT_NEAR(rig.owner.pos.y, 0.0, 1e-6);
        }
    }
}

TEST(PhysicUnit, ForceListDropsNonNumbersAndReportsOverflow) {
    ErrorTrap trap;
    Rig rig(SC_BARGA);
    rig.unit->ForceAdd({NAN, 0, 0});
    rig.unit->ForceAdd({INFINITY, 0, 0});
    EXPECT_EQ(rig.unit->GetForceNum(), 0);
    for (int i = 0; i <= MAX_FORCES_NUM; ++i) rig.unit->ForceAdd({1, 0, 0});
    EXPECT_EQ(rig.unit->GetForceNum(), MAX_FORCES_NUM + 1);
    rig.unit->SumForces();
    EXPECT_FLOAT_EQ(rig.unit->GetForceSum().x, 1001.0f);
    EXPECT_THROW(rig.unit->ForceAdd({1, 0, 0}), Halted);
    EXPECT_TRUE(trap.HasReport("BasePhysicUnitClass.ForceAdd: ForceNum>MAX_FORCES_NUM"));
    // The room for them stays while steps use much of it, and goes once they do not.
    rig.unit->ClearForces();
    for (int i = 0; i < 300; ++i) rig.unit->ForceAdd({1, 0, 0});
    rig.unit->ClearForces();
    EXPECT_GE(rig.unit->GetForceRoom(), 300u);
    rig.unit->ForceAdd({1, 0, 0});
    rig.unit->ForceAdd({0, 1, 0});
    rig.unit->ClearForces();
    EXPECT_LE(rig.unit->GetForceRoom(), 32u);
    EXPECT_EQ(rig.unit->GetForceNum(), 0);
    // A fresh unit has room for none.
    EXPECT_EQ(Rig(SC_BARGA).unit->GetForceRoom(), 0u);

    // A speed that is not a number is reset before the forces act.
    Rig bad(SC_BARGA);
    bad.owner.vel->SetVector({NAN, 0, 0});
    bad.Step(30);
    EXPECT_FLOAT_EQ(bad.unit->GetSpeed(), 0.0f);
    EXPECT_TRUE(std::isfinite(bad.owner.pos.x));
}

TEST(PhysicUnit, StopOrderBrakesAndStops) {
    {
        SCOPED_TRACE("a speed of exactly 1 stops");
        Rig rig(SC_BARGA);
        rig.owner.vel->SetVector({1, 0, 0});
        rig.unit->AddState(D0STOP);
        rig.Step(30);
        EXPECT_EQ(rig.unit->GetState(), 0u);
        EXPECT_EQ(rig.unit->callbacks, 1);
        EXPECT_FLOAT_EQ(rig.unit->GetSpeed(), 0.0f);
    }
    {
        SCOPED_TRACE("the brake never takes more than the speed");
        Rig rig(SC_BARGA);
        rig.record.accelerateTime = 0.1f; // thrust 1000 per unit of mass
        rig.owner.vel->SetVector({5, 0, 0});
        rig.unit->AddState(D0STOP);
        rig.Step(30);
        EXPECT_NEAR(rig.unit->GetForceSum().x, -5.0f, 1e-4f);
        EXPECT_LE(std::fabs(rig.unit->GetForceSum().x) * 0.03f, 5.0f);
        EXPECT_NEAR(rig.unit->GetSpeed(), 5.0f - 5.0f * 0.03f, 1e-4f);
        EXPECT_EQ(rig.unit->callbacks, 0);
    }
}

TEST(PhysicUnit, MoveOrderForcesAndArrival) {
    const struct {
        const char* what;
        int32_t cls;
        float radius;
        Vec3 target;
        int forces;
        bool stopped;
    } cases[] = {
        {"target at the position: no force", SC_BARGA, 1, {0, 0, 0}, 0, false},
        {"far target: one force", SC_BARGA, 1, {100, 0, 0}, 1, false},
        {"small: twice the radius exceeds the distance", SC_SMALL, 10, {15, 0, 0}, 0, true},
        {"small: still outside", SC_SMALL, 10, {25, 0, 0}, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig(c.cls);
        rig.owner.radius = c.radius;
        rig.unit->GetMovePoint()->SetPosition(c.target);
        rig.unit->AddState(DOMOVETOPOINT | COLLDISABLE);
        rig.unit->SetStepTime(0.03f);
        rig.unit->MoveStep(0.03f);
        EXPECT_EQ(rig.unit->GetForceNum(), c.forces);
        EXPECT_EQ(rig.unit->callbacks, c.stopped ? 1 : 0);
    }
}

TEST(PhysicUnit, AfterburnerRaisesAndRestoresTheLimit) {
    Rig rig(SC_BARGA);
    rig.unit->ForsageOn(80); // at or below the limit: nothing happens
    EXPECT_FALSE(rig.unit->IsForsage());
    EXPECT_FLOAT_EQ(rig.record.speedLimit, 100.0f);

    rig.unit->ForsageOn(300);
    EXPECT_TRUE(rig.unit->IsForsage());
    EXPECT_EQ(rig.unit->GetForsageState(), FORSAGE_ON | FORSAGE_AT_SPEED);
    EXPECT_FLOAT_EQ(rig.record.speedLimit, 300.0f);
    EXPECT_FLOAT_EQ(rig.record.accelerateTime, 3.0f);

    rig.owner.vel->SetVector({250, 0, 0});
    rig.unit->ForsageOff(0);
    EXPECT_EQ(rig.unit->GetForsageState(), FORSAGE_ON | FORSAGE_SLOWING);
    EXPECT_FLOAT_EQ(rig.record.speedLimit, 250.0f);
    rig.Step(1000); // 300 / 3 per second: 150 left
    EXPECT_FLOAT_EQ(rig.record.speedLimit, 150.0f);
    EXPECT_TRUE(rig.unit->IsForsage());
    rig.Step(1000); // held at the configured maximum
    EXPECT_FALSE(rig.unit->IsForsage());
    EXPECT_FLOAT_EQ(rig.record.speedLimit, 100.0f);
    EXPECT_FLOAT_EQ(rig.record.accelerateTime, 2.0f);
}

TEST(PhysicUnit, AfterburnerSettlesAtAHigherSpeed) {
    Rig rig(SC_BARGA);
    rig.unit->ForsageOn(300);
    rig.owner.vel->SetVector({300, 0, 0});
    rig.unit->ForsageOff(200);
    rig.Step(1000);
    EXPECT_FLOAT_EQ(rig.record.speedLimit, 200.0f);
    EXPECT_EQ(rig.unit->GetForsageState(), FORSAGE_ON | FORSAGE_AT_SPEED);
    EXPECT_FLOAT_EQ(rig.unit->GetForsageSpeed(), 200.0f);
}

TEST(PhysicUnit, SpeedLimitRampComesDownToItsTarget) {
    Rig rig(SC_BIG);
    rig.unit->StartLimitRamp(40);
    rig.Step(500); // 100 / 2 per second
    EXPECT_FLOAT_EQ(rig.record.speedLimit, 75.0f);
    rig.Step(2000);
    EXPECT_FLOAT_EQ(rig.record.speedLimit, 40.0f);
    rig.unit->SetSpeedLimit(500);
    EXPECT_FLOAT_EQ(rig.record.speedLimit, 100.0f);
}

TEST(PhysicUnit, FollowerMatchesTheLeadersSpeed) {
    FakeOwner leader;
    TShipPhysicParams leaderRecord = test::MakeRecord(SC_BARGA);
    leader.params = &leaderRecord;
    TBaseRenderUnit* leaderUnit = TBaseRenderUnit::Create(nullptr);
    leaderUnit->SetBPU(&leader);
    leader.unit = leaderUnit;
    leader.vel->SetVector({40, 0, 0});
    leader.formation = {225, 0, 0}; // X = -225 + 150 = -75, Y = 225 - 150 = 75

    {
        Rig rig(SC_BARGA);
        rig.owner.vel->SetVector({20, 0, 0});
        rig.owner.vel->SetVector({10, 0, 0}); // previous speed 20
        rig.unit->GetMovePoint()->SetTargetObject(leaderUnit);
        rig.unit->AddState(DOFOLLOWTOOBJECT);
        rig.unit->SetStepTime(0.03f);
        rig.unit->MoveStep(0.03f);
        // Halfway between the leader's 40 and the previous 20, then pulled on.
        EXPECT_FLOAT_EQ(rig.unit->GetSpeed(), 30.0f);
        EXPECT_EQ(rig.unit->GetForceNum(), 1);
    }
    leaderUnit->SetBPU(nullptr);
    leaderUnit->Free();
}

TEST(PhysicUnit, FollowerStopsWhenTheLeaderIsGone) {
    Rig rig(SC_BARGA);
    TBaseRenderUnit* leaderUnit = TBaseRenderUnit::Create(nullptr);
    rig.unit->GetMovePoint()->SetTargetObject(leaderUnit);
    leaderUnit->Free();
    rig.unit->AddState(DOFOLLOWTOOBJECT);
    rig.Step(30);
    EXPECT_EQ(rig.unit->GetState(), 0u);
    EXPECT_EQ(rig.unit->callbacks, 1);
}

TEST(PhysicUnit, BigUnitsSwingTheirNoseTowardTheirMotion) {
    {
        SCOPED_TRACE("last motion straight up: no change");
        Rig rig(SC_BIG);
        rig.owner.vel->SetVector({0, 0, 5});
        rig.owner.vel->SetVector({0, 0, 0});
        rig.Step(500);
        EXPECT_FLOAT_EQ(Heading(rig.owner).x, 1.0f);
    }
    {
        SCOPED_TRACE("half a second: a quarter of the way");
        Rig rig(SC_BIG);
        rig.owner.vel->SetVector({0, 5, 0});
        rig.owner.vel->SetVector({0, 0, 0});
        rig.Step(500);
        const Vec3 h = Heading(rig.owner);
        const Vec3 want = Vec3Normalize({0.75f, 0.25f, 0});
        EXPECT_NEAR(h.x, want.x, 1e-5f);
        EXPECT_NEAR(h.y, want.y, 1e-5f);
        EXPECT_NEAR(h.z, 0.0f, 1e-5f);
    }
}

TEST(PhysicUnit, SteeringTurnsTheNoseTowardTheTarget) {
    Rig rig(SC_BARGA);
    rig.unit->GetMovePoint()->SetPosition({0, 1000, 0});
    rig.unit->AddState(DOMOVETOPOINT);
    float lastCos = 0.0f;
    for (int i = 0; i < 100; ++i) rig.Step(30);
    lastCos = Vec3CosAngle(Heading(rig.owner), {0, 1, 0});
    EXPECT_GT(lastCos, 0.9f);
    EXPECT_GT(rig.owner.pos.y, 0.0);
}

TEST(PhysicUnit, HorizontalAlignKeepsLevelAndTurnsAtAThird) {
    auto omegaAfterOneStep = [](uint64_t extra, Vec3 target, Vec3* heading) {
        Rig rig(SC_BARGA);
        rig.unit->GetMovePoint()->SetPosition(target);
        rig.unit->AddState(DOMOVETOPOINT | extra);
        rig.unit->SetStepTime(0.03f);
        rig.unit->MoveStep(0.03f);
        rig.unit->OrientationStep(); // the nose alone; the thrust may still climb
        if (heading) *heading = Heading(rig.owner);
        return rig.owner.omega->GetLength();
    };
    const float plain = omegaAfterOneStep(0, {0, 100, 0}, nullptr);
    const float level = omegaAfterOneStep(HORIZONTALALIGN, {0, 100, 0}, nullptr);
    ASSERT_GT(plain, 0.0f);
    EXPECT_NEAR(level / plain, 1.0f / 3.0f, 1e-4f);

    Vec3 h;
    omegaAfterOneStep(HORIZONTALALIGN, {0, 100, 100}, &h); // target above: the goal is made level
    EXPECT_NEAR(h.z, 0.0f, 1e-5f);
    EXPECT_GT(h.y, 0.0f);
}

TEST(PhysicUnit, FluctuationTiltsTheMoveDirection) {
    Rig rig(SC_BARGA);
    rig.unit->SetRandomSource([] { return 0.5f; });
    rig.unit->GetMovePoint()->SetPosition({1000, 0, 0});
    rig.unit->AddState(DOMOVETOPOINT);
    rig.unit->StartFluctuationMove(2.0f, 10.0f, 20.0f, 100.0f);
    EXPECT_FLOAT_EQ(rig.unit->GetFluctuationAngle(), DegToRad(15.0f));
    EXPECT_FLOAT_EQ(rig.unit->GetFluctuationRoll(), kPi);
    rig.unit->SetStepTime(0.03f);
    rig.unit->MoveStep(0.03f);
    EXPECT_NEAR(Vec3AngleBetween(rig.unit->GetMoveDir(), {1, 0, 0}), DegToRad(15.0f), 1e-4f);

    // Near the target the fluctuation ends.
    rig.unit->GetMovePoint()->SetPosition({50, 0, 0});
    rig.unit->MoveStep(0.03f);
    EXPECT_FALSE(rig.unit->TestState(USEFLUCTUATIONMOVE));
    EXPECT_NEAR(rig.unit->GetMoveDir().x, 1.0f, 1e-6f);
}

// A ship at the origin flying +X at 50 with an obstacle in front of it; the
// avoidance force must point away from the obstacle (strength 50 * 6 / 2 = 150).
TEST(PhysicUnit, AvoidanceFendsOffAnObstacleAhead) {
    const struct {
        const char* what;
        Vec3 at;
        int32_t cls;
        bool isStatic;
        Vec3 force; // expected sum
    } cases[] = {
        // contact 1 + 10 + 50 = 61, reach 1 + 150 + 10 = 161: 150 * (161 - 100) / 100
        {"dynamic dead ahead", {100, 0, 0}, SC_SMALL, false, {-91.5f, 0, 0}},
        // static: (1 - cos 180) / 2 = 1, so 50 * 1.5
        {"static dead ahead", {100, 0, 0}, SC_BIG, true, {-75.0f, 0, 0}},
    };
    for (const auto& c : cases) {
        Rig rig(SC_SMALL);
        TShipPhysicParams obstacleRec = test::MakeRecord(c.cls);
        obstacleRec.useInFindWay = 1;
        FakeOwner obstacle;
        obstacle.params = &obstacleRec;
        obstacle.unit = TBaseRenderUnit::Create<test::PlacedUnit>(nullptr);
        obstacle.unit->SetBPU(&obstacle);
        obstacle.unit->SetWorldPosition(c.at);
        std::vector<TBaseRenderUnit*> ships{obstacle.unit};
        SetSceneShipsProvider([&](std::vector<TBaseRenderUnit*>& out) { out = ships; });
        if (c.isStatic)
            rig.unit->GetPathFinder()->Refresh();
        else
            rig.unit->GetPathFinder()->AddDynamicObj(obstacle.unit);
        rig.owner.vel->SetVector({50, 0, 0});
        rig.unit->AddState(DOMOVETOPOINT);
        rig.unit->ClearForces();
        rig.unit->AvoidObstacles();
        rig.unit->SumForces();
        const Vec3 f = rig.unit->GetForceSum();
        EXPECT_NEAR(f.x, c.force.x, 1e-3f) << c.what;
        EXPECT_NEAR(f.y, c.force.y, 1e-3f) << c.what;
        EXPECT_NEAR(f.z, c.force.z, 1e-3f) << c.what;

        // Off to one side, the push is sideways and away from it.
        obstacle.unit->SetWorldPosition({c.at.x, 20, 0});
        if (c.isStatic) rig.unit->GetPathFinder()->Refresh();
        rig.unit->ClearForces();
        rig.unit->AvoidObstacles();
        rig.unit->SumForces();
        EXPECT_LT(rig.unit->GetForceSum().y, 0.0f) << c.what;
        EXPECT_NEAR(rig.unit->GetForceSum().x, 0.0f, 1e-3f) << c.what;

        SetSceneShipsProvider({});
        obstacle.unit->SetBPU(nullptr);
        obstacle.unit->Free();
    }
}

TEST(PhysicUnit, BaseTaskCallbackIsReported) {
    ErrorTrap trap;
    Rig rig(SC_BARGA);
    EXPECT_THROW(rig.unit->SendCallbackAndStayInTask(), Halted);
    EXPECT_EQ(trap.lastFatal, "Error: SendCallbackAndStayInTask - Not overridden! Classname: TestUnit");
}

} // namespace
} // namespace vesk
