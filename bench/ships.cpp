// One frame of the game side of N ships: their parameter ticks and object
// ticks (overheat, damage effects) through the frame's lists, and one pooled
// energy hit on each.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "core/lua_machine.h"
#include "game/damage.h"
#include "game/game_functions.h"
#include "game/game_ini_table.h"
#include "game/game_objects.h"
#include "game/mesh_tables.h"
#include "game/obj_managers.h"
#include "game/statistics.h"
#include "game/tree_functions.h"

namespace vesk {
namespace {

struct Fleet {
    explicit Fleet(int n) {
        CreateLuaMachine();
        RegisterGameTreeClasses();
        RegisterGameLogicClasses();
        RegisterGameTreeFunctions();
        ObjManagersManager = std::make_unique<TObjManagersManager>();
        CreateGameLogicRoots(CreateGameRoot());
        CreateGameGlobalLists();
        CreateGameMeshTable(GlobalObjects);
        CreateStatistics();
        ObjManagersManager->createStandartManagers();
        TBaseGameObject* obj = GlobalObjects->FindChild("obj");
        for (int i = 0; i < n; ++i) {
            auto* ship = NewGameObject<TGameObject>("ship" + std::to_string(i), obj);
            ship->SOClass()->setValue(2);
            for (const char* p : {"shield", "armor", "durability", "defencefactor", "temperature"}) {
                ship->Param(p)->Max()->setValue(1.0e6f);
                ship->Param(p)->Cur()->setValue(1.0e6f);
            }
            ship->Param("temperature")->Cur()->setValue(0.0f);
            ship->Param("shield")->Speed()->setValue(1.0f);
            ships.push_back(ship);
        }
        Frame(16.0f); // created: the ships tick from now on
    }
    ~Fleet() {
        if (Statistics) Statistics->Delete();
        GlobalObjects->Delete();
        DeletedObjects->Tick(0.0f);
        DeletedObjects->Free();
        TEODestroyManager->Flush();
        ReleaseStandartManagers();
        TEODestroyManager->Flush();
        ObjManagersManager.reset();
        FreeLuaMachine();
    }
    static void Frame(float dt) {
        CreatedObjects->Tick(dt);
        Created2Objects->Tick(dt);
        TickedObjects->Tick(dt);
        PackedObjects->Tick(dt);
        DeletedObjects->Tick(dt);
    }
    void HitAll() {
        for (TGameObject* ship : ships) {
            auto* hit =
                static_cast<TDamageEffect*>(ObjManagersManager->GetObject(TDamageEnergy::StaticClass()));
            hit->ReInit("hit", ship->Effects());
            hit->SetAmount(DamageAmount::shieldDamage, 1.0f);
            hit->OnEnable()->SetEventData(ship);
            hit->OnEnable()->Fire();
        }
    }
    std::vector<TGameObject*> ships;
};

void BM_ShipsFrame(benchmark::State& state) {
    Fleet fleet(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        fleet.HitAll();
        Fleet::Frame(16.0f);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ShipsFrame)->Arg(1)->Arg(50);

} // namespace
} // namespace vesk
