#include "physics/coll_detector.h"

#include "physic_fixture.h"
#include "physics/ai_unit.h"
#include "physics/bsphere.h"
#include "physics/bsphere_sections.h"
#include "physics/pf_objects.h"
#include "physics/ph_scene.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <vector>

namespace vesk {
namespace {

struct Sphere : IBoundingSphere2 {
    Vec3 pos;
    float radius = 1;
    bool mesh = true;
    std::vector<IBoundingSphere2*> children;
    float GetRadius() const override { return radius; }
    Vec3 GetPositionV() const override { return pos; }
    Vec3 GetCenter() const override { return pos; }
    float GetLocalRadius() const override { return radius; }
    void ResetChildIterator(int& i) const override { i = 0; }
    bool NextChildSphere(int& i, IBoundingSphere2*& out) override {
        if (i >= static_cast<int>(children.size())) return false;
        out = children[i++];
        return true;
    }
    bool GetMeshGeometry(std::shared_ptr<BSSectionMesh>& out) const override {
        out = mesh ? std::make_shared<BSSectionMesh>() : nullptr;
        return mesh;
    }
    void SetMeshGeometry(std::shared_ptr<BSSectionMesh>) override {}
    void ReleaseMeshGeometry() override {}
    void KillSphere() override {}
};

void ExpectVec(Vec3 v, Vec3 e) {
    EXPECT_NEAR(v.x, e.x, 1e-4f);
    EXPECT_NEAR(v.y, e.y, 1e-4f);
    EXPECT_NEAR(v.z, e.z, 1e-4f);
}

TEST(CollDetector, SegmentAgainstSphere) {
    Vec3 p;
    EXPECT_FALSE(CollSegmentHitsSphere({0, 0, 0}, {0, 0, 0}, {0, 0, 0}, 5, p)); // zero length
    ASSERT_TRUE(CollSegmentHitsSphere({1, 0, 0}, {20, 0, 0}, {0, 0, 0}, 5, p)); // starts inside
    ExpectVec(p, {1, 0, 0});
    // Passing through: the point lies back towards the start from the nearest point.
    ASSERT_TRUE(CollSegmentHitsSphere({-10, 3, 0}, {10, 3, 0}, {0, 0, 0}, 5, p));
    ExpectVec(p, {-4, 3, 0});
    // Both ends beyond sqrt(2) r on the same side of the centre: no hit.
    EXPECT_FALSE(CollSegmentHitsSphere({-20, 3, 0}, {-7.1f, 3, 0}, {0, 0, 0}, 5, p));
    // (A - C).(B - C) exactly 0: the condition does not apply.
    EXPECT_TRUE(CollSegmentHitsSphere({-10, 0, 0}, {0, 10, 0}, {0, 0, 0}, 8, p));
    EXPECT_FALSE(CollSegmentHitsSphere({-10, 6, 0}, {10, 6, 0}, {0, 0, 0}, 5, p)); // passes by
}

TEST(CollDetector, TreeDescentPicksTheNearestChildFirstInOrderOnTies) {
    Sphere root, a, b, far, inner;
    root.radius = 100;
    a.pos = {0, 10, 0}, b.pos = {0, -10, 0}, far.pos = {50, 0, 0};
    a.radius = b.radius = far.radius = 20;
    root.children = {&far, &a, &b};
    inner.pos = {0, 5, 0};
    inner.radius = 10;
    a.children = {&inner};
    SphereTreeHit hit;
    ASSERT_TRUE(IsRayIntersectObject(&root, {-200, 0, 0}, {200, 0, 0}, hit));
    EXPECT_EQ(hit.sphere, &inner); // a and b at the same distance: the first wins
    a.mesh = false;                // a winner without geometry ends the descent at itself
    ASSERT_TRUE(IsRayIntersectObject(&root, {-200, 0, 0}, {200, 0, 0}, hit));
    EXPECT_EQ(hit.sphere, &a);
    EXPECT_FALSE(IsRayIntersectObject(&root, {-200, 500, 0}, {200, 500, 0}, hit));
    ExpectVec(hit.normal, {1, 0, 0});
}

TEST(CollDetector, RaysAgainstTriangles) {
    const std::vector<Vec3> pos{{0, -5, -5}, {0, 5, -5}, {0, 0, 5}, {5, -5, -5}, {5, 5, -5}, {5, 0, 5}};
    const std::vector<uint32_t> idx{0, 1, 2, 3, 4, 5, 0, 1, 9};
    ColliseDetectorTriangles tris(pos, idx, 0, 1);
    Vec3 p, n;
    // Facing the ray (normal -x): the nearer of the two triangles.
    const bool fromPlus = tris.HitTriangle({10, 0, 0}, {-20, 0, 0}, 3, p, &n);
    const bool fromMinus = tris.HitTriangle({-10, 0, 0}, {20, 0, 0}, 3, p, &n);
    EXPECT_NE(fromPlus, fromMinus);                                    // seen from behind it is not hit
    EXPECT_FALSE(tris.HitTriangle({0, 0, 20}, {0, 0, -40}, 0, p, &n)); // parallel to the plane
    EXPECT_FALSE(tris.HitTriangle({-10, 0, 0}, {20, 0, 0}, 6, p, &n)); // index beyond the vertices
    ColliseDetectorTriangles near(pos, std::span<const uint32_t>(idx).first(6), 0, 1);
    const Vec3 o = fromPlus ? Vec3{10, 0, 0} : Vec3{-10, 0, 0};
    const Vec3 d = fromPlus ? Vec3{-20, 0, 0} : Vec3{20, 0, 0};
    ASSERT_TRUE(near.FindNearestHit(o, d, p, n));
    ExpectVec(p, fromPlus ? Vec3{5, 0, 0} : Vec3{0, 0, 0});
    EXPECT_FALSE(near.FindNearestHit(o, Vec3Scale(d, 0.1f), p, n)); // t beyond t-max
}

// ---- the detector over real units ---------------------------------------------------------
// Ships are render units with an AI unit and a sphere tree; a sphere may carry
// a section of wall triangles. Frames are 100 ms, so a sweep covers
// velocity * 0.2 s.

using test::ErrorTrap;
using test::Halted;

struct CollShip {
    TBaseRenderUnit* unit = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
    BaseAIUnitClass* ai = nullptr;
    BSpheresContainerClass* tree = nullptr;
    // half: half the box edge; the unit's bounding radius is half * sqrt(3).
    CollShip(Vec3 at, int32_t cls, float half) {
        unit->SetBox({-half, -half, -half}, {half, half, half});
        ai = BaseAIUnitClass::Init(unit, test::MakeRecord(cls));
        Matrix m = unit->GetLocalMatrix();
        MatrixSetTranslation(m, at);
        ai->SetPoseMatrix(m);
        tree = TBaseRenderUnit::Create<BSpheresContainerClass>(unit);
        unit->AddChild(tree);
    }
    ~CollShip() {
        unit->SetBPU(nullptr);
        ai->Free();
        unit->Free();
    }
    // A child sphere at a model-space centre; with wallX a square wall of two
    // triangles across x = wallX (model space), facing -x unless turned.
    BSphereClass* AddSphere(Vec3 centre, float r, const float* wallX = nullptr, bool facingAway = false) {
        BSphereClass* s = tree->AddSphere(centre, r, false);
        if (wallX) {
            auto mesh = std::make_shared<BSSectionMesh>();
            const float x = *wallX - centre.x;
            mesh->positions = {{x, -50, -50}, {x, 50, -50}, {x, 50, 50}, {x, -50, 50}};
            mesh->indices = facingAway ? std::vector<uint32_t>{0, 1, 2, 0, 2, 3}
                                       : std::vector<uint32_t>{0, 2, 1, 0, 3, 2};
            s->SetMeshGeometry(mesh);
        }
        return s;
    }
    void Move(Vec3 v) { ai->GetVelocityVector()->SetVector(v); }
    void Update() { unit->UpdateMatrices(nullptr); }
};

class DetectorTest : public ::testing::Test {
protected:
    std::vector<TBaseRenderUnit*> ships;
    void SetUp() override {
        CollDetectorClass::SetFrameTimeSource([] { return 100.0f; });
        SetSceneShipsProvider([this](std::vector<TBaseRenderUnit*>& out) { out = ships; });
    }
    void TearDown() override {
        SetSceneShipsProvider({});
        CollDetectorClass::SetFrameTimeSource({});
    }
};

TEST_F(DetectorTest, MovingShipsMeetOnTheirSpheres) {
    const int before = CollDetectorCount;
    CollShip a({0, 0, 0}, SC_SMALL, 10), b({15, 0, 0}, SC_SMALL, 10);
    b.AddSphere({0, 0, 0}, 10);
    a.Update(), b.Update();
    ships = {a.unit, b.unit};
    a.Move({100, 0, 0}); // sweep 0 -> 20: ends inside b's sphere

    CollDetectorClass* d = GetCollDetector(a.unit);
    EXPECT_EQ(GetCollDetector(a.unit), d);
    CollDataClass* hit = nullptr;
    // b stands still: the per-tick check passes over standing units...
    EXPECT_FALSE(d->CheckCollision(hit));
    // ...unless it moves, or the detector takes all objects.
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 0)
            b.Move({1, 0, 0});
        else
            b.Move({0, 0, 0}), d->SetAllObjectsMode();
        ASSERT_TRUE(d->CheckCollision(hit)) << pass;
        EXPECT_EQ(hit->GetOtherUnit(), b.unit);
        ExpectVec(hit->point, {20, 0, 0}); // the end inside the sphere
        ExpectVec(hit->normal, {-1, 0, 0});
        EXPECT_FLOAT_EQ(hit->distance, 20.0f);
        ExpectVec(hit->startMinusEnd, {-20, 0, 0});
        ExpectVec(hit->localPoint, {5, 0, 0});
        EXPECT_FLOAT_EQ(d->LastPosition()[3], 1.0f);

        IBRUCollisionInfo* info = hit->CreateCollisionInformator(b.unit);
        ASSERT_NE(info, nullptr);
        Vec3 v;
        info->GetPoint(v);
        ExpectVec(v, {20, 0, 0});
        info->GetNormal(v);
        ExpectVec(v, {-1, 0, 0});
        EXPECT_EQ(info->GetOtherUnit(), b.unit);
        dynamic_cast<CollisionInformatorClass*>(info)->Free();
        hit->Free();
    }
    // A sweep of zero length finds nothing.
    a.Move({0, 0, 0});
    EXPECT_FALSE(d->CheckCollision(hit));
    EXPECT_EQ(CollDetectorCount, before + 1);
    ships.clear();
}

// A ship on its way out of the scene (killed or discarded, freed at the end
// of the frame) is in nobody's way: the scene's ships leave it out, and a
// sweep through it meets nothing.
TEST_F(DetectorTest, AShipOnItsWayOutIsInNobodysWay) {
    CollShip a({0, 0, 0}, SC_SMALL, 10), b({15, 0, 0}, SC_SMALL, 10);
    b.AddSphere({0, 0, 0}, 10);
    a.Update(), b.Update();
    ships = {a.unit, b.unit};
    a.Move({100, 0, 0});
    b.Move({1, 0, 0});
    CollDetectorClass* d = CollDetectorClass::Create(a.unit);
    CollDataClass* hit = nullptr;
    ASSERT_TRUE(d->CheckCollision(hit));
    hit->Free();
    for (uint64_t flag : {BRU_KILLED, BRU_DISCARDED}) {
        b.unit->SetFlag(flag);
        std::vector<TBaseRenderUnit*> scene;
        GetSceneShips(scene);
        EXPECT_EQ(scene, std::vector<TBaseRenderUnit*>{a.unit}) << flag;
        EXPECT_FALSE(d->CheckCollision(hit)) << flag;
        b.unit->ClearFlag(flag);
    }
    d->Free();
    ships.clear();
}

TEST_F(DetectorTest, DetectorAndRecordsAreCountedAndGoWithTheirUnit) {
    const int before = CollDetectorCount;
    {
        CollShip a({0, 0, 0}, SC_SMALL, 10);
        CollDetectorClass* d = GetCollDetector(a.unit);
        EXPECT_EQ(CollDetectorCount, before + 1);
        const Vec3 p{1, 2, 3};
        CollDataClass* r = CollDataClass::Create(a.unit, &p, {0, 0, 0}, {0, 0, 0}, {0, 0, 4});
        EXPECT_EQ(CollDetectorCount, before + 2);
        ExpectVec(r->normal, {1, 0, 0}); // no normal: (1, 0, 0)
        EXPECT_FLOAT_EQ(r->distance, Vec3Length(p));
        r->Free();
        EXPECT_EQ(d->GetOwner(), a.unit);
    }
    EXPECT_EQ(CollDetectorCount, before);
}

TEST_F(DetectorTest, StaticModelIsHitOnItsTriangles) {
    const float wall = -140; // world x = 40
    struct Case {
        const char* what;
        float half;      // 100: radius 173, the triangles decide; 57.7: radius 99.9, the sphere does
        bool facingAway; // seen from behind: no triangle hit
        bool hits;
        Vec3 point;
    } cases[] = {
        {"big, wall facing the ship", 100, false, true, {40, 0, 0}},
        {"big, wall seen from behind", 100, true, false, {}},
        {"radius 99.9: the sphere alone", 57.68f, true, true, {100, 0, 0}},
    };
    for (const Case& c : cases) {
        CollShip ship({0, 0, 0}, SC_SMALL, 10), station({180, 0, 0}, SC_BIG, c.half);
        station.AddSphere({-100, 0, 0}, 60, &wall, c.facingAway);
        ship.Update(), station.Update();
        ships = {ship.unit, station.unit};
        ship.Move({500, 0, 0});
        CollDetectorClass* d = CollDetectorClass::Create(ship.unit);
        d->SetAllObjectsMode();
        CollDataClass* hit = nullptr;
        ASSERT_EQ(d->CheckCollision(hit), c.hits) << c.what;
        if (hit) {
            ExpectVec(hit->point, c.point);
            EXPECT_EQ(hit->GetOtherUnit(), station.unit);
            hit->Free();
        }
        d->Free();
        ships.clear();
    }
}

TEST_F(DetectorTest, RememberedHitsAreTriedFirstAndHandedOver) {
    const float wall = -140;
    CollShip ship({0, 0, 0}, SC_SMALL, 10), station({200, 0, 0}, SC_BIG, 100),
        other({30, 0, 0}, SC_SMALL, 10);
    BSphereClass* s = station.AddSphere({-100, 0, 0}, 60, &wall);
    other.AddSphere({0, 0, 0}, 10);
    ship.Update(), station.Update(), other.Update();
    other.Move({1, 0, 0});
    ships = {ship.unit, station.unit, other.unit};
    CollDetectorClass* d = CollDetectorClass::Create(ship.unit);

    // The sweep against the standing units remembers the station only.
    EXPECT_FALSE(d->CheckCollisionWithObjects(nullptr, {500, 0, 0}, 0.2f, ships));
    ASSERT_EQ(d->Results().size(), 1u);
    CollDataClass* remembered = d->Results()[0];
    EXPECT_EQ(remembered->GetOtherUnit(), station.unit);
    ExpectVec(d->SweepEnd(), {100, 0, 0});

    // Flying away: no hit, and the remembered record stays.
    CollDataClass* hit = nullptr;
    ship.Move({-500, 0, 0});
    EXPECT_FALSE(d->CheckCollision(hit));
    EXPECT_EQ(d->Results().size(), 1u);

    // Toward it: the remembered record itself is updated and handed over.
    ship.Move({500, 0, 0});
    other.Move({0, 0, 0}); // out of the way (standing)
    ASSERT_TRUE(d->CheckCollision(hit));
    EXPECT_EQ(hit, remembered);
    ExpectVec(hit->point, {60, 0, 0});
    ExpectVec(hit->normal, {-1, 0, 0}); // the triangle's own normal
    ExpectVec(hit->startMinusEnd, {100, 0, 0});
    EXPECT_TRUE(d->Results().empty());
    hit->Free();

    // A remembered unit whose triangles are missed does not end the search:
    // the moving ship in the way is found among the candidates.
    std::shared_ptr<BSSectionMesh> mesh;
    s->GetMeshGeometry(mesh);
    mesh->indices = {0, 1, 2, 0, 2, 3}; // now seen from behind
    other.Move({1, 0, 0});
    EXPECT_FALSE(d->CheckCollisionWithObjects(nullptr, {500, 0, 0}, 0.2f, ships));
    ASSERT_EQ(d->Results().size(), 1u);
    ASSERT_TRUE(d->CheckCollision(hit));
    EXPECT_EQ(hit->GetOtherUnit(), other.unit);
    EXPECT_TRUE(d->Results().empty());
    hit->Free();
    d->Free();
    ships.clear();
}

TEST_F(DetectorTest, ExclusionsAndCandidates) {
    CollShip carrier({0, 0, 0}, SC_BIG, 10), standing({50, 0, 0}, SC_SMALL, 10),
        moving({80, 0, 0}, SC_SMALL, 10), field({90, 0, 0}, SC_FIELD_NSC, 10);
    carrier.unit->SetFlag(BRU_SHIP);
    moving.Move({5, 0, 0});
    // A turret on the carrier: its detector passes over the carrier.
    TBaseRenderUnit* turret = TBaseRenderUnit::Create<TBaseRenderUnit>(carrier.unit);
    carrier.unit->AddChild(turret);
    CollDetectorClass* d = CollDetectorClass::Create(turret);
    EXPECT_EQ(d->Exclusions(), (std::vector<TBaseRenderUnit*>{turret, carrier.unit}));
    const std::vector<TBaseRenderUnit*> all{carrier.unit, standing.unit, moving.unit, field.unit};
    EXPECT_EQ(d->SelectCandidates(all, kCollStanding), (std::vector<TBaseRenderUnit*>{standing.unit}));
    EXPECT_EQ(d->SelectCandidates(all, kCollMoving), (std::vector<TBaseRenderUnit*>{moving.unit}));
    EXPECT_EQ(d->SelectCandidates(all, kCollAll),
              (std::vector<TBaseRenderUnit*>{standing.unit, moving.unit}));
    // Marked units of a subtree are excluded too.
    standing.unit->SetFlag(BRU_OPAQUE);
    d->AddExclusions(standing.unit);
    EXPECT_EQ(d->SelectCandidates(all, kCollAll), (std::vector<TBaseRenderUnit*>{moving.unit}));
    // The static check wants the ship's parent ship.
    EXPECT_FALSE(d->CheckCollisionWithStaticObject(turret, {1, 0, 0}, 1.0f, all));
    {
        ErrorTrap trap;
        EXPECT_THROW(d->CheckCollisionWithStaticObject(standing.unit, {1, 0, 0}, 1.0f, all), Halted);
        EXPECT_EQ(trap.lastFatal, "CheckCollisionWithStaticObject: not fgo.GetParentShip(ship)");
    }
    d->Free();
}

// The sweep against what stands still, from the units or from a gathering of
// the scene's ships, remembers the same hits; the static check lets go of
// them (they are freed, not lost).
TEST_F(DetectorTest, TheStandingSweepRemembersAndTheStaticCheckFrees) {
    const float wall = -140;
    CollShip carrier({0, 0, 0}, SC_SMALL, 10), station({200, 0, 0}, SC_BIG, 100),
        passing({100, 300, 0}, SC_SMALL, 10);
    carrier.unit->SetFlag(BRU_SHIP);
    station.AddSphere({-100, 0, 0}, 60, &wall);
    passing.AddSphere({0, 0, 0}, 10);
    passing.Move({0, -1, 0});
    carrier.Update(), station.Update(), passing.Update();
    ships = {carrier.unit, station.unit, passing.unit};
    TBaseRenderUnit* turret = TBaseRenderUnit::Create<TBaseRenderUnit>(carrier.unit);
    carrier.unit->AddChild(turret);
    CollDetectorClass* d = CollDetectorClass::Create(turret);
    const int before = CollDetectorCount;

    CollisionCandidates gathered;
    gathered.Gather();
    for (int form = 0; form < 2; ++form) {
        if (form == 0)
            d->CheckCollisionWithObjects(nullptr, {500, 0, 0}, 0.2f, ships);
        else
            d->CheckCollisionWithObjects({500, 0, 0}, 0.2f, gathered);
        ASSERT_EQ(d->Results().size(), 1u) << form;
        EXPECT_EQ(d->Results()[0]->GetOtherUnit(), station.unit) << form;
        ExpectVec(d->SweepEnd(), {100, 0, 0});
        EXPECT_EQ(CollDetectorCount, before + 1) << form; // the old record went
    }
    EXPECT_FALSE(d->CheckCollisionWithStaticObject(turret, {500, 0, 0}, 0.2f, ships));
    EXPECT_TRUE(d->Results().empty());
    EXPECT_EQ(CollDetectorCount, before);
    d->Free();
    ships.clear();
}

TEST_F(DetectorTest, SweepsGrazingATreeAreDecidedByItsOuterSphere) {
    // Far from the origin, where rounding is coarsest, a tree without inner
    // spheres is hit exactly when CollSegmentHitsSphere says the sweep meets
    // its outer sphere, in either form of the check.
    const Vec3 start{20000, -3000, 500};
    CollShip ship(start, SC_SMALL, 1), target(start, SC_SMALL, 10);
    ship.Update();
    ships = {ship.unit, target.unit};
    const Vec3 v{0, 100, 0};
    ship.Move(v);
    const float seconds = 100.0f * 0.001f;
    Vec3 p;
    ship.unit->GetPosition(p);
    const Vec3 e = Vec3Add(p, Vec3Scale(v, seconds * 2.0f));
    CollDetectorClass* d = CollDetectorClass::Create(ship.unit);
    d->SetAllObjectsMode();
    struct Place {
        const char* what;
        float along; // share of the sweep up to the point beside the centre
        float ahead; // the centre beyond the end, in radii
    } places[] = {{"beside the middle", 0.5f, 0}, {"beside the end", 1, 0}, {"ahead of the end", 1, 1}};
    const float sides[] = {0.5f, 0.99f, 0.999999f, 1.0f, 1.000001f, 1.001f, 1.5f};
    int hits = 0, misses = 0;
    for (const Place& place : places)
        for (float side : sides) {
            target.Update();
            const float r = GetSphereTree(target.unit)->GetRadius();
            const float sideways = place.ahead > 0 ? 0.0f : r * side;
            const float beyond = place.ahead > 0 ? r * side : 0.0f;
            Matrix m = target.unit->GetLocalMatrix();
            MatrixSetTranslation(m, Vec3Add(p, {sideways, 20.0f * place.along + beyond, 0}));
            target.ai->SetPoseMatrix(m);
            target.Update();
            Vec3 point;
            const bool expected = CollSegmentHitsSphere(p, e, GetSphereTree(target.unit)->GetPositionV(),
                                                        GetSphereTree(target.unit)->GetRadius(), point);
            (expected ? hits : misses)++;
            CollisionCandidates gathered;
            gathered.Gather();
            for (int shared = 0; shared < 2; ++shared) {
                CollDataClass* hit = nullptr;
                const bool found = shared ? d->CheckCollision(hit, gathered) : d->CheckCollision(hit);
                EXPECT_EQ(found, expected) << place.what << ", " << side << " radii, shared " << shared;
                if (hit) hit->Free();
            }
        }
    EXPECT_GT(hits, 0);
    EXPECT_GT(misses, 0);
    d->Free();
    ships.clear();
}

TEST_F(DetectorTest, SliceSweepsPassOverAShipKilledByAnEarlierHit) {
    // Stations stand still in the slice, so each sweeps the same 20 every time:
    // a from 0 into the victim at 15; b from 50 back through the wall at 30 and
    // the victim. The first hit's listener kills the victim; b, sweeping after
    // it, meets the wall, and nothing of the victim.
    CreatePhysicsScene();
    CollShip a({0, 0, 0}, SC_BIG, 5), b({50, 0, 0}, SC_BIG, 5), wall({30, 0, 0}, SC_BIG, 5);
    auto* victim = new CollShip({15, 0, 0}, SC_BIG, 5);
    for (CollShip* s : {&a, &b, victim, &wall}) {
        s->Update();
        PhysicsScene->AddShip(s->unit);
    }
    a.Move({100, 0, 0});
    b.Move({-200, 0, 0});
    GetCollDetector(a.unit)->SetAllObjectsMode(); // the others do not move
    GetCollDetector(b.unit)->SetAllObjectsMode();
    TBaseRenderUnit* const victimUnit = victim->unit;
    std::vector<std::pair<TBaseRenderUnit*, TBaseRenderUnit*>> hits;
    PhysicsScene->SetCollisionListener([&](TBaseRenderUnit* ship, CollDataClass& hit) {
        hits.emplace_back(ship, hit.GetOtherUnit());
        if (hit.GetOtherUnit() == victimUnit) delete std::exchange(victim, nullptr);
    });
    PhysicsScene->TickPhys(30.0f);
    using Hits = std::vector<std::pair<TBaseRenderUnit*, TBaseRenderUnit*>>;
    EXPECT_EQ(hits, (Hits{{a.unit, victimUnit}, {b.unit, wall.unit}}));
    EXPECT_EQ(victim, nullptr);
    EXPECT_EQ(PhysicsScene->Ships(), (std::vector<TBaseRenderUnit*>{a.unit, b.unit, wall.unit}));
    delete victim;
    FreePhysicsScene();
}

TEST(CollData, FatalTexts) {
    ErrorTrap trap;
    EXPECT_THROW(CollDataClass::Create(nullptr, nullptr, {}, {}, {}), Halted);
    EXPECT_EQ(trap.lastFatal, "CollDataClass.Init: _pvColl = nil");
    const Vec3 p{};
    CollDataClass* r = CollDataClass::Create(nullptr, &p, {0, 1, 0}, {}, {});
    EXPECT_THROW(r->CreateCollisionInformator(nullptr), Halted);
    EXPECT_EQ(trap.lastFatal, "CollisionInformatorClass.Init: bru2 = nil");
    r->Free();
}

} // namespace
} // namespace vesk
