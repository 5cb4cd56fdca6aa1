#include "physics/camera_movers.h"

#include "physics/ai_unit.h"
#include "physics/camera.h"
#include "physics/cm_tree.h"
#include "physics/physic_unit.h"
#include "render/engine.h"
#include "render/key_animation.h"
#include "render/render_unit.h"
#include "shared/errors.h"
#include "shared/helpers.h"
#include "shared/math_geometry.h"

#include <algorithm>
#include <cmath>

namespace vesk {

// ---- units and ships ---------------------------------------------------------------------------

void UnitRef::Set(TBaseRenderUnit* unit) {
    id_ = unit ? unit->GetId() : 0;
}

TBaseRenderUnit* UnitRef::Get() const {
    return id_ != 0 ? FindEngineObjectAs<TBaseRenderUnit>(id_) : nullptr;
}

bool ReadShipMotion(TBaseRenderUnit* unit, ShipMotion& out) {
    IOwnerPhObj* ship = OwnerOfUnit(unit);
    if (!ship) return false;
    ship->GetBasis(out.forward, out.side, out.up);
    out.position = ship->GetPosition();
    const IPhVector* velocity = ship->GetVelocityVector();
    const IPhVector* turn = ship->GetSecondVector();
    out.speed = velocity ? velocity->GetLength() : 0.0f;
    out.turnRate = turn ? turn->GetVector() : Vec3{};
    out.forsage = ship->IsForsage();
    out.forsageSpeed = ship->GetForsageSpeed();
    if (const TShipPhysicParams* record = ship->GetPhysicParams()) {
        out.speedLimit = record->speedLimit;
        out.maxVelocity = record->maxVelocity;
        out.maxRotate = record->maxRotateVelocity;
    }
    return true;
}

void SetShipRollActive(TBaseRenderUnit* unit, bool on) {
    IRenderUnitAI* ai = nullptr;
    if (!unit || !unit->GetBPU(ai)) return;
    if (auto* steering = dynamic_cast<BaseAIUnitClass*>(ai))
        if (TRollComponent* roll = steering->GetRollComponent()) roll->SetActive(on);
}

namespace {

Vec3 UnitPosition(TBaseRenderUnit* unit) {
    Vec3 p{};
    if (unit) unit->GetPosition(p);
    return p;
}

// Moves value toward target by rate * dt without passing it.
float Approach(float value, float target, float step) {
    const float gap = target - value;
    if (std::fabs(step) >= std::fabs(gap)) return target;
    return value + (gap > 0 ? std::fabs(step) : -std::fabs(step));
}

} // namespace

// ---- cockpit -----------------------------------------------------------------------------------

CockpitTuning DefaultCockpitTuning() {
    return {DegToRad(30.0f), DegToRad(30.0f), DegToRad(30.0f), DegToRad(10.0f), 4.0f};
}

TCockpitComponent::TCockpitComponent(ICameraPosition* camera, const CockpitTuning& tuning)
    : camera_(camera), tuning_(tuning) {}

void TCockpitComponent::Start(TBaseRenderUnit* ship, TBaseRenderUnit* baseUnit, float third, float lateral,
                              float speedFactor) {
    ship_.Set(ship);
    base_.Set(baseUnit);
    third_ = third;
    lateral_ = lateral;
    speedFactor_ = speedFactor;
    smoothed_ = 0.0f;
    active_ = true;
    // The view rides with the hull: the ship's banking would roll it.
    SetShipRollActive(ship, false);
}

void TCockpitComponent::Stop() {
    SetShipRollActive(ship_.Get(), true);
    ship_.Clear();
    base_.Clear();
    third_ = lateral_ = speedFactor_ = 0.0f;
    yaw_ = yawTarget_ = pitch_ = pitchTarget_ = 0.0f;
    smoothed_ = 0.0f;
    active_ = false;
}

void TCockpitComponent::Step(float seconds) {
    stepSeconds_ = seconds;
    if (!active_) return;
    PositionStep(seconds);
    TurnStep(seconds);
}

void TCockpitComponent::PositionStep(float dt) {
    ShipMotion ship;
    if (!ReadShipMotion(ship_.Get(), ship)) return;
    // The share of speed above the cruise limit pushes the eye along the hull.
    const float top = ship.forsage ? ship.forsageSpeed : ship.maxVelocity;
    const float share = top != 0.0f ? (ship.speed - ship.speedLimit) / top : 0.0f;
    camera_->SetDirection(Vec3Scale(ship.forward, 100.0f));
    const Vec3 forward = Vec3Normalize(ship.forward);
    // Turning leans the eye toward the outside of the turn.
    const float turn = Vec3Length(ship.turnRate);
    const float lean = ship.maxRotate != 0.0f ? lateral_ * turn / ship.maxRotate : 0.0f;
    const Vec3 side = Vec3Scale(Vec3Cross(ship.turnRate, forward), lean);
    smoothed_ += (share - smoothed_) * 2.0f * dt;
    TBaseRenderUnit* base = base_.Get();
    const Vec3 origin = base ? UnitPosition(base) : ship.position;
    const Vec3 eye = Vec3Add(Vec3Add(origin, side), Vec3Scale(forward, smoothed_ * speedFactor_));
    camera_->SetPosition(eye);
    camera_->SetUpVector(ship.up);
}

void TCockpitComponent::TurnStep(float dt) {
    yaw_ = Approach(yaw_, yawTarget_, (yawTarget_ - yaw_) * dt * tuning_.turnSpeed);
    pitch_ = Approach(pitch_, pitchTarget_, (pitchTarget_ - pitch_) * dt * tuning_.turnSpeed);
    const Vec3 up = camera_->GetUpVector();
    Vec3 dir = Vec3RotateAroundAxis(camera_->GetDirection(), up, yaw_);
    dir = Vec3RotateAroundAxis(dir, Vec3Cross(up, dir), pitch_);
    camera_->SetDirection(dir);
}

void TCockpitComponent::RotateUp(float x) {
    pitchTarget_ = std::clamp(x, 0.0f, 1.0f) * tuning_.up;
}
void TCockpitComponent::RotateDown(float x) {
    pitchTarget_ = -std::clamp(x, 0.0f, 1.0f) * tuning_.down;
}
void TCockpitComponent::RotateLeft(float x) {
    yawTarget_ = -std::clamp(x, 0.0f, 1.0f) * tuning_.left;
}
void TCockpitComponent::RotateRight(float x) {
    yawTarget_ = std::clamp(x, 0.0f, 1.0f) * tuning_.right;
}
void TCockpitComponent::RotateReset() {
    yawTarget_ = pitchTarget_ = 0.0f;
}

// ---- chase ----------------------------------------------------------------------------------------

void TFlyComponent2::Start(TBaseRenderUnit* ship, TBaseRenderUnit* helper, float factor) {
    ship_.Set(ship);
    helper_.Set(helper);
    factor_ = factor;
    active_ = true;
    SetShipRollActive(ship, true);
}

void TFlyComponent2::Stop() {
    SetShipRollActive(ship_.Get(), true);
    ship_.Clear();
    helper_.Clear();
    factor_ = 0.0f;
    c1_ = c2_ = 0.0f;
    active_ = false;
}

void TFlyComponent2::Step(float seconds) {
    stepSeconds_ = seconds;
    if (!active_) return;
    ShipMotion ship;
    if (!ReadShipMotion(ship_.Get(), ship)) return;
    camera_->SetDirection(Vec3Scale(ship.forward, 100.0f));
    const Vec3 f = Vec3Normalize(ship.forward), s = Vec3Normalize(ship.side), u = Vec3Normalize(ship.up);
    // The eye swings out of the turn and settles back when the turn ends.
    const Vec3 w = Vec3Scale(ship.turnRate, -1.0f);
    const float x1 = Vec3Dot(u, w), x2 = -Vec3Dot(s, w);
    c1_ += (x1 - c1_) * 2.0f * seconds;
    c2_ += (x2 - c2_) * 2.0f * seconds;
    Vec3 eye = Vec3Add(ship.position, Vec3Scale(u, 40.0f));
    eye = Vec3Add(eye, Vec3Scale(f, -150.0f));
    eye = Vec3Add(eye, Vec3Scale(Vec3Add(Vec3Scale(s, c1_), Vec3Scale(u, c2_)), factor_));
    eye = Vec3Add(eye, f);
    camera_->SetPosition(eye);
    camera_->SetUpVector(u);
}

// ---- spline sampler --------------------------------------------------------------------------------

void TSpline::Build(const CameraSegment& a, const CameraSegment& b) {
    const Vec3 t0 = a.chord, t1 = b.chord;
    samples_[0] = {a.position, {}, 0.0f};
    for (int i = 1; i < kSamples; ++i) {
        const float s = static_cast<float>(i) / static_cast<float>(kSamples - 1);
        samples_[i].position = Vec3Hermite(a.position, t0, b.position, t1, s);
        samples_[i - 1].step = Vec3Sub(samples_[i].position, samples_[i - 1].position);
        samples_[i].cumulative = samples_[i - 1].cumulative + Vec3Length(samples_[i - 1].step);
    }
    samples_[kSamples - 1].step = t1;
    last_ = 0;
}

float TSpline::Length(const CameraSegment& a, const CameraSegment& b) {
    float sum = 0.0f;
    Vec3 previous = a.position;
    for (int i = 1; i <= kSamples; ++i) {
        const Vec3 p =
            Vec3Hermite(a.position, a.chord, b.position, b.chord, static_cast<float>(i) / kSamples);
        sum += Vec3Length(Vec3Sub(p, previous));
        previous = p;
    }
    return sum;
}

Vec3 TSpline::Evaluate(float distance) {
    for (int k = last_; k <= kSamples - 2; ++k) {
        const Sample& s = samples_[k];
        const float next = samples_[k + 1].cumulative;
        if (s.cumulative <= distance && distance < next) {
            last_ = k;
            return Vec3Add(s.position, Vec3Scale(s.step, (distance - s.cumulative) / (next - s.cumulative)));
        }
    }
    return samples_[kSamples - 1].position;
}

// ---- spline mover ----------------------------------------------------------------------------------

void TSplineMoveComponent::Reset() {
    stopped_ = true;
    index_ = 0;
    elapsed_ = distance_ = 0.0f;
    callback_ = nullptr;
}

TSplineMoveComponent::TSplineMoveComponent(ICameraPosition* camera)
    : camera_(camera), lookTarget_(TEngineObject::New<TPhDynamicTargetObj>()) {}

TSplineMoveComponent::~TSplineMoveComponent() {
    lookTarget_->Free();
}

void TSplineMoveComponent::SetLookTarget(TBaseRenderUnit* unit) {
    if (unit)
        lookTarget_->SetTarget(unit);
    else
        lookTarget_->ClearTarget();
}

void TSplineMoveComponent::SetPoints(std::vector<CameraKeyPoint> points, std::function<void()> callback) {
    const int n = static_cast<int>(points.size());
    segments_.assign(points.size(), CameraSegment{});
    Reset();
    callback_ = std::move(callback);
    lookTarget_->ClearTarget();
    const Vec3 axis{1, 0, 0};
    for (int i = 0; i < n; ++i) {
        CameraKeyPoint& p = points[static_cast<size_t>(i)];
        CameraSegment& seg = segments_[static_cast<size_t>(i)];
        seg.position = p.position;
        seg.direction = QuaternionFromVectors(axis, p.direction);
        if (Vec3Length(p.up) == 0.0f) p.up = {0, 0, 1};
        seg.up = QuaternionFromVectors(axis, p.up);
        seg.time = p.time;
        if (p.useSpeed) {
            if (p.speed != 0.0f) {
                seg.flags |= kSegTimeFromSpeed;
                seg.speed = p.speed;
                seg.time = 1.0f;
            } else {
                seg.time = 0.0f;
            }
        }
        if (i < n - 1) {
            const CameraKeyPoint& next = points[static_cast<size_t>(i + 1)];
            seg.chord = Vec3Sub(next.position, p.position);
            seg.length = Vec3Length(seg.chord);
            seg.angle = Vec3AngleBetween(p.direction, next.direction);
        } else if (i > 0) {
            seg.chord = segments_[static_cast<size_t>(i - 1)].chord;
        }
        if (p.target) {
            seg.flags |= kSegLookAtTarget;
            seg.target.Set(p.target);
            if (i == 0) SetLookTarget(p.target);
        } else {
            seg.flags |= kSegTurnDirection;
        }
        if (i < n - 1) {
            if (seg.time != 0.0f) {
                if (seg.length == 0.0f)
                    seg.flags |= kSegNoLength;
                else if (n <= 2)
                    seg.flags |= kSegChord;
                else
                    seg.flags |= p.spline ? kSegHermite : kSegChord;
            } else {
                seg.flags |= kSegNoTime;
            }
        }
    }
    for (int i = 0; i + 1 < n; ++i) {
        CameraSegment& seg = segments_[static_cast<size_t>(i)];
        if (seg.flags & kSegHermite) seg.length = TSpline::Length(seg, segments_[static_cast<size_t>(i + 1)]);
        if (seg.flags & kSegTimeFromSpeed) seg.time = seg.length / seg.speed;
    }
    if (n == 0) return;
    const CameraSegment& first = segments_[0];
    if ((first.flags & kSegHermite) && n > 1) spline_.Build(first, segments_[1]);
    velocity_.Set(first.length, first.time);
    camera_->SetPosition(first.position);
    camera_->SetDirection(Vec3RotateByQuaternion(axis, first.direction));
    camera_->SetUpVector(Vec3RotateByQuaternion(axis, first.up));
}

void TSplineMoveComponent::EnterSegment() {
    ++index_;
    elapsed_ = distance_ = 0.0f;
    const CameraSegment& seg = segments_[static_cast<size_t>(index_)];
    velocity_.Set(seg.length, seg.time);
    if (seg.flags & kSegLookAtTarget) SetLookTarget(seg.target.Get());
    if ((seg.flags & kSegHermite) && index_ + 1 < static_cast<int>(segments_.size()))
        spline_.Build(seg, segments_[static_cast<size_t>(index_ + 1)]);
}

void TSplineMoveComponent::MoveStep(float d) {
    const CameraSegment& seg = segments_[static_cast<size_t>(index_)];
    Vec3 position = seg.position;
    if (seg.flags & kSegHermite) {
        distance_ += velocity_.speed * d;
        position = spline_.Evaluate(distance_);
    } else if (seg.flags & kSegChord) {
        position = Vec3Add(seg.position, Vec3Scale(seg.chord, seg.time != 0.0f ? elapsed_ / seg.time : 1.0f));
    } else if ((seg.flags & kSegNoTime) && index_ + 1 < static_cast<int>(segments_.size())) {
        position = segments_[static_cast<size_t>(index_ + 1)].position;
    } else {
        return; // a segment without length stays where it is
    }
    camera_->SetPosition(position);
}

void TSplineMoveComponent::OrientationStep() {
    const CameraSegment& seg = segments_[static_cast<size_t>(index_)];
    const Vec3 axis{1, 0, 0};
    if ((seg.flags & (kSegTurnDirection | kSegTurnUp)) && index_ + 1 < static_cast<int>(segments_.size())) {
        const CameraSegment& next = segments_[static_cast<size_t>(index_ + 1)];
        const float u = seg.time != 0.0f ? elapsed_ / seg.time : 1.0f;
        if (seg.flags & kSegTurnDirection)
            camera_->SetDirection(
                Vec3RotateByQuaternion(axis, QuaternionSlerp(seg.direction, next.direction, u)));
        if (seg.flags & kSegTurnUp)
            camera_->SetUpVector(Vec3RotateByQuaternion(axis, QuaternionSlerp(seg.up, next.up, u)));
    }
    if (seg.flags & kSegLookAtTarget) {
        // A target that went away keeps its last known place.
        if (lookTarget_->HasTarget())
            camera_->SetDirection(Vec3Sub(lookTarget_->GetPos(), camera_->GetPosition()));
    }
}

void TSplineMoveComponent::Tick(float dt) {
    const int n = static_cast<int>(segments_.size());
    if (stopped_ || index_ >= n) return;
    const CameraSegment& seg = segments_[static_cast<size_t>(index_)];
    const float t = elapsed_ + dt;
    if (t < seg.time) {
        elapsed_ = t;
        MoveStep(dt);
        OrientationStep();
        return;
    }
    const float rest = t - seg.time;
    const float d = dt - rest;
    elapsed_ += d;
    MoveStep(d);
    OrientationStep();
    if (n <= index_ + 2) {
        // The last segment is done: the callback runs once, later ticks call nothing.
        std::function<void()> done = std::move(callback_);
        callback_ = nullptr;
        if (done) done();
        return;
    }
    EnterSegment();
    Tick(rest);
}

// ---- cut scene -------------------------------------------------------------------------------------

namespace {

// A render unit as the group helpers see it.
class PlacedRenderUnit final : public IPlacedUnit {
public:
    explicit PlacedRenderUnit(TBaseRenderUnit* unit) : unit_(unit) {}
    Vec3 UnitPosition() const override {
        Vec3 p{};
        unit_->GetPosition(p);
        return p;
    }
    float UnitBoundingRadius() const override { return unit_->GetBSphereRadius(); }

private:
    TBaseRenderUnit* unit_;
};

float RadiusOfUnit(TBaseRenderUnit* unit) {
    return unit ? unit->GetBSphereRadius() : 0.0f;
}

Vec3 NormalizedOrZero(const Vec3& v) {
    return Vec3Length(v) != 0.0f ? Vec3Normalize(v) : Vec3{};
}

} // namespace

TCutSceneComponent::TCutSceneComponent(ICameraPosition* camera)
    : timer_([this](void*, float) { done_ = true; }), inertia_(0.0f, 70.0f, 10.0f, 90.0f, 180.0f),
      camera_(camera) {
    near_ = TPhMovePoint::Create(nullptr, nullptr, nullptr);
    far_ = TPhMovePoint::Create(nullptr, nullptr, nullptr);
}

TCutSceneComponent::~TCutSceneComponent() {
    Stop();
    near_->Free();
    far_->Free();
}

void TCutSceneComponent::Stop() {
    running_ = false;
    done_ = false;
    endEvent_ = nullptr;
    timer_.Stop();
    near_->ReleaseTargetObject();
    far_->ReleaseTargetObject();
}

void TCutSceneComponent::SetCutSceneParams(std::function<void()> endEvent,
                                           const std::vector<TBaseRenderUnit*>& units,
                                           const CutSceneParams& params) {
    Stop();
    if (units.empty()) {
        ErrorReport("TCutSceneComponent.SetCutSceneParams : BRUList.Count = 0", "mhl");
        return;
    }
    mode_ = params.flags;
    TBaseRenderUnit* chosen = units[0];
    float nearRadius = 0.0f, farRadius = 0.0f;
    if (mode_ & kCutMoveToObj) {
        nearRadius = RadiusOfUnit(chosen);
        if (!params.farObj)
            ErrorReport(
                "TCutSceneComponent.SetCutSceneParams : Mode = CA_CUTMODE_MOVETOOBJ, but AIMObj = nil",
                "mhl");
        farRadius = RadiusOfUnit(params.farObj);
    } else if (units.size() >= 2) {
        std::vector<PlacedRenderUnit> placed;
        placed.reserve(units.size());
        for (TBaseRenderUnit* u : units) placed.emplace_back(u);
        std::vector<const IPlacedUnit*> list;
        for (const PlacedRenderUnit& p : placed) list.push_back(&p);
        const Vec3 centre = CalcBRUGroupCenter(list);
        float spread = 0.0f;
        const int nearest = CalcNearestBRU(list, centre, &spread);
        if (nearest >= 0) chosen = units[static_cast<size_t>(nearest)];
        // A group scales the shot by how far it spreads around its centre.
        nearRadius = farRadius = spread > 0.0f ? spread : RadiusOfUnit(chosen);
    } else {
        nearRadius = farRadius = RadiusOfUnit(chosen);
    }
    if (!params.nearBasisAuto) nearRadius = farRadius = 1.0f;
    TBaseRenderUnit* farUnit = (mode_ & kCutMoveWithObj) ? chosen : params.farObj;
    const float farSideRadius = params.farBasisAuto ? RadiusOfUnit(farUnit) : 1.0f;

    near_->SetTargetObject(chosen);
    far_->SetTargetObject(farUnit);

    if (mode_ & kCutMiddleLook) {
        orientation_.SetBasisForDir(Vec3Sub(far_->GetPosition(), near_->GetPosition()), {0, 0, 1});
        startOffset_ = Vec3RotateAroundAxis({0, 0, 1}, {1, 0, 0}, DegToRad(params.angle));
        screenShare_ = params.screenPercent;
    } else {
        startOffset_ = Vec3Scale(NormalizedOrZero(params.nearFrom), params.nearFromDist * nearRadius);
        endOffset_ = Vec3Scale(NormalizedOrZero(params.nearTo), params.nearToDist * farRadius);
    }
    if (mode_ & (kCutFarNearLock | kCutMoveWithObj)) {
        const float a = DegToRad(params.angle);
        const Vec3 arm{0.0f, std::cos(a), std::sin(a)};
        farStartOffset_ = Vec3Scale(arm, params.farFrom * farSideRadius);
        farMove_ = Vec3Sub(Vec3Scale(arm, params.farTo * farSideRadius), farStartOffset_);
        Matrix m;
        near_->GetMatrix(m);
        orientation_.SetMatrix(m);
        const float gain = params.inertOri, fading = params.inertOri / 5.0f;
        inertia_.SetParams(nullptr, &gain, &fading, nullptr, nullptr);
    }
    // The position inertia's lag starts from the speed the near object has now,
    // whatever the shot's kind (a speed left from an earlier shot would throw
    // the eye far off at the first step).
    Vec3 velocity, direction;
    float speed = 0.0f;
    currentSpeed_ = near_->GetVelocity(velocity, direction, speed) ? speed : 0.0f;
    if (mode_ & kCutMoveToObjLook) {
        if (Vec3Length(params.ori) == 0.0f)
            ErrorReport("TCutSceneComponent.SetCutSceneParams: ivalid param for move_to_obj mode: Ori = 0",
                        "mhl");
        farMove_ = NormalizedOrZero(params.ori);
    }
    if (mode_ & kCutPosInertia) inertPos_ = params.inertPos;
    if (params.velocity != 0.0f)
        endOffset_ = Vec3Add(startOffset_, Vec3Scale(NormalizedOrZero(Vec3Sub(endOffset_, startOffset_)),
                                                     params.velocity * params.animationTime));
    firstEval_ = true;
    endEvent_ = std::move(endEvent);
    timer_.SetDuration(params.animationTime);
    timer_.Start();
    running_ = true;
}

Vec3 TCutSceneComponent::EvalNear(float dt) {
    Vec3 a = near_->GetPosition();
    if (!(mode_ & kCutPosInertia)) return a;
    // The eye lags behind the target's speed changes and catches up at the
    // rate of the previous evaluation's speed.
    Vec3 velocity, direction;
    float speed = 0.0f;
    if (!near_->GetVelocity(velocity, direction, speed)) speed = 0.0f;
    const float rate = firstEval_ ? inertPos_ : inertRate_;
    currentSpeed_ = Approach(currentSpeed_, speed, rate * dt);
    inertRate_ = speed;
    firstEval_ = false;
    Vec3 f, s, u;
    near_->GetBasis(f, s, u);
    return Vec3Add(a, Vec3Scale(f, 2.0f * (currentSpeed_ - speed)));
}

Vec3 TCutSceneComponent::EvalFar(float dt) {
    if (mode_ & kCutFarNearLock) return far_->GetPosition();
    if (mode_ & kCutMoveWithObj) return EvalNear(dt);
    return Vec3Scale(Vec3Add(near_->GetPosition(), far_->GetPosition()), 0.5f);
}

void TCutSceneComponent::Step(float dt) {
    if (!running_) return;
    const Vec3 a = EvalNear(dt);
    Vec3 r1, r2, r3;
    orientation_.GetAxes(&r1, &r2, &r3);
    if (mode_ & kCutFarNearLock) {
        orientation_.SetBasisForDir(NormalizedOrZero(Vec3Sub(EvalFar(dt), a)), {0, 0, 1});
    } else if (mode_ & kCutMoveWithObj) {
        if (mode_ & kCutOriInertia) {
            Vec3 f, s, u;
            near_->GetBasis(f, s, u);
            orientation_.SetBasisForDir(inertia_.CalcValue(r1, f, dt), u);
        } else {
            Matrix m;
            near_->GetMatrix(m);
            orientation_.SetMatrix(m);
        }
    } else if (mode_ & kCutMoveToObj) {
        orientation_.SetBasisForDir(Vec3Sub(far_->GetPosition(), a), {0, 0, 1});
    } else if (mode_ & kCutMiddleLook) {
        // The frame turns toward the middle and keeps its roll from step to step.
        const Vec3 d = NormalizedOrZero(Vec3Sub(EvalFar(dt), a));
        const Vec3 u = Vec3RotateByQuaternion(r3, QuaternionFromVectors(r1, d));
        orientation_.SetBasisForDir(d, u);
    }
    const Matrix& turn = orientation_.GetMatrix();

    timer_.Advance(dt);
    const float p = done_ ? 1.0f : timer_.Progress();

    if (mode_ & (kCutMoveToObj | kCutFarNearLock | kCutMoveWithObj)) {
        const Vec3 base = EvalNear(dt);
        const Vec3 offset = Vec3Add(startOffset_, Vec3Scale(Vec3Sub(endOffset_, startOffset_), p));
        camera_->SetPosition(Vec3Add(base, Vec3TransformNormal(offset, turn)));
    } else if (mode_ & kCutMiddleLook) {
        const Vec3 nearPos = near_->GetPosition(), farPos = far_->GetPosition();
        const Vec3 middle = Vec3Scale(Vec3Add(nearPos, farPos), 0.5f);
        const float half = Vec3Length(Vec3Sub(farPos, nearPos)) * 0.5f;
        const float t = std::tan(DegToRad(camera_->GetFOV() * 2.0f / 3.0f) * (1.0f - 2.0f * screenShare_));
        const float factor = t != 0.0f ? half / t : 0.0f;
        camera_->SetPosition(Vec3Add(middle, Vec3TransformNormal(Vec3Scale(startOffset_, factor), turn)));
    }

    if (mode_ & (kCutFarNearLock | kCutMoveWithObj)) {
        const Vec3 b = EvalFar(dt);
        const Vec3 offset = Vec3Add(farStartOffset_, Vec3Scale(farMove_, p));
        camera_->SetLookAtPoint(Vec3Add(b, Vec3TransformNormal(offset, turn)));
    } else if (mode_ & kCutMoveToObjLook) {
        camera_->SetDirection(Vec3Scale(Vec3TransformNormal(farMove_, turn), 100.0f));
    } else if (mode_ & kCutMiddleLook) {
        camera_->SetLookAtPoint(Vec3Scale(Vec3Add(near_->GetPosition(), far_->GetPosition()), 0.5f));
    }

    Vec3 n1, n2, n3;
    orientation_.GetAxes(&n1, &n2, &n3);
    Vec3 up = n3;
    if ((mode_ & kCutMiddleLook) &&
        Vec3Length(Vec3Cross(NormalizedOrZero(camera_->GetDirection()), n3)) <= 0.0001f)
        up = n2;
    camera_->SetUpVector(up);

    if (done_) {
        running_ = false;
        done_ = false;
        std::function<void()> end = std::move(endEvent_);
        endEvent_ = nullptr;
        if (end) end();
    }
}

// ---- camera adapter ------------------------------------------------------------------------------

void CameraAdapterClass::Init(const std::shared_ptr<CameraClass>& camera, TBaseRenderUnit* carrier) {
    camera_ = camera;
    // The model's animation drives the camera: no mouse orbit, no idle sway.
    if (camera) camera->ClearMode(kCamUserControl | kCamSway);
    if (!carrier) {
        ErrorReport("CameraAdapterClass.Init: carrier = nil", "mhl");
        return;
    }
    carrier_ = carrier;
    AddMutualSubscriber(carrier);
    const std::string id = IntToHex8(GetId());
    auto* eye = TBaseRenderUnit::Create<TBaseRenderUnit>(carrier);
    eye->SetName("cam_for_camadapter_" + id);
    auto* target = TBaseRenderUnit::Create<TBaseRenderUnit>(carrier);
    target->SetName("camtarget_for_camadapter_" + id);
    carrier->AddChild(eye);
    carrier->AddChild(target);
    cameraUnit_.Set(eye);
    targetUnit_.Set(target);
    if (UpdaterManager) UpdaterManager->AddClient(this);
}

bool CameraAdapterClass::Attach(CMTreeClass* tree, const std::string& name, TBaseRenderUnit* unit,
                                bool takeFov) {
    if (!unit) return false;
    // The record's own track, or a top-level track of that name; the tree keeps it.
    if (const ROKeyTrack* track = tree->FindRecordTrack(name)) {
        SimpleKeyAnimationClass::Create(unit, name)->SetTrack(track);
        return true;
    }
    CMCameraStruct* cam = nullptr;
    if (!tree->GetCamera(name, cam) || !cam) return false;
    unit->SetLocalMatrix(cam->matrix);
    if (takeFov)
        if (std::shared_ptr<CameraClass> camera = camera_.lock()) camera->SetFOV(cam->fov);
    return true;
}

void CameraAdapterClass::AttachAnimators(CMTreeClass* tree, const std::string& cameraName,
                                         const std::string& targetName) {
    if (!tree || tree->Cameras().empty()) {
        ErrorReport("CameraAdapterClass.AttachAnimators: _cmtree.CameraList = nil", "mhl");
        return;
    }
    Attach(tree, cameraName, cameraUnit_.Get(), true);
    Attach(tree, targetName, targetUnit_.Get(), false);
}

void CameraAdapterClass::UpdateTick(float) {
    std::shared_ptr<CameraClass> camera = camera_.lock();
    TBaseRenderUnit* eye = cameraUnit_.Get();
    TBaseRenderUnit* target = targetUnit_.Get();
    if (!camera || !eye || !target) return;
    camera->SetPosAndTarget(UnitPosition(eye), UnitPosition(target));
}

void CameraAdapterClass::Message(IEngineObject* sender, int msg, int param) {
    if (msg == EM_SENDER_IS_NO_LONGER_EXISTS && carrier_ && sender && sender->GetInstance() == carrier_) {
        carrier_ = nullptr;
        Release();
    }
    TEngineObject::Message(sender, msg, param);
}

} // namespace vesk
