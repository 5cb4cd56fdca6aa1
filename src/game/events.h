#pragma once
// Game events: named child nodes that, when fired, run a native handler of
// their owner and then the Lua code they hold. An activated event sits on one
// of the global tick lists, which fire it during the frame.
#include <cstdint>
#include <functional>
#include <string>

#include "game/game_object.h"
#include "render/collision_event.h"

namespace vesk {

class TGameObjectStringParam;
class TGameObjectFreeLink;
class TGameObjectIntNonSavedParam;
class TGameObjectLinkParam;
class tTickedObjects;

// The folder the owner of a failing event is saved in ("\last_AV_object.lua");
// set up at start-up.
extern std::string ErrorReportFolder;

// Called with the values of "eventObj" and "eventData".
using TGameEventHandler = std::function<void(TEngineObject* obj, TEngineObject* data)>;

class TGameEvent : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameEvent)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    virtual void Fire();
    // One tick of the list the event sits on: fired with that list as its data.
    virtual void TickFrom(tTickedObjects* list);
    virtual void Activate();
    virtual void Deactivate();

    void Delete() override;
    int Execute(lua_State* L) override;
    void stringUpdate(const std::string& text) override;
    void stringValue(std::string& out) override;
    void CopyStructure(TBaseGameObject*& dest) override;

    // The native handler, given by the object that made the event (the event
    // sits under it or in its list of events): it runs only while that
    // object exists, since a script may move the event away and free it.
    void SetHandler(TGameEventHandler handler);
    TEngineObject* GetEventObj() const;
    void SetEventData(TEngineObject* value);
    void ClearFired() { fired_ = false; }
    bool IsFired() const { return fired_; }
    bool IsActive() const;
    bool IsActivatable() const { return activatable_; }
    int32_t GetTickIndex() const { return tickIndex_; }
    tTickedObjects* GetTickList() const;

    TGameObjectStringParam* EventCode() const { return event_; }
    TGameObjectFreeLink* EventObjLink() const { return eventObj_; }
    TGameObjectFreeLink* EventDataLink() const { return eventData_; }

protected:
    // Subclasses pick their list in Create, before the base runs.
    void SetTickList(tTickedObjects* list, bool activatable);
    void ChildLeft(TBaseGameObject* child) override;
    void SetActiveValue(int32_t v);
    // Whether the object whose native handler the event runs still exists.
    bool OwnerAlive() const;

    int32_t tickIndex_ = -1;
    int32_t ownerId_ = 0;    // that object by id; 0: a handler that needs none
    int32_t tickListId_ = 0; // by id: the list may be freed before the event
    bool activatable_ = false;
    TGameEventHandler handler_;
    bool fired_ = false;
    TGameObjectStringParam* event_ = nullptr;
    TGameObjectFreeLink* eventObj_ = nullptr;
    TGameObjectFreeLink* eventData_ = nullptr;
    TGameObjectIntNonSavedParam* active_ = nullptr;
};

// Holds an object's events.
class TGameEventList : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameEventList)
};

// Compacts the children lists of its whole subtree every tick.
class TGameEventManager : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameEventManager)
public:
    void Tick(float dt) override;
};

// Fired every frame while active.
class TonTick : public TGameEvent {
    VESK_GAME_CLASS(TonTick)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
};

class TGameObjectParam;

// A parameter's tick: steps its parameter with the frame time of the list it
// fires from (0 from anywhere else), or calls a native handler; no Lua.
class TGameObjectParamTick : public TonTick {
    VESK_GAME_CLASS(TGameObjectParamTick)
public:
    void Fire() override;
    void TickFrom(tTickedObjects* list) override;
    // The parameter the tick steps; a handler set afterwards takes its place.
    void SetParam(TGameObjectParam* param);

private:
    // The step itself: a handler when one was set, else the parameter's.
    void Step(TEngineObject* data, float frameTime);
    TGameObjectParam* param_ = nullptr;
};

// Fires once, in the first tick after creation.
class TonCreated : public TGameEvent {
    VESK_GAME_CLASS(TonCreated)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void Fire() override;
    void CopyStructure(TBaseGameObject*& dest) override;
};

// Fires once per activation.
class TonLoad : public TGameEvent {
    VESK_GAME_CLASS(TonLoad)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void Fire() override;
};

// Registers itself as the collision handler of its object's render unit while
// active; the render side installs how that is done. Effects that meet a unit
// (bullets) fire it through the render side's collision-event interface.
class tOnCollision : public TGameEvent, public IGameCollisionEvent {
    VESK_GAME_CLASS(tOnCollision)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void Activate() override;
    void Deactivate() override;
    // IGameCollisionEvent
    void Fire() override { TGameEvent::Fire(); }
    void SetEventData(TEngineObject* value) override { TGameEvent::SetEventData(value); }
    TEngineObject* GetEventObj() const override { return TGameEvent::GetEventObj(); }
};
// (event, object, on): sets or clears the event as the collision handler of
// the object's render unit; installed by the scene-object side.
void SetCollisionEventBinder(std::function<void(tOnCollision* event, TEngineObject* obj, bool on)> binder);

// Fired directly by its owner.
class TonDestroyed : public TGameEvent {
    VESK_GAME_CLASS(TonDestroyed)
};

// The tick event of a linker.
class TonLink : public TonTick {
    VESK_GAME_CLASS(TonLink)
};

// Sits on the global list "targetedObjects" while active.
class TGameTargetedObjectLink : public TGameEvent {
    VESK_GAME_CLASS(TGameTargetedObjectLink)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
};

// Resolves a link parameter whose target is named before it exists: each tick
// of its "onLink" event looks the key up in the table until it is there.
class TGameLinker : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameLinker)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    // Takes the table, the link and the key, and starts the lookups.
    void Start(TBaseGameObject* table, TGameObjectLinkParam* link, const std::string& key);
    void Stop();
    TonLink* OnLink() const { return onLink_; }
    const std::string& Key() const { return key_; }
    // Sets the link from the table (what onLink does when it fires).
    void Resolve();

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    int32_t tableId_ = 0;
    int32_t linkId_ = 0;
    std::string key_;
    TonLink* onLink_ = nullptr;
};

void RegisterEventClasses();

} // namespace vesk
