#include "physics/ai_unit.h"

#include "platform/text.h"
#include "shared/errors.h"

#include <algorithm>
#include <cmath>

namespace vesk {

namespace {
bool IsNumber(const Vec3d& p) {
    return !std::isnan(p.x) && !std::isnan(p.y) && !std::isnan(p.z);
}
} // namespace

BaseAIUnitClass::BaseAIUnitClass(TBaseRenderUnit* owner, const TShipPhysicParams& source)
    : owner_(owner), record_(source) {
    record_.reserved1 = 3.0f;
    record_.reserved16 = 0.25f;
    storedLimit_ = record_.speedLimit;
    const Matrix local = owner ? owner->GetLocalMatrix() : Matrix{};
    local_ = MatrixClass::InitWithMatrix(local);
    orientation_ = MatrixClass::InitWithMatrix(local);
    world_ = MatrixClass::Init();
    scale_ = MatrixGetColumnScale(local);
    ComposeWorldMatrix();
    velocity_ = New<TPhVector>();
    second_ = New<TPhVector>();
    roll_ = TRollComponent::Create(orientation_, &record_);
    npc_ = TNPCPhysicComponent::Create(this, &record_, roll_);
    npc_->SetEnabled(true);
    if (owner) owner->SetBPU(this);
}

void BaseAIUnitClass::Free() {
    if (npc_) npc_->Free(), npc_ = nullptr;
    if (roll_) roll_->Free(), roll_ = nullptr;
    for (TEngineObject** o :
         {reinterpret_cast<TEngineObject**>(&velocity_), reinterpret_cast<TEngineObject**>(&second_)})
        if (*o) (*o)->Free(), *o = nullptr;
    for (MatrixClass** m : {&local_, &orientation_, &world_})
        if (*m) (*m)->Free(), *m = nullptr;
    TSaveDataClass::Free();
}

void BaseAIUnitClass::Tick(float ms) {
    // Stations, containers and the like stand still.
    if (record_.sizeClass == 8 || record_.sizeClass == 32 || record_.sizeClass == 128) return;
    ticked_ = false;
    if (!playerControlled_ && npc_) {
        npc_->SetStepTime(ms / 1000.0f);
        npc_->Tick(ms);
    }
    ticked_ = true;
    ComposeWorldMatrix();
}

void BaseAIUnitClass::ComposeWorldMatrix() {
    Vec3d p = position_;
    if (!IsNumber(p)) {
        if (!IsNumber(previous_)) return;
        p = previous_;
    }
    Matrix m = orientation_->GetMatrix();
    const float s[3] = {scale_.x, scale_.y, scale_.z};
    for (int c = 0; c < 3; ++c)
        for (int r = 0; r < 3; ++r) m.m[r][c] *= s[c];
    m.m[3][0] = float(p.x), m.m[3][1] = float(p.y), m.m[3][2] = float(p.z);
    world_->SetMatrix(m);
}

void BaseAIUnitClass::TakePlayerControl() {
    if (playerControlled_) return;
    playerControlled_ = true;
    SetSpeed(storedLimit_);
    if (npc_) npc_->SetEnabled(false);
    if (roll_) roll_->SetEnabled(false);
}

void BaseAIUnitClass::ReleasePlayerControl() {
    if (!playerControlled_) return;
    storedLimit_ = record_.speedLimit;
    playerControlled_ = false;
    if (npc_) npc_->SetEnabled(true);
    if (roll_) roll_->SetEnabled(true);
}

void BaseAIUnitClass::SetSpeed(float v) {
    if (playerControlled_)
        record_.speedLimit = std::min(v, record_.maxVelocity);
    else if (npc_)
        npc_->SetSpeed(nullptr, v);
}

void BaseAIUnitClass::SetSpeedPercent(float p) {
    SetSpeed(std::min(std::fabs(p) / 100.0f, 1.0f));
}

void BaseAIUnitClass::ForsageOn(float v) {
    if (!playerControlled_ && npc_) npc_->ForsageOn(v);
}

void BaseAIUnitClass::ForsageOff() {
    if (!playerControlled_ && npc_) npc_->ForsageOff(0.0f);
}

TBaseRenderUnit* BaseAIUnitClass::UpdateOwnerMatrix() {
    if (owner_) owner_->SetLocalMatrix(world_->GetMatrix());
    return owner_;
}

void BaseAIUnitClass::SetMatrix(const Matrix& m) {
    Matrix o = m;
    o.m[3][0] = o.m[3][1] = o.m[3][2] = 0.0f;
    orientation_->SetMatrix(o);
}

void BaseAIUnitClass::SetPoseMatrix(const Matrix& m) {
    SetMatrix(m);
    SetPositionD({m.m[3][0], m.m[3][1], m.m[3][2]});
    ComposeWorldMatrix();
    if (owner_) owner_->SetLocalMatrix(world_->GetMatrix());
}

void BaseAIUnitClass::SetUpVector(const Vec3& up) {
    Vec3 fwd;
    orientation_->GetAxes(&fwd, nullptr, nullptr);
    orientation_->SetBasisForDir(fwd, up);
}

float BaseAIUnitClass::GetBoundingRadius() {
    Vec3 c;
    float r = 0.0f;
    return GetOwnSphere(c, r) ? r : 0.0f;
}

bool BaseAIUnitClass::GetOwnSphere(Vec3& centre, float& radius) {
    BSphereRecord* s = nullptr;
    if (owner_) owner_->GetOwnBSphere(s);
    if (!s) return false;
    centre = s->worldCentre, radius = s->worldRadius;
    return true;
}

bool BaseAIUnitClass::IsFollowerOf(IOwnerPhObj* leader) {
    auto* l = leader ? dynamic_cast<TNPCPhysicComponent*>(leader->GetPhysicUnit()) : nullptr;
    return l && l->IsFollower(npc_);
}

Vec3 BaseAIUnitClass::GetFormationPoint(IOwnerPhObj* follower) {
    Vec3 p = GetPosition();
    if (!playerControlled_ && npc_ && follower) npc_->GetFormationPoint(follower->GetPhysicUnit(), p);
    return p;
}

void BaseAIUnitClass::SaveToString() {
    ErrorReport(platform::Utf8ToCp1251("BaseAIUnitClass.SaveToString - не реализована"), "mhl");
}
void BaseAIUnitClass::LoadFromString() {
    ErrorReport(platform::Utf8ToCp1251("BaseAIUnitClass.LoadFromString - не риализована"), "mhl");
}

} // namespace vesk
