#pragma once
// Items: the equipment a ship (or another item) carries — guns, launchers,
// turrets, wings and other modules. An item is a scene object described by
// script parameters; it carries slots of its own and gets its render unit (a
// cannon, turret or wing built by the world) when it is loaded. Items move
// between holders only through item links: entering a slot checks the item
// against the slot, hangs its unit on the slot's attach point and tells it
// which ship carries it; leaving does the reverse.
#include <string>

#include "game/params.h"
#include "game/scene_object.h"

namespace vesk {

class TGameItemLink;
class TGameObjectLink;
class TSlots;

class TGameItem : public TBaseGameSceneObject {
    VESK_GAME_CLASS(TGameItem)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void CreateEmpty() override;
    void Delete() override;
    void onCreatedFunc(TEngineObject* obj, TEngineObject* data) override;

    // ---- native handlers of the item's events ------------------------------------
    virtual void onStartUseFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onEndUseFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onInSlotFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onOutSlotFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onEnableFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onDisableFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onUseFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onLoadItemFunc(TEngineObject* obj, TEngineObject* data);

    // The link that holds the item (nullptr while it is loose). Called by
    // item links only: leaving a slot and entering one fire their events.
    TGameItemLink* Holder() const;
    void SetHolder(TGameItemLink* link);
    // The ship that carries the item, for the item and every item mounted in its slots.
    void SetParentShip(TBaseGameObject* ship);
    TBaseGameObject* ParentShip() const;

    // Fires one of the item's own events with the data argument.
    void FireEvent(const char* name, TEngineObject* data = nullptr);

    std::string Mesh() const;
    int32_t ItemClass() const;
    int32_t WeaponType() const;
    std::string Group() const;
    int32_t Status() const;
    int32_t Used() const;
    TSlots* Slots() const;
    // The second cannon unit ("hex2"), nullptr when none.
    TEngineObject* GetHex2() const;

protected:
    // The class of the unit an item of that gun model type becomes ("" for a
    // type no unit is made for).
    virtual std::string UnitClassOf(const std::string& gunModelType) const;

private:
    void MakeItemChildren();
    // Empty "mesh": a fatal report.
    bool werifyMesh();
    // A cannon, turret or wing unit for the mesh; nullptr when none could be made.
    TEngineObject* createBru(const std::string& className);
    void SetHex2(TEngineObject* unit);
    void ChangeShipUseCount(int delta);
    // Takes the power and capacity the mounted item uses from its ship, or gives them back.
    void ChargeShip(TBaseGameObject* ship);
    void RefundShip();

    int32_t holderId_ = 0;    // by id: the link may be freed first
    int32_t chargedShip_ = 0; // the ship that pays for the mounted item
    float chargedPower_ = 0.0f;
    float chargedCapacity_ = 0.0f;
};

// A link whose value is an item; its parent is a slot or a cargo hold.
// Setting it fires "onUpdate" with the new and the old item.
class TGameItemLink : public TGameObjectDelayedLinkParam {
    VESK_GAME_CLASS(TGameItemLink)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void setValue(TBaseGameObject* node) override;
    void Delete() override;
    // Clears the value without telling anyone (the item has left already).
    void ClearQuietly();

    virtual void onCreatedFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onUpdateFunc(TEngineObject* obj, TEngineObject* data);
    TGameItem* Item() const;

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    TGameEvent* OnUpdate() const;
    TGameEventList* events_ = nullptr;
};

void RegisterItemClasses();

} // namespace vesk
