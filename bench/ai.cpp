// One frame of N AI ships deciding and steering: every ship scans (chooses
// its enemy, queues its attack run), checks its range to the enemy, its task
// queue ticks (the steps hand their orders to the ship's physics) and its AI
// unit flies one step. No drawing takes part.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "core/lua_machine.h"
#include "game/ai_models.h"
#include "game/ai_tasks.h"
#include "game/game_functions.h"
#include "game/game_ini_table.h"
#include "game/game_objects.h"
#include "game/game_parts.h"
#include "game/obj_managers.h"
#include "game/player.h"
#include "game/statistics.h"
#include "game/tree_functions.h"
#include "physics/ai_unit.h"
#include "shared/engine_object.h"

namespace vesk {
namespace {

struct AiFleet {
    explicit AiFleet(int n) {
        CreateLuaMachine();
        RegisterGameTreeClasses();
        RegisterGameLogicClasses();
        RegisterGamePartsClasses();
        RegisterGameTreeFunctions();
        RegisterGameLogicFunctions();
        ObjManagersManager = std::make_unique<TObjManagersManager>();
        CreateGameLogicRoots(CreateGameRoot());
        CreateGameGlobalLists();
        CreateGamePartsLists(GlobalObjects);
        CreateTaskSequences(GlobalObjects);
        CreatePlayer(GlobalObjects);
        CreateStatistics();
        ObjManagersManager->createStandartManagers();
        Run("engine_AddVar('fractions', 'pirates') engine_AddVar('fractions', 'player') "
            "engine_SetVar('fractions.pirates.attitudes.player', '10') "
            "function updatePlayerShip() end function setAi() end "
            "engine_AddVar('sequences', 'newAttackManeur') "
            "engine_AddVar('sequences.newAttackManeur', 'a', 'TTaskrelinkDefaultAiObject') "
            "engine_SetVar('sequences.newAttackManeur.a.aiObjString', 'curEnemy') "
            "engine_SetVar('sequences.newAttackManeur.a.time', '0') "
            "engine_AddVar('sequences.newAttackManeur', 'b', 'TTaskoneStepAttackToDefAiObj') "
            "engine_AddVar('sequences.newAttackManeur', 'c', 'TTaskaiEvent') "
            "engine_SetVar('sequences.newAttackManeur.c.eventId', 'werifyAttackDistance')");
        player = Ship("pship", "player", {0, 0, 0});
        Run("engine_SetVar('player.ship', 'pship')");
        base = Ship("base", "", {0, 0, 0});
        base->SOClass()->setValue(kSOClassAnchor);
        for (int i = 0; i < n; ++i) {
            TGameObject* ship = Ship("raider" + std::to_string(i), "pirates", {3000.0f + 40.0f * i, 0, 0});
            AiModelOf(ship)->Delete();
            auto* model = NewGameObject<TGameObjectShipAIModel>("ai", ship);
            model->SetLink("curAnchor", base);
            model->SetNumber("maxAnchorRange", 10000.0f);
            models.push_back(model);
        }
        Frame(16.0f);
    }
    ~AiFleet() {
        for (auto& [unit, ai] : units) {
            unit->SetBPU(nullptr);
            ai->Free();
        }
        if (Statistics) Statistics->Delete();
        GlobalObjects->Delete();
        DeletedObjects->Tick(0.0f);
        DeletedObjects->Free();
        for (auto& [unit, ai] : units) unit->Free();
        TEODestroyManager->Flush();
        ReleaseStandartManagers();
        TEODestroyManager->Flush();
        ObjManagersManager.reset();
        FreeLuaMachine();
    }
    static void Run(const std::string& chunk) { LuaMachine->RunString(chunk); }
    TGameObject* Ship(const std::string& name, const std::string& fraction, Vec3 at) {
        auto* ship = NewGameObject<TGameObject>(name, GlobalObjects->FindChild("obj"));
        ship->SOClass()->setValue(kSOClassShip);
        if (!fraction.empty()) Run("engine_SetVar('obj." + name + ".fraction', '" + fraction + "')");
        TBaseRenderUnit* unit = TBaseRenderUnit::Create<TBaseRenderUnit>(nullptr);
        unit->SetBox({0, 0, 0}, {0, 0, 0});
        TShipPhysicParams r;
        r.maxVelocity = r.speedLimit = 200.0f;
        r.accelerateTime = 2.0f;
        BaseAIUnitClass* ai = BaseAIUnitClass::Init(unit, r);
        Matrix m = unit->GetLocalMatrix();
        MatrixSetTranslation(m, at);
        ai->SetPoseMatrix(m);
        unit->UpdateMatrices(nullptr);
        ship->SetHex(unit);
        ship->Ph()->setValue(ai);
        units.emplace_back(unit, ai);
        return ship;
    }
    static void Frame(float dt) {
        CreatedObjects->Tick(dt);
        Created2Objects->Tick(dt);
        TickedObjects->Tick(dt);
        PackedObjects->Tick(dt);
        DeletedObjects->Tick(dt);
    }
    // Every ship decides and checks its range; the queues run; the ships fly.
    void OneFrame() {
        for (TGameObjectShipAIModel* m : models) {
            m->FireEvent("onScan");
            m->FireEvent("werifyAttackDistance");
        }
        Frame(16.0f);
        for (auto& [unit, ai] : units) {
            ai->Tick(16.0f);
            ai->UpdateOwnerMatrix();
        }
    }
    TGameObject* player = nullptr;
    TGameObject* base = nullptr;
    std::vector<TGameObjectShipAIModel*> models;
    std::vector<std::pair<TBaseRenderUnit*, BaseAIUnitClass*>> units;
};

void BM_AiShipsFrame(benchmark::State& state) {
    AiFleet fleet(static_cast<int>(state.range(0)));
    for (auto _ : state) fleet.OneFrame();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AiShipsFrame)->Arg(1)->Arg(50);

} // namespace
} // namespace vesk
