// The camera's movers in fixed steps, against values worked out by hand:
// the cockpit and chase views on a ship, spline flights, the cut-scene shots
// and the camera adapter; object view and the alignment start on the camera.
#include "cm_fixture.h"
#include "physic_fixture.h"
#include "physics/ai_unit.h"
#include "physics/camera.h"
#include "physics/cm_tree.h"
#include "physics/player_physic.h"
#include "render/helpers.h"
#include "shared/engine_object.h"
#include "shared/math.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <list>
#include <memory>
#include <numbers>
#include <vector>

namespace vesk {
namespace {

using test::ErrorTrap;
using test::FakeOwner;
using test::Halted;

void ExpectVec(const Vec3& v, float x, float y, float z, float tol = 1e-3f) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

// Units under one root that is discarded at the end; a camera with a fixed
// radius for its followed objects.
class CameraScene : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TEODestroyManager) {
            TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
            ownManager_ = true;
        }
        root = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
        CameraHooks hooks;
        hooks.objectRadius = [](TBaseRenderUnit*) { return 100.0f; };
        hooks.random = [] { return 0.0f; };
        cam = std::make_unique<CameraClass>("generic", hooks);
    }
    void TearDown() override {
        cam.reset();
        for (FakeOwner& o : owners) o.unit->SetBPU(nullptr);
        root->DiscardBRU();
        root->Free();
        TEODestroyManager->Flush();
        if (ownManager_) TEODestroyManager.reset();
    }
    TBaseRenderUnit* Unit(const std::string& name, const Vec3& at) {
        auto* u = TBaseRenderUnit::Create<TBaseRenderUnit>(root);
        u->SetName(name);
        root->AddChild(u);
        u->SetWorldPosition(at);
        return u;
    }
    // A unit outside the tree, for a test to free on its own.
    static TBaseRenderUnit* Loose(const std::string& name, const Vec3& at) {
        auto* u = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
        u->SetName(name);
        u->SetWorldPosition(at);
        return u;
    }
    // A ship: a unit whose steering unit answers with the record and vectors given.
    FakeOwner& Ship(const Vec3& at) {
        FakeOwner& owner = owners.emplace_back();
        owner.unit = Unit("ship", at);
        owner.pos = {at.x, at.y, at.z};
        owner.params = &record;
        owner.unit->SetBPU(&owner);
        return owner;
    }

    TBaseRenderUnit* root = nullptr;
    std::unique_ptr<CameraClass> cam;
    TShipPhysicParams record = test::MakeRecord(1);
    std::list<FakeOwner> owners;
    bool ownManager_ = false;
};

// ---- cockpit and chase -------------------------------------------------------------------------

// Ship along +x at speed 150 over a limit of 100 (ceiling 200), turning about
// its up axis at 1 rad/s; the eye's base at (10, 20, 30). One 30 ms slice:
// speed share 0.25 eased by 2 * 0.03 -> 0.015; lean (0,1,0) * 0.5 * 1 / 2.
TEST_F(CameraScene, CockpitFollowsTheHullAndTurnsTowardItsTargets) {
    record.speedLimit = 100, record.maxVelocity = 200, record.maxRotateVelocity = 2;
    FakeOwner& owner = Ship({0, 0, 0});
    TBaseRenderUnit* ship = owner.unit;
    owner.vel->SetVector({150, 0, 0});
    owner.omega->SetVector({0, 0, 1});
    TBaseRenderUnit* seat = Unit("seat", {10, 20, 30});
    cam->SetCockpitMode(ship, seat, 0, 0.5f, 40);
    ASSERT_TRUE(cam->IsMode(kCamCockpit));
    cam->Update(30);
    ExpectVec(cam->GetPosition(), 10.6f, 20.25f, 30);
    ExpectVec(cam->GetDirection(), 100, 0, 0);
    ExpectVec(cam->GetUpVector(), 0, 0, 1);

    // Turning right by 30 degrees (the limit): 0.5236 * 0.03 * 4 of it per slice,
    // toward -y, which the mirrored projection shows on the right.
    cam->CockpitRotateRight(2);
    cam->Update(30);
    EXPECT_NEAR(cam->Cockpit()->Yaw(), 0.062827f, 1e-5f);
    ExpectVec(cam->GetDirection(), 99.8027f, -6.2786f, 0);
    EXPECT_NEAR(cam->GetPosition().x, 11.164f, 1e-3f);

    // Amounts are clamped into [0, 1]: 2 counts as 1, a negative one as 0.
    struct Case {
        void (CameraClass::*rotate)(float);
        float amount, yaw, pitch;
    };
    const auto& t = cam->Cockpit()->Tuning();
    for (const Case& c :
         {Case{&CameraClass::CockpitRotateUp, 2, 0, t.up}, Case{&CameraClass::CockpitRotateUp, -1, 0, 0},
          Case{&CameraClass::CockpitRotateDown, 1, 0, -t.down},
          Case{&CameraClass::CockpitRotateLeft, 0.5f, -0.5f * t.left, 0}}) {
        cam->CockpitRotateReset();
        ((*cam).*c.rotate)(c.amount);
        EXPECT_FLOAT_EQ(cam->Cockpit()->YawTarget(), c.yaw);
        EXPECT_FLOAT_EQ(cam->Cockpit()->PitchTarget(), c.pitch);
    }
    EXPECT_FLOAT_EQ(t.down, 10.0f / 57.3f);

    cam->ResetCockpitMode();
    EXPECT_FALSE(cam->IsMode(kCamCockpit));
    EXPECT_FALSE(cam->Cockpit()->IsActive());
}

// The player's afterburner belongs to the player's flight, not to the
// computer's physics unit the ship keeps: with it on, the share of speed over
// the limit is measured against the afterburner's speed. Speed 300 over the
// limit 100 with the afterburner asked for 400: share 0.5, eased by 2 * 0.03
// -> 0.03, times the speed factor 40 -> 1.2 along the hull (2.4 if the top
// speed of 200 were taken instead).
TEST_F(CameraScene, CockpitMeasuresThePlayersSpeedAgainstTheAfterburner) {
    TShipPhysicParams rec = test::MakeRecord(SC_SMALL);
    rec.speedLimit = 100, rec.maxVelocity = 200;
    TBaseRenderUnit* ship = Unit("player", {0, 0, 0});
    BaseAIUnitClass* ai = BaseAIUnitClass::Init(ship, rec);
    ai->TakePlayerControl();
    IPhPlayerControl* flight = nullptr;
    ASSERT_TRUE(ai->GetPlayerPhysicComponent(flight));
    flight->ForsageOn(400, 1, 1);
    ai->SetVelocity({300, 0, 0});
    ASSERT_TRUE(ai->IsForsage());
    TBaseRenderUnit* seat = Unit("seat", {10, 20, 30});
    cam->SetCockpitMode(ship, seat, 0, 0, 40);
    cam->Update(30);
    ExpectVec(cam->GetPosition(), 11.2f, 20, 30);
    cam->ResetCockpitMode();
    ship->SetBPU(nullptr);
    ai->Free();
}

TEST_F(CameraScene, CockpitAndAlignRefuseAnObjectWithoutSteering) {
    ErrorTrap trap;
    TBaseRenderUnit* plain = Unit("rock", {0, 0, 0});
    EXPECT_THROW(cam->SetCockpitMode(plain, plain, 0, 1, 1), Halted);
    EXPECT_EQ(trap.lastFatal, "CameraClass.SetCockpitMode : not _obj.GetBPU( bpu)");

    // Without a cam-from helper the chase is asked for but does not start.
    cam->SetObject(plain);
    cam->StartAlignToObjOri();
    EXPECT_TRUE(cam->IsMode(kCamAlign));
    EXPECT_FALSE(cam->Fly()->IsActive());
    plain->AddHelper("cam_from", {0, 0, 0});
    EXPECT_THROW(cam->StartAlignToObjOri(), Halted);
    EXPECT_EQ(trap.lastFatal, "CameraClass.StartAlignToObjOri : not _obj.GetBPU( bpu)");
}

// Ship at (100, 0, 0) along +x yawing at 0.5 rad/s: the eye sits 150 behind,
// 40 above, swung out by c1 = -0.5 * 2 * 0.03 = -0.03 times 25 along the side.
TEST_F(CameraScene, ChaseSitsBehindTheShipAndSwingsOutOfTurns) {
    FakeOwner& owner = Ship({100, 0, 0});
    TBaseRenderUnit* ship = owner.unit;
    owner.omega->SetVector({0, 0, 0.5f});
    ship->AddHelper("cam_from2", {0, -5, 0});
    cam->SetObject(ship);
    cam->StartAlignToObjOri();
    ASSERT_TRUE(cam->Fly()->IsActive());
    auto* helper = dynamic_cast<HelperClass*>(cam->Fly()->Helper());
    ASSERT_NE(helper, nullptr);
    EXPECT_EQ(helper->GetHelperName(), "cam_from2");
    cam->Update(30);
    ExpectVec(cam->GetPosition(), -49, -0.75f, 40);
    ExpectVec(cam->GetDirection(), 100, 0, 0);

    // The second look flag hands the frame to the mouse orbit: no chase step.
    cam->SetLookFlag(false, true);
    const Vec3 before = cam->GetPosition();
    owner.pos = {500, 0, 0};
    cam->Update(30);
    EXPECT_GT(std::fabs(cam->GetPosition().x - before.x), 0.0f); // the orbit placed it
    cam->SetLookFlag(false, false);
    cam->Update(30);
    EXPECT_NEAR(cam->GetPosition().x, 351.0f, 1e-3f);
}

// ---- object view -------------------------------------------------------------------------------

TEST_F(CameraScene, ObjectViewOrbitsFromTheFrontAndRestores) {
    TBaseRenderUnit* station = Unit("station", {100, 0, 0});
    cam->StartObjView(station, 60, 100, 300);
    EXPECT_TRUE(cam->IsMode(kCamObjView));
    EXPECT_FLOAT_EQ(cam->GetFOV(), 60);
    // Both elevation limits are 65 degrees; the view starts at azimuth 0,
    // 250% of the radius away.
    const float e = 65.0f / 57.3f;
    EXPECT_FLOAT_EQ(cam->MinElevation(), e);
    EXPECT_FLOAT_EQ(cam->Elevation(), e);
    EXPECT_FLOAT_EQ(cam->Azimuth(), 0);
    EXPECT_FLOAT_EQ(cam->GetLADist(), 250);
    ExpectVec(cam->GetPosition(), 100 + std::sin(e) * 250, 0, std::cos(e) * 250);
    EXPECT_FLOAT_EQ(cam->GetMinDist(), 100);
    EXPECT_FLOAT_EQ(cam->GetMaxDist(), 300);

    // It turns slowly by itself, one step per orbit slice (of 60 ms the align
    // loop takes 30 and the orbit the 30 left).
    cam->ClearMode(kCamSway);
    cam->Update(60);
    EXPECT_NEAR(cam->Azimuth(), 0.00025f, 1e-7f);

    cam->StopObjView();
    EXPECT_FALSE(cam->IsMode(kCamObjView));
    EXPECT_FLOAT_EQ(cam->GetFOV(), 75);
    EXPECT_FLOAT_EQ(cam->MaxElevation(), 3.14f);
    // A second stop changes nothing.
    cam->SetFOV(50);
    cam->StopObjView();
    EXPECT_FLOAT_EQ(cam->GetFOV(), 50);
}

TEST_F(CameraScene, AFollowedUnitThatGoesAwayIsDropped) {
    TBaseRenderUnit* a = Loose("a", {1, 2, 3});
    cam->SetObject(a);
    EXPECT_EQ(cam->FirstFollowed(), a);
    a->DiscardBRU();
    a->Free();
    EXPECT_EQ(cam->FirstFollowed(), nullptr);
    EXPECT_TRUE(cam->Followed().empty());
    cam->SetLookFlag(false, true);
    cam->Update(30); // no followed object: the orbit does nothing
}

TEST_F(CameraScene, CriticalDistanceNamesEachFollowedObject) {
    ErrorTrap trap;
    TBaseRenderUnit* a = Unit("hull", {7, 0, 0});
    cam->SetObject(a);
    cam->SetLADist(2e9f);
    cam->SetMode(kCamUserControl);
    EXPECT_THROW(cam->MouseInput(0, 0, 20), Halted);
    const std::string& text = trap.lastFatal;
    EXPECT_EQ(
        text.rfind(
            "LADist=2000000000, GetMinDist=100, EndDist=1000, ObjsBRUList.Count=1, obj name=hull, mat: ", 0),
        0u)
        << text;
    EXPECT_NE(text.find(", CurMat: "), std::string::npos);
    EXPECT_TRUE(trap.HasReport(text));
}

// ---- splines -----------------------------------------------------------------------------------

CameraKeyPoint Key(const Vec3& at, float time, const Vec3& dir = {1, 0, 0}) {
    CameraKeyPoint k;
    k.position = at;
    k.time = time;
    k.direction = dir;
    return k;
}

TEST_F(CameraScene, TwoPointsMoveOnTheChordAndCallBackOnce) {
    int done = 0;
    CameraKeyPoint a = Key({0, 0, 0}, 2), b = Key({100, 0, 0}, 0, {0, 1, 0});
    a.spline = true; // two points take the chord whatever the point asks
    a.up = {0, 0, 0};
    cam->StartSplineMode();
    cam->StartSpline({a, b}, [&] { ++done; });
    TSplineMoveComponent& s = *cam->Spline();
    EXPECT_EQ(s.Segments()[0].flags, kSegChord | kSegTurnDirection);
    // Left stopped on the first point.
    ExpectVec(cam->GetPosition(), 0, 0, 0);
    ExpectVec(cam->GetUpVector(), 0, 0, 1);
    cam->Update(500);
    ExpectVec(cam->GetPosition(), 0, 0, 0);
    cam->RunSpline();
    cam->Update(500);
    ExpectVec(cam->GetPosition(), 25, 0, 0);
    // A quarter of the turn from +x to +y.
    const float c = std::cos(std::numbers::pi_v<float> / 8), sn = std::sin(std::numbers::pi_v<float> / 8);
    ExpectVec(cam->GetDirection(), c, sn, 0);
    cam->Update(2000);
    ExpectVec(cam->GetPosition(), 100, 0, 0);
    EXPECT_EQ(done, 1);
    cam->Update(500);
    EXPECT_EQ(done, 1);
    cam->StopSpline();
    EXPECT_FALSE(cam->IsMode(kCamSpline));
}

TEST_F(CameraScene, SplineSegmentsCarryTheRestAndJumpOnNoTime) {
    struct Case {
        float firstTime;
        float tick;
        Vec3 expected;
        int segment;
    };
    // Three chord points (0,0,0) -> (10,0,0) -> (10,10,0), one second each:
    // 1.25 s ends the first segment and carries 0.25 s into the second. A
    // first point without time jumps to the second at the first tick.
    for (const Case& c :
         {Case{1, 1.25f, {10, 2.5f, 0}, 1}, Case{0, 0.01f, {10, 0.1f, 0}, 1}, Case{1, 0.4f, {4, 0, 0}, 0}}) {
        std::vector<CameraKeyPoint> pts = {Key({0, 0, 0}, c.firstTime), Key({10, 0, 0}, 1),
                                           Key({10, 10, 0}, 1)};
        TSplineMoveComponent s(cam.get());
        s.SetPoints(pts, nullptr);
        EXPECT_TRUE(s.IsStopped());
        s.SetStopped(false);
        s.Tick(c.tick);
        ExpectVec(cam->GetPosition(), c.expected.x, c.expected.y, c.expected.z);
        EXPECT_EQ(s.SegmentIndex(), c.segment);
    }
}

TEST_F(CameraScene, SplineTimeFromSpeedAndLookAtTarget) {
    TBaseRenderUnit* target = Loose("beacon", {50, 100, 0});
    CameraKeyPoint a = Key({0, 0, 0}, 5), b = Key({100, 0, 0}, 1);
    a.useSpeed = true, a.speed = 50; // 100 units at 50 per second: 2 s
    a.target = target;
    TSplineMoveComponent s(cam.get());
    s.SetPoints({a, b}, nullptr);
    EXPECT_FLOAT_EQ(s.Segments()[0].time, 2);
    EXPECT_TRUE(s.Segments()[0].flags & kSegLookAtTarget);
    s.SetStopped(false);
    s.Tick(1);
    ExpectVec(cam->GetPosition(), 50, 0, 0);
    ExpectVec(cam->GetDirection(), 0, 100, 0);
    // The target goes away: the camera keeps looking at its last place.
    target->DiscardBRU();
    target->Free();
    s.Tick(0.5f);
    ExpectVec(cam->GetDirection(), -25, 100, 0);
}

TEST_F(CameraScene, HermiteSegmentsMoveAtConstantArcSpeed) {
    CameraKeyPoint a = Key({0, 0, 0}, 1), b = Key({100, 0, 0}, 1), c = Key({100, 100, 0}, 1);
    a.spline = b.spline = true;
    TSplineMoveComponent s(cam.get());
    s.SetPoints({a, b, c}, nullptr);
    const CameraSegment& first = s.Segments()[0];
    ASSERT_TRUE(first.flags & kSegHermite);
    // The curve bends toward the next chord, so it is longer than its chord.
    EXPECT_GT(first.length, 100.0f);
    EXPECT_FLOAT_EQ(first.length, TSpline::Length(first, s.Segments()[1]));
    s.SetStopped(false);
    std::vector<Vec3> path{cam->GetPosition()};
    for (int i = 0; i < 9; ++i) {
        s.Tick(0.1f);
        path.push_back(cam->GetPosition());
    }
    for (size_t i = 1; i < path.size(); ++i)
        EXPECT_NEAR(Vec3Length(Vec3Sub(path[i], path[i - 1])), first.length / 10, first.length * 0.01f) << i;
}

// ---- cut scenes ----------------------------------------------------------------------------------

TEST_F(CameraScene, FarNearLockKeepsTheEyeOnTheNearObject) {
    TBaseRenderUnit* nearUnit = Unit("near", {0, 0, 0});
    TBaseRenderUnit* farUnit = Unit("far", {100, 0, 0});
    CutSceneParams p;
    p.flags = kCutTypeFarNearLock;
    p.farObj = farUnit;
    p.nearFrom = {0, -3, 0}; // only the direction counts
    p.nearTo = {0, -1, 0};
    p.nearToDist = 2;
    p.animationTime = 1;
    int ended = 0;
    cam->StartCutScene([&] { ++ended; }, {nearUnit}, p);
    ASSERT_TRUE(cam->IsMode(kCamCutScene));
    cam->Update(30);
    // 3% of the way from 1 to 2 units on the near object's -y side.
    ExpectVec(cam->GetPosition(), 0, -1.03f, 0);
    ExpectVec(cam->GetLookAtPoint(), 100, 0, 0);
    // The far object moves: only the look follows it, the eye stays within
    // reach of the near object.
    farUnit->SetWorldPosition({0, 100, 0});
    cam->Update(30);
    EXPECT_NEAR(Vec3Length(cam->GetPosition()), 1.06f, 1e-3f);
    ExpectVec(cam->GetLookAtPoint(), 0, 100, 0);
    nearUnit->SetWorldPosition({5, 0, 0});
    cam->Update(30);
    EXPECT_NEAR(Vec3Length(Vec3Sub(cam->GetPosition(), {5, 0, 0})), 1.09f, 1e-3f);
    for (int i = 0; i < 40; ++i) cam->Update(30);
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(cam->CutScene()->IsRunning());
}

TEST_F(CameraScene, MiddleLookFramesBothAndTakesTheSecondAxisAsUp) {
    TBaseRenderUnit* nearUnit = Unit("near", {0, 0, 0});
    TBaseRenderUnit* farUnit = Unit("far", {100, 0, 0});
    CutSceneParams p;
    p.flags = kCutTypeMiddleLook;
    p.farObj = farUnit;
    p.screenPercent = 0.25f;
    p.animationTime = 10;
    cam->StartCutScene(nullptr, {nearUnit}, p);
    cam->Update(30);
    // Straight above the middle, at 50 / tan(DegToRad(75 * 2/3) * (1 - 0.5)).
    ExpectVec(cam->GetPosition(), 50, 0, 107.2343f);
    ExpectVec(cam->GetLookAtPoint(), 50, 0, 0);
    // It looks down along the frame's third axis: the second one is up.
    ExpectVec(cam->GetUpVector(), 0, 1, 0);
}

TEST_F(CameraScene, MoveToObjectLooksAlongTheGivenDirection) {
    TBaseRenderUnit* nearUnit = Unit("near", {0, 0, 0});
    TBaseRenderUnit* farUnit = Unit("far", {0, 100, 0});
    CutSceneParams p;
    p.flags = kCutTypeMoveToObj;
    p.farObj = farUnit;
    p.nearFrom = p.nearTo = {-1, 0, 0};
    p.ori = {1, 0, 0};
    p.animationTime = 1;
    cam->StartCutScene(nullptr, {nearUnit}, p);
    cam->Update(30);
    // The frame faces the far object (+y): the offset (-1, 0, 0) puts the eye
    // behind the near object, and the look is ori turned into the frame.
    ExpectVec(cam->GetPosition(), 0, -1, 0);
    ExpectVec(cam->GetDirection(), 0, 100, 0);
}

// With position inertia the eye lags the near ship's changes of speed; the lag
// starts from the speed the ship has when the shot starts, so a ship already
// flying does not leave the eye behind at the first step.
TEST_F(CameraScene, PositionInertiaLagsFromTheSpeedTheShipHadAtTheStart) {
    FakeOwner& ship = Ship({0, 0, 0});
    ship.vel->SetVector({150, 0, 0});
    TBaseRenderUnit* farUnit = Unit("far", {0, 100, 0});
    CutSceneParams p;
    p.flags = kCutTypeMoveToObj | kCutPosInertia;
    p.farObj = farUnit;
    p.nearFrom = p.nearTo = {-1, 0, 0};
    p.ori = {1, 0, 0};
    p.animationTime = 10;
    p.inertPos = 50;
    cam->StartCutScene(nullptr, {ship.unit}, p);
    cam->Update(30);
    ExpectVec(cam->GetPosition(), 0, -1, 0); // as without inertia
    // Faster: the eye's point falls back along the ship's nose by twice the lag.
    // The point is taken twice a step (for the turn and for the eye); each time
    // the lag closes at the speed seen the time before: 150 -> 154.5 (150 x 0.03)
    // -> 160.5 (200 x 0.03), so the point stands at x = 2 (160.5 - 200) = -79 and
    // the eye one unit behind it on the line to the far object.
    ship.vel->SetVector({200, 0, 0});
    cam->Update(30);
    EXPECT_NEAR(cam->GetPosition().x, -79.0f - 79.0f / std::sqrt(79.0f * 79.0f + 100.0f * 100.0f), 0.1f);
}

TEST_F(CameraScene, CutSceneFatalTexts) {
    struct Case {
        uint64_t flags;
        bool units, far;
        const char* text;
    };
    TBaseRenderUnit* a = Unit("a", {0, 0, 0});
    for (const Case& c :
         {Case{kCutTypeFarNearLock, false, true, "TCutSceneComponent.SetCutSceneParams : BRUList.Count = 0"},
          Case{kCutTypeMoveToObj, true, false,
               "TCutSceneComponent.SetCutSceneParams : Mode = CA_CUTMODE_MOVETOOBJ, but AIMObj = nil"},
          Case{kCutTypeMoveToObj, true, true,
               "TCutSceneComponent.SetCutSceneParams: ivalid param for move_to_obj mode: Ori = 0"}}) {
        ErrorTrap trap;
        CutSceneParams p;
        p.flags = c.flags;
        p.farObj = c.far ? a : nullptr;
        std::vector<TBaseRenderUnit*> units;
        if (c.units) units.push_back(a);
        EXPECT_THROW(cam->StartCutScene(nullptr, units, p), Halted);
        EXPECT_EQ(trap.lastFatal, c.text);
    }
}

// ---- camera adapter --------------------------------------------------------------------------------

enum AdapterStr : uint32_t { kNone, kScene, kEye, kTarget };

std::string ModelWithCameras() {
    using test::ChunkBytes;
    test::CMFileBytes f;
    f.Add(test::SceneChunk(kScene));
    f.Marker(CHUNK_CAMERA_LIST_BEGIN);
    Matrix eye = MatrixTranslation(0, -50, 10), target = MatrixTranslation(0, 0, 5);
    f.Add(ChunkBytes(CHUNK_CAMERA, 120).U32(20, kEye).TM(56, eye).F32(116, 55.0f));
    f.Marker(CHUNK_CAMERA_END);
    f.Add(ChunkBytes(CHUNK_CAMERA, 120).U32(20, kTarget).TM(56, target).F32(116, 10.0f));
    f.Marker(CHUNK_CAMERA_END);
    f.Marker(CHUNK_CAMERA_LIST_END);
    f.Strings({"", "scene", "cam_eye", "cam_target"});
    f.Marker(CHUNK_END);
    return f.Bytes();
}

TEST_F(CameraScene, AdapterPutsTheCameraOnTheModelsCameraUnits) {
    auto camera = std::make_shared<CameraClass>();
    TBaseRenderUnit* carrier = Unit("carrier", {0, 0, 0});
    auto* adapter = TEngineObject::New<CameraAdapterClass>();
    adapter->Init(camera, carrier);
    EXPECT_FALSE(camera->IsMode(kCamUserControl | kCamSway));
    ASSERT_NE(adapter->CameraUnit(), nullptr);
    EXPECT_EQ(adapter->CameraUnit()->GetName(), "cam_for_camadapter_" + IntToHex8(adapter->GetId()));
    EXPECT_EQ(adapter->TargetUnit()->GetName(), "camtarget_for_camadapter_" + IntToHex8(adapter->GetId()));
    EXPECT_EQ(adapter->CameraUnit()->Parent(), carrier);

    CMTreeClass tree;
    tree.Parse(ModelWithCameras(), "cams.cm");
    adapter->AttachAnimators(&tree, "cam_eye", "cam_target");
    EXPECT_FLOAT_EQ(camera->GetFOV(), 55); // the target's field of view is not taken
    carrier->SetLocalMatrix(MatrixTranslation(1000, 0, 0));
    carrier->UpdateMatrices(nullptr);
    adapter->UpdateTick(20);
    ExpectVec(camera->GetPosition(), 1000, -50, 10);
    ExpectVec(camera->GetLookAtPoint(), 1000, 0, 5);
    EXPECT_TRUE(camera->IsMode(kCamFixed));

    // It goes away with its carrier.
    const int32_t id = adapter->GetId();
    TBaseRenderUnit* ship = Loose("ship", {0, 0, 0});
    auto* riding = TEngineObject::New<CameraAdapterClass>();
    riding->Init(camera, ship);
    const int32_t ridingId = riding->GetId();
    ship->DiscardBRU();
    ship->Free();
    TEODestroyManager->Flush();
    EXPECT_EQ(FindEngineObjectById(ridingId), nullptr);
    EXPECT_NE(FindEngineObjectById(id), nullptr);
    adapter->Free();

    ErrorTrap trap;
    auto* lonely = TEngineObject::New<CameraAdapterClass>();
    EXPECT_THROW(lonely->Init(camera, nullptr), Halted);
    EXPECT_EQ(trap.lastFatal, "CameraAdapterClass.Init: carrier = nil");
    CMTreeClass empty;
    EXPECT_THROW(lonely->AttachAnimators(&empty, "a", "b"), Halted);
    EXPECT_EQ(trap.lastFatal, "CameraAdapterClass.AttachAnimators: _cmtree.CameraList = nil");
    lonely->Free();
}

} // namespace
} // namespace vesk
