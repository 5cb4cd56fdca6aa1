// The model-file reader on hand-built files: every chunk kind, the refusals of
// malformed and truncated files, and the file-name rules of loading.
#include "cm_fixture.h"
#include "physics/cm_tree.h"
#include "physics/cm_writer.h"
#include "platform/files.h"
#include "shared/errors.h"
#include "shared/math.h"
#include "support/error_trap.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

using test::ChunkBytes;
using test::CMFileBytes;
using test::ErrorTrap;
using test::F32s;
using test::GeomObjChunk;
using test::Halted;
using test::IndexList;
using test::SceneChunk;
using test::TempDir;
using test::U32s;
using test::VertexList;

enum Str : uint32_t {
    kEmpty,
    kScene,
    kHull,
    kHull2,
    kHull3,
    kMatA,
    kMatB,
    kTexA,
    kTexDir,
    kSphere,
    kGun,
    kLamp,
    kCam,
    kRoute,
    kRoot,
    kTrack,
    kFourth,
    kEmptyShape
};

void AddStrings(CMFileBytes& f) {
    f.Strings({"", "scene", "hull", "hull2nd", "hull3rd", "mat_a", "mat_b", "tex_a.dds", "tex_dir", "sphere1",
               "hp_gun", "lamp", "cam", "route", "root", "track_hull", "fourth", "empty_shape"});
}

Matrix Translated(float x, float y, float z) {
    Matrix m = MatrixScaling(2, 2, 2);
    MatrixSetTranslation(m, {x, y, z});
    return m;
}

std::string Key(uint32_t v4, float time, uint32_t v12, const Matrix& m, float c, float factor) {
    std::string k = U32s({0, v4}) + F32s({time}) + U32s({v12, 0});
    for (int r = 0; r < 4; ++r) k += F32s({m.m[r][0], m.m[r][1], m.m[r][2]});
    return k + F32s({c, c, c, 1.0f, factor});
}

ChunkBytes Track(uint32_t name, std::string keys, uint32_t count) {
    return ChunkBytes(CHUNK_ANIMATION_TRACK, 44)
        .U32(20, name)
        .F32(28, 0.0f)
        .F32(32, 100.0f)
        .U32(36, 3)
        .U32(40, count)
        .Data(std::move(keys));
}

ChunkBytes Material(uint32_t name) {
    return ChunkBytes(CHUNK_MATERIAL, 200)
        .U32(20, name)
        .U32(24, kEmpty)
        .U32(28, 42)
        .Colour(32, 1, 0, 0, 1)
        .Colour(48, 0, 1, 0, 1)
        .Colour(64, 0, 0, 1, 1)
        .Data("skipped material data");
}

// One file with every chunk kind the reader knows, plus chunks it skips.
std::string FullModel() {
    CMFileBytes f;
    f.Add(SceneChunk(kScene).Colour(24, 1.0f, 0.5f, 0.0f, 1.0f));
    f.Add(GeomObjChunk(kHull, kHull2, kHull3)
              .V3(40, {-1, -1, -1})
              .V3(52, {1, 1, 1})
              .V3(64, {5, 6, 7})
              .TM(88, Translated(5, 6, 7))
              .Colour(136, 0, 0, 1, 1));
    f.Marker(CHUNK_MATERIAL_LIST_BEGIN);
    f.Add(Material(kMatA).U32(80, kTexDir).U32(84, kTexA).U32(192, kTexDir).U32(196, kTexA));
    f.Add(IndexList({0, 1, 2}));
    f.Add(ChunkBytes(0x12345, 20).Data("xyz"));
    f.Marker(CHUNK_MATERIAL_END);
    f.Add(Material(kMatB)); // no indices: dropped
    f.Marker(CHUNK_MATERIAL_END);
    f.Add(ChunkBytes(0x777, 24).Data("in the list"));
    f.Marker(CHUNK_MATERIAL_LIST_END);
    f.Add(Material(kMatB));
    f.Add(IndexList({2, 1, 0}));
    f.Marker(CHUNK_MATERIAL_END);
    f.Add(VertexList(
        {{{0, 0, 0}, {0, 0, 1}, 0, 0}, {{1, 0, 0}, {0, 0, 1}, 1, 0}, {{0, 1, 0}, {0, 0, 1}, 0, 1}}));
    f.Add(IndexList({0, 1, 2}));
    f.Add(ChunkBytes(CHUNK_TEXCOORD_LIST, 32)
              .U32(20, 3)
              .U32(24, 8)
              .U32(28, 1)
              .Data(F32s({0, 0, .5f, 0, 0, .5f})));
    f.Add(ChunkBytes(CHUNK_ANIMATION_ROOT, 36).U32(20, kRoot).U32(28, 7).U32(32, 8));
    f.Add(Track(kTrack,
                Key(11, 50.0f, 12, MatrixTranslation(1, 2, 3), 0.5f, 2.0f) +
                    Key(13, 100.0f, 14, Matrix{}, 1.0f, 1.0f),
                2));
    f.Add(ChunkBytes(0x999, 20).Data("inside a track"));
    f.Marker(CHUNK_ANIMATION_TRACK_END);
    f.Marker(CHUNK_GEOMOBJ_END);

    f.Add(ChunkBytes(CHUNK_BSPHERE, 92)
              .U32(20, kSphere)
              .V3(28, {1, 2, 3})
              .F32(40, 4.0f)
              .TM(44, Translated(1, 2, 3)));

    f.Marker(CHUNK_HELPER_LIST_BEGIN);
    f.Add(ChunkBytes(0x555, 20).Data("skipped in helper list"));
    f.Add(ChunkBytes(CHUNK_HELPER, 88).U32(20, kGun).V3(28, {0, 0, 5}).TM(40, Translated(9, 9, 9)));
    f.Add(Track(kGun, "", 0));
    f.Marker(CHUNK_ANIMATION_TRACK_END);
    f.Marker(CHUNK_HELPER_END);
    f.Marker(CHUNK_HELPER_LIST_END);

    f.Marker(CHUNK_LIGHT_LIST_BEGIN);
    f.Add(
        ChunkBytes(CHUNK_LIGHT, 60).U32(20, kLamp).V3(28, {1, 1, 1}).U32(40, 9).Colour(44, .2f, .4f, .6f, 1));
    f.Marker(CHUNK_LIGHT_END);
    f.Marker(CHUNK_LIGHT_LIST_END);

    f.Marker(CHUNK_CAMERA_LIST_BEGIN);
    f.Add(ChunkBytes(CHUNK_CAMERA, 120)
              .U32(20, kCam)
              .U32(28, kFourth)
              .U32(32, 1)
              .U32(36, 2)
              .U32(40, 3)
              .TM(56, Translated(0, 0, 1))
              .U32(104, 4)
              .U32(108, 5)
              .U32(112, 6)
              .F32(116, 0.75f));
    f.Marker(CHUNK_CAMERA_END);
    f.Marker(CHUNK_CAMERA_LIST_END);

    f.Marker(CHUNK_SHAPE_LIST_BEGIN);
    f.Add(ChunkBytes(CHUNK_SHAPE, 108)
              .U32(20, kRoute)
              .U32(28, kFourth)
              .U32(32, 21)
              .U32(52, 26)
              .TM(56, Matrix{})
              .U32(104, 3)
              .Data(F32s({0, 0, 0, 1, 0, 0, 2, 0, 0})));
    f.Add(ChunkBytes(0x321, 20)); // stepped over by its header only
    f.Marker(CHUNK_SHAPE_END);
    f.Add(ChunkBytes(CHUNK_SHAPE, 108).U32(20, kEmptyShape).U32(104, 0));
    f.Marker(CHUNK_SHAPE_END);
    f.Marker(CHUNK_SHAPE_LIST_END);

    f.Add(ChunkBytes(CHUNK_ANIMATION_ROOT, 36).U32(20, kHull).U32(28, 1));
    f.Add(ChunkBytes(CHUNK_ANIMATION_ROOT, 36).U32(20, kRoot).U32(28, 2));
    f.Add(Track(kTrack, "", 0));
    f.Marker(CHUNK_ANIMATION_TRACK_END);
    f.Add(ChunkBytes(0xABCDE, 40).Data("an unknown top-level chunk"));
    AddStrings(f);
    f.Marker(CHUNK_END);
    return f.Bytes();
}

TEST(CMReader, ReadsEveryChunkKind) {
    CMTreeClass tree;
    tree.Parse(FullModel(), "full.cm");

    EXPECT_EQ(tree.SceneName(), "scene");
    EXPECT_EQ(tree.GetAmbient(), 0xFFFF8000u);
    ASSERT_EQ(tree.GeomObjects().size(), 1u);
    const GeomObjStruct& g = tree.GeomObjects()[0];
    EXPECT_EQ(g.names.name, "hull");
    EXPECT_EQ(g.names.second, "hull2nd");
    EXPECT_EQ(g.names.third, "hull3rd");
    EXPECT_FLOAT_EQ(g.vectors[1].x, -1);
    EXPECT_FLOAT_EQ(g.vectors[3].z, 7);
    EXPECT_FLOAT_EQ(g.matrix.m[0][0], 2);
    EXPECT_FLOAT_EQ(g.matrix.m[3][1], 6);
    EXPECT_FLOAT_EQ(g.matrix.m[3][3], 1);
    EXPECT_FLOAT_EQ(g.matrix.m[0][3], 0);
    EXPECT_EQ(g.colour, 0xFF0000FFu);

    // The list's mat_a, then the direct mat_b; the mat_b without indices is dropped.
    ASSERT_EQ(g.materials.size(), 2u);
    const CMMaterialStruct& a = g.materials[0];
    EXPECT_EQ(a.name, "mat_a");
    EXPECT_EQ(a.value, 42u);
    EXPECT_EQ(a.colours[0], 0xFFFF0000u);
    EXPECT_EQ(a.colours[2], 0xFF0000FFu);
    ASSERT_TRUE(a.diffuseMap.has_value());
    EXPECT_EQ(a.diffuseMap->first, "tex_dir");
    EXPECT_EQ(a.diffuseMap->second, "tex_a.dds");
    EXPECT_FALSE(a.selfillumMap.has_value());
    EXPECT_TRUE(a.opacityMap.has_value());
    EXPECT_EQ(a.indices, (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(g.materials[1].name, "mat_b");
    EXPECT_EQ(g.materials[1].indices, (std::vector<uint32_t>{2, 1, 0}));

    ASSERT_EQ(g.vertexCount, 3u);
    EXPECT_FLOAT_EQ(g.vertices[1].position.x, 1);
    EXPECT_FLOAT_EQ(g.vertices[2].tv, 1);
    EXPECT_FLOAT_EQ(g.vertices[0].normal.z, 1);
    EXPECT_EQ(g.indexCount, 3u);
    ASSERT_EQ(g.texCoords2.size(), 3u);
    EXPECT_FLOAT_EQ(g.texCoords2[1].x, 0.5f);
    ASSERT_TRUE(g.animationRoot.has_value());
    EXPECT_EQ(g.animationRoot->values[1], 8u);

    ASSERT_TRUE(g.animationTrack.has_value());
    const CMAnimationTrackStruct& t = *g.animationTrack;
    EXPECT_EQ(t.names.name, "track_hull");
    EXPECT_FLOAT_EQ(t.endFrame, 100);
    EXPECT_EQ(t.value, 3u);
    ASSERT_EQ(t.keys.size(), 2u);
    const CMAnimationKey& k = t.keys[0];
    EXPECT_EQ(k.value4, 11u);
    EXPECT_EQ(k.value12, 12u);
    for (float time : k.time) EXPECT_FLOAT_EQ(time, 0.5f);
    EXPECT_FLOAT_EQ(k.matrix.m[3][2], 3);
    EXPECT_FLOAT_EQ(k.matrix.m[3][3], 1);
    EXPECT_FLOAT_EQ(k.colour[0], 0.5f);
    EXPECT_FLOAT_EQ(k.factor, 2);
    EXPECT_FLOAT_EQ(t.keys[1].time[3], 1.0f);

    ASSERT_EQ(tree.BoundingSpheres().size(), 1u);
    EXPECT_EQ(tree.BoundingSpheres()[0].names.name, "sphere1");
    EXPECT_FLOAT_EQ(tree.BoundingSpheres()[0].radius, 4);
    EXPECT_FLOAT_EQ(tree.BoundingSpheres()[0].matrix.m[3][0], 1);

    ASSERT_EQ(tree.Helpers().size(), 1u);
    EXPECT_EQ(tree.Helpers()[0].names.name, "hp_gun");
    EXPECT_FLOAT_EQ(tree.Helpers()[0].position.z, 5);
    EXPECT_TRUE(tree.Helpers()[0].animationTrack.has_value());

    ASSERT_EQ(tree.Lights().size(), 1u);
    EXPECT_EQ(tree.Lights()[0].value, 9u);
    EXPECT_FLOAT_EQ(tree.Lights()[0].colour[1], 0.4f); // kept as floats, not packed

    ASSERT_EQ(tree.Cameras().size(), 1u);
    const CMCameraStruct& cam = tree.Cameras()[0];
    EXPECT_EQ(cam.fourth, "fourth");
    EXPECT_EQ(cam.values[2], 3u);
    EXPECT_EQ(cam.values2[0], 4u);
    EXPECT_FLOAT_EQ(cam.fov, 0.75f);
    EXPECT_FLOAT_EQ(cam.matrix.m[3][2], 1);

    ASSERT_EQ(tree.Shapes().size(), 2u);
    EXPECT_EQ(tree.Shapes()[0].pointCount, 3u);
    EXPECT_FLOAT_EQ(tree.Shapes()[0].points[2].x, 2);
    EXPECT_EQ(tree.Shapes()[0].values[0], 21u);
    EXPECT_EQ(tree.Shapes()[0].values[5], 26u);
    EXPECT_TRUE(tree.Shapes()[1].points.empty());

    // The later top-level root replaces the earlier one.
    ASSERT_TRUE(tree.AnimationRoot().has_value());
    EXPECT_EQ(tree.AnimationRoot()->names.name, "root");
    EXPECT_EQ(tree.AnimationRoot()->values[0], 2u);
    ASSERT_EQ(tree.Tracks().size(), 1u);
}

TEST(CMReader, EmptyStringChunkTakesAnId) {
    CMFileBytes f;
    f.Add(SceneChunk(2));
    f.Marker(CHUNK_STRING_LIST_BEGIN);
    f.Add(ChunkBytes(CHUNK_STRING, 20).Data("a").DataSize(1)); // "a" without its NUL
    f.Add(ChunkBytes(CHUNK_STRING, 20));                       // data_size 0
    f.Add(ChunkBytes(CHUNK_STRING, 20).Data(std::string("named\0tail", 10)));
    f.Marker(CHUNK_STRING_LIST_END);
    f.Marker(CHUNK_END);
    CMTreeClass tree;
    tree.Parse(f.Bytes(), "s.cm");
    EXPECT_EQ(tree.Strings(), (std::vector<std::string>{"a", "", "named"}));
    EXPECT_EQ(tree.SceneName(), "named");
}

TEST(CMReader, ObjectWithoutListsHasNoVertices) {
    CMFileBytes f;
    f.Add(SceneChunk());
    f.Add(GeomObjChunk(1));
    f.Marker(CHUNK_GEOMOBJ_END);
    f.Strings({"", "bare"});
    f.Marker(CHUNK_END_2);
    CMTreeClass tree;
    tree.Parse(f.Bytes(), "b.cm");
    ASSERT_EQ(tree.GeomObjects().size(), 1u);
    EXPECT_EQ(tree.GeomObjects()[0].vertexCount, 0u);
    EXPECT_TRUE(tree.GeomObjects()[0].vertices.empty());
    EXPECT_TRUE(tree.GeomObjects()[0].materials.empty());
}

// A valid frame around one geometry object's member chunks.
std::string WithMember(const ChunkBytes& member) {
    CMFileBytes f;
    f.Add(SceneChunk());
    f.Add(GeomObjChunk(1));
    f.Add(member);
    f.Marker(CHUNK_GEOMOBJ_END);
    f.Strings({"", "obj"});
    f.Marker(CHUNK_END);
    return f.Bytes();
}

std::string ParseError(const std::string& bytes) {
    CMTreeClass tree;
    try {
        tree.Parse(bytes, "bad.cm");
    } catch (const CMFileError& e) {
        return e.what();
    }
    return "(loaded)";
}

TEST(CMReader, RefusesMalformedFilesWithTheirMessages) {
    const std::string noTableAtStart =
        CMFileBytes().Strings({""}).Add(SceneChunk()).Marker(CHUNK_END).Bytes();
    const std::string noTable = CMFileBytes().Add(SceneChunk()).Marker(CHUNK_END).Bytes();
    const std::string noEnd = CMFileBytes().Add(SceneChunk()).Strings({""}).Bytes();
    const std::string badId = CMFileBytes().Add(SceneChunk(7)).Strings({"", "x"}).Marker(CHUNK_END).Bytes();
    const std::string shortHeader =
        CMFileBytes().Add(SceneChunk()).Add(ChunkBytes(0x4242, 8)).Strings({""}).Marker(CHUNK_END).Bytes();
    // The string table comes first where a later chunk would stop its search.
    CMFileBytes shape;
    shape.Add(SceneChunk()).Strings({""}).Marker(CHUNK_SHAPE_LIST_BEGIN);
    shape.Add(ChunkBytes(CHUNK_SHAPE, 108).U32(104, 0)).Add(ChunkBytes(0, 20));
    CMFileBytes track;
    track.Add(SceneChunk()).Strings({""}).Add(ChunkBytes(CHUNK_ANIMATION_TRACK, 44)).Add(ChunkBytes(0, 20));
    CMFileBytes pastEnd;
    pastEnd.Add(SceneChunk())
        .Strings({""})
        .Add(GeomObjChunk(0))
        .Add(test::VertexList({{}}).DataSize(1 << 20));

    const struct {
        const char* what;
        std::string bytes;
        std::string message;
    } cases[] = {
        {"empty file", "", "Zero chunk type in bad.cm"},
        {"table as first chunk", noTableAtStart, "Zero chunk type in bad.cm"},
        {"no table", noTable, "Zero chunk type in bad.cm"},
        {"no end chunk", noEnd, "FileRead(CMFile,pchunk^,HeaderSize)=0"},
        {"string id past the table", badId,
         "CMTreeClass.GetStrByID: str_id>=StringsList.Count in bad.cm, count: 2, id: 7"},
        {"vertex size", WithMember(test::VertexList({{}}, 28)), "pchvlist.vertex_size<>sizeof(D3DVERTEX)"},
        {"uv size", WithMember(ChunkBytes(CHUNK_TEXCOORD_LIST, 32).U32(20, 0).U32(24, 4).U32(28, 1)),
         "pchtclist <> 8 (UV in CMParser)"},
        {"two uv channels", WithMember(ChunkBytes(CHUNK_TEXCOORD_LIST, 32).U32(20, 0).U32(24, 8).U32(28, 2)),
         "pchtclist.chanal <> 1: not supported"},
        {"shape member of type 0", shape.Bytes(), "fff"},
        {"track member of type 0", track.Bytes(), "animation load:     case pchunk.chunk_type of: 0"},
        {"header below 20 bytes", shortHeader,
         "CMTreeClass.LoadFromFile: chunk header size 8 below 20 in bad.cm at offset 60"},
        {"negative vertex count",
         WithMember(
             ChunkBytes(CHUNK_VERTEX_LIST, 28).U32(20, 0xFFFFFFFFu).U32(24, 32).Data(std::string(64, '\0'))),
         "CMTreeClass.LoadFromFile: count 4294967295 does not fit the chunk data (64 bytes) in bad.cm at "
         "offset 212"},
        {"index count beyond data",
         WithMember(ChunkBytes(CHUNK_INDEX_LIST, 28).U32(20, 3).Data(U32s({1, 2}))),
         "CMTreeClass.LoadFromFile: count 3 does not fit the chunk data (8 bytes) in bad.cm at offset 212"},
        {"data past the end", pastEnd.Bytes(),
         "CMTreeClass.LoadFromFile: chunk data past the end of the file in bad.cm at offset 273"},
        {"geometry header too short",
         CMFileBytes().Add(ChunkBytes(CHUNK_GEOMOBJ, 100).U32(20, 0)).Strings({""}).Bytes(),
         "CMTreeClass.LoadFromFile: chunk header too short (type 0x4, 100 bytes) in bad.cm at offset 0"},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseError(c.bytes), c.message) << c.what;
}

// Every prefix of a valid file is refused with a report, never read past its end.
TEST(CMReader, EveryTruncationIsRefused) {
    const std::string full = FullModel();
    for (size_t n = 0; n < full.size(); ++n) {
        CMTreeClass tree;
        EXPECT_THROW(tree.Parse(std::string_view(full).substr(0, n), "cut.cm"), CMFileError) << n;
    }
}

TEST(CMReader, LoadFaultIsAFatalReport) {
    ErrorTrap trap;
    CMTreeClass tree;
    EXPECT_THROW(tree.LoadFromMemory("", "empty.cm"), Halted);
    EXPECT_EQ(trap.lastFatal, "Zero chunk type in empty.cm");
    ASSERT_FALSE(trap.reports.empty());
    EXPECT_EQ(trap.reports.back().flags, "mhl");
}

// The reader's messages that do not name the file get its name: a fatal
// report must say which model is broken.
TEST(CMReader, LoadFaultsNameTheirFile) {
    const std::string noEnd = CMFileBytes().Add(SceneChunk()).Strings({""}).Bytes();
    CMFileBytes shape;
    shape.Add(SceneChunk()).Strings({""}).Marker(CHUNK_SHAPE_LIST_BEGIN);
    shape.Add(ChunkBytes(CHUNK_SHAPE, 108).U32(104, 0)).Add(ChunkBytes(0, 20));
    const struct {
        std::string bytes, fatal;
    } cases[] = {
        {noEnd, "FileRead(CMFile,pchunk^,HeaderSize)=0 (file: data/models/m.cm)"},
        {shape.Bytes(), "fff (file: data/models/m.cm)"},
        {"", "Zero chunk type in data/models/m.cm"},
    };
    for (const auto& c : cases) {
        ErrorTrap trap;
        CMTreeClass tree;
        EXPECT_THROW(tree.LoadFromMemory(c.bytes, "data/models/m.cm"), Halted);
        EXPECT_EQ(trap.lastFatal, c.fatal);
    }
}

TEST(CMReader, FileNamesAreCompletedAndResolved) {
    ErrorTrap trap;
    TempDir dir;
    CMSceneClass scene("s");
    const std::string bytes = scene.ToBytes();
    ASSERT_TRUE(platform::WriteFile(dir / "Ship.cm", bytes));
    ASSERT_TRUE(platform::WriteFile(dir / "ship.cma", bytes));

    const struct {
        std::string name, loaded;
    } cases[] = {
        {dir / "ship", dir / "ship.cm"},      // ".cm" appended
        {dir / "ship.cma", dir / "ship.cma"}, // already holds ".cm"
        {dir / "SHIP.CM", dir / "SHIP.CM"},   // any letter case
        {dir / "models\\..\\ship", dir / "models/../ship.cm"},
    };
    for (const auto& c : cases) {
        CMTreeClass tree;
        if (c.name.find("models") != std::string::npos) {
            ASSERT_TRUE(platform::CreateFolders(dir / "models"));
        }
        tree.LoadFromFile(c.name);
        EXPECT_EQ(tree.GetFileName(), c.loaded);
        EXPECT_EQ(tree.SceneName(), "s") << c.name;
        EXPECT_EQ(tree.GetFileDate(), static_cast<uint32_t>(platform::FileTime(c.loaded)));
    }
    EXPECT_TRUE(trap.reports.empty());

    CMTreeClass missing;
    EXPECT_THROW(missing.LoadFromFile(dir / "none"), Halted);
    EXPECT_EQ(trap.lastFatal, "CMTreeClass.LoadFromFile: File not found: " + platform::CurrentFolder() + "/" +
                                  (dir / "none.cm"));
}

TEST(CMReader, SixteenMaterialsAreWarnedInTheErrorLog) {
    TempDir dir;
    const bool wasEnabled = LogEnabled;
    const std::string folder = LogFolder();
    LogEnabled = true;
    SetLogFolder(dir.path());
    for (int count : {15, 16}) {
        CMFileBytes f;
        f.Add(SceneChunk());
        f.Add(GeomObjChunk(1));
        for (int i = 0; i < count; ++i) {
            f.Add(Material(0));
            f.Add(IndexList({0, 0, 0}));
            f.Marker(CHUNK_MATERIAL_END);
        }
        f.Marker(CHUNK_GEOMOBJ_END).Strings({"", "obj" + std::to_string(count)}).Marker(CHUNK_END);
        CMTreeClass tree;
        tree.LoadFromMemory(f.Bytes(), "m.cm");
        EXPECT_EQ(tree.GeomObjects()[0].materials.size(), static_cast<size_t>(count));
    }
    std::string log;
    platform::ReadFile(dir / kErrLogFileName, log);
    LogEnabled = wasEnabled;
    SetLogFolder(folder);
    EXPECT_NE(log.find("CMParser warning: m.cm, obj16: materials count=16"), std::string::npos) << log;
    EXPECT_EQ(log.find("obj15"), std::string::npos);
}

} // namespace
} // namespace vesk
