#pragma once
// The flight model of a ship while the player flies it: jets that turn the
// nose and the direction of flight with angular inertia, the speed that
// follows the throttle, strafing, the quick turn, the afterburner and the
// response to touching another ship.
#include "physics/obb_collision.h"
#include "physics/ph_helpers.h"

#include <functional>
#include <memory>

namespace vesk {

// ---- force records --------------------------------------------------------------------------

class TPhForce {
public:
    virtual ~TPhForce() = default;
    virtual void Reset() {
        value_ = 0;
        force_ = {};
    }
    Vec3 GetForce() const { return force_; }

protected:
    int32_t value_ = 0;
    Vec3 force_{};
};

// A force that lasts a while and then resets itself.
class TPhTimeForce : public TPhForce {
public:
    void Reset() override {
        TPhForce::Reset();
        duration_ = elapsed_ = 0.0f;
        active_ = false;
    }
    void Start(const Vec3& force, float duration) {
        force_ = force;
        duration_ = duration;
        elapsed_ = 0.0f;
        active_ = true;
    }
    void Update(float dt);
    bool IsActive() const { return active_; }

private:
    float duration_ = 0.0f, elapsed_ = 0.0f;
    bool active_ = false;
};

// Pulls a velocity toward direction * intensity * maximum.
class TPhTractionForce : public TLogPhParams {
public:
    TPhTractionForce(IPhVector* velocity, float maxValue, const Vec3& direction);
    ~TPhTractionForce();
    TPhTractionForce(const TPhTractionForce&) = delete;
    TPhTractionForce& operator=(const TPhTractionForce&) = delete;

    // Recomputed at this moment: target - velocity + the time force.
    IPhVector* GetForce();
    void SetIntensity(float s);
    void SetMaxValue(float m);
    // A zero d leaves the direction as it is.
    void SetDirection(const Vec3& d);
    void UpdateTimeForce(float dt) { timeForce_.Update(dt); }
    float GetIntensity() const { return intensity_; }
    float GetMaxValue() const { return maxValue_; }
    Vec3 GetDirection() const { return direction_->GetVector(); }
    TPhTimeForce& TimeForce() { return timeForce_; }

private:
    void Recompute();
    TPhVector* force_;
    IPhVector* velocity_;
    float maxValue_;
    TPhVector* direction_;
    float intensity_ = 0.0f;
    TPhTimeForce timeForce_;
};

// A velocity with a first-order lag toward its traction's target.
class TPhTractionVelocity : public TLogPhParams {
public:
    TPhTractionVelocity(const Vec3& direction, float maxValue, float inertia);
    ~TPhTractionVelocity();
    TPhTractionVelocity(const TPhTractionVelocity&) = delete;
    TPhTractionVelocity& operator=(const TPhTractionVelocity&) = delete;

    // velocity += (target - velocity) * dt / inertia; an inertia of 0 reaches
    // the target at once.
    void Update(float dt);
    void SetDirection(const Vec3& d) { force_->SetDirection(d); }
    void SetIntensity(float s) { force_->SetIntensity(s); }
    void SetMaxValue(float m) { force_->SetMaxValue(m); }
    void SetInertia(float t) { inertia_ = t; }
    IPhVector* GetVelocity() { return velocity_; }
    TPhTractionForce& Force() { return *force_; }

private:
    TPhVector* velocity_;
    std::unique_ptr<TPhTractionForce> force_;
    float inertia_;
};

// A jet: two turn inputs become a turning axis fixed in space, and an angular
// velocity that follows it through a traction velocity.
class TRotateByJetComponent {
public:
    TRotateByJetComponent(IRollComponent* rollComponent, float maxRotateVelocity, float inertia);

    // h turns about the roll component's third axis, v about its second.
    void SetTurn(float h, float v);
    void GetTurn(float& h, float& v) const {
        h = hInput_;
        v = vInput_;
    }
    void Update(float dt);
    // -|w| * cos(angle between w and a).
    float GetAxisRate(const Vec3& a) const;
    // p turned about w by |w| * the last step time.
    Vec3 RotateVector(const Vec3& p) const;
    void SetMaxValue(float m) { traction_.SetMaxValue(m); }
    void SetInertia(float t) { traction_.SetInertia(t); }
    IPhVector* GetAngularVelocity() { return traction_.GetVelocity(); }
    TPhTractionVelocity& Traction() { return traction_; }

private:
    TPhTractionVelocity traction_;
    float stepTime_ = 0.0f;
    float vInput_ = 0.0f, hInput_ = 0.0f;
    IRollComponent* rollComponent_;
};

// Turns the ship's orientation axes with its own jet and banks the ship.
class TPlayerRotateComponent {
public:
    TPlayerRotateComponent(IRollComponent* rollComponent, TShipPhysicParams* phParams,
                           MatrixClass* orientation);
    void Update(float dt);
    void SetTurn(float h, float v) { jet_.SetTurn(h, v); }
    void GetTurn(float& h, float& v) const { jet_.GetTurn(h, v); }
    float GetAxisRate(const Vec3& a) const { return jet_.GetAxisRate(a); }
    IPhVector* GetAngularVelocity() { return jet_.GetAngularVelocity(); }
    void ApplyParams();
    void ReadAxes();
    void WriteAxes();
    TRotateByJetComponent& Jet() { return jet_; }

private:
    IRollComponent* rollComponent_;
    TRotateByJetComponent jet_;
    TShipPhysicParams* phParams_;
    MatrixClass* orientation_;
    Vec3 axes_[3]{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
};

// {65B58037-6613-48BF-94AE-A7C7A7F28D8D}
class IPhPlayerPhysicComponent {
public:
    virtual void SetTurn(float h, float v) = 0;
    virtual void GetDirection(Vec3& out) = 0;

protected:
    ~IPhPlayerPhysicComponent() = default;
};

// {4626A0BC-CEAC-4056-9BCB-589C6E59DA0A}
class IPhPlayerControl {
public:
    virtual void SetTurn(float h, float v) = 0;
    virtual void GetTurn(float& h, float& v) = 0;
    virtual void ForsageOn(float speed, float riseTime, float fallTime) = 0;
    virtual void ForsageOff() = 0;
    virtual void StartTurn(float h, float v) = 0;

protected:
    ~IPhPlayerControl() = default;
};

class TPlayerPhysicComponent : public TEngineObject,
                               public IPhPlayerPhysicComponent,
                               public IPlayerTurnComponent {
public:
    // position and orientation belong to the AI unit; the record too.
    TPlayerPhysicComponent(IRollComponent* rollComponent, Vec3d* position, MatrixClass* orientation,
                           TShipPhysicParams* phParams);
    void Free() override;
    // One step of dt seconds.
    virtual void Tick(float dt);

    void SetTurn(float h, float v) override;
    void GetTurn(float& h, float& v) const { rotateComponent_->GetTurn(h, v); }
    void GetDirection(Vec3& out) override;
    void StartTurn(float h, float v);
    void StrafeLeft(float value) { strafeInput_ = value; }
    void StrafeRight(float value) { strafeInput_ = -value; }
    void StrafeStop() { strafeInput_ = 0.0f; }
    void SetMoveDirection(const Vec3& d) { phVelocity_->SetDirection(d); }
    void UpdateRotateParams();

    bool IsTurning() const { return turning_; }
    float GetStrafe() const { return strafe_; }
    Vec3 GetMoveVelocity() const { return moveVelocity_; }
    TPhVelocity& Velocity() { return *phVelocity_; }
    TPlayerRotateComponent& RotateComponent() { return *rotateComponent_; }
    TRotateByJetComponent& VelocityJet() { return *velocityJet_; }

    // The quick turn's side.
    Vec3 GetCurrentDirection() override {
        Vec3 d;
        GetDirection(d);
        return d;
    }
    void Turn(float h, float v) override { SetTurn(h, v); }

protected:
    void OnTurnFinished() { turning_ = false; }
    void StrafeStep();
    void MoveStep();
    void HeadingStep();

    std::unique_ptr<TPhVelocity> phVelocity_;
    Vec3 moveVelocity_{};
    float strafeInput_ = 0.0f;
    float strafe_ = 0.0f;
    float stepTime_ = 0.0f;
    MatrixClass* orientation_;
    Vec3d* position_;
    TShipPhysicParams* phParams_;
    std::unique_ptr<TPlayerRotateComponent> rotateComponent_;
    std::unique_ptr<TRotateByJetComponent> velocityJet_;
    std::unique_ptr<TInertVector> headingInertia_;
    bool turning_ = false;
    std::unique_ptr<TPlayerRotate180Control> rotate180_;
    IRollComponent* rollComponent_;
};

// Fires the own ship's collision event with the other ship's event lending
// its object (own.SetEventData(other.GetEventObj), then own.Fire). The game
// side installs it; the events are game objects the physics only passes on.
using CollisionEventFirer = std::function<void(IEngineObject* ownEvent, IEngineObject* otherEvent)>;
void SetCollisionEventFirer(CollisionEventFirer firer);
// Fires them through the installed firer; nothing without both events.
void FireCollisionEvents(IEngineObject* ownEvent, IEngineObject* otherEvent);

class TPlayerCollisionPhysicComponent : public TPlayerPhysicComponent, public IPhPlayerControl {
public:
    TPlayerCollisionPhysicComponent(IOwnerBRU* ownerBRU, IOwnerPhObj* ownerPhObj,
                                    IRollComponent* rollComponent, Vec3d* position, IPhVector* aiVelocity,
                                    IPhVector* aiSecondVector, MatrixClass* orientation,
                                    TShipPhysicParams* phParams);
    void Free() override;
    void Tick(float dt) override;

    void SetTurn(float h, float v) override { TPlayerPhysicComponent::SetTurn(h, v); }
    void GetTurn(float& h, float& v) override { TPlayerPhysicComponent::GetTurn(h, v); }
    void ForsageOn(float speed, float riseTime, float fallTime) override;
    void ForsageOff() override;
    void StartTurn(float h, float v) override { TPlayerPhysicComponent::StartTurn(h, v); }

    bool IsForsage() const { return forsage_; }
    float GetForsageSpeed() const { return forsageControl_->GetMaximum(); }
    bool GetCollisionVector(Vec3& out) const;
    TCollisionComponet* Collision() { return collision_.get(); }
    // The speed at which the ship struck the surface, while its collision
    // event fires for a contact the step before did not have; else 0.
    float GetImpact() const { return impact_; }

    // Whether the collision step runs (the game ini table's useCollision is 1).
    static void SetCollisionSwitch(std::function<bool()> on);

private:
    void CollisionStep(float dt);
    void OnForsageFinished() { forsage_ = false; }

    std::unique_ptr<TCollisionComponet> collision_;
    IOwnerBRU* ownerBRU_;
    IOwnerPhObj* ownerPhObj_;
    IPhVector* aiVelocity_;
    IPhVector* aiSecondVector_;
    bool forsage_ = false;
    std::unique_ptr<TPhForsageVelocityControl> forsageControl_;
    float sinceContact_ = 1e9f; // seconds since the box last met a hull
    float impact_ = 0.0f;
};

} // namespace vesk
