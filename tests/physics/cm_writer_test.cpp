// The model-file writer: its exact layout, the round trip through the reader
// and its message-box faults.
#include "physics/cm_tree.h"
#include "physics/cm_writer.h"
#include "shared/math.h"
#include "support/error_trap.h"

#include "cm_fixture.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

using test::ChunkBytes;
using test::CMFileBytes;
using test::ErrorTrap;
using test::TempDir;

TEST(CMWriter, EmptySceneIsSceneStringTableAndEnd) {
    CMSceneClass scene;
    CMFileBytes expected;
    expected.Add(ChunkBytes(CHUNK_SCENE, 60).U32(20, 0)); // colour 0 is four zero floats
    expected.Strings({""});
    expected.Marker(CHUNK_END);
    EXPECT_EQ(scene.ToBytes(), expected.Bytes());
}

// A scene as the writer would make it again from what the reader kept.
std::string Rewrite(CMTreeClass& tree) {
    CMSceneClass scene(tree.SceneName());
    scene.ambient = tree.GetAmbient();
    for (const GeomObjStruct& g : tree.GeomObjects()) {
        CMGeomObjClass* o = scene.NewGeomObj();
        o->SetNames(g.names.name, g.names.second, g.names.third);
        for (int i = 0; i < 5; ++i) o->vectors[i] = g.vectors[i];
        o->matrix = g.matrix;
        o->colour = g.colour;
        o->SetVertices(g.vertexCount);
        for (uint32_t i = 0; i < g.vertexCount; ++i) {
            const CMVertex& v = g.vertices[i];
            o->SetVertex(i, v.position, v.normal, v.tu, v.tv);
        }
        o->SetIndices(g.indexCount);
        for (uint32_t i = 0; i < g.indexCount; ++i) o->SetIndex(i, g.indices[i]);
    }
    return scene.ToBytes();
}

TEST(CMWriter, RoundTripKeepsEverythingWritten) {
    CMSceneClass scene("ship");
    scene.ambient = 0x80402010;
    CMGeomObjClass* hull = scene.NewGeomObj();
    hull->SetNames("hull", "", "never written");
    hull->vectors[1] = {-1, -2, -3};
    hull->vectors[2] = {1, 2, 3};
    hull->vectors[3] = {0, 0, 4};
    hull->matrix = MatrixProduct(MatrixRotationZ(0.5f), MatrixTranslation(7, 8, 9));
    hull->colour = 0xFF336699;
    hull->SetVertices(3);
    hull->SetVertex(0, {0, 0, 0}, {0, 0, 1}, 0, 0);
    hull->SetVertex(1, {1, 0, 0}, {0, 0, 1}, 1, 0);
    hull->SetVertex(2, {0, 1, 0}, {0, 0, 1}, 0, 1);
    hull->SetVertex(3, {9, 9, 9}, {}, 0, 0); // past the array: ignored
    hull->SetIndices(3);
    for (uint32_t i = 0; i < 3; ++i) hull->SetIndex(i, 2 - i);
    CMGeomObjClass* empty = scene.NewGeomObj();
    empty->SetNames("empty", "second", "");
    const std::string bytes = scene.ToBytes();
    EXPECT_EQ(scene.ToBytes(), bytes); // the string table is rebuilt, not grown

    CMTreeClass tree;
    tree.Parse(bytes, "ship.cm");
    EXPECT_EQ(tree.SceneName(), "ship");
    EXPECT_EQ(tree.GetAmbient(), 0x80402010u);
    ASSERT_EQ(tree.GeomObjects().size(), 2u);
    const GeomObjStruct& g = tree.GeomObjects()[0];
    EXPECT_EQ(g.names.name, "hull");
    EXPECT_EQ(g.names.third, ""); // the writer's str_id is always 0
    EXPECT_EQ(g.colour, 0xFF336699u);
    EXPECT_FLOAT_EQ(g.vectors[2].z, 3);
    EXPECT_FLOAT_EQ(g.matrix.m[0][1], hull->matrix.m[0][1]);
    EXPECT_FLOAT_EQ(g.matrix.m[3][0], 0); // the translation is not written
    EXPECT_EQ(g.indices, (std::vector<uint32_t>{2, 1, 0}));
    EXPECT_FLOAT_EQ(g.vertices[2].tv, 1);
    EXPECT_EQ(tree.GeomObjects()[1].names.second, "second");
    EXPECT_EQ(tree.GeomObjects()[1].vertexCount, 0u);

    // Written again from what was read: the same bytes.
    EXPECT_EQ(Rewrite(tree), bytes);
}

TEST(CMWriter, FaultsAreShownAndTheWriterGoesOn) {
    ErrorTrap trap;
    CMHeaderClass orphan;
    EXPECT_FALSE(orphan.Init(nullptr, CHUNK_END, 20, 0, "", 1));

    CMSceneClass scene;
    CMGeomObjClass* o = scene.NewGeomObj();
    o->SetVertices(1);
    o->SetVertices(2);
    o->SetIndices(3);
    o->SetIndices(3);
    EXPECT_EQ(o->VertexCount(), 2u);

    TempDir dir;
    EXPECT_FALSE(scene.SaveToFile(dir / "no_such_folder/x.cm"));
    EXPECT_TRUE(scene.SaveToFile(dir / "x.cm"));

    const std::vector<std::string> texts = {
        "CMHeaderClass.Init: _fStr= nil", "CMGeomObjClass.SetVertices: pverts<>nil",
        "CMGeomObjClass.SetIndices: pinds<>nil", "CMHeaderClass.WriteToFile: error writing data"};
    ASSERT_EQ(trap.boxes.size(), texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(trap.boxes[i].text, texts[i]);
        EXPECT_EQ(trap.boxes[i].flags, "CM Err");
    }
    EXPECT_TRUE(trap.reports.empty());
}

} // namespace
} // namespace vesk
