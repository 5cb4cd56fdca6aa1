#pragma once
// Ships, anchors and the player over plain units placed by hand: what the AI
// measures is the distance between unit positions (the units have no
// bounding spheres, so surface and centre distances agree). Ships may carry
// a real AI unit for the steps that steer.
#include <string>
#include <utility>
#include <vector>

#include "game/ai_anchors.h"
#include "game/ai_helpers.h"
#include "game/ai_models.h"
#include "game/ai_tasks.h"
#include "game/game_constants.h"
#include "game/game_parts.h"
#include "game/loaded_data.h"
#include "game/player.h"
#include "game/profiles.h"
#include "physics/ai_unit.h"
#include "ships_fixture.h"

namespace vesk::test {

class AiTest : public ShipsTest {
protected:
    void SetUp() override {
        ShipsTest::SetUp();
        RegisterGamePartsClasses();
        RegisterProfileClasses();
        CreatePlayerSettings(GlobalObjects);
        CreateTaskSequences(GlobalObjects);
        CreateGamePartsLists(GlobalObjects);
        CreatePlayer(GlobalObjects);
        ForgetTrustedEventCode();
        Run("ai = { fighter = { engineType = 'TGameObjectShipAIModel' }, heavy = { engineType = "
            "'THeavyShipAiModel' }, advanced = { engineType = 'TGameObjectAdvancedAiModel' }, dummy = { "
            "engineType = 'TGameObjectEmptyShipAIModel' } } "
            "function length(t) if t == nil then return 0 end local n = 0 for _ in pairs(t) do n = n + 1 end "
            "return n end "
            "setAiCalls = '' function setAi(p, n) setAiCalls = setAiCalls .. p .. ' ' .. n .. ';' end "
            "player = {} selectedCalls = 0 function updateSelectedShip() selectedCalls = selectedCalls + 1 "
            "end "
            "function updatePlayerShip() end");
    }
    void TearDown() override {
        for (auto& [unit, ai] : ais_) {
            unit->SetBPU(nullptr);
            ai->Free();
        }
        ais_.clear();
        ShipsTest::TearDown();
    }

    // An object with a unit at a point; SOClass 2 unless told otherwise.
    TGameObject* Place(const std::string& name, Vec3 at, int soClass = 2, const std::string& fraction = "") {
        TGameObject* o = Ship(name);
        Run("engine_SetVar('obj." + name + ".SOClass', '" + std::to_string(soClass) + "')");
        if (!fraction.empty()) Run("engine_SetVar('obj." + name + ".fraction', '" + fraction + "')");
        Frame();
        Move(o, at);
        return o;
    }
    static void Move(TBaseGameObject* o, Vec3 at) {
        TBaseRenderUnit* u = UnitOf(o);
        u->SetBox({0, 0, 0}, {0, 0, 0}); // no bounding radius: surface and centre distances agree
        u->SetPosition(at);
        u->UpdateMatrices(nullptr);
    }
    // The ship steered by an AI unit of its own.
    BaseAIUnitClass* GiveAI(TGameObject* o) {
        TShipPhysicParams r;
        r.maxVelocity = r.speedLimit = 100.0f;
        r.accelerateTime = 2.0f;
        TBaseRenderUnit* unit = UnitOf(o);
        BaseAIUnitClass* ai = BaseAIUnitClass::Init(unit, r);
        ais_.emplace_back(unit, ai);
        o->Ph()->setValue(ai);
        return ai;
    }
    // The object's model after "ai_model" names it.
    template <class Model = TGameObjectShipAIModel>
    Model* Fly(const std::string& name, const char* model = "fighter") {
        Run("engine_SetVar('obj." + name + ".ai_model', '" + model + "')");
        return dynamic_cast<Model*>(AiModelOf(FindVarByPath("obj." + name)));
    }
    // Two factions hostile to each other, a third friendly to the first.
    void Factions() {
        Run("engine_AddVar('fractions', 'pirates') engine_AddVar('fractions', 'player') "
            "engine_AddVar('fractions', 'smugglers') "
            "engine_SetVar('fractions.pirates.attitudes.player', '10') "
            "engine_SetVar('fractions.player.attitudes.pirates', '10') "
            "engine_SetVar('fractions.pirates.attitudes.smugglers', '80')");
    }
    void SetPlayerShip(const std::string& name) { Run("engine_SetVar('player.ship', '" + name + "')"); }
    static std::string CurTaskName(TBaseGameObject* ship) {
        auto* q = dynamic_cast<TGameObjTaskManager*>(ship->FindChild("tasks"));
        return q && q->CurTask() ? q->CurTask()->GetName() : std::string();
    }
    // The name of the running task up to its id ("" when none runs).
    static std::string Queued(TBaseGameObject* ship) {
        std::string n = CurTaskName(ship);
        while (!n.empty() && std::isdigit(static_cast<unsigned char>(n.back()))) n.pop_back();
        return n;
    }
    static void Link(TGameObjectEmptyShipAIModel* m, const char* name, TEngineObject* obj) {
        m->SetLink(name, obj);
    }

    std::vector<std::pair<TBaseRenderUnit*, BaseAIUnitClass*>> ais_;
};

} // namespace vesk::test
