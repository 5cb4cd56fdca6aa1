#pragma once
// Turrets as the AI fires them. A turret's gun effect carries a small AI
// model of its own that on every tick keeps or picks the nearest hostile ship
// the turret can aim at within range, aims at it, and fires one shot when the
// turret reports that it is on target.
#include <functional>
#include <string>

#include "game/ai_models.h"
#include "game/gun_effects.h"
#include "game/object_effects.h"

namespace vesk {

class TBaseRenderUnit;
class TGameItem;

// How the world aims a turret unit; installed by the world.
class ITurretAim {
public:
    virtual ~ITurretAim() = default;
    // Whether the target lies within the turret's angle limits.
    virtual bool IsTurretTarget(TEngineObject* turret, TBaseRenderUnit* target) = 0;
    // Aims at the target; onAimed runs on every tick the turret is on target.
    virtual void SetTurretTarget(TEngineObject* turret, TBaseRenderUnit* target,
                                 std::function<void()> onAimed) = 0;
};
// nullptr when no world aims turrets yet.
ITurretAim* TurretAim();
void SetTurretAim(ITurretAim* aim);

class TGameObjectTurretAIModel;

class TGameObjectTurretEffect : public TGameObjectGunEffect {
    VESK_GAME_CLASS(TGameObjectTurretEffect)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void CreateEmpty() override;
    void Delete() override;
    void onCreatedFunc(TEngineObject* obj, TEngineObject* data) override;
    void onEnableFunc(TEngineObject* obj, TEngineObject* data) override;
    // The turret fires when its AI is on target, not on its own tick.
    void onTickFunc(TEngineObject*, TEngineObject*) override {}

    TGameObjectTurretAIModel* Ai() const;
    float MaxRange() const;
    // One shot at the target: the flag is up for the shot only.
    void ShootOnce(TEngineObject* target);

private:
    void MakeTurretChildren();
    void TakeItemRange();
};

class TGameObjectTurretAIModel : public TGameObjectBaseAIModel {
    VESK_GAME_CLASS(TGameObjectTurretAIModel)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void onInitFunc(TEngineObject* obj, TEngineObject* data) override;
    void onShutdownFunc(TEngineObject* obj, TEngineObject* data) override;
    float getRangeToObj(TBaseGameObject* obj) override;
    // The ship carrying the turret item.
    TBaseGameObject* Owner() const override;

    void TickTurret();
    // Keeps an aimable hostile enemy in range, else takes the nearest one.
    void ChooseBestEnemy();
    // The on-target callback: one shot with the item in use.
    void Shoot();

    TGameObjectTurretEffect* Effect() const;
    TGameItem* TurretItem() const;
    TEngineObject* BestEnemy() const;
    TEngineObject* PrevBestEnemy() const;

private:
    bool CanAimAt(TBaseRenderUnit* target) const;
};

void RegisterTurretClasses();

} // namespace vesk
