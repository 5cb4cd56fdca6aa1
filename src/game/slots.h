#pragma once
// Slots and cargo: a slot is a named mounting point of a ship or an item; it
// names an attach point on the owner's model, says which items fit and holds
// at most one item through its item link. A cargo hold is a plain list of item
// links that carry items without mounting them.
#include <string>

#include "game/events.h"
#include "game/game_object.h"
#include "game/params.h"

namespace vesk {

class TGameItem;
class TGameItemLink;
class TGameObjectFreeLink;
class TGameObjectIntParam;
class TGameObjectStringParam;

class TGameSlot : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameSlot)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;

    // Native handlers: onCreated binds the slot to its attach point;
    // onDestroyed has no native meaning (the scripts give the slot its code).
    virtual void onCreatedFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onDestroyedFunc(TEngineObject* obj, TEngineObject* data);

    // Finds the attach point named by "helper" (and "helper2") on the owner's
    // render unit and keeps it in "helperHex" ("helperHex2"). An owner without
    // a unit leaves the slot unbound; an item owner loads its units first.
    void Bind();

    // The ship or item that carries the slot list.
    TBaseGameObject* Owner() const;
    TEngineObject* HelperHex() const;
    TEngineObject* HelperHex2() const;
    TGameItemLink* ItemLink() const { return item_; }
    TGameItem* MountedItem() const;
    int32_t ItemType() const;
    int32_t WeaponType() const;
    std::string SlotClass() const;
    std::string Mesh() const;

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    TEngineObject* ResolveHelper(const std::string& helper);

    TGameEventList* events_ = nullptr;
    TGameObjectStringParam* helper_ = nullptr;
    TGameObjectFreeLink* helperHex_ = nullptr;
    TGameObjectStringParam* class_ = nullptr;
    TGameObjectIntParam* itemType_ = nullptr;
    TGameObjectIntParam* weaponType_ = nullptr;
    TGameItemLink* item_ = nullptr;
    TGameObjectStringParam* mesh_ = nullptr;
};

// The slots of a ship or an item, and the walks that start and end the use of
// the items mounted in them (and in the slots of those items).
class TSlots : public TBaseGameObjectList {
    VESK_GAME_CLASS(TSlots)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    // Enabled mounted items of that class start their use; only enabled items
    // are walked into.
    void StartUseByClass(int32_t itemClass, TEngineObject* argument);
    // Enabled mounted weapons (class 1) of that group start their use.
    void StartUseByGroup(const std::string& group, TEngineObject* argument);
    // Mounted items of that class end their use; every mounted item is walked into.
    void EndUseByClass(int32_t itemClass, TEngineObject* argument);
};

// A cargo hold: item links whose items are carried, not mounted.
class TGameObjectCargo : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameObjectCargo)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
};

void RegisterSlotClasses();

// ---- walking the slot tree --------------------------------------------------------------------

// The slot list of a ship or an item: its child "slots"; nullptr when it has none.
inline TBaseGameObject* SlotListOf(const TBaseGameObject* owner) {
    return Child<TBaseGameObject>(owner, "slots");
}

// The items mounted in the slots of a slot list, in slot order.
template <class Visit> void ForEachMountedItem(TBaseGameObject* slots, Visit visit) {
    ForEachChildOf(slots, [&](TBaseGameObject* child) {
        if (auto* slot = dynamic_cast<TGameSlot*>(child))
            if (TGameItem* item = slot->MountedItem()) visit(item);
    });
}

// Every item mounted on the owner and, right after each, the items mounted in
// that item's own slots, and so on down the slot tree.
template <class Visit> void ForEachItemInSlotTree(const TBaseGameObject* owner, Visit visit) {
    ForEachMountedItem(SlotListOf(owner), [&](auto* item) {
        visit(item);
        ForEachItemInSlotTree(item, visit);
    });
}

} // namespace vesk
