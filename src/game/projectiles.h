#pragma once
// Projectiles: what bullets, rockets, containers and mines share — the
// children they keep of the shot that made them, the list they fly in and
// what they count when they hit. Each kind has its own file (bullets.h,
// rockets.h, mines.h).
#include <string>

#include "game/gun_effects.h"

namespace vesk {

class TGameObjectFreeLink;
class TGameObjectIntParam;
class TGameObjectStringParam;
class TGameObjectSubParam;

// The global object list rockets, mines and containers are made under ("obj").
TBaseGameObject* RocketsList();

// The children every projectile keeps of the shot that made it, and the
// projectile interface over them.
class ProjectileFields : public IGameProjectile {
public:
    TEngineObject* GetCurTarget() const override;
    TEngineObject* GetGunId() const override;
    void SetCurTarget(TEngineObject* target) override;
    void SetGunId(TEngineObject* gun) override;
    void SetStartFxLink(int32_t id) override;
    void SetDefectFxLink(int32_t id) override;
    void SetShieldFxLink(int32_t id) override;
    void SetHelperId(const std::string& helper) override;
    void SetLifetime(float seconds) override;
    void SetMainFxLink(int32_t id);
    std::string HelperId() const;
    float Lifetime() const;

protected:
    ~ProjectileFields() = default;
    // Makes the children from "shieldFxLink" to "lifetime" under the
    // projectile, in the order both kinds keep them after their other ids.
    void MakeFlightFields(TBaseGameObject* owner);
    void DropField(TBaseGameObject* child);
    // Links, ids, names and times back to empty.
    void ClearFields();

    TGameObjectIntParam* startFxLink_ = nullptr;
    TGameObjectIntParam* mainFxLink_ = nullptr;
    TGameObjectIntParam* shieldFxLink_ = nullptr;
    TGameObjectIntParam* defectFxLink_ = nullptr;
    TGameObjectFreeLink* gunId_ = nullptr;
    TGameObjectFreeLink* curTarget_ = nullptr;
    TGameObjectStringParam* helperId_ = nullptr;
    TGameObjectSubParam* lifetime_ = nullptr;
};

// A hit by the player's ship ("primary" for bullets, "secondary" for rockets):
// counted once, and once more as on a friend (attitude toward the player above
// 50) or an enemy.
void CountPlayerHit(const char* kind, TBaseGameObject* hit);
// The report of a projectile whose visual unit gives no collision information.
std::string NoCollisionInfoText(TEngineObject* unit);

// Registers the bullet, rocket, container and mine classes.
void RegisterProjectileClasses();

} // namespace vesk
