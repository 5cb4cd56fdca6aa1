#include "interface/gun_controller.h"

#include <cmath>

#include "game/items.h"
#include "game/params.h"
#include "game/slots.h"
#include "interface/desktop.h"
#include "interface/interface_tools.h"
#include "shared/class_manager.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"

namespace vesk {

namespace {

constexpr const char* kWeaponSelect = "play_ex(i_sound.event_weapon_select)";
constexpr const char* kMissileSelect = "play_ex(i_sound.event_missile_select)";

TMegaButton* DesktopControl(TDeskTop* desktop, const std::string& name) {
    int status = 0;
    return desktop ? dynamic_cast<TMegaButton*>(desktop->GetChildNode(name, status, true)) : nullptr;
}

// An item value as a whole number.
int RoundedValueOf(TEngineObject* item, const char* name) {
    return Round(HudValue(item, name));
}

TGameObjectParam* ValueParam(TEngineObject* item, const char* name) {
    auto* o = dynamic_cast<TBaseGameObject*>(item);
    return o ? dynamic_cast<TGameObjectParam*>(o->FindChild(name)) : nullptr;
}

float MaxOf(TEngineObject* item, const char* name) {
    TGameObjectParam* p = ValueParam(item, name);
    return p && p->Max() ? p->Max()->GetValue() : 0.0f;
}

// current / maximum of an item's value parameter; `ifNoMax` when the maximum is 0.
float Fraction(TEngineObject* item, const char* name, float ifNoMax) {
    TGameObjectParam* p = ValueParam(item, name);
    return p && p->Cur() && MaxOf(item, name) != 0 ? HudParamFraction(p) : ifNoMax;
}

// A colour property of a place, set as the scripts set it. The panel sets its
// colours every frame: on a plain button that has that colour already the set
// would change nothing, so it is left out.
void SetColor(TMegaButton* n, const char* key, uint32_t argb, uint32_t (TMegaButton::*current)() const) {
    if (IsClassType<TMegaButton>(n) && (n->*current)() == argb) return;
    n->SetProperty(key, ColorText(argb));
}

} // namespace

void TGunController::Bind() {
    weaponOn_ = DesktopControl(desktop_, "dataWeaponOn");
    weaponOff_ = DesktopControl(desktop_, "dataWeaponOff");
    for (int i = 0; i < kSlots; ++i) {
        const std::string n = std::to_string(i);
        for (auto [entry, prefix] :
             {std::pair{&guns_[size_t(i)], "Gun"}, std::pair{&rockets_[size_t(i)], "Rocket"}}) {
            *entry = Entry{};
            entry->control = DesktopControl(desktop_, std::string(prefix) + "_" + n);
            entry->bar = DesktopControl(desktop_, std::string(prefix) + "_Bar_" + n);
            if (TMegaButton* c = entry->control.Get()) entry->baseTop = c->Top();
            if (TMegaButton* b = entry->bar.Get()) {
                entry->fullWidth = b->Width();
                entry->barColour = b->Color();
            }
        }
    }
    TSimpleNode* panel = nullptr;
    if (desktop_) {
        int status = 0;
        panel = desktop_->GetChildNode("Items_Panel_Left", status, true);
    }
    for (int n = 1; n <= kItemPlaces; ++n) {
        ItemPlace& place = items_[size_t(n - 1)];
        int status = 0;
        const std::string name = "LItems_" + std::to_string(n);
        place.control =
            panel ? dynamic_cast<TMegaButton*>(panel->ChildByName(name, status, false, true)) : nullptr;
        place.counter =
            panel ? dynamic_cast<TMegaButton*>(panel->ChildByName(name + "_count", status, false, true))
                  : nullptr;
    }
    gunCount_ = rocketCount_ = 0;
    itemIndex_ = -1;
    item_ = nullptr;
    selectedGun_ = selectedRocket_ = -1;
    for (int g = 0; g < kSlots; ++g)
        for (int i = 0; i < kSlots; ++i) groups_[size_t(g)][size_t(i)] = g == i;
}

TEngineObject* TGunController::Item() const {
    return item_.Get();
}

// ---- refilling the panel ----------------------------------------------------------------

void TGunController::Update() {
    TBaseGameObject* ship = HudPlayerShip();
    if (!ship) return;
    for (auto* list : {&guns_, &rockets_})
        for (Entry& e : *list) {
            SetShown(e.control.Get(), false);
            e.object = nullptr;
        }
    for (ItemPlace& p : items_) SetShown(p.control.Get(), false);
    gunCount_ = rocketCount_ = 0;
    itemIndex_ = -1;
    item_ = nullptr;
    bool gunOverflow = false, rocketOverflow = false;
    Walk(ship, gunOverflow, rocketOverflow);
    // The shown places stand one under another in slot order.
    for (auto [list, count] : {std::pair{&guns_, gunCount_}, std::pair{&rockets_, rocketCount_}}) {
        int top = (*list)[0].baseTop;
        for (int i = 0; i < count; ++i)
            if (TMegaButton* c = (*list)[size_t(i)].control.Get()) {
                if (c->Top() != top) c->SetTop(top);
                top += c->Height();
            }
    }
}

void TGunController::Walk(TEngineObject* holder, bool& gunOverflow, bool& rocketOverflow) {
    auto* owner = dynamic_cast<TBaseGameObject*>(holder);
    TBaseGameObject* slots = owner ? owner->FindChild("slots") : nullptr;
    if (!slots) return;
    int32_t cursor = 0;
    for (TBaseGameObject* child = nullptr; slots->Next(cursor, child);) {
        auto* slot = dynamic_cast<TGameSlot*>(child);
        TGameItem* item = slot ? slot->MountedItem() : nullptr;
        if (!item) continue;
        const int kind = RoundedValueOf(item, "functionalType");
        if (kind >= 1 && kind <= kItemPlaces) {
            // Only the first usable item is shown.
            if (itemIndex_ >= 0) {
                ErrorReport("TGunController.Update fault: Item slots overflow!", "m");
                continue;
            }
            itemIndex_ = kind - 1;
            item_ = item;
            ItemPlace& place = items_[size_t(itemIndex_)];
            SetShown(place.control.Get(), true);
            const int count = MaxOf(item, "quanity") == 0 ? -1 : RoundedValueOf(item, "quanity");
            if (TMegaButton* c = place.counter.Get()) c->SetText("[" + std::to_string(count) + "]");
            if (TMegaButton* c = place.control.Get()) c->SetFlash(RoundedValueOf(item, "used") == 1);
            continue;
        }
        if (RoundedValueOf(item, "class") != 1) { // not a weapon: a container of further items
            Walk(item, gunOverflow, rocketOverflow);
            continue;
        }
        const int bullet = RoundedValueOf(item, "bulletType");
        if (bullet != 1 && bullet != 2) {
            FastLogAdd("TGunController.Update fault - uncknow bulletType...");
            continue;
        }
        const bool gun = bullet == 2;
        int& count = gun ? gunCount_ : rocketCount_;
        if (count >= kSlots) {
            bool& reported = gun ? gunOverflow : rocketOverflow;
            if (!reported)
                ErrorReport(gun ? "TGunController.Update fault: Gun slots overflow!"
                                : "TGunController.Update fault: Rocket slots overflow!",
                            "m");
            reported = true;
            continue;
        }
        Fill((gun ? guns_ : rockets_)[size_t(count++)], item, gun);
    }
}

void TGunController::Fill(Entry& e, TEngineObject* object, bool gun) {
    e.object = object;
    e.reload = Fraction(object, "reloading", 1.0f);
    e.second = Fraction(object, "charge", 0.0f);
    e.enabled = RoundedValueOf(object, "status") == 1;
    const int count = MaxOf(object, "quanity") == 0 ? -1 : RoundedValueOf(object, "quanity");
    TMegaButton* c = e.control.Get();
    if (!c) return;
    const std::string name = HudText(object, "name");
    c->SetText(count != -1 ? "[" + std::to_string(count) + "] " + name : name);
    SetShown(c, true);
    TMegaButton* on = weaponOn_.Get();
    TMegaButton* off = weaponOff_.Get();
    if (!e.enabled) {
        if (off) {
            SetColor(c, "TEXTCOLOR", off->TextColor(), &TMegaButton::TextColor);
            SetColor(c, "COLOR", off->Color(), &TMegaButton::Color);
            SetColor(c, "FRAMECOLOR", off->FrameColor(), &TMegaButton::FrameColor);
        }
        c->SetFlash(false);
        SetBarColourValue(e, 0);
        return;
    }
    c->SetOpacity(1.0f);
    if (count == 0) { // out of ammunition
        c->SetFlash(true);
        return;
    }
    c->SetFlash(false);
    // Ready to fire in the "on" colour; reloading shows the bar.
    uint32_t colour = 0;
    if (e.reload > 0.95f)
        colour = on ? on->Color() : 0;
    else if (!gun)
        colour = off ? off->Color() : 0;
    SetColor(c, "COLOR", colour, &TMegaButton::Color);
    if (TMegaButton* b = e.bar.Get()) b->SetWidth(Round((1.0f - e.reload) * static_cast<float>(e.fullWidth)));
    // A value can never run over its maximum: a full second value (the charge) counts.
    SetBarColourValue(e, e.second >= 1.0f ? Round(100.0f * e.reload) : 0);
    if (on) {
        SetColor(c, "FRAMECOLOR", on->FrameColor(), &TMegaButton::FrameColor);
        SetColor(c, "TEXTCOLOR", on->TextColor(), &TMegaButton::TextColor);
    }
}

// A fully charged weapon shows its reload bar the brighter the further the
// reload has come; otherwise the bar keeps its own colour.
void TGunController::SetBarColourValue(Entry& e, int value) {
    e.barColourValue = value;
    if (TMegaButton* b = e.bar.Get())
        SetColor(b, "COLOR", LerpColor(e.barColour, 0xFFFFFFFFu, static_cast<float>(value) / 100.0f),
                 &TMegaButton::Color);
}

// ---- the scripts' operations ------------------------------------------------------------------

void TGunController::Activate(TEngineObject* item, bool on) {
    auto* i = dynamic_cast<TGameItem*>(item);
    if (!i || (RoundedValueOf(i, "status") == 1) == on) return;
    i->FireEvent(on ? "onEnable" : "onDisable");
}

void TGunController::SetGun(int i, bool on) {
    Entry& e = guns_[size_t(i)];
    e.on = on;
    Activate(e.object.Get(), on);
}

bool TGunController::InFlight() const {
    if (!desktop_ || desktop_->Paused()) return false;
    return desktop_->Mode() == TDeskTop::kModeGame || desktop_->Mode() == TDeskTop::kModeHideInterface;
}

void TGunController::Reset() {
    Update();
    for (int i = 0; i < kSlots; ++i) {
        SetGun(i, false);
        rockets_[size_t(i)].on = false;
        Activate(rockets_[size_t(i)].object.Get(), false);
    }
    selectedGun_ = selectedRocket_ = -1;
    SelectRocket(0);
    SelectGun(0);
}

void TGunController::SelectGun(int index) {
    if (index < 0 || index >= kSlots) {
        ErrorReport("TGunController.SelectGun fault: wrong Gun Index - " + std::to_string(index), "m");
        return;
    }
    if (index >= gunCount_ || index == selectedGun_) return;
    for (int i = 0; i < kSlots; ++i) SetGun(i, i == index);
    selectedGun_ = index;
    Update();
    TiTools::RunLua(kWeaponSelect);
}

void TGunController::SwitchGun(int index) {
    if (index < 0 || index >= kSlots) {
        ErrorReport("TGunController.SwitchGun fault: wrong Gun Index - " + std::to_string(index), "m");
        return;
    }
    if (index < gunCount_) SetGun(index, RoundedValueOf(guns_[size_t(index)].object.Get(), "status") != 1);
    Update();
}

void TGunController::ShootOn() {
    if (!InFlight()) return;
    // The player shoots only while flying the ship himself.
    if (HudValue(HudPlayer(), "selfShipControl", 1.0f) != 1.0f) return;
    shooting_ = true;
    HudFireEvent(HudPlayer(), "onStartShooting");
}

void TGunController::ShootOff() {
    HudFireEvent(HudPlayer(), "onEndShooting");
    shooting_ = false;
}

void TGunController::RevolveGuns() {
    if (gunCount_ > 0) {
        selectedGun_ = selectedGun_ + 1 >= gunCount_ ? 0 : selectedGun_ + 1;
        for (int i = 0; i < kSlots; ++i) SetGun(i, i == selectedGun_);
        if (gunCount_ >= 2) TiTools::RunLua(kWeaponSelect);
    }
    Update();
}

void TGunController::Preset(int group) {
    for (int i = 0; i < kSlots; ++i)
        SetGun(i, group >= 0 && group < kSlots && groups_[size_t(group)][size_t(i)]);
    Update();
}

void TGunController::SwitchRocket(int index) {
    if (index < 0 || index >= kSlots) {
        ErrorReport("TGunController.SwitchRocket fault: wrong Rocket Index - " + std::to_string(index), "m");
        return;
    }
    // The mark follows the launcher: one that is on loses it, any other gets it.
    if (index < rocketCount_)
        rockets_[size_t(index)].on = RoundedValueOf(rockets_[size_t(index)].object.Get(), "status") != 1;
    Update();
}

void TGunController::SelectRocket(int index) {
    if (index < 0 || index >= kSlots) {
        ErrorReport("TGunController.SelectRocket fault: wrong Rocket Index - " + std::to_string(index), "m");
        return;
    }
    if (index >= rocketCount_ || index == selectedRocket_) return;
    for (int i = 0; i < kSlots; ++i) rockets_[size_t(i)].on = i == index;
    selectedRocket_ = index;
    Update();
    TiTools::RunLua(kMissileSelect);
}

void TGunController::RevolveRockets() {
    if (rocketCount_ > 1) TiTools::RunLua(kMissileSelect);
    if (rocketCount_ > 0) {
        selectedRocket_ = selectedRocket_ + 1 >= rocketCount_ ? 0 : selectedRocket_ + 1;
        for (int i = 0; i < kSlots; ++i) rockets_[size_t(i)].on = i == selectedRocket_;
    }
    Update();
}

void TGunController::LaunchRocket() {
    if (!InFlight() || rocketCount_ < 1 || selectedRocket_ < 0 || selectedRocket_ >= rocketCount_) return;
    TEngineObject* player = HudPlayer();
    // The selected launcher alone fires one volley; then the guns that are on come back.
    HudFireEvent(player, "onEndShooting");
    for (Entry& g : guns_) Activate(g.object.Get(), false);
    TEngineObject* rocket = rockets_[size_t(selectedRocket_)].object.Get();
    Activate(rocket, true);
    HudFireEvent(player, "onStartShooting");
    Activate(rocket, false);
    for (Entry& g : guns_)
        if (g.on) Activate(g.object.Get(), true);
    HudFireEvent(player, shooting_ ? "onStartShooting" : "onEndShooting");
}

void TGunController::UseSlot() {
    TEngineObject* item = item_.Get();
    auto* i = dynamic_cast<TGameItem*>(item);
    if (!i) return;
    if (RoundedValueOf(i, "used") == 1) {
        i->FireEvent("onEndUse");
    } else {
        i->FireEvent("onStartUse");
        TiTools::RunLua("play_ex(i_sound.event_packet_use)");
    }
}

} // namespace vesk
