#include "game/scene_object.h"

#include "game/game_lua.h"
#include "game/object_effects.h"
#include "game/params.h"
#include "game/scene_link.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

void TBaseGameSceneObject::MakeChildren() {
    svitch_ = NewGameObject<TBaseGameObjectList>("svitch", this);
    hex_ = NewGameObject<TGameObjectFreeLink>("hex", this);
    selectable_ = NewGameObject<TGameObjectIntParam>("selectable", this);
    soClass_ = NewGameObject<TGameObjectIntParam>("SOClass", this);
    radius_ = NewGameObject<TGameObjectSubParam>("radius", this);
    events_ = NewGameObject<TGameEventList>("events", this);
    onCreated_ = NewGameObject<TonCreated>("onCreated", events_);
    onCreated_->SetHandler([this](TEngineObject* o, TEngineObject* d) { onCreatedFunc(o, d); });
    onDestroyed_ = NewGameObject<TGameEvent>("onDestroyed", events_);
    onDestroyed_->SetHandler([this](TEngineObject* o, TEngineObject* d) { onDestroyedFunc(o, d); });
    onCollision_ = NewGameObject<tOnCollision>("onCollision", events_);
    onCollision_->SetHandler([this](TEngineObject* o, TEngineObject* d) { onCollisionFunc(o, d); });
    effects_ = NewGameObject<TGameObjectEffectList>("effects", this);
    spawner_ = NewGameObject<TGameObjectFreeLink>("spawner", this);
    ph_ = NewGameObject<TGameObjectFreeLink>("ph", this);
    location_ = NewGameObject<TGameObjectStringParam>("location", this);
}

void TBaseGameSceneObject::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    MakeChildren();
}

void TBaseGameSceneObject::CreateEmpty() {
    TBaseGameObjectList::CreateEmpty();
    MakeChildren();
    // A pool entry fires once it is handed out (ReInit).
    onCreated_->Deactivate();
}

void TBaseGameSceneObject::ReInit(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::ReInit(name, parent);
    for (TGameEvent* e :
         {static_cast<TGameEvent*>(onCreated_), onDestroyed_, static_cast<TGameEvent*>(onCollision_)})
        if (e && e->EventObjLink()) e->EventObjLink()->setValue(this);
    if (onCreated_) onCreated_->Activate();
}

void TBaseGameSceneObject::ChildLeft(TBaseGameObject* child) {
    ForgetChild(child, svitch_, hex_, selectable_, soClass_, radius_);
    if (child == events_) {
        events_ = nullptr;
        onCreated_ = nullptr;
        onDestroyed_ = nullptr;
        onCollision_ = nullptr;
    }
    ForgetChild(child, effects_, spawner_, ph_, location_);
}

TEngineObject* TBaseGameSceneObject::GetHex() const {
    return hex_ ? hex_->GetValue() : nullptr;
}

void TBaseGameSceneObject::SetHex(TEngineObject* unit) {
    if (unit) {
        if (TEngineObject* old = GetHex()) RemoveMutualSubscriber(old);
        AddMutualSubscriber(unit);
        if (radius_) radius_->setValue(GameSceneLink().BSphereRadius(unit));
    }
    if (hex_) hex_->setValue(unit);
}

void TBaseGameSceneObject::onCreatedFunc(TEngineObject*, TEngineObject*) {}
void TBaseGameSceneObject::onDestroyedFunc(TEngineObject*, TEngineObject*) {}
void TBaseGameSceneObject::onCollisionFunc(TEngineObject*, TEngineObject*) {}

int TBaseGameSceneObject::Execute(lua_State* L) {
    const std::string action = LuaArgText(L, 2);
    const bool on = action == "onRayGroup";
    if (!on && action != "offRayGroup") {
        ErrorReport("TBaseGameSceneObject.Execute error:(" + GetDebugPath(this) + ") action- \"" + action +
                        "\"" + Ru(" не используется"),
                    "mhl");
        return 0;
    }
    if (TEngineObject* unit = GetHex()) GameSceneLink().SwitchRayGroup(unit, LuaArgText(L, 3), on);
    return 0;
}

void TBaseGameSceneObject::ResetForReuse() {
    if (hex_) hex_->setValue(nullptr);
    if (selectable_) selectable_->setValue(0);
    if (soClass_) soClass_->setValue(0);
    if (radius_) radius_->setValue(0.0f);
    if (spawner_) spawner_->setValue(nullptr);
    if (ph_) ph_->setValue(nullptr);
    if (location_) location_->setValue(std::string());
    if (svitch_) svitch_->DeleteChildren();
    if (effects_) effects_->DeleteChildren();
}

void TBaseGameSceneObject::Free() {
    // Let go by its pool: the children it kept for reuse go with it.
    if (deleted_ && !poolEntry_) FreeKeptChildren(this);
    TBaseGameObjectList::Free();
}

void TBaseGameSceneObject::Delete() {
    if (onCreated_) onCreated_->Deactivate();
    if (onDestroyed_) onDestroyed_->Deactivate();
    if (onCollision_) onCollision_->Deactivate();
    if (TEngineObject* unit = GetHex()) {
        GameSceneLink().Kill(unit);
        if (hex_) hex_->setValue(nullptr);
    }
    if (DeletePooledKeepingChildren(this)) {
        deleted_ = true;
        ResetForReuse();
        return;
    }
    TBaseGameObjectList::Delete();
}

void RegisterSceneObjectClasses() {
    RegisterGameClass(TBaseGameSceneObject::StaticClass());
    // While active, an object's "onCollision" is its render unit's collision event.
    SetCollisionEventBinder([](tOnCollision* event, TEngineObject* obj, bool on) {
        auto* so = dynamic_cast<TBaseGameSceneObject*>(obj);
        if (TEngineObject* unit = so ? so->GetHex() : nullptr)
            GameSceneLink().SetCollisionEvent(unit, on ? event : nullptr);
    });
}

} // namespace vesk
