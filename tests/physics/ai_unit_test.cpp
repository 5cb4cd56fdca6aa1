#include "physics/ai_unit.h"

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
    EXPECT_FLOAT_EQ(s.ai->GetPhysicParams()->reserved16, 0.25f);
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
    s.ai->GetPhysicParams()->maxVelocity = 0.5f;
    struct Case {
        float in, out;
    } cases[] = {{150, 0.5f}, {100, 0.5f}, {-50, 0.5f}, {20, 0.2f}};
    for (const Case& c : cases) {
        s.ai->SetSpeedPercent(c.in);
        EXPECT_FLOAT_EQ(s.ai->GetMaxVelocity(), c.out) << c.in;
    }
    s.ai->ReleasePlayerControl();
    EXPECT_FALSE(s.ai->IsPlayerControlled());
    s.ai->GetPhysicParams()->speedLimit = 7.0f;
    s.ai->TakePlayerControl(); // back to the limit stored on release
    EXPECT_FLOAT_EQ(s.ai->GetMaxVelocity(), 0.2f);
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
    EXPECT_NE(text.find("ph_MaxPitchAngle=57.3\n"), std::string::npos) << text; // 1 rad in the engine's degrees
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

} // namespace
} // namespace vesk
