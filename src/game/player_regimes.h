#pragma once
// The player's ship flies in one of three regimes — base, defence or attack —
// held as the object effect "pshipRegime" in the ship's "effects". A regime
// changes the ship's values while it is on and changes the hits the ship
// takes and the shots it fires; its numbers are game constants.
#include <string>

#include "game/object_effects.h"

namespace vesk {

class TDamageEffect;

// What the ship's shots and hits ask of its regime.
class IPlayerShipRegime {
public:
    // A shot the ship fires (its damage is adjusted before it leaves).
    virtual void OnShot(TDamageEffect& shot) = 0;
    // A hit the ship takes (adjusted before it is applied).
    virtual void OnDamage(TDamageEffect& hit) = 0;
    virtual const TGameClass& RegimeClass() const = 0;

protected:
    ~IPlayerShipRegime() = default;
};

// The name of the regime effect in the ship's "effects".
inline constexpr const char* kRegimeEffectName = "pshipRegime";

class TPlayerShipBaseRegime : public TGameObjectEffect, public IPlayerShipRegime {
    VESK_GAME_CLASS(TPlayerShipBaseRegime)
public:
    void OnShot(TDamageEffect&) override {}
    void OnDamage(TDamageEffect&) override {}
    const TGameClass& RegimeClass() const override { return GameClass(); }

protected:
    // The ship the regime belongs to (the owner of its effects list).
    TBaseGameObject* Ship() const;
};

class TPlayerShipDefenceRegime : public TPlayerShipBaseRegime {
    VESK_GAME_CLASS(TPlayerShipDefenceRegime)
public:
    void onEnableFunc(TEngineObject* obj, TEngineObject* data) override;
    void onDisableFunc(TEngineObject* obj, TEngineObject* data) override;
    void OnShot(TDamageEffect& shot) override;
    void OnDamage(TDamageEffect& hit) override;
    float AddedShieldSpeed() const { return addedShieldSpeed_; }
    float AddedTemperatureSpeed() const { return addedTemperatureSpeed_; }

private:
    float addedShieldSpeed_ = 0.0f;
    float addedTemperatureSpeed_ = 0.0f;
};

class TPlayerShipAttackRegime : public TPlayerShipBaseRegime {
    VESK_GAME_CLASS(TPlayerShipAttackRegime)
public:
    void OnShot(TDamageEffect& shot) override;

private:
    float extraDamage_ = 0.0f;
    float extraShieldDamage_ = 0.0f;
    float extraArmorDamage_ = 0.0f;
};

// The regime of a ship, nullptr when it has none.
IPlayerShipRegime* ShipRegimeOf(const TBaseGameObject* ship);

void RegisterRegimeClasses();

} // namespace vesk
