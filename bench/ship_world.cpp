// Ships of the world on the recording device, from the generated fighter
// model of the game folder (the build lays it out in build/game): building
// ships whose model is already cached (against the first build, which loads
// the model and makes the mesh's main sphere), and one frame of 1 or 50
// ships, each with its nozzles' jets and lamps, a gun and a turret, ticked,
// placed and drawn.
#include "core/lua_machine.h"
#include "core/lua_readers.h"
#include "core/var_list.h"
#include "physics/cm_render_link.h"
#include "physics/cm_tree_manager.h"
#include "platform/files.h"
#include "platform/gfx/device_base.h"
#include "platform/gfx/null_device.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/fx_templates.h"
#include "render/helpers.h"
#include "render/managers.h"
#include "render/view_camera.h"
#include "render/world_links.h"
#include "shared/errors.h"
#include "shared/math.h"
#include "world/fx_library.h"
#include "world/game_ops.h"
#include "world/guns.h"
#include "world/mesh_source.h"
#include "world/ship.h"

#include "../tests/support/ship_mesh_source.h"
#include "world_scene.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <memory>
#include <vector>

namespace {

using namespace vesk;

constexpr const char* kContent = R"(
materials = { checker = { id = '0', texture_technique = 51, diffuse_color = 'FFFFFF', specular_color = '0',
                          ambient_color = '0', emissive_color = '0', power = 0 } }
fx = { fx_simple_lamp = { id = 'fx_simple_lamp', type = 'particle' },
       jet = { id = 'jet', type = 'nozzlejet', lifetime = '1', color = 'FF80C0FF', thickness = '6' } }
mesh = {} gunmodel = {} ini = {}
)";

class ShipScene : public bench::WorldScene {
public:
    ShipScene() : WorldScene(kContent) {
        const std::string game = bench::GameFolder();
        ShipMeshDesc& hawk = source.meshes["hawk"];
        hawk.path = game + "/models/ships";
        hawk.name = "vesk_hawk";
        hawk.nozzles = {{"nozzle01", "jet", "", "FF80C0FF", 6, 10, 2},
                        {"nozzle02", "jet", "", "FF80C0FF", 6, 10, 2}};
        SetShipMeshSource(&source);
        LuaMachine->RunString(
            "mesh.laser_gun = { path = " + LuaQuote(game + "/models/weapons") +
            " } gunmodel.laser_gun = { mesh = 'laser_gun' }"
            " mesh.flak_turret = mesh.laser_gun gunmodel.flak_turret = { mesh = 'flak_turret' }");
        LookFrom({-200, 0, 50}, {1, 0, -0.2f});
    }
    ~ShipScene() { SetShipMeshSource(nullptr); }
    bool ModelThere() const { return platform::FileExists(source.meshes.at("hawk").path + "/vesk_hawk.cm"); }

    ShipClass* Build(int i) {
        auto* ship = TBaseRenderUnit::Create<ShipClass>(engine);
        engine->AddChild(ship);
        ship->Build("hawk", "hawk" + std::to_string(i), nullptr);
        return ship;
    }
    // A ship in a row before the camera with a gun and a turret on it.
    ShipClass* Armed(int i) {
        ShipClass* ship = Build(i);
        ship->SetPosition({float(i % 10) * 40.0f, float(i / 10) * 40.0f - 100.0f, 0});
        HelperClass* gunPoint = nullptr;
        HelperClass* turretPoint = nullptr;
        if (ship->FindHelper("gun01", gunPoint)) {
            auto* gun = TBaseRenderUnit::Create<CannonClass>(nullptr);
            gun->LoadFromFile("laser_gun", "");
            gunPoint->Attach(gun);
        }
        if (ship->FindHelper("rocket01", turretPoint)) {
            auto* turret = TBaseRenderUnit::Create<TurretClass>(nullptr);
            turret->LoadFromFile("flak_turret");
            turretPoint->Attach(turret);
        }
        return ship;
    }
    void Drop(std::vector<ShipClass*>& ships) {
        for (ShipClass* s : ships) s->Kill();
        ships.clear();
        engine->CleanAndRemoveZeroElementsFromChildsBRUList();
        TEODestroyManager->Flush();
    }
    void Frame() {
        engine->TickTree(16.0f);
        UpdaterManager->Update(16.0f);
        engine->UpdateMatrices(nullptr);
        Draw();
    }

    test::MapShipMeshSource source;
};

// The first ship of a mesh: the model read and its render objects made, the main sphere built.
void BM_BuildFirstShipOfAMesh(benchmark::State& state) {
    ShipScene scene;
    if (!scene.ModelThere()) return state.SkipWithError("no game folder: build the game first");
    std::vector<ShipClass*> ships;
    for (auto _ : state) {
        ships.push_back(scene.Build(0));
        state.PauseTiming();
        scene.Drop(ships);
        CMTreeManager = std::make_unique<CMTreeManagerClass>();
        scene.source.containers.clear();
        state.ResumeTiming();
    }
    state.counters["per_ship_us"] = benchmark::Counter(
        static_cast<double>(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BuildFirstShipOfAMesh)->Unit(benchmark::kMicrosecond);

// 50 ships of a mesh whose model is cached and whose main sphere is stored.
void BM_Build50ShipsFromCachedModels(benchmark::State& state) {
    ShipScene scene;
    if (!scene.ModelThere()) return state.SkipWithError("no game folder: build the game first");
    std::vector<ShipClass*> ships{scene.Build(0)};
    scene.Drop(ships);
    for (auto _ : state) {
        for (int i = 0; i < 50; ++i) ships.push_back(scene.Build(i));
        state.PauseTiming();
        scene.Drop(ships);
        state.ResumeTiming();
    }
    state.counters["per_ship_us"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * 50.0,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Build50ShipsFromCachedModels)->Unit(benchmark::kMicrosecond);

// One frame: the ships tick (collision check, turret aim, jets, lamps), are placed and drawn.
void ShipsFrame(benchmark::State& state, int count) {
    ShipScene scene;
    if (!scene.ModelThere()) return state.SkipWithError("no game folder: build the game first");
    for (int i = 0; i < count; ++i) scene.Armed(i)->GetNozzles(false)->Update(1.0f, 1.0f, 1.0f);
    for (int k = 0; k < 30; ++k) scene.Frame();
    for (auto _ : state) scene.Frame();
}
void BM_FrameWith1Ship(benchmark::State& state) {
    ShipsFrame(state, 1);
}
void BM_FrameWith50Ships(benchmark::State& state) {
    ShipsFrame(state, 50);
}
BENCHMARK(BM_FrameWith1Ship)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameWith50Ships)->Unit(benchmark::kMicrosecond);

} // namespace
