#pragma once
// Projectiles. A bullet waits its start delay, spawns its visual bullet from
// the barrel and, when that meets an object, hands its damage to it, shows
// the hit and goes back to its pool. A rocket is a guided body built in the
// world from a physics model: it chases its target, ages, and when it hits or
// its time runs out it explodes — its damage strikes by splash only. A
// container is a rocket that stops at once and works its effects on itself; a
// mine arms after a delay, keeps a post and chases the first hostile ship
// that comes near.
#include <string>

#include "game/gun_effects.h"
#include "game/scene_object.h"

namespace vesk {

class TGameMeshLink;
class TGameObjectFreeLink;
class TGameObjectIntParam;
class TGameObjectStringParam;
class TGameObjectSubParam;
class TonTick;

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

class TGameObjectBullet : public TBaseGameSceneObject, public ProjectileFields {
    VESK_GAME_CLASS(TGameObjectBullet)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void CreateEmpty() override;
    void ReInit(const std::string& name, TBaseGameObject* parent) override;
    void Delete() override;
    void onCreatedFunc(TEngineObject* obj, TEngineObject* data) override;
    void onCollisionFunc(TEngineObject* obj, TEngineObject* data) override;
    void Message(IEngineObject* sender, int msg, int param) override;

    // The start delay counted in a step of dtMs; the visual bullet leaves once it has passed.
    void DelayTick(float dtMs);

    void SetSpawnDelay(float seconds);
    float SpawnDelay() const;
    float CurDelay() const;
    TonTick* OnTickEvent() const { return onTick_; }

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    void MakeBulletChildren();
    void SpawnVisual();

    TGameObjectStringParam* mainFx_ = nullptr;
    TonTick* onTick_ = nullptr;
    TGameObjectSubParam* spawnDelay_ = nullptr;
    TGameObjectSubParam* curDelay_ = nullptr;
    bool counted_ = false; // in the live-bullet counter
};

class TGameObjectRocket : public TBaseGameSceneObject, public ProjectileFields {
    VESK_GAME_CLASS(TGameObjectRocket)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void CreateEmpty() override;
    void ReInit(const std::string& name, TBaseGameObject* parent) override;
    void Delete() override;
    void onCreatedFunc(TEngineObject* obj, TEngineObject* data) override;
    void onDestroyedFunc(TEngineObject* obj, TEngineObject* data) override;
    void onCollisionFunc(TEngineObject* obj, TEngineObject* data) override;
    virtual void onDeletedFunc(TEngineObject* obj, TEngineObject* data);
    virtual void onTickFunc(TEngineObject* obj, TEngineObject* data);

    // The life tick: ages by dtMs and is destroyed once its lifetime is over.
    void LifeTick(float dtMs);

    // The physics models: for rockets aimed at the player's ship, and for the rest.
    void SetModels(const std::string& toPlayer, const std::string& model);
    float TimeLeft() const;
    int32_t IsDestroyed() const;
    TGameMeshLink* MeshLink() const { return mesh_; }
    TonTick* OnTickEvent() const { return onTick_; }
    TGameEvent* OnDeletedEvent() const { return onDeleted_; }

protected:
    void ChildLeft(TBaseGameObject* child) override;
    // Adds (+1) or takes back (-1) the rocket's or mine's mark on a ship it chases.
    void RegisterOn(TBaseGameObject* target, int delta);
    // Runs engine_PhCommand for the rocket with the command and its arguments (Lua text).
    void PhCommand(const std::string& command, const std::string& arguments);
    // The creation before a subclass adds its own; false while being destroyed.
    bool CreateRocket();

private:
    void MakeRocketChildren();
    void ClearRocketFields();
    void SpawnHitEffects(TEngineObject* hit, TEngineObject* own);

    TGameObjectIntParam* isDestroyed_ = nullptr;
    TGameEvent* onDeleted_ = nullptr;
    TonTick* onTick_ = nullptr;
    TGameObjectStringParam* mainFx_ = nullptr;
    TGameObjectStringParam* endFx_ = nullptr;
    TGameObjectStringParam* shieldFx_ = nullptr;
    TGameObjectIntParam* endFxLink_ = nullptr;
    TGameObjectSubParam* timeleft_ = nullptr;
    TGameObjectStringParam* spacemodel2player_ = nullptr;
    TGameObjectStringParam* spacemodel_ = nullptr;
    TGameMeshLink* mesh_ = nullptr;
    bool counted_ = false;     // in the live-rocket counter
    int32_t registeredOn_ = 0; // the ship that carries the mark (by id)
};

class TGameObjectContainer : public TGameObjectRocket {
    VESK_GAME_CLASS(TGameObjectContainer)
public:
    void onCreatedFunc(TEngineObject* obj, TEngineObject* data) override;
};

class TGameObjectMine : public TGameObjectRocket {
    VESK_GAME_CLASS(TGameObjectMine)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void CreateEmpty() override;
    void ReInit(const std::string& name, TBaseGameObject* parent) override;
    void onCreatedFunc(TEngineObject* obj, TEngineObject* data) override;
    void onTickFunc(TEngineObject* obj, TEngineObject* data) override;
    virtual void onReadyFunc(TEngineObject* obj, TEngineObject* data);

    // The watch for hostile ships and the chase, then the rocket's life tick.
    void MineTick(float dtMs);
    int32_t EnemyFound() const;
    TBaseGameSceneObject* StandingHelper() const;

protected:
    void ChildLeft(TBaseGameObject* child) override;

private:
    void MakeMineChildren();
    void Attack();
    void ReturnToPost();
    void ResumeSpeed();

    TGameEvent* onReady_ = nullptr;
    TGameObjectSubParam* activateRadius_ = nullptr;
    TGameObjectSubParam* activateTime_ = nullptr;
    TGameObjectIntParam* enemyFound_ = nullptr;
    TGameObjectSubParam* timeLeft_ = nullptr;
    TGameObjectLinkParam* fraction_ = nullptr;
    TGameObjectFreeLink* standingHelper_ = nullptr;
};

void RegisterProjectileClasses();

} // namespace vesk
