#include "game/player_regimes.h"

#include <cmath>

#include "game/ai_helpers.h"
#include "game/damage.h"
#include "game/game_constants.h"
#include "game/params.h"
#include "game/scene_object.h"

namespace vesk {

namespace {

float Constant(GameConstant c) {
    return GameConstants ? GameConstants->Get(c) : 0.0f;
}

void AddTo(TGameObjectSubParam* p, float delta) {
    if (p) p->setValue(p->GetValue() + delta);
}

void Scale(TDamageEffect& e, DamageAmount a, float k) {
    e.SetAmount(a, e.Amount(a) * k);
}

} // namespace

TBaseGameObject* TPlayerShipBaseRegime::Ship() const {
    return parent_ ? parent_->GetParent() : nullptr;
}

// ---- defence -------------------------------------------------------------------------------------

void TPlayerShipDefenceRegime::onEnableFunc(TEngineObject* obj, TEngineObject* data) {
    // Enabled once: a second "onEnable" must not raise the speeds again.
    if (!enabled_) {
        TBaseGameObject* ship = Ship();
        if (TGameObjectParam* shield = AiParam(ship, "shield"); shield && shield->Speed()) {
            const float speed = shield->Speed()->GetValue();
            addedShieldSpeed_ = 0.01f * speed * Constant(GameConstant::defenceRegimeRegenKoeff) - speed;
            AddTo(shield->Speed(), addedShieldSpeed_);
        }
        if (TGameObjectParam* heat = AiParam(ship, "temperature"); heat && heat->Speed()) {
            addedTemperatureSpeed_ = 0.01f * std::fabs(heat->Speed()->GetValue()) *
                                     Constant(GameConstant::defenceRegimeOverheatCoeff);
            AddTo(heat->Speed(), addedTemperatureSpeed_);
            if (heat->Cur() && heat->Max())
                AddTo(heat->Cur(),
                      0.01f * heat->Max()->GetValue() * Constant(GameConstant::defenceRegimeStartOverheat));
        }
    }
    TPlayerShipBaseRegime::onEnableFunc(obj, data);
}

void TPlayerShipDefenceRegime::onDisableFunc(TEngineObject* obj, TEngineObject* data) {
    TBaseGameObject* ship = Ship();
    if (TGameObjectParam* shield = AiParam(ship, "shield")) AddTo(shield->Speed(), -addedShieldSpeed_);
    addedShieldSpeed_ = 0.0f;
    if (TGameObjectParam* heat = AiParam(ship, "temperature")) AddTo(heat->Speed(), -addedTemperatureSpeed_);
    addedTemperatureSpeed_ = 0.0f;
    TPlayerShipBaseRegime::onDisableFunc(obj, data);
}

void TPlayerShipDefenceRegime::OnDamage(TDamageEffect& hit) {
    const float k = 0.01f * Constant(GameConstant::defenceRegimeDamageCoeff);
    for (DamageAmount a : {DamageAmount::damage, DamageAmount::shieldDamage, DamageAmount::armorDamage})
        Scale(hit, a, k);
}

void TPlayerShipDefenceRegime::OnShot(TDamageEffect& shot) {
    TGameObjectParam* heat = AiParam(Ship(), "temperature");
    if (!heat) return;
    AddTo(heat->Cur(), 0.01f * (Constant(GameConstant::defenceRegimeWeaponOverheatCoeff) - 100.0f) *
                           shot.Amount(DamageAmount::temperatureSelf));
}

// ---- attack -----------------------------------------------------------------------------------------

void TPlayerShipAttackRegime::OnShot(TDamageEffect& shot) {
    extraDamage_ = 0.5f * shot.Amount(DamageAmount::damage);
    extraShieldDamage_ = 0.5f * shot.Amount(DamageAmount::shieldDamage);
    extraArmorDamage_ = 0.5f * shot.Amount(DamageAmount::armorDamage);
    shot.SetAmount(DamageAmount::damage, shot.Amount(DamageAmount::damage) + extraDamage_);
    shot.SetAmount(DamageAmount::shieldDamage, shot.Amount(DamageAmount::shieldDamage) + extraShieldDamage_);
    shot.SetAmount(DamageAmount::armorDamage, shot.Amount(DamageAmount::armorDamage) + extraArmorDamage_);
    // The shield pays for the boost; an empty shield ends the regime.
    TGameObjectParam* shield = AiParam(Ship(), "shield");
    if (!shield || !shield->Cur()) return;
    AddTo(shield->Cur(), -2.0f * extraDamage_);
    if (shield->Cur()->GetValue() <= 0.0f) Delete();
}

IPlayerShipRegime* ShipRegimeOf(const TBaseGameObject* ship) {
    auto* so = dynamic_cast<const TBaseGameSceneObject*>(ship);
    TBaseGameObject* effects = so ? so->Effects() : nullptr;
    return effects ? dynamic_cast<IPlayerShipRegime*>(effects->FindChild(kRegimeEffectName)) : nullptr;
}

void RegisterRegimeClasses() {
    RegisterGameClass(TPlayerShipBaseRegime::StaticClass());
    RegisterGameClass(TPlayerShipDefenceRegime::StaticClass());
    RegisterGameClass(TPlayerShipAttackRegime::StaticClass());
}

} // namespace vesk
