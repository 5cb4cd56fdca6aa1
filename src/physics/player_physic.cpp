#include "physics/player_physic.h"

#include "core/lua_adapter.h"
#include "physics/coll_detector.h"
#include "shared/math.h"

#include <algorithm>
#include <cmath>

namespace vesk {

namespace {

CollisionEventFirer& EventFirer() {
    static CollisionEventFirer firer;
    return firer;
}

std::function<bool()>& CollisionSwitch() {
    static std::function<bool()> on;
    return on;
}

bool CollisionOn() {
    if (CollisionSwitch()) return CollisionSwitch()();
    return GameIniText("useCollision") == "1";
}

void AxesOf(IRollComponent* roll, MatrixClass* fallback, Vec3& x, Vec3& y, Vec3& z) {
    x = {1, 0, 0}, y = {0, 1, 0}, z = {0, 0, 1};
    if (roll)
        roll->GetAxes(x, y, z);
    else if (fallback)
        fallback->GetAxes(&x, &y, &z);
}

} // namespace

void SetCollisionEventFirer(CollisionEventFirer firer) {
    EventFirer() = std::move(firer);
}

void FireCollisionEvents(IEngineObject* ownEvent, IEngineObject* otherEvent) {
    if (ownEvent && otherEvent && EventFirer()) EventFirer()(ownEvent, otherEvent);
}

// ---- force records ----------------------------------------------------------------------------

void TPhTimeForce::Update(float dt) {
    if (!active_) return;
    elapsed_ += dt;
    if (elapsed_ > duration_) Reset();
}

TPhTractionForce::TPhTractionForce(IPhVector* velocity, float maxValue, const Vec3& direction)
    : TLogPhParams("TPhTractionForce", 0), force_(TEngineObject::New<TPhVector>()), velocity_(velocity),
      maxValue_(maxValue), direction_(TEngineObject::New<TPhVector>(direction)) {
    direction_->Normalize();
}

TPhTractionForce::~TPhTractionForce() {
    force_->Free();
    direction_->Free();
}

void TPhTractionForce::Recompute() {
    const Vec3 target = direction_->Scale(intensity_ * maxValue_);
    const Vec3 current = velocity_ ? velocity_->GetVector() : Vec3{};
    force_->SetVector(Vec3Sub(target, current));
    force_->AddSet(timeForce_.GetForce());
}

IPhVector* TPhTractionForce::GetForce() {
    Recompute();
    return force_;
}

void TPhTractionForce::SetIntensity(float s) {
    intensity_ = s > 1.0f ? 1.0f : s;
    Recompute();
}

void TPhTractionForce::SetMaxValue(float m) {
    maxValue_ = m;
    Recompute();
}

void TPhTractionForce::SetDirection(const Vec3& d) {
    if (Vec3LengthSq(d) != 0.0f) direction_->SetVector(Vec3Normalize(d));
    Recompute();
}

TPhTractionVelocity::TPhTractionVelocity(const Vec3& direction, float maxValue, float inertia)
    : TLogPhParams("TPhTractionVelocity", 0), velocity_(TEngineObject::New<TPhVector>()),
      force_(std::make_unique<TPhTractionForce>(velocity_, maxValue, direction)), inertia_(inertia) {}

TPhTractionVelocity::~TPhTractionVelocity() {
    force_.reset();
    velocity_->Free();
}

void TPhTractionVelocity::Update(float dt) {
    IPhVector* f = force_->GetForce();
    // Without an inertia time the target is reached at once.
    f->ScaleSet(inertia_ != 0.0f ? dt / inertia_ : 1.0f);
    velocity_->AddSet(*f);
    force_->UpdateTimeForce(dt);
}

// ---- jets --------------------------------------------------------------------------------------

TRotateByJetComponent::TRotateByJetComponent(IRollComponent* rollComponent, float maxRotateVelocity,
                                             float inertia)
    : traction_({1, 0, 0}, maxRotateVelocity, inertia), rollComponent_(rollComponent) {}

void TRotateByJetComponent::SetTurn(float h, float v) {
    hInput_ = h;
    vInput_ = v;
    Vec3 x, y, z;
    AxesOf(rollComponent_, nullptr, x, y, z);
    const Vec3 d = Vec3Cross(x, Vec3Add(Vec3Scale(y, h), Vec3Scale(z, -v)));
    traction_.SetDirection(d);
    traction_.SetIntensity(std::min(Vec3Length(d), 1.0f));
}

void TRotateByJetComponent::Update(float dt) {
    stepTime_ = dt;
    traction_.Update(dt);
}

float TRotateByJetComponent::GetAxisRate(const Vec3& a) const {
    const IPhVector* w = const_cast<TPhTractionVelocity&>(traction_).GetVelocity();
    return -w->GetLength() * w->CosAngle(a);
}

Vec3 TRotateByJetComponent::RotateVector(const Vec3& p) const {
    const IPhVector* w = const_cast<TPhTractionVelocity&>(traction_).GetVelocity();
    return Vec3RotateAroundAxis(p, w->GetVector(), w->GetLength() * stepTime_);
}

TPlayerRotateComponent::TPlayerRotateComponent(IRollComponent* rollComponent, TShipPhysicParams* phParams,
                                               MatrixClass* orientation)
    : rollComponent_(rollComponent), jet_(rollComponent, phParams ? phParams->maxRotateVelocity : 0.0f,
                                          phParams ? phParams->rotationInertiaTime : 0.0f),
      phParams_(phParams), orientation_(orientation) {
    ReadAxes();
}

void TPlayerRotateComponent::ReadAxes() {
    if (orientation_) orientation_->GetAxes(&axes_[0], &axes_[1], &axes_[2]);
}

void TPlayerRotateComponent::WriteAxes() {
    if (orientation_) orientation_->SetAxes(&axes_[0], &axes_[1], &axes_[2]);
}

void TPlayerRotateComponent::ApplyParams() {
    if (!phParams_) return;
    jet_.SetMaxValue(phParams_->maxRotateVelocity);
    jet_.SetInertia(phParams_->rotationInertiaTime);
}

void TPlayerRotateComponent::Update(float dt) {
    ReadAxes();
    if (rollComponent_) {
        Vec3 x, y, z;
        rollComponent_->GetAxes(x, y, z);
        // Banks the ship into the turn; it rewrites the orientation.
        rollComponent_->Update(dt, jet_.GetAxisRate(z));
    }
    ReadAxes();
    jet_.Update(dt);
    for (Vec3& axis : axes_) axis = jet_.RotateVector(axis);
    WriteAxes();
}

// ---- the player step -----------------------------------------------------------------------------

TPlayerPhysicComponent::TPlayerPhysicComponent(IRollComponent* rollComponent, Vec3d* position,
                                               MatrixClass* orientation, TShipPhysicParams* phParams)
    : phVelocity_(std::make_unique<TPhVelocity>(phParams)), orientation_(orientation), position_(position),
      phParams_(phParams),
      rotateComponent_(std::make_unique<TPlayerRotateComponent>(rollComponent, phParams, orientation)),
      velocityJet_(std::make_unique<TRotateByJetComponent>(rollComponent,
                                                           phParams ? phParams->maxRotateVelocity : 0.0f,
                                                           phParams ? phParams->rotationInertiaTime : 0.0f)),
      headingInertia_(std::make_unique<TInertVector>(0.0f, 80.0f, 20.0f, 90.0f, 180.0f)),
      rotate180_(std::make_unique<TPlayerRotate180Control>(this, [this] { OnTurnFinished(); })),
      rollComponent_(rollComponent) {}

void TPlayerPhysicComponent::Free() {
    if (rotate180_) rotate180_->Free();
    phVelocity_.reset();
    rotateComponent_.reset();
    velocityJet_.reset();
    headingInertia_.reset();
    rotate180_.reset();
    rollComponent_ = nullptr;
    TEngineObject::Free();
}

void TPlayerPhysicComponent::SetTurn(float h, float v) {
    rotateComponent_->SetTurn(h, v);
    velocityJet_->SetTurn(h, v);
}

void TPlayerPhysicComponent::GetDirection(Vec3& out) {
    out = {1, 0, 0};
    if (orientation_) orientation_->GetAxes(&out, nullptr, nullptr);
}

void TPlayerPhysicComponent::StartTurn(float h, float v) {
    turning_ = true;
    rotate180_->Start(GetCurrentDirection(), h, v);
}

void TPlayerPhysicComponent::UpdateRotateParams() {
    rotateComponent_->ApplyParams();
    if (!phParams_) return;
    velocityJet_->SetMaxValue(phParams_->maxRotateVelocity);
    velocityJet_->SetInertia(phParams_->rotationInertiaTime);
}

void TPlayerPhysicComponent::Tick(float dt) {
    stepTime_ = dt;
    if (turning_) rotate180_->Update(dt);
    rotateComponent_->Update(stepTime_);
    phVelocity_->Update(stepTime_);
    velocityJet_->Update(stepTime_);
    phVelocity_->SetDirection(velocityJet_->RotateVector(phVelocity_->GetVelocity()->GetVector()));
    StrafeStep();
    MoveStep();
    HeadingStep();
}

void TPlayerPhysicComponent::StrafeStep() {
    Vec3 x, y, z;
    AxesOf(rollComponent_, orientation_, x, y, z);
    y = Vec3Normalize(y);
    strafe_ += (strafeInput_ - strafe_) * 5.0f * stepTime_;
    const IPhVector* velocity = phVelocity_->GetVelocity();
    const float speed = velocity->GetLength();
    moveVelocity_ = velocity->Add(Vec3Scale(y, speed * 0.5f * strafe_));
    const float maxVelocity = phParams_ ? phParams_->maxVelocity : 0.0f;
    float r = maxVelocity != 0.0f ? speed / maxVelocity : 0.0f;
    r = std::clamp(r, 0.4f, 1.0f);
    // Banks into the strafe: the roll is updated a second time this tick.
    if (rollComponent_)
        rollComponent_->Update(stepTime_, r * strafe_ * (phParams_ ? phParams_->maxRotateVelocity : 0.0f));
}

void TPlayerPhysicComponent::MoveStep() {
    const IPhVector* velocity = phVelocity_->GetVelocity();
    Vec3 d = velocity->Add(moveVelocity_);
    if (Vec3LengthSq(d) != 0.0f) d = Vec3Scale(Vec3Normalize(d), velocity->GetLength() * stepTime_);
    if (position_) *position_ = Vec3dAdd(*position_, Vec3ToVec3d(d));
}

void TPlayerPhysicComponent::HeadingStep() {
    if (!orientation_) return;
    Vec3 x, z;
    orientation_->GetAxes(&x, nullptr, &z);
    const Vec3 nose = headingInertia_->CalcValue(x, phVelocity_->GetVelocity()->GetVector(), stepTime_);
    orientation_->SetBasisForDir(nose, z);
}

// ---- the player's collision physics ----------------------------------------------------------------

void TPlayerCollisionPhysicComponent::SetCollisionSwitch(std::function<bool()> on) {
    CollisionSwitch() = std::move(on);
}

TPlayerCollisionPhysicComponent::TPlayerCollisionPhysicComponent(
    IOwnerBRU* ownerBRU, IOwnerPhObj* ownerPhObj, IRollComponent* rollComponent, Vec3d* position,
    IPhVector* aiVelocity, IPhVector* aiSecondVector, MatrixClass* orientation, TShipPhysicParams* phParams)
    : TPlayerPhysicComponent(rollComponent, position, orientation, phParams),
      collision_(std::make_unique<TCollisionComponet>(ownerBRU)), ownerBRU_(ownerBRU),
      ownerPhObj_(ownerPhObj), aiVelocity_(aiVelocity), aiSecondVector_(aiSecondVector),
      forsageControl_(std::make_unique<TPhForsageVelocityControl>([this] { OnForsageFinished(); })) {}

void TPlayerCollisionPhysicComponent::Free() {
    ownerBRU_ = nullptr;
    ownerPhObj_ = nullptr;
    aiVelocity_ = aiSecondVector_ = nullptr;
    collision_.reset();
    forsageControl_.reset();
    TPlayerPhysicComponent::Free();
}

void TPlayerCollisionPhysicComponent::Tick(float dt) {
    if (aiVelocity_) phVelocity_->SetVelocity(aiVelocity_->GetVector());
    if (aiSecondVector_) rotateComponent_->GetAngularVelocity()->SetVectorFrom(*aiSecondVector_);
    CollisionStep(dt);
    TPlayerPhysicComponent::Tick(dt);
    if (aiVelocity_) {
        if (forsage_) {
            forsageControl_->Update(dt);
            phVelocity_->SetSpeed(forsageControl_->GetValue());
        }
        aiVelocity_->SetVectorFrom(*phVelocity_->GetVelocity());
    }
    if (aiSecondVector_) aiSecondVector_->SetVectorFrom(*rotateComponent_->GetAngularVelocity());
}

void TPlayerCollisionPhysicComponent::CollisionStep(float dt) {
    if (!collision_ || !CollisionOn()) return;
    collision_->Update();
    // A ship pressing on against a hull strikes it once.
    const bool fresh = sinceContact_ > kContactGapSeconds;
    sinceContact_ = collision_->HasContact() ? 0.0f : sinceContact_ + dt;
    if (collision_->HasContact()) {
        Vec3 n;
        collision_->GetContactNormal(n);
        IPhVector* velocity = phVelocity_->GetVelocity();
        const float a = velocity->Angle(n);
        // Only a ship moving against the surface is turned and slowed.
        if (a > kPi / 2.0f) {
            // What it closed on the surface with, before the speed is cut.
            const float impact = fresh ? -velocity->GetLength() * std::cos(a) : 0.0f;
            // Turned at right angles to the normal: the ship slides along.
            phVelocity_->SetDirection(velocity->Rotate(velocity->Cross(n), kPi / 2.0f - a));
            const float k = (kPi - a) * 2.0f / kPi;
            float s = velocity->GetLength();
            if (forsage_) {
                s = phParams_ ? phParams_->maxVelocity : 0.0f;
                OnForsageFinished();
            }
            phVelocity_->SetSpeed(k * s);
            ICollisionBRU* other = nullptr;
            if (collision_->GetFirstCandidate(other) && other && ownerBRU_) {
                impact_ = impact;
                FireCollisionEvents(ownerBRU_->GetCollisionEvent(), other->GetCollisionEvent());
                impact_ = 0.0f;
            }
        }
    }
    collision_->ClearCandidates();
}

void TPlayerCollisionPhysicComponent::ForsageOn(float speed, float riseTime, float fallTime) {
    const float current = aiVelocity_ ? aiVelocity_->GetLength() : phVelocity_->GetSpeed();
    forsageControl_->Start(current, speed, phParams_ ? phParams_->maxVelocity : 0.0f, riseTime, fallTime);
    forsage_ = true;
}

void TPlayerCollisionPhysicComponent::ForsageOff() {
    if (forsage_) forsageControl_->StartFalling();
}

bool TPlayerCollisionPhysicComponent::GetCollisionVector(Vec3& out) const {
    return collision_ && collision_->GetContactPoint(out);
}

} // namespace vesk
