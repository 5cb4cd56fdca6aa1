#include "game/slots.h"

#include "game/items.h"
#include "game/params.h"
#include "game/scene_object.h"
#include "game/world_link.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

// ---- TGameSlot ---------------------------------------------------------------------------

void TGameSlot::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    events_ = NewGameObject<TGameEventList>("events", this);
    NewGameObject<TonCreated>("onCreated", events_)->SetHandler([this](TEngineObject* o, TEngineObject* d) {
        onCreatedFunc(o, d);
    });
    NewGameObject<TonDestroyed>("onDestroyed", events_)
        ->SetHandler([this](TEngineObject* o, TEngineObject* d) { onDestroyedFunc(o, d); });
    helper_ = NewGameObject<TGameObjectStringParam>("helper", this);
    helperHex_ = NewGameObject<TGameObjectFreeLink>("helperHex", this);
    class_ = NewGameObject<TGameObjectStringParam>("class", this);
    NewGameObject<TGameObjectStringParam>("state", this);
    itemType_ = NewGameObject<TGameObjectIntParam>("itemType", this);
    weaponType_ = NewGameObject<TGameObjectIntParam>("weaponType", this);
    item_ = NewGameObject<TGameItemLink>("item", this);
    mesh_ = NewGameObject<TGameObjectStringParam>("mesh", this);
}

void TGameSlot::ChildLeft(TBaseGameObject* child) {
    ForgetChild(child, events_, helper_, helperHex_, class_, itemType_, weaponType_, item_, mesh_);
}

void TGameSlot::onCreatedFunc(TEngineObject*, TEngineObject*) {
    Bind();
}

void TGameSlot::onDestroyedFunc(TEngineObject*, TEngineObject*) {
    ErrorReport(Ru("TGameSlot.onDestroyedFunc error: функция не прописана"), "mhl");
}

TBaseGameObject* TGameSlot::Owner() const {
    return parent_ ? parent_->GetParent() : nullptr;
}

TEngineObject* TGameSlot::HelperHex() const {
    return helperHex_ ? helperHex_->GetValue() : nullptr;
}

TEngineObject* TGameSlot::HelperHex2() const {
    auto* link = dynamic_cast<TGameObjectFreeLink*>(objects_ ? objects_->Find("helperHex2") : nullptr);
    return link ? link->GetValue() : nullptr;
}

TGameItem* TGameSlot::MountedItem() const {
    return item_ ? item_->Item() : nullptr;
}

int32_t TGameSlot::ItemType() const {
    return itemType_ ? itemType_->GetValue() : 0;
}

int32_t TGameSlot::WeaponType() const {
    return weaponType_ ? weaponType_->GetValue() : 0;
}

std::string TGameSlot::SlotClass() const {
    return class_ ? class_->GetValue() : std::string();
}

std::string TGameSlot::Mesh() const {
    return mesh_ ? mesh_->GetValue() : std::string();
}

TEngineObject* TGameSlot::ResolveHelper(const std::string& helper) {
    auto* owner = dynamic_cast<TBaseGameSceneObject*>(Owner());
    TEngineObject* unit = owner ? owner->GetHex() : nullptr;
    TEngineObject* found = GameWorldLink().FindSlotHelper(unit, helper);
    // Without the world no attach point is known; the world link has said so.
    if (!found && !GameWorldMissing())
        ErrorReport(Ru("TGameSlotOnCreated.defEventFunc error: невозможно зарегистрировать слот ") +
                        GetDebugPath(this) + Ru("(хелпер ") + "\"" + helper + "\"" + Ru(") на обьекте ") +
                        GetDebugPath(Owner()) + Ru(" ,возможно на меше нет соответствующего хелпера"),
                    "mhl");
    return found;
}

void TGameSlot::Bind() {
    auto* owner = dynamic_cast<TBaseGameSceneObject*>(Owner());
    if (!owner) return;
    if (!owner->GetHex())
        if (auto* item = dynamic_cast<TGameItem*>(owner)) item->FireEvent("onLoadItem");
    if (!owner->GetHex()) return;
    TEngineObject* helper = ResolveHelper(helper_ ? helper_->GetValue() : std::string());
    if (!helper) return;
    if (helperHex_) helperHex_->setValue(helper);
    auto* helper2 = dynamic_cast<TGameObjectStringParam*>(objects_->Find("helper2"));
    if (!helper2) return;
    auto* hex2 = dynamic_cast<TGameObjectFreeLink*>(objects_->Find("helperHex2"));
    if (!hex2) hex2 = NewGameObject<TGameObjectFreeLink>("helperHex2", this);
    if (TEngineObject* second = ResolveHelper(helper2->GetValue())) hex2->setValue(second);
}

// ---- TSlots -----------------------------------------------------------------------------

void TSlots::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    SetDefaultChildClass(&TGameSlot::StaticClass());
}

namespace {

constexpr int32_t kWeaponClass = 1;

} // namespace

void TSlots::StartUseByClass(int32_t itemClass, TEngineObject* argument) {
    ForEachMountedItem(this, [&](TGameItem* item) {
        if (item->Status() != 1) return;
        if (item->ItemClass() == itemClass) item->FireEvent("onStartUse", argument);
        if (item->Slots()) item->Slots()->StartUseByClass(itemClass, argument);
    });
}

void TSlots::StartUseByGroup(const std::string& group, TEngineObject* argument) {
    ForEachMountedItem(this, [&](TGameItem* item) {
        if (item->Status() != 1) return;
        if (item->ItemClass() == kWeaponClass && item->Group() == group)
            item->FireEvent("onStartUse", argument);
        if (item->Slots()) item->Slots()->StartUseByGroup(group, argument);
    });
}

void TSlots::EndUseByClass(int32_t itemClass, TEngineObject* argument) {
    ForEachMountedItem(this, [&](TGameItem* item) {
        if (item->ItemClass() == itemClass) item->FireEvent("onEndUse", argument);
        if (item->Slots()) item->Slots()->EndUseByClass(itemClass, argument);
    });
}

// ---- TGameObjectCargo -------------------------------------------------------------------------

void TGameObjectCargo::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    SetDefaultChildClass(&TGameItemLink::StaticClass());
}

void RegisterSlotClasses() {
    RegisterGameClass(TSlots::StaticClass());
    RegisterGameClass(TGameSlot::StaticClass());
    RegisterGameClass(TGameObjectCargo::StaticClass());
}

} // namespace vesk
