#pragma once
// Bullets. A bullet waits its start delay, spawns its visual bullet from the
// barrel and, when that meets an object, hands its damage to it, shows the hit
// and goes back to its pool.
#include <string>

#include "game/projectiles.h"
#include "game/scene_object.h"

namespace vesk {

class TonTick;

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

} // namespace vesk
