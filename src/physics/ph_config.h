#pragma once
// The physics record of a ship, built from the physics parameters of its game
// object, and the ship size classes that the movement code branches on.
#include "shared/engine_object.h"

#include <cstdint>
#include <string>

namespace vesk {

class TBaseRenderUnit;

enum ShipSizeClass : int32_t {
    SC_NONE = 0,
    SC_MISSILE = 1,
    SC_SMALL = 2,
    SC_BARGA = 4,
    SC_BIG = 8,
    SC_PLAYER = 16,
    SC_FIELD = 32,
    SC_CONTAINER = 64,
    SC_FIELD_NSC = 128,
};

// Fixed 76-byte layout: scripts and the AI read it as a block.
struct TShipPhysicParams {
    float reserved1 = 0;
    float staticRotate90Time = 0;
    float reserved3 = 0;
    float speedLimit = 0; // current limit, changed at run time
    float maxVelocity = 0;
    float accelerateTime = 0; // changed by the afterburner
    int32_t sizeClass = 0;
    float collDist = 0;
    float pathFinderDist = 0;
    float startMoveCos = 0;
    float maxPitchAngle = 0;
    int32_t useInFindWay = 0;
    float rotateForceMultiply = 0;
    float rotateFading = 0;
    float maxRotateVelocity = 0;
    // Seconds for the player's turn rate to follow the stick (the time
    // constant of the turn); no physics parameter sets it, the AI unit does.
    float rotationInertiaTime = 0;
    float rollForceMultiply = 0;
    float rollFading = 0;
    float maxRollAngle = 0;
};
static_assert(sizeof(TShipPhysicParams) == 76);

// Size class by its content name (case-insensitive); 0 for an unknown name.
int32_t SizeClassFromName(const std::string& name);
// Size class from a bounding radius, used when the content names none.
int32_t SizeClassFromRadius(float r);

// Where the record's values come from: the physics-parameter list of a ship's
// game object (the game side implements it). Absent entries answer false.
class IPhysicParamsSource {
public:
    virtual bool GetNumber(const std::string& name, float& out) = 0;
    virtual bool GetText(const std::string& name, std::string& out) = 0;
    virtual bool GetBool(const std::string& name, bool& out) = 0;

protected:
    ~IPhysicParamsSource() = default;
};

class PhConfigObjClass : public TEngineObject {
public:
    // radius: the unit's bounding-sphere radius, for the size class and the
    // default collision distance.
    PhConfigObjClass(IPhysicParamsSource& source, float radius);
    // Takes the radius of the render unit's own bounding sphere.
    static PhConfigObjClass* Create(IPhysicParamsSource& source, TBaseRenderUnit* unit);

    // Copies the 76-byte record; any other size is reported (and 76 bytes still copied).
    void GetData(void* buffer, size_t size) const;
    const TShipPhysicParams& Record() const { return record_; }
    TShipPhysicParams& Record() { return record_; }

    float GetStaticRotate90Time() const { return record_.staticRotate90Time; }
    float GetSpeedLimit() const { return record_.speedLimit; }
    float GetMaxVelocity() const { return record_.maxVelocity; }
    float GetAccelerateTime() const { return record_.accelerateTime; }
    int32_t GetSizeClass() const { return record_.sizeClass; }
    float GetCollDist() const { return record_.collDist; }
    float GetPathFinderDist() const { return record_.pathFinderDist; }
    float GetStartMoveCos() const { return record_.startMoveCos; }
    float GetMaxPitchAngle() const { return record_.maxPitchAngle; }
    bool GetUseInFindWay() const { return record_.useInFindWay != 0; }
    float GetRotateForceMultiply() const { return record_.rotateForceMultiply; }
    float GetRotateFading() const { return record_.rotateFading; }
    float GetMaxRotateVelocity() const { return record_.maxRotateVelocity; }
    float GetRollForceMultiply() const { return record_.rollForceMultiply; }
    float GetRollFading() const { return record_.rollFading; }
    float GetMaxRollAngle() const { return record_.maxRollAngle; }

private:
    TShipPhysicParams record_;
};

} // namespace vesk
