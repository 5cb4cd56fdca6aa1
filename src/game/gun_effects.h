#pragma once
// Guns and shots. A gun item carries a gun effect whose tick checks the
// item's charge and reload and fires "onShot" once per barrel. The shot
// handler turns every shot description of the gun into a projectile (a pooled
// bullet or rocket), points it at the target and gives it copies of the
// shot's damage effects, scaled by the shooter's damage factor.
#include <functional>
#include <string>

#include "game/object_effects.h"

namespace vesk {

class TBaseGameSceneObject;
class TGameItem;
class TGameObjectFreeLink;
class TGameObjectIntParam;
class TGameObjectStringParam;
class TGameObjectSubParam;
class TDamageEffect;

// What a shot or a launch hands every projectile it makes.
class IGameProjectile {
public:
    virtual TEngineObject* GetCurTarget() const = 0;
    virtual TEngineObject* GetGunId() const = 0;
    virtual void SetCurTarget(TEngineObject* target) = 0;
    virtual void SetGunId(TEngineObject* gun) = 0;
    virtual void SetStartFxLink(int32_t id) = 0;
    virtual void SetDefectFxLink(int32_t id) = 0;
    virtual void SetShieldFxLink(int32_t id) = 0;
    virtual void SetHelperId(const std::string& helper) = 0;
    virtual void SetLifetime(float seconds) = 0;

protected:
    ~IGameProjectile() = default;
};

class TGameObjectGunEffect : public TGameObjectEffect {
    VESK_GAME_CLASS(TGameObjectGunEffect)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void CreateEmpty() override;
    void onEnableFunc(TEngineObject* obj, TEngineObject* data) override;
    void onDisableFunc(TEngineObject* obj, TEngineObject* data) override;
    void onTickFunc(TEngineObject* obj, TEngineObject* data) override;
    // Every shot description becomes a projectile aimed at the target.
    virtual void onShotFunc(TEngineObject* obj, TEngineObject* data);

    // One gun tick: with charge and a finished reload, a volley per barrel.
    void GunTick();
    // The item whose effects list holds the effect.
    TGameItem* Item() const;
    TEngineObject* CurTarget() const;
    void SetCurTarget(TEngineObject* target);
    // The start delay added to the volley being fired.
    float BarrelDelay() const { return barrelDelay_; }

private:
    void MakeGunChildren();
    float barrelDelay_ = 0.0f;
};

// One projectile of a shot: what it is, how it looks, when it leaves and
// which damage it carries.
class TGameObjectShotEffect : public TGameObjectEffect {
    VESK_GAME_CLASS(TGameObjectShotEffect)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    // Looks the effect templates up in the "fx" table and the projectile class
    // in the class registry; a name the table does not have is a fatal report.
    void onCreatedFunc(TEngineObject* obj, TEngineObject* data) override;

    // A projectile of the shot's class, revived from its pool and named
    // uniquely, with the shot's effects, attach point and lifetime; nullptr
    // (after a fatal report) for a class that is no projectile.
    TBaseGameSceneObject* CreateBullet();
    // The start delay of a bullet fired with the barrel delay.
    float BulletDelay(float barrelDelay) const;

    std::string Text(const char* name) const;
    int32_t Link(const char* name) const;
    float Number(const char* name) const;
    // The dynamic trigger moved to the aimed point before each shot.
    TBaseGameSceneObject* TargetHelper() const;
    TBaseGameObject* DamageTemplates() const;
    const TGameClass* ProjectileClass() const { return projectileClass_; }

private:
    const TGameClass* projectileClass_ = nullptr;
};

// The template id "fx.<name>.hex" as an integer; a name the table does not
// have is a fatal report with the context.
int32_t ReadFxHex(const std::string& name, const std::string& context);

// A damage copy leaving with a projectile: it names its shooter, its amounts
// are scaled by the shooter's damage factor (cur / 100) and its
// "temperatureSelf" heats the shooter.
void ArmDamageCopy(TGameObjectEffect& copy, TBaseGameObject* shooter);

void RegisterGunClasses();

} // namespace vesk
