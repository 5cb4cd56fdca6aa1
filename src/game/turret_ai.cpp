#include "game/turret_ai.h"

#include <cmath>

#include "game/ai_helpers.h"
#include "game/game_ini_table.h"
#include "game/items.h"
#include "game/obj_managers.h"
#include "game/player.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

namespace {

ITurretAim*& InstalledAim() {
    static ITurretAim* aim = nullptr;
    return aim;
}

void LogOnce(bool& told, const std::string& text) {
    if (told) return;
    told = true;
    FastLogAdd(text);
}

} // namespace

ITurretAim* TurretAim() {
    return InstalledAim();
}

void SetTurretAim(ITurretAim* aim) {
    InstalledAim() = aim;
}

// ---- TGameObjectTurretEffect ----------------------------------------------------------------------

void TGameObjectTurretEffect::MakeTurretChildren() {
    NewGameObject<TGameObjectTurretAIModel>("ai", this);
    NewGameObject<TGameObjectSubParam>("maxRange", this);
}

void TGameObjectTurretEffect::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectGunEffect::Create(name, parent);
    MakeTurretChildren();
}

void TGameObjectTurretEffect::CreateEmpty() {
    TGameObjectGunEffect::CreateEmpty();
    MakeTurretChildren();
}

TGameObjectTurretAIModel* TGameObjectTurretEffect::Ai() const {
    return objects_ ? dynamic_cast<TGameObjectTurretAIModel*>(objects_->Find("ai")) : nullptr;
}

float TGameObjectTurretEffect::MaxRange() const {
    auto* p = objects_ ? dynamic_cast<TGameObjectSubParam*>(objects_->Find("maxRange")) : nullptr;
    return p ? p->GetValue() : 0.0f;
}

void TGameObjectTurretEffect::TakeItemRange() {
    TGameItem* item = Item();
    auto* range = item ? dynamic_cast<TGameObjectSubParam*>(item->FindChild("range")) : nullptr;
    if (auto* p = objects_ ? dynamic_cast<TGameObjectSubParam*>(objects_->Find("maxRange")) : nullptr)
        p->setValue(range ? range->GetValue() : 0.0f);
}

void TGameObjectTurretEffect::onCreatedFunc(TEngineObject* obj, TEngineObject* data) {
    TGameObjectGunEffect::onCreatedFunc(obj, data);
    // The turret watches for enemies from the start, within its item's range.
    TakeItemRange();
    if (TGameObjectTurretAIModel* ai = Ai()) ai->FireEvent("onInit");
}

void TGameObjectTurretEffect::onEnableFunc(TEngineObject* obj, TEngineObject* data) {
    TGameObjectGunEffect::onEnableFunc(obj, data);
    TakeItemRange();
}

void TGameObjectTurretEffect::Delete() {
    if (TGameObjectTurretAIModel* ai = deleted_ ? nullptr : Ai()) ai->FireEvent("onShutdown");
    TGameObjectGunEffect::Delete();
}

void TGameObjectTurretEffect::ShootOnce(TEngineObject* target) {
    SetCurTarget(target);
    const bool was = enabled_;
    enabled_ = true;
    GunTick();
    SetCurTarget(nullptr);
    enabled_ = was;
}

// ---- TGameObjectTurretAIModel ---------------------------------------------------------------------

void TGameObjectTurretAIModel::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectBaseAIModel::Create(name, parent);
    NewGameObject<TGameObjectFreeLink>("prevBestEnemy", this);
    NewGameObject<TGameObjectFreeLink>("bestEnemy", this);
    NewGameObject<TonTick>("onTick", this)->SetHandler([this](TEngineObject*, TEngineObject*) {
        TickTurret();
    });
}

TGameObjectTurretEffect* TGameObjectTurretAIModel::Effect() const {
    return dynamic_cast<TGameObjectTurretEffect*>(parent_);
}

TGameItem* TGameObjectTurretAIModel::TurretItem() const {
    TGameObjectTurretEffect* effect = Effect();
    return effect ? effect->Item() : nullptr;
}

TBaseGameObject* TGameObjectTurretAIModel::Owner() const {
    TGameItem* item = TurretItem();
    return item ? item->ParentShip() : nullptr;
}

TEngineObject* TGameObjectTurretAIModel::BestEnemy() const {
    auto* link = objects_ ? dynamic_cast<TGameObjectFreeLink*>(objects_->Find("bestEnemy")) : nullptr;
    return link ? link->GetValue() : nullptr;
}

TEngineObject* TGameObjectTurretAIModel::PrevBestEnemy() const {
    auto* link = objects_ ? dynamic_cast<TGameObjectFreeLink*>(objects_->Find("prevBestEnemy")) : nullptr;
    return link ? link->GetValue() : nullptr;
}

void TGameObjectTurretAIModel::onInitFunc(TEngineObject*, TEngineObject*) {
    if (auto* tick = dynamic_cast<TonTick*>(FindChild("onTick"))) tick->Activate();
}

void TGameObjectTurretAIModel::onShutdownFunc(TEngineObject*, TEngineObject*) {
    if (auto* tick = dynamic_cast<TonTick*>(FindChild("onTick"))) tick->Deactivate();
}

float TGameObjectTurretAIModel::getRangeToObj(TBaseGameObject* obj) {
    TBaseRenderUnit* turret = UnitOf(TurretItem());
    if (!turret) {
        ErrorReport("TGameObjectTurretAIModel.getRangeToObj error: " + AiAncestry(this) + " _main.hex=nil",
                    "mhl");
        return kAiNoRange;
    }
    TBaseRenderUnit* other = UnitOf(obj);
    return other ? SurfaceRange(turret, other) : kAiNoRange;
}

bool TGameObjectTurretAIModel::CanAimAt(TBaseRenderUnit* target) const {
    ITurretAim* aim = TurretAim();
    if (!aim) {
        static bool told = false;
        LogOnce(told, "TGameObjectTurretAIModel: no turret in the world can aim yet: " + AiAncestry(this));
        return false;
    }
    TGameItem* item = TurretItem();
    return item && aim->IsTurretTarget(item->GetHex(), target);
}

void TGameObjectTurretAIModel::TickTurret() {
    TGameItem* item = TurretItem();
    if (!item || !UnitOf(item) || item->Status() != 1) return;
    if (GameIniTable && GameIniTable->GetInt("turretsEnabled") == 1) ChooseBestEnemy();
    auto* prev = dynamic_cast<TGameObjectFreeLink*>(FindChild("prevBestEnemy"));
    TEngineObject* best = BestEnemy();
    if (prev) prev->setValue(best);
    TBaseRenderUnit* target = UnitOf(best);
    if (!target || !TurretAim()) return;
    TurretAim()->SetTurretTarget(item->GetHex(), target, [id = GetId()] {
        if (auto* model = FindEngineObjectAs<TGameObjectTurretAIModel>(id)) model->Shoot();
    });
}

void TGameObjectTurretAIModel::ChooseBestEnemy() {
    auto* bestLink = dynamic_cast<TGameObjectFreeLink*>(FindChild("bestEnemy"));
    TGameObjectTurretEffect* effect = Effect();
    TBaseGameObject* owner = Owner();
    TBaseRenderUnit* own = UnitOf(owner);
    if (!bestLink || !effect || !own) return;
    float r = effect->MaxRange();
    if (auto* best = dynamic_cast<TBaseGameObject*>(bestLink->GetValue())) {
        TBaseRenderUnit* unit = UnitOf(best);
        if (unit && CanAimAt(unit) && SurfaceRange(own, unit) <= r && IsHostile(owner, best)) return;
        bestLink->setValue(nullptr);
    }
    if (!TargetedObjects) return;
    TBaseGameObject* chosen = nullptr;
    ForEachChildOf(TargetedObjects, [&](TBaseGameObject* entry) {
        auto* e = dynamic_cast<TGameEvent*>(entry);
        auto* obj = e ? dynamic_cast<TBaseGameObject*>(e->GetEventObj()) : nullptr;
        if (!obj || obj == owner || obj->IsDeleted() || SOClassOf(obj) != kSOClassShip) return;
        TBaseRenderUnit* unit = UnitOf(obj);
        if (!unit || !IsHostile(owner, obj) || !CanAimAt(unit)) return;
        const float d = SurfaceRange(own, unit);
        if (d <= r) {
            r = d;
            chosen = obj;
        }
    });
    bestLink->setValue(chosen);
}

void TGameObjectTurretAIModel::Shoot() {
    TGameItem* item = TurretItem();
    TGameObjectTurretEffect* effect = Effect();
    if (!Owner() || !item || !effect) return;
    item->FireEvent("onStartUse");
    effect->ShootOnce(BestEnemy());
    item->FireEvent("onEndUse");
}

void RegisterTurretClasses() {
    RegisterGameClass(TGameObjectTurretEffect::StaticClass());
    RegisterGameClass(TGameObjectTurretAIModel::StaticClass());
}

} // namespace vesk
