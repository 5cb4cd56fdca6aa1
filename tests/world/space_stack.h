#pragma once
// What the space scene needs around the engine root, on the device already in
// place: the effects' environment (managers, pools, settings, the Lua host
// with the content's helpers and a Lua text of the caller's), the model cache
// with its render-object builder, the engine root and the scene service with
// the world's engine functions. For the programs that drive the real scene
// outside the unit-test fixtures (the GL tests and the benchmarks).
#include "core/services.h"
#include "physics/cm_render_link.h"
#include "physics/cm_tree_manager.h"
#include "physics/ph_scene.h"
#include "physics/ph_script.h"
#include "render/device.h"
#include "render/model_tree.h"
#include "render/texture.h"
#include "render/world_links.h"
#include "support/fx_environment.h"
#include "world/env.h"

#include <string>

namespace vesk::test {

// The model cache and its builder, and the scene service, over the effects'
// environment and the engine root already in place.
inline void StartSpaceScene(CoreServices& services) {
    CMTreeManager = std::make_unique<CMTreeManagerClass>();
    InstallCMRenderObjectBuilder();
    InstallSpaceScene(services);
}

// Frees the planet system, the engine root and the model cache, and clears the
// links the scene installed; the effects' environment stays for its owner.
inline void StopSpaceScene(TEngineClass*& engine, CoreServices& services) {
    Env.reset();
    FreeFXTemplates();
    if (engine) {
        engine->DiscardBRU();
        engine->Free();
        engine = nullptr;
    }
    TEODestroyManager->Flush();
    // The models' render objects hold buffers the effects' environment frees.
    CMTreeManager.reset();
    SetCMRenderObjectBuilder(nullptr);
    SetCMRenderObjectReleaser(nullptr);
    SetModelTreeProvider(nullptr);
    SetModelCacheRelease(nullptr);
    FreePhysicsScene();
    services.scene.reset();
    GetRenderWorldLinks() = RenderWorldLinks{};
    GetPhysicsScriptLinks() = PhysicsScriptLinks{};
    GetWorldObjectLinks() = WorldObjectLinks{};
}

struct SpaceStack {
    TEngineClass* engine = nullptr;
    CoreServices services;
    FxEnvironment effects;

    void Start(const std::string& content) {
        effects.Start(content);
        engine = TBaseRenderUnit::Create<TEngineClass>(nullptr);
        StartSpaceScene(services);
    }
    void Stop() {
        if (!engine) return;
        StopSpaceScene(engine, services);
        effects.Stop();
    }
};

} // namespace vesk::test
