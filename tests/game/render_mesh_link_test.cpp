// The render engine reads the flares of a mesh description in the game-object
// tree, and writes a flare's texture id back.
#include "game/render_mesh_link.h"
#include "game_tree_fixture.h"
#include "render/world_links.h"

namespace vesk::test {
namespace {

class RenderMeshLink : public GameTreeTest {
protected:
    void SetUp() override {
        GameTreeTest::SetUp();
        InstallRenderMeshLink();
        Run("engine_AddVar('', 'meshes', 'TBaseGameObjectList')");
        Run("engine_AddVar('meshes', 'beacon', 'TBaseGameObjectList')");
        Run("engine_AddVar('meshes.beacon', 'flares', 'TBaseGameObjectList')");
        for (const char* flare : {"top", "side"}) {
            const std::string at = std::string("meshes.beacon.flares.") + flare;
            Run("engine_AddVar('meshes.beacon.flares', '" + std::string(flare) + "', 'TBaseGameObjectList')");
            for (const char* s : {"max_point_name", "texture", "texture_interface", "animation"})
                Run("engine_AddVar('" + at + "', '" + s + "', 'TGameObjectStringParam')");
            for (const char* f : {"phase", "dynamic", "frequency", "size"})
                Run("engine_AddVar('" + at + "', '" + f + "', 'TGameObjectStringParam')");
        }
        Run("engine_SetVar('meshes.beacon.flares.top.max_point_name', 'lamp01') "
            "engine_SetVar('meshes.beacon.flares.top.animation', 'SINUS') "
            "engine_SetVar('meshes.beacon.flares.top.phase', '0.5') "
            "engine_SetVar('meshes.beacon.flares.top.size', '3') "
            "engine_SetVar('meshes.beacon.flares.side.max_point_name', 'lamp02') "
            "engine_SetVar('meshes.beacon.flares.side.texture', 'fx/flare')");
    }
    void TearDown() override {
        GetRenderWorldLinks() = RenderWorldLinks{};
        GameTreeTest::TearDown();
    }
};

TEST_F(RenderMeshLink, FlaresInListOrderAndTheTextureIdWrittenBack) {
    const RenderWorldLinks& links = GetRenderWorldLinks();
    std::vector<MeshFlareRecord> flares;
    ASSERT_TRUE(links.meshFlares("meshes.beacon", flares));
    ASSERT_EQ(flares.size(), 2u);
    EXPECT_EQ(flares[0].maxPointName, "lamp01");
    EXPECT_EQ(flares[0].animation, "SINUS");
    EXPECT_EQ(flares[0].phase, 0.5f);
    EXPECT_EQ(flares[0].size, 3.0f);
    EXPECT_EQ(flares[1].texture, "fx/flare");
    EXPECT_EQ(flares[1].frequency, 0.0f);
    links.setFlareTexture("meshes.beacon", 1, "1234");
    EXPECT_EQ(Eval("engine_GetVar('meshes.beacon.flares.side.texture_interface')"), "1234");
    // No such description: none, and nothing written.
    std::vector<MeshFlareRecord> none;
    EXPECT_FALSE(links.meshFlares("meshes.hawk", none));
    links.setFlareTexture("meshes.hawk", 0, "1");
}

} // namespace
} // namespace vesk::test
