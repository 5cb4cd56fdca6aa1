// The render demo drawn by the real GL device: the demo script's tables and
// camera functions, the generated beacon model with its material and texture
// in the engine's frame, and a character's head in an interface viewport.
#include "core/lua_machine.h"
#include "core/paths.h"
#include "physics/cm_render_link.h"
#include "physics/cm_tree_manager.h"
#include "physics/render_camera_link.h"
#include "platform/gl/gl_fixture.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/mesh.h"
#include "render/morphed_obj.h"
#include "render/multirole.h"
#include "render/render_script.h"
#include "render/texture.h"
#include "render/view_camera.h"
#include "render/world_links.h"
#include "shared/math.h"
#include "support/error_trap.h"

#include <filesystem>

namespace vesk::test {
namespace {

using namespace platform;
using gltest::H;
using gltest::W;

namespace fs = std::filesystem;

struct Rgb {
    int r, g, b;
};

#define EXPECT_RGB(px, R, G, B)                                                                              \
    do {                                                                                                     \
        const Rgb p_ = (px);                                                                                 \
        EXPECT_NEAR(p_.r, (R), 3);                                                                           \
        EXPECT_NEAR(p_.g, (G), 3);                                                                           \
        EXPECT_NEAR(p_.b, (B), 3);                                                                           \
    } while (0)

class RenderDemoGL : public gltest::GfxGL {
protected:
    void SetUp() override {
        GfxGL::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        home_ = fs::current_path();
        fs::current_path(std::string(VESK_BUILD_DIR) + "/game");
        DataPath = "";
        TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        LiveObjects = std::make_unique<LiveObjectRegistryClass>();
        Device = dev_;
        ResetDeviceStateCache();
        BuffersManager = std::make_unique<BuffersManagerClass>();
        RE_CreateTextureManager();
        CMTreeManager = std::make_unique<CMTreeManagerClass>();
        InstallCMRenderObjectBuilder();
        UpdaterManager = TEngineObject::New<UpdaterManagerClass>();
        // The game's camera, steered by the scripts' camera functions.
        InstallScriptCamera(InstallSceneCamera());
        InstallRenderScriptFunctions();
        engine_ = TBaseRenderUnit::Create<TEngineClass>(nullptr);
        Device->GetRenderTarget(0, engine_->GetD3DRoutine()->DeviceRenderTargetSurface.Put());
        engine_->CreateDrawObjects();
        env_ = TBaseRenderUnit::Create<EnvironmentStandInClass>(engine_);
        engine_->AddChild(env_);
        GetRenderWorldLinks().environment = [this]() -> TBaseRenderUnit* { return env_; };
        // The demo script as the game runs it: its parts run at once here.
        CreateLuaMachine();
        LuaMachine->RunString("ini = {} materials = {} mesh = {} demo = { OnInit = function(name, f) f() end, "
                              "OnTick = function() end, trace = function(t) lastTrace = t end }");
        LuaMachine->LuaDoFile("Scripts/demo/render.lua");
    }
    void TearDown() override {
        if (!engine_) return;
        FreeLuaMachine();
        engine_->DiscardBRU();
        engine_->Free();
        TEODestroyManager->Flush();
        TEODestroyManager.reset();
        GetRenderWorldLinks() = RenderWorldLinks{};
        InstallScriptCamera(nullptr);
        SetDefaultViewCamera(nullptr);
        CMTreeManager.reset();
        SetCMRenderObjectBuilder(nullptr);
        SetCMRenderObjectReleaser(nullptr);
        SetModelTreeProvider(nullptr);
        UpdaterManager->Free();
        UpdaterManager = nullptr;
        RE_FreeTextureManager();
        ClearCachedTextures();
        BuffersManager.reset();
        LiveObjects.reset();
        Device = nullptr;
        fs::current_path(home_);
    }
    // One frame of the engine, read back before it is presented.
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
    Rgb At(int x, int y) {
        const gltest::Bgra p = Pixel(frame_, x, y);
        return {p.r, p.g, p.b};
    }
    // Where a camera puts a world point inside a viewport rectangle, in pixels.
    static Vec3 Project(IViewCamera& cam, Vec3 p, const D3DVIEWPORT9& vp) {
        return Vec3Project(p, {float(vp.X), float(vp.Y), float(vp.Width), float(vp.Height), 0, 1},
                           cam.GetProjMatrix(), cam.GetViewMatrix(), Matrix{});
    }
    std::string Global(const char* name) {
        lua_getglobal(LuaMachine->State(), name);
        const char* s = lua_tostring(LuaMachine->State(), -1);
        std::string v = s ? s : "";
        lua_pop(LuaMachine->State(), 1);
        return v;
    }

    TEngineClass* engine_ = nullptr;
    EnvironmentStandInClass* env_ = nullptr;
    std::vector<uint8_t> frame_;
    ErrorTrap trap_;

private:
    fs::path home_;
};

TEST_F(RenderDemoGL, TheBeaconShowsItsTexturedMaterialWhereTheScriptsCameraSeesIt) {
    // The script placed the camera through engine_CameraSetPos / engine_CameraSetOri.
    EXPECT_EQ(Global("lastTrace"), "render: caches cleared");
    // The beacon as the mesh description names it: model, render object, sub-objects.
    auto* beacon = TBaseRenderUnit::Create<MeshClass>(env_);
    env_->AddChild(beacon);
    const std::string file = "models/render_demo/render_demo.cm";
    beacon->LoadFromCM(file, "beacon", "beacon1");
    ASSERT_TRUE(beacon->AddROFromCM(file, "base"));
    beacon->GetSubObjects(*GetModelTree(file), "render_demo");
    DrawFrame();

    IViewCamera* cam = engine_->Viewports().GetViewportCamera(engine_->EngineViewportId());
    ASSERT_NE(cam, nullptr);
    EXPECT_EQ(cam->GetPosition().x, -40.0f);
    EXPECT_EQ(cam->GetPosition().z, 10.0f);
    D3DVIEWPORT9 full{0, 0, W, H, 0, 1};
    const Vec3 centre = Project(*cam, {-5, 0, 0}, full); // the face towards the camera
    ASSERT_GT(centre.x, 0);
    ASSERT_LT(centre.x, float(W));
    ASSERT_GT(centre.y, 0);
    ASSERT_LT(centre.y, float(H));
    // The hull texture's colour, unlit (technique 20).
    EXPECT_RGB(At(int(centre.x), int(centre.y)), 0xFF, 0x80, 0x00);
    // The antenna sub-object stands on top; far to the side there is only the clear colour.
    const Vec3 antenna = Project(*cam, {0, 0, 8}, full);
    EXPECT_RGB(At(int(antenna.x), int(antenna.y)), 0xFF, 0x80, 0x00);
    EXPECT_RGB(At(0, 0), 13, 26, 38);
    EXPECT_TRUE(trap_.reports.empty());
}

TEST_F(RenderDemoGL, AHeadDrawsIntoItsInterfaceViewport) {
    // The right half of the screen; its camera at the origin looks along +x.
    auto camera = std::make_shared<BasicViewCamera>();
    const int vp = engine_->Viewports().AddViewport(nullptr, camera);
    engine_->Viewports().SetViewportRect(vp, 0.5f, 0.0f, 0.5f, 1.0f);
    auto* root = TBaseRenderUnit::Create<MultiroleBRUClass>(nullptr);
    root->Setup(vp, BRU2_VIEWPORT_CHARACTER);
    TMorphedAnimatedObjClass* head = root->AddHead("demo_head", "", true, 0);
    ASSERT_NE(head, nullptr);

    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    engine_->RE_BeginScene();
    root->RenderViewport();
    engine_->RE_EndScene();
    frame_ = Frame();

    D3DVIEWPORT9 rect;
    ASSERT_TRUE(engine_->Viewports().GetViewport(vp, rect));
    EXPECT_EQ(rect.X, W / 2);
    const Vec3 face = Project(*camera, {19, 0, 0}, rect);
    EXPECT_GT(face.x, float(W / 2));
    EXPECT_RGB(At(int(face.x), int(face.y)), 0x20, 0xC0, 0x40);
    // Around the head the background of the character's model.
    const Vec3 back = Project(*camera, {40, 8, 8}, rect);
    EXPECT_RGB(At(int(back.x), int(back.y)), 0x20, 0x40, 0xC0);
    // Outside the viewport nothing was drawn.
    EXPECT_RGB(At(2, H / 2), 0, 0, 0);
    root->DiscardBRU();
    root->Free();
    EXPECT_TRUE(trap_.reports.empty());
}

} // namespace
} // namespace vesk::test
