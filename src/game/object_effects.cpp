#include "game/object_effects.h"

#include <vector>

#include "game/obj_managers.h"
#include "game/params.h"

namespace vesk {

// ---- TGameObjectEffect ------------------------------------------------------------------

void TGameObjectEffect::MakeChildren() {
    events_ = NewGameObject<TGameEventList>("events", this);
    onEnable_ = NewGameObject<TGameEvent>("onEnable", events_);
    onEnable_->SetHandler([this](TEngineObject* o, TEngineObject* d) { onEnableFunc(o, d); });
    onDisable_ = NewGameObject<TGameEvent>("onDisable", events_);
    onDisable_->SetHandler([this](TEngineObject* o, TEngineObject* d) { onDisableFunc(o, d); });
    onTick_ = NewGameObject<TonTick>("onTick", events_);
    onTick_->SetHandler([this](TEngineObject* o, TEngineObject* d) { onTickFunc(o, d); });
    initiator_ = NewGameObject<TGameObjectStringParam>("initiator", this);
    initiatorLink_ = NewGameObject<TGameObjectFreeLink>("initiatorLink", this);
    onCreated_ = NewGameObject<TonCreated>("onCreated", events_);
    onCreated_->SetHandler([this](TEngineObject* o, TEngineObject* d) { onCreatedFunc(o, d); });
}

void TGameObjectEffect::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    enabled_ = false;
    MakeChildren();
}

void TGameObjectEffect::CreateEmpty() {
    TBaseGameObjectList::CreateEmpty();
    enabled_ = false;
    MakeChildren();
    // A pool entry is not created yet: it fires once it is handed out.
    onCreated_->Deactivate();
}

void TGameObjectEffect::ReInit(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::ReInit(name, parent);
    enabled_ = false;
    if (initiator_) initiator_->setValue(std::string());
    if (initiatorLink_) initiatorLink_->setValue(nullptr);
    // Their links to the effect ended when it was deleted.
    for (TGameEvent* e :
         {static_cast<TGameEvent*>(onCreated_), onEnable_, onDisable_, static_cast<TGameEvent*>(onTick_)})
        if (e && e->EventObjLink()) e->EventObjLink()->setValue(this);
    if (onCreated_) onCreated_->Activate();
}

void TGameObjectEffect::Delete() {
    if (deleted_) return; // its "onDisable" has fired already
    if (onDisable_) onDisable_->Fire();
    if (onTick_) onTick_->Deactivate();
    if (poolEntry_) {
        // A pooled effect waiting for its pool must not fire as a new one.
        if (onCreated_) onCreated_->Deactivate();
        DeletePooledKeepingChildren(this);
        deleted_ = true;
        return;
    }
    TBaseGameObjectList::Delete();
}

void TGameObjectEffect::Free() {
    // Let go by its pool: the children it kept for reuse go with it.
    if (deleted_ && !poolEntry_) FreeKeptChildren(this);
    TBaseGameObjectList::Free();
}

void TGameObjectEffect::ChildLeft(TBaseGameObject* child) {
    if (child == events_) {
        events_ = nullptr;
        onCreated_ = nullptr;
        onEnable_ = nullptr;
        onDisable_ = nullptr;
        onTick_ = nullptr;
    }
    if (child == initiator_) initiator_ = nullptr;
    if (child == initiatorLink_) initiatorLink_ = nullptr;
}

void TGameObjectEffect::onCreatedFunc(TEngineObject*, TEngineObject*) {}

void TGameObjectEffect::onEnableFunc(TEngineObject*, TEngineObject*) {
    enabled_ = true;
}

void TGameObjectEffect::onDisableFunc(TEngineObject*, TEngineObject*) {
    enabled_ = false;
}

void TGameObjectEffect::onTickFunc(TEngineObject*, TEngineObject*) {}

// ---- TGameObjectEffectList ---------------------------------------------------------------------

void TGameObjectEffectList::ActivateTicks() {
    int32_t cursor;
    TBaseGameObject* child;
    First(cursor);
    while (Next(cursor, child))
        if (auto* e = dynamic_cast<TGameObjectEffect*>(child); e && e->OnTick()) e->OnTick()->Activate();
}

void TGameObjectEffectList::DeactivateTicks() {
    int32_t cursor;
    TBaseGameObject* child;
    First(cursor);
    while (Next(cursor, child))
        if (auto* e = dynamic_cast<TGameObjectEffect*>(child); e && e->OnTick()) e->OnTick()->Deactivate();
}

void RegisterEffectClasses() {
    RegisterGameClass(TGameObjectEffect::StaticClass());
    RegisterGameClass(TGameObjectEffectList::StaticClass());
}

} // namespace vesk
