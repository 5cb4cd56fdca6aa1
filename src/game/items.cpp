#include "game/items.h"

#include "game/events.h"
#include "game/game_lua.h"
#include "game/game_objects.h"
#include "game/lua_text.h"
#include "game/mesh_tables.h"
#include "game/object_effects.h"
#include "game/scene_link.h"
#include "game/slots.h"
#include "game/world_link.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

namespace {

constexpr const char* kCannon = "CannonClass";
constexpr const char* kTurret = "TurretClass";
constexpr const char* kWing = "WingClass";

// A unit taken out of use: one in the scene is killed and goes with the scene's
// clean-up; one that never reached the scene has nobody else to free it.
void DiscardUnit(TEngineObject* unit) {
    if (!unit) return;
    if (auto* bru = dynamic_cast<TBaseRenderUnit*>(unit)) {
        if (bru->Parent())
            bru->Kill();
        else
            bru->Release();
        return;
    }
    GameSceneLink().Kill(unit);
}

void AttachUnit(TEngineObject* helper, TEngineObject* unit) {
    auto* h = dynamic_cast<TBaseRenderUnit*>(helper);
    auto* u = dynamic_cast<TBaseRenderUnit*>(unit);
    if (!h || !u) return;
    if (u->GetAttachCount() > 0) u->Detach();
    h->Attach(u);
}

void DetachUnit(TEngineObject* unit) {
    if (auto* u = dynamic_cast<TBaseRenderUnit*>(unit); u && u->GetAttachCount() > 0) u->Detach();
}

// The type of the mesh in the scripts' gun models ("" when it has none).
std::string GunModelType(const std::string& mesh) {
    const std::string m = LuaQuote(mesh);
    std::string type;
    GameReadLua("type(gunmodel) == 'table' and type(gunmodel[" + m + "]) == 'table' and gunmodel[" + m +
                    "].type or nil",
                type);
    return type;
}

} // namespace

// ---- TGameItem ------------------------------------------------------------------------------

void TGameItem::MakeItemChildren() {
    constexpr ParamKind S = ParamKind::String;
    constexpr ParamKind I = ParamKind::Int;
    constexpr ParamKind F = ParamKind::Sub;
    constexpr ParamKind V = ParamKind::Value;
    AddParams(this, {{"name", S},
                     {"description", S},
                     {"master_des", S},
                     {"mesh", S},
                     {"itemmesh", S},
                     {"class", I},
                     {"weaponType", I},
                     {"bulletType", I},
                     {"group", S},
                     {"functionalType", I},
                     {"durability", V},
                     {"quanity", V},
                     {"status", I},
                     {"used", I}});
    NewGameObject<TSlots>("slots", this);
    AddParams(this, {{"reloading", V}, {"charge", V}});
    if (TGameObjectParam* reloading = Child<TGameObjectParam>(this, "reloading")) {
        reloading->Speed()->setValue(1.0f);
        // The reload runs while the item sits in a slot.
        reloading->OnTick()->Deactivate();
    }
    NewGameObject<TGameObjectLink>("parentShip", this);
    struct Handler {
        const char* name;
        void (TGameItem::*func)(TEngineObject*, TEngineObject*);
    };
    for (const Handler& h :
         {Handler{"onInSlot", &TGameItem::onInSlotFunc}, Handler{"onOutSlot", &TGameItem::onOutSlotFunc},
          Handler{"onEnable", &TGameItem::onEnableFunc}, Handler{"onDisable", &TGameItem::onDisableFunc},
          Handler{"onUse", &TGameItem::onUseFunc}, Handler{"onStartUse", &TGameItem::onStartUseFunc},
          Handler{"onEndUse", &TGameItem::onEndUseFunc}, Handler{"onLoadItem", &TGameItem::onLoadItemFunc}}) {
        auto* e = NewGameObject<TGameEvent>(h.name, this);
        e->SetHandler([this, f = h.func](TEngineObject* o, TEngineObject* d) { (this->*f)(o, d); });
        // Directly under the item, the event's object is the item itself.
        e->EventObjLink()->setValue(this);
    }
    AddParams(this, {{"range", F}, {"minRange", F}});
    if (auto* minRange = dynamic_cast<TGameObjectSubParam*>(objects_->Find("minRange")))
        minRange->setValue(800.0f);
    AddParams(this, {{"energyTake", F},
                     {"mass", F},
                     {"energyGive", F},
                     {"capacityGive", F},
                     {"cost", F},
                     {"isNew", I},
                     {"isNpcItem", I},
                     {"shortName", S},
                     {"custom", I},
                     {"minRank", I},
                     {"subgroup", S},
                     {"index", I},
                     {"res1", I},
                     {"res2", I},
                     {"res3", I},
                     {"res4", I},
                     {"res5", I}});
    if (auto* isNew = dynamic_cast<TGameObjectIntParam*>(objects_->Find("isNew"))) isNew->setValue(1);
}

void TGameItem::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameSceneObject::Create(name, parent);
    MakeItemChildren();
}

void TGameItem::CreateEmpty() {
    TBaseGameSceneObject::CreateEmpty();
    MakeItemChildren();
}

std::string TGameItem::Mesh() const {
    auto* p = dynamic_cast<TGameObjectStringParam*>(objects_->Find("mesh"));
    return p ? p->GetValue() : std::string();
}

int32_t TGameItem::ItemClass() const {
    return IntOf(this, "class");
}
int32_t TGameItem::WeaponType() const {
    return IntOf(this, "weaponType");
}
int32_t TGameItem::Status() const {
    return IntOf(this, "status");
}
int32_t TGameItem::Used() const {
    return IntOf(this, "used");
}

std::string TGameItem::Group() const {
    auto* p = dynamic_cast<TGameObjectStringParam*>(objects_->Find("group"));
    return p ? p->GetValue() : std::string();
}

TSlots* TGameItem::Slots() const {
    return dynamic_cast<TSlots*>(objects_->Find("slots"));
}

TEngineObject* TGameItem::GetHex2() const {
    auto* link = dynamic_cast<TGameObjectFreeLink*>(objects_->Find("hex2"));
    return link ? link->GetValue() : nullptr;
}

void TGameItem::SetHex2(TEngineObject* unit) {
    auto* link = dynamic_cast<TGameObjectFreeLink*>(objects_->Find("hex2"));
    if (!link) link = NewGameObject<TGameObjectFreeLink>("hex2", this);
    if (TEngineObject* old = link->GetValue(); old && old != unit) DiscardUnit(old);
    link->setValue(unit);
}

void TGameItem::FireEvent(const char* name, TEngineObject* data) {
    auto* e = objects_ ? dynamic_cast<TGameEvent*>(objects_->Find(name)) : nullptr;
    if (!e) return;
    e->SetEventData(data);
    e->Fire();
}

TGameItemLink* TGameItem::Holder() const {
    return holderId_ ? FindEngineObjectAs<TGameItemLink>(holderId_) : nullptr;
}

TBaseGameObject* TGameItem::ParentShip() const {
    auto* link = dynamic_cast<TGameObjectLinkParam*>(objects_->Find("parentShip"));
    return link ? link->GetLinked() : nullptr;
}

void TGameItem::SetParentShip(TBaseGameObject* ship) {
    if (TSlots* slots = Slots()) {
        int32_t cursor;
        TBaseGameObject* child;
        slots->First(cursor);
        while (slots->Next(cursor, child))
            if (auto* slot = dynamic_cast<TGameSlot*>(child))
                if (TGameItem* item = slot->MountedItem(); item && item != this) item->SetParentShip(ship);
    }
    if (auto* link = dynamic_cast<TGameObjectLinkParam*>(objects_->Find("parentShip"))) link->setValue(ship);
}

void TGameItem::SetHolder(TGameItemLink* link) {
    if (TGameItemLink* old = Holder()) {
        if (dynamic_cast<TGameSlot*>(old->GetParent())) {
            FireEvent("onDisable");
            FireEvent("onOutSlot");
        }
        // Whatever held the item lets go of it, so no two holders list it.
        old->ClearQuietly();
    }
    holderId_ = link ? link->GetId() : 0;
    if (!link) return;
    TBaseGameObject* p = link->GetParent();
    if (dynamic_cast<TGameSlot*>(p)) {
        FireEvent("onInSlot");
        FireEvent("onEnable");
    } else if (!dynamic_cast<TGameObjectCargo*>(p)) {
        ErrorReport("TGameItem.setLinkPointer error: " + GetDebugPath(link) + Ru(" неизвестный тип предка ") +
                        (p ? p->ClassName() : std::string("nil")),
                    "mhl");
    }
}

void TGameItem::Delete() {
    if (!deleted_) {
        if (TGameItemLink* holder = Holder()) holder->ClearQuietly();
        holderId_ = 0;
        RefundShip();
        TEngineObject* unit = GetHex();
        SetHex(nullptr);
        DiscardUnit(unit);
        SetHex2(nullptr);
    }
    TBaseGameSceneObject::Delete();
}

void TGameItem::onCreatedFunc(TEngineObject* obj, TEngineObject* data) {
    TBaseGameSceneObject::onCreatedFunc(obj, data);
    werifyMesh();
}

bool TGameItem::werifyMesh() {
    if (!Mesh().empty()) return true;
    ErrorReport(Ru("TGameItem.werifyMesh error: у предмета ") + GetDebugPath(this) + Ru(" не прописан меш!"),
                "mhl");
    return false;
}

// ---- units ----------------------------------------------------------------------------------------

TEngineObject* TGameItem::createBru(const std::string& className) {
    const std::string mesh = Mesh();
    TGameMesh* description = GameMeshTable ? GameMeshTable->FindMesh(mesh) : nullptr;
    FastLogAdd(mesh + "/" + (description ? description->ModelFile() : std::string()));
    if (ClassManager.IndexOf(className) < 0) {
        FastLogAdd("TGameItem.createBru: " + className + " is not registered: the world side is missing (" +
                   GetLuaPath(this) + ")");
        return nullptr;
    }
    TBaseRenderUnit* unit =
        ClassManager.Create<TRenderUnitKind>(className, static_cast<TBaseRenderUnit*>(nullptr));
    if (!unit) return nullptr;
    unit->SetName(mesh + "." + className + "_" + IntToHex8(unit->GetId()));
    if (!GameWorldLink().LoadItemUnit(unit, mesh)) {
        if (!GameWorldMissing()) ErrorReport("TGameItem.createBru: unknown result.IsClassType()", "mhl");
        unit->Release();
        return nullptr;
    }
    return unit;
}

void TGameItem::onLoadItemFunc(TEngineObject*, TEngineObject*) {
    if (!werifyMesh()) return;
    const std::string type = GunModelType(Mesh());
    auto replaceUnit = [this](TEngineObject* unit) {
        // A unit made for a kind the mesh does not have is not left behind.
        if (TEngineObject* old = GetHex(); old && old != unit) {
            SetHex(nullptr);
            DiscardUnit(old);
        }
        SetHex(unit);
    };
    if (WeaponType() == 1) {
        replaceUnit(createBru(kCannon));
        SetHex2(createBru(kCannon));
    }
    const std::string cls = UnitClassOf(type);
    if (cls.empty()) {
        ErrorReport(Ru("TGameItem.onCreatedFunc error : тип меша предмета ") + type +
                        Ru(" не поддерживается!"),
                    "mhl");
        return;
    }
    replaceUnit(createBru(cls));
}

std::string TGameItem::UnitClassOf(const std::string& type) const {
    if (type == "gun" || type == "ray" || type == "doubleGun") return kCannon;
    if (type == "turret") return kTurret;
    if (type == "wing") return kWing;
    return {};
}

// ---- slots and use ------------------------------------------------------------------------------------

void TGameItem::ChargeShip(TBaseGameObject* ship) {
    RefundShip();
    TGameObjectParam* power = FindObjectParam(ship, "power");
    TGameObjectParam* capacity = FindObjectParam(ship, "capacity");
    if (!power || !capacity) return;
    const float p0 = power->Cur()->GetValue();
    const float c0 = capacity->Cur()->GetValue();
    power->Cur()->setValue(p0 - FloatOf(this, "energyTake"));
    capacity->Cur()->setValue(c0 + FloatOf(this, "mass"));
    // What the clamps let through is what is given back.
    chargedPower_ = p0 - power->Cur()->GetValue();
    chargedCapacity_ = capacity->Cur()->GetValue() - c0;
    chargedShip_ = ship->GetId();
}

void TGameItem::RefundShip() {
    auto* ship = chargedShip_ ? GameObjectById(chargedShip_) : nullptr;
    chargedShip_ = 0;
    if (!ship) return;
    if (TGameObjectParam* power = FindObjectParam(ship, "power"))
        power->Cur()->setValue(power->Cur()->GetValue() + chargedPower_);
    if (TGameObjectParam* capacity = FindObjectParam(ship, "capacity"))
        capacity->Cur()->setValue(capacity->Cur()->GetValue() - chargedCapacity_);
    chargedPower_ = chargedCapacity_ = 0.0f;
}

void TGameItem::onInSlotFunc(TEngineObject*, TEngineObject*) {
    TGameItemLink* holder = Holder();
    auto* slot = holder ? dynamic_cast<TGameSlot*>(holder->GetParent()) : nullptr;
    if (!slot) return;
    if (!GetHex()) FireEvent("onLoadItem");
    if (TGameObjectParam* reloading = Child<TGameObjectParam>(this, "reloading");
        reloading && reloading->OnTick())
        reloading->OnTick()->Activate();
    TBaseGameObject* owner = slot->Owner();
    auto* ownerItem = dynamic_cast<TGameItem*>(owner);
    SetParentShip(ownerItem ? ownerItem->ParentShip() : owner);
    if (TBaseGameObject* ship = ParentShip()) ChargeShip(ship);
    if (!Mesh().empty()) {
        if (slot->ItemType() != ItemClass()) {
            ErrorReport("TGameItem.onInSlotFunc error :_slot.itemType.value(" + IntToStr32(slot->ItemType()) +
                            ")in " + GetDebugPath(slot) + " <>_item.class.value(" + IntToStr32(ItemClass()) +
                            ") in " + GetDebugPath(this),
                        "mhl");
            return;
        }
        if (slot->WeaponType() != WeaponType()) {
            ErrorReport("TGameItem.onInSlotFunc error :_slot.weaponType.value(" +
                            IntToStr32(slot->WeaponType()) + ")in " + GetDebugPath(slot) +
                            "  <>_item.weaponType.value(" + IntToStr32(WeaponType()) + ") in " +
                            GetDebugPath(this),
                        "mhl");
            return;
        }
        if (!slot->Mesh().empty())
            if (auto* mesh = dynamic_cast<TGameObjectStringParam*>(objects_->Find("mesh")))
                mesh->setValue(slot->Mesh());
        const std::string type = GunModelType(Mesh());
        if (slot->SlotClass() != "doubleGun" && slot->SlotClass() != type) {
            ErrorReport("TGameItem.onInSlotFunc error: " + GetDebugPath(slot) + " slotItemType(" +
                            slot->SlotClass() + ")<> gunModelType(" + type + ") " + GetDebugPath(this) + " ",
                        "mhl");
            return;
        }
    }
    if (TEngineObject* unit = GetHex()) AttachUnit(slot->HelperHex(), unit);
    if (TEngineObject* second = GetHex2(); second && slot->HelperHex2())
        AttachUnit(slot->HelperHex2(), second);
}

void TGameItem::onOutSlotFunc(TEngineObject*, TEngineObject*) {
    FireEvent("onEndUse");
    SetParentShip(nullptr);
    RefundShip();
    if (TGameObjectParam* reloading = Child<TGameObjectParam>(this, "reloading");
        reloading && reloading->OnTick())
        reloading->OnTick()->Deactivate();
    DetachUnit(GetHex());
    DetachUnit(GetHex2());
}

void TGameItem::onEnableFunc(TEngineObject*, TEngineObject*) {
    if (Effects()) Effects()->ActivateTicks();
    SetIntOf(this, "status", 1);
}

void TGameItem::onDisableFunc(TEngineObject*, TEngineObject*) {
    if (Effects()) Effects()->DeactivateTicks();
    SetIntOf(this, "status", 0);
}

void TGameItem::onUseFunc(TEngineObject*, TEngineObject*) {}

void TGameItem::ChangeShipUseCount(int delta) {
    if (auto* ship = dynamic_cast<TGameObject*>(ParentShip()))
        ship->ChangeItemsInUse(IntOf(this, "functionalType"), delta);
}

namespace {
// Fires the named event of every object effect of the item with the use argument.
void FireEffects(TBaseGameObject* effects, bool enable, TEngineObject* argument) {
    if (!effects) return;
    int32_t cursor;
    TBaseGameObject* child;
    effects->First(cursor);
    while (effects->Next(cursor, child)) {
        auto* effect = dynamic_cast<TGameObjectEffect*>(child);
        TGameEvent* e = effect ? (enable ? effect->OnEnable() : effect->OnDisable()) : nullptr;
        if (!e) continue;
        e->SetEventData(argument);
        e->Fire();
    }
}
} // namespace

void TGameItem::onStartUseFunc(TEngineObject*, TEngineObject* data) {
    if (Used() == 1) return;
    if (TGameObjectParam* charge = Child<TGameObjectParam>(this, "charge");
        charge && charge->Cur()->GetValue() == 0.0f) {
        SetIntOf(this, "used", 0);
        return;
    }
    ChangeShipUseCount(+1);
    SetIntOf(this, "used", 1);
    FireEffects(Effects(), true, data);
}

void TGameItem::onEndUseFunc(TEngineObject*, TEngineObject* data) {
    if (Used() == 0) return;
    ChangeShipUseCount(-1);
    SetIntOf(this, "used", 0);
    FireEffects(Effects(), false, data);
}

// ---- TGameItemLink -------------------------------------------------------------------------------------

void TGameItemLink::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectDelayedLinkParam::Create(name, parent);
    SetTable(GlobalList("items"));
    events_ = NewGameObject<TGameEventList>("events", this);
    NewGameObject<TonCreated>("onCreated", events_)->SetHandler([this](TEngineObject* o, TEngineObject* d) {
        onCreatedFunc(o, d);
    });
    NewGameObject<TGameEvent>("onUpdate", events_)->SetHandler([this](TEngineObject* o, TEngineObject* d) {
        onUpdateFunc(o, d);
    });
}

void TGameItemLink::ChildLeft(TBaseGameObject* child) {
    TGameObjectDelayedLinkParam::ChildLeft(child);
    ForgetChild(child, events_);
}

TGameEvent* TGameItemLink::OnUpdate() const {
    return events_ ? dynamic_cast<TGameEvent*>(events_->GetObjects()->Find("onUpdate")) : nullptr;
}

TGameItem* TGameItemLink::Item() const {
    return dynamic_cast<TGameItem*>(GetLinked());
}

void TGameItemLink::setValue(TBaseGameObject* node) {
    if (TGameEvent* update = OnUpdate()) {
        update->EventObjLink()->setValue(node);
        update->SetEventData(GetLinked());
        update->Fire();
    }
    TGameObjectDelayedLinkParam::setValue(node);
}

void TGameItemLink::ClearQuietly() {
    TGameObjectDelayedLinkParam::setValue(nullptr);
}

void TGameItemLink::onCreatedFunc(TEngineObject*, TEngineObject*) {
    if (!GetLinked()) return;
    if (TGameEvent* update = OnUpdate()) {
        update->EventObjLink()->setValue(GetLinked());
        update->SetEventData(nullptr);
        update->Fire();
    }
}

void TGameItemLink::onUpdateFunc(TEngineObject* obj, TEngineObject* data) {
    auto* newItem = dynamic_cast<TGameItem*>(obj);
    auto* oldItem = dynamic_cast<TGameItem*>(data);
    if (auto* slot = dynamic_cast<TGameSlot*>(parent_)) {
        if (!slot->HelperHex()) slot->Bind();
        if (!slot->HelperHex()) {
            if (newItem)
                FastLogAdd("TGameItemLink.onUpdate: slot " + GetLuaPath(slot) + " is not bound, " +
                           GetLuaPath(newItem) + " waits outside it");
            return;
        }
    }
    if (oldItem && oldItem->Holder() == this) oldItem->SetHolder(nullptr);
    if (newItem) newItem->SetHolder(this);
}

void TGameItemLink::Delete() {
    if (!deleted_)
        if (TGameItem* item = Item(); item && item->Holder() == this) item->SetHolder(nullptr);
    TGameObjectDelayedLinkParam::Delete();
}

void RegisterItemClasses() {
    RegisterGameClass(TGameItem::StaticClass());
    RegisterGameClass(TGameItemLink::StaticClass());
}

} // namespace vesk
