#pragma once
// What the physics unit needs of its owner, the AI steering unit of a render
// unit. The AI unit implements it; other units' AI units are reached through
// the render unit's GetBPU.
#include "shared/math.h"

namespace vesk {

class IPhVector;
class BasePhysicUnitClass;
class TBaseRenderUnit;
struct TShipPhysicParams;

class IOwnerPhObj {
public:
    virtual IPhVector* GetVelocityVector() = 0; // the velocity
    virtual IPhVector* GetSecondVector() = 0;   // the angular velocity
    virtual Vec3 GetPosition() = 0;
    virtual Vec3d GetPositionD() = 0;
    // Keeps the previous position.
    virtual void SetPositionD(const Vec3d& p) = 0;
    virtual Matrix GetMatrix() = 0; // orientation; the first row is the heading
    virtual void SetMatrix(const Matrix& m) = 0;
    virtual void SetUpVector(const Vec3& up) = 0;
    virtual float GetBoundingRadius() = 0;
    // The unit's own bounding sphere in world space; false when it has none.
    virtual bool GetOwnSphere(Vec3& centre, float& radius) = 0;
    // True when this AI unit follows `leader` in formation.
    virtual bool IsFollowerOf(IOwnerPhObj* leader) = 0;
    // The formation place of `follower` around this unit.
    virtual Vec3 GetFormationPoint(IOwnerPhObj* follower) = 0;
    // The orientation basis (heading, side, up).
    virtual void GetBasis(Vec3& a, Vec3& b, Vec3& c) = 0;
    virtual TBaseRenderUnit* GetRenderUnit() = 0;
    virtual BasePhysicUnitClass* GetPhysicUnit() = 0;
    virtual TShipPhysicParams* GetPhysicParams() = 0;
    // The afterburner of whichever physics flies the unit now: the player's
    // flight while the player steers it, else the physics unit.
    virtual bool IsForsage() const = 0;
    virtual float GetForsageSpeed() const = 0;

protected:
    ~IOwnerPhObj() = default;
};

// The AI unit of a render unit as the physics sees it; nullptr when the unit
// has none.
IOwnerPhObj* OwnerOfUnit(TBaseRenderUnit* unit);

} // namespace vesk
