// One frame of combat on the recording device: 50 ships of the generated
// fighter model (the game folder's, laid out by the build in build/game) as
// game objects with their units and steering units, against the same frame
// with 500 bullets and 20 rockets in flight among them. Bullets test their
// path against the ships each step; rockets sweep against them in each
// physics slice. A frame runs as the program's tick does: the game lists, the
// physics slice, the updaters (bullets), the engine's tree and the drawing.
#include "core/lua_machine.h"
#include "core/lua_readers.h"
#include "game/ai_helpers.h"
#include "game/combat_world.h"
#include "game/game_functions.h"
#include "game/game_ini_table.h"
#include "game/game_objects.h"
#include "game/game_parts.h"
#include "game/gun_effects.h"
#include "game/mesh_tables.h"
#include "game/obj_managers.h"
#include "game/physics_link.h"
#include "game/player.h"
#include "game/profiles.h"
#include "game/projectiles.h"
#include "game/scene_link.h"
#include "game/ships_link.h"
#include "game/statistics.h"
#include "game/tree_functions.h"
#include "game/turret_ai.h"
#include "game/world_link.h"
#include "physics/cm_render_link.h"
#include "physics/cm_tree_manager.h"
#include "physics/coll_detector.h"
#include "physics/ph_scene.h"
#include "physics/ph_script.h"
#include "platform/files.h"
#include "platform/gfx/device_base.h"
#include "platform/gfx/null_device.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/render_script.h"
#include "render/view_camera.h"
#include "render/world_links.h"
#include "shared/errors.h"
#include "world/fx_bullet.h"
#include "world/game_ops.h"
#include "world/guns.h"
#include "world/ship.h"
#include "world/ship_script.h"

#include "../tests/support/fx_environment.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

namespace {

using namespace vesk;

constexpr const char* kContent = R"(
materials = { checker = { id = '0', texture_technique = 51, diffuse_color = 'FFFFFF', specular_color = '0',
                          ambient_color = '0', emissive_color = '0', power = 0 } }
fx = { shot = { id = 'shot', type = 'bullet', velocity = '50', lifetime = '1000', len = '10' } }
mesh = {} gunmodel = {} ini = {}
function setHook() end function emptyHook() end function saveData() end
function updateMeshToEngine() end function updatePlayerShip() end player = {}
)";

std::string GameFolder() {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "game").string();
}

class CombatScene {
public:
    CombatScene() {
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
        environment_.Start(kContent);
        CMTreeManager = std::make_unique<CMTreeManagerClass>();
        InstallCMRenderObjectBuilder();
        engine = TBaseRenderUnit::Create<TEngineClass>(nullptr);
        Device->GetRenderTarget(0, engine->GetD3DRoutine()->DeviceRenderTargetSurface.Put());
        engine->CreateDrawObjects();
        env = TBaseRenderUnit::Create<EnvironmentStandInClass>(engine);
        engine->AddChild(env);
        GetRenderWorldLinks().environment = [this]() -> TBaseRenderUnit* { return env; };
        GetRenderWorldLinks().environmentSet = [this]() -> const EnvironmentSet* { return &set; };
        LoadFXTemplates();
        auto camera = std::make_shared<BasicViewCamera>();
        camera->SetPose({-1500, 600, 600}, {1, 0, -0.3f});
        engine->Viewports().SetViewportCamera(engine->EngineViewportId(), camera);
        // The game: its tree, lists and pools, the physics scene and the world's links.
        RegisterGameTreeClasses();
        RegisterGameTreeFunctions();
        RegisterGameLogicClasses();
        RegisterGameLogicFunctions();
        RegisterGamePartsClasses();
        RegisterProfileClasses();
        CreateStatistics();
        ObjManagersManager = std::make_unique<TObjManagersManager>();
        CreateGameRoot();
        CreateGameGlobalLists();
        CreateGameLogicRoots(GlobalObjects);
        CreateGameMeshTable(GlobalObjects);
        CreateGamePartsLists(GlobalObjects);
        CreatePlayerSettings(GlobalObjects);
        CreatePlayer(GlobalObjects);
        ObjManagersManager->createStandartManagers();
        CreatePhysicsScene();
        InstallPhysicsScriptFunctions();
        InstallPhysicsLink();
        InstallShipsLink();
        InstallRenderSceneLink();
        InstallRenderScriptFunctions();
        InstallShipScriptFunctions();
        CollDetectorClass::SetFrameTimeSource([] { return 16.0f; });
        const std::string models = LuaQuote(GameFolder() + "/models/ships");
        Lua("engine_SetVar('bal.maxOverheatValue', '150') "
            "engine_AddVar('mesh', 'hawk', 'TGameMesh') engine_SetVar('mesh.hawk.path', " +
            models +
            ") engine_SetVar('mesh.hawk.name', 'vesk_hawk') "
            "engine_SetVar('mesh.hawk.physic_params.ph_Type', 'small') "
            "engine_SetVar('mesh.hawk.physic_params.ph_MaxVelocity', '100') "
            "engine_AddVar('mesh', 'general_missile', 'TGameMesh') "
            "engine_SetVar('mesh.general_missile.path', " +
            models +
            ") engine_SetVar('mesh.general_missile.name', 'rocket_hornet') "
            "engine_SetVar('mesh.general_missile.physic_params.ph_Type', 'missile') "
            "engine_SetVar('mesh.general_missile.physic_params.ph_MaxVelocity', '40') "
            "engine_SetVar('mesh.general_missile.physic_params.ph_AccelerateTime', '0.5')");
    }
    ~CombatScene() {
        if (GlobalObjects) GlobalObjects->Delete();
        if (DeletedObjects) {
            DeletedObjects->Tick(0.0f);
            DeletedObjects->Free();
        }
        TEODestroyManager->Flush();
        ReleaseStandartManagers();
        TEODestroyManager->Flush();
        ObjManagersManager.reset();
        if (Statistics) Statistics->Delete();
        FreePhysicsScene();
        SetSceneShipsProvider({});
        SetShipCollisionListHook(nullptr);
        SetGameWorldLink(nullptr);
        SetGameSceneLink(nullptr);
        SetTurretAim(nullptr);
        CollDetectorClass::SetFrameTimeSource(nullptr);
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
    bool ModelThere() const { return platform::FileExists(GameFolder() + "/models/ships/vesk_hawk.cm"); }
    void Lua(const std::string& text) { LuaMachine->RunString(text); }

    // 50 ships in a grid, 300 apart.
    void Ships() {
        for (int i = 0; i < 50; ++i) {
            const std::string p = "obj.s" + std::to_string(i);
            Lua("engine_AddVar('obj', 's" + std::to_string(i) + "', 'TGameObject') engine_SetVar('" + p +
                ".SOClass', '2') engine_SetVar('" + p + ".spacemodel', 'hawk') engine_SetVar('" + p +
                ".position', '" + std::to_string(300 * (i % 10)) + " " + std::to_string(300 * (i / 10)) +
                " 0')");
        }
        Frame();
        for (int i = 0; i < 50; ++i)
            ships[i] = dynamic_cast<TGameObject*>(FindVarByPath("obj.s" + std::to_string(i)));
    }
    // 500 bullets leaving the ships and 20 rockets climbing slowly between them.
    void Projectiles() {
        auto* aim = dynamic_cast<TBaseGameSceneObject*>(
            NewGameObject(TBaseGameSceneObject::StaticClass(), "aim", FindVarByPath("obj")));
        EnsureHelperUnit(aim, {1350, 600, 100000});
        const int32_t shot = TBaseRenderUnit::FindFXTemplate("shot")->GetId();
        for (int i = 0; i < 500; ++i) {
            TGameObject* from = ships[i % 50];
            auto* b = dynamic_cast<TGameObjectBullet*>(
                NewPooledObject(TGameObjectBullet::StaticClass(), "bullet_", nullptr));
            b->Spawner()->setValue(from);
            b->SetGunId(from->GetHex());
            b->SetCurTarget(aim);
            b->SetMainFxLink(shot);
            b->OnCreated()->Fire();
        }
        for (int i = 0; i < 20; ++i) {
            TGameObject* from = ships[(i * 7) % 50];
            // Each leaves a pad between the ships, out of the bullets' way.
            auto* pad = dynamic_cast<TBaseGameSceneObject*>(NewGameObject(
                TBaseGameSceneObject::StaticClass(), "pad" + std::to_string(i), FindVarByPath("obj")));
            const Vec3 at = UnitPosition(from->GetHex());
            EnsureHelperUnit(pad, {at.x + 150.0f, at.y + 150.0f, 0.0f});
            auto* r = dynamic_cast<TGameObjectRocket*>(
                NewPooledObject(TGameObjectRocket::StaticClass(), "bullet_", RocketsList()));
            r->AppendIdToName();
            r->Spawner()->setValue(from);
            r->SetGunId(pad->GetHex());
            r->SetLifetime(1000.0f);
            r->OnCreated()->Fire();
            Lua("engine_PhCommand('" + GetLuaPath(r) + "', 'goToPoint', '', '" +
                std::to_string(at.x + 150.0f) + "', '" + std::to_string(at.y + 150.0f) + "', '100000')");
        }
        Frame();
    }
    void Frame() {
        for (TBaseGameObjectList* list : {static_cast<TBaseGameObjectList*>(CreatedObjects),
                                          static_cast<TBaseGameObjectList*>(Created2Objects),
                                          static_cast<TBaseGameObjectList*>(TickedObjects)})
            list->Tick(16.0f);
        PhysicsScene->TickPhys(16.0f);
        PackedObjects->Tick(16.0f);
        DeletedObjects->Tick(16.0f);
        engine->UpdateMatrices(nullptr);
        UpdaterManager->Update(16.0f);
        engine->TickTree(16.0f);
        engine->Draw();
        RenderFrameCounter.NextFrame();
        if (auto* d = dynamic_cast<platform::DeviceBase*>(Device.Get())) d->ClearCalls();
        TEODestroyManager->Flush();
    }

    platform::Ref<platform::IDirect3D9> d3d_;
    TEngineClass* engine = nullptr;
    EnvironmentStandInClass* env = nullptr;
    EnvironmentSet set;
    test::FxEnvironment environment_;
    TGameObject* ships[50] = {};
};

void CombatFrame(benchmark::State& state, bool projectiles) {
    CombatScene scene;
    if (!scene.ModelThere()) return state.SkipWithError("no game folder: build the game first");
    scene.Ships();
    if (projectiles) scene.Projectiles();
    for (int k = 0; k < 10; ++k) scene.Frame();
    if (projectiles && (Statistics->Bullet()->Value() != 500 || Statistics->Rocket()->Value() != 20))
        return state.SkipWithError("the projectiles did not stay in flight");
    for (auto _ : state) scene.Frame();
    state.counters["bullets"] = Statistics->Bullet()->Value();
    state.counters["rockets"] = Statistics->Rocket()->Value();
}

// The 50 ships alone.
void BM_FrameWith50Ships(benchmark::State& state) {
    CombatFrame(state, false);
}
// The same with 500 bullets and 20 rockets in flight.
void BM_FrameWith50Ships500BulletsAnd20Rockets(benchmark::State& state) {
    CombatFrame(state, true);
}
BENCHMARK(BM_FrameWith50Ships)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameWith50Ships500BulletsAnd20Rockets)->Unit(benchmark::kMicrosecond);

} // namespace
