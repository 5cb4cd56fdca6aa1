#pragma once
// Mines. A mine is a rocket that arms after a delay, keeps a post and chases
// the first hostile ship that comes near, going back to its post when the
// ship gets away.
#include <string>

#include "game/rockets.h"

namespace vesk {

class TGameObjectLinkParam;

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

} // namespace vesk
