#pragma once
// The demo's space scene drawn by the real GL device: the Vesk system and the
// Kessa belt built from the generated models by the world's engine functions
// and the demo's tables, one frame at a time as the application draws it.
#include "core/lua_readers.h"
#include "core/paths.h"
#include "platform/gl/gl_fixture.h"
#include "render/view_camera.h"
#include "shared/math.h"
#include "support/engine_frame.h"
#include "support/error_trap.h"
#include "world/environment.h"
#include "world/space_stack.h"

#include <filesystem>
#include <string>
#include <vector>

namespace vesk::test {

struct Rgb {
    int r, g, b;
};

class SpaceSceneGL : public gltest::GfxGL {
protected:
    // A fixture that needs more pixels, or the game's data tables before the
    // scene's own (as the game runs them), sets these before SetUp.
    uint32_t width_ = gltest::W, height_ = gltest::H;
    std::vector<std::string> contentFiles_;
    std::string contentText_;

    void SetUp() override {
        GfxGL::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (width_ != gltest::W || height_ != gltest::H) {
            dev_ = nullptr;
            gltest::MakeHeadlessDevice(width_, height_, d3d_, dev_);
            ASSERT_TRUE(dev_);
        }
        home_ = std::filesystem::current_path();
        std::filesystem::current_path(std::string(VESK_BUILD_DIR) + "/game");
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
        for (const std::string& file : contentFiles_) LuaMachine->LuaDoFile(file);
        if (!contentText_.empty()) LuaMachine->RunString(contentText_);
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
        std::filesystem::current_path(home_);
    }
    // One frame of the scene as the application runs it, read back before it is presented.
    void DrawFrame(float ms = 16.0f) {
        engine_->TickTree(ms);
        frame_ = DrawEngineFrame(*engine_, [this] { return Frame(); });
    }
    Rgb At(int x, int y) {
        const gltest::Bgra p = Pixel(frame_, x, y);
        return {p.r, p.g, p.b};
    }
    // Where the camera puts a world point, in pixels.
    Vec3 Project(const Vec3& p) {
        return Vec3Project(p, {0, 0, float(width_), float(height_), 0, 1}, camera_->GetProjMatrix(),
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
    std::filesystem::path home_;
};

} // namespace vesk::test
