#pragma once
// The physics unit: the movement engine of one non-player space object. It
// turns movement orders into forces, integrates velocity and position once a
// step, keeps the speed limit with its afterburner ramps and turns the owner
// along its motion. Position, matrix and velocity belong to the owner.
#include "physics/pf_objects.h"
#include "physics/ph_helpers.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vesk {

// Movement-state bits; the unit registers each by name.
inline constexpr uint64_t DOMOVETOPOINT = 0x1;
inline constexpr uint64_t STOPINPOINT = 0x2;
inline constexpr uint64_t D0STOP = 0x4;
inline constexpr uint64_t DOFOLLOWTOOBJECT = 0x8;
inline constexpr uint64_t COLLDISABLE = 0x10;
inline constexpr uint64_t PATHFINDERENABLE = 0x20;
inline constexpr uint64_t STATE_MOVEPOINTFORCEDISABLED = 0x40;
inline constexpr uint64_t STATE_ORIUSEVELOCITYDIR = 0x80;
inline constexpr uint64_t ORIUSEENDDIR = 0x100;
inline constexpr uint64_t HORIZONTALALIGN = 0x200;
inline constexpr uint64_t CONTAINERMOVE = 0x400;
inline constexpr uint64_t HARDSETPOS = 0x800;
inline constexpr uint64_t FOLLOWUSERUNDOWN = 0x1000;
inline constexpr uint64_t DONOTDRAWJETS = 0x2000;
inline constexpr uint64_t USEFLUCTUATIONMOVE = 0x4000;
inline constexpr uint64_t VELOCITYBRAKE = 0x8000;
inline constexpr uint64_t VELOCITYACCELERATE = 0x10000;

// Afterburner state bits.
inline constexpr uint64_t FORSAGE_ON = 1;
inline constexpr uint64_t FORSAGE_AT_SPEED = 2;
inline constexpr uint64_t FORSAGE_SLOWING = 4;

inline constexpr int MAX_FORCES_NUM = 1000;

class BasePhysicUnitClass : public TEngineObject {
public:
    struct RegisteredState {
        uint64_t mask;
        std::string name;
    };

    BasePhysicUnitClass(IOwnerPhObj* owner, TShipPhysicParams* record, IRollComponent* rollComponent);

    // Supplied by the NPC component: tells the orders' issuer the order ended.
    virtual void SendCallback() = 0;
    virtual void Tick(float ms);
    virtual int SendCallbackAndStayInTask();
    void Free() override;

    // ---- states ----------------------------------------------------------------------
    void RegisterState(const std::string& name, uint64_t mask);
    std::string GetStatesString() const;
    const std::vector<RegisteredState>& States() const { return states_; }
    bool TestState(uint64_t mask) const { return (state & mask) != 0; }
    void AddState(uint64_t mask) { state |= mask; }
    void RemoveState(uint64_t mask) { state &= ~mask; }
    void ClearState() { state = 0; }
    uint64_t GetState() const { return state; }

    // ---- forces ------------------------------------------------------------------------
    void ForceAdd(const Vec3& force);
    void ClearForces();
    void SumForces();
    int GetForceNum() const { return ForceNum; }
    // Forces the unit has room for without asking for memory.
    size_t GetForceRoom() const { return forces.capacity(); }
    Vec3 GetForceSum() const { return forceSum; }

    // ---- orders, limits and the afterburner ----------------------------------------------
    void StopAll();
    void SetSpeedLimit(float v);
    // Lowers the limit to `target` at the normal deceleration.
    void StartLimitRamp(float target);
    void ForsageOn(float speed);
    void ForsageOff(float speed);
    bool IsForsage() const { return (forsageState & FORSAGE_ON) != 0; }
    float GetForsageSpeed() const { return forsageSpeed; }
    uint64_t GetForsageState() const { return forsageState; }
    void StartFluctuationMove(float period, float minAngleDeg, float maxAngleDeg, float minDistance);
    void StopFluctuationMove() { RemoveState(USEFLUCTUATIONMOVE); }
    void HardSetPos(const Matrix& m);
    void SetEventInterface(IEngineObject* i) { c_IEvent = i; }
    // The source of the fluctuation's random numbers (tests fix it).
    void SetRandomSource(UniformSource r) { random_ = std::move(r); }

    // ---- parts -------------------------------------------------------------------------
    IOwnerPhObj* GetOwner() const { return owner; }
    TPhMovePoint* GetMovePoint() const { return c_PhMovePoint; }
    TPFObjectsManager* GetPathFinder() const { return pathFinder; }
    TShipPhysicParams* GetParams() const { return phParams; }
    IPhVector* GetVelocity() const { return velocity; }
    float GetSpeed() const { return velocity ? velocity->GetLength() : 0.0f; }
    float GetDistance() const { return distance; }
    Vec3 GetMoveDir() const { return moveDir; }
    Vec3 GetTarget() const { return target; }
    float GetMass() const { return mass; }
    void SetStepTime(float s) { stepTime = s; }
    float GetStepTime() const { return stepTime; }
    void SetHeadingAxis(const Vec3& a) { headingAxis = a; }
    float GetFluctuationAngle() const { return fluctuation.currentAngle; }
    float GetFluctuationRoll() const { return fluctuation.currentRoll; }

    // ---- the steps (one Tick runs them in order) -----------------------------------------
    void MoveStep(float t);
    void StopStep(float t);
    void OrientationStep();
    void ContainerMove();
    void AvoidObstacles();
    void IntegrateVelocity();
    void IntegratePosition();
    void CalcOrientation(Vec3 fwd);
    void CalcFollowVelocity();

protected:
    uint64_t state = 0;
    uint64_t forsageState = 0;
    Vec3 endDirection{};
    IPhVector* velocity = nullptr;
    IPhVector* secondVector = nullptr;
    IRollComponent* rollComponent = nullptr;
    IOwnerPhObj* owner = nullptr;
    TPhMovePoint* c_PhMovePoint = nullptr;
    float rotateSpeed = 0.0f;
    Vec3 headingAxis{1, 0, 0};
    Vec3 target{};
    Vec3 toTarget{}, toTargetDir{};
    Vec3 moveVector{}, moveDir{};
    float distance = 0.0f;
    float mass = 1.0f;
    float stepTime = 0.0f;
    // The forces of this step; room is made as they come (most steps hold a few).
    std::vector<Vec3> forces;
    int32_t ForceNum = 0;
    Vec3 forceSum{};
    float normalAccelerateTime = 0.0f;
    float forsageSpeed = 0.0f;
    IEngineObject* c_IEvent = nullptr;
    float limitTarget = 0.0f;
    float speedAfterForsage = 0.0f;
    TShipPhysicParams* phParams = nullptr;
    bool limitRamp = false;
    // The sway of a fluctuating move: the way to the target is tilted off its
    // line by `currentAngle` and turned about it by `currentRoll`, both drawn
    // anew each period.
    struct Fluctuation {
        float minDistance = 0.0f; // nearer the target than this, the sway ends
        float timer = 0.0f;
        float period = 0.0f;
        float minAngle = 0.0f, maxAngle = 0.0f; // radians
        float currentAngle = 0.0f, currentRoll = 0.0f;
    } fluctuation;
    TPFObjectsManager* pathFinder = nullptr;
    std::vector<RegisteredState> states_;

    int32_t SizeClassOf() const { return phParams ? phParams->sizeClass : 0; }
    UniformSource random_ = UniformRandom;

private:
    void ForsageRamp();
    void LimitRamp(float t);
    void NewFluctuation();
    void Fluctuate(float t);
    void VelocityBlend();
    void TurnReport();
    void Reorient(const Vec3& dir, const Vec3& up);
    float Limit() const { return phParams ? phParams->speedLimit : 0.0f; }
    float AccelTime() const { return phParams ? phParams->accelerateTime : 0.0f; }
    // mass * limit / accelerateTime; 0 without an accelerate time.
    float ThrustPerUnit() const;
    int32_t SizeClass() const { return SizeClassOf(); }
};

// Pitch of v limited to maxPitch; elevation of a turning axis kept within
// maxPitch of the vertical.
Vec3 ClampPitch(const Vec3& v, float maxPitch);
Vec3 ClampElevation(const Vec3& v, float maxPitch);

} // namespace vesk
