// Vector objects, move targets, the roll and inertial turning helpers and the
// speed helpers of the player's flight.
#include "physics/ph_helpers.h"
#include "render/render_unit.h"
#include "shared/helpers.h"
#include "support/error_trap.h"

#include "physic_fixture.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

using test::ErrorTrap;
using test::Halted;

template <class T> struct Freed {
    T* p;
    ~Freed() { p->Free(); }
    T* operator->() { return p; }
};

TEST(PhVector, KeepsLengthDirectionAndPrevious) {
    Freed<TPhVector> v{TEngineObject::New<TPhVector>(Vec3{3, 4, 0})};
    EXPECT_FLOAT_EQ(v->GetLength(), 5.0f);
    EXPECT_FLOAT_EQ(v->GetDirection().y, 0.8f);
    v->SetVector({});
    EXPECT_FLOAT_EQ(v->GetLength(), 0.0f);
    EXPECT_FLOAT_EQ(v->GetDirection().y, 0.8f); // the last direction stays
    EXPECT_FLOAT_EQ(v->GetPrevLength(), 5.0f);
    EXPECT_FLOAT_EQ(v->GetPrevVector().x, 3.0f);
    v->SetDirection({1, 0, 0}); // zero length stays zero
    EXPECT_FLOAT_EQ(v->GetLength(), 0.0f);
    v->SetLength(10); // along the last direction
    EXPECT_FLOAT_EQ(v->GetVector().x, 6.0f);
    EXPECT_FLOAT_EQ(v->GetVector().y, 8.0f);
    v->SetDirection({}); // ignored
    EXPECT_FLOAT_EQ(v->GetVector().x, 6.0f);
    EXPECT_FLOAT_EQ(v->CrossSet({0, 1, 0}).z, 6.0f);
    EXPECT_FLOAT_EQ(v->Angle({0, 0, -1}), kPi);
    v->Normalize();
    EXPECT_FLOAT_EQ(v->GetLength(), 1.0f);
}

TEST(PhVector, ProjectOnPlaneDirGivesTheLevelDirection) {
    const Vec3 p = ProjectOnPlaneDir({1, 0, 1}, {1, 0, 0}, {0, 1, 0});
    EXPECT_FLOAT_EQ(p.x, 1.0f);
    EXPECT_FLOAT_EQ(p.z, 0.0f);
    const Vec3 same = ProjectOnPlaneDir({1, 2, 3}, {1, 0, 0}, {2, 0, 0});
    EXPECT_FLOAT_EQ(same.y, 2.0f);
}

TEST(PhMovePoint, LosingTheTargetKeepsItsLastPositionAndCallsOnce) {
    int calls = 0;
    Freed<TPhMovePoint> mp{TPhMovePoint::Create(
        nullptr, [&](void*) { ++calls; }, nullptr)};
    TBaseRenderUnit* unit = TBaseRenderUnit::Create(nullptr);
    unit->SetWorldPosition({7, 8, 9});
    mp->SetTargetObject(unit);
    EXPECT_FLOAT_EQ(mp->GetPosition().y, 8.0f);
    Vec3 f;
    EXPECT_FALSE(mp->GetFollowPoint(f)); // a unit without an AI gives its position
    EXPECT_FLOAT_EQ(f.z, 9.0f);
    Vec3 a, b, c;
    EXPECT_FALSE(mp->GetBasis(a, b, c));
    EXPECT_FLOAT_EQ(c.z, 1.0f);
    unit->Free();
    EXPECT_FALSE(mp->HasTargetObject());
    EXPECT_EQ(calls, 1);
    EXPECT_FLOAT_EQ(mp->GetPosition().x, 7.0f);
    EXPECT_FALSE(mp->GetFollowPoint(f));
}

TEST(PhysicHelpers, FatalTexts) {
    ErrorTrap trap;
    const struct {
        const char* text;
        std::function<void()> run;
    } cases[] = {
        {"TPhMovePoint.Create();", [] { delete new TPhMovePoint(); }},
        {"TPhDynamicTargetObj.GetPos: c_ITarget = nil",
         [] {
             Freed<TPhDynamicTargetObj> d{TEngineObject::New<TPhDynamicTargetObj>()};
             d->GetPos();
         }},
        {"TPhDynamicTargetObj.GetVelocity: c_ITarget = nil",
         [] {
             Freed<TPhDynamicTargetObj> d{TEngineObject::New<TPhDynamicTargetObj>()};
             d->GetVelocity();
         }},
        {"TPhDynamicTargetObj.SetTarget : not dtc.GetIDynamicTargetPositionInterface",
         [] {
             Freed<TPhDynamicTargetObj> d{TEngineObject::New<TPhDynamicTargetObj>()};
             d->SetTarget(nullptr);
         }},
        {"TInertVector.CalcValue : result = 0",
         [] {
             TInertVector(0, 80, 20, 90, 180).CalcValue({}, {1, 0, 0}, 0.1f);
         }},
        {"TPlayerRotate180Control.CheckIntensity() : (c_HIntensity = 0) and (c_VIntensity = 0)",
         [] {
             TPlayerRotate180Control(nullptr, {}).Start({1, 0, 0}, 0, 0);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        trap.reports.clear();
        EXPECT_THROW(c.run(), Halted);
        ASSERT_FALSE(trap.reports.empty());
        EXPECT_EQ(trap.reports.back().text, c.text);
        EXPECT_EQ(trap.reports.back().flags, "mhl");
    }
}

// Without anything installed a dynamic target follows a render unit: its
// place, the velocity of its steering unit, and the last place after it died.
TEST(PhysicHelpers, DynamicTargetFollowsAUnitAndKeepsItsLastPlace) {
    auto* unit = TBaseRenderUnit::Create<test::PlacedUnit>(nullptr);
    unit->SetWorldPosition({1, 2, 3});
    test::FakeOwner steering;
    steering.vel->SetVector({0, 40, 0});
    unit->SetBPU(&steering);
    Freed<TPhDynamicTargetObj> d{TEngineObject::New<TPhDynamicTargetObj>()};
    d->SetTarget(unit);
    ASSERT_TRUE(d->HasTarget());
    EXPECT_EQ(d->GetObject(), unit);
    Vec3 dir;
    EXPECT_FLOAT_EQ(d->GetVelocity(dir), 40.0f);
    EXPECT_FLOAT_EQ(dir.y, 1.0f);
    unit->SetWorldPosition({7, 8, 9});
    EXPECT_FLOAT_EQ(d->GetPos().x, 7.0f);
    unit->SetBPU(nullptr);
    unit->Free();
    EXPECT_EQ(d->GetObject(), nullptr);
    EXPECT_FLOAT_EQ(d->GetPos().z, 9.0f);
    EXPECT_FLOAT_EQ(d->GetVelocity().y, 0.0f);
}

struct TurnSpy : IPlayerTurnComponent {
    Vec3 dir{1, 0, 0};
    float h = 9, v = 9;
    Vec3 GetCurrentDirection() override { return dir; }
    void Turn(float hh, float vv) override { h = hh, v = vv; }
};

TEST(PhysicHelpers, QuickTurnRunsUntilTheCosineReaches03) {
    TurnSpy spy;
    int done = 0;
    TPlayerRotate180Control q(&spy, [&] { ++done; });
    q.Start({1, 0, 0}, 3, 0);
    EXPECT_FLOAT_EQ(q.HIntensity(), 1.0f);
    q.Update(0.03f);
    EXPECT_FLOAT_EQ(spy.h, 1.0f);
    EXPECT_TRUE(q.IsActive());
    spy.dir = {0.5f, 1, 0}; // cosine 0.45
    q.Update(0.03f);
    EXPECT_TRUE(q.IsActive());
    spy.dir = {0, 1, 0};
    q.Update(0.03f);
    EXPECT_FALSE(q.IsActive());
    EXPECT_EQ(done, 1);
    EXPECT_FLOAT_EQ(spy.h, 0.0f);
}

TEST(PhysicHelpers, InertVectorTurnsTowardTheTargetKeepingLength) {
    TInertVector iv(0, 80, 20, 90, 180);
    Vec3 v{2, 0, 0};
    for (int i = 0; i < 50; ++i) v = iv.CalcValue(v, {0, 1, 0}, 0.03f);
    EXPECT_NEAR(Vec3Length(v), 2.0f, 1e-4f);
    EXPECT_GT(v.y, 1.0f);
    // With a maximum rate the turn speed is capped.
    TInertVector capped(0.5f, 80, 0, 90, 180);
    capped.CalcValue({1, 0, 0}, {0, 1, 0}, 1.0f);
    EXPECT_NEAR(Vec3Length(capped.GetOmega()), 0.5f, 1e-5f);
}

TEST(PhysicHelpers, RollComponentBanksIntoTurns) {
    TShipPhysicParams r = test::MakeRecord(SC_PLAYER);
    MatrixClass owner;
    Freed<TRollComponent> roll{TRollComponent::Create(&owner, &r)};
    for (int i = 0; i < 20; ++i) roll->Update(0.03f, r.maxRotateVelocity);
    EXPECT_GT(roll->GetRoll(), 0.0f);
    EXPECT_LE(roll->GetRoll(), r.maxRollAngle * 1.01f);
    Vec3 x, y, z;
    owner.GetAxes(&x, &y, &z);
    EXPECT_NEAR(x.x, 1.0f, 1e-5f); // banking leaves the heading alone
    EXPECT_NEAR(Vec3AngleBetween(z, {0, 0, 1}), roll->GetRoll(), 1e-3f);
}

TEST(PhysicHelpers, TimerVelocityAndAfterburnerControls) {
    int fired = 0;
    TPhTimer timer([&](void*, float) { ++fired; });
    timer.SetDuration(0);
    timer.Start();
    timer.Advance(0.01f);
    EXPECT_EQ(fired, 1);
    EXPECT_TRUE(timer.IsStopped());
    EXPECT_FLOAT_EQ(timer.Progress(), 0.0f);
    timer.SetDuration(-2);
    timer.Start();
    timer.Advance(1);
    EXPECT_FLOAT_EQ(timer.Progress(), 0.5f);

    TShipPhysicParams r = test::MakeRecord(SC_PLAYER); // 100 in 2 s: 50 per second
    TPhVelocityAbs speed(&r);
    speed.SetSpeed(100);
    speed.Update(0.1f);
    EXPECT_FLOAT_EQ(speed.GetSpeed(), 100.0f);
    r.speedLimit = 60;
    speed.Update(0.1f);
    EXPECT_FLOAT_EQ(speed.GetSpeed(), 95.0f);
    speed.Update(10);
    EXPECT_FLOAT_EQ(speed.GetSpeed(), 60.0f);
    speed.SetSpeed(-5);
    EXPECT_FLOAT_EQ(speed.GetSpeed(), 0.0f);

    TPhVelocity vel(&r);
    vel.SetVelocity({0, 30, 0});
    EXPECT_FLOAT_EQ(vel.GetVelocity()->GetVector().y, 30.0f);
    vel.Update(0.2f);
    EXPECT_FLOAT_EQ(vel.GetVelocity()->GetVector().y, 40.0f);

    int ended = 0;
    TPhForsageVelocityControl f([&] { ++ended; });
    f.Start(0, 10, 2, 1, 2);
    f.Update(0.5f);
    EXPECT_FLOAT_EQ(f.GetValue(), 5.0f);
    f.Update(1);
    EXPECT_FLOAT_EQ(f.GetValue(), 10.0f);
    f.StartFalling();
    f.Update(1);
    EXPECT_FLOAT_EQ(f.GetValue(), 5.0f);
    f.Update(0.8f); // would go below 2: stops where it is
    EXPECT_FLOAT_EQ(f.GetValue(), 5.0f);
    EXPECT_EQ(f.GetPhase(), 0);
    EXPECT_EQ(ended, 1);
}

} // namespace
} // namespace vesk
