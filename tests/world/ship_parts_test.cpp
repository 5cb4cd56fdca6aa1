// The parts of a ship over real units and models: turrets aiming within
// their limits, muzzle points on scaled mounts, nozzles and their lamps,
// wings lending their nozzles, the shield volume, and the game operations
// (parent ship, ship lists, aim points, time checks).
#include "core/lua_functions.h"
#include "physics/ai_unit.h"
#include "physics/coll_detector.h"
#include "physics/obb_collision.h"
#include "physics/pf_objects.h"
#include "physics/player_physic.h"
#include "platform/system.h"
#include "render/mesh.h"
#include "render/render_script.h"
#include "render/script_links.h"
#include "render/view_camera.h"
#include "shared/timers.h"
#include "ship_fixture.h"
#include "support/fx_environment.h"
#include "world/fx_jet.h"
#include "world/world_services.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vesk::test {
namespace {

constexpr float kDeg = 1.0f / 57.3f;

class ShipPartsTest : public ShipWorldTest {
protected:
    void SetUp() override {
        ShipWorldTest::SetUp();
        DescribeGuns();
        // The turret stands on a mount at the origin of the scene.
        mount = TBaseRenderUnit::Create<TBaseRenderUnit>(engine);
        engine->AddChild(mount);
        mount->UpdateMatrices(nullptr);
    }
    TurretClass* MakeTurret(const std::string& params = "{}") {
        Lua("gunmodel.test_turret.physic_params = " + params);
        auto* t = TBaseRenderUnit::Create<TurretClass>(nullptr);
        t->LoadFromFile("test_turret");
        mount->Attach(t);
        t->UpdateMatrices(&mount->GetWorldMatrix());
        return t;
    }
    // A target unit at that point.
    TBaseRenderUnit* Target(const Vec3& at) {
        TBaseRenderUnit* u = TBaseRenderUnit::Create<TBaseRenderUnit>(engine);
        engine->AddChild(u);
        u->SetPosition(at);
        u->UpdateMatrices(nullptr);
        return u;
    }
    // A point at yaw (about z) and pitch (up) from the turret's hinge.
    static Vec3 At(float yawDeg, float pitchDeg, float distance = 100.0f) {
        const float y = yawDeg * kDeg, p = pitchDeg * kDeg;
        return {distance * std::cos(p) * std::cos(y), distance * std::cos(p) * std::sin(y),
                distance * std::sin(p)};
    }
    TBaseRenderUnit* mount = nullptr;
};

TEST_F(ShipPartsTest, ATurretTakesItsLimitsFromItsGunModel) {
    TurretClass* t = MakeTurret("{ TurretRotV = 90, RighTurretAngle = 120, LefTurretAngle = '' }");
    EXPECT_FLOAT_EQ(t->GetAngleLimit(TurretClass::kTurretRotV), 90.0f / 57.3f);
    EXPECT_FLOAT_EQ(t->GetAngleLimit(TurretClass::kRightAngle), 120.0f / 57.3f);
    // Empty and missing keys keep their defaults.
    EXPECT_FLOAT_EQ(t->GetAngleLimit(TurretClass::kLeftAngle), -180.0f / 57.3f);
    EXPECT_FLOAT_EQ(t->GetAngleLimit(TurretClass::kBurrelRotV), 50.0f / 57.3f);
    EXPECT_FLOAT_EQ(t->GetAngleLimit(TurretClass::kUpAngle), 90.0f / 57.3f);
    EXPECT_FLOAT_EQ(t->GetAngleLimit(TurretClass::kDownAngle), 0.0f);
    EXPECT_TRUE(t->IsFullCircle());
    ASSERT_NE(t->Barrel(), nullptr);
    EXPECT_EQ(t->Barrel()->GetName(), "burel");
    // The scripts set the six limits in degrees; an empty one keeps its value.
    InstallRenderScriptFunctions();
    LuaMachine->RunString("engine_SetTurretParams('" + t->GetHex() + "', 30, 40, '', -60, 45, 5)");
    EXPECT_FLOAT_EQ(t->GetAngleLimit(TurretClass::kTurretRotV), 30.0f / 57.3f);
    EXPECT_FLOAT_EQ(t->GetAngleLimit(TurretClass::kRightAngle), 120.0f / 57.3f);
    EXPECT_FLOAT_EQ(t->GetAngleLimit(TurretClass::kLeftAngle), -60.0f / 57.3f);
    EXPECT_FLOAT_EQ(t->GetAngleLimit(TurretClass::kDownAngle), 5.0f / 57.3f);
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

TEST_F(ShipPartsTest, ATurretTurnsTheShortWayAtItsSpeed) {
    TurretClass* t = MakeTurret();
    // From 170 to -170 degrees: 20 degrees across the back, not 340 the long way.
    t->SetAngles(170.0f * kDeg, 0.0f);
    t->SetTargetAngles(-170.0f * kDeg, 0.0f);
    t->SetTimeStep(10.0f);
    t->TurnStep();
    EXPECT_NEAR(t->Yaw(), -170.0f * kDeg, 1e-4f);
    // A 20 ms step turns at most TurretRotV x 0.02.
    t->SetAngles(0.0f, 0.0f);
    t->SetTargetAngles(1.0f, -1.0f);
    t->SetTimeStep(0.02f);
    t->TurnStep();
    EXPECT_FLOAT_EQ(t->Yaw(), 50.0f / 57.3f * 0.02f);
    // The barrel tilts toward the negated pitch, at its own speed.
    EXPECT_FLOAT_EQ(t->Pitch(), 50.0f / 57.3f * 0.02f);
}

TEST_F(ShipPartsTest, ATurretAimsAtATargetWithinItsLimitsAndLetsGoOfOneOutside) {
    TurretClass* t = MakeTurret("{ RighTurretAngle = 45, LefTurretAngle = -45 }");
    // Straight ahead at the hinge's height: pitch 0, exactly on the lower limit, is taken.
    TBaseRenderUnit* ahead = Target(At(0, 0));
    EXPECT_TRUE(IsTurretTurget(t, ahead));
    // Beyond the right limit: refused.
    TBaseRenderUnit* aside = Target(At(90, 10));
    EXPECT_FALSE(IsTurretTurget(t, aside));
    SetTurretTarget(t, aside, nullptr, nullptr);
    EXPECT_FALSE(t->HasTarget());
    // Within the limits: the turret turns onto it in 20 ms steps and calls back once aimed.
    TBaseRenderUnit* target = Target(At(30, 20));
    int aimedCalls = 0;
    SetTurretTarget(
        t, target, [&aimedCalls](void*) { ++aimedCalls; }, nullptr);
    ASSERT_TRUE(t->HasTarget());
    for (int i = 0; i < 100 && !t->IsAimed(); ++i) t->Tick(20.0f);
    EXPECT_TRUE(t->IsAimed());
    EXPECT_EQ(aimedCalls, 1);
    EXPECT_NEAR(t->Yaw(), 30.0f * kDeg, 0.011f);
    EXPECT_NEAR(t->Pitch(), -20.0f * kDeg, 0.011f);
    // The target moves out of the limits: dropped, and the turret goes back to rest.
    target->SetPosition(At(100, 0));
    target->UpdateMatrices(nullptr);
    t->Tick(20.0f);
    EXPECT_FALSE(t->HasTarget());
    EXPECT_FALSE(t->IsAimed());
    EXPECT_TRUE(t->IsReturning());
    for (int i = 0; i < 200 && t->IsReturning(); ++i) t->Tick(20.0f);
    EXPECT_FALSE(t->IsReturning());
    EXPECT_NEAR(t->Yaw(), 0.0f, 0.001f);
    EXPECT_NEAR(t->Pitch(), 0.0f, 0.001f);
    // A target that ceases to exist is dropped too.
    SetTurretTarget(t, ahead, nullptr, nullptr);
    ASSERT_TRUE(t->HasTarget());
    ahead->Kill();
    engine->CleanAndRemoveZeroElementsFromChildsBRUList();
    TEODestroyManager->Flush();
    EXPECT_FALSE(t->HasTarget());
    EXPECT_TRUE(t->IsReturning());
}

// A beam starts or ends at a turret only when the turret is built.
TEST_F(ShipPartsTest, OnlyABuiltTurretCarriesABeamsEnd) {
    EXPECT_TRUE(TurretIsBuilt(MakeTurret()));
    auto* bare = TBaseRenderUnit::Create<TurretClass>(nullptr); // never loaded: no barrel
    EXPECT_FALSE(TurretIsBuilt(bare));
    EXPECT_FALSE(TurretIsBuilt(mount));
    bare->Free();
}

TEST_F(ShipPartsTest, MuzzlePointsFollowTheMountsScaleOnceWhereverTheGunHangs) {
    auto* gun = TBaseRenderUnit::Create<CannonClass>(nullptr);
    ASSERT_TRUE(gun->LoadFromFile("test_gun", ""));
    auto muzzle = [gun](const char* name) {
        HelperClass* h = nullptr;
        EXPECT_TRUE(gun->FindHelper(name, h)) << name;
        return h ? MatrixGetTranslation(h->GetLocalMatrix()) : Vec3{};
    };
    mount->SetLocalMatrix(MatrixScaling(2, 3, 1));
    mount->Attach(gun);
    // "weapon", "weapon_out", "weapon1", "weapon_out1" scaled; there is no "weapon2".
    EXPECT_FLOAT_EQ(muzzle("weapon").x, 12.0f);
    EXPECT_FLOAT_EQ(muzzle("weapon_out1").x, 14.0f);
    EXPECT_FLOAT_EQ(muzzle("weapon_out1").y, 3.0f);
    // Moved to another mount: scaled from the model's points, not from the scaled ones.
    gun->Detach();
    TBaseRenderUnit* other = TBaseRenderUnit::Create<TBaseRenderUnit>(engine);
    engine->AddChild(other);
    other->SetLocalMatrix(MatrixScaling(2, 3, 1));
    other->Attach(gun);
    EXPECT_FLOAT_EQ(muzzle("weapon").x, 12.0f);
    EXPECT_FLOAT_EQ(muzzle("weapon_out1").y, 3.0f);
}

TEST_F(ShipPartsTest, GunsBelongToTheShipTheyHangOnAndToNoneOffIt) {
    DescribeFighter();
    ShipClass* ship = BuildShip("fighter");
    MovingBody body(ship);
    ship->SetBPU(&body);
    HelperClass* helper = nullptr;
    ASSERT_TRUE(ship->FindHelper("gun01", helper));
    auto* gun = TBaseRenderUnit::Create<CannonClass>(nullptr);
    gun->LoadFromFile("test_gun", "");
    TBaseRenderUnit* found = nullptr;
    IRenderUnitAI* bpu = nullptr;
    // Off any ship: no parent ship and no physics unit, and no report.
    EXPECT_FALSE(gun->GameOps()->GetParentShip(found));
    EXPECT_FALSE(gun->GetBPU(bpu));
    helper->Attach(gun);
    ASSERT_TRUE(gun->GameOps()->GetParentShip(found));
    EXPECT_EQ(found, ship);
    ASSERT_TRUE(gun->GetBPU(bpu));
    EXPECT_EQ(bpu, &body);
    // A ship is its own parent ship.
    ASSERT_TRUE(ship->GameOps()->GetParentShip(found));
    EXPECT_EQ(found, ship);
    ship->SetBPU(nullptr);
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

// The physics places a ship before the engine's pass; the pass may leave what
// nothing changed since, and must place again what did.
TEST_F(ShipPartsTest, TheEnginesPassPlacesAgainWhatChangedSinceAShipWasPlacedAhead) {
    DescribeFighter();
    ShipClass* ship = BuildShip("fighter");
    HelperClass* helper = nullptr;
    ASSERT_TRUE(ship->FindHelper("gun01", helper));
    engine->UpdateMatrices(nullptr);
    const Vec3 rest = MatrixGetTranslation(helper->GetWorldMatrix());
    auto placeAt = [&](float x) {
        ship->SetPosition({x, 0, 0});
        ship->PlaceAhead(&engine->GetWorldMatrix());
    };
    auto helperX = [&] { return helper->GetWorldMatrix().m[3][0]; };
    // Nothing changed since: the parts stay where the ship was placed.
    placeAt(100);
    EXPECT_FLOAT_EQ(helperX(), rest.x + 100);
    engine->UpdateMatrices(nullptr);
    EXPECT_FLOAT_EQ(helperX(), rest.x + 100);
    // The ship moved again after it was placed.
    placeAt(200);
    ship->SetPosition({300, 0, 0});
    engine->UpdateMatrices(nullptr);
    EXPECT_FLOAT_EQ(helperX(), rest.x + 300);
    // A part hung two levels under the ship after it was placed.
    placeAt(400);
    auto* part = TBaseRenderUnit::Create<TBaseRenderUnit>(helper);
    part->SetPosition({0, 5, 0});
    helper->AddChild(part);
    engine->UpdateMatrices(nullptr);
    EXPECT_FLOAT_EQ(part->GetWorldMatrix().m[3][0], rest.x + 400);
    EXPECT_FLOAT_EQ(part->GetWorldMatrix().m[3][1], rest.y + 5);
    // What the ship hangs on moved after it was placed.
    placeAt(500);
    engine->SetPosition({0, 0, 50});
    engine->UpdateMatrices(nullptr);
    EXPECT_FLOAT_EQ(helperX(), rest.x + 500);
    EXPECT_FLOAT_EQ(helper->GetWorldMatrix().m[3][2], rest.z + 50);
    engine->SetPosition({0, 0, 0});
    // A part turned between two places of one tick (as a turret between two
    // physics slices) while the ship stood still: the second place reaches it.
    placeAt(600);
    helper->SetPosition(Vec3Add(MatrixGetTranslation(helper->GetLocalMatrix()), {0, 7, 0}));
    ship->PlaceAhead(&engine->GetWorldMatrix());
    EXPECT_FLOAT_EQ(helper->GetWorldMatrix().m[3][1], rest.y + 7);
}

TEST_F(ShipPartsTest, NozzlesMakeJetsAndLampsAsTheirDescriptionsSay) {
    WriteModel("fighter", FighterModel());
    ShipMeshDesc& d = Describe("fighter", "fighter");
    d.nozzles = {{"nozzle01", "test_jet", "", "FF8080FF", 6, 20, 2},
                 {"nozzle01", "test_jet", "", "8080FF", 6, 0, 0},
                 {"nozzle02", "", "", "", 5, 0, 0}};
    ShipClass* ship = BuildShip("fighter");
    NozzlesController* n = ship->GetNozzles(false);
    ASSERT_NE(n, nullptr);
    // Two nozzles on one attach point are asked for apart; one without an effect has no jet.
    ASSERT_EQ(n->GetJetList().size(), 2u);
    EXPECT_EQ(n->GetJetList()[0]->requestId, "nozzle010");
    EXPECT_EQ(n->GetJetList()[1]->requestId, "nozzle011");
    ASSERT_EQ(n->GetLampList().size(), 3u);
    // Eight hexadecimal digits carry the alpha in the first two; six give alpha 0.
    TLampClass* bright = n->GetLampList()[0];
    EXPECT_EQ(bright->GetColor(), 0x8080FFu);
    EXPECT_FLOAT_EQ(bright->GetIntensity(), 1.0f);
    EXPECT_FLOAT_EQ(bright->GetFlickerAmplitude(), 0.2f);
    EXPECT_EQ(bright->GetName().rfind("ship.jetlamp_", 0), 0u) << bright->GetName();
    EXPECT_FLOAT_EQ(n->GetLampList()[1]->GetIntensity(), 0.0f);
    EXPECT_EQ(n->GetLampList()[2]->GetName(), "lamp for shipjet");
    // The engine state: lamps glow at their base times the value; jets take the scales.
    n->Update(0.5f, 2.0f, 0.25f);
    EXPECT_FLOAT_EQ(bright->GetIntensity(), 0.5f);
    auto* jet = dynamic_cast<FXJetClass*>(n->GetJetList()[0]->jet);
    ASSERT_NE(jet, nullptr);
    EXPECT_FLOAT_EQ(jet->GetLifeTimeSeconds(), 2.0f * 0.25f);
    // Switching a jet off by its request id.
    n->Request("nozzle011", false);
    EXPECT_FALSE(n->GetJetList()[1]->enabled);
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

TEST_F(ShipPartsTest, WithPoorEffectsNozzlesHaveNoLampsAndIgnoreTheEngineState) {
    Lua("ini.poorfx = 1");
    DescribeFighter();
    ShipClass* ship = BuildShip("fighter");
    NozzlesController* n = ship->GetNozzles(false);
    ASSERT_NE(n, nullptr);
    EXPECT_TRUE(n->GetLampList().empty());
    auto* jet = dynamic_cast<FXJetClass*>(n->GetJetList()[0]->jet);
    ASSERT_NE(jet, nullptr);
    n->Update(1.0f, 3.0f, 3.0f);
    EXPECT_FLOAT_EQ(jet->GetLifeTimeSeconds(), 2.0f);
}

TEST_F(ShipPartsTest, AWingLendsItsNozzlesToTheShipItHangsOn) {
    DescribeFighter();
    WriteModel("wing", WingModel());
    Describe("wing", "wing").nozzles = {{"nozzle01", "test_jet", "", "", 4, 0, 0}};
    ShipClass* ship = BuildShip("fighter");
    NozzlesController* shipNozzles = ship->GetNozzles(false);
    ASSERT_NE(shipNozzles, nullptr);
    const size_t jets = shipNozzles->GetJetList().size();
    const size_t lamps = shipNozzles->GetLampList().size();
    auto* wing = TBaseRenderUnit::Create<WingClass>(nullptr);
    ASSERT_TRUE(wing->LoadFromFile("wing", "leftWing"));
    EXPECT_EQ(wing->GetROList()->size(), 1u);
    HelperClass* helper = nullptr;
    ASSERT_TRUE(ship->FindHelper("wing_l", helper));
    helper->Attach(wing);
    EXPECT_EQ(shipNozzles->GetJetList().size(), jets + 1);
    EXPECT_EQ(shipNozzles->GetLampList().size(), lamps + 1);
    wing->Detach();
    EXPECT_EQ(shipNozzles->GetJetList().size(), jets);
    EXPECT_EQ(shipNozzles->GetLampList().size(), lamps);
    EXPECT_EQ(wing->GetNozzles(false), nullptr);
    // A wing whose mesh has no nozzles changes nothing on the ship.
    Describe("plain_wing", "wing");
    auto* plain = TBaseRenderUnit::Create<WingClass>(nullptr);
    plain->LoadFromFile("plain_wing", "plainWing");
    helper->Attach(plain);
    plain->Detach();
    EXPECT_EQ(shipNozzles->GetJetList().size(), jets);
    EXPECT_EQ(shipNozzles->GetLampList().size(), lamps);
    Loose(wing);
    Loose(plain);
    EXPECT_TRUE(trapAll.lastFatal.empty()) << trapAll.lastFatal;
}

TEST_F(ShipPartsTest, TheShieldIsTheModelsShieldObjectOrABoxAtTheShipsScale) {
    // A "shield" object: its matrix, whatever the ship's scale.
    DescribeFighter("shielded", true).shield = "hit_flash";
    auto* shielded = TBaseRenderUnit::Create<ShipClass>(engine);
    engine->AddChild(shielded);
    shielded->SetLocalMatrix(MatrixScaling(3, 3, 3));
    shielded->Build("shielded", "shielded", nullptr);
    EllipsoidShieldClass* shield = shielded->GameOps()->GetShield();
    EXPECT_FLOAT_EQ(shield->GetMatrix().m[0][0], 12.0f);
    EXPECT_FLOAT_EQ(shield->GetMatrix().m[2][2], 4.0f);
    TBaseRenderUnit* templ = nullptr;
    ASSERT_TRUE(shield->GetEffectTemplate(templ));
    EXPECT_EQ(templ->GetName(), "hit_flash");
    // No "shield" object, the ship scaled by 2 along x: twice the first object's box along x.
    WriteModel("fighter_plain", FighterModel());
    Describe("plain", "fighter_plain");
    auto* plain = TBaseRenderUnit::Create<ShipClass>(engine);
    engine->AddChild(plain);
    plain->SetLocalMatrix(MatrixScaling(2, 1, 1));
    plain->Build("plain", "plain", nullptr);
    EXPECT_FLOAT_EQ(plain->GameOps()->GetShield()->GetMatrix().m[0][0], 36.0f);
    EXPECT_FLOAT_EQ(plain->GameOps()->GetShield()->GetMatrix().m[1][1], 8.0f);
    // A shot along -x from far ahead meets the ellipsoid (the unit sphere
    // carried by that matrix) at its front; one passing above misses it.
    plain->SetLocalMatrix(MatrixProduct(MatrixScaling(2, 1, 1), MatrixTranslation(100, 0, 0)));
    plain->UpdateMatrices(nullptr);
    Vec3 point, normal;
    ASSERT_TRUE(plain->GameOps()->GetShield()->HitQuery({300, 0, 0}, {-1, 0, 0}, point, normal));
    EXPECT_NEAR(point.x, 136.0f, 1e-3f);
    EXPECT_NEAR(normal.x, 1.0f, 1e-4f);
    EXPECT_FALSE(plain->GameOps()->GetShield()->HitQuery({300, 0, 50}, {-1, 0, 0}, point, normal));
}

TEST_F(ShipPartsTest, TheLeadPointIsWhereAProjectileMeetsTheTarget) {
    TBaseRenderUnit* shooter = Target({0, 0, 0});
    TBaseRenderUnit* target = Target({3000, 0, 0});
    MovingBody body(target, {0, 100, 0});
    target->SetBPU(&body);
    TargetOpsClass* ops = GameOpsOf(target)->GetTargetOps();
    Vec3 p;
    // 3000 away at 100 per second: one second of flight, 100 ahead.
    ASSERT_TRUE(ops->ComputeLeadPoint(shooter, p));
    EXPECT_NEAR(p.y, 100.0f, 1e-3f);
    // Below 1 per second the target is aimed at directly.
    body.velocity = {0, 0.5f, 0};
    ops->ComputeLeadPoint(shooter, p);
    EXPECT_FLOAT_EQ(p.y, 0.0f);
    // The aim helper moves there.
    body.velocity = {0, 100, 0};
    TBaseRenderUnit* aim = ops->UpdateAim(shooter);
    ASSERT_NE(aim, nullptr);
    EXPECT_EQ(aim->GetName().rfind("targetH_" + IntToHex8(target->GetId()), 0), 0u) << aim->GetName();
    Vec3 at;
    aim->GetPosition(at);
    EXPECT_NEAR(at.y, 100.0f, 1e-3f);
    target->SetBPU(nullptr);
}

// The player aims from the eye of the camera behind the ship: the lead time is
// the projectile's flight from the eye, and the aim point is moved by the eye's
// offset from the ship. Other shooters aim from themselves.
TEST_F(ShipPartsTest, ThePlayersShipLeadsItsTargetFromTheCamerasEye) {
    struct Eye : IScriptCamera {
        void StartAlignToObjOri(const Vec3&) override {}
        void SetZoom(float) override {}
        void StartFreeCamera() override {}
        void StopFreeCamera() override {}
        void SetFreeCameraVelocity(const Vec3&) override {}
        void SetFreeCameraRollSpeed(float) override {}
        void SetPosition(const Vec3&) override {}
        Vec3 GetPosition() override { return {-3000, 0, 0}; }
        void SetFOV(float) override {}
        void SetCamFromHelper(const std::string&) override {}
    } eye;
    SetScriptCamera(&eye);
    TBaseRenderUnit* shooter = Target({0, 0, 0});
    TBaseRenderUnit* target = Target({3000, 0, 0});
    MovingBody body(target, {0, 100, 0});
    target->SetBPU(&body);
    TargetOpsClass* ops = GameOpsOf(target)->GetTargetOps();
    ASSERT_NE(ops->UpdateAim(shooter), nullptr); // names the target and makes the aim helper
    Vec3 at;
    // Not the player's ship: one second of flight from the shooter, 100 ahead.
    ops->UpdateAimFromCamera(shooter)->GetPosition(at);
    EXPECT_NEAR(at.x, 3000.0f, 1e-3f);
    EXPECT_NEAR(at.y, 100.0f, 1e-3f);
    // The player's ship: two seconds from the eye 6000 away, then moved by the eye's 3000 behind the ship.
    shooter->SetName("playership1");
    ops->UpdateAimFromCamera(shooter)->GetPosition(at);
    EXPECT_NEAR(at.x, 6000.0f, 1e-2f);
    EXPECT_NEAR(at.y, 200.0f, 1e-3f);
    SetScriptCamera(nullptr);
    target->SetBPU(nullptr);
}

TEST_F(ShipPartsTest, ATimeCheckPassesOncePerQuarterSecond) {
    platform::ManualClock clock;
    platform::ScopedClock scoped(clock);
    WorldGameOpsClass* ops = GameOpsOf(Target({0, 0, 0}));
    clock.AdvanceMs(1000);
    EXPECT_TRUE(ops->TimeCheck());
    EXPECT_FALSE(ops->TimeCheck());
    clock.AdvanceMs(200);
    EXPECT_FALSE(ops->TimeCheck());
    clock.AdvanceMs(50);
    EXPECT_TRUE(ops->TimeCheck());
}

TEST_F(ShipPartsTest, TheEnginesShipListFindsLiveShipsByName) {
    DescribeFighter();
    TBaseRenderUnit* a = engine->CreateShipBRU("fighter", "Alpha");
    TBaseRenderUnit* b = engine->CreateShipBRU("fighter", "beta");
    ASSERT_NE(a, nullptr);
    ShipsOpsClass* ships = GameOpsOf(engine)->ShipsOps();
    EXPECT_EQ(*ships->GetBRUList(1), (std::vector<TBaseRenderUnit*>{a, b}));
    TBaseRenderUnit* found = nullptr;
    // Letter case is ignored on the cached list; an undefined unit is passed over.
    ASSERT_TRUE(engine->FindShipByName("ALPHA", found));
    EXPECT_EQ(found, a);
    b->SetFlag(BRU_DISCARDED);
    EXPECT_FALSE(ships->FindShipByName("BETA", found));
    b->ClearFlag(BRU_DISCARDED);
    ASSERT_TRUE(ships->FindShipByPartName("et", found));
    EXPECT_EQ(found, b);
    // Guns on a ship are in the list too; killed units are not found.
    EXPECT_TRUE(engine->FindShipBRU(a));
    a->Kill();
    ships->DropShipListCache();
    EXPECT_FALSE(engine->FindShipBRU(a));
    EXPECT_EQ(FatalOf([&] { engine->FindShipBRU(nullptr); }), "ShipsOpsClass.FindShipBRU: _shipBRU=nil");
    // A ship that is gone leaves the list.
    engine->CleanAndRemoveZeroElementsFromChildsBRUList();
    TEODestroyManager->Flush();
    EXPECT_EQ(*ships->GetBRUList(1), (std::vector<TBaseRenderUnit*>{b}));
}

TEST_F(ShipPartsTest, SlotsSitAtTheirModelObjects) {
    const std::string file = WriteModel("fighter", FighterModel());
    TBaseRenderUnit* carrier = Target({0, 0, 0});
    TurretSlotClass* slot = nullptr;
    ASSERT_TRUE(GameOpsOf(carrier)->AttachSlot(file, "ring_mount", slot));
    EXPECT_EQ(slot->GetName(), "ring_mountslot_" + IntToHex8(slot->GetId()));
    EXPECT_FLOAT_EQ(slot->GetBaseMatrix().m[3][0], 5.0f);
    EXPECT_EQ(slot->Parent(), carrier);
    carrier->SetName("holder");
    EXPECT_EQ(FatalOf([&] { GameOpsOf(carrier)->AttachSlot(file, "nothing", slot); }),
              "GameOpsClass.AttachSlot: pgeomobj=nil; there is not  slot \"nothing\" in "
              "[TBaseRenderUnit]\"holder\"");
    EXPECT_EQ(FatalOf([&] { GameOpsOf(carrier)->AttachSlot(dir / "none.cm", "ring_mount", slot); }),
              "GameOpsClass.AttachSlot: (_CMPath=')or(not FileExists(_CMPath)): " + dir / "none.cm");
}

TEST_F(ShipPartsTest, AShipWithADetectorStopsShortOfWhatItMeetsAndFiresItsCollisionEvent) {
    DescribeFighter();
    InstallWorldShipList();
    CollDetectorClass::SetFrameTimeSource([] { return 16.0f; });
    std::vector<std::pair<IEngineObject*, IEngineObject*>> fired;
    SetCollisionEventFirer([&fired](IEngineObject* own, IEngineObject* other) {
        fired.push_back({own, other});
    });
    TShipPhysicParams record;
    record.sizeClass = SC_SMALL;
    record.maxVelocity = record.speedLimit = 2000;
    record.accelerateTime = 1;
    auto* a = dynamic_cast<ShipClass*>(engine->CreateShipBRU("fighter", "a"));
    auto* b = dynamic_cast<ShipClass*>(engine->CreateShipBRU("fighter", "b"));
    ASSERT_TRUE(a && b);
    b->SetPosition({30, 0, 0});
    engine->UpdateMatrices(nullptr);
    BaseAIUnitClass* aiA = BaseAIUnitClass::Init(a, record);
    BaseAIUnitClass* aiB = BaseAIUnitClass::Init(b, record);
    aiA->SetVelocity({1000, 0, 0});
    aiB->SetVelocity({-1, 0, 0});
    // Each ship's collision event (any engine object stands for one here).
    TBaseRenderUnit* eventA = Target({0, 0, 0});
    TBaseRenderUnit* eventB = Target({0, 0, 0});
    a->SetCollisionEvent(eventA);
    b->SetCollisionEvent(eventB);
    // Without a detector the ship's tick checks nothing.
    a->Tick(16.0f);
    EXPECT_EQ(a->GetCollisionResult(), nullptr);
    a->GameOps()->GetCollDetector();
    a->SetPosition({1, 0, 0});
    a->UpdateMatrices(nullptr);
    a->Tick(16.0f);
    ASSERT_NE(a->GetCollisionResult(), nullptr);
    EXPECT_EQ(a->GetCollisionResult()->GetOtherUnit(), b);
    EXPECT_NE(a->GetCollisionInfo(), nullptr);
    Vec3 at;
    a->GetPosition(at);
    EXPECT_FLOAT_EQ(at.x, 1.0f); // where its sweep began
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0].first, eventA);
    EXPECT_EQ(fired[0].second, eventB);
    // With game updates frozen the check is skipped.
    SetSwitch("vis.frozen", 1);
    a->Tick(16.0f);
    EXPECT_EQ(fired.size(), 1u);
    SetSwitch("vis.frozen", 0);
    a->SetCollisionEvent(nullptr);
    b->SetCollisionEvent(nullptr);
    SetCollisionEventFirer({});
    CollDetectorClass::SetFrameTimeSource({});
    SetSceneShipsProvider({});
    SetShipCollisionListHook(nullptr);
}

} // namespace
} // namespace vesk::test
