#include "game/physics_link.h"

#include "game/events.h"
#include "game/game_object.h"
#include "game/params.h"
#include "physics/ai_unit.h"
#include "physics/ph_script.h"
#include "physics/player_physic.h"

namespace vesk {

namespace {

// The AI unit held by the object at that path, nullptr when there is none.
BaseAIUnitClass* ObjectAI(const std::string& id) {
    TBaseGameObject* object = FindVarByPath(id);
    auto* link = object ? dynamic_cast<TGameObjectFreeLink*>(object->FindChild("ph")) : nullptr;
    return link ? dynamic_cast<BaseAIUnitClass*>(link->GetValue()) : nullptr;
}

} // namespace

void InstallPhysicsLink() {
    GetPhysicsScriptLinks().objectAI = ObjectAI;
    SetCollisionEventFirer([](IEngineObject* ours, IEngineObject* theirs) {
        auto* own = dynamic_cast<TGameEvent*>(ours ? ours->GetInstance() : nullptr);
        auto* other = dynamic_cast<TGameEvent*>(theirs ? theirs->GetInstance() : nullptr);
        if (!own || !other) return;
        own->SetEventData(other->GetEventObj());
        own->Fire();
    });
}

} // namespace vesk
