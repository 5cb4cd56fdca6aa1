#include "render/component.h"
#include "render/render_unit.h"
#include "render_fixture.h"
#include "shared/math.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vesk::test {
namespace {

class ComponentsTest : public RenderTest {};

constexpr float kTwoPi = 2.0f * kPi;

void ExpectMatrixNear(const Matrix& a, const Matrix& b) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], 1e-5f) << r << "," << c;
}

TEST_F(ComponentsTest, RotatorAdvancesAnglesInTurnsPerSecondAndWraps) {
    RecUnit* u = Unit(env, "u");
    RotatorClass* r = u->GetRotator();
    r->SetMode(kRotateX | kRotateZ);
    r->SetSpeedX(0.25f); // a quarter turn per second
    r->SetSpeedZ(-0.5f); // half a turn per second backwards
    r->SetSpeedY(1.0f);  // Y is off: stays
    r->Update(1000.0f);
    EXPECT_NEAR(r->AngleX(), kPi / 2, 1e-5f);
    // -pi wraps to just below 2pi: +pi.
    EXPECT_NEAR(r->AngleZ(), kPi, 1e-5f);
    EXPECT_EQ(r->AngleY(), 0.0f);
    r->SetAngleZ(0.01f);
    r->Update(100.0f); // -0.05 turn = -0.314 rad: wraps under 0
    EXPECT_NEAR(r->AngleZ(), 0.01f - 0.1f * kPi + kTwoPi, 1e-4f);
    EXPECT_LT(r->AngleZ(), kTwoPi);
    // Bit 32768 of the carrier's second flag word runs every part.
    u->SetFlag2(BRU2_ROTATE_ALL);
    r->Update(500.0f);
    EXPECT_NEAR(r->AngleY(), kPi, 1e-5f);
    // The unit's tick advances its rotator.
    u->ClearFlag2(BRU2_ROTATE_ALL);
    const float before = r->AngleX();
    u->Tick(1000.0f);
    EXPECT_NEAR(r->AngleX(), before + kPi / 2, 1e-5f);
}

TEST_F(ComponentsTest, RotatorApplyUsesOnlyTheLastEnabledPart) {
    RecUnit* u = Unit(env, "u");
    RotatorClass* r = u->GetRotator();
    r->SetMode(kRotateX | kRotateY);
    r->SetAngleX(0.3f);
    r->SetAngleY(0.7f);
    r->SetSpeedX(0);
    r->SetSpeedY(0);
    r->Update(10.0f);
    Matrix m = MatrixTranslation(1, 2, 3);
    r->Apply(m);
    ExpectMatrixNear(m, MatrixProduct(MatrixRotationY(0.7f), MatrixTranslation(1, 2, 3)));
    // The free axis.
    r->SetMode(kRotateAxis);
    r->SetAxis({0, 0, 2});
    r->SetAxisAngle(0.5f);
    r->Update(0.0f);
    Matrix n;
    r->Apply(n);
    ExpectMatrixNear(n, MatrixRotationZ(0.5f));
}

TEST_F(ComponentsTest, RotatorCopyTakesModeAndXYZButNotTheFreeAxis) {
    RecUnit* a = Unit(env, "a");
    RecUnit* b = Unit(env, "b");
    RotatorClass* r = a->GetRotator();
    r->SetMode(kRotateZ | kRotateAxis);
    r->SetAngleZ(1.0f);
    r->SetSpeedZ(0.0f);
    r->SetAxisAngle(2.0f);
    r->Update(1.0f);
    RotatorClass* c = r->CreateCopy(b);
    EXPECT_EQ(c->Carrier(), static_cast<IEngineObject*>(b));
    EXPECT_EQ(c->GetMode(), kRotateZ | kRotateAxis);
    EXPECT_EQ(c->AngleZ(), 1.0f);
    EXPECT_EQ(c->AxisAngle(), 0.0f);
    c->Free();
}

TEST_F(ComponentsTest, LightsTakePackedColoursAndCopyEveryRecord) {
    RecUnit* u = Unit(env, "u");
    LightClass* l = u->GetLights();
    l->AddLight({1, 2, 3}, 0x80FF0033u, 0xFF000000u, 0.5f, 0.25f);
    ASSERT_EQ(l->GetCount(), 1);
    UnitLight rec;
    EXPECT_FALSE(l->GetLight(1, rec));
    ASSERT_TRUE(l->GetLight(0, rec));
    EXPECT_EQ(rec.type, kLightPoint);
    EXPECT_EQ(rec.position.z, 3.0f);
    EXPECT_FLOAT_EQ(rec.colour.r, 1.0f);
    EXPECT_FLOAT_EQ(rec.colour.g, 0.0f);
    EXPECT_FLOAT_EQ(rec.colour.b, 0x33 / 255.0f);
    EXPECT_FLOAT_EQ(rec.colour.a, 0x80 / 255.0f);
    EXPECT_FLOAT_EQ(rec.specular.a, 1.0f);
    EXPECT_EQ(rec.range, 1.0e9f);
    EXPECT_EQ(rec.attenuation0, 0.5f);
    EXPECT_EQ(rec.attenuation1, 0.25f);
    EXPECT_EQ(rec.attenuation2, 0.0f);
    RecUnit* v = Unit(env, "v");
    LightClass* copy = l->CreateCopy(v);
    l->AddLight({}, 0, 0, 0, 0);
    EXPECT_EQ(copy->GetCount(), 1);
    copy->Free();
}

TEST_F(ComponentsTest, KillerKillsItsUnitOnceWhenTheLinkGoes) {
    RecUnit* victim = Unit(env, "victim");
    RecUnit* link = Unit(env, "link");
    KillerClass* k = KillerClass::Init(victim, link);
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->UnitToKill(), victim);
    // Another object's end does nothing.
    RecUnit* other = Unit(env, "other");
    k->Message(other, EM_SENDER_IS_NO_LONGER_EXISTS, 0);
    EXPECT_FALSE(victim->HasFlag(BRU_KILLED));
    k->Message(link, EM_SENDER_IS_NO_LONGER_EXISTS, 0);
    EXPECT_TRUE(victim->HasFlag(BRU_KILLED));
    EXPECT_EQ(k->UnitToKill(), nullptr);
    EXPECT_EQ(k->Other(), nullptr);
    victim->ClearFlag(BRU_KILLED);
    k->Message(link, EM_SENDER_IS_NO_LONGER_EXISTS, 0);
    EXPECT_FALSE(victim->HasFlag(BRU_KILLED));
    k->Free();
}

TEST_F(ComponentsTest, KillerRefusesMissingObjects) {
    RecUnit* u = Unit(env, "u");
    EXPECT_THROW(KillerClass::Init(nullptr, u), Halted);
    EXPECT_THROW(KillerClass::Init(u, nullptr), Halted);
    ASSERT_EQ(trapAll.reports.size(), 2u);
    EXPECT_EQ(trapAll.reports[0].text, "KillerClass.Init: bruToKill = nil");
    EXPECT_EQ(trapAll.reports[1].text, "KillerClass.Init: _link = nil");
}

TEST_F(ComponentsTest, RayGroupsSwitchTheirRaysAndForgetVanishedOnes) {
    RecUnit* carrier = Unit(env, "ship");
    RayOpsClass* rays = ClamClass::Init<RayOpsClass>(carrier);
    rays->AddGroup("LEFT");
    rays->AddGroup("right");
    RecUnit* a = Unit(env, "a");
    RecUnit* b = Unit(env, "b");
    RecUnit* c = Unit(env, "c");
    rays->AddRay("Left", a);
    rays->AddRay("left", b);
    rays->AddRay("RIGHT", c);
    rays->EnableRay("left", false);
    EXPECT_FALSE(a->HasFlag(BRU_VISIBLE));
    EXPECT_FALSE(b->HasFlag(BRU_VISIBLE));
    EXPECT_TRUE(c->HasFlag(BRU_VISIBLE));
    // A ray that goes leaves its group.
    b->Free();
    EXPECT_EQ(rays->GetGroup("left")->Rays().size(), 1u);
    rays->EnableRay("LEFT", true);
    EXPECT_TRUE(a->HasFlag(BRU_VISIBLE));
    // A group that goes leaves the list.
    rays->GetGroup("right")->Free();
    EXPECT_EQ(rays->GroupCount(), 1);
    rays->Free();
}

TEST_F(ComponentsTest, RayGroupFaultsAreFatalWithTheirTexts) {
    RecUnit* carrier = Unit(env, "ship");
    RayOpsClass* rays = ClamClass::Init<RayOpsClass>(carrier);
    rays->AddGroup("Left");
    RecUnit* a = Unit(env, "a");
    EXPECT_THROW(rays->AddGroup("left"), Halted);
    EXPECT_THROW(rays->AddRay("up", a), Halted);
    EXPECT_THROW(rays->EnableRay("up", true), Halted);
    ASSERT_EQ(trapAll.reports.size(), 3u);
    EXPECT_EQ(trapAll.reports[0].text, "RayOpsClass.AddGroup: GetGroup(left,g): group already exists");
    EXPECT_EQ(trapAll.reports[1].text, "RayOpsClass.AddRay: not GetGroup(up)");
    EXPECT_EQ(trapAll.reports[2].text, "RayOpsClass.EnableRay: not GetGroup(up,g)");
    rays->Free();
}

} // namespace
} // namespace vesk::test
