#pragma once
// What game objects and mesh descriptions ask of the effect links kept in
// their lists ("damageFx", "collisionFx", a mesh's "destroyFx"). The effect
// link classes implement these; a list entry that implements none of them is
// not an effect and is reported by whoever walks the list.
#include "game/game_object.h"

namespace vesk {

// An effect link: names an effect template, shown on an object at a helper of
// its render unit.
class IGameFxLink {
public:
    // Shows the link's effect on the object (the link becomes active).
    virtual void ShowFx(TBaseGameObject* object) = 0;
    // Takes the effect away again (the link becomes inactive).
    virtual void HideFx() = 0;
    virtual bool IsFxShown() const = 0;

protected:
    ~IGameFxLink() = default;
};

// A damage-effect link: shown while the watched parameter of the object's
// "param" set is at or below the threshold, in percent of its maximum.
class IGameDamageFxLink : public IGameFxLink {
public:
    virtual float ThresholdPercent() const = 0;
    virtual std::string WatchedParam() const = 0;

protected:
    ~IGameDamageFxLink() = default;
};

// An entry of a mesh's "destroyFx" list: a destruction effect started for a
// destroyed object.
class IGameDestroyFxEntry {
public:
    // How long the entry's effect lasts, in seconds.
    virtual float DestroyFxTime() const = 0;
    virtual void SpawnDestroyFx(TBaseGameObject* object) = 0;

protected:
    ~IGameDestroyFxEntry() = default;
};

} // namespace vesk
