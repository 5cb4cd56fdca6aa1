#pragma once
// Damage: a hit is carried by a damage effect, a pooled object effect that
// holds the amounts of one hit, is enabled on its target, tells the target
// and the shooter through their events, spreads to nearby objects when it
// has a splash radius, and returns to its pool. The damaged object applies it
// (Apply), which is where the kinds differ. Two timed effects carry damage
// over time and a temporary loss of engine power.
#include <array>
#include <string>

#include "game/object_effects.h"

namespace vesk {

class TBaseRenderUnit;
class TGameObjectFreeLink;
class TGameObjectIntParam;
class TGameObjectSubParam;

// The eight amounts of a hit, in the order the effect makes them.
enum class DamageAmount : int {
    damage,
    splash,
    time,
    shieldDamage,
    armorDamage,
    speedDamage,
    temperatureEnemy,
    temperatureSelf,
    count
};
inline constexpr int kDamageAmountCount = static_cast<int>(DamageAmount::count);

class TDamageEffect : public TGameObjectEffect {
    VESK_GAME_CLASS(TDamageEffect)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void CreateEmpty() override;
    void ReInit(const std::string& name, TBaseGameObject* parent) override;
    void Delete() override;
    void CopyStructure(TBaseGameObject*& dest) override;
    void onEnableFunc(TEngineObject* obj, TEngineObject* data) override;
    void onTickFunc(TEngineObject* obj, TEngineObject* data) override;
    // What the hit does to the target's shield, armor, hull and temperature.
    virtual void Apply(TBaseGameObject* target);

    // ---- the damage interface ------------------------------------------------------
    float Amount(DamageAmount a) const;
    void SetAmount(DamageAmount a, float v);
    TBaseGameObject* DamagingObject() const;
    void SetDamagingObject(TBaseGameObject* obj);

protected:
    void ChildLeft(TBaseGameObject* child) override;
    // Creates an effect of the class under this effect's parent, named and
    // made unique as the timed effects are.
    template <class T> T* NewSibling(const std::string& name);

private:
    void MakeAmounts();
    void ScaleHit(float factor);
    void TellTargetAndShooter(TBaseGameObject* target);

    TGameObjectFreeLink* damagingObject_ = nullptr;
    std::array<TGameObjectSubParam*, kDamageAmountCount> amounts_{};
};

// Layered: shield, then armor, then hull (the base's Apply).
class TDamageRocket : public TDamageEffect {
    VESK_GAME_CLASS(TDamageRocket)
};
class TDamageDark : public TDamageEffect {
    VESK_GAME_CLASS(TDamageDark)
};
// Shield with overflow into the hull.
class TDamageEnergy : public TDamageEffect {
    VESK_GAME_CLASS(TDamageEnergy)
public:
    void Apply(TBaseGameObject* target) override;
};
// Armor with overflow into the hull.
class TDamageKinetic : public TDamageEffect {
    VESK_GAME_CLASS(TDamageKinetic)
public:
    void Apply(TBaseGameObject* target) override;
};
// Shield only.
class TDamageEMP : public TDamageEffect {
    VESK_GAME_CLASS(TDamageEMP)
public:
    void Apply(TBaseGameObject* target) override;
};
// Hull, then damage over time.
class TDamageNano : public TDamageEffect {
    VESK_GAME_CLASS(TDamageNano)
public:
    void Apply(TBaseGameObject* target) override;
};
// A temporary loss of engine power.
class TDamageGravity : public TDamageEffect {
    VESK_GAME_CLASS(TDamageGravity)
public:
    void Apply(TBaseGameObject* target) override;
};

// Hull damage per second for a time: each tick a hit of the kind in "dmgType"
// (its place among the damage classes) strikes the object that owns the list
// the effect is in.
class TTimingDamage : public TGameObjectEffect {
    VESK_GAME_CLASS(TTimingDamage)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void onEnableFunc(TEngineObject* obj, TEngineObject* data) override;
    void onDisableFunc(TEngineObject* obj, TEngineObject* data) override;
    void onTickFunc(TEngineObject* obj, TEngineObject* data) override;
    // One step of dtMs milliseconds.
    void Step(float dtMs);

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    TGameObjectIntParam* dmgType_ = nullptr;
    TGameObjectSubParam* dmgPerSecond_ = nullptr;
    TGameObjectSubParam* time_ = nullptr;
    TGameObjectSubParam* timeLeft_ = nullptr;
    friend class TDamageNano;
};

// Takes engine power ("p_engine" current and maximum) for a time and gives it back.
class TTimingGravDamage : public TGameObjectEffect {
    VESK_GAME_CLASS(TTimingGravDamage)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void onEnableFunc(TEngineObject* obj, TEngineObject* data) override;
    void onDisableFunc(TEngineObject* obj, TEngineObject* data) override;
    void onTickFunc(TEngineObject* obj, TEngineObject* data) override;
    void Step(float dtMs);

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    TGameObjectSubParam* speedDmg_ = nullptr;
    TGameObjectSubParam* time_ = nullptr;
    TGameObjectSubParam* timeLeft_ = nullptr;
    // What was taken from the object, given back when the effect ends.
    int32_t takenFrom_ = 0;
    float takenCur_ = 0.0f;
    float takenMax_ = 0.0f;
    friend class TDamageGravity;
};

// The damage classes in registration order; "dmgType" is an index into it.
const TGameClass& DamageClassAt(int32_t index);
int32_t DamageClassIndex(const TGameClass& cls);

void RegisterDamageClasses();

// Whether a ship's shield is up: the current "shield" value of its game object
// is above 0. A ship unit no game object owns has nothing to say it is down.
bool ShipShieldIsUp(TBaseRenderUnit* ship);
// Gives the shield effects this answer (a shot at a ship whose shield is down
// shows no shield).
void InstallShieldUpQuery();

} // namespace vesk
