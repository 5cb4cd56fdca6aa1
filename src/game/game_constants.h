#pragma once
// The game constants "bal": the tuning numbers of the game logic as
// parameters under "_G", set by the scripts by path and read by the game
// logic through the references the node keeps.
#include <array>
#include <cstdint>
#include <string>

#include "game/game_object.h"

namespace vesk {

class TGameObjectSubParam;
class TGameObjectIntParam;

// The float constants, in the node's order (the integer
// "playerShipMaxAttackers" has a reader of its own).
enum class GameConstant : int {
    maxOverheatValue,
    forsageMaxSpeedCoefficient,
    forsageAccselerationTime,
    forsageDecelerationTime,
    forsageQuakeTime,
    forsageQuakeAmplitude,
    forsageQuakeFrequency,
    lastBoomRangeKoeff,
    cockpitMaxLeftAngle,
    cockpitMaxRightAngle,
    cockpitMaxUpAngle,
    cockpitMaxDownAngle,
    cockpitVelocity,
    defenceRegimeOverheatCoeff,
    defenceRegimeDamageCoeff,
    defenceRegimeWeaponOverheatCoeff,
    defenceRegimeRegenKoeff,
    defenceRegimeStartOverheat,
    playerShipDamagedProcent,
    collisionDamageCoefficient,
    t_limit,
    t_mode,
    t_force,
    t_normalize,
    t_damage_crash,
    t_damage_enemy,
    t_damage_attack,
    t_freeze,
    t_low_speed_freeze_speed,
    t_stealth_speed,
    t_stealth_reload,
    t_berserker_reload,
    t_berserker_attack,
    t_berserker_damage,
    f_attackMyTargetDelay,
    f_attackMyAttackerDelay,
    f_rocketShotDelay,
    f_guardMeDelay,
    f_escapeDelay,
    count
};
inline constexpr int kGameConstantCount = static_cast<int>(GameConstant::count);

class TGameConstants : public TBaseGameObjectList {
    VESK_GAME_CLASS(TGameConstants)
public:
    ~TGameConstants() override;
    void Create(const std::string& name, TBaseGameObject* parent) override;
    // The constant's current value (0 when its node is gone); the children
    // stay reachable by name through the list's own Get.
    using TBaseGameObjectList::Get;
    float Get(GameConstant c) const;
    int32_t PlayerShipMaxAttackers() const;
    TGameObjectSubParam* Param(GameConstant c) const { return floats_[static_cast<size_t>(c)]; }

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    std::array<TGameObjectSubParam*, kGameConstantCount> floats_{};
    TGameObjectIntParam* playerShipMaxAttackers_ = nullptr;
};

// "bal" once it is made (nullptr before and after).
extern TGameConstants* GameConstants;

void RegisterGameConstantsClass();

} // namespace vesk
