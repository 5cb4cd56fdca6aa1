#pragma once
// The collision event a render unit may carry: a game event of the object the
// unit stands for. The game side implements it; the render, physics and effect
// code hand a hit on through it.
namespace vesk {

class TEngineObject;

class IGameCollisionEvent {
public:
    // Runs the event (its native handler, then its Lua code).
    virtual void Fire() = 0;
    // The event's data: the other side of the collision.
    virtual void SetEventData(TEngineObject* value) = 0;
    // The object the event belongs to.
    virtual TEngineObject* GetEventObj() const = 0;

protected:
    ~IGameCollisionEvent() = default;
};

} // namespace vesk
