#include "game/ai_helpers.h"

#include "game/game_parts.h"
#include "game/obj_managers.h"
#include "game/params.h"
#include "game/scene_object.h"
#include "physics/ai_unit.h"
#include "render/render_unit.h"
#include "shared/fast_cast.h"
#include "shared/helpers.h"

namespace vesk {

TBaseRenderUnit* UnitOf(const TEngineObject* obj) {
    // Asked for every ship by the HUD and the AI each frame: the casts are the remembered kind.
    auto* so = CachedDynamicCast<const TBaseGameSceneObject>(obj);
    return so ? CachedDynamicCast<TBaseRenderUnit>(so->GetHex()) : nullptr;
}

BaseAIUnitClass* ShipAIUnit(TBaseGameObject* ship) {
    auto* link = ship ? dynamic_cast<TGameObjectFreeLink*>(ship->FindChild("ph")) : nullptr;
    return link ? dynamic_cast<BaseAIUnitClass*>(link->GetValue()) : nullptr;
}

TBaseGameObject* ObjectOfUnit(const TBaseRenderUnit* unit) {
    TBaseGameObject* found = nullptr;
    if (unit)
        ForEachChildOf(GlobalList("obj"), [&](TBaseGameObject* obj) {
            if (!found && UnitOf(obj) == unit) found = obj;
        });
    return found;
}

int32_t SOClassOf(const TEngineObject* obj) {
    auto* so = dynamic_cast<const TBaseGameSceneObject*>(obj);
    return so && so->SOClass() ? so->SOClass()->GetValue() : 0;
}

float CentreRange(TBaseRenderUnit* a, TBaseRenderUnit* b) {
    return static_cast<float>(BRUDistance(a, b));
}

float SurfaceRange(TBaseRenderUnit* a, TBaseRenderUnit* b) {
    return static_cast<float>(BRUSurfaceDistance(a, b));
}

namespace {
TBaseGameObject* FactionOf(const TBaseGameObject* obj) {
    auto* link = obj && obj->GetObjects()
                     ? dynamic_cast<TGameObjectLinkParam*>(obj->GetObjects()->Find("fraction"))
                     : nullptr;
    return link ? link->GetLinked() : nullptr;
}
} // namespace

float AttitudeOf(const TBaseGameObject* from, const TBaseGameObject* to) {
    auto* own = dynamic_cast<TFraction*>(FactionOf(from));
    TBaseGameObject* other = FactionOf(to);
    if (!own || !other) return kNeutralAttitude;
    return own->Attitude(other->GetName());
}

bool IsFriendly(const TBaseGameObject* from, const TBaseGameObject* to) {
    TBaseGameObject* own = FactionOf(from);
    return (own && own == FactionOf(to)) || AttitudeOf(from, to) > kNeutralAttitude;
}

std::string AiAncestry(const TBaseGameObject* node) {
    std::string text;
    for (const TBaseGameObject* p = node; p; p = p->GetParent()) text = p->GetName() + "->" + text;
    return text;
}

TGameObjectParam* AiParam(const TBaseGameObject* obj, const char* name) {
    return FindObjectParam(obj, name);
}

float AiParamCur(const TBaseGameObject* obj, const char* name) {
    TGameObjectParam* p = AiParam(obj, name);
    return p && p->Cur() ? p->Cur()->GetValue() : 0.0f;
}

bool PatrolNumber(const std::string& name, int32_t& out) {
    return name.size() > 6 && TryParseInt32(std::string_view(name).substr(6), out);
}

TBaseGameObject* NewPooledObject(const TGameClass& cls, const std::string& name, TBaseGameObject* parent) {
    if (ObjManagersManager)
        if (TBaseGameObject* obj = ObjManagersManager->GetObject(cls)) {
            obj->ReInit(name, parent);
            return obj;
        }
    return NewGameObject(cls, name, parent);
}

} // namespace vesk
