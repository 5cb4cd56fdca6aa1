#pragma once
// Rockets and containers. A rocket is a guided body built in the world from a
// physics model: it chases its target, ages, and when it hits or its time
// runs out it explodes — its damage strikes by splash only. A container is a
// rocket that stops at once and works its effects on itself.
#include <string>

#include "game/projectiles.h"
#include "game/scene_object.h"

namespace vesk {

class TGameMeshLink;
class TonTick;

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

} // namespace vesk
