#pragma once
// Launchers: the counterpart of a gun for items that release objects (mines,
// containers and other projectiles) rather than fire shots. While its item is
// in use, charged and reloaded, the launcher fires "onLaunch", which makes one
// object per launch description, armed with copies of its damage effects.
#include <string>

#include "game/object_effects.h"

namespace vesk {

class TGameItem;

class TGameObjectLauncherEffect : public TGameObjectEffect {
    VESK_GAME_CLASS(TGameObjectLauncherEffect)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    void onTickFunc(TEngineObject* obj, TEngineObject* data) override;
    virtual void onLaunchFunc(TEngineObject* obj, TEngineObject* data);

    // One tick: while the item is used, charged and reloaded, a launch.
    void LauncherTick();
    // The item whose effects list holds the launcher.
    TGameItem* Item() const;
};

// What one launch releases: the class of the object ("bulletType"), its
// effects, model, lifetime and attach point.
class TGameObjectLaunchEffect : public TGameObjectEffect {
    VESK_GAME_CLASS(TGameObjectLaunchEffect)
public:
    void Create(const std::string& name, TBaseGameObject* parent) override;
    // Looks the start and end effect templates up in the "fx" table; a name
    // the table does not have is a fatal report.
    void onCreatedFunc(TEngineObject* obj, TEngineObject* data) override;
};

void RegisterLauncherClasses();

} // namespace vesk
