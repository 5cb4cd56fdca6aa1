// One frame of the demo's full flight HUD (built by its own script) with 50
// enemy ships marked on it and on the radar, the status, target and weapon
// panels running, laid out and drawn through the interface service on the
// null device; and the same with the enemies moving every frame, so that
// each marker places itself anew.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>

#include "core/lua_machine.h"
#include "core/lua_readers.h"
#include "core/services.h"
#include "game/game_functions.h"
#include "game/game_ini_table.h"
#include "game/game_objects.h"
#include "game/game_parts.h"
#include "game/obj_managers.h"
#include "game/player.h"
#include "game/profiles.h"
#include "game/statistics.h"
#include "game/tree_functions.h"
#include "interface/desktop.h"
#include "interface/hud_markers.h"
#include "interface/interface_services.h"
#include "interface/service_router.h"
#include "null_screen.h"
#include "render/device.h"
#include "render/render_unit.h"
#include "render/texture.h"
#include "render/view_camera.h"

using namespace vesk;
using namespace vesk::platform;

namespace {

constexpr int kEnemies = 50;

struct FlightHud {
    // First made, last gone: the device outlives what draws on it.
    bench::NullScreen screen;
    FlightHud() {
        CreateLuaMachine();
        // The content functions the game and the HUD call.
        LuaMachine->RunString(
            "demo = {} function demo.OnInit(n, f) if n == 'hud' then f() end end "
            "function demo.OnTick() end function demo.trace() end mesh = {} "
            "function play_ex() end function SetPPParam() end function updateSelectedShip() end "
            "function updatePlayerShip() end player = {}");

        // The game: the player, its ship and the enemies on plain units before the camera.
        RegisterGameTreeClasses();
        RegisterGameTreeFunctions();
        RegisterGameLogicClasses();
        RegisterGamePartsClasses();
        RegisterProfileClasses();
        ObjManagersManager = std::make_unique<TObjManagersManager>();
        TGlobalObjects* root = CreateGameRoot();
        CreateGameLogicRoots(root);
        CreateGameGlobalLists();
        CreateStatistics();
        CreatePlayer(GlobalObjects);
        camera = std::make_shared<BasicViewCamera>();
        camera->SetPose({0, 0, 0}, {1, 0, 0});
        SetDefaultViewCamera(camera);
        units = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
        TBaseGameObject* obj = GlobalObjects->FindChild("obj");
        auto ship = [&](const std::string& name, Vec3 at) {
            auto* o = NewGameObject<TGameObject>(name, obj);
            TBaseRenderUnit* u = TBaseRenderUnit::Create<TBaseRenderUnit>(units);
            units->AddChild(u);
            u->SetBox({-10, -10, -10}, {10, 10, 10});
            u->SetPosition(at);
            u->UpdateMatrices(nullptr);
            o->SetHex(u);
            return o;
        };
        TGameObject* own = ship("pship", {0, 0, 0});
        if (auto* link = dynamic_cast<TGameObjectLinkParam*>(Player->FindChild("ship"))) link->setValue(own);

        InstallInterfaceServices(services);
        services.desktop->InitCore();
        services.desktop->Create();
        for (const char* part : {"_desktop.lua", "hud.lua"})
            LuaMachine->RunString(
                "dofile(" + LuaQuote(std::string(VESK_SOURCE_DIR) + "/content/Scripts/demo/" + part) + ")");
        services.desktop->SetScriptsLoaded();
        services.desktop->Upload();
        services.desktop->EndStartup();
        for (int i = 0; i < kEnemies; ++i) {
            // A wide cone ahead: most on the screen, some off it.
            const float a = static_cast<float>(i) * 0.25f;
            TGameObject* e = ship("enemy" + std::to_string(i),
                                  {800.0f + 60.0f * i, 900.0f * std::sin(a), 500.0f * std::cos(a * 1.3f)});
            enemies.push_back(e);
            RunService({"HELPER", "ADD", "ENEMY", std::to_string(e->GetId())});
        }
        LuaMachine->RunString("engine_Desktop('FlightHud::VISIBLE', '1')");
        RunService({"DESKTOP", "MODE", "IMGAME"});
        RunService({"TARGET", "NEARESTENEMY"});
        Frame();
        RunService({"TARGET", "NEARESTENEMY"});
    }
    ~FlightHud() {
        services.desktop->Release();
        services.desktop->FreeCore();
        if (Statistics) Statistics->Delete();
        GlobalObjects->Delete();
        DeletedObjects->Tick(0.0f);
        DeletedObjects->Free();
        units->DiscardBRU();
        units->Free();
        TEODestroyManager->Flush();
        ObjManagersManager.reset();
        SetDefaultViewCamera(nullptr);
        FreeLuaMachine();
    }
    void Frame() {
        services.desktop->FrameTick(16);
        services.desktop->Update();
        services.desktop->Render();
    }
    int Markers() {
        TSimpleNode* layer = CurrentDesktop()->FindInTree("EnemyAHLayer", false);
        int shown = 0;
        for (int i = 0; layer && i < layer->ChildCount(); ++i)
            if (auto* m = dynamic_cast<TAHSelector*>(layer->ChildAt(i));
                m && m->State() != TAHSelector::kHidden)
                ++shown;
        return shown;
    }

    CoreServices services;
    std::shared_ptr<BasicViewCamera> camera;
    TBaseRenderUnit* units = nullptr;
    std::vector<TGameObject*> enemies;
};

void BM_FlightHudFrame(benchmark::State& state) {
    FlightHud hud;
    for (auto _ : state) hud.Frame();
    state.counters["markers"] = kEnemies;
    state.counters["shown"] = hud.Markers();
}
BENCHMARK(BM_FlightHudFrame)->Unit(benchmark::kMicrosecond);

void BM_FlightHudFrameShipsMoving(benchmark::State& state) {
    FlightHud hud;
    float t = 0;
    for (auto _ : state) {
        state.PauseTiming();
        t += 0.016f;
        for (size_t i = 0; i < hud.enemies.size(); ++i) {
            auto* u = dynamic_cast<TBaseRenderUnit*>(hud.enemies[i]->GetHex());
            Vec3 p;
            u->GetPosition(p);
            p.y += 20.0f * std::sin(t + static_cast<float>(i));
            u->SetPosition(p);
            u->UpdateMatrices(nullptr);
        }
        state.ResumeTiming();
        hud.Frame();
    }
    state.counters["markers"] = kEnemies;
    state.counters["shown"] = hud.Markers();
}
BENCHMARK(BM_FlightHudFrameShipsMoving)->Unit(benchmark::kMicrosecond);

} // namespace
