// Bounding-sphere sections: the segment-sphere test, cutting a known mesh, and
// the section cache next to the model file.
#include "physics/bsphere_sections.h"
#include "physics/cm_tree.h"
#include "platform/files.h"
#include "support/error_trap.h"

#include "bsphere_fixture.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

using test::ErrorTrap;
using test::ExpectVec;
using test::RowOfTriangles;
using test::SphereModel;
using test::TempDir;

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

} // namespace
} // namespace vesk
