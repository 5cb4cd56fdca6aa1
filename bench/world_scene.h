#pragma once
// The world on the recording device for the benchmarks: the engine root with
// a stand-in environment, the effect library of a Lua text of the benchmark's
// own, the model cache building real render objects and the world's game
// operations and ship part classes. Models come from the game folder the
// build lays out in build/game.
#include "physics/cm_render_link.h"
#include "physics/cm_tree_manager.h"
#include "platform/gfx/device_base.h"
#include "platform/gfx/null_device.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/fx_templates.h"
#include "render/view_camera.h"
#include "render/world_links.h"
#include "shared/errors.h"
#include "world/fx_library.h"
#include "world/game_ops.h"
#include "world/guns.h"

#include "../tests/support/engine_frame.h"
#include "../tests/support/fx_environment.h"

#include <filesystem>
#include <memory>
#include <string>

namespace vesk::bench {

inline std::string GameFolder() {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "game").string();
}

class WorldScene {
public:
    explicit WorldScene(const char* content) {
        GetErrorHooks().halt = [] {};
        TEODestroyManager = std::make_unique<TEODestroyManagerClass>();
        d3d_ = platform::CreateNullDirect3D();
        platform::D3DPRESENT_PARAMETERS pp;
        pp.Windowed = 1;
        pp.EnableAutoDepthStencil = 1;
        pp.AutoDepthStencilFormat = platform::D3DFMT_D24S8;
        platform::Ref<platform::IDirect3DDevice9> dev;
        d3d_->CreateDevice(0, platform::D3DDEVTYPE_HAL, nullptr,
                           platform::D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, dev.Put());
        Device = dev;
        ResetDeviceStateCache();
        InstallWorldGameOps();
        RegisterShipPartClasses();
        environment_.Start(content);
        CMTreeManager = std::make_unique<CMTreeManagerClass>();
        InstallCMRenderObjectBuilder();
        const test::EngineScene scene = test::MakeEngineScene();
        engine = scene.engine;
        env = scene.env;
        GetRenderWorldLinks().environmentSet = [this]() -> const EnvironmentSet* { return &set; };
        LoadFXTemplates();
    }
    ~WorldScene() {
        FreeFXTemplates();
        engine->DiscardBRU();
        engine->Free();
        TEODestroyManager->Flush();
        CMTreeManager.reset();
        SetCMRenderObjectBuilder(nullptr);
        SetCMRenderObjectReleaser(nullptr);
        SetModelTreeProvider(nullptr);
        environment_.Stop();
        SetGameOpsMaker(nullptr);
        TEODestroyManager.reset();
        GetRenderWorldLinks() = RenderWorldLinks{};
        Device = nullptr;
        GetErrorHooks() = ErrorHooks{};
    }
    WorldScene(const WorldScene&) = delete;
    WorldScene& operator=(const WorldScene&) = delete;

    void LookFrom(const Vec3& eye, const Vec3& direction) {
        auto camera = std::make_shared<BasicViewCamera>();
        camera->SetPose(eye, direction);
        engine->Viewports().SetViewportCamera(engine->EngineViewportId(), camera);
    }
    // The engine's tree drawn on the recording device, then the next frame begins.
    void Draw() {
        engine->Draw();
        RenderFrameCounter.NextFrame();
        if (auto* d = dynamic_cast<platform::DeviceBase*>(Device.Get())) d->ClearCalls();
    }

    platform::Ref<platform::IDirect3D9> d3d_;
    TEngineClass* engine = nullptr;
    EnvironmentStandInClass* env = nullptr;
    EnvironmentSet set;
    test::FxEnvironment environment_;
};

} // namespace vesk::bench
