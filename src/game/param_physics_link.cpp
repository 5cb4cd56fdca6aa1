// What the engine and versatility parameters of a game object push to the
// physics of its ship: the AI steering unit of the object's render unit.
#include "game/game_object.h"
#include "game/game_objects.h"
#include "game/mesh_tables.h"
#include "game/params.h"
#include "game/physic_params_source.h"
#include "game/scene_object.h"
#include "physics/ai_unit.h"

#include <iterator>
#include <type_traits>

namespace vesk {

namespace {

// The AI steering unit of a scene object's render unit; nullptr without one.
BaseAIUnitClass* AIUnitOf(TBaseGameObject* gameObject) {
    auto* so = dynamic_cast<TBaseGameSceneObject*>(gameObject);
    auto* unit = so ? dynamic_cast<TBaseRenderUnit*>(so->GetHex()) : nullptr;
    IRenderUnitAI* ai = nullptr;
    if (!unit || !unit->GetBPU(ai)) return nullptr;
    return dynamic_cast<BaseAIUnitClass*>(ai);
}

// The minimum and maximum physics values of the object's mesh description
// ("minmax_ph_param"); false when it has none.
bool MinMaxSetOf(TBaseGameObject* gameObject, TPhysicMinMaxSet& set) {
    auto* object = dynamic_cast<TGameObject*>(gameObject);
    TGameMesh* mesh = object && object->MeshLink() ? object->MeshLink()->GetMesh() : nullptr;
    TBaseGameObject* list = mesh ? mesh->FindChild("minmax_ph_param") : nullptr;
    if (!list) return false;
    constexpr auto& names = TGameMinMaxPhysicParams::kValueNames;
    static_assert(std::size(names) == std::extent_v<decltype(TPhysicMinMaxSet::min)>);
    for (size_t i = 0; i < std::size(names); ++i) {
        auto* value = dynamic_cast<TGameMinMaxParam*>(list->FindChild(names[i]));
        if (!value || !value->Min() || !value->Max()) return false;
        set.min[i] = value->Min()->GetValue();
        set.max[i] = value->Max()->GetValue();
    }
    return true;
}

class GameParamPhysicsLink : public IParamPhysicsLink {
public:
    // The ship the global "player" links as its own.
    bool IsPlayerShip(TBaseGameObject* gameObject) override {
        TBaseGameObject* player = GlobalObjects ? GlobalObjects->Player() : nullptr;
        TBaseGameObject* ship = player ? player->FindChild("ship") : nullptr;
        if (auto* link = dynamic_cast<TGameObjectLinkParam*>(ship)) return link->GetLinked() == gameObject;
        if (auto* free = dynamic_cast<TGameObjectFreeLink*>(ship)) return free->GetValue() == gameObject;
        return false;
    }
    // An NPC ship flies at cur percent of its "physic_params" maximum
    // velocity; the player's ship takes cur as the share of its own.
    void PushEngine(TBaseGameObject* gameObject, float cur) override {
        BaseAIUnitClass* ai = AIUnitOf(gameObject);
        if (!ai) return;
        if (IsPlayerShip(gameObject)) {
            ai->SetSpeedPercent(cur);
            return;
        }
        GamePhysicParamsSource params(gameObject->FindChild("physic_params"));
        float maxVelocity = 0.0f;
        if (params.GetNumber("ph_MaxVelocity", maxVelocity)) ai->SetSpeed(0.01f * cur * maxVelocity);
    }
    // The player ship's handling: its turning and roll values at cur percent
    // between the minimum and maximum of its mesh description.
    void PushVersatility(TBaseGameObject* gameObject, float cur) override {
        BaseAIUnitClass* ai = AIUnitOf(gameObject);
        TPhysicMinMaxSet set;
        if (ai && MinMaxSetOf(gameObject, set)) ai->ApplyPhParamsPercent(set, cur);
    }
};

} // namespace

void InstallParamPhysicsLink() {
    static GameParamPhysicsLink link;
    SetParamPhysicsLink(&link);
}

} // namespace vesk
