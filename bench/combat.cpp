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
#include "game/bullets.h"
#include "game/combat_world.h"
#include "game/game_objects.h"
#include "game/projectiles.h"
#include "game/rockets.h"
#include "platform/files.h"
#include "world/fx_bullet.h"

#include "../tests/support/game_world_stack.h"
#include "world_scene.h"

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

class CombatScene : public bench::WorldScene {
public:
    CombatScene() : WorldScene(kContent) {
        LookFrom({-1500, 600, 600}, {1, 0, -0.3f});
        test::GameWorldStack::Start(16.0f);
        const std::string models = LuaQuote(bench::GameFolder() + "/models/ships");
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
    ~CombatScene() { test::GameWorldStack::Stop(); }
    bool ModelThere() const {
        return platform::FileExists(bench::GameFolder() + "/models/ships/vesk_hawk.cm");
    }
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
        test::GameWorldStack::Tick(16.0f);
        engine->UpdateMatrices(nullptr);
        UpdaterManager->Update(16.0f);
        engine->TickTree(16.0f);
        Draw();
        TEODestroyManager->Flush();
    }

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
