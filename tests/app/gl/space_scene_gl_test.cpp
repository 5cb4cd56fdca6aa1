// The demo's space scene drawn by the real GL device: the Vesk system and the
// Kessa belt built from the generated models by the world's engine functions
// and the demo's tables, the sky around the eye, the sun where the camera
// sees it, the belt's fog and the dust.
#include "core/lua_readers.h"
#include "core/paths.h"
#include "platform/gl/gl_fixture.h"
#include "render/view_camera.h"
#include "shared/math.h"
#include "support/error_trap.h"
#include "world/environment.h"
#include "world/locations.h"
#include "world/space_dust.h"
#include "world/space_stack.h"

#include <cmath>
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

class SpaceSceneGL : public gltest::GfxGL {
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
        // The demo's tables and scene functions as the game runs them.
        stack_.Start("materials = {} mesh = {} fx = {} demo = { OnInit = function() end, "
                     "OnTick = function() end, trace = function() end }");
        engine_ = stack_.engine;
        Device->GetRenderTarget(0, engine_->GetD3DRoutine()->DeviceRenderTargetSurface.Put());
        engine_->CreateDrawObjects();
        camera_ = std::make_shared<BasicViewCamera>();
        engine_->Viewports().SetViewportCamera(engine_->EngineViewportId(), camera_);
        LuaMachine->LuaDoFile("Scripts/demo/scene.lua");
        LuaMachine->RunString("defineSceneEffects()");
        LoadFXTemplates();
        LuaMachine->RunString("engine_CreatePlanetSystem('models/space/vesk_system')");
        const std::string belt = GetLuaString("engine_LoadLocation('models/space/kessa_belt')", false);
        LuaMachine->RunString("engine_AssignLocationToUHelper('" + belt + "', 'location:kessa_belt')");
    }
    void TearDown() override {
        if (!engine_) return;
        stack_.Stop();
        LiveObjects.reset();
        Device = nullptr;
        fs::current_path(home_);
    }
    // One frame of the scene as the application runs it, read back before it is presented.
    void DrawFrame(float ms = 16.0f) {
        engine_->TickTree(ms);
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
    // Where the camera puts a world point, in pixels.
    Vec3 Project(const Vec3& p) {
        return Vec3Project(p, {0, 0, float(W), float(H), 0, 1}, camera_->GetProjMatrix(),
                           camera_->GetViewMatrix(), Matrix{});
    }
    static bool IsClearColour(const Rgb& p) { return p.r == 13 && p.g == 26 && p.b == 38; }
    TEnvironmentClass* Environment() {
        TEnvironmentClass* env = nullptr;
        if (Env) Env->GetEnvironment(env);
        return env;
    }

    SpaceStack stack_;
    TEngineClass* engine_ = nullptr;
    std::shared_ptr<BasicViewCamera> camera_;
    std::vector<uint8_t> frame_;
    ErrorTrap trap_;

private:
    fs::path home_;
};

TEST_F(SpaceSceneGL, TheSkyFillsTheViewAndTheSunShowsWhereTheCameraSeesIt) {
    ASSERT_NE(Environment(), nullptr);
    // From the outpost towards the sun, which stands at infinity in its direction.
    const Vec3 eye{-300, 0, 0};
    const Vec3 toSun = Vec3Normalize({80000, -40000, 30000});
    camera_->SetPose(eye, toSun);
    DrawFrame();
    const Vec3 sun = Project(Vec3Add(eye, Vec3Scale(toSun, 94000.0f)));
    ASSERT_NEAR(sun.x, W / 2.0f, 1.0f);
    ASSERT_NEAR(sun.y, H / 2.0f, 1.0f);
    // The sun's glow: bright and warm (at the pixel nearest its projection).
    const Rgb centre = At(int(std::lround(sun.x)), int(std::lround(sun.y)));
    EXPECT_GT(centre.r, 200);
    EXPECT_GE(centre.r, centre.b);
    // Everywhere the sky is drawn: no pixel keeps the clear colour.
    int clear = 0;
    for (int y = 0; y < int(H); y += 4)
        for (int x = 0; x < int(W); x += 4)
            if (IsClearColour(At(x, y))) ++clear;
    EXPECT_EQ(clear, 0);
    // Turned away from the sun, the middle of the view is sky and no sun.
    camera_->SetPose(eye, Vec3Scale(toSun, -1.0f));
    DrawFrame();
    const Rgb away = At(W / 2, H / 2);
    EXPECT_FALSE(IsClearColour(away));
    EXPECT_LT(away.r, 150);
    EXPECT_TRUE(trap_.reports.empty()) << trap_.reports.front().text;
}

TEST_F(SpaceSceneGL, TheBeltsFogShowsInFrontOfTheSkyAndTheDustStreaksWithTheCamera) {
    // The first fog volume of the belt: 2400 wide at (15800, 5400, 200), seen from 3000 away.
    const Vec3 fog{15800, 5400, 200};
    camera_->SetPose(Vec3Add(fog, {-3000, 0, 0}), {1, 0, 0});
    DrawFrame();
    DrawFrame();
    const Rgb withFog = At(W / 2, H / 2);
    auto* belt = dynamic_cast<WELocationClass*>(Env->PlanetSystem()->FindBRUByName("kessa_belt"));
    ASSERT_NE(belt, nullptr);
    ASSERT_EQ(belt->FogObjects().size(), 3u);
    for (TBaseRenderUnit* f : belt->FogObjects()) f->Kill();
    DrawFrame();
    const Rgb without = At(W / 2, H / 2);
    // The white haze lightens what is behind it.
    EXPECT_GT(withFog.r + withFog.g + withFog.b, without.r + without.g + without.b + 30);

    // The dust: moving, the specks around the eye become streaks along the motion.
    DustClass* dust = Environment()->Dust();
    ASSERT_NE(dust, nullptr);
    camera_->SetPose(Vec3Add(fog, {-2990, 0, 0}), {1, 0, 0});
    DrawFrame();
    ASSERT_FALSE(dust->Vertices().empty());
    EXPECT_GT(dust->StreakLength(), 0.0f);
    EXPECT_TRUE(trap_.reports.empty()) << trap_.reports.front().text;
}

} // namespace
} // namespace vesk::test
