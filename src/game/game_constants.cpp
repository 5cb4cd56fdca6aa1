#include "game/game_constants.h"

#include "game/params.h"

namespace vesk {

TGameConstants* GameConstants = nullptr;

namespace {

struct ConstantEntry {
    const char* key;
    int index;     // into the floats; -1 for the integer
    float initial; // set with setValue when not 0
};

constexpr int kInt = -1;
#define VESK_CONST(k, v)                                                                                     \
    { #k, static_cast < int>(GameConstant::k), v }

// The children in the node's order; the keys are the scripts' spelling.
constexpr ConstantEntry kConstants[] = {
    VESK_CONST(maxOverheatValue, 0.0f),
    VESK_CONST(forsageMaxSpeedCoefficient, 0.0f),
    VESK_CONST(forsageAccselerationTime, 0.0f),
    VESK_CONST(forsageDecelerationTime, 0.0f),
    VESK_CONST(forsageQuakeTime, 0.0f),
    VESK_CONST(forsageQuakeAmplitude, 0.0f),
    VESK_CONST(forsageQuakeFrequency, 0.0f),
    VESK_CONST(lastBoomRangeKoeff, 0.0f),
    VESK_CONST(cockpitMaxLeftAngle, 0.0f),
    VESK_CONST(cockpitMaxRightAngle, 0.0f),
    VESK_CONST(cockpitMaxUpAngle, 0.0f),
    VESK_CONST(cockpitMaxDownAngle, 0.0f),
    VESK_CONST(cockpitVelocity, 0.0f),
    {"playerShipMaxAttackers", kInt, 1.0f},
    VESK_CONST(defenceRegimeOverheatCoeff, 0.0f),
    VESK_CONST(defenceRegimeDamageCoeff, 0.0f),
    VESK_CONST(defenceRegimeWeaponOverheatCoeff, 0.0f),
    VESK_CONST(defenceRegimeRegenKoeff, 0.0f),
    VESK_CONST(defenceRegimeStartOverheat, 0.0f),
    VESK_CONST(playerShipDamagedProcent, 50.0f),
    VESK_CONST(collisionDamageCoefficient, 0.0f),
    VESK_CONST(t_limit, 100.0f),
    VESK_CONST(t_mode, 50.0f),
    VESK_CONST(t_force, 5.0f),
    VESK_CONST(t_normalize, 2.0f),
    VESK_CONST(t_damage_crash, 3.0f),
    VESK_CONST(t_damage_enemy, 2.0f),
    VESK_CONST(t_damage_attack, 1.0f),
    VESK_CONST(t_freeze, 5.0f),
    VESK_CONST(t_low_speed_freeze_speed, 0.5f),
    VESK_CONST(t_stealth_speed, 0.5f),
    VESK_CONST(t_stealth_reload, 0.7f),
    VESK_CONST(t_berserker_reload, 1.3f),
    VESK_CONST(t_berserker_attack, 2.0f),
    VESK_CONST(t_berserker_damage, 5.0f),
    VESK_CONST(f_attackMyTargetDelay, 0.0f),
    VESK_CONST(f_attackMyAttackerDelay, 0.0f),
    VESK_CONST(f_rocketShotDelay, 0.0f),
    VESK_CONST(f_guardMeDelay, 0.0f),
    VESK_CONST(f_escapeDelay, 0.0f),
};
#undef VESK_CONST
static_assert(std::size(kConstants) == kGameConstantCount + 1);

} // namespace

TGameConstants::~TGameConstants() {
    if (GameConstants == this) GameConstants = nullptr;
}

void TGameConstants::Create(const std::string& name, TBaseGameObject* parent) {
    TBaseGameObjectList::Create(name, parent);
    for (const ConstantEntry& e : kConstants) {
        if (e.index == kInt) {
            playerShipMaxAttackers_ = NewGameObject<TGameObjectIntParam>(e.key, this);
            playerShipMaxAttackers_->setValue(static_cast<int32_t>(e.initial));
            continue;
        }
        auto* p = NewGameObject<TGameObjectSubParam>(e.key, this);
        if (e.initial != 0.0f) p->setValue(e.initial);
        floats_[static_cast<size_t>(e.index)] = p;
    }
    if (name == "bal") GameConstants = this;
}

void TGameConstants::ChildLeft(TBaseGameObject* child) {
    ForgetChild(child, playerShipMaxAttackers_);
    for (auto*& p : floats_) ForgetChild(child, p);
}

float TGameConstants::Get(GameConstant c) const {
    const TGameObjectSubParam* p = Param(c);
    return p ? p->GetValue() : 0.0f;
}

int32_t TGameConstants::PlayerShipMaxAttackers() const {
    return playerShipMaxAttackers_ ? playerShipMaxAttackers_->GetValue() : 0;
}

void RegisterGameConstantsClass() {
    RegisterGameClass(TGameConstants::StaticClass());
}

} // namespace vesk
