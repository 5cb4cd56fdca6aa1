// The player's flight: throttle, jets, strafe, quick turn, afterburner and the
// response to touching another ship, stepped in fixed 100 ms ticks.
#include "physics/player_physic.h"

#include "physic_fixture.h"
#include "physics/ai_unit.h"
#include "physics/unit_physic_ops.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vesk {
namespace {

constexpr float kStep = 100.0f; // ms

// A player-controlled ship at the origin, nose along +X; the record: limit and
// maximum velocity 100, accelerate time 2 s, maximum rotate velocity 2 rad/s,
// rotation inertia 0.25 s (set by the AI unit).
struct PlayerShip {
    TBaseRenderUnit* unit = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
    BaseAIUnitClass* ai;
    explicit PlayerShip(bool collision = false) {
        TPlayerCollisionPhysicComponent::SetCollisionSwitch([collision] { return collision; });
        unit->SetBox({-10, -10, -10}, {10, 10, 10});
        ai = BaseAIUnitClass::Init(unit, test::MakeRecord(SC_PLAYER));
        ai->TakePlayerControl();
    }
    ~PlayerShip() {
        unit->SetBPU(nullptr);
        ai->Free();
        unit->Free();
        TPlayerCollisionPhysicComponent::SetCollisionSwitch({});
    }
    TPlayerCollisionPhysicComponent& pc() { return *ai->PlayerComponent(); }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) ai->Tick(kStep);
    }
    Vec3d pos() { return ai->GetPositionD(); }
    Vec3 nose() { return ai->GetBasisVector(0); }
};

TEST(PlayerPhysic, ThrottleBringsTheSpeedUpToTheLimit) {
    PlayerShip s;
    // 50 per second: the speed after step k is 5k; each step flies speed * 0.1.
    s.Ticks(10);
    EXPECT_NEAR(s.ai->GetSpeed(), 50.0f, 1e-3f);
    EXPECT_NEAR(s.pos().x, 27.5, 1e-3); // 0.1 * 5 * (1 + ... + 10)
    EXPECT_NEAR(s.pos().y, 0.0, 1e-6);
    EXPECT_NEAR(s.nose().x, 1.0f, 1e-5f);
    s.Ticks(20);
    EXPECT_NEAR(s.ai->GetSpeed(), 100.0f, 1e-3f);
    // The throttle down: the limit comes from the speed set.
    s.ai->SetSpeed(40.0f);
    s.Ticks(1);
    EXPECT_NEAR(s.ai->GetSpeed(), 95.0f, 1e-3f);
}

TEST(PlayerPhysic, JetTurnsTheFlightWithItsInertia) {
    PlayerShip s;
    s.ai->SetVelocity({100, 0, 0});
    s.pc().SetTurn(1.0f, 0.0f); // about the third axis
    // w_k = 2 (1 - 0.6^k): 0.8, 1.28, 1.568; the direction turns by w_k * 0.1
    // each step before the step of 10 is flown.
    s.Ticks(3);
    EXPECT_NEAR(s.pos().x, 29.0944, 1e-3);
    EXPECT_NEAR(s.pos().y, -6.4318, 1e-3);
    EXPECT_NEAR(s.pc().VelocityJet().GetAngularVelocity()->GetLength(), 1.568f, 1e-4f);
    EXPECT_NEAR(s.ai->GetSpeed(), 100.0f, 1e-3f);
    // The nose follows the flight.
    EXPECT_LT(s.nose().y, 0.0f);

    // Inputs off: the axis stays, the rate decays by 0.6 per step.
    s.pc().SetTurn(0.0f, 0.0f);
    s.Ticks(1);
    EXPECT_NEAR(s.pc().VelocityJet().GetAngularVelocity()->GetLength(), 1.568f * 0.6f, 1e-4f);
    float h = 5, v = 5;
    s.pc().GetTurn(h, v);
    EXPECT_EQ(h, 0.0f);
    EXPECT_EQ(v, 0.0f);

    // Both inputs at once: an axis of length sqrt 2, the intensity limited to 1.
    s.pc().SetTurn(1.0f, 1.0f);
    TPhTractionForce& f = s.pc().VelocityJet().Traction().Force();
    EXPECT_FLOAT_EQ(f.GetIntensity(), 1.0f);
    EXPECT_NEAR(Vec3Length(f.GetDirection()), 1.0f, 1e-5f);
}

TEST(PlayerPhysic, StrafeBendsThePathWithoutChangingTheDistance) {
    PlayerShip s;
    s.ai->SetVelocity({100, 0, 0});
    s.ai->StrafeLeft();
    // strafe 0.5, 0.75, 0.875; each step flies 10 along (200, 50 * strafe).
    s.Ticks(3);
    EXPECT_NEAR(s.pc().GetStrafe(), 0.875f, 1e-5f);
    EXPECT_NEAR(s.pos().x, 29.5205, 1e-3);
    EXPECT_NEAR(s.pos().y, 5.2202, 1e-3);
    s.ai->StrafeStop();
    s.Ticks(1);
    EXPECT_NEAR(s.pc().GetStrafe(), 0.4375f, 1e-5f);
    s.ai->StrafeRight();
    s.Ticks(1);
    EXPECT_NEAR(s.pc().GetStrafe(), 0.4375f + (-1.0f - 0.4375f) * 0.5f, 1e-5f);
}

TEST(PlayerPhysic, QuickTurnRunsUntilTheNoseHasTurnedAway) {
    PlayerShip s;
    s.ai->SetVelocity({100, 0, 0});
    s.ai->TurnRight();
    EXPECT_TRUE(s.pc().IsTurning());
    int steps = 0;
    while (s.pc().IsTurning() && steps < 100) s.Ticks(1), ++steps;
    EXPECT_FALSE(s.pc().IsTurning());
    EXPECT_LE(Vec3CosAngle(s.nose(), {1, 0, 0}), 0.3f);
    float h = 5, v = 5;
    s.pc().GetTurn(h, v);
    EXPECT_EQ(h, 0.0f); // the inputs are let go at the end
}

TEST(PlayerPhysic, AfterburnerRisesFallsAndEnds) {
    PlayerShip s;
    s.ai->SetVelocity({100, 0, 0});
    EXPECT_EQ(s.pc().GetForsageSpeed(), 0.0f);
    s.pc().ForsageOff(); // off already: nothing
    EXPECT_FALSE(s.ai->IsForsage());
    s.pc().ForsageOn(200.0f, 1.0f, 1.0f); // 200 per second up and down
    EXPECT_TRUE(s.ai->IsForsage());
    EXPECT_FLOAT_EQ(s.ai->GetForsageSpeed(), 200.0f);
    s.Ticks(2);
    EXPECT_NEAR(s.ai->GetSpeed(), 140.0f, 1e-3f);
    s.pc().ForsageOff();
    s.Ticks(1);
    EXPECT_NEAR(s.ai->GetSpeed(), 120.0f, 1e-3f);
    EXPECT_TRUE(s.ai->IsForsage());
    s.Ticks(2); // 100, then below the minimum: it ends
    EXPECT_FALSE(s.ai->IsForsage());
}

TEST(PlayerPhysic, ForceRecords) {
    TPhTimeForce never;
    never.Update(5.0f);
    EXPECT_EQ(Vec3Length(never.GetForce()), 0.0f);
    TPhTimeForce t;
    t.Start({1, 2, 3}, 0.5f);
    t.Update(0.3f);
    EXPECT_TRUE(t.IsActive());
    EXPECT_FLOAT_EQ(t.GetForce().y, 2.0f);
    t.Update(0.3f); // past its duration: reset in the same update
    EXPECT_FALSE(t.IsActive());
    EXPECT_EQ(Vec3Length(t.GetForce()), 0.0f);

    // A time force adds to the traction's pull.
    TPhTractionVelocity tv({1, 0, 0}, 10.0f, 0.5f);
    tv.SetIntensity(1.0f);
    tv.Force().TimeForce().Start({0, 4, 0}, 1.0f);
    tv.Update(0.1f); // (target 10 + time force) * 0.1 / 0.5
    EXPECT_NEAR(tv.GetVelocity()->GetVector().x, 2.0f, 1e-5f);
    EXPECT_NEAR(tv.GetVelocity()->GetVector().y, 0.8f, 1e-5f);

    // Without an orientation the direction is +X.
    auto* bare = TEngineObject::New<TPlayerPhysicComponent>(nullptr, nullptr, nullptr, nullptr);
    Vec3 d;
    bare->GetDirection(d);
    EXPECT_EQ(d.x, 1.0f);
    bare->Free();
}

// ---- the collision response -----------------------------------------------------------------

// Another ship: one large triangle through the player's box, its normal n.
struct WallShip : ICollisionBRU {
    std::vector<Vec3> positions;
    std::vector<uint32_t> indices{0, 1, 2};
    TEngineObject* event = TEngineObject::New<TEngineObject>();
    explicit WallShip(Vec3 n) {
        const Vec3 t1{0, 0, 1};
        const Vec3 t2 = Vec3Cross(n, t1);
        const Vec3 a = Vec3Add(Vec3Scale(t1, -200), Vec3Scale(t2, -200)), b = Vec3Scale(t1, 300),
                   c = Vec3Scale(t2, 300);
        positions = {a, b, c};
        // The triangle's raw normal (b - a) x (c - a) must point along n.
        if (Vec3Dot(Vec3Cross(Vec3Sub(b, a), Vec3Sub(c, a)), n) < 0) std::swap(positions[1], positions[2]);
    }
    ~WallShip() { event->Free(); }
    void GetBSphere(Vec3& c, float& r) override { c = {}, r = 500; }
    bool GetBSphereList(std::vector<std::pair<Vec3, float>>& out) override {
        out = {{{0, 0, 0}, 500.0f}};
        return true;
    }
    void GetMeshTriangles(std::span<const Vec3>& p, std::span<const uint32_t>& i) override {
        p = positions;
        i = indices;
    }
    IEngineObject* GetCollisionEvent() override { return event; }
};

TEST(PlayerPhysic, ContactTurnsAndSlowsAShipMovingAgainstTheSurface) {
    const float r = 0.70710678f;
    const struct Case {
        const char* what;
        Vec3 n;
        bool forsage;
        float speed; // after the contact
        bool fires;
    } cases[] = {
        {"head-on", {-1, 0, 0}, false, 0.0f, true},
        {"at 135 degrees", {-r, r, 0}, false, 50.0f, true},
        {"at 135 degrees under the afterburner", {-r, r, 0}, true, 50.0f, true},
        {"moving along the surface", {0, 1, 0}, false, 100.0f, false},
        {"moving away", {1, 0, 0}, false, 100.0f, false},
    };
    for (const Case& c : cases) {
        PlayerShip s(true);
        WallShip wall(c.n);
        TEngineObject* own = TEngineObject::New<TEngineObject>();
        s.unit->SetCollisionEvent(own);
        SetShipCollisionListHook([&] {
            return std::vector<ShipCollisionEntry>{{s.unit, nullptr}, {&wall, &wall}};
        });
        int fired = 0;
        SetCollisionEventFirer([&](IEngineObject* ours, IEngineObject* theirs) {
            EXPECT_EQ(ours, own);
            EXPECT_EQ(theirs, wall.event);
            ++fired;
        });
        s.ai->SetVelocity({100, 0, 0});
        if (c.forsage) s.pc().ForsageOn(300.0f, 1.0f, 1.0f);
        s.ai->Tick(0.0f); // a zero step: only the response acts
        EXPECT_NEAR(s.ai->GetSpeed(), c.speed, 1e-3f) << c.what;
        EXPECT_EQ(fired, c.fires ? 1 : 0) << c.what;
        if (c.fires && c.speed > 0) { // slides: the flight is at right angles to the normal
            EXPECT_NEAR(Vec3Dot(s.ai->GetVelocity(), c.n), 0.0f, 1e-3f) << c.what;
        }
        if (c.forsage) {
            EXPECT_FALSE(s.ai->IsForsage()) << c.what;
        }
        Vec3 p;
        EXPECT_TRUE(s.pc().GetCollisionVector(p)) << c.what;
        SetCollisionEventFirer({});
        SetShipCollisionListHook(nullptr);
        s.unit->SetCollisionEvent(nullptr);
        own->Free();
    }
}

TEST(PlayerPhysic, WithCollisionOffNothingIsChecked) {
    PlayerShip s(false);
    WallShip wall({-1, 0, 0});
    int asked = 0;
    SetShipCollisionListHook([&] {
        ++asked;
        return std::vector<ShipCollisionEntry>{{&wall, &wall}};
    });
    s.ai->SetVelocity({100, 0, 0});
    s.ai->Tick(0.0f);
    EXPECT_EQ(asked, 0);
    EXPECT_NEAR(s.ai->GetSpeed(), 100.0f, 1e-3f);
    SetShipCollisionListHook(nullptr);
}

} // namespace
} // namespace vesk
