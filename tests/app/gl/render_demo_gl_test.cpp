// The render demo drawn by the real GL device: the demo script's tables and
// camera functions, the generated beacon model with its material and texture
// in the engine's frame, and a character's head in a viewport node the
// script builds through the interface's tool function.
#include "core/lua_machine.h"
#include "core/paths.h"
#include "core/services.h"
#include "interface/desktop.h"
#include "interface/interface_services.h"
#include "interface/video_node.h"
#include "interface/visual_nodes.h"
#include "physics/camera.h"
#include "physics/camera_game.h"
#include "physics/cm_render_link.h"
#include "physics/cm_tree_manager.h"
#include "platform/gl/gl_fixture.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/mesh.h"
#include "render/morphed_obj.h"
#include "render/multirole.h"
#include "render/render_script.h"
#include "render/texture.h"
#include "render/view_camera.h"
#include "render/viewport_scene.h"
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
        gameCamera_.Init();
        InstallRenderScriptFunctions();
        engine_ = TBaseRenderUnit::Create<TEngineClass>(nullptr);
        Device->GetRenderTarget(0, engine_->GetD3DRoutine()->DeviceRenderTargetSurface.Put());
        engine_->CreateDrawObjects();
        env_ = TBaseRenderUnit::Create<EnvironmentStandInClass>(engine_);
        engine_->AddChild(env_);
        GetRenderWorldLinks().environment = [this]() -> TBaseRenderUnit* { return env_; };
        // The interface, whose tool functions the script builds its viewport node with.
        InstallInterfaceServices(services_);
        services_.desktop->InitCore();
        services_.desktop->Create();
        InterfaceScaleX = float(W) / 1024.0f;
        InterfaceScaleY = float(H) / 768.0f;
        // The demo script as the game runs it: its parts run at once here.
        CreateLuaMachine();
        LuaMachine->RunString(
            "ini = {} materials = {} mesh = {} demo = { OnInit = function(name, f) f() end, "
            "OnTick = function() end, trace = function(t) lastTrace = t end }");
        LuaMachine->LuaDoFile("Scripts/demo/render.lua");
    }
    void TearDown() override {
        if (!engine_) return;
        services_.desktop->Release();
        services_.desktop->FreeCore();
        InterfaceScaleX = InterfaceScaleY = 1.0f;
        FreeLuaMachine();
        engine_->DiscardBRU();
        engine_->Free();
        TEODestroyManager->Flush();
        TEODestroyManager.reset();
        GetRenderWorldLinks() = RenderWorldLinks{};
        gameCamera_.Free();
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

    CoreServices services_;
    TGameCamera gameCamera_;
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

TEST_F(RenderDemoGL, AScriptsViewportNodeDrawsAHeadInItsRectangle) {
    // The right half of the virtual 1024 x 768 screen.
    LuaMachine->RunString(
        "engine_Desktop('insert', 'Face', 'desktop', '', 'TViewportNode') "
        "engine_Desktop('update', 'Face', 'HSCALE', 'LEFT', 'VSCALE', 'TOP', 'LEFT', '512', "
        "'TOP', '0', 'WIDTH', '512', 'HEIGHT', '768', 'VIEWPORT', 'demo_head')");
    int status = 0;
    auto* face = dynamic_cast<TViewportNode*>(CurrentDesktop()->ChildByName("Face", status, true, false));
    ASSERT_NE(face, nullptr);
    ASSERT_NE(face->Scene(), nullptr);

    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    engine_->RE_BeginScene();
    face->Draw();
    engine_->RE_EndScene();
    frame_ = Frame();

    D3DVIEWPORT9 rect;
    ASSERT_TRUE(engine_->Viewports().GetViewport(face->Scene()->ViewportId(), rect));
    EXPECT_EQ(rect.X, W / 2);
    EXPECT_EQ(rect.Width, W / 2);
    IViewCamera* camera = engine_->Viewports().GetViewportCamera(face->Scene()->ViewportId());
    ASSERT_NE(camera, nullptr);
    // The head's face (its skin texture) where the viewport's camera sees it...
    const Vec3 head = Project(*camera, {19, 0, 0}, rect);
    EXPECT_GT(head.x, float(W / 2));
    EXPECT_RGB(At(int(head.x), int(head.y)), 0x20, 0xC0, 0x40);
    // ... the character's background around it, and nothing outside the viewport.
    const Vec3 back = Project(*camera, {40, 8, 8}, rect);
    EXPECT_RGB(At(int(back.x), int(back.y)), 0x20, 0x40, 0xC0);
    EXPECT_RGB(At(2, H / 2), 0, 0, 0);
    EXPECT_TRUE(trap_.reports.empty());
}

// The desktop draws on after a viewport node: the scene in the viewport leaves
// the device as a 3D frame does, and the nodes that follow still show.
TEST_F(RenderDemoGL, NodesDrawnAfterAViewportStillShow) {
    LuaMachine->RunString(
        "engine_Desktop('insert', 'Face', 'desktop', '', 'TViewportNode') "
        "engine_Desktop('update', 'Face', 'HSCALE', 'LEFT', 'VSCALE', 'TOP', 'LEFT', '512', "
        "'TOP', '0', 'WIDTH', '512', 'HEIGHT', '768', 'VIEWPORT', 'demo_head') "
        "engine_Desktop('insert', 'Plate', 'desktop', '', 'TMegaButton') "
        "engine_Desktop('update', 'Plate', 'HSCALE', 'LEFT', 'VSCALE', 'TOP', 'LEFT', '64', "
        "'TOP', '64', 'WIDTH', '256', 'HEIGHT', '256', 'COLOR', 'FF20E0E0')");
    services_.desktop->SetScriptsLoaded();
    dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    engine_->RE_BeginScene();
    services_.desktop->Render();
    engine_->RE_EndScene();
    frame_ = Frame();
    // The plate, drawn after the viewport, in its colour; the head in the viewport.
    EXPECT_RGB(At(W * 192 / 1024, H * 192 / 768), 0x20, 0xE0, 0xE0);
    int status = 0;
    auto* face = dynamic_cast<TViewportNode*>(CurrentDesktop()->ChildByName("Face", status, true, false));
    ASSERT_NE(face, nullptr);
    D3DVIEWPORT9 rect;
    ASSERT_TRUE(engine_->Viewports().GetViewport(face->Scene()->ViewportId(), rect));
    IViewCamera* camera = engine_->Viewports().GetViewportCamera(face->Scene()->ViewportId());
    ASSERT_NE(camera, nullptr);
    const Vec3 head = Project(*camera, {19, 0, 0}, rect);
    EXPECT_RGB(At(int(head.x), int(head.y)), 0x20, 0xC0, 0x40);
    EXPECT_TRUE(trap_.reports.empty());
}

// The camera demo's talker carries its own camera and target in its animation
// file: the viewport node that shows it looks through that camera.
TEST_F(RenderDemoGL, ATalkersViewportLooksThroughTheModelsCamera) {
    LuaMachine->RunString("demo.OnInit = function(name, f) if name == 'camera_talker' then f() end end");
    LuaMachine->LuaDoFile("Scripts/demo/camera.lua");
    EXPECT_EQ(Global("lastTrace"), "camera: viewport node shows camera_talker");
    int status = 0;
    auto* node =
        dynamic_cast<TViewportNode*>(CurrentDesktop()->ChildByName("CameraDemoTalker", status, true, false));
    ASSERT_NE(node, nullptr);
    ASSERT_NE(node->Scene(), nullptr);
    // The adapter has taken the viewport's camera and moves it each updater step.
    auto* camera =
        dynamic_cast<CameraClass*>(engine_->Viewports().GetViewportCamera(node->Scene()->ViewportId()));
    ASSERT_NE(camera, nullptr);
    EXPECT_FALSE(camera->IsMode(kCamUserControl | kCamSway));
    EXPECT_FLOAT_EQ(camera->GetFOV(), 40.0f);
    // A frame places the talker's units; the next updater step puts the camera on them.
    auto drawNode = [&] {
        dev_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        engine_->RE_BeginScene();
        node->Draw();
        engine_->RE_EndScene();
        frame_ = Frame();
    };
    drawNode();
    UpdaterManager->Update(20);
    EXPECT_TRUE(camera->IsMode(kCamFixed));
    EXPECT_FLOAT_EQ(camera->GetPosition().x, 10.0f);
    EXPECT_FLOAT_EQ(camera->GetLookAtPoint().x, 30.0f);
    drawNode();
    D3DVIEWPORT9 rect;
    ASSERT_TRUE(engine_->Viewports().GetViewport(node->Scene()->ViewportId(), rect));
    // The face fills the middle of the node's rectangle in its skin colour.
    const Vec3 face = Project(*camera, {29, 0, 0}, rect);
    EXPECT_NEAR(face.x, rect.X + rect.Width / 2.0f, 2.0f);
    EXPECT_RGB(At(int(face.x), int(face.y)), 0xE0, 0xA0, 0x40);
    EXPECT_TRUE(trap_.reports.empty());
}

} // namespace
} // namespace vesk::test
