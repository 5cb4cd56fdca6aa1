#pragma once
// TGameObject: the game object of everything that flies, fights or can be
// destroyed — ships, stations, scenic objects with a body. A scene object with
// the ship-level parameters, events, lists and links that the combat, AI,
// item and HUD code read and write by name.
#include <array>
#include <string>

#include "game/params.h"
#include "game/scene_object.h"

namespace vesk {

class TDamageEffect;
class TGameMeshLink;
class TGameObjectCargo;
class TGameObjectParams;
class TGameObjTaskManager;
class TSlots;
class TonTick;
class TGameTargetedObjectLink;

// A list of links to objects (the AI ships that fight an object, the rockets
// aimed at it). A link whose object is gone drops out of the count.
class TSmartList : public TBaseGameObjectList {
    VESK_GAME_CLASS(TSmartList)
public:
    // Adds a link to the object; nothing when it is listed already.
    void Add(TEngineObject* obj);
    void Remove(TEngineObject* obj);
    bool Contains(TEngineObject* obj);
    // The links whose object still exists.
    int32_t CountLinked();
};

class TGameObject : public TBaseGameSceneObject {
    VESK_GAME_CLASS(TGameObject)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void CreateEmpty() override;
    void ReInit(const std::string& name, TBaseGameObject* parent) override;
    void Delete() override;
    void saveData(const std::string& fileName) override;

    void onCreatedFunc(TEngineObject* obj, TEngineObject* data) override;
    void onDestroyedFunc(TEngineObject* obj, TEngineObject* data) override;
    void onCollisionFunc(TEngineObject* obj, TEngineObject* data) override;

    // ---- native handlers of the object's events ------------------------------------
    virtual void onDeletedFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onTickFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onTemperatureBurstFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onTemperatureNormalFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onDamageFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onDamagedFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onShipBeginShotFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onShipEndShotFunc(TEngineObject* obj, TEngineObject* data);
    virtual void startForsageFunc(TEngineObject* obj, TEngineObject* data);
    virtual void endForsageFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onShipDropAntirocketFunc(TEngineObject* obj, TEngineObject* data);
    virtual void finalBoomFunc(TEngineObject* obj, TEngineObject* data);

    // One tick of the object's own logic: overheat, damage effects, forsage end.
    void TickObject();

    // A parameter of the "param" set by name, nullptr when none.
    TGameObjectParam* Param(const std::string& name) const;
    TGameObjectParams* Params() const { return params_; }
    TSlots* Slots() const { return slots_; }
    TGameObjectCargo* Cargo() const { return cargo_; }
    TGameMeshLink* MeshLink() const { return mesh_; }
    TonTick* OnTick() const;
    TGameTargetedObjectLink* IsTargeted() const { return isTargeted_; }
    TGameEvent* Event(const std::string& name) const;
    int32_t IntValue(const char* name) const;
    void SetIntValue(const char* name, int32_t v);
    std::string TextValue(const char* name) const;
    int32_t ActiveDamageFxCount() const { return activeDamageFx_; }
    // Items in use per functional type (1 and 2); items change them as they
    // start and end their use.
    int32_t ItemsInUse(int functionalType) const;
    void ChangeItemsInUse(int functionalType, int delta);

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    void MakeObjectChildren();
    TGameEvent* NewEvent(const char* name, void (TGameObject::*handler)(TEngineObject*, TEngineObject*));
    void TickDamageFx();
    // The hull's share of a collision: the game's coefficient times the speed
    // the ship struck with.
    void CollisionDamage();
    // Hides every shown damage effect (before a save).
    void HideDamageFx();

    // What every tick looks up by name, kept while the lists stay unchanged.
    struct TickLookups {
        TChildRef<TBaseGameObject> paramSet;     // "param"
        TChildRef<TGameObjectParam> temperature; // in "param"
        TChildRef<TGameObjectIntParam> overheat;
        TChildRef<TBaseGameObject> damageFx;
        TChildRef<TGameObjectIntParam> poorFx; // in the game ini table
    };
    TickLookups ticks_;
    TGameObjectParams* params_ = nullptr;
    TGameMeshLink* mesh_ = nullptr;
    TGameObjectCargo* cargo_ = nullptr;
    TSlots* slots_ = nullptr;
    TGameTargetedObjectLink* isTargeted_ = nullptr;
    int32_t activeDamageFx_ = 0;
    std::array<int32_t, 2> itemsInUse_{};
    bool counted_ = false; // raised in the statistics
};

// The list class of game objects.
class TGameObjects : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameObjects)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
};

// A link to a game object, named in the global list "obj".
class TGameObjectLink : public TGameObjectLinkParam {
    VESK_GAME_CLASS(TGameObjectLink)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void stringUpdate(const std::string& text) override;
};

void RegisterGameObjectClasses();

// A child made by class name when that class is registered (the classes of
// other parts of the game logic), else of the fallback class; the first
// fallback of each name is written to the fast log.
TBaseGameObject* NewChildOfClass(const char* className, const TGameClass& fallback, const std::string& name,
                                 TBaseGameObject* parent);

} // namespace vesk
