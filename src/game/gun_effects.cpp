#include "game/gun_effects.h"

#include <cmath>
#include <vector>

#include "core/lua_readers.h"
#include "game/ai_helpers.h"
#include "game/combat_world.h"
#include "game/damage.h"
#include "game/game_lua.h"
#include "game/game_objects.h"
#include "game/game_parts.h"
#include "game/game_text.h"
#include "game/items.h"
#include "game/obj_managers.h"
#include "game/params.h"
#include "game/player.h"
#include "game/player_regimes.h"
#include "game/projectiles.h"
#include "game/scene_object.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math.h"

namespace vesk {

namespace {

TGameObjectParam* ItemParam(TBaseGameObject* item, const char* name) {
    return item && item->GetObjects() ? dynamic_cast<TGameObjectParam*>(item->GetObjects()->Find(name))
                                      : nullptr;
}

template <class T> T* Child(const TBaseGameObject* owner, const char* name) {
    return owner && owner->GetObjects() ? dynamic_cast<T*>(owner->GetObjects()->Find(name)) : nullptr;
}

// The names of the shot's effect templates and the links their ids go into.
struct FxField {
    const char* name;
    const char* link;
    bool always; // read even when empty (a missing entry is a fault)
};
constexpr FxField kShotFx[] = {
    {"mainFx", "mainFxLink", true},      {"endFx", "endFxLink", true},
    {"startFx", "startFxLink", true},    {"shieldFx", "shieldFxLink", false},
    {"defectFx", "defectFxLink", false},
};

} // namespace

int32_t ReadFxHex(const std::string& name, const std::string& context) {
    return kws2i(GetLuaString("fx" + LuaSubscript(name) + ".hex", true), context);
}

void ArmDamageCopy(TGameObjectEffect& copy, TBaseGameObject* shooter) {
    if (copy.Initiator()) copy.Initiator()->setValue(shooter ? shooter->GetName() : std::string());
    if (copy.InitiatorLink()) copy.InitiatorLink()->setValue(shooter);
    if (auto* hit = dynamic_cast<TDamageEffect*>(&copy)) {
        const float f = 0.01f * AiParamCur(shooter, "damagefactor");
        for (DamageAmount a : {DamageAmount::damage, DamageAmount::shieldDamage, DamageAmount::armorDamage})
            hit->SetAmount(a, hit->Amount(a) * f);
    }
    // The shooter heats up by what the hit says (text, as scripts set it).
    TBaseGameObject* self = copy.FindChild("temperatureSelf");
    TGameObjectParam* temperature = FindObjectParam(shooter, "temperature");
    if (self && temperature && temperature->Cur()) {
        std::string text;
        self->stringValue(text);
        const float heat = static_cast<float>(StrToExtDef(text, 0.0));
        temperature->Cur()->setValue(temperature->Cur()->GetValue() + heat);
    }
}

// ---- TGameObjectGunEffect ---------------------------------------------------------------------

void TGameObjectGunEffect::MakeGunChildren() {
    NewGameObject<TGameObjectFreeLink>("curTarget", this);
    auto* onShot = NewGameObject<TGameEvent>("onShot", this);
    onShot->SetHandler([this](TEngineObject* o, TEngineObject* d) { onShotFunc(o, d); });
    onShot->EventObjLink()->setValue(this);
    auto* shots = NewGameObject<TBaseGameObjectList>("shots", this);
    shots->SetDefaultChildClass(&TGameObjectShotEffect::StaticClass());
    NewGameObject<TGameObjectSubParam>("temperatureBurst", this);
    NewGameObject<TGameObjectFreeLink>("curHex", this);
    NewGameObject<TGameObjectSubParam>("twoBarrelDelay", this);
    NewGameObject<TGameObjectSubParam>("oneBarrelDelay", this);
    barrelDelay_ = 0.0f;
}

void TGameObjectGunEffect::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectEffect::Create(name, parent);
    MakeGunChildren();
}

void TGameObjectGunEffect::CreateEmpty() {
    TGameObjectEffect::CreateEmpty();
    MakeGunChildren();
}

TGameItem* TGameObjectGunEffect::Item() const {
    return parent_ ? dynamic_cast<TGameItem*>(parent_->GetParent()) : nullptr;
}

TEngineObject* TGameObjectGunEffect::CurTarget() const {
    auto* link = Child<TGameObjectFreeLink>(this, "curTarget");
    return link ? link->GetValue() : nullptr;
}

void TGameObjectGunEffect::SetCurTarget(TEngineObject* target) {
    if (auto* link = Child<TGameObjectFreeLink>(this, "curTarget")) link->setValue(target);
}

void TGameObjectGunEffect::onEnableFunc(TEngineObject* obj, TEngineObject* data) {
    TGameObjectEffect::onEnableFunc(obj, data);
    SetCurTarget(data);
}

void TGameObjectGunEffect::onDisableFunc(TEngineObject* obj, TEngineObject* data) {
    TGameObjectEffect::onDisableFunc(obj, data);
    SetCurTarget(nullptr);
}

void TGameObjectGunEffect::onTickFunc(TEngineObject*, TEngineObject*) {
    GunTick();
}

void TGameObjectGunEffect::GunTick() {
    if (!enabled_) return;
    TGameItem* item = Item();
    TGameObjectParam* charge = ItemParam(item, "charge");
    TGameObjectParam* reloading = ItemParam(item, "reloading");
    if (!charge || !reloading || std::trunc(charge->Cur()->GetValue()) == 0.0f) return;
    if (reloading->Cur()->GetValue() != reloading->Max()->GetValue()) return;
    charge->Cur()->setValue(std::trunc(charge->Cur()->GetValue() + charge->Speed()->GetValue()));
    reloading->Cur()->setValue(0.0f);
    auto* curHex = Child<TGameObjectFreeLink>(this, "curHex");
    auto* onShot = Child<TGameEvent>(this, "onShot");
    auto delay = [this](const char* name) {
        auto* p = Child<TGameObjectSubParam>(this, name);
        return p ? p->GetValue() : 0.0f;
    };
    barrelDelay_ = delay("oneBarrelDelay");
    if (curHex) curHex->setValue(item->GetHex());
    if (onShot) onShot->Fire();
    if (auto* hex2 = Child<TGameObjectFreeLink>(item, "hex2")) {
        barrelDelay_ = delay("twoBarrelDelay");
        if (curHex) curHex->setValue(hex2->GetValue());
        if (onShot) onShot->Fire();
    }
}

void TGameObjectGunEffect::onShotFunc(TEngineObject*, TEngineObject*) {
    TEngineObject* target = CurTarget();
    auto* curHex = Child<TGameObjectFreeLink>(this, "curHex");
    TEngineObject* barrel = curHex ? curHex->GetValue() : nullptr;
    if (!target || !barrel) return;
    TGameItem* item = Item();
    TBaseGameObject* ship = item ? item->ParentShip() : nullptr;
    TBaseGameObject* playerShip = PlayerShip();
    auto* stats = Player ? Child<TGameStatistics>(Player, "statistics") : nullptr;
    const bool secondary = item && item->WeaponType() == 2;
    if (ship && ship == playerShip && stats) {
        stats->Inc(secondary ? "secondaryShotCounter" : "primaryShotCounter");
    }
    TBaseGameObject* shots = FindChild("shots");
    std::vector<TGameObjectShotEffect*> descriptions;
    ForEachChildOf(shots, [&](TBaseGameObject* c) {
        if (auto* d = dynamic_cast<TGameObjectShotEffect*>(c)) descriptions.push_back(d);
    });
    int32_t count = 0;
    for (TGameObjectShotEffect* shot : descriptions) {
        ++count;
        TBaseGameSceneObject* projectile = shot->CreateBullet();
        auto* p = dynamic_cast<IGameProjectile*>(projectile);
        if (!projectile || !p) continue;
        if (projectile->Spawner()) projectile->Spawner()->setValue(ship);
        p->SetGunId(barrel);
        if (auto* bullet = dynamic_cast<TGameObjectBullet*>(projectile)) {
            // Shots aimed at the player's ship are counted too.
            if (target == playerShip && playerShip && stats) stats->Inc("shotCounter");
            bullet->SetMainFxLink(shot->Link("mainFxLink"));
            bullet->SetSpawnDelay(shot->BulletDelay(barrelDelay_));
            p->SetCurTarget(shot->TargetHelper());
            PlaceAimPoint(shot->TargetHelper(), UnitOf(target), barrel);
        } else if (auto* rocket = dynamic_cast<TGameObjectRocket*>(projectile)) {
            rocket->SetModels(shot->Text("spacemodel2player"), shot->Text("spacemodel"));
            auto* lock = ship ? Child<TGameObjectFreeLink>(ship, "rocketTarget") : nullptr;
            if (TEngineObject* locked = lock ? lock->GetValue() : nullptr) {
                p->SetCurTarget(locked);
            } else {
                p->SetCurTarget(shot->TargetHelper());
                PlaceAimPoint(shot->TargetHelper(), UnitOf(target), barrel);
            }
        }
        // The damage the projectile carries: copies of the shot's templates.
        const bool playerHeavy = secondary && ship && ship == playerShip;
        ForEachChildOf(shot->DamageTemplates(), [&](TBaseGameObject* c) {
            auto* templ = dynamic_cast<TGameObjectEffect*>(c);
            if (!templ || !projectile->Effects()) return;
            auto* copy = dynamic_cast<TGameObjectEffect*>(
                NewPooledObject(templ->GameClass(), "dmg_", projectile->Effects()));
            if (!copy) return;
            TBaseGameObject* dest = copy;
            templ->CopyStructure(dest);
            copy->AppendIdToName();
            ArmDamageCopy(*copy, ship);
            if (auto* hit = dynamic_cast<TDamageEffect*>(copy); hit && playerHeavy)
                if (IPlayerShipRegime* regime = ShipRegimeOf(ship)) regime->OnShot(*hit);
        });
        if (projectile->OnCreated()) projectile->OnCreated()->Fire();
    }
    if (count > 1)
        ErrorReport("TGameObjectGunEffect.onShotFunc error: " + GetLuaPath(item) +
                        Ru(" - прописывать больше одной пульки за выстрел НЕЛЬЗЯ!(для справки ,в этой пушке "
                           "прописано ") +
                        std::to_string(count) + Ru(" пулек за выстрел)"),
                    "mhl");
}

// ---- TGameObjectShotEffect ----------------------------------------------------------------------

void TGameObjectShotEffect::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectEffect::Create(name, parent);
    constexpr ParamKind S = ParamKind::String;
    constexpr ParamKind I = ParamKind::Int;
    constexpr ParamKind F = ParamKind::Sub;
    AddParams(this, {{"spacemodel", S},
                     {"spacemodel2player", S},
                     {"mainFx", S},
                     {"endFx", S},
                     {"startFx", S},
                     {"shieldFx", S},
                     {"defectFx", S},
                     {"mainFxLink", I},
                     {"endFxLink", I},
                     {"startFxLink", I},
                     {"shieldFxLink", I},
                     {"defectFxLink", I},
                     {"shotMinDelay", F},
                     {"shotMaxDelay", F},
                     {"lifetime", F},
                     {"helperId", S}});
    NewChildOfClass("TGameDinamicTrigger", TBaseGameSceneObject::StaticClass(), "targethelper", this);
    NewGameObject<TBaseGameObjectList>("effects", this)->SetDefaultChildClass(&TDamageEffect::StaticClass());
    AddParams(this, {{"bulletType", S}});
    projectileClass_ = nullptr;
}

std::string TGameObjectShotEffect::Text(const char* name) const {
    auto* p = Child<TGameObjectStringParam>(this, name);
    return p ? p->GetValue() : std::string();
}

int32_t TGameObjectShotEffect::Link(const char* name) const {
    auto* p = Child<TGameObjectIntParam>(this, name);
    return p ? p->GetValue() : 0;
}

float TGameObjectShotEffect::Number(const char* name) const {
    auto* p = Child<TGameObjectSubParam>(this, name);
    return p ? p->GetValue() : 0.0f;
}

TBaseGameSceneObject* TGameObjectShotEffect::TargetHelper() const {
    return Child<TBaseGameSceneObject>(this, "targethelper");
}

TBaseGameObject* TGameObjectShotEffect::DamageTemplates() const {
    return Child<TBaseGameObject>(this, "effects");
}

void TGameObjectShotEffect::onCreatedFunc(TEngineObject* obj, TEngineObject* data) {
    TGameObjectEffect::onCreatedFunc(obj, data);
    for (const FxField& f : kShotFx) {
        const std::string name = Text(f.name);
        if (!f.always && name.empty()) continue;
        const int32_t id =
            ReadFxHex(name, "TGameObjectShotEffect.onCreatedFunc error: (" + GetDebugPath(this) +
                                Ru(") визуального эффекта ") + name + Ru(" не существует"));
        if (auto* link = Child<TGameObjectIntParam>(this, f.link)) link->setValue(id);
    }
    projectileClass_ = FindGameClassQuiet(Text("bulletType"));
    TBaseGameObject* templates = DamageTemplates();
    if (templates && templates->CountChildren() > 1)
        ErrorReport(
            Ru("TGameObjectShotEffect.onCreatedFunc error: в пульке ") + GetDebugPath(this) +
                Ru(" обнаружено два эффекта повреждения ...нахрена такое надо ?! такое делать НЕЛЬЗЯ!"),
            "mhl");
}

float TGameObjectShotEffect::BulletDelay(float barrelDelay) const {
    const float minDelay = Number("shotMinDelay");
    const auto range = static_cast<int64_t>(std::trunc((Number("shotMaxDelay") - minDelay) * 100000.0f));
    const int64_t pick =
        range > 0 ? std::min<int64_t>(static_cast<int64_t>(UniformRandom() * range), range - 1) : 0;
    return static_cast<float>(pick) / 100000.0f + barrelDelay + minDelay;
}

TBaseGameSceneObject* TGameObjectShotEffect::CreateBullet() {
    // The class as the description names it now (scripts may change it after creation).
    const TGameClass* cls = projectileClass_;
    if (!cls || cls->name != Text("bulletType")) cls = FindGameClassQuiet(Text("bulletType"));
    TBaseGameSceneObject* projectile = nullptr;
    if (cls == &TGameObjectBullet::StaticClass()) {
        projectile = dynamic_cast<TBaseGameSceneObject*>(NewPooledObject(*cls, "bullet_", nullptr));
    } else if (cls == &TGameObjectRocket::StaticClass()) {
        projectile = dynamic_cast<TBaseGameSceneObject*>(NewPooledObject(*cls, "bullet_", RocketsList()));
    } else {
        ErrorReport("TGameObjectShotEffect.createBullet error: " + GetDebugPath(this) +
                        Ru(" элемент класса ") + Text("bulletType") +
                        Ru(" не может использоваться, как пуля"),
                    "mhl");
        return nullptr;
    }
    if (!projectile) return nullptr;
    projectile->AppendIdToName();
    if (auto* p = dynamic_cast<IGameProjectile*>(projectile)) {
        p->SetShieldFxLink(Link("shieldFxLink"));
        p->SetDefectFxLink(Link("defectFxLink"));
        p->SetStartFxLink(Link("startFxLink"));
        p->SetHelperId(Text("helperId"));
        p->SetLifetime(Number("lifetime"));
    }
    return projectile;
}

void RegisterGunClasses() {
    RegisterGameClass(TGameObjectGunEffect::StaticClass());
    RegisterGameClass(TGameObjectShotEffect::StaticClass());
}

} // namespace vesk
