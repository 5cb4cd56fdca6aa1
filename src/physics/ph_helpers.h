#pragma once
// Small objects the movement code passes around: the move target, the roll
// and inertial turning helpers, and the speed helpers of the player's flight.
#include "physics/ph_config.h"
#include "physics/ph_owner.h"
#include "physics/ph_vector.h"
#include "render/fx_descr.h"
#include "shared/save_data.h"

#include <functional>
#include <string>

namespace vesk {

// ---- move target -------------------------------------------------------------------
class TPhMovePoint : public TEngineObject {
public:
    using LostTargetCallback = std::function<void(void* data)>;
    // The plain constructor is refused: use Create.
    TPhMovePoint();
    TPhMovePoint(BasePhysicUnitClass* owner, LostTargetCallback callback, void* callbackData);
    static TPhMovePoint* Create(BasePhysicUnitClass* owner, LostTargetCallback callback, void* data) {
        return New<TPhMovePoint>(owner, std::move(callback), data);
    }

    void SetTargetObject(TBaseRenderUnit* unit);
    void ReleaseTargetObject();
    bool HasTargetObject() const { return target_ != nullptr; }
    TBaseRenderUnit* GetTargetObject() const { return target_; }
    void SetPosition(const Vec3& p);
    void SetEndDirection(const Vec3* d) {
        if (d) endDirection_ = *d;
    }
    Vec3 GetEndDirection() const { return endDirection_; }
    Vec3 RefreshPosition();
    Vec3 GetPosition() { return RefreshPosition(); }
    bool GetVelocity(Vec3& velocity, Vec3& direction, float& length);
    bool GetBasis(Vec3& a, Vec3& b, Vec3& c);
    bool GetMatrix(Matrix& out);
    bool GetFollowPoint(Vec3& out);
    bool GetTargetBPU(BasePhysicUnitClass*& out);

    void Message(IEngineObject* sender, int msg, int param) override;
    void Free() override;

private:
    IOwnerPhObj* TargetAI() const;

    TBaseRenderUnit* target_ = nullptr;
    Vec3 position_{};
    Vec3 endDirection_{1.0f, 0.0f, 0.0f};
    LostTargetCallback callback_;
    void* callbackData_ = nullptr;
    BasePhysicUnitClass* owner_ = nullptr;
};

// ---- dynamic targets -------------------------------------------------------------
// Position and velocity of a dynamic target (given by the AI's target adapters):
// IDynamicTargetPosition, the position link of render/fx_descr.h.
// Makes the position interface for a dynamic target; nullptr when it cannot.
// Render units are followed unless another factory is set (an empty one puts
// that back).
using DynamicTargetFactory = std::function<std::unique_ptr<IDynamicTargetPosition>(TEngineObject* target)>;
void SetDynamicTargetFactory(DynamicTargetFactory factory);

class TPhDynamicTargetObj : public TEngineObject {
public:
    void SetTarget(TEngineObject* target);
    Vec3 GetPos();
    Vec3 GetVelocity();
    // The velocity split into direction and length.
    float GetVelocity(Vec3& direction);
    // The followed unit while it lives.
    TBaseRenderUnit* GetObject() const { return c_ITarget ? c_ITarget->GetObject() : nullptr; }
    bool HasTarget() const { return c_ITarget != nullptr; }
    // Forgets the target without a report.
    void ClearTarget() { c_ITarget.reset(); }
    void Free() override;

private:
    std::unique_ptr<IDynamicTargetPosition> c_ITarget;
};

// ---- banking -------------------------------------------------------------------------
class IRollComponent {
public:
    virtual void GetMatrix(Matrix& out) const = 0;
    virtual void GetAxes(Vec3& x, Vec3& y, Vec3& z) const = 0;
    virtual void Update(float dt, float rate) = 0;

protected:
    ~IRollComponent() = default;
};

class TRollComponent : public TEngineObject, public IRollComponent {
public:
    TRollComponent(MatrixClass* ownerMatrix, const TShipPhysicParams* record);
    static TRollComponent* Create(MatrixClass* ownerMatrix, const TShipPhysicParams* record) {
        return New<TRollComponent>(ownerMatrix, record);
    }
    void GetMatrix(Matrix& out) const override { out = own_.GetMatrix(); }
    void GetAxes(Vec3& x, Vec3& y, Vec3& z) const override { own_.GetAxes(&x, &y, &z); }
    void SetActive(bool b) { fullRoll_ = b; }
    void SetEnabled(bool b) { autoLevel_ = b; }
    void RotateLeft(float f) { commandedRate_ = maxTurnRate_ * (f == 0.0f ? 1.0f : f); }
    void RotateRight(float f) { RotateLeft(f), commandedRate_ = -commandedRate_; }
    void StopRotate() { commandedRate_ = 0.0f; }
    void Update(float dt, float rate) override;

    float GetRoll() const { return roll_; }
    float GetRollSpeed() const { return rollSpeed_; }
    Vec3 GetUp() const { return up_; }

private:
    void UpdateHeading(float dt);

    MatrixClass own_;
    float rollSpeed_ = 0.0f;
    float roll_ = 0.0f;
    Vec3 up_{0.0f, 0.0f, 1.0f};
    float stepTime_ = 0.0f;
    float turnRate_ = 0.0f;
    float maxTurnRate_;
    float commandedRate_ = 0.0f;
    float furtherRate_;
    MatrixClass* owner_;
    const TShipPhysicParams* record_;
    bool fullRoll_ = true;
    bool autoLevel_ = true;
};

// Turns a direction toward a target direction with angular inertia.
class TInertVector {
public:
    TInertVector(float maximumRate, float gain, float fading, float secondAngleDeg, float limitAngleDeg);
    void SetParams(const float* maximumRate, const float* gain, const float* fading,
                   const float* secondAngleDeg, const float* limitAngleDeg);
    Vec3 CalcValue(const Vec3& current, const Vec3& target, float dt);
    float GetFading() const { return fading_; }
    Vec3 GetOmega() const { return omega_; }

private:
    float gain_, maxRate_, fading_, limitAngle_, secondAngle_;
    Vec3 omega_{};
};

// ---- the player's quick turn -------------------------------------------------------------
// The side of the player's physics component the quick turn drives.
class IPlayerTurnComponent {
public:
    virtual Vec3 GetCurrentDirection() = 0;
    virtual void Turn(float h, float v) = 0;

protected:
    ~IPlayerTurnComponent() = default;
};

class TPlayerRotate180Control {
public:
    TPlayerRotate180Control(IPlayerTurnComponent* component, std::function<void()> callback);
    void Start(const Vec3& direction, float hIntensity, float vIntensity);
    void Update(float dt);
    void Free() { component_ = nullptr; }
    bool IsActive() const { return active_; }
    float HIntensity() const { return c_HIntensity; }
    float VIntensity() const { return c_VIntensity; }

private:
    void CheckIntensity();
    Vec3 reference_{1.0f, 0.0f, 0.0f};
    IPlayerTurnComponent* component_;
    float stepTime_ = 0.0f;
    std::function<void()> callback_;
    bool active_ = false;
    float c_HIntensity = 0.0f, c_VIntensity = 0.0f;
};

// Base of the parameter objects of the player ship.
class TLogPhParams {
public:
    TLogPhParams(std::string className, uint8_t flags) : className_(std::move(className)), flags_(flags) {}
    const std::string& ClassName() const { return className_; }
    uint8_t Flags() const { return flags_; }

private:
    std::string className_;
    uint8_t flags_;
};

// ---- speed helpers ---------------------------------------------------------------------
class TPhTimer {
public:
    explicit TPhTimer(std::function<void(void*, float)> callback = {}, void* data = nullptr)
        : callback_(std::move(callback)), data_(data) {}
    void SetDuration(float d) { duration_ = std::fabs(d), elapsed_ = 0.0f, stopped_ = true; }
    void Start() { stopped_ = false; }
    void Stop() { stopped_ = true; }
    void Reset() { elapsed_ = 0.0f, stopped_ = true; }
    bool IsStopped() const { return stopped_; }
    float Progress() const { return duration_ == 0.0f ? 0.0f : elapsed_ / duration_; }
    void Advance(float dt);

private:
    float duration_ = 0.0f, elapsed_ = 0.0f;
    bool stopped_ = true;
    std::function<void(void*, float)> callback_;
    void* data_;
};

// A speed that follows the record's current speed limit.
class TPhVelocityAbs {
public:
    explicit TPhVelocityAbs(const TShipPhysicParams* record) : record_(record) {}
    void SetSpeed(float s) { speed_ = s < 0.0f ? 0.0f : s; }
    float GetSpeed() const { return speed_; }
    void Update(float dt);

private:
    float speed_ = 0.0f;
    const TShipPhysicParams* record_;
    float rate_ = 0.0f, stepTime_ = 0.0f;
};

class TPhVelocity {
public:
    explicit TPhVelocity(const TShipPhysicParams* record);
    ~TPhVelocity();
    TPhVelocity(const TPhVelocity&) = delete;
    TPhVelocity& operator=(const TPhVelocity&) = delete;
    IPhVector* GetVelocity() { return velocity_; }
    float GetSpeed() const { return speed_.GetSpeed(); }
    void Update(float dt);
    void SetDirection(const Vec3& d);
    void SetSpeed(float s);
    void SetVelocity(const Vec3& v);

private:
    TPhVelocityAbs speed_;
    TPhVector* direction_;
    TPhVector* velocity_;
};

// The afterburner's rise and fall of a value.
class TPhForsageVelocityControl {
public:
    explicit TPhForsageVelocityControl(std::function<void()> callback = {})
        : callback_(std::move(callback)) {}
    void Start(float value, float maximum, float minimum, float riseTime, float fallTime);
    void StartFalling() { phase_ = 3; }
    float GetValue() const { return value_; }
    float GetMaximum() const { return maximum_; }
    int GetPhase() const { return phase_; }
    void Update(float dt);

private:
    float value_ = 0, maximum_ = 0, minimum_ = 0, riseRate_ = 0, fallRate_ = 0, stepTime_ = 0;
    int phase_ = 0;
    std::function<void()> callback_;
};

} // namespace vesk
