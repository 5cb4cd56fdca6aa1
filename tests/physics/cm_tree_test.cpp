// Model trees: the cache by file name, look-ups by name, universal helpers,
// level-of-detail lists and the render objects built from geometry objects.
#include "core/var_list.h"
#include "physics/cm_tree.h"
#include "physics/cm_tree_manager.h"
#include "physics/cm_writer.h"
#include "platform/files.h"
#include "shared/math.h"
#include "support/error_trap.h"

#include "cm_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vesk {
namespace {

using test::ChunkBytes;
using test::CMFileBytes;
using test::ErrorTrap;
using test::GeomObjChunk;
using test::Halted;
using test::SceneChunk;
using test::TempDir;

std::string SceneWithObjects(std::initializer_list<std::string> names) {
    CMSceneClass scene;
    for (const auto& n : names) {
        CMGeomObjClass* o = scene.NewGeomObj();
        o->SetNames(n, "", "");
        o->SetVertices(1);
        o->SetVertex(0, {1, 2, 3}, {0, 0, 1}, 0, 0);
    }
    return scene.ToBytes();
}

TEST(CMTreeManager, CachesTreesByTheCallersName) {
    ErrorTrap trap;
    TempDir dir;
    ASSERT_TRUE(platform::WriteFile(dir / "ship.cm", SceneWithObjects({"hull"})));
    CMTreeManagerClass manager;
    CMTreeClass* a = manager.GetCMTree(dir / "ship");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GeomObjects().size(), 1u);
    EXPECT_EQ(manager.GetCMTree(dir / "ship"), a);
    EXPECT_EQ(manager.GetCMTree(dir / "SHIP"), a);
    // The same file under another name is a second tree.
    CMTreeClass* b = manager.GetCMTree(dir / "ship.cm");
    EXPECT_NE(b, a);
    EXPECT_EQ(b->GetFileName(), a->GetFileName());
    EXPECT_EQ(manager.Count(), 2u);

    manager.ReleaseCMTree(dir / "Ship");
    EXPECT_EQ(manager.Count(), 1u);
    EXPECT_EQ(manager.GetCMTree(dir / "ship.cm"), b);
    EXPECT_TRUE(trap.reports.empty());

    EXPECT_THROW(manager.ReleaseCMTree("nothing"), Halted);
    EXPECT_EQ(trap.lastFatal, "CMTreeManagerClass.ReleaseCMTree: cm not found: nothing");
    EXPECT_EQ(trap.reports.back().flags, "mhl");
}

// Helpers, a sphere, objects, lights and a 12-point shape.
std::string PointsModel() {
    CMFileBytes f;
    f.Add(SceneChunk());
    f.Add(GeomObjChunk(1).V3(64, {7, 7, 7}));
    f.Marker(CHUNK_GEOMOBJ_END);
    f.Add(GeomObjChunk(5).V3(64, {1, 0, 0}).TM(88, MatrixTranslation(4, 5, 6)));
    f.Marker(CHUNK_GEOMOBJ_END);
    f.Marker(CHUNK_HELPER_LIST_BEGIN);
    f.Add(ChunkBytes(CHUNK_HELPER, 88).U32(20, 1).V3(28, {0, 0, 9}).TM(40, MatrixTranslation(1, 1, 1)));
    f.Marker(CHUNK_HELPER_END);
    f.Marker(CHUNK_HELPER_LIST_END);
    f.Add(ChunkBytes(CHUNK_BSPHERE, 92).U32(20, 2).V3(28, {3, 0, 0}).F32(40, 2.5f).TM(44, Matrix{}));
    f.Marker(CHUNK_LIGHT_LIST_BEGIN);
    f.Add(ChunkBytes(CHUNK_LIGHT, 60).U32(20, 3).V3(28, {0, 4, 0}).Colour(44, 1, .5f, .25f, 1));
    f.Marker(CHUNK_LIGHT_END);
    f.Marker(CHUNK_LIGHT_LIST_END);
    std::string points;
    for (int i = 0; i < 12; ++i) points += test::F32s({static_cast<float>(i), 0, 0});
    f.Marker(CHUNK_SHAPE_LIST_BEGIN);
    f.Add(ChunkBytes(CHUNK_SHAPE, 108).U32(20, 4).TM(56, Matrix{}).U32(104, 12).Data(points));
    f.Marker(CHUNK_SHAPE_END);
    f.Marker(CHUNK_SHAPE_LIST_END);
    f.Strings({"", "gun", "Sphere", "lamp", "route", "hull"});
    f.Marker(CHUNK_END);
    return f.Bytes();
}

TEST(CMTree, UniversalHelpersNameEveryPoint) {
    ErrorTrap trap;
    CMTreeClass tree;
    tree.Parse(PointsModel(), "p.cm");
    std::vector<std::string> names;
    for (const auto& u : tree.UniversalHelpers()) names.push_back(u.name);
    const std::vector<std::string> expected = {
        "gun",     "Sphere",  "gun",     "hull",    "route",   "route01", "route02", "route03",
        "route04", "route05", "route06", "route07", "route08", "route09", "route10", "route11"};
    EXPECT_EQ(names, expected);

    Vec3 p;
    float r = -1;
    // The helper comes before the geometry object of the same name.
    tree.GetUniversalHelper("GUN", p, r);
    EXPECT_FLOAT_EQ(p.z, 9);
    EXPECT_FLOAT_EQ(r, 0);
    // A helper's matrix is the identity moved to its position, not its own.
    EXPECT_FLOAT_EQ(tree.UniversalHelpers()[0].matrix.m[3][2], 9);
    EXPECT_FLOAT_EQ(tree.UniversalHelpers()[0].matrix.m[3][0], 0);
    tree.GetUniversalHelper("sphere", p, r);
    EXPECT_FLOAT_EQ(r, 2.5f);
    tree.GetUniversalHelper("hull", p, r);
    EXPECT_FLOAT_EQ(p.x, 1);
    EXPECT_FLOAT_EQ(tree.UniversalHelpers()[3].matrix.m[3][0], 4);
    tree.GetUniversalHelper("route11", p, r);
    EXPECT_FLOAT_EQ(p.x, 11);
    EXPECT_TRUE(trap.reports.empty());

    EXPECT_THROW(tree.GetUniversalHelper("route12", p, r), Halted);
    EXPECT_EQ(trap.lastFatal, "CMTreeClass.GetUniversalHelper(): unknown helper [route12]!!!");
}

TEST(CMTree, LookUpsByName) {
    ErrorTrap trap;
    CMTreeClass tree;
    tree.Parse(PointsModel(), "p.cm");

    GeomObjStruct* g = nullptr;
    EXPECT_TRUE(tree.GetGeomobject("HULL", g));
    EXPECT_EQ(g->names.name, "hull");
    EXPECT_FALSE(tree.GetGeomobject("none", g));
    CMHelperStruct* h = nullptr;
    EXPECT_TRUE(tree.FindHelper("Gun", h));
    BoundingSphereStruct* s = nullptr;
    EXPECT_TRUE(tree.GetBoundingSphere("SPHERE", s));
    EXPECT_FLOAT_EQ(s->radius, 2.5f);
    CMAnimationTrackStruct* t = nullptr;
    EXPECT_FALSE(tree.GetAnimationTrack("hull", t)); // a static object
    CMLightStruct* l = nullptr;
    EXPECT_TRUE(tree.GetLight("LAMP", l));

    Vec3 pos;
    tree.GetLightPos("lamp", pos);
    EXPECT_FLOAT_EQ(pos.y, 4);
    float colour[4];
    tree.GetLightColor("lamp", colour);
    EXPECT_FLOAT_EQ(colour[2], 0.25f);
    Matrix m;
    tree.GetObjectMatrix("hull", m);
    EXPECT_FLOAT_EQ(m.m[3][1], 5);
    EXPECT_TRUE(trap.reports.empty());

    // The position, colour and matrix look-ups match the letter case exactly.
    const struct {
        std::function<void()> call;
        std::string message;
    } misses[] = {
        {[&] { tree.GetLightPos("Lamp", pos); }, "Light not found: Lamp"},
        {[&] { tree.GetLightColor("LAMP", colour); }, "Light not found: LAMP"},
        {[&] { tree.GetObjectMatrix("Hull", m); }, "Object not found: Hull"},
    };
    for (const auto& miss : misses) {
        EXPECT_THROW(miss.call(), Halted);
        EXPECT_EQ(trap.lastFatal, miss.message);
    }
    EXPECT_FLOAT_EQ(colour[0], 0); // cleared before the search
}

// Records what the render engine was asked to build.
struct BuildLog {
    std::vector<CMRenderObjectRequest> requests;
    std::vector<char> slots = std::vector<char>(64);
    BuildLog() {
        SetCMRenderObjectBuilder([this](CMTreeClass&, GeomObjStruct&, const CMRenderObjectRequest& request) {
            requests.push_back(request);
            return reinterpret_cast<TRenderObject*>(&slots[requests.size()]);
        });
    }
    ~BuildLog() { SetCMRenderObjectBuilder(nullptr); }
};

TEST(CMTree, LevelOfDetailList) {
    ErrorTrap trap;
    BuildLog log;
    CMTreeClass tree;
    tree.Parse(SceneWithObjects({"base", "base_lod_300", "turret_lod_50", "BASE_LOD_1000",
                                 "base_lod_" + std::string(60, '9')}),
               "l.cm");
    const auto list = tree.GetLODList("base", 0);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_TRUE(std::isinf(list[3].distance));
    EXPECT_EQ(list[0].name, "base");
    EXPECT_FLOAT_EQ(list[0].distance, 100);
    EXPECT_EQ(list[1].name, "base_lod_300");
    EXPECT_FLOAT_EQ(list[1].distance, 300);
    EXPECT_FLOAT_EQ(list[2].distance, 1000); // file order, not sorted
    EXPECT_NE(list[0].renderObject, list[1].renderObject);
    EXPECT_TRUE(tree.GetLODList("cannon", 0).empty());

    CMTreeClass bad;
    bad.Parse(SceneWithObjects({"base", "base_lod_"}), "l.cm");
    EXPECT_THROW(bad.GetLODList("base", 0), Halted);
    EXPECT_EQ(trap.lastFatal, "count=0 in lod name: base_lod_");
}

TEST(CMTree, CreateROBuildsOncePerObjectName) {
    ErrorTrap trap;
    BuildLog log;
    CMTreeClass tree;
    tree.Parse(SceneWithObjects({"hull", "wing"}), "ro.cm");
    GeomObjStruct* hull = nullptr;
    ASSERT_TRUE(tree.GetGeomobject("hull", hull));
    hull->matrix = MatrixTranslation(1, 0, 0);

    TRenderObject* ro = tree.CreateRO("hull", true, kCMStepTranslate | 0x80);
    EXPECT_EQ(tree.CreateRO("HULL", false, kCMStepTranslate | 0x100), ro);
    ASSERT_EQ(log.requests.size(), 1u);
    EXPECT_FLOAT_EQ(hull->vertices[0].position.x, 0); // moved once, not twice
    EXPECT_TRUE(log.requests[0].materialFlag);
    EXPECT_EQ(log.requests[0].objectName, "hull");
    EXPECT_EQ(log.requests[0].fileName, "ro.cm");
    EXPECT_NE(tree.CreateRO("wing", false, 0), ro);
    EXPECT_EQ(tree.RenderObjects().Count(), 2u);

    EXPECT_THROW(tree.CreateRO("tail", false, 0), Halted);
    EXPECT_EQ(trap.lastFatal, "CM.CreateRO: Object not found: tail");
}

TEST(CMTree, CreateROOptionsChooseBuffersStatesAndBuilder) {
    BuildLog log;
    const struct {
        uint64_t options;
        uint32_t pool, usage, apply, restore;
    } cases[] = {
        {0, 1, 0, 0x10015, 0},     {0x80, 0, 0, 0x10015, 0},      {0x100, 2, 0, 0x10015, 0},
        {0x180, 0, 0, 0x10015, 0}, {0x600, 1, 0x208, 0x10015, 0}, {0x10, 1, 0, 0x10019, 0},
        {0x20, 1, 0, 0x10025, 0},  {0x40, 1, 0, 0x10415, 0x800},  {0x70, 1, 0, 0x10429, 0x800},
    };
    for (const auto& c : cases) {
        CMTreeClass tree;
        tree.Parse(SceneWithObjects({"o"}), "o.cm");
        tree.CreateRO("o", false, c.options);
        const CMRenderObjectRequest& s = log.requests.back();
        EXPECT_EQ(s.pool, c.pool) << c.options;
        EXPECT_EQ(s.usage, c.usage) << c.options;
        EXPECT_EQ(s.applyState, c.apply) << c.options;
        EXPECT_EQ(s.restoreState, c.restore) << c.options;
        EXPECT_EQ(s.builder, CMBuilderKind::Generic);
    }

    // A second texture channel picks the light-map builder; cube mode wins over both.
    CMFileBytes f;
    f.Add(SceneChunk()).Add(GeomObjChunk(1));
    f.Add(ChunkBytes(CHUNK_TEXCOORD_LIST, 32).U32(20, 1).U32(24, 8).U32(28, 1).Data(test::F32s({0, 0})));
    f.Marker(CHUNK_GEOMOBJ_END).Strings({"", "lm"}).Marker(CHUNK_END);
    CMTreeClass lightMapped;
    lightMapped.Parse(f.Bytes(), "lm.cm");
    lightMapped.CreateRO("lm", false, 0);
    EXPECT_EQ(log.requests.back().builder, CMBuilderKind::LightMap);

    InitVarLists();
    FindVarListWith("vis.cubemode")->Put("vis.cubemode", VarValue(1));
    CMTreeClass cube;
    FreeAllVarLists();
    cube.Parse(f.Bytes(), "lm.cm");
    cube.CreateRO("lm", false, 0);
    EXPECT_EQ(log.requests.back().builder, CMBuilderKind::CubeMode);
}

TEST(CMTree, VertexStepUndoesTheObjectMatrix) {
    // Scaled by 2, turned a quarter about z, moved to (10, 0, 0).
    const Matrix t = MatrixProduct(MatrixProduct(MatrixScaling(2, 2, 2), MatrixRotationZ(kPi / 2)),
                                   MatrixTranslation(10, 0, 0));
    const Vec3 model{1, 2, 3};
    const Vec3 world = Vec3TransformCoord(model, t);
    // The bits apply in the order rotate, move, scale: the move is not rotated back.
    const Vec3 turned = Vec3TransformNormal(world, MatrixRotationZ(-kPi / 2));
    const Vec3 stepped{(turned.x - 10) / 2, turned.y / 2, turned.z / 2};
    const struct {
        uint64_t options;
        Vec3 position;
        Vec3 normal;
    } cases[] = {
        {0, world, {1, 0, 0}},
        {kCMStepInverse, model, {1, 0, 0}},
        {kCMStepInverse | kCMStepRotate, model, {1, 0, 0}}, // the full inverse wins; normals untouched
        {kCMStepTranslate, {world.x - 10, world.y, world.z}, {1, 0, 0}},
        {kCMStepTranslate | kCMStepScale, {(world.x - 10) / 2, world.y / 2, world.z / 2}, {1, 0, 0}},
        {kCMStepRotate | kCMStepTranslate | kCMStepScale, stepped, {0, -1, 0}},
    };
    for (const auto& c : cases) {
        GeomObjStruct g;
        g.matrix = t;
        g.vertices = {{world, {1, 0, 0}, 0, 0}};
        CMApplyVertexStep(g, c.options);
        const CMVertex& v = g.vertices[0];
        EXPECT_NEAR(v.position.x, c.position.x, 1e-4) << c.options;
        EXPECT_NEAR(v.position.y, c.position.y, 1e-4) << c.options;
        EXPECT_NEAR(v.position.z, c.position.z, 1e-4) << c.options;
        EXPECT_NEAR(v.normal.x, c.normal.x, 1e-5) << c.options;
        EXPECT_NEAR(v.normal.y, c.normal.y, 1e-5) << c.options;
    }
}

} // namespace
} // namespace vesk
