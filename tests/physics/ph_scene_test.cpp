// The scene's physics objects: ships built from model files, stepped in the
// physics slices, and a ship that flies into a standing model meets its
// triangles.
#include "physics/ph_scene.h"

#include "cm_fixture.h"
#include "physic_fixture.h"
#include "physics/ai_unit.h"
#include "physics/bsphere.h"
#include "physics/cm_render_link.h"
#include "physics/cm_tree_manager.h"
#include "physics/coll_detector.h"
#include "physics/unit_physic_ops.h"
#include "platform/files.h"
#include "render/null_device_scope.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

#include <map>

namespace vesk {
namespace {

using test::ChunkBytes;
using test::CMFileBytes;

// A model: "base", a square of two triangles across x = wallX facing -x, with
// the box given; one bounding sphere.
std::string WallModel(float wallX, float half, Vec3 boxMin, Vec3 boxMax, Vec3 sphere, float radius) {
    CMFileBytes f;
    f.Add(test::SceneChunk());
    f.Add(test::GeomObjChunk(1).V3(40, boxMin).V3(52, boxMax));
    std::vector<CMVertex> v;
    for (Vec3 p : {Vec3{wallX, -half, -half}, Vec3{wallX, half, -half}, Vec3{wallX, half, half},
                   Vec3{wallX, -half, half}})
        v.push_back({p, {-1, 0, 0}, 0, 0});
    f.Add(test::VertexList(v)).Add(test::IndexList({0, 2, 1, 0, 3, 2}));
    f.Marker(CHUNK_GEOMOBJ_END);
    f.Add(ChunkBytes(CHUNK_BSPHERE, 92).U32(20, 2).V3(28, sphere).F32(40, radius).TM(44, Matrix{}));
    f.Strings({"", "base", "bs_main"});
    f.Marker(CHUNK_END);
    return f.Bytes();
}

class PhysicsSceneTest : public ::testing::Test {
protected:
    void SetUp() override {
        scope.Init();
        GetErrorHooks().releaseDisplay = nullptr;
        BuffersManager = std::make_unique<BuffersManagerClass>();
        InstallCMRenderObjectBuilder();
        CMTreeManager = std::make_unique<CMTreeManagerClass>();
        TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        CollDetectorClass::SetFrameTimeSource([] { return 30.0f; });
        CreatePhysicsScene();
    }
    void TearDown() override {
        for (TBaseRenderUnit* u : made) {
            u->DiscardBRU();
            u->Free();
        }
        TEODestroyManager->Flush();
        FreePhysicsScene();
        CollDetectorClass::SetFrameTimeSource({});
        TEODestroyManager.reset();
        CMTreeManager.reset();
        SetCMRenderObjectBuilder(nullptr);
        SetCMRenderObjectReleaser(nullptr);
        BuffersManager.reset();
    }
    TBaseRenderUnit* Add(const std::string& name, const std::string& model, const std::string& type,
                         BaseAIUnitClass*& ai) {
        test::MapSource p;
        p.values = {{"ph_Type", type},
                    {"ph_MaxVelocity", "200"},
                    {"ph_AccelerateTime", "1"},
                    {"ph_MaxRotateVelocity", "90"},
                    {"ph_RotateForceMultiply", "4"},
                    {"ph_MaxPitchAngle", "60"}};
        TBaseRenderUnit* u = PhysicsScene->AddObject(name, model, p, ai);
        if (u) made.push_back(u);
        return u;
    }

    // A station whose wall faces the fighter 400 ahead (world x = 400 - 50),
    // radius over 100: the triangles decide; the fighter at the origin.
    bool StationAndFighter(TBaseRenderUnit*& station, BaseAIUnitClass*& stationAI, TBaseRenderUnit*& fighter,
                           BaseAIUnitClass*& ai) {
        const std::string stationModel = dir / "station.cm";
        const std::string fighterModel = dir / "fighter.cm";
        if (!platform::WriteFile(stationModel,
                                 WallModel(-50, 100, {-60, -100, -100}, {60, 100, 100}, {-50, 0, 0}, 120)) ||
            !platform::WriteFile(fighterModel, WallModel(0, 4, {-5, -5, -5}, {5, 5, 5}, {0, 0, 0}, 6)))
            return false;
        station = Add("station", stationModel, "big", stationAI);
        if (!station) return false;
        Matrix m;
        MatrixSetTranslation(m, {400, 0, 0});
        stationAI->SetPoseMatrix(m);
        station->UpdateMatrices(nullptr);
        fighter = Add("fighter", fighterModel, "small", ai);
        return fighter != nullptr;
    }

    test::ErrorTrap trap;
    test::NullDeviceScope scope;
    test::TempDir dir;
    std::vector<TBaseRenderUnit*> made;
};

TEST_F(PhysicsSceneTest, ShipsFromModelsMoveAndMeetAStandingModel) {
    TBaseRenderUnit *s = nullptr, *f = nullptr;
    BaseAIUnitClass *stationAI = nullptr, *ai = nullptr;
    ASSERT_TRUE(StationAndFighter(s, stationAI, f, ai));

    // What the model gave the units.
    EXPECT_TRUE(PhysicsScene->FindShipBRU(f));
    EXPECT_EQ(PhysicsScene->FindShipByName("station"), s);
    EXPECT_EQ(ai->GetPhysicParams()->sizeClass, SC_SMALL);
    EXPECT_EQ(stationAI->GetPhysicParams()->sizeClass, SC_BIG);
    ASSERT_NE(GetSphereTree(s), nullptr);
    EXPECT_EQ(GetSphereTree(s)->ChildSpheres().size(), 1u);
    std::shared_ptr<BSSectionMesh> section;
    EXPECT_TRUE(GetSphereTree(s)->ChildSpheres()[0]->GetMeshGeometry(section));
    std::span<const Vec3> positions;
    std::span<const uint32_t> indices;
    UnitPhysicOps::Of(s)->GetMeshTriangles(positions, indices);
    EXPECT_EQ(indices.size(), 6u);
    EXPECT_FLOAT_EQ(positions[0].x, 350.0f); // the wall in the world
    EXPECT_GE(s->GetBSphereRadius(), 100.0f);

    // Ordered toward the station, the fighter flies and its unit follows.
    ai->GetNPCController()->DoMoveToPoint({1000, 0, 0}, nullptr, nullptr);
    CollDetectorClass* d = GetCollDetector(f);
    d->SetAllObjectsMode(); // the station stands still
    std::vector<std::string> hits;
    PhysicsScene->SetCollisionListener([&](TBaseRenderUnit* ship, CollDataClass& hit) {
        hits.push_back(ship->GetName() + ">" + (hit.GetOtherUnit() ? hit.GetOtherUnit()->GetName() : "?"));
        EXPECT_NEAR(hit.point.x, 350.0f, 1e-2f);
    });
    double lastX = 0;
    int steps = 0;
    while (hits.empty() && steps < 400) {
        PhysicsScene->TickPhys(30.0f);
        ++steps;
        EXPECT_GE(ai->GetPositionD().x, lastX);
        lastX = ai->GetPositionD().x;
    }
    ASSERT_FALSE(hits.empty());
    EXPECT_EQ(hits.front(), "fighter>station");
    Vec3 p;
    f->GetPosition(p);
    EXPECT_NEAR(p.x, ai->GetPositionD().x, 1e-3);
    EXPECT_LT(p.x, 350.0f); // met before passing through the wall
    EXPECT_GT(p.x, 300.0f);
    EXPECT_TRUE(trap.reports.empty());

    // A dead ship leaves the scene.
    f->DiscardBRU();
    f->Free();
    made.pop_back();
    EXPECT_FALSE(PhysicsScene->FindShipByName("fighter"));
    EXPECT_EQ(PhysicsScene->Ships().size(), 1u);
}

// A ship flown at a standing model (no all-objects mode: the sweep against
// what stands does it) stops short of its wall and stays there however long
// it is pushed on; the first meeting tells how hard it struck, the meetings
// after it, as its steering pushes it on against the wall, nothing more. A
// ship that begins inside the station's sphere is free to leave it.
TEST_F(PhysicsSceneTest, AShipStopsAtAStandingWallAndStrikesItOnce) {
    TBaseRenderUnit *s = nullptr, *f = nullptr;
    BaseAIUnitClass *stationAI = nullptr, *ai = nullptr;
    ASSERT_TRUE(StationAndFighter(s, stationAI, f, ai));
    ai->GetNPCController()->DoMoveToPoint({1000, 0, 0}, nullptr, nullptr);
    std::vector<float> impacts;
    PhysicsScene->SetCollisionListener(
        [&](TBaseRenderUnit*, CollDataClass&) { impacts.push_back(ai->GetImpact()); });
    for (int i = 0; i < 200; ++i) {
        PhysicsScene->TickPhys(30.0f);
        ASSERT_LT(ai->GetPositionD().x, 350.0) << "slice " << i;
    }
    ASSERT_GT(impacts.size(), 2u);
    EXPECT_GT(impacts[0], 100.0f); // it flew at up to 200
    for (size_t i = 1; i < impacts.size(); ++i) EXPECT_EQ(impacts[i], 0.0f) << i;
    EXPECT_EQ(ai->GetImpact(), 0.0f); // only while the event fires
    EXPECT_GT(ai->GetPositionD().x, 330.0);

    // Begun inside the station's sphere, its nose and flight away from the
    // wall: it leaves as it likes.
    impacts.clear();
    Matrix inside = MatrixRotationZ(3.14159265f);
    MatrixSetTranslation(inside, {300, 0, 0});
    ai->SetPoseMatrix(inside);
    ai->GetNPCController()->DoMoveToPoint({-1000, 0, 0}, nullptr, nullptr);
    ai->SetVelocity({-150, 0, 0});
    for (int i = 0; i < 20; ++i) PhysicsScene->TickPhys(30.0f);
    EXPECT_LT(ai->GetPositionD().x, 250.0);
    for (float impact : impacts) EXPECT_EQ(impact, 0.0f);
}

} // namespace
} // namespace vesk
