#include "game/damage.h"

#include <vector>

#include "game/ai_helpers.h"
#include "game/game_objects.h"
#include "game/obj_managers.h"
#include "game/params.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "world/fx_shield.h"

namespace vesk {

namespace {

const char* const kAmountNames[kDamageAmountCount] = {
    "damage",           "splash",          "time", "shieldDamage", "armorDamage", "speedDamage",
    "temperatureEnemy", "temperatureSelf",
};

bool IsExactlyGameObject(const TBaseGameObject* obj) {
    return obj && &obj->GameClass() == &TGameObject::StaticClass();
}

float Cur(TGameObjectParam* p) {
    return p->Cur()->GetValue();
}
void SetCur(TGameObjectParam* p, float v) {
    p->Cur()->setValue(v);
}

// The layer takes the hit; what it could not take is returned.
float TakeWithOverflow(TGameObjectParam* layer, float hit) {
    if (Cur(layer) >= hit) {
        SetCur(layer, Cur(layer) - hit);
        return 0.0f;
    }
    const float over = hit - Cur(layer);
    SetCur(layer, 0.0f);
    return over;
}

// Counts the step into the elapsed time; true once the time is up.
bool TimeUp(TGameObjectSubParam* elapsed, TGameObjectSubParam* time, float dtMs) {
    elapsed->setValue(elapsed->GetValue() + 0.001f * dtMs);
    return elapsed->GetValue() >= time->GetValue();
}

float DefenceFactor(const TBaseGameObject* obj) {
    TGameObjectParam* p = FindObjectParam(obj, "defencefactor");
    return p ? Cur(p) : 0.0f;
}

// The object that owns the list an effect sits in.
TBaseGameObject* OwnerOfList(const TBaseGameObject* effect) {
    return effect->GetParent() ? effect->GetParent()->GetParent() : nullptr;
}

void FireObjectEvent(TBaseGameObject* obj, const char* name, TEngineObject* data) {
    auto* o = dynamic_cast<TGameObject*>(obj);
    TGameEvent* e = o ? o->Event(name) : nullptr;
    if (!e) return;
    e->SetEventData(data);
    e->Fire();
}

const TGameClass* const* DamageClasses() {
    static const TGameClass* const classes[] = {
        &TDamageEffect::StaticClass(), &TDamageEnergy::StaticClass(),  &TDamageKinetic::StaticClass(),
        &TDamageRocket::StaticClass(), &TDamageNano::StaticClass(),    &TDamageDark::StaticClass(),
        &TDamageEMP::StaticClass(),    &TDamageGravity::StaticClass(),
    };
    return classes;
}
constexpr int32_t kDamageClassCount = 8;

} // namespace

const TGameClass& DamageClassAt(int32_t index) {
    return index >= 0 && index < kDamageClassCount ? *DamageClasses()[index] : TDamageEffect::StaticClass();
}

int32_t DamageClassIndex(const TGameClass& cls) {
    for (int32_t i = 0; i < kDamageClassCount; ++i)
        if (DamageClasses()[i] == &cls) return i;
    return 0;
}

// ---- TDamageEffect -----------------------------------------------------------------------

void TDamageEffect::MakeAmounts() {
    damagingObject_ = NewGameObject<TGameObjectFreeLink>("damagingObject", this);
    for (int i = 0; i < kDamageAmountCount; ++i)
        amounts_[static_cast<size_t>(i)] = NewGameObject<TGameObjectSubParam>(kAmountNames[i], this);
    // The effect never ticks by itself: its onTick fires once, when it is enabled.
    if (OnTick()) OnTick()->Deactivate();
}

void TDamageEffect::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectEffect::Create(name, parent);
    MakeAmounts();
}

void TDamageEffect::CreateEmpty() {
    TGameObjectEffect::CreateEmpty();
    MakeAmounts();
}

void TDamageEffect::ReInit(const std::string& name, TBaseGameObject* parent) {
    TGameObjectEffect::ReInit(name, parent);
    for (TGameObjectSubParam* a : amounts_)
        if (a) a->setValue(0.0f);
    if (OnTick()) OnTick()->Deactivate();
}

void TDamageEffect::Delete() {
    if (!deleted_ && poolEntry_) SetDamagingObject(nullptr);
    TGameObjectEffect::Delete();
}

void TDamageEffect::ChildLeft(TBaseGameObject* child) {
    TGameObjectEffect::ChildLeft(child);
    ForgetChild(child, damagingObject_);
    for (TGameObjectSubParam*& a : amounts_) ForgetChild(child, a);
}

void TDamageEffect::CopyStructure(TBaseGameObject*& dest) {
    TGameObjectEffect::CopyStructure(dest);
    if (auto* d = dynamic_cast<TDamageEffect*>(dest); d && d != this) {
        d->SetDamagingObject(DamagingObject());
        for (int i = 0; i < kDamageAmountCount; ++i)
            d->SetAmount(static_cast<DamageAmount>(i), Amount(static_cast<DamageAmount>(i)));
    }
}

float TDamageEffect::Amount(DamageAmount a) const {
    TGameObjectSubParam* p = amounts_[static_cast<size_t>(a)];
    return p ? p->GetValue() : 0.0f;
}

void TDamageEffect::SetAmount(DamageAmount a, float v) {
    if (TGameObjectSubParam* p = amounts_[static_cast<size_t>(a)]) p->setValue(v);
}

TBaseGameObject* TDamageEffect::DamagingObject() const {
    return damagingObject_ ? dynamic_cast<TBaseGameObject*>(damagingObject_->GetValue()) : nullptr;
}

void TDamageEffect::SetDamagingObject(TBaseGameObject* obj) {
    if (damagingObject_) damagingObject_->setValue(obj);
}

void TDamageEffect::ScaleHit(float factor) {
    for (DamageAmount a : {DamageAmount::damage, DamageAmount::shieldDamage, DamageAmount::armorDamage})
        SetAmount(a, Amount(a) * factor);
}

void TDamageEffect::onEnableFunc(TEngineObject* obj, TEngineObject* data) {
    TGameObjectEffect::onEnableFunc(obj, data);
    auto* target = dynamic_cast<TBaseGameObject*>(data);
    if (IsExactlyGameObject(target)) ScaleHit(0.01f * DefenceFactor(target));
    SetDamagingObject(target);
    if (OnTick()) OnTick()->Fire();
}

void TDamageEffect::TellTargetAndShooter(TBaseGameObject* target) {
    FireObjectEvent(target, "onDamaged", this);
    if (InitiatorLink())
        if (auto* shooter = dynamic_cast<TBaseGameObject*>(InitiatorLink()->GetValue()))
            FireObjectEvent(shooter, "onDamage", this);
}

void TDamageEffect::onTickFunc(TEngineObject*, TEngineObject*) {
    TBaseGameObject* target = DamagingObject();
    if (!target) {
        ErrorReport("w4575yfgtyfr", "mhl");
        return;
    }
    if (IsExactlyGameObject(target)) TellTargetAndShooter(target);
    const float splash = Amount(DamageAmount::splash);
    auto* targetObj = dynamic_cast<TBaseGameSceneObject*>(target);
    // Without a unit the target has no place in space to spread the hit from.
    auto* targetUnit = targetObj ? dynamic_cast<TBaseRenderUnit*>(targetObj->GetHex()) : nullptr;
    if (splash != 0.0f && targetUnit && TargetedObjects && TargetedObjects->GetObjects()) {
        // The list may change while the hits are handed out: its objects are taken first.
        std::vector<int32_t> listed;
        for (TBaseGameObject* entry : *TargetedObjects->GetObjects())
            if (auto* e = dynamic_cast<TGameEvent*>(entry))
                if (TEngineObject* o = e->GetEventObj()) listed.push_back(o->GetId());
        // Each object is scaled from the hit as it reached the splash, not from
        // what the objects before it left of it.
        const float damage = Amount(DamageAmount::damage);
        const float shield = Amount(DamageAmount::shieldDamage);
        const float armor = Amount(DamageAmount::armorDamage);
        for (int32_t id : listed) {
            auto* o = dynamic_cast<TGameObject*>(GameObjectById(id));
            if (!o || o == target || o->IsDeleted()) continue;
            auto* unit = dynamic_cast<TBaseRenderUnit*>(o->GetHex());
            if (!unit || !o->SOClass() || o->SOClass()->GetValue() != kSOClassShip) continue;
            float d = static_cast<float>(BRUSurfaceDistance(targetUnit, unit));
            if (d > splash) continue;
            if (d < 0.0f) d = 0.0f;
            TGameObjectSubParam* indestructable = Child<TGameObjectSubParam>(o, "indestructable");
            if (indestructable && indestructable->GetValue() != 0.0f) continue;
            const float k = (1.0f - d * d / (splash * splash)) * 0.01f * DefenceFactor(o);
            SetAmount(DamageAmount::damage, damage * k);
            SetAmount(DamageAmount::shieldDamage, shield * k);
            SetAmount(DamageAmount::armorDamage, armor * k);
            TellTargetAndShooter(o);
        }
    }
    Delete();
}

void TDamageEffect::Apply(TBaseGameObject* target) {
    TGameObjectParam* shield = FindObjectParam(target, "shield");
    TGameObjectParam* armor = FindObjectParam(target, "armor");
    TGameObjectParam* hull = FindObjectParam(target, "durability");
    TGameObjectParam* temperature = FindObjectParam(target, "temperature");
    if (!shield || !armor || !hull || !temperature) return;
    if (Cur(shield) > 0.0f) SetCur(shield, Cur(shield) - Amount(DamageAmount::shieldDamage));
    if (Cur(shield) <= 0.0f && Cur(armor) > 0.0f)
        SetCur(armor, Cur(armor) - Amount(DamageAmount::armorDamage));
    if (Cur(shield) <= 0.0f && Cur(armor) <= 0.0f) SetCur(hull, Cur(hull) - Amount(DamageAmount::damage));
    SetCur(temperature, Cur(temperature) + Amount(DamageAmount::temperatureEnemy));
}

template <class T> T* TDamageEffect::NewSibling(const std::string& name) {
    T* effect = NewGameObject<T>(name, parent_);
    effect->AppendIdToName();
    return effect;
}

// ---- the kinds ------------------------------------------------------------------------------

void TDamageEnergy::Apply(TBaseGameObject* target) {
    TGameObjectParam* shield = FindObjectParam(target, "shield");
    TGameObjectParam* hull = FindObjectParam(target, "durability");
    TGameObjectParam* temperature = FindObjectParam(target, "temperature");
    if (!shield || !hull || !temperature) return;
    const float over = TakeWithOverflow(shield, Amount(DamageAmount::shieldDamage));
    if (Cur(shield) <= 0.0f) SetCur(temperature, Cur(temperature) + Amount(DamageAmount::temperatureEnemy));
    SetCur(hull, Cur(hull) - (over + Amount(DamageAmount::damage)));
}

void TDamageKinetic::Apply(TBaseGameObject* target) {
    TGameObjectParam* armor = FindObjectParam(target, "armor");
    TGameObjectParam* hull = FindObjectParam(target, "durability");
    TGameObjectParam* temperature = FindObjectParam(target, "temperature");
    if (!armor || !hull || !temperature) return;
    const float over = TakeWithOverflow(armor, Amount(DamageAmount::armorDamage));
    SetCur(temperature, Cur(temperature) + Amount(DamageAmount::temperatureEnemy));
    SetCur(hull, Cur(hull) - (over + Amount(DamageAmount::damage)));
}

void TDamageEMP::Apply(TBaseGameObject* target) {
    if (TGameObjectParam* shield = FindObjectParam(target, "shield"))
        SetCur(shield, Cur(shield) - Amount(DamageAmount::shieldDamage));
}

void TDamageNano::Apply(TBaseGameObject* target) {
    if (TGameObjectParam* hull = FindObjectParam(target, "durability"))
        SetCur(hull, Cur(hull) - Amount(DamageAmount::damage));
    auto* timed = NewSibling<TTimingDamage>("timingDmg");
    if (timed->dmgType_) timed->dmgType_->setValue(DamageClassIndex(TDamageEffect::StaticClass()));
    if (timed->time_) timed->time_->setValue(Amount(DamageAmount::time));
    if (timed->dmgPerSecond_) timed->dmgPerSecond_->setValue(Amount(DamageAmount::damage));
    if (timed->OnEnable()) timed->OnEnable()->Fire();
}

void TDamageGravity::Apply(TBaseGameObject*) {
    auto* timed = NewSibling<TTimingGravDamage>(name_ + "_dmg");
    if (timed->speedDmg_) timed->speedDmg_->setValue(Amount(DamageAmount::speedDamage));
    if (timed->time_) timed->time_->setValue(Amount(DamageAmount::time));
    if (timed->OnEnable()) timed->OnEnable()->Fire();
}

// ---- TTimingDamage --------------------------------------------------------------------------------

void TTimingDamage::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectEffect::Create(name, parent);
    dmgType_ = NewGameObject<TGameObjectIntParam>("dmgType", this);
    dmgPerSecond_ = NewGameObject<TGameObjectSubParam>("dmgPerSecond", this);
    time_ = NewGameObject<TGameObjectSubParam>("time", this);
    timeLeft_ = NewGameObject<TGameObjectSubParam>("timeLeft", this);
}

void TTimingDamage::ChildLeft(TBaseGameObject* child) {
    TGameObjectEffect::ChildLeft(child);
    ForgetChild(child, dmgType_, dmgPerSecond_, time_, timeLeft_);
}

void TTimingDamage::onEnableFunc(TEngineObject* obj, TEngineObject* data) {
    TGameObjectEffect::onEnableFunc(obj, data);
    if (OnTick()) OnTick()->Activate();
}

void TTimingDamage::onDisableFunc(TEngineObject* obj, TEngineObject* data) {
    TGameObjectEffect::onDisableFunc(obj, data);
    if (OnTick()) OnTick()->Deactivate();
}

void TTimingDamage::onTickFunc(TEngineObject*, TEngineObject* data) {
    Step(FrameTimeOf(data));
}

void TTimingDamage::Step(float dtMs) {
    if (deleted_ || !timeLeft_ || !time_ || !dmgPerSecond_) return;
    const bool done = TimeUp(timeLeft_, time_, dtMs);
    const TGameClass& kind = DamageClassAt(dmgType_ ? dmgType_->GetValue() : 0);
    if (auto* hit = dynamic_cast<TDamageEffect*>(NewGameObject(kind, name_ + "_dmg", parent_))) {
        hit->AppendIdToName();
        hit->SetAmount(DamageAmount::damage, 0.001f * dtMs * dmgPerSecond_->GetValue());
        hit->EnableOn(OwnerOfList(this));
    }
    if (done) Delete();
}

// ---- TTimingGravDamage --------------------------------------------------------------------------------

void TTimingGravDamage::Create(const std::string& name, TBaseGameObject* parent) {
    TGameObjectEffect::Create(name, parent);
    speedDmg_ = NewGameObject<TGameObjectSubParam>("speedDmg", this);
    time_ = NewGameObject<TGameObjectSubParam>("time", this);
    timeLeft_ = NewGameObject<TGameObjectSubParam>("timeLeft", this);
}

void TTimingGravDamage::ChildLeft(TBaseGameObject* child) {
    TGameObjectEffect::ChildLeft(child);
    ForgetChild(child, speedDmg_, time_, timeLeft_);
}

void TTimingGravDamage::onEnableFunc(TEngineObject* obj, TEngineObject* data) {
    TGameObjectEffect::onEnableFunc(obj, data);
    TBaseGameObject* owner = OwnerOfList(this);
    TGameObjectParam* engine = FindObjectParam(owner, "p_engine");
    // Taken once, however often the effect is enabled.
    if (engine && !takenFrom_ && speedDmg_) {
        const float loss = speedDmg_->GetValue();
        const float before = Cur(engine);
        SetCur(engine, before - loss);
        takenCur_ = before - Cur(engine);
        takenMax_ = loss;
        engine->Max()->setValue(engine->Max()->GetValue() - loss);
        takenFrom_ = owner->GetId();
    }
    if (OnTick()) OnTick()->Activate();
}

void TTimingGravDamage::onDisableFunc(TEngineObject* obj, TEngineObject* data) {
    TGameObjectEffect::onDisableFunc(obj, data);
    // Only what was taken is given back: an effect deleted before it was
    // enabled owes nothing.
    if (takenFrom_) {
        if (TGameObjectParam* engine = FindObjectParam(GameObjectById(takenFrom_), "p_engine")) {
            // The maximum first, so the current value is not held below it.
            engine->Max()->setValue(engine->Max()->GetValue() + takenMax_);
            SetCur(engine, Cur(engine) + takenCur_);
        }
        takenFrom_ = 0;
        takenCur_ = takenMax_ = 0.0f;
    }
    if (OnTick()) OnTick()->Deactivate();
}

void TTimingGravDamage::onTickFunc(TEngineObject*, TEngineObject* data) {
    Step(FrameTimeOf(data));
}

void TTimingGravDamage::Step(float dtMs) {
    if (deleted_ || !timeLeft_ || !time_) return;
    if (TimeUp(timeLeft_, time_, dtMs)) Delete();
}

void RegisterDamageClasses() {
    for (int32_t i = 0; i < kDamageClassCount; ++i) RegisterGameClass(*DamageClasses()[i]);
}

bool ShipShieldIsUp(TBaseRenderUnit* ship) {
    TBaseGameObject* object = ObjectOfUnit(ship);
    return !object || AiParamCur(object, "shield") > 0.0f;
}

void InstallShieldUpQuery() {
    SetShieldUpQuery(ShipShieldIsUp);
}

} // namespace vesk
