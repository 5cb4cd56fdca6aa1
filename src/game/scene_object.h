#pragma once
// Scene objects: game objects that stand in the 3D scene through a render
// unit, linked by their "hex" child. The base of ships, items, projectiles,
// triggers and the other objects with a body.
#include <string>

#include "game/events.h"
#include "game/game_object.h"

namespace vesk {

class TGameObjectFreeLink;
class TGameObjectIntParam;
class TGameObjectSubParam;
class TGameObjectStringParam;
class TGameObjectEffectList;

// Values of "SOClass".
inline constexpr int kSOClassShip = 2;
inline constexpr int kSOClassRocket = 3;
inline constexpr int kSOClassContainer = 5;
inline constexpr int kSOClassTrigger = 12;
inline constexpr int kSOClassAnchor = 13;
inline constexpr int kSOClassMine = 14;

class TBaseGameSceneObject : public TBaseGameObjectList {
    VESK_GAME_CLASS(TBaseGameSceneObject)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void CreateEmpty() override;
    void ReInit(const std::string& name, TBaseGameObject* parent) override;
    void Delete() override;
    void Free() override;
    // engine_Execute(path, action, group): "onRayGroup" / "offRayGroup".
    int Execute(lua_State* L) override;

    // ---- virtual operations added by scene objects ---------------------------
    virtual void onCreatedFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onDestroyedFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onCollisionFunc(TEngineObject* obj, TEngineObject* data);
    // Links the render unit (nullptr unlinks it); a unit given also sets "radius".
    virtual void SetHex(TEngineObject* unit);

    // The render unit, nullptr when none.
    TEngineObject* GetHex() const;

    TBaseGameObjectList* Svitch() const { return svitch_; }
    TGameObjectFreeLink* Hex() const { return hex_; }
    TGameObjectIntParam* Selectable() const { return selectable_; }
    TGameObjectIntParam* SOClass() const { return soClass_; }
    TGameObjectSubParam* Radius() const { return radius_; }
    TGameEventList* Events() const { return events_; }
    TonCreated* OnCreated() const { return onCreated_; }
    TGameEvent* OnDestroyed() const { return onDestroyed_; }
    tOnCollision* OnCollision() const { return onCollision_; }
    TGameObjectEffectList* Effects() const { return effects_; }
    TGameObjectFreeLink* Spawner() const { return spawner_; }
    TGameObjectFreeLink* Ph() const { return ph_; }
    TGameObjectStringParam* Location() const { return location_; }

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    void MakeChildren();
    // A pooled object waits for its next use with its children at their start values.
    void ResetForReuse();

    TBaseGameObjectList* svitch_ = nullptr;
    TGameObjectFreeLink* hex_ = nullptr;
    TGameObjectIntParam* selectable_ = nullptr;
    TGameObjectIntParam* soClass_ = nullptr;
    TGameObjectSubParam* radius_ = nullptr;
    TGameEventList* events_ = nullptr;
    TonCreated* onCreated_ = nullptr;
    TGameEvent* onDestroyed_ = nullptr;
    tOnCollision* onCollision_ = nullptr;
    TGameObjectEffectList* effects_ = nullptr;
    TGameObjectFreeLink* spawner_ = nullptr;
    TGameObjectFreeLink* ph_ = nullptr;
    TGameObjectStringParam* location_ = nullptr;
};

// Registers the scene-object class and binds "onCollision" events to the
// render units of their objects.
void RegisterSceneObjectClasses();

} // namespace vesk
