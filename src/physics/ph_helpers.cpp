#include "physics/ph_helpers.h"

#include "physics/dyn_targets.h"
#include "physics/physic_unit.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/fast_cast.h"
#include "shared/helpers.h"

#include <algorithm>

namespace vesk {

IOwnerPhObj* OwnerOfUnit(TBaseRenderUnit* unit) {
    IRenderUnitAI* ai = nullptr;
    if (!unit || !unit->GetBPU(ai)) return nullptr;
    return CachedDynamicCast<IOwnerPhObj>(ai);
}

// ---- TPhMovePoint ---------------------------------------------------------------------

TPhMovePoint::TPhMovePoint() {
    ErrorReport("TPhMovePoint.Create();", "mhl");
}

TPhMovePoint::TPhMovePoint(BasePhysicUnitClass* owner, LostTargetCallback callback, void* callbackData)
    : callback_(std::move(callback)), callbackData_(callbackData), owner_(owner) {}

void TPhMovePoint::SetTargetObject(TBaseRenderUnit* unit) {
    ReleaseTargetObject();
    target_ = unit;
    if (unit) AddMutualSubscriber(unit);
}

void TPhMovePoint::ReleaseTargetObject() {
    if (target_) RemoveMutualSubscriber(target_);
    target_ = nullptr;
}

void TPhMovePoint::SetPosition(const Vec3& p) {
    ReleaseTargetObject();
    position_ = p;
}

Vec3 TPhMovePoint::RefreshPosition() {
    if (target_) target_->GetPosition(position_);
    return position_;
}

IOwnerPhObj* TPhMovePoint::TargetAI() const {
    return OwnerOfUnit(target_);
}

bool TPhMovePoint::GetVelocity(Vec3& velocity, Vec3& direction, float& length) {
    IOwnerPhObj* ai = TargetAI();
    if (!ai || !ai->GetVelocityVector()) return false;
    const IPhVector* v = ai->GetVelocityVector();
    velocity = v->GetVector();
    direction = v->GetDirection();
    length = v->GetLength();
    return true;
}

bool TPhMovePoint::GetBasis(Vec3& a, Vec3& b, Vec3& c) {
    if (IOwnerPhObj* ai = TargetAI()) {
        ai->GetBasis(a, b, c);
        return true;
    }
    a = {1, 0, 0}, b = {0, 1, 0}, c = {0, 0, 1};
    return false;
}

bool TPhMovePoint::GetMatrix(Matrix& out) {
    if (IOwnerPhObj* ai = TargetAI()) {
        out = ai->GetMatrix();
        return true;
    }
    out = kIdentityMatrix;
    return false;
}

bool TPhMovePoint::GetFollowPoint(Vec3& out) {
    if (!target_) return false;
    IOwnerPhObj* ai = TargetAI();
    if (!ai) {
        target_->GetPosition(out);
        return false;
    }
    out = ai->GetFormationPoint(owner_ ? owner_->GetOwner() : nullptr);
    return true;
}

bool TPhMovePoint::GetTargetBPU(BasePhysicUnitClass*& out) {
    out = nullptr;
    if (!target_) return false;
    if (IOwnerPhObj* ai = TargetAI()) out = ai->GetPhysicUnit();
    return true;
}

void TPhMovePoint::Message(IEngineObject* sender, int msg, int param) {
    try {
        if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && target_ && IsSameEngineObject(sender, target_)) {
            target_ = nullptr; // the unit is going away: no unsubscribing
            if (callback_) callback_(callbackData_);
        }
    } catch (const std::exception&) {
        ErrorReport("TPhMovePoint.Message AV", "mhl");
    }
    TEngineObject::Message(sender, msg, param);
}

void TPhMovePoint::Free() {
    callback_ = nullptr;
    target_ = nullptr;
    TEngineObject::Free();
}

// ---- TPhDynamicTargetObj -------------------------------------------------------------

namespace {
// Render units, unless something else is installed.
DynamicTargetFactory& TargetFactory() {
    static DynamicTargetFactory factory = MakeUnitDynamicTarget;
    return factory;
}
} // namespace

void SetDynamicTargetFactory(DynamicTargetFactory factory) {
    TargetFactory() = factory ? std::move(factory) : DynamicTargetFactory(MakeUnitDynamicTarget);
}

void TPhDynamicTargetObj::SetTarget(TEngineObject* target) {
    c_ITarget.reset();
    if (TargetFactory()) c_ITarget = TargetFactory()(target);
    if (!c_ITarget)
        ErrorReport("TPhDynamicTargetObj.SetTarget : not dtc.GetIDynamicTargetPositionInterface", "mhl");
}

Vec3 TPhDynamicTargetObj::GetPos() {
    if (!c_ITarget) {
        ErrorReport("TPhDynamicTargetObj.GetPos: c_ITarget = nil", "mhl");
        return {};
    }
    return c_ITarget->GetPos();
}

Vec3 TPhDynamicTargetObj::GetVelocity() {
    if (!c_ITarget) {
        ErrorReport("TPhDynamicTargetObj.GetVelocity: c_ITarget = nil", "mhl");
        return {};
    }
    return c_ITarget->GetVelocity();
}

float TPhDynamicTargetObj::GetVelocity(Vec3& direction) {
    const Vec3 v = GetVelocity();
    direction = Vec3Normalize(v);
    return Vec3Length(v);
}

void TPhDynamicTargetObj::Free() {
    c_ITarget.reset();
    TEngineObject::Free();
}

// ---- TRollComponent --------------------------------------------------------------------

namespace {
// v turned about axis (unit) by the angle that brings it toward `toward`.
Vec3 TurnToward(const Vec3& v, const Vec3& axis, float angle, const Vec3& toward) {
    const Vec3 a = Vec3RotateAroundAxis(v, axis, angle);
    const Vec3 b = Vec3RotateAroundAxis(v, axis, -angle);
    return Vec3Dot(a, toward) >= Vec3Dot(b, toward) ? a : b;
}
Vec3 PerpendicularTo(const Vec3& v, const Vec3& d) {
    return Vec3Normalize(Vec3Sub(v, Vec3Scale(d, Vec3Dot(v, d))));
}
} // namespace

TRollComponent::TRollComponent(MatrixClass* ownerMatrix, const TShipPhysicParams* record)
    : maxTurnRate_(DegToRad(90.0f)), furtherRate_(DegToRad(200.0f)), owner_(ownerMatrix), record_(record) {}

void TRollComponent::UpdateHeading(float dt) {
    Vec3 d;
    owner_->GetAxes(&d, nullptr, nullptr);
    d = Vec3Normalize(d);
    turnRate_ += (commandedRate_ - turnRate_) * dt;
    Vec3 up = PerpendicularTo(up_, d);
    if (Vec3LengthSq(up) == 0.0f) up = PerpendicularTo({0, 0, 1}, d);
    if (autoLevel_) {
        const Vec3 level = PerpendicularTo({0, 0, 1}, d);
        if (Vec3LengthSq(level) != 0.0f) up = TurnToward(up, d, Vec3AngleBetween(up, level) * dt, level);
    } else {
        up = Vec3RotateAroundAxis(up, d, turnRate_ * dt);
    }
    if (Vec3LengthSq(up) != 0.0f) up_ = up;
    own_.SetBasisForDir(d, up_);
}

void TRollComponent::Update(float dt, float rate) {
    stepTime_ = dt;
    UpdateHeading(dt);
    if (!record_) return;
    float maxRoll = record_->maxRollAngle;
    if (!fullRoll_) maxRoll /= 3.0f;
    float target = record_->maxRotateVelocity != 0.0f ? rate / record_->maxRotateVelocity * maxRoll : 0.0f;
    target = std::clamp(target, -std::fabs(maxRoll), std::fabs(maxRoll));
    rollSpeed_ += (target - roll_) * record_->rollForceMultiply * dt;
    const float newRoll = roll_ + rollSpeed_ * dt;
    const float fading = fullRoll_ ? record_->rollFading : 5.0f;
    rollSpeed_ *= 1.0f - fading * dt;
    Vec3 d;
    owner_->GetAxes(&d, nullptr, nullptr);
    d = Vec3Normalize(d);
    const Vec3 up = Vec3RotateAroundAxis(up_, d, newRoll);
    roll_ = newRoll;
    owner_->SetBasisForDir(d, up);
}

// ---- TInertVector -------------------------------------------------------------------------

TInertVector::TInertVector(float maximumRate, float gain, float fading, float secondAngleDeg,
                           float limitAngleDeg)
    : gain_(gain), maxRate_(maximumRate), fading_(fading), limitAngle_(DegToRad(limitAngleDeg)),
      secondAngle_(DegToRad(secondAngleDeg)) {}

void TInertVector::SetParams(const float* maximumRate, const float* gain, const float* fading,
                             const float* secondAngleDeg, const float* limitAngleDeg) {
    if (maximumRate) maxRate_ = *maximumRate;
    if (gain) gain_ = *gain;
    if (fading) fading_ = *fading;
    if (secondAngleDeg) secondAngle_ = DegToRad(*secondAngleDeg);
    if (limitAngleDeg) limitAngle_ = DegToRad(*limitAngleDeg);
}

Vec3 TInertVector::CalcValue(const Vec3& current, const Vec3& target, float dt) {
    const float len = Vec3Length(current);
    const Vec3 c = Vec3Normalize(current);
    const Vec3 t = Vec3Normalize(target);
    Vec3 axis = Vec3Normalize(Vec3Cross(c, t));
    const float theta = Vec3AngleBetween(c, t);
    const float s = theta >= limitAngle_ ? 0.0f : std::sin(theta / 2.0f);
    omega_ = Vec3Add(omega_, Vec3Scale(axis, s * gain_ * dt));
    const float w = Vec3Length(omega_);
    if (maxRate_ != 0.0f && w > maxRate_) omega_ = Vec3Scale(Vec3Normalize(omega_), maxRate_);
    Vec3 out = Vec3RotateAroundAxis(c, omega_, -Vec3Length(omega_) * dt);
    if (Vec3Length(out) != 0.0f)
        out = Vec3Scale(Vec3Normalize(out), len);
    else
        ErrorReport("TInertVector.CalcValue : result = 0", "mhl");
    omega_ = Vec3Scale(omega_, 1.0f - fading_ * dt);
    return out;
}

// ---- TPlayerRotate180Control --------------------------------------------------------------

TPlayerRotate180Control::TPlayerRotate180Control(IPlayerTurnComponent* component,
                                                 std::function<void()> callback)
    : component_(component), callback_(std::move(callback)) {}

void TPlayerRotate180Control::Start(const Vec3& direction, float hIntensity, float vIntensity) {
    if (active_) return;
    reference_ = direction;
    active_ = true;
    c_HIntensity = hIntensity;
    c_VIntensity = vIntensity;
    CheckIntensity();
}

void TPlayerRotate180Control::CheckIntensity() {
    auto unit = [](float& v) {
        if (std::fabs(v) > 1.0f) v = v > 0.0f ? 1.0f : -1.0f;
    };
    unit(c_HIntensity);
    unit(c_VIntensity);
    if (c_HIntensity == 0.0f && c_VIntensity == 0.0f)
        ErrorReport("TPlayerRotate180Control.CheckIntensity() : (c_HIntensity = 0) and (c_VIntensity = 0)",
                    "mhl");
}

void TPlayerRotate180Control::Update(float dt) {
    stepTime_ = dt;
    if (!active_ || !component_) return;
    if (Vec3CosAngle(component_->GetCurrentDirection(), reference_) > 0.3f) {
        component_->Turn(c_HIntensity, c_VIntensity);
        return;
    }
    active_ = false;
    if (callback_) callback_();
    component_->Turn(0.0f, 0.0f);
}

// ---- speed helpers --------------------------------------------------------------------------

void TPhTimer::Advance(float dt) {
    if (stopped_) return;
    elapsed_ += dt;
    if (elapsed_ >= duration_) {
        elapsed_ = duration_;
        stopped_ = true;
        if (callback_) callback_(data_, dt);
    }
}

void TPhVelocityAbs::Update(float dt) {
    stepTime_ = dt;
    if (!record_) return;
    const float limit = record_->speedLimit;
    const float gap = limit - speed_;
    const float sign = gap > 0.0f ? 1.0f : (gap < 0.0f ? -1.0f : 0.0f);
    // A zero accelerate time reaches the limit at once.
    if (record_->accelerateTime == 0.0f) {
        speed_ = limit;
    } else {
        rate_ = record_->maxVelocity / record_->accelerateTime * sign;
        if (std::fabs(rate_ * dt) <= std::fabs(gap))
            speed_ += rate_ * dt;
        else
            speed_ = limit;
    }
    if (speed_ < 0.0f) speed_ = 0.0f;
}

TPhVelocity::TPhVelocity(const TShipPhysicParams* record)
    : speed_(record), direction_(TEngineObject::New<TPhVector>(Vec3{1, 0, 0})),
      velocity_(TEngineObject::New<TPhVector>()) {}

TPhVelocity::~TPhVelocity() {
    direction_->Free();
    velocity_->Free();
}

void TPhVelocity::Update(float dt) {
    speed_.Update(dt);
    velocity_->SetVector(direction_->Scale(speed_.GetSpeed()));
}

void TPhVelocity::SetDirection(const Vec3& d) {
    if (Vec3Length(d) == 0.0f) return;
    direction_->SetDirection(d);
    velocity_->SetDirection(d);
}

void TPhVelocity::SetSpeed(float s) {
    speed_.SetSpeed(s);
    velocity_->SetVector(direction_->Scale(speed_.GetSpeed()));
}

void TPhVelocity::SetVelocity(const Vec3& v) {
    SetDirection(v);
    SetSpeed(Vec3Length(v));
}

void TPhForsageVelocityControl::Start(float value, float maximum, float minimum, float riseTime,
                                      float fallTime) {
    value_ = value, maximum_ = maximum, minimum_ = minimum;
    // A zero time means the whole change at once.
    riseRate_ = riseTime != 0.0f ? maximum / riseTime : INFINITY;
    fallRate_ = fallTime != 0.0f ? maximum / fallTime : INFINITY;
    phase_ = 1;
}

void TPhForsageVelocityControl::Update(float dt) {
    stepTime_ = dt;
    if (phase_ == 1) {
        value_ = std::isinf(riseRate_) ? maximum_ : std::min(value_ + riseRate_ * dt, maximum_);
    } else if (phase_ == 3) {
        const float v = value_ - fallRate_ * dt;
        if (v >= minimum_) {
            value_ = v;
        } else {
            if (callback_) callback_();
            phase_ = 0;
        }
    }
}

} // namespace vesk
