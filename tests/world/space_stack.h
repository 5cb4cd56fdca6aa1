#pragma once
// The render engine's managers, the effect library's pools and the space
// scene started and stopped in the game's order, on the device already in
// place, with the Lua host; for the programs that drive the real scene
// outside the unit-test fixtures (the GL tests and the benchmarks).
#include "core/lua_machine.h"
#include "core/services.h"
#include "core/var_list.h"
#include "physics/cm_render_link.h"
#include "physics/cm_tree_manager.h"
#include "physics/ph_scene.h"
#include "physics/ph_script.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/fx_templates.h"
#include "render/managers.h"
#include "render/model_tree.h"
#include "render/texture.h"
#include "render/vertex_buffers.h"
#include "render/world_links.h"
#include "world/env.h"
#include "world/fx_base.h"
#include "world/fx_library.h"

namespace vesk::test {

struct SpaceStack {
    TEngineClass* engine = nullptr;
    CoreServices services;

    void Start() {
        BuffersManager = std::make_unique<BuffersManagerClass>();
        RE_CreateTextureManager();
        CMTreeManager = std::make_unique<CMTreeManagerClass>();
        InstallCMRenderObjectBuilder();
        UpdaterManager = TEngineObject::New<UpdaterManagerClass>();
        BRUTickMan = TEngineObject::New<BRUTickManClass>();
        RegisterEffectUnitClasses();
        BRUMan = std::make_unique<BRUManClass>();
        BRUMan->Create();
        InitVarLists();
        engine = TBaseRenderUnit::Create<TEngineClass>(nullptr);
        InstallSpaceScene(services);
        CreateLuaMachine();
    }
    void Stop() {
        if (!engine) return;
        Env.reset();
        FreeFXTemplates();
        engine->DiscardBRU();
        engine->Free();
        engine = nullptr;
        TEODestroyManager->Flush();
        FreeLuaMachine();
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
        BRUMan.reset();
        if (BRUTickManClass* t = std::exchange(BRUTickMan, nullptr)) t->Free();
        if (UpdaterManager) UpdaterManager->Free();
        UpdaterManager = nullptr;
        FreeFXRecordPools();
        TEODestroyManager->Flush();
        FreeAllVarLists();
        RE_FreeTextureManager();
        ClearCachedTextures();
        BuffersManager.reset();
    }
};

} // namespace vesk::test
