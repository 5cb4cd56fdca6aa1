// Every asset the content generator writes goes through the engine's own
// readers without a report: models into model trees and render objects,
// textures through the texture manager, sounds through the sound reader, the
// dialog through the dialog engine and the string tables into Lua.
#include <gtest/gtest.h>

#include "core/lua_machine.h"
#include "core/paths.h"
#include "core/string_tables.h"
#include "game/dialogs.h"
#include "physics/cm_render_link.h"
#include "platform/files.h"
#include "platform/image_codecs.h"
#include "platform/text.h"
#include "render/null_device_scope.h"
#include "render/render_object.h"
#include "render/texture.h"
#include "render/vertex_buffers.h"
#include "shared/errors.h"
#include "shared/math.h"
#include "sound/wave_file.h"
#include "support/error_trap.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

namespace vesk {
namespace {

namespace fs = std::filesystem;

// One generated game folder for the whole program.
class GeneratedAssets : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<test::TempDir>();
        const std::string cmd =
            std::string("'") + VESK_BUILD_DIR + "/contentgen' '" + dir_->path() + "' >/dev/null";
        generated_ = std::system(cmd.c_str()) == 0;
    }
    static void TearDownTestSuite() { dir_.reset(); }
    void SetUp() override { ASSERT_TRUE(generated_); }

    static std::string Root() { return dir_->path() + "/"; }
    // Files under a folder of the game folder whose names end in one of the extensions.
    static std::vector<std::string> Files(const std::string& folder, std::set<std::string> extensions) {
        std::vector<std::string> out;
        for (const auto& e : fs::recursive_directory_iterator(Root() + folder))
            if (e.is_regular_file() && extensions.count(e.path().extension().string()))
                out.push_back(fs::relative(e.path(), Root()).string());
        std::sort(out.begin(), out.end());
        return out;
    }
    static std::string Read(const std::string& relative) {
        std::string bytes;
        platform::ReadFile(Root() + relative, bytes);
        return bytes;
    }

    test::ErrorTrap trap;

private:
    static inline std::unique_ptr<test::TempDir> dir_;
    static inline bool generated_ = false;
};

void ExpectNoReports(const test::ErrorTrap& trap, const std::string& what) {
    for (const auto& r : trap.reports) ADD_FAILURE() << what << ": " << r.text;
    for (const auto& b : trap.boxes) ADD_FAILURE() << what << ": " << b.text;
}

// ---- models ------------------------------------------------------------------------------

class GeneratedModels : public GeneratedAssets {
protected:
    void SetUp() override {
        GeneratedAssets::SetUp();
        scope.Init();
        GetErrorHooks().releaseDisplay = nullptr;
        BuffersManager = std::make_unique<BuffersManagerClass>();
        InstallCMRenderObjectBuilder();
        CreateLuaMachine();
        LuaMachine->RunString(
            "function length(t) if t == nil then return 0 end local n = 0 for _ in "
            "pairs(t) do n = n + 1 end return n end\n"
            "materials = { checker = { id = '1', texture_technique = 30, diffuse_color = "
            "'FFFFFF', specular_color = '0', ambient_color = '404040', emissive_color = '0', "
            "power = 0 } }");
    }
    void TearDown() override {
        trees.clear();
        FreeLuaMachine();
        SetCMRenderObjectBuilder(nullptr);
        SetCMRenderObjectReleaser(nullptr);
        BuffersManager.reset();
    }
    CMTreeClass& Load(const std::string& relative) {
        trees.push_back(std::make_unique<CMTreeClass>());
        trees.back()->LoadFromFile(Root() + relative);
        return *trees.back();
    }

    test::NullDeviceScope scope;
    std::vector<std::unique_ptr<CMTreeClass>> trees;
};

// Geometry every object must have: indices inside the vertex list, unit
// normals, the box corners around the vertices, and triangles that face the
// way their vertex normals point.
void CheckGeometry(const std::string& file, const GeomObjStruct& o) {
    const std::string where = file + " " + o.names.name;
    ASSERT_GT(o.vertexCount, 0u) << where;
    ASSERT_FALSE(o.materials.empty()) << where;
    for (uint32_t i : o.indices) ASSERT_LT(i, o.vertexCount) << where;
    size_t materialIndices = 0;
    for (const auto& m : o.materials) materialIndices += m.indices.size();
    EXPECT_EQ(materialIndices, o.indices.size()) << where << ": materials cover every triangle once";
    Vec3 lo = o.vertices[0].position, hi = lo;
    for (const auto& v : o.vertices) {
        EXPECT_NEAR(Vec3Length(v.normal), 1.0f, 1e-3f) << where;
        lo = {std::min(lo.x, v.position.x), std::min(lo.y, v.position.y), std::min(lo.z, v.position.z)};
        hi = {std::max(hi.x, v.position.x), std::max(hi.y, v.position.y), std::max(hi.z, v.position.z)};
    }
    EXPECT_NEAR(Vec3Length(Vec3Sub(lo, o.vectors[1])), 0.0f, 1e-3f) << where;
    EXPECT_NEAR(Vec3Length(Vec3Sub(hi, o.vectors[2])), 0.0f, 1e-3f) << where;
    size_t agree = 0, triangles = 0;
    for (size_t k = 0; k + 2 < o.indices.size(); k += 3) {
        const CMVertex &a = o.vertices[o.indices[k]], &b = o.vertices[o.indices[k + 1]],
                       &c = o.vertices[o.indices[k + 2]];
        const Vec3 face = Vec3Cross(Vec3Sub(b.position, a.position), Vec3Sub(c.position, a.position));
        const Vec3 smooth = Vec3Add(a.normal, Vec3Add(b.normal, c.normal));
        ++triangles;
        if (Vec3Dot(face, smooth) > 0) ++agree;
    }
    // Smoothing can tilt a few sliver triangles; a wrongly wound object fails wholesale.
    EXPECT_GE(agree * 100, triangles * 97) << where << ": " << agree << " of " << triangles;
}

TEST_F(GeneratedModels, EveryModelLoadsWithSoundGeometry) {
    const auto files = Files("models", {".cm", ".cma"});
    ASSERT_GE(files.size(), 16u);
    for (const std::string& f : files) {
        CMTreeClass& tree = Load(f);
        for (const GeomObjStruct& o : tree.GeomObjects()) CheckGeometry(f, o);
        if (f.ends_with(".cm")) {
            EXPECT_FALSE(tree.BoundingSpheres().empty() && tree.GeomObjects().empty()) << f;
        }
    }
    ExpectNoReports(trap, "models");
}

// What the ship builder, the guns, turrets, the environment, locations and
// portals look up by name in each model.
TEST_F(GeneratedModels, ModelsHoldTheNamesTheirLoadersLookUp) {
    const struct {
        const char* file;
        std::vector<const char*> objects;
        std::vector<const char*> helpers;
    } cases[] = {
        {"models/ships/vesk_hawk.cm",
         {"base", "base_lod_30", "base_lod_8", "lowpoly", "shield"},
         {"nozzle01", "nozzle02", "gun01", "gun02", "rocket01", "wing_l", "wing_r", "cockpit", "cam_from"}},
        {"models/ships/raider.cm",
         {"base", "base_lod_30", "base_lod_8", "lowpoly", "shield"},
         {"nozzle01", "nozzle02", "nozzle03", "gun01", "gun02", "cam_from"}},
        {"models/ships/wing_fin.cm", {"base"}, {"nozzle01"}},
        {"models/ships/rocket_hornet.cm", {"base", "lowpoly"}, {"nozzle01"}},
        {"models/ships/hawk_cockpit.cm", {"base"}, {"cam_pos", "cam_dir"}},
        {"models/weapons/laser_gun.cm", {"cannon"}, {"weapon", "weapon_out"}},
        {"models/weapons/plasma_gun.cm", {"cannon"}, {"weapon", "weapon_out", "weapon1", "weapon_out1"}},
        {"models/weapons/rocket_pod.cm", {"cannon"}, {"weapon", "weapon_out"}},
        {"models/weapons/flak_turret.cm",
         {"base", "burel", "cannon"},
         {"weapon", "weapon_out", "weapon1", "weapon_out1"}},
        {"models/space/outpost_kessa.cm",
         {"base", "base_lod_30", "base_lod_8", "lowpoly", "shield", "ring_mount", "mesh:laser_gun01",
          "mesh:laser_gun02"},
         {"dock01", "turret01", "turret04"}},
        {"models/space/outpost_ring.cm", {"base", "base_lod_8"}, {}},
        {"models/space/asteroid_c.cm", {"base", "base_lod_8", "lowpoly"}, {}},
        {"models/space/vesk_env.cm", {"sky:vesk_space", "SUNLIGHT_01_mesh", "vesk_prime", "kessa_moon"}, {}},
        {"models/space/vesk_system.cm",
         {},
         {"location:kessa_outpost", "location:kessa_belt", "mesh:vesk_prime"}},
        {"models/space/kessa_outpost.cm",
         {},
         {"mission:start", "trigger:waypoint01", "gen:raider01", "gen:raider03", "mesh:outpost_kessa",
          "anchor:station_dock"}},
        {"models/space/jump_gate.cm", {"base", "field"}, {"point01", "point02"}},
    };
    for (const auto& c : cases) {
        CMTreeClass& tree = Load(c.file);
        for (const char* name : c.objects) {
            GeomObjStruct* o = nullptr;
            EXPECT_TRUE(tree.GetGeomobject(name, o)) << c.file << ": object " << name;
        }
        for (const char* name : c.helpers) {
            CMHelperStruct* h = nullptr;
            EXPECT_TRUE(tree.GetHelper(name, h)) << c.file << ": helper " << name;
        }
    }
    // The environment's sky is its first "sky:" object, seen from inside; its sun is a light.
    CMTreeClass& env = Load("models/space/vesk_env.cm");
    EXPECT_EQ(env.GeomObjects().front().names.name.rfind("sky:", 0), 0u);
    CMLightStruct* sun = nullptr;
    EXPECT_TRUE(env.GetLight("SUNLIGHT_01", sun));
    // A location's patrol route becomes numbered universal helpers.
    CMTreeClass& loc = Load("models/space/kessa_outpost.cm");
    Vec3 p;
    float r = 0;
    loc.GetUniversalHelper("patrol03", p, r);
    EXPECT_FLOAT_EQ(p.x, 4800);
    // The shield's matrix is the ellipsoid round the ship.
    CMTreeClass& hawk = Load("models/ships/vesk_hawk.cm");
    GeomObjStruct* shield = nullptr;
    ASSERT_TRUE(hawk.GetGeomobject("shield", shield));
    EXPECT_GT(shield->matrix.m[0][0], 15.0f);
    ExpectNoReports(trap, "names");
}

TEST_F(GeneratedModels, ShipsBuildTheirLevelsOfDetailAsRenderObjects) {
    for (const char* file :
         {"models/ships/vesk_hawk.cm", "models/ships/raider.cm", "models/space/outpost_kessa.cm",
          "models/space/asteroid_b.cm", "models/space/outpost_ring.cm"}) {
        CMTreeClass& tree = Load(file);
        const std::vector<LodStruct> levels = tree.GetLODList("base", 0xC0);
        ASSERT_EQ(levels.size(), 3u) << file;
        std::map<std::string, float> distance;
        for (const LodStruct& l : levels) {
            distance[l.name] = l.distance;
            ASSERT_NE(l.renderObject, nullptr) << file << " " << l.name;
            GeomObjStruct* o = nullptr;
            ASSERT_TRUE(tree.GetGeomobject(l.name, o));
            EXPECT_EQ(l.renderObject->MaterialCount(), o->materials.size()) << file << " " << l.name;
            EXPECT_EQ(l.renderObject->VertexTotal(), o->vertexCount);
        }
        EXPECT_EQ(distance["base"], 100.0f);
        EXPECT_EQ(distance["base_lod_30"], 30.0f);
        EXPECT_EQ(distance["base_lod_8"], 8.0f);
        // Coarser levels carry fewer triangles.
        GeomObjStruct *full = nullptr, *low = nullptr;
        tree.GetGeomobject("base", full);
        tree.GetGeomobject("base_lod_8", low);
        EXPECT_LT(low->indexCount * 2, full->indexCount) << file;
    }
    ExpectNoReports(trap, "levels of detail");
}

TEST_F(GeneratedModels, AnimationFileOpensAndClosesTheGate) {
    CMTreeClass& anim = Load("models/space/jump_gate.cma");
    ASSERT_TRUE(anim.AnimationRoot().has_value());
    CMAnimationTrackStruct* track = nullptr;
    ASSERT_TRUE(anim.GetAnimationTrack("base", track));
    ASSERT_GE(track->keyCount, 3u);
    EXPECT_EQ(track->endFrame - track->startFrame, 120.0f);
    // Closed at both ends, full size in the middle.
    const auto scaleOf = [](const CMAnimationKey& k) {
        return Vec3Length({k.matrix.m[0][0], k.matrix.m[0][1], k.matrix.m[0][2]});
    };
    EXPECT_LT(scaleOf(track->keys.front()), 0.05f);
    EXPECT_NEAR(scaleOf(track->keys[track->keys.size() / 2]), 1.0f, 1e-4f);
    EXPECT_LT(scaleOf(track->keys.back()), 0.05f);
    ExpectNoReports(trap, "animation");
}

// ---- textures ----------------------------------------------------------------------------

class GeneratedTextures : public GeneratedAssets {
protected:
    void SetUp() override {
        GeneratedAssets::SetUp();
        scope.Init();
        GetErrorHooks().releaseDisplay = nullptr;
        DataPath = Root();
        RE_CreateTextureManager();
    }
    void TearDown() override {
        RE_FreeTextureManager();
        DataPath.clear();
    }
    test::NullDeviceScope scope;
};

TEST_F(GeneratedTextures, EveryPictureLoadsThroughTheTextureManager) {
    const auto files = Files("TEXTURES", {".dds", ".tga", ".bmp", ".jpg"});
    ASSERT_GE(files.size(), 30u);
    for (const std::string& f : files) {
        const std::string name = f.substr(std::string("TEXTURES/").size());
        TextureRef t = TextureManager->GetTexture(name, platform::D3DFMT_UNKNOWN, true);
        ASSERT_TRUE(t) << f;
        EXPECT_EQ(platform::UpperCaseCp1251(t->GetFullName()), platform::UpperCaseCp1251(Root() + f)) << f;
        const auto desc = t->GetImageInfo();
        EXPECT_GT(desc.Width, 0u) << f;
        // Decoded, the picture is not one flat colour (the checker is two).
        const std::string bytes = Read(f);
        platform::DecodedImage img;
        ASSERT_TRUE(
            platform::DecodeImageFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), img))
            << f;
        const std::vector<uint8_t> bgra = platform::LevelToBgra(img.format, img.levels[0].data(),
                                                                img.levels[0].size(), img.width, img.height);
        ASSERT_FALSE(bgra.empty()) << f;
        std::set<uint32_t> colours;
        for (size_t i = 0; i + 3 < bgra.size() && colours.size() < 3; i += 4)
            colours.insert(uint32_t(bgra[i]) | uint32_t(bgra[i + 1]) << 8 | uint32_t(bgra[i + 2]) << 16 |
                           uint32_t(bgra[i + 3]) << 24);
        EXPECT_GE(colours.size(), 2u) << f;
    }
    ExpectNoReports(trap, "textures");
}

TEST_F(GeneratedTextures, FormatsAndMipChainsAreWhatTheMaterialsExpect) {
    using platform::D3DFMT_UNKNOWN;
    using platform::D3DFMT_X8R8G8B8;
    const struct {
        const char* name;
        platform::D3DFORMAT asked, format;
    } cases[] = {
        {"ships/hawk_hull", D3DFMT_X8R8G8B8, platform::D3DFMT_DXT1}, // a bare name finds the DDS file
        {"sky/starfield", D3DFMT_X8R8G8B8, platform::D3DFMT_DXT1},
        {"planets/clouds", D3DFMT_UNKNOWN, platform::D3DFMT_DXT5},
        {"fx/shield", D3DFMT_UNKNOWN, platform::D3DFMT_DXT5},
        {"fx/engine_glow.tga", D3DFMT_UNKNOWN, platform::D3DFMT_A8R8G8B8}, // keeps its alpha
        {"asteroids/rock", D3DFMT_X8R8G8B8, platform::D3DFMT_DXT1},        // an opaque JPG is compressed
        {"station/solar_panel", D3DFMT_X8R8G8B8, platform::D3DFMT_DXT1},   // so is a BMP
    };
    for (const auto& c : cases) {
        TextureRef t = TextureManager->GetTexture(c.name, c.asked, true);
        EXPECT_EQ(t->GetImageInfo().Format, c.format) << c.name;
    }
    // DDS files carry every level down to 1 x 1.
    const std::string dds = Read("TEXTURES/sky/starfield.dds");
    platform::D3DXIMAGE_INFO info;
    ASSERT_TRUE(platform::ReadImageInfo(reinterpret_cast<const uint8_t*>(dds.data()), dds.size(), info));
    EXPECT_EQ(info.Width, 2048u);
    EXPECT_EQ(info.MipLevels, 12u);
    // The fallback texture exists where the manager looks for it.
    EXPECT_TRUE(platform::FileExists(Root() + "Textures/general\\checker.bmp"));
    ExpectNoReports(trap, "formats");
}

// ---- sounds ------------------------------------------------------------------------------

TEST_F(GeneratedAssets, EverySoundReadsToItsEndUnderItsWaveName) {
    const struct {
        const char* name;
        bool ogg;
        int channels, rate, bits;
        uint32_t ms;
    } cases[] = {
        {"sounds/engine_hum.wav", false, 1, 22050, 16, 2000},
        {"sounds/laser_shot.wav", false, 1, 22050, 16, 350},
        {"sounds/plasma_shot.wav", false, 1, 22050, 16, 450},
        {"sounds/rocket_launch.wav", false, 1, 22050, 16, 1200},
        {"sounds/explosion_small.wav", false, 1, 22050, 16, 1000},
        {"sounds/explosion_big.wav", true, 2, 22050, 16, 2500},
        {"sounds/shield_hit.wav", false, 1, 22050, 16, 500},
        {"sounds/hull_hit.wav", false, 1, 22050, 16, 300},
        {"sounds/interface/click.wav", false, 1, 22050, 16, 50},
        {"sounds/interface/beep.wav", false, 1, 11025, 8, 150},
        {"sounds/ambience/space_drone.wav", true, 1, 22050, 16, 12000},
        {"sounds/music/vesk_theme.wav", true, 2, 22050, 16, 30000},
    };
    size_t total = 0;
    for (const auto& c : cases) {
        TWaveFile3 f;
        ASSERT_TRUE(f.Open(Root() + c.name)) << c.name;
        EXPECT_EQ(f.IsOgg(), c.ogg) << c.name;
        EXPECT_EQ(f.GetFormat().nChannels, c.channels) << c.name;
        EXPECT_EQ(f.GetFormat().nSamplesPerSec, static_cast<uint32_t>(c.rate)) << c.name;
        EXPECT_EQ(f.GetFormat().wBitsPerSample, c.bits) << c.name;
        EXPECT_NEAR(f.GetDurationMs(), c.ms, 2) << c.name;
        std::vector<uint8_t> pcm(f.GetDataSize() + 4096);
        const uint32_t got = f.Read(pcm.data(), static_cast<uint32_t>(pcm.size()));
        EXPECT_EQ(got, f.GetDataSize()) << c.name;
        // Loud enough to hear: the mean distance from silence.
        double level = 0;
        if (c.bits == 8)
            for (uint32_t i = 0; i < got; ++i) level += std::abs(int(pcm[i]) - 128) / 128.0;
        else
            for (uint32_t i = 0; i + 1 < got; i += 2)
                level += std::abs(int16_t(pcm[i] | pcm[i + 1] << 8)) / 32768.0;
        EXPECT_GT(level / (got / (c.bits / 8)), 0.02) << c.name;
        total +=
            Read(std::string(c.name).substr(0, std::strlen(c.name) - 3) + (c.ogg ? "ogg" : "wav")).size();
    }
    // Every sound the generator writes is in the table above.
    EXPECT_EQ(Files("sounds", {".wav", ".ogg"}).size(), std::size(cases));
    EXPECT_LT(total, 1024u * 1024u);
    ExpectNoReports(trap, "sounds");
}

TEST_F(GeneratedAssets, OggStreamsCarryTheFixedSerialNumber) {
    for (const std::string& f : Files("sounds", {".ogg"})) {
        const std::string bytes = Read(f);
        ASSERT_GT(bytes.size(), 28u) << f;
        ASSERT_EQ(bytes.substr(0, 4), "OggS") << f;
        // Every page of the stream has the serial at byte 14 of its header.
        for (size_t at = bytes.find("OggS"); at != std::string::npos; at = bytes.find("OggS", at + 4)) {
            uint32_t serial = 0;
            std::memcpy(&serial, bytes.data() + at + 14, 4);
            EXPECT_EQ(serial, 0x56534B41u) << f << " page at " << at;
        }
    }
}

TEST_F(GeneratedAssets, TheWholeSetStaysSmall) {
    uintmax_t total = 0;
    for (const auto& e : fs::recursive_directory_iterator(Root()))
        if (e.is_regular_file()) total += e.file_size();
    EXPECT_LT(total, 5u * 1024u * 1024u);
}

// ---- the dialog --------------------------------------------------------------------------

class GeneratedDialog : public GeneratedAssets {
protected:
    void SetUp() override {
        GeneratedAssets::SetUp();
        CreateLuaMachine();
        RegisterDialogFunctions();
        CreateGameDialog(Root() + "Dialogs/");
        LuaMachine->RunString(
            "function getPersFace(a, b) return 'Mira Osk^portrait_dispatcher^Traffic control^' end "
            "function DialogVar(n) return 'Tal' end");
    }
    void TearDown() override {
        FreeGameDialog();
        FreeLuaMachine();
    }
    std::string Global(const char* name) {
        lua_State* L = LuaMachine->State();
        lua_getglobal(L, name);
        std::string v = lua_isstring(L, -1) ? lua_tostring(L, -1) : "";
        lua_pop(L, 1);
        return v;
    }
    TGameDialog& D() { return *GameDialog; }
};

TEST_F(GeneratedDialog, PlaysBeforeAndAfterTheRaidersAreBeaten) {
    ASSERT_EQ(D().LoadDialog("kessa_dispatch.dlg", "kessa", "dispatcher"), 0);
    EXPECT_EQ(D().Name(), "KESSA_DISPATCH");
    EXPECT_EQ(D().State().npc.name, "Mira Osk");
    EXPECT_EQ(D().State().npc.head, "portrait_dispatcher");
    EXPECT_EQ(D().State().cue, "Pilot Tal, this is Kessa traffic. Raiders are still working the belt.");
    ASSERT_EQ(D().State().answerCount, 2);
    EXPECT_EQ(Global("kessaLastCall"), "1"); // the level's script took its library source
    // Asking about the raiders leads into the nested line.
    D().ChooseAnswer(1);
    EXPECT_EQ(D().State().cue.rfind("Three light raiders", 0), 0u);

    // With the raiders beaten the greeting comes from the phrase file and the
    // answers file adds its offers.
    LuaMachine->RunString("raidersDestroyed = 3");
    ASSERT_EQ(D().LoadDialog("kessa_dispatch.dlg", "kessa", "dispatcher"), 0);
    const std::set<std::string> greetings = {"Kessa traffic. Go ahead, pilot.",
                                             "Outpost Kessa here. We read you.",
                                             "Kessa control, listening. Good flying out there."};
    EXPECT_TRUE(greetings.count(D().State().cue)) << D().State().cue;
    ASSERT_EQ(D().State().answerCount, 3);
    EXPECT_EQ(D().State().answerText[1], "Requesting docking clearance.");
    EXPECT_EQ(D().State().answerType[1], "DOCK");
    // The report answer draws the station's reaction of that type.
    EXPECT_TRUE(D().ChooseAnswer(0));
    EXPECT_EQ(D().State().cue, "Confirmed on our scopes. The outpost owes you one, pilot.");
    EXPECT_EQ(Global("kessaThanked"), "1");

    // Signing off jumps to the closing line, whose script reads its source file.
    ASSERT_EQ(D().LoadDialog("kessa_dispatch.dlg", "kessa", "dispatcher"), 0);
    ASSERT_EQ(D().State().answerCount, 4); // the thanked pilot is offered repairs too
    EXPECT_EQ(D().State().answerText[2], "Requesting repairs and a berth.");
    D().ChooseAnswer(3);
    EXPECT_EQ(D().State().cue, "Kessa traffic out. Fly safe, pilot.");
    EXPECT_EQ(Global("kessaDialogs"), "1");
    EXPECT_EQ(Global("kessaDialogEnded"), "1");
    ExpectNoReports(trap, "dialog");
}

// ---- string tables -----------------------------------------------------------------------

TEST_F(GeneratedAssets, StringTablesLoadInBothLanguagesWithTheSameIds) {
    CreateLuaMachine();
    std::map<std::string, std::map<int, std::u16string>> loaded;
    for (const char* language : {"en", "ru"}) {
        LuaMachine->RunString("strings = {}");
        ParseRefFiles(Root() + "data/strings", language);
        lua_State* L = LuaMachine->State();
        lua_getglobal(L, "strings");
        lua_pushnil(L);
        while (lua_next(L, -2)) {
            loaded[language][static_cast<int>(lua_tonumber(L, -2))] = HexStr2WideString(lua_tostring(L, -1));
            lua_pop(L, 1);
        }
        lua_pop(L, 1);
    }
    FreeLuaMachine();
    ASSERT_GE(loaded["en"].size(), 25u);
    ASSERT_EQ(loaded["en"].size(), loaded["ru"].size());
    for (const auto& [id, text] : loaded["en"]) {
        EXPECT_TRUE(loaded["ru"].count(id)) << id;
        EXPECT_FALSE(text.empty()) << id;
    }
    // The comment after "//" is dropped; Cyrillic arrives as UTF-16.
    EXPECT_EQ(loaded["en"][100], u"Vesk Annals");
    EXPECT_EQ(loaded["ru"][105], u"\u0412\u044B\u0445\u043E\u0434");
    ExpectNoReports(trap, "string tables");
}

} // namespace
} // namespace vesk
