// Game logic built on the tree: a task queue running pooled tasks one after
// the other, and scene objects made and deleted from their pool against made
// and freed anew each time.
#include <benchmark/benchmark.h>

#include <memory>

#include "core/lua_machine.h"
#include "game/game_functions.h"
#include "game/game_ini_table.h"
#include "game/game_object.h"
#include "game/obj_managers.h"
#include "game/scene_object.h"
#include "game/statistics.h"
#include "game/task_queue.h"
#include "game/tree_functions.h"
#include "shared/engine_object.h"

namespace vesk {
namespace {

struct World {
    World() {
        CreateLuaMachine();
        RegisterGameTreeClasses();
        RegisterGameLogicClasses();
        ObjManagersManager = std::make_unique<TObjManagersManager>();
        CreateGameLogicRoots(CreateGameRoot());
        CreateGameGlobalLists();
        CreateStatistics();
        ship = NewGameObject<TBaseGameObjectList>("ship", GlobalObjects);
        queue = NewGameObject<TGameObjTaskManager>("tasks", ship);
    }
    ~World() {
        if (Statistics) Statistics->Delete();
        GlobalObjects->Delete();
        DeletedObjects->Tick(0.0f);
        DeletedObjects->Free();
        TEODestroyManager->Flush();
        ObjManagersManager.reset();
        FreeLuaMachine();
    }
    TBaseGameObject* ship;
    TGameObjTaskManager* queue;
};

// Per task: taken from its pool, appended, started, finished, back to its pool.
void BM_TaskQueueRun(benchmark::State& state) {
    World w;
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        for (int i = 0; i < n; ++i) {
            auto* t = static_cast<TGameObjTask*>(ObjManagersManager->GetObject(TGameObjTask::StaticClass()));
            t->ReInit("t", w.queue);
            t->Append();
        }
        w.queue->StartNext();
        while (w.queue->CurTask()) w.queue->StopCurTask();
        DeletedObjects->Tick(0.0f);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_TaskQueueRun)->Arg(100);

void BM_SceneObjectFromPool(benchmark::State& state) {
    World w;
    for (auto _ : state) {
        TBaseGameObject* o = ObjManagersManager->GetObject(TBaseGameSceneObject::StaticClass());
        o->ReInit("rock", w.ship);
        o->Delete();
        DeletedObjects->Tick(0.0f);
        CreatedObjects->Tick(0.0f);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SceneObjectFromPool);

void BM_SceneObjectMadeAnew(benchmark::State& state) {
    World w;
    for (auto _ : state) {
        TBaseGameObject* o = NewGameObject<TBaseGameSceneObject>("rock", w.ship);
        o->Delete();
        DeletedObjects->Tick(0.0f);
        CreatedObjects->Tick(0.0f);
        TEODestroyManager->Flush();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SceneObjectMadeAnew);

} // namespace
} // namespace vesk
