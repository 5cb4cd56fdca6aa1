#pragma once
// Object effects: game objects attached under another game object that
// change it while enabled (damage, range effects, regimes and the rest derive
// from TGameObjectEffect). Effects are often pooled: a deleted pooled effect
// keeps its children and is revived by ReInit.
#include <string>

#include "game/events.h"
#include "game/game_object.h"

namespace vesk {

class TGameObjectStringParam;
class TGameObjectFreeLink;

class TGameObjectEffect : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameObjectEffect)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void CreateEmpty() override;
    void ReInit(const std::string& name, TBaseGameObject* parent) override;
    void Delete() override;
    void Free() override;

    // ---- native handlers of the events (obj: the event's object, data: its data;
    // "onEnable" carries the effect's target as its data) ----------------------
    virtual void onCreatedFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onEnableFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onDisableFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onTickFunc(TEngineObject* obj, TEngineObject* data);

    bool IsEnabled() const { return enabled_; }
    TonCreated* OnCreated() const { return onCreated_; }
    TGameEvent* OnEnable() const { return onEnable_; }
    TGameEvent* OnDisable() const { return onDisable_; }
    TonTick* OnTick() const { return onTick_; }
    TGameObjectStringParam* Initiator() const { return initiator_; }
    TGameObjectFreeLink* InitiatorLink() const { return initiatorLink_; }
    TGameEventList* Events() const { return events_; }

protected:
    void ChildLeft(TBaseGameObject* child) override;
    bool enabled_ = false;

private:
    void MakeChildren();
    TonCreated* onCreated_ = nullptr;
    TGameEvent* onEnable_ = nullptr;
    TGameEvent* onDisable_ = nullptr;
    TonTick* onTick_ = nullptr;
    TGameObjectStringParam* initiator_ = nullptr;
    TGameObjectFreeLink* initiatorLink_ = nullptr;
    TGameEventList* events_ = nullptr;
};

// The effects of an object.
class TGameObjectEffectList : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameObjectEffectList)
public:
    // Starts (or stops) the "onTick" of every child effect that has one.
    void ActivateTicks();
    void DeactivateTicks();
};

// Deletes a pooled node the way pooled game objects go: it leaves its parent,
// its subscribers hear EM_OBJECT_DELETED and it waits on the deleted-objects
// list for its pool; its children stay for the next use. False when the node
// is not pooled or already deleted (the caller deletes it as any node).
bool DeletePooledKeepingChildren(TBaseGameObject* node);
// Frees the children a deleted pooled node kept, with their own children,
// when its pool lets it go for good.
void FreeKeptChildren(TBaseGameObject* node);

void RegisterEffectClasses();

} // namespace vesk
