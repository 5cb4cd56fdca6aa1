#include "game/range_effects.h"

#include <cmath>
#include <vector>

#include "game/ai_helpers.h"
#include "game/combat_world.h"
#include "game/game_objects.h"
#include "game/params.h"
#include "game/projectiles.h"
#include "game/rockets.h"
#include "game/scene_object.h"
#include "render/render_unit.h"

namespace vesk {

namespace {

// The reach of a link: its own, or its object's bounding radius (kept).
float ReachOf(TGameObjectRangedLink* link, TBaseRenderUnit* unit) {
    TGameObjectSubParam* radius = link->Radius();
    if (!radius) return 0.0f;
    if (radius->GetValue() == 0.0f) radius->setValue(UnitRadius(unit));
    return radius->GetValue();
}

std::vector<TGameObjectRangedLink*> LinksOf(TBaseGameObject* list) {
    std::vector<TGameObjectRangedLink*> out;
    ForEachChildOf(list, [&](TBaseGameObject* c) {
        if (auto* l = dynamic_cast<TGameObjectRangedLink*>(c)) out.push_back(l);
    });
    return out;
}

// True when the event carries Lua code of its own.
bool HasCode(TGameEvent* e) {
    if (!e) return false;
    std::string code;
    e->stringValue(code);
    for (char c : code)
        if (static_cast<unsigned char>(c) > ' ') return true;
    return false;
}

} // namespace

// ---- links ----------------------------------------------------------------------------------------

void TGameObjectRangedLink::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    NewGameObject<TGameObjectLink>("obj", this);
    NewGameObject<TGameObjectSubParam>("radius", this);
}

TBaseGameObject* TGameObjectRangedLink::Object() const {
    auto* link = Child<TGameObjectLinkParam>(this, "obj");
    TBaseGameObject* o = link ? link->GetLinked() : nullptr;
    return o && !o->IsDeleted() ? o : nullptr;
}

TGameObjectSubParam* TGameObjectRangedLink::Radius() const {
    return Child<TGameObjectSubParam>(this, "radius");
}

void TGameObjsLinksList::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    SetDefaultChildClass(&TGameObjectRangedLink::StaticClass());
}

void TGameObjsLinksList::DropLost() {
    for (TGameObjectRangedLink* link : LinksOf(this))
        if (!link->Object()) link->Delete();
    Pack();
}

// ---- TGameRangeEffect --------------------------------------------------------------------------------

void TGameRangeEffect::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectEffect::Create(name, parent);
    AddParams(this, {{"inRadiusAll", ParamKind::Int},
                     {"inRadiusSingle", ParamKind::Int},
                     {"outRadiusAll", ParamKind::Int}});
    NewGameObject<TGameObjsLinksList>("objs1", this);
    NewGameObject<TGameObjsLinksList>("objs2", this);
    NewGameObject<TGameObjectFreeLink>("funcInRange", this);
    NewGameObject<TGameObjectFreeLink>("funcOutRange", this);
}

TGameObjsLinksList* TGameRangeEffect::Objs1() const {
    return Child<TGameObjsLinksList>(this, "objs1");
}
TGameObjsLinksList* TGameRangeEffect::Objs2() const {
    return Child<TGameObjsLinksList>(this, "objs2");
}
int32_t TGameRangeEffect::InRadiusAll() const {
    return IntOf(this, "inRadiusAll");
}
int32_t TGameRangeEffect::OutRadiusAll() const {
    return IntOf(this, "outRadiusAll");
}

void TGameRangeEffect::onEnableFunc(TEngineObject* obj, TEngineObject* data) {
    TGameObjectEffect::onEnableFunc(obj, data);
    if (OnTick()) OnTick()->Activate();
}

void TGameRangeEffect::onDisableFunc(TEngineObject* obj, TEngineObject* data) {
    if (OnTick()) OnTick()->Deactivate();
    TGameObjectEffect::onDisableFunc(obj, data);
}

void TGameRangeEffect::onTickFunc(TEngineObject*, TEngineObject*) {
    Count();
}

void TGameRangeEffect::Count() {
    for (const char* name : {"inRadiusAll", "inRadiusSingle", "outRadiusAll"}) SetIntOf(this, name, 0);
    TGameObjsLinksList* first = Objs1();
    TGameObjsLinksList* second = Objs2();
    if (first) first->DropLost();
    if (second) second->DropLost();
    int32_t in = 0;
    int32_t out = 0;
    const std::vector<TGameObjectRangedLink*> group1 = LinksOf(first);
    for (TGameObjectRangedLink* b : LinksOf(second)) {
        TBaseRenderUnit* ub = UnitOf(b->Object());
        int32_t n = 0;
        for (TGameObjectRangedLink* a : group1) {
            TBaseRenderUnit* ua = UnitOf(a->Object());
            // Without a place in space an object is in nobody's reach.
            if (!ua || !ub) continue;
            const float reach = ReachOf(a, ua) + ReachOf(b, ub);
            if (std::trunc(CentreRange(ua, ub) - reach) < 0.0f) ++n;
        }
        if (n == 0)
            ++out;
        else
            ++in;
    }
    SetIntOf(this, "inRadiusAll", in);
    SetIntOf(this, "outRadiusAll", out);
}

// ---- TGameUniversalRangeEffect ------------------------------------------------------------------------

void TGameUniversalRangeEffect::Create(const std::string& name, TBaseGameObject* parent) {
    TGameRangeEffect::Create(name, parent);
    // Only their Lua code matters.
    for (const char* e : {"onAllInRange", "onOneInRange", "onNoneInRange"})
        NewGameObject<TGameEvent>(e, Events())->EventObjLink()->setValue(this);
}

void TGameUniversalRangeEffect::onTickFunc(TEngineObject*, TEngineObject*) {
    Check();
}

void TGameUniversalRangeEffect::Check() {
    if (deleted_) return;
    Count();
    const int32_t n = Objs2() ? Objs2()->CountChildren() : 0;
    const char* fire = nullptr;
    if (OutRadiusAll() == n)
        fire = "onNoneInRange";
    else if (InRadiusAll() == n)
        fire = "onAllInRange";
    else if (InRadiusAll() != 0)
        fire = "onOneInRange";
    auto* e = fire && Events() ? Child<TGameEvent>(Events(), fire) : nullptr;
    if (!HasCode(e)) return;
    e->Fire();
    Delete();
}

// ---- TMagnitEffect -----------------------------------------------------------------------------------

void TMagnitEffect::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectEffect::Create(name, parent);
    NewGameObject<TGameObjectSubParam>("splash", this);
    NewGameObject<TGameObjectFreeLink>("damagingObject", this);
}

void TMagnitEffect::onEnableFunc(TEngineObject* obj, TEngineObject* data) {
    TGameObjectEffect::onEnableFunc(obj, data);
    if (auto* carrier = Child<TGameObjectFreeLink>(this, "damagingObject")) carrier->setValue(data);
    if (OnTick()) OnTick()->Activate();
}

void TMagnitEffect::onTickFunc(TEngineObject*, TEngineObject*) {
    Pull();
}

void TMagnitEffect::Pull() {
    auto* carrier = Child<TGameObjectFreeLink>(this, "damagingObject");
    TEngineObject* m = carrier ? carrier->GetValue() : nullptr;
    TBaseRenderUnit* own = UnitOf(m);
    if (!own) return;
    auto* splash = Child<TGameObjectSubParam>(this, "splash");
    const float radius = splash ? splash->GetValue() : 0.0f;
    std::vector<TBaseGameSceneObject*> caught;
    ForEachChildOf(RocketsList(), [&](TBaseGameObject* o) {
        const int32_t kind = SOClassOf(o);
        if (o == m || (kind != kSOClassRocket && kind != kSOClassMine)) return;
        // One brought down already waits for its end: it is not destroyed again.
        if (auto* rocket = dynamic_cast<TGameObjectRocket*>(o); rocket && rocket->IsDestroyed() != 0) return;
        TBaseRenderUnit* unit = UnitOf(o);
        if (unit && SurfaceRange(unit, own) <= radius)
            caught.push_back(dynamic_cast<TBaseGameSceneObject*>(o));
    });
    for (TBaseGameSceneObject* o : caught)
        if (o && o->OnDestroyed()) o->OnDestroyed()->Fire();
}

void RegisterRangeEffectClasses() {
    RegisterGameClass(TGameObjectRangedLink::StaticClass());
    RegisterGameClass(TGameObjsLinksList::StaticClass());
    RegisterGameClass(TGameRangeEffect::StaticClass());
    RegisterGameClass(TGameUniversalRangeEffect::StaticClass());
    RegisterGameClass(TMagnitEffect::StaticClass());
}

} // namespace vesk
