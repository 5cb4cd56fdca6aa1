#pragma once
// What the render engine's script functions reach in higher subsystems: the
// game camera, and the effect and ship-part classes they modify. Each of
// those implements the small interface here; the camera installs itself.
#include "platform/math_types.h"

#include <string>

namespace vesk {

class IDynamicTargetPosition;

// The game camera as the scripts steer it.
class IScriptCamera {
public:
    virtual ~IScriptCamera() = default;
    // Starts aligning to the followed object's orientation (the vector is handed on).
    virtual void StartAlignToObjOri(const Vec3& v) = 0;
    virtual void SetZoom(float factor) = 0;
    virtual void StartFreeCamera() = 0;
    virtual void StopFreeCamera() = 0;
    virtual void SetFreeCameraVelocity(const Vec3& v) = 0;
    virtual void SetFreeCameraRollSpeed(float radiansPerSecond) = 0;
    virtual void SetPosition(const Vec3& p) = 0;
    virtual Vec3 GetPosition() = 0;
    virtual void SetFOV(float degrees) = 0;
    // The helper of the followed object that the current viewport camera starts from.
    virtual void SetCamFromHelper(const std::string& helperName) = 0;
};
// nullptr until the camera subsystem installs one.
void SetScriptCamera(IScriptCamera* camera);
IScriptCamera* GetScriptCamera();

// A portal effect ("close" sets its state flag 16).
class IPortalEffect {
public:
    virtual void SetPortalStateFlag(uint32_t flag) = 0;

protected:
    ~IPortalEffect() = default;
};

// A laser effect: where it starts and ends, and the position links that follow those points.
class ILaserEffect {
public:
    virtual Vec3 GetStartPoint() = 0;
    virtual Vec3 GetEndPoint() = 0;
    virtual IDynamicTargetPosition* GetStartLink() = 0;
    virtual IDynamicTargetPosition* GetEndLink() = 0;

protected:
    ~ILaserEffect() = default;
};

// A turret's six angle limits (radians), in the order the scripts give them.
class ITurretLimits {
public:
    virtual float GetAngleLimit(int index) const = 0;
    virtual void SetAngleLimit(int index, float radians) = 0;

protected:
    ~ITurretLimits() = default;
};

} // namespace vesk
