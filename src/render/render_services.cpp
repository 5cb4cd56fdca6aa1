#include "render/render_services.h"

#include "core/config_record.h"
#include "core/lua_readers.h"
#include "platform/window.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/frame_functions.h"
#include "render/managers.h"
#include "render/model_tree.h"
#include "render/post_process.h"
#include "render/render_script.h"
#include "render/shader.h"
#include "render/texture.h"
#include "render/vertex_buffers.h"
#include "render/world_links.h"
#include "shared/errors.h"

namespace vesk {

namespace {

// The render engine as the application drives it: the root engine unit with
// its managers, the device on the main window (none for a window without a
// native handle: a headless run draws nothing), and each frame through the
// engine. Until the space scene installs its environment, a stand-in one
// under the engine lets the tree draw.
class EngineRenderService : public IRenderEngine {
public:
    void CreateTickManager() override {
        if (!BRUTickMan) BRUTickMan = TEngineObject::New<BRUTickManClass>();
    }
    void Init(platform::IWindow& window) override {
        if (!LiveObjects) LiveObjects = std::make_unique<LiveObjectRegistryClass>();
        if (!UpdaterManager) UpdaterManager = TEngineObject::New<UpdaterManagerClass>();
        CreateTickManager(); // where the start-up did not make it already
        if (!BRUMan) {
            BRUMan = std::make_unique<BRUManClass>();
            BRUMan->Create();
        }
        if (!Engine) TBaseRenderUnit::Create<TEngineClass>(nullptr);
        if (!BRUCacheMan) BRUCacheMan = std::make_unique<BRUCacheManClass>();
        auto& links = GetRenderWorldLinks();
        // The capture settings are keys of the scripts' `ini` table.
        if (!links.iniText)
            links.iniText = [](const std::string& key) { return GetLuaString("ini." + key, true); };
        if (!links.environment) {
            environment_ = TBaseRenderUnit::Create<EnvironmentStandInClass>(Engine);
            environment_->SetName("environment");
            Engine->AddChild(environment_);
            links.environment = [this]() -> TBaseRenderUnit* { return environment_; };
        }
        if (!window.NativeHandle()) return;
        platform::IWindow* w = &window;
        // Releasing the display closes the main window.
        GetDisplayReleaseHooks().minimiseWindow = [w] { w->Close(); };
        RE_InitDevices(*Engine->GetD3DRoutine(), window.NativeHandle(), DeviceSetupFromRecord(SetupRecord));
        if (!Device) return;
        // The resource managers every drawing unit takes its buffers, shaders and textures from.
        if (!BuffersManager) BuffersManager = std::make_unique<BuffersManagerClass>();
        RE_InitPostProcess();
        RE_CreatePixelShadersManager();
        RE_CreateTextureManager();
        Engine->CreateDrawObjects();
        auto postEffects = std::make_shared<PostEffectControllerClass>();
        postEffects->Create(Engine);
        Engine->SetPostEffectController(std::move(postEffects));
    }
    void BeginScene() override {
        if (Engine) Engine->RE_BeginScene();
    }
    void RenderFrame() override {
        if (Engine) Engine->RenderFrame();
    }
    void SkipScene() override {
        if (!Engine) return;
        Engine->CleanChildsBRU();
        Engine->Viewports().SetViewport(Engine->EngineViewportId());
    }
    void EndScene() override {
        if (Engine) Engine->RE_EndScene();
    }
    void Present() override {
        if (Engine) Engine->Present();
    }
    void NextFrame() override { RenderFrameCounter.NextFrame(); }
    void SortChildsBRU() override {
        if (Engine) Engine->SortChildsBRU();
    }
    void UpdateMatrices() override {
        if (Engine) Engine->UpdateMatrices(nullptr);
    }
    void TickTree(float dt) override {
        if (Engine) Engine->TickTree(dt);
    }
    // The global manager carries the key animations, the playing video
    // textures and the scenes; the engine's own one whatever is given to it.
    void TickUpdaters(float dt) override {
        if (UpdaterManager) UpdaterManager->Update(dt);
        if (Engine)
            if (UpdaterManagerClass* own = Engine->GetUpdaterManager()) own->Update(dt);
    }
    void StopCapture() override {
        if (Engine) Engine->StopCapture();
    }
    void CleanUnits() override {
        if (Engine) Engine->CleanAndRemoveZeroElementsFromChildsBRUList();
    }
    void DiscardUnits() override {
        DropEnvironment();
        if (Engine) Engine->DiscardBRU();
    }
    void FreeManagers() override {
        BRUCacheMan.reset();
        // The models' render objects hold buffers of the manager freed below.
        ReleaseModelCache();
        BuffersManager.reset();
        if (Engine) Engine->SetPostEffectController(nullptr);
        RE_FreePostProcess();
        RE_FreePixelShadersManager();
        RE_FreeTextureManager();
        ClearCachedTextures();
        if (BRUMan) BRUMan->Destroy();
        BRUMan.reset();
        if (BRUTickManClass* t = std::exchange(BRUTickMan, nullptr)) t->Free();
        if (UpdaterManager) UpdaterManager->Free();
    }
    void DoneDevices() override { RE_DoneDevices(); }
    void Release() override {
        DropEnvironment();
        if (Engine) Engine->Free();
        LiveObjects.reset();
    }

private:
    void DropEnvironment() {
        if (!environment_) return;
        environment_ = nullptr;
        GetRenderWorldLinks().environment = nullptr;
    }
    EnvironmentStandInClass* environment_ = nullptr;
};

} // namespace

void InstallRenderServices(CoreServices& services) {
    InstallRenderScriptFunctions();
    InstallFrameFunctions();
    services.render = std::make_unique<EngineRenderService>();
}

} // namespace vesk
