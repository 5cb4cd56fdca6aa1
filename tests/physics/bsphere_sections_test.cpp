// Bounding-sphere sections: the segment-sphere test, cutting a known mesh, and
// the section cache next to the model file.
#include "physics/bsphere.h"
#include "physics/bsphere_sections.h"
#include "physics/cm_tree.h"
#include "platform/files.h"
#include "shared/helpers.h"
#include "shared/math.h"
#include "support/error_trap.h"

#include "cm_fixture.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

using test::ChunkBytes;
using test::CMFileBytes;
using test::ErrorTrap;
using test::GeomObjChunk;
using test::SceneChunk;
using test::TempDir;

void ExpectVec(const Vec3& a, const Vec3& b, const char* what) {
    EXPECT_NEAR(a.x, b.x, 1e-5) << what;
    EXPECT_NEAR(a.y, b.y, 1e-5) << what;
    EXPECT_NEAR(a.z, b.z, 1e-5) << what;
}

TEST(BSphereSections, SegmentSphereTest) {
    const struct {
        const char* what;
        Vec3 a, b;
        bool hit;
        Vec3 point;
    } cases[] = {
        {"too short", {0, 0, 0}, {1e-7f, 0, 0}, false, {}},
        {"both ends inside: a", {0, 0, 0}, {0.5f, 0, 0}, true, {0, 0, 0}},
        {"b inside", {5, 0, 0}, {0.5f, 0, 0}, true, {0.5f, 0, 0}},
        {"through: the entry nearer a", {-3, 0.6f, 0}, {3, 0.6f, 0}, true, {-0.8f, 0.6f, 0}},
        {"line passes, both ends far on one side", {2, 0.5f, 0}, {5, 0.5f, 0}, false, {}},
        {"one side, a within sqrt2 r", {1.2f, 0.5f, 0}, {5, 0.5f, 0}, true, {-0.8660254f, 0.5f, 0}},
        {"line misses", {-3, 2, 0}, {3, 2, 0}, false, {}},
    };
    const BSSectionIntersectionDetectorClass tester;
    for (const auto& c : cases) {
        Vec3 p{99, 99, 99};
        EXPECT_EQ(tester.Test(c.a, c.b, {0, 0, 0}, 1.0f, p), c.hit) << c.what;
        if (c.hit) ExpectVec(p, c.point, c.what);
    }
}

// Three separate triangles at x = 0, 5 and 10.
BSSectionMesh RowOfTriangles() {
    BSSectionMesh m;
    for (float x : {0.0f, 5.0f, 10.0f}) {
        m.positions.insert(m.positions.end(), {{x, 0, 0}, {x + 1, 0, 0}, {x, 1, 0}});
        m.normals.insert(m.normals.end(), 3, Vec3{0, 0, 1});
    }
    m.indices = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    return m;
}

TEST(BSphereSections, CutKeepsTouchingTrianglesRelativeToTheCentre) {
    BSphereNode sphere{"mid", {5.5f, 0.25f, 0}, 1.0f, {}};
    BSMeshBuilderClass::CutSection(sphere, RowOfTriangles());
    ASSERT_TRUE(sphere.section.has_value());
    const BSSectionMesh& s = *sphere.section;
    // The used vertices 3, 4, 5 packed to the front from the back: 5 -> 0, 4 -> 1, 3 -> 2.
    ASSERT_EQ(s.VertexCount(), 3u);
    EXPECT_EQ(s.indices, (std::vector<uint32_t>{2, 1, 0}));
    ExpectVec(s.positions[0], {-0.5f, 0.75f, 0}, "vertex 0");
    ExpectVec(s.positions[1], {0.5f, -0.25f, 0}, "vertex 1");
    ExpectVec(s.positions[2], {-0.5f, -0.25f, 0}, "vertex 2");
    EXPECT_EQ(s.normals.size(), 3u);

    BSphereNode far{"far", {100, 0, 0}, 1.0f, {}};
    BSMeshBuilderClass::CutSection(far, RowOfTriangles());
    EXPECT_FALSE(far.section.has_value());

    // Indices naming no vertex, and a last partial triangle, never keep anything.
    BSSectionMesh broken = RowOfTriangles();
    broken.indices = {3, 4, 99, 3, 4, 5, 3};
    BSphereNode mid{"mid", {5.5f, 0.25f, 0}, 1.0f, {}};
    BSMeshBuilderClass::CutSection(mid, broken);
    ASSERT_TRUE(mid.section.has_value());
    EXPECT_EQ(mid.section->IndexCount(), 3u);
}

// A model with the row of triangles as "hull" and three bounding spheres.
std::string SphereModel(std::initializer_list<std::pair<Vec3, float>> spheres) {
    CMFileBytes f;
    f.Add(SceneChunk());
    f.Add(GeomObjChunk(1));
    std::vector<CMVertex> vertices;
    for (const Vec3& p : RowOfTriangles().positions) vertices.push_back({p, {0, 0, 1}, 0, 0});
    f.Add(test::VertexList(vertices)).Add(test::IndexList(RowOfTriangles().indices));
    f.Marker(CHUNK_GEOMOBJ_END);
    uint32_t name = 2;
    for (const auto& [centre, radius] : spheres)
        f.Add(ChunkBytes(CHUNK_BSPHERE, 92).U32(20, name++).V3(28, centre).F32(40, radius).TM(44, Matrix{}));
    f.Strings({"", "hull", "s_left", "s_mid", "s_none", "s_new"});
    f.Marker(CHUNK_END);
    return f.Bytes();
}

struct LoadedModel {
    CMTreeClass tree;
    BSSectionMesh mesh;
    BSphereSet set;
    explicit LoadedModel(const std::string& file) {
        tree.LoadFromFile(file);
        GeomObjStruct* hull = nullptr;
        if (tree.GetGeomobject("hull", hull)) mesh.LoadFromModel(*hull);
        set.LoadFromCM(tree, &mesh);
    }
};

TEST(BSphereSections, CacheIsWrittenReusedAndRebuilt) {
    ErrorTrap trap;
    TempDir dir;
    const std::string model = dir / "m.cm", cache = dir / "m.cm2";
    const auto three = {
        std::pair{Vec3{0.25f, 0.25f, 0}, 0.5f}, {Vec3{5.5f, 0.25f, 0}, 1.0f}, {Vec3{100, 0, 0}, 1.0f}};
    ASSERT_TRUE(platform::WriteFile(model, SphereModel(three)));
    ASSERT_TRUE(platform::SetFileTime(model, 1000000));

    LoadedModel first(model);
    ASSERT_EQ(first.set.spheres.size(), 3u);
    EXPECT_EQ(first.set.spheres[1].name2, "s_mid");
    EXPECT_TRUE(first.set.spheres[0].section.has_value());
    EXPECT_TRUE(first.set.spheres[1].section.has_value());
    EXPECT_FALSE(first.set.spheres[2].section.has_value());
    ASSERT_TRUE(platform::FileExists(cache));
    EXPECT_EQ(platform::FileTime(cache), 1000000);
    {
        CMTreeClass written;
        written.LoadFromFile(cache);
        ASSERT_EQ(written.GeomObjects().size(), 3u);
        EXPECT_EQ(written.GeomObjects()[2].names.name, "s_none");
        EXPECT_EQ(written.GeomObjects()[2].vertexCount, 0u);
    }

    // Same date: the sections come from the cache, equal to the cut ones.
    std::string bytes;
    platform::ReadFile(cache, bytes);
    BSphereSet again;
    again.AddSpheresFrom(first.tree);
    EXPECT_TRUE(BSMeshBuilderClass(cache, 1000000).Build(again, first.mesh));
    for (size_t i = 0; i < 3; ++i) {
        ASSERT_EQ(again.spheres[i].section.has_value(), first.set.spheres[i].section.has_value()) << i;
        if (!again.spheres[i].section) continue;
        EXPECT_EQ(again.spheres[i].section->indices, first.set.spheres[i].section->indices);
        ExpectVec(again.spheres[i].section->positions[0], first.set.spheres[i].section->positions[0],
                  "cached");
    }

    // A touched model file rebuilds the cache with the new date.
    ASSERT_TRUE(platform::SetFileTime(model, 1000100));
    LoadedModel touched(model);
    EXPECT_EQ(platform::FileTime(cache), 1000100);
    EXPECT_TRUE(touched.set.spheres[1].section.has_value());

    // A sphere the cache does not name rebuilds it with every sphere.
    const auto four = {std::pair{Vec3{0.25f, 0.25f, 0}, 0.5f},
                       {Vec3{5.5f, 0.25f, 0}, 1.0f},
                       {Vec3{100, 0, 0}, 1.0f},
                       {Vec3{10, 0, 0}, 0.5f}};
    ASSERT_TRUE(platform::WriteFile(model, SphereModel(four)));
    ASSERT_TRUE(platform::SetFileTime(model, 1000100));
    LoadedModel grown(model);
    EXPECT_TRUE(grown.set.spheres[3].section.has_value());
    CMTreeClass rewritten;
    rewritten.LoadFromFile(cache);
    EXPECT_EQ(rewritten.GeomObjects().size(), 4u);

    // A damaged cache of the right date is rebuilt, not fatal.
    platform::ReadFile(cache, bytes);
    ASSERT_TRUE(platform::WriteFile(cache, bytes.substr(0, bytes.size() / 2)));
    ASSERT_TRUE(platform::SetFileTime(cache, 1000100));
    BSphereSet repaired;
    repaired.AddSpheresFrom(grown.tree);
    EXPECT_FALSE(BSMeshBuilderClass(cache, 1000100).Build(repaired, grown.mesh));
    EXPECT_TRUE(repaired.spheres[3].section.has_value());
    EXPECT_TRUE(BSMeshBuilderClass(cache, 1000100).Build(repaired, grown.mesh));
    EXPECT_TRUE(trap.reports.empty());
}

TEST(BSphereSections, ContainerWithoutChildrenCachesItsOwnSection) {
    TempDir dir;
    BSphereSet set;
    set.container = {"ship", {10.25f, 0.25f, 0}, 0.5f, {}};
    EXPECT_FALSE(BSMeshBuilderClass(dir / "c.cm2", 5).Build(set, RowOfTriangles()));
    ASSERT_TRUE(set.container.section.has_value());
    EXPECT_EQ(set.container.section->VertexCount(), 3u);

    CMTreeClass cache;
    cache.LoadFromFile(dir / "c.cm2");
    ASSERT_EQ(cache.GeomObjects().size(), 1u);
    EXPECT_EQ(cache.GeomObjects()[0].names.name, kMainSphereName);

    BSphereSet reused;
    reused.container = set.container;
    reused.container.section.reset();
    EXPECT_TRUE(BSMeshBuilderClass(dir / "c.cm2", 5).Build(reused, RowOfTriangles()));
    ASSERT_TRUE(reused.container.section.has_value());
    EXPECT_EQ(reused.container.section->indices, set.container.section->indices);
}

// Sphere units live in a tree that is discarded and flushed at the end.
class BSphereUnits : public ::testing::Test {
protected:
    void SetUp() override {
        if (!TEODestroyManager) {
            TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
            ownManager_ = true;
        }
        spheresBefore_ = BSphereCount;
        owner = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
        owner->SetName("ship");
    }
    void TearDown() override {
        owner->DiscardBRU();
        owner->Free();
        TEODestroyManager->Flush();
        EXPECT_EQ(BSphereCount, spheresBefore_);
        if (ownManager_) TEODestroyManager.reset();
        BSphereShowLowPoly = false;
    }
    BSpheresContainerClass* AddContainer() {
        auto* c = TBaseRenderUnit::Create<BSpheresContainerClass>(owner);
        owner->AddChild(c);
        return c;
    }
    TBaseRenderUnit* owner = nullptr;

private:
    bool ownManager_ = false;
    int spheresBefore_ = 0;
};

TEST_F(BSphereUnits, ContainerAndSpheresFromAModel) {
    ErrorTrap trap;
    TempDir dir;
    const std::string model = dir / "m.cm";
    ASSERT_TRUE(platform::WriteFile(
        model,
        SphereModel({{Vec3{0.25f, 0.25f, 0}, 0.5f}, {Vec3{5.5f, 0.25f, 0}, 1.0f}, {Vec3{100, 0, 0}, 1.0f}})));
    ASSERT_TRUE(platform::SetFileTime(model, 2000000));
    CMTreeClass tree;
    tree.LoadFromFile(model);
    GeomObjStruct* hull = nullptr;
    ASSERT_TRUE(tree.GetGeomobject("hull", hull));
    BSSectionMesh mesh;
    mesh.LoadFromModel(*hull);

    const int before = BSphereCount;
    BSpheresContainerClass* c = AddContainer();
    EXPECT_EQ(c->GetName(), "ship.BSC_" + IntToHex8(c->GetId()));
    c->LoadFromCM(tree, &mesh, false);
    EXPECT_EQ(BSphereCount, before + 4);

    const std::vector<BSphereClass*> spheres = c->ChildSpheres();
    ASSERT_EQ(spheres.size(), 3u);
    EXPECT_EQ(spheres[1]->GetName(), "bs_" + IntToHex8(spheres[1]->GetId()));
    EXPECT_EQ(spheres[1]->GetName2(), "s_mid");
    ExpectVec(spheres[1]->GetCenter(), {5.5f, 0.25f, 0}, "centre");
    std::shared_ptr<BSSectionMesh> section;
    ASSERT_TRUE(spheres[1]->GetMeshGeometry(section));
    EXPECT_EQ(section->VertexCount(), 3u);
    EXPECT_FALSE(spheres[2]->GetMeshGeometry(section)); // touches no triangle
    EXPECT_EQ(platform::FileTime(model + "2"), 2000000);

    // Every sphere finds its container; the container answers itself.
    BSpheresContainerClass* found = nullptr;
    EXPECT_TRUE(spheres[0]->GetContainer(found));
    EXPECT_EQ(found, c);
    EXPECT_TRUE(c->GetContainer(found));
    EXPECT_EQ(found, c);
    EXPECT_TRUE(trap.reports.empty());

    // A second load of the same model takes the sections from the cache.
    BSpheresContainerClass* again = AddContainer();
    again->LoadFromCM(tree, &mesh, false);
    ASSERT_TRUE(again->ChildSpheres()[1]->GetMeshGeometry(section));
    EXPECT_EQ(section->indices, (std::vector<uint32_t>{2, 1, 0}));
}

TEST_F(BSphereUnits, RadiiFollowTheWorldMatrix) {
    owner->SetBox({-2, -2, -2}, {2, 2, 2});
    owner->SetLocalMatrix(MatrixScaling(1, 3, 2));
    BSpheresContainerClass* c = AddContainer();
    BSphereClass* s = c->AddSphere({1, 0, 0}, 1.5f, false);
    EXPECT_FLOAT_EQ(s->GetRadius(), 1.5f);
    owner->UpdateMatrices(nullptr);
    // Half the box diagonal, then both times the largest column scale.
    EXPECT_NEAR(c->GetLocalRadius(), std::sqrt(48.0f) / 2, 1e-5);
    EXPECT_NEAR(c->GetRadius(), std::sqrt(48.0f) / 2 * 3, 1e-4);
    EXPECT_FLOAT_EQ(s->GetLocalRadius(), 1.5f);
    EXPECT_FLOAT_EQ(s->GetRadius(), 4.5f);
    ExpectVec(s->GetPositionV(), {1, 0, 0}, "world position");

    // A copy keeps the radii, the names and its own copy of the section.
    s->SetName2("s_gun");
    s->SetMeshGeometry(std::make_shared<BSSectionMesh>(RowOfTriangles()));
    BSphereClass* copy = s->CreateCopy(c);
    c->AddChild(copy);
    EXPECT_FLOAT_EQ(copy->GetRadius(), 4.5f);
    EXPECT_FLOAT_EQ(copy->GetLocalRadius(), 1.5f);
    EXPECT_EQ(copy->GetName2(), "s_gun");
    std::shared_ptr<BSSectionMesh> a, b;
    ASSERT_TRUE(s->GetMeshGeometry(a));
    ASSERT_TRUE(copy->GetMeshGeometry(b));
    EXPECT_NE(a, b);
    EXPECT_EQ(a->indices, b->indices);
    BSphereClass* containerCopy = c->CreateCopy(owner);
    owner->AddChild(containerCopy);
    EXPECT_TRUE(containerCopy->IsClass<BSpheresContainerClass>());
}

TEST_F(BSphereUnits, ChildIterationAndAttachments) {
    BSpheresContainerClass* c = AddContainer();
    BSphereClass* a = c->AddSphere({}, 1, false);
    auto* nested = TBaseRenderUnit::Create<BSpheresContainerClass>(c);
    c->AddChild(nested);
    auto* plain = TBaseRenderUnit::Create<TBaseRenderUnit>(c);
    c->AddChild(plain);
    BSphereClass* b = c->AddSphere({}, 2, false);
    int index = 0;
    IBoundingSphere2* s = nullptr;
    ASSERT_TRUE(c->NextChildSphere(index, s));
    EXPECT_EQ(s, static_cast<IBoundingSphere2*>(a));
    ASSERT_TRUE(c->NextChildSphere(index, s));
    EXPECT_EQ(s, static_cast<IBoundingSphere2*>(b));
    EXPECT_EQ(index, 4);
    EXPECT_FALSE(c->NextChildSphere(index, s));

    a->AddAttached(b);
    a->AddAttached(c);
    a->ResetAttachedIndex(index);
    IEngineObject* o = nullptr;
    std::vector<IEngineObject*> seen;
    while (a->GetAttached(index, o)) seen.push_back(o);
    EXPECT_EQ(seen, (std::vector<IEngineObject*>{b, c}));
    EXPECT_FALSE(b->GetAttached(index = 0, o));
}

TEST_F(BSphereUnits, FatalMisuses) {
    ErrorTrap trap;
    auto* loose = TBaseRenderUnit::Create<BSphereClass>(owner);
    owner->AddChild(loose);
    loose->SetName("lost");
    BSpheresContainerClass* found = nullptr;
    EXPECT_THROW(loose->GetContainer(found), test::Halted);
    EXPECT_EQ(trap.lastFatal,
              "BSphereClass.GetContainer: par=nil; \xC1\xDB\xD2\xDC \xD2\xC0\xCA\xCE\xC3\xCE \xCD\xC5 "
              "\xCC\xCE\xC6\xC5\xD2!!!, lost");

    std::shared_ptr<BSSectionMesh> mesh;
    ASSERT_TRUE(loose->GetMeshGeometry(mesh));
    EXPECT_THROW(loose->SetMeshGeometry(mesh), test::Halted);
    EXPECT_EQ(trap.lastFatal, "BSphereClass.SetMeshGeometry: fMeshGeometry.GetSelf = _fMesh.GetSelf");
    loose->SetMeshGeometry(std::make_shared<BSSectionMesh>());

    // Without the low-poly switch a container lists nothing and a sphere may not be listed.
    BSpheresContainerClass* c = AddContainer();
    c->AddSphere({}, 1, false);
    const size_t reports = trap.reports.size();
    c->FillRenderList(0, kPassOpaque);
    EXPECT_EQ(trap.reports.size(), reports);
    EXPECT_THROW(loose->FillRenderList(0, kPassOpaque), test::Halted);
    EXPECT_EQ(trap.lastFatal, "BSphereClass.RenderInList: bShowLowpoly");

    auto* orphan = TBaseRenderUnit::Create<BSpheresContainerClass>(nullptr);
    EXPECT_EQ(orphan->GetName(), "NO_PARENT.BSC_" + IntToHex8(orphan->GetId()));
    orphan->DiscardBRU();
    orphan->Free();
}

} // namespace
} // namespace vesk
