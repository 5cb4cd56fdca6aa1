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

void RegisterEffectClasses();

} // namespace vesk
