// A ship drawn by the real GL device: built by the ship builder from its model
// file and description, a gun and a wing hung on its attach points, seen from
// above in the engine's frame. Each part shows its own texture's colour where
// the camera sees it, over the clear colour; far away the ship draws its
// coarsest level.
#include "contentgen/mesh.h"
#include "core/lua_machine.h"
#include "core/lua_readers.h"
#include "core/paths.h"
#include "core/var_list.h"
#include "physics/cm_render_link.h"
#include "physics/cm_tree_manager.h"
#include "platform/files.h"
#include "platform/gl/gl_fixture.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/helpers.h"
#include "render/managers.h"
#include "render/render_object.h"
#include "render/texture.h"
#include "render/vertex_buffers.h"
#include "render/view_camera.h"
#include "render/world_links.h"
#include "shared/math.h"
#include "support/error_trap.h"
#include "support/image_files.h"
#include "support/ship_mesh_source.h"
#include "world/game_ops.h"
#include "world/guns.h"
#include "world/mesh_source.h"
#include "world/ship.h"
#include "world/wing.h"

#include <gtest/gtest.h>

#include <map>

namespace vesk::test {
namespace {

using namespace platform;
using contentgen::Box;
using contentgen::ModelFile;
using gltest::H;
using gltest::W;

// Every part shows its texture as it is (technique 20), unlit.
constexpr const char* kContent = R"(
local function flat(id, texture)
  return { id = id, texture_technique = 20, diffuse_color = 'FFFFFF', specular_color = '0',
           ambient_color = 'FFFFFF', emissive_color = '0', power = 1,
           diffuse_map = { name = texture, mipbias = 0, mipfilter = 0, magfilter = 1, minfilter = 1 } }
end
materials = { checker = flat('0', 'hull'), hull = flat('1', 'hull'), gun = flat('2', 'gun'),
              fin = flat('3', 'fin') }
mesh = {} gunmodel = {} ini = {}
function length(t) if t == nil then return 0 end local n = 0 for _ in pairs(t) do n = n + 1 end return n end
)";

class ShipGL : public gltest::GfxGL {
protected:
    void SetUp() override {
        GfxGL::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        DataPath = dir_.path() + "/";
        TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        LiveObjects = std::make_unique<LiveObjectRegistryClass>();
        Device = dev_;
        ResetDeviceStateCache();
        BuffersManager = std::make_unique<BuffersManagerClass>();
        RE_CreateTextureManager();
        UpdaterManager = TEngineObject::New<UpdaterManagerClass>();
        InitVarLists();
        CreateLuaMachine();
        LuaMachine->RunString(kContent);
        CMTreeManager = std::make_unique<CMTreeManagerClass>();
        InstallCMRenderObjectBuilder();
        InstallWorldGameOps();
        RegisterShipPartClasses();
        SetShipMeshSource(&source_);
        engine_ = TBaseRenderUnit::Create<TEngineClass>(nullptr);
        Device->GetRenderTarget(0, engine_->GetD3DRoutine()->DeviceRenderTargetSurface.Put());
        engine_->CreateDrawObjects();
        env_ = TBaseRenderUnit::Create<EnvironmentStandInClass>(engine_);
        engine_->AddChild(env_);
        GetRenderWorldLinks().environment = [this]() -> TBaseRenderUnit* { return env_; };
        GetRenderWorldLinks().environmentSet = [this]() -> const EnvironmentSet* { return &set_; };
        // Red hull, green gun, blue fin.
        platform::CreateFolders(DataPath + "TEXTURES");
        for (const auto& [name, colour] :
             {std::pair{"hull", 0xFFFF0000u}, {"gun", 0xFF00FF00u}, {"fin", 0xFF0000FFu}})
            platform::WriteFile(DataPath + "TEXTURES/" + name + ".bmp", FlatBmp(8, 8, colour));
        WriteModels();
        camera_ = std::make_shared<BasicViewCamera>();
        // From above, looking down with the nose up the screen.
        camera_->SetPose({0, 0, 30}, {0, 0, -1}, {1, 0, 0});
        engine_->Viewports().SetViewportCamera(engine_->EngineViewportId(), camera_);
    }
    void TearDown() override {
        if (!engine_) return;
        engine_->DiscardBRU();
        engine_->Free();
        TEODestroyManager->Flush();
        CMTreeManager.reset();
        SetCMRenderObjectBuilder(nullptr);
        SetCMRenderObjectReleaser(nullptr);
        SetModelTreeProvider(nullptr);
        SetShipMeshSource(nullptr);
        SetGameOpsMaker(nullptr);
        FreeLuaMachine();
        FreeAllVarLists();
        TEODestroyManager.reset();
        GetRenderWorldLinks() = RenderWorldLinks{};
        UpdaterManager->Free();
        UpdaterManager = nullptr;
        RE_FreeTextureManager();
        ClearCachedTextures();
        BuffersManager.reset();
        LiveObjects.reset();
        Device = nullptr;
        DataPath.clear();
    }
    void WriteModels() {
        const std::string folder = dir_.path() + "/models";
        platform::CreateFolders(folder);
        ModelFile ship("ship");
        ship.AddObject("base", Box({-10, -5, -2}, {10, 5, 2}, "hull"));
        ship.AddObject("base_lod_8", Box({-10, -5, -2}, {0, 5, 2}, "hull"));
        ship.AddObject("lowpoly", Box({-10, -5, -2}, {10, 5, 2}, "hull"));
        ship.AddHelper("gun01", {5, 5, 0});
        ship.AddHelper("wing_l", {-2, -5, 0});
        platform::WriteFile(folder + "/ship.cm", ship.Bytes());
        ModelFile gun("gun");
        gun.AddObject("cannon", Box({0, -1, -0.5f}, {8, 1, 0.5f}, "gun"));
        platform::WriteFile(folder + "/gun.cm", gun.Bytes());
        ModelFile wing("wing");
        wing.AddObject("base", Box({-4, -2, -1}, {2, 2, 1}, "fin"));
        platform::WriteFile(folder + "/wing.cm", wing.Bytes());
        source_.meshes["ship"] = {folder, "ship", "", "", {}, {}, {}, {}};
        source_.meshes["wing"] = {folder, "wing", "", "", {}, {}, {}, {}};
        LuaMachine->RunString("mesh.gun = { path = " + LuaQuote(folder) +
                              " } gunmodel.gun = { mesh = 'gun' }");
    }
    void DrawFrame() {
        engine_->RE_BeginScene();
        engine_->UpdateMatrices(nullptr);
        engine_->RenderFrame();
        engine_->RE_EndScene();
        frame_ = Frame();
        engine_->Present();
        RenderFrameCounter.NextFrame();
        TEODestroyManager->Flush();
    }
    gltest::Bgra AtWorld(Vec3 p) {
        const Vec3 s = Vec3Project(p, {0, 0, float(W), float(H), 0, 1}, camera_->GetProjMatrix(),
                                   camera_->GetViewMatrix(), Matrix{});
        return Pixel(frame_, int(s.x), int(s.y));
    }

    TEngineClass* engine_ = nullptr;
    EnvironmentStandInClass* env_ = nullptr;
    std::shared_ptr<BasicViewCamera> camera_;
    EnvironmentSet set_;
    MapShipMeshSource source_;
    std::vector<uint8_t> frame_;
    TempDir dir_;
    ErrorTrap trap_;
};

TEST_F(ShipGL, TheShipAndThePartsOnItsAttachPointsShowWhereTheCameraSeesThem) {
    auto* ship = TBaseRenderUnit::Create<ShipClass>(engine_);
    engine_->AddChild(ship);
    ship->Build("ship", "ship", nullptr);
    // A gun on its gun point, a wing on its wing point.
    HelperClass* gunPoint = nullptr;
    HelperClass* wingPoint = nullptr;
    ASSERT_TRUE(ship->FindHelper("gun01", gunPoint));
    ASSERT_TRUE(ship->FindHelper("wing_l", wingPoint));
    auto* gun = TBaseRenderUnit::Create<CannonClass>(nullptr);
    ASSERT_TRUE(gun->LoadFromFile("gun", ""));
    gunPoint->Attach(gun);
    auto* wing = TBaseRenderUnit::Create<WingClass>(nullptr);
    ASSERT_TRUE(wing->LoadFromFile("wing", "wing"));
    wingPoint->Attach(wing);
    DrawFrame();
    ASSERT_TRUE(trap_.reports.empty()) << trap_.reports.front().text;
    // The near ship draws its full level: the hull right across its length.
    const gltest::Bgra hull = AtWorld({7, 0, 2}), hullBack = AtWorld({-7, 0, 2});
    EXPECT_GT(hull.r, 200);
    EXPECT_LT(hull.g + hull.b, 60);
    EXPECT_GT(hullBack.r, 200);
    // The gun sticks out beyond the nose on the right, the wing below the hull's side.
    const gltest::Bgra barrel = AtWorld({12, 5, 0.5f}), fin = AtWorld({-2, -6.5f, 1});
    EXPECT_GT(barrel.g, 200);
    EXPECT_LT(barrel.r + barrel.b, 60);
    EXPECT_GT(fin.b, 200);
    EXPECT_LT(fin.r + fin.g, 60);
    // Beside the ship only the clear colour.
    const gltest::Bgra empty = AtWorld({0, 12, 0});
    EXPECT_LT(empty.r, 40);
    EXPECT_LT(empty.g, 40);
    EXPECT_LT(empty.b, 60);
    EXPECT_EQ(ship->LastDrawnLevel()->GetName(), "base");

    // Farther away the coarsest level, which lacks the front half.
    camera_->SetPose({0, 0, 100}, {0, 0, -1}, {1, 0, 0});
    DrawFrame();
    EXPECT_EQ(ship->LastDrawnLevel()->GetName(), "base_lod_8");
    EXPECT_GT(AtWorld({-7, 0, 2}).r, 200);
    EXPECT_LT(AtWorld({7, 0, 2}).r, 60);
}

} // namespace
} // namespace vesk::test
