#include "interface/hud_world.h"

#include <cmath>
#include <stdexcept>

#include "core/lua_readers.h"
#include "game/ai_helpers.h"
#include "game/events.h"
#include "game/game_class.h"
#include "game/game_object.h"
#include "game/object_effects.h"
#include "game/params.h"
#include "game/player.h"
#include "game/player_regimes.h"
#include "game/scene_object.h"
#include "interface/interface_tools.h"
#include "interface/sens_node.h"
#include "physics/ai_unit.h"
#include "render/render_unit.h"
#include "render/view_camera.h"
#include "shared/errors.h"
#include "shared/fast_cast.h"
#include "shared/helpers.h"

namespace vesk {

namespace {

// The HUD asks the same few kinds of node every frame: its casts are the remembered kind.
TBaseGameObject* AsGameObject(TEngineObject* o) {
    return CachedDynamicCast<TBaseGameObject>(o);
}

// The object a link child holds, whichever kind of link it is.
TEngineObject* LinkedBy(TBaseGameObject* link) {
    if (auto* l = CachedDynamicCast<TGameObjectLinkParam>(link)) return l->GetLinked();
    if (auto* l = CachedDynamicCast<TGameObjectFreeLink>(link)) return l->GetValue();
    return nullptr;
}

TGameObjectFreeLink* RocketTargetLink() {
    TBaseGameObject* ship = HudPlayerShip();
    return ship ? dynamic_cast<TGameObjectFreeLink*>(ship->FindChild("rocketTarget")) : nullptr;
}

} // namespace

TBaseGameObject* HudPlayer() {
    return GlobalObjects ? GlobalObjects->Player() : nullptr;
}

namespace {
// The game's own player keeps its lookups; one the scripts built by hand is asked.
TBaseGameObject* PlayerShipNode(TBaseGameObject* player) {
    return IsExactType<TPlayer>(*player) ? static_cast<TPlayer*>(player)->ShipNode()
                                         : player->FindChild("ship");
}
TBaseGameObject* PlayerSelectedNode(TBaseGameObject* player) {
    return IsExactType<TPlayer>(*player) ? static_cast<TPlayer*>(player)->SelectedNode()
                                         : player->FindChild("selected");
}
} // namespace

TBaseGameObject* HudPlayerShip() {
    TBaseGameObject* player = HudPlayer();
    return player ? AsGameObject(LinkedBy(PlayerShipNode(player))) : nullptr;
}

TEngineObject* HudSelected() {
    TBaseGameObject* player = HudPlayer();
    return player ? LinkedBy(PlayerSelectedNode(player)) : nullptr;
}

void HudSetSelected(TEngineObject* object) {
    if (auto* player = dynamic_cast<TPlayer*>(HudPlayer())) {
        player->SelectTarget(object);
        return;
    }
    // A player the scripts built by hand keeps only the link.
    TBaseGameObject* player = HudPlayer();
    TBaseGameObject* link = player ? player->FindChild("selected") : nullptr;
    if (auto* l = dynamic_cast<TGameObjectLinkParam*>(link))
        l->setValue(dynamic_cast<TBaseGameObject*>(object));
    else if (auto* f = dynamic_cast<TGameObjectFreeLink*>(link))
        f->setValue(object);
}

std::string HudShipRegime() {
    auto* player = dynamic_cast<TPlayer*>(HudPlayer());
    IPlayerShipRegime* regime = player && player->GetShip() ? player->GetShipRegime() : nullptr;
    return regime ? regime->RegimeClass().name : std::string();
}

void HudSetShipRegime(const std::string& className) {
    auto* player = dynamic_cast<TPlayer*>(HudPlayer());
    const TGameClass* cls = FindGameClassQuiet(className);
    if (!player || !player->GetShip() || !cls) return;
    // A ship without a regime flies in the base one, from which it switches.
    player->GetShipRegime();
    player->SetShipRegime(*cls);
}

TEngineObject* HudRocketTarget() {
    TGameObjectFreeLink* link = RocketTargetLink();
    return link ? link->GetValue() : nullptr;
}

void HudSetRocketTarget(TEngineObject* target) {
    if (TGameObjectFreeLink* link = RocketTargetLink()) link->setValue(target);
}

TGameObjectParam* HudParam(TEngineObject* object, const std::string& name) {
    return name.empty() ? nullptr : FindObjectParam(AsGameObject(object), name);
}

float HudParamFraction(TGameObjectParam* p) {
    if (!p || !p->Cur() || !p->Max()) return 0.0f;
    const float max = p->Max()->GetValue();
    return max != 0.0f ? p->Cur()->GetValue() / max : 0.0f;
}

float HudValue(TEngineObject* object, const std::string& name, float fallback) {
    TBaseGameObject* o = AsGameObject(object);
    return HudChildValue(o ? o->FindChild(name) : nullptr, fallback);
}

float HudChildValue(TBaseGameObject* child, float fallback) {
    if (!child) return fallback;
    if (auto* p = CachedDynamicCast<TGameObjectParam>(child))
        return p->Cur() ? p->Cur()->GetValue() : fallback;
    if (auto* i = CachedDynamicCast<TGameObjectIntParam>(child)) return static_cast<float>(i->GetValue());
    if (auto* s = CachedDynamicCast<TGameObjectSubParam>(child)) return s->GetValue();
    std::string text;
    child->stringValue(text);
    double v = 0;
    return TryParseFloatVal(text, v) ? static_cast<float>(v) : fallback;
}

THudPathRef::THudPathRef(std::string_view path) {
    for (size_t start = 0;;) {
        const size_t dot = path.find('.', start);
        names_.emplace_back(
            path.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    steps_.resize(names_.size());
}

TBaseGameObject* THudPathRef::Find(TBaseGameObject* root) {
    TBaseGameObject* node = root;
    for (size_t i = 0; node && i < names_.size(); ++i) node = steps_[i].Find(node, names_[i]);
    return node;
}

std::string HudText(TEngineObject* object, const std::string& name) {
    TBaseGameObject* o = AsGameObject(object);
    TBaseGameObject* child = o ? o->FindChild(name) : nullptr;
    std::string text;
    if (child) child->stringValue(text);
    return text;
}

bool HudFireEvent(TEngineObject* object, const std::string& name) {
    TBaseGameObject* o = AsGameObject(object);
    if (!o) return false;
    TGameEvent* e = nullptr;
    if (TBaseGameObject* events = o->FindChild("events"))
        e = dynamic_cast<TGameEvent*>(events->FindChild(name));
    if (!e) e = dynamic_cast<TGameEvent*>(o->FindChild(name));
    if (!e) return false;
    e->Fire();
    return true;
}

TBaseRenderUnit* HudRenderUnit(TEngineObject* object) {
    return UnitOf(object);
}

BaseAIUnitClass* HudShipAI(TEngineObject* object) {
    TBaseRenderUnit* unit = HudRenderUnit(object);
    IRenderUnitAI* ai = nullptr;
    if (!unit || !unit->GetBPU(ai)) return nullptr;
    return dynamic_cast<BaseAIUnitClass*>(ai);
}

float HudSpeed(TEngineObject* object) {
    BaseAIUnitClass* ai = HudShipAI(object);
    return ai ? ai->GetSpeed() : 0.0f;
}

bool HudSurfaceDistance(TEngineObject* a, TEngineObject* b, int& distance) {
    TBaseRenderUnit* ua = HudRenderUnit(a);
    TBaseRenderUnit* ub = HudRenderUnit(b);
    if (!ua || !ub) return false;
    Vec3 pa, pb;
    ua->GetPosition(pa);
    ub->GetPosition(pb);
    distance = static_cast<int>(
        std::lround(Vec3Length(Vec3Sub(pa, pb)) - ua->GetBSphereRadius() - ub->GetBSphereRadius()));
    return true;
}

bool HudScreenPoint(TEngineObject* object, float& x, float& y, float& depth) {
    TBaseRenderUnit* unit = HudRenderUnit(object);
    IViewCamera* camera = unit ? unit->GetCamera() : nullptr;
    if (!camera) return false;
    static const Matrix identity;
    const ProjectionViewport virtualScreen{0, 0, 1024, 768, 0, 1};
    const Matrix view = camera->GetViewMatrix();
    Vec3 pos;
    unit->GetPosition(pos);
    const Vec3 p = Vec3Project(pos, virtualScreen, camera->GetProjMatrix(), view, identity);
    depth = Vec3TransformPoint(pos, view).z;
    x = p.x;
    y = p.y;
    if (depth < 0) { // the projection turns what is behind the eye upside down
        x = 1024.0f - x;
        y = 768.0f - y;
    }
    return true;
}

float HudScreenSize(TEngineObject* object) {
    TBaseRenderUnit* unit = HudRenderUnit(object);
    if (!unit) return 0.0f;
    unit->UpdateScreenPos();
    return std::fabs(unit->GetScreenSize());
}

std::vector<TEngineObject*> HudLinkedObjects(TEngineObject* object, const std::string& listName) {
    std::vector<TEngineObject*> out;
    TBaseGameObject* o = AsGameObject(object);
    TBaseGameObject* list = o ? o->FindChild(listName) : nullptr;
    if (!list) return out;
    int32_t cursor = 0;
    for (TBaseGameObject* entry = nullptr; list->Next(cursor, entry);)
        if (TEngineObject* linked = LinkedBy(entry)) out.push_back(linked);
    return out;
}

TEngineObject* HudObjectFromHex(const std::string& text, const char* context) {
    int32_t id = 0;
    try {
        id = PropertyInt(text);
    } catch (const std::exception&) {
        id = 0;
    }
    TEngineObject* o = id > 0 ? FindEngineObjectAs<TEngineObject>(id) : nullptr;
    if (!o) InterfaceFault(std::string(context) + ": ( iobj as IEngineObject) = nil", 2);
    return o;
}

std::string HudObjectName(TEngineObject* object) {
    TBaseGameObject* o = AsGameObject(object);
    return o ? o->GetName() : std::string();
}

} // namespace vesk
