#include "physics/ai_unit.h"
#include "physics/dyn_targets.h"
#include "shared/helpers.h"

#include "physic_fixture.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vesk {
namespace {

using test::ErrorTrap;
using test::Halted;

struct AIShip {
    TBaseRenderUnit* unit = TBaseRenderUnit::Create<test::PlacedUnit>(nullptr);
    BaseAIUnitClass* ai;
    explicit AIShip(int32_t cls) { ai = BaseAIUnitClass::Init(unit, test::MakeRecord(cls)); }
    ~AIShip() {
        unit->SetBPU(nullptr);
        ai->Free();
        unit->Free();
    }
};

TEST(BaseAIUnit, BindsToItsOwnerAndCopiesTheRecord) {
    AIShip s(SC_SMALL);
    EXPECT_EQ(OwnerOfUnit(s.unit), static_cast<IOwnerPhObj*>(s.ai));
    EXPECT_FLOAT_EQ(s.ai->GetPhysicParams()->reserved1, 3.0f);
    EXPECT_FLOAT_EQ(s.ai->GetPhysicParams()->rotationInertiaTime, 0.25f);
    EXPECT_FLOAT_EQ(s.ai->GetMaxVelocity(), 100.0f);
}

TEST(BaseAIUnit, SteersTowardAPointOverFixedSteps) {
    AIShip s(SC_SMALL);
    s.ai->GetNPCController()->DoMoveToPoint({300, 0, 0}, nullptr, nullptr);
    for (int i = 0; i < 60; ++i) s.ai->Tick(30);
    EXPECT_TRUE(s.ai->WasTicked());
    EXPECT_GT(s.ai->GetPositionD().x, 10.0);
    // The composed world matrix carries the position.
    EXPECT_NEAR(s.ai->GetWorldMatrix().m[3][0], s.ai->GetPositionD().x, 1e-3);
}

TEST(BaseAIUnit, PlayerControlClampsSpeedAndActsOnce) {
    AIShip s(SC_SMALL);
    s.ai->TakePlayerControl();
    s.ai->GetPhysicParams()->maxVelocity = 1000.0f;
    s.ai->SetSpeed(500.0f);
    s.ai->TakePlayerControl(); // a second take must not restore the stored limit
    EXPECT_FLOAT_EQ(s.ai->GetMaxVelocity(), 500.0f);
    // A percentage of engine power is that share of the top speed.
    s.ai->GetPhysicParams()->maxVelocity = 200.0f;
    struct Case {
        float in, out;
    } cases[] = {{150, 200.0f}, {100, 200.0f}, {-50, 100.0f}, {20, 40.0f}};
    for (const Case& c : cases) {
        s.ai->SetSpeedPercent(c.in);
        EXPECT_FLOAT_EQ(s.ai->GetMaxVelocity(), c.out) << c.in;
    }
    s.ai->ReleasePlayerControl();
    EXPECT_FALSE(s.ai->IsPlayerControlled());
    s.ai->GetPhysicParams()->speedLimit = 7.0f;
    s.ai->TakePlayerControl(); // back to the limit stored on release
    EXPECT_FLOAT_EQ(s.ai->GetMaxVelocity(), 40.0f);
}

TEST(BaseAIUnit, NotANumberPositionFallsBackToThePreviousOne) {
    AIShip s(SC_SMALL);
    s.ai->SetPositionD({5, 6, 7});
    s.ai->SetPositionD({NAN, 0, 0});
    s.ai->ComposeWorldMatrix();
    EXPECT_FLOAT_EQ(s.ai->GetWorldMatrix().m[3][0], 5.0f);
}

// Saving the parameters to text is a query: it must not end the program.
TEST(BaseAIUnit, SavingToTextListsTheParametersAndLoadingIsFatal) {
    AIShip s(SC_SMALL);
    ErrorTrap trap;
    std::string text;
    EXPECT_NO_THROW(text = s.ai->SaveToString());
    EXPECT_TRUE(trap.reports.empty());
    EXPECT_NE(text.find("ph_MaxVelocity=100\n"), std::string::npos) << text;
    EXPECT_NE(text.find("ph_AccelerateTime=2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("ph_MaxPitchAngle=57.3\n"), std::string::npos)
        << text; // 1 rad in the engine's degrees
    EXPECT_THROW(s.ai->LoadFromString(), Halted);
}

TEST(BaseAIUnit, PoseMatrixMovesTheOwner) {
    AIShip s(SC_SMALL);
    Matrix m = s.unit->GetLocalMatrix();
    m.m[3][0] = 12.0f;
    s.ai->SetPoseMatrix(m);
    EXPECT_DOUBLE_EQ(s.ai->GetPositionD().x, 12.0);
    EXPECT_FLOAT_EQ(s.ai->UpdateOwnerMatrix()->GetLocalMatrix().m[3][0], 12.0f);
}

struct GlowUnit : test::PlacedUnit, IEngineGlow {
    float value = -1, rise = -1, fall = -1;
    void SetEngineGlow(float v, float r, float f) override { value = v, rise = r, fall = f; }
};

TEST(BaseAIUnit, EngineGlowFollowsTheSpeedOrTheStateByte) {
    TBaseRenderUnit* unit = TBaseRenderUnit::Create<GlowUnit>(nullptr);
    auto* glow = static_cast<GlowUnit*>(unit);
    BaseAIUnitClass* ai = BaseAIUnitClass::Init(unit, test::MakeRecord(SC_SMALL));
    ai->Tick(30); // at rest
    EXPECT_EQ(glow->value, 0.0f);
    EXPECT_EQ(glow->rise, 0.1f);
    ai->SetStateByte(1);
    ai->Tick(30);
    EXPECT_EQ(glow->value, 1.0f);
    ai->SetVelocity({25, 0, 0});
    ai->Tick(30); // a quarter of the limit of 100
    EXPECT_NEAR(glow->value, 0.25f, 1e-4f);
    EXPECT_EQ(glow->rise, 1.0f);
    EXPECT_EQ(glow->fall, 0.1f);
    unit->SetBPU(nullptr);
    ai->Free();
    unit->Free();
}

TEST(BaseAIUnit, PhysicsPercentagesAreClampedAndReachThePlayersJets) {
    AIShip s(SC_SMALL);
    TPhysicMinMaxSet set;
    using V = TPhysicMinMaxSet;
    for (int i = 0; i < 7; ++i) set.min[i] = 10.0f * i, set.max[i] = 10.0f * i + 100.0f;
    const struct {
        float p, expected; // of the roll force multiplier (0 .. 100)
    } cases[] = {{-10, 0}, {0, 0}, {25, 25}, {100, 100}, {120, 100}};
    for (const auto& c : cases) {
        s.ai->ApplyPhParamsPercent(set, c.p);
        EXPECT_FLOAT_EQ(s.ai->GetPhysicParams()->rollForceMultiply, c.expected) << c.p;
        EXPECT_FLOAT_EQ(s.ai->GetPhysicParams()->maxRotateVelocity, DegToRad(30.0f + c.expected)) << c.p;
        EXPECT_FLOAT_EQ(s.ai->GetPhysicParams()->rotationInertiaTime, 40.0f + c.expected) << c.p;
        EXPECT_FLOAT_EQ(s.ai->GetPhysicParams()->maxRollAngle, DegToRad(20.0f + c.expected)) << c.p;
    }
    s.ai->ApplyPhParamsPercent2(set, 50, 150);
    EXPECT_FLOAT_EQ(s.ai->GetPhysicParams()->rollFading, 60.0f);
    EXPECT_FLOAT_EQ(s.ai->GetPhysicParams()->maxVelocity, set.max[V::MaxVelocity]);
    EXPECT_FLOAT_EQ(s.ai->GetPhysicParams()->accelerateTime, set.max[V::AccelerateTime]);
    // The player's jets take the new rotation values.
    EXPECT_FLOAT_EQ(s.ai->PlayerComponent()->VelocityJet().Traction().Force().GetMaxValue(),
                    s.ai->GetPhysicParams()->maxRotateVelocity);
}

TEST(DynamicTarget, KeepsTheLastPositionOfAGoneUnit) {
    TBaseRenderUnit* unit = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
    unit->SetWorldPosition({5, 0, 0});
    DynamicTargetBRUClass* watch = DynamicTargetBRUClass::Init(unit);
    DynamicTargetPositionClass* t = nullptr;
    ASSERT_TRUE(watch->GetTarget(unit, "", t));
    DynamicTargetPositionClass* again = nullptr;
    watch->GetTarget(unit, "", again);
    EXPECT_EQ(again, t); // made once
    DynamicTargetPositionClass* own = DynamicTargetPositionClass::Init(nullptr, unit, "");
    unit->SetWorldPosition({7, 0, 0});
    EXPECT_FLOAT_EQ(own->GetPosition().x, 7.0f);
    unit->Free();
    EXPECT_EQ(own->GetTarget(), nullptr);
    EXPECT_FLOAT_EQ(own->GetPosition().x, 7.0f);
    EXPECT_FLOAT_EQ(own->GetMatrix().m[3][0], 7.0f);
    // The watcher let its target go with the unit.
    EXPECT_FALSE(watch->GetTarget(nullptr, "", t));
    own->Free();
    watch->Free();
}

TEST(DynamicTarget, FatalTexts) {
    ErrorTrap trap;
    EXPECT_THROW(DynamicTargetPositionClass::Init(nullptr, nullptr, "gun"), Halted);
    EXPECT_EQ(trap.lastFatal, "DynamicTargetPositionClass.Init: bru=nil)");
    TBaseRenderUnit* unit = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
    EXPECT_THROW(DynamicTargetPositionClass::Init(nullptr, unit, "gun"), Halted);
    EXPECT_EQ(trap.lastFatal, "DynamicTargetPositionClass.Init: not bru.GetHelper(\"gun\",pHelper)");
    unit->Free();
}

} // namespace
} // namespace vesk
