#include "game/launchers.h"

#include <cmath>
#include <vector>

#include "game/ai_helpers.h"
#include "game/damage.h"
#include "game/gun_effects.h"
#include "game/items.h"
#include "game/params.h"
#include "game/projectiles.h"
#include "shared/errors.h"
#include "shared/helpers.h"

namespace vesk {

// ---- TGameObjectLauncherEffect ------------------------------------------------------------------

void TGameObjectLauncherEffect::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectEffect::Create(name, parent);
    auto* onLaunch = NewGameObject<TGameEvent>("onLaunch", this);
    onLaunch->SetHandler([this](TEngineObject* o, TEngineObject* d) { onLaunchFunc(o, d); });
    onLaunch->EventObjLink()->setValue(this);
    NewGameObject<TBaseGameObjectList>("shots", this)
        ->SetDefaultChildClass(&TGameObjectLaunchEffect::StaticClass());
    NewGameObject<TGameObjectFreeLink>("curHex", this);
}

TGameItem* TGameObjectLauncherEffect::Item() const {
    return parent_ ? dynamic_cast<TGameItem*>(parent_->GetParent()) : nullptr;
}

void TGameObjectLauncherEffect::onTickFunc(TEngineObject*, TEngineObject*) {
    LauncherTick();
}

void TGameObjectLauncherEffect::LauncherTick() {
    if (!enabled_) return;
    TGameItem* item = Item();
    TGameObjectParam* charge = Child<TGameObjectParam>(item, "charge");
    TGameObjectParam* reloading = Child<TGameObjectParam>(item, "reloading");
    if (!item || item->Used() != 1 || !charge || !reloading) return;
    if (std::trunc(charge->Cur()->GetValue()) == 0.0f) return;
    if (reloading->Cur()->GetValue() != reloading->Max()->GetValue()) return;
    charge->Cur()->setValue(std::trunc(charge->Cur()->GetValue() + charge->Speed()->GetValue()));
    reloading->Cur()->setValue(0.0f);
    if (auto* curHex = Child<TGameObjectFreeLink>(this, "curHex")) curHex->setValue(item->GetHex());
    if (auto* onLaunch = Child<TGameEvent>(this, "onLaunch")) onLaunch->Fire();
    item->FireEvent("onEndUse");
}

void TGameObjectLauncherEffect::onLaunchFunc(TEngineObject*, TEngineObject*) {
    auto* curHex = Child<TGameObjectFreeLink>(this, "curHex");
    TEngineObject* barrel = curHex ? curHex->GetValue() : nullptr;
    if (!barrel) return;
    auto* item = dynamic_cast<TGameItem*>(getParentByClass(TGameItem::StaticClass()));
    TBaseGameObject* ship = item ? item->ParentShip() : nullptr;
    std::vector<TBaseGameObject*> launches;
    ForEachChildOf(FindChild("shots"), [&](TBaseGameObject* c) { launches.push_back(c); });
    for (TBaseGameObject* launch : launches) {
        std::string className;
        if (TBaseGameObject* type = launch->FindChild("bulletType")) type->stringValue(className);
        const TGameClass* cls = FindGameClass(className);
        if (!cls) continue;
        // Launched objects are made fresh, never taken from a pool.
        auto* object = dynamic_cast<TBaseGameSceneObject*>(NewGameObject(*cls, "bullet_", RocketsList()));
        if (!object) continue;
        TBaseGameObject* dest = object;
        launch->CopyStructure(dest);
        object->AppendIdToName();
        if (object->Spawner()) object->Spawner()->setValue(ship);
        if (auto* projectile = dynamic_cast<IGameProjectile*>(object)) projectile->SetGunId(barrel);
        ForEachChildOf(object->Effects(), [&](TBaseGameObject* c) {
            if (auto* effect = dynamic_cast<TGameObjectEffect*>(c)) ArmDamageCopy(*effect, ship);
        });
        if (object->OnCreated()) object->OnCreated()->Fire();
    }
}

// ---- TGameObjectLaunchEffect --------------------------------------------------------------------

void TGameObjectLaunchEffect::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectEffect::Create(name, parent);
    AddParams(this, {{"endFx", ParamKind::String},
                     {"startFx", ParamKind::String},
                     {"endFxLink", ParamKind::Int},
                     {"startFxLink", ParamKind::Int},
                     {"lifetime", ParamKind::Sub},
                     {"helperId", ParamKind::String}});
    NewGameObject<TBaseGameObjectList>("effects", this)->SetDefaultChildClass(&TDamageEffect::StaticClass());
    AddParams(this, {{"spacemodel", ParamKind::String}});
}

void TGameObjectLaunchEffect::onCreatedFunc(TEngineObject* obj, TEngineObject* data) {
    TGameObjectEffect::onCreatedFunc(obj, data);
    for (const auto& [name, link] : {std::pair{"startFx", "startFxLink"}, std::pair{"endFx", "endFxLink"}}) {
        auto* text = Child<TGameObjectStringParam>(this, name);
        const std::string fx = text ? text->GetValue() : std::string();
        const int32_t id =
            ReadFxHex(fx, "TGameObjectLaunchEffect.onCreatedFunc error: (" + GetDebugPath(this) +
                              Ru(") визуального эффекта ") + fx + Ru(" не существует"));
        if (auto* target = Child<TGameObjectIntParam>(this, link)) target->setValue(id);
    }
}

void RegisterLauncherClasses() {
    RegisterGameClass(TGameObjectLauncherEffect::StaticClass());
    RegisterGameClass(TGameObjectLaunchEffect::StaticClass());
}

} // namespace vesk
